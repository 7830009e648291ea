// The printing sentences (PRINTER, SP-ASSIGN, DEV-MAKE) and PPrint, on the session's printer
// (print/printer.h), whose held jobs go to the system account's print hold.

#include "port.h"
#include "print_hold.h"
#include "vb_error.h"

namespace orvik {
namespace {

const std::string& Word(const std::vector<std::string>& words, std::size_t i) {
  if (i >= words.size()) throw VbError(vberr::kSubscriptOutOfRange);
  return words[i];
}

}  // namespace

void Port::PPrint(std::string_view s, bool newline) { printer_.Print(s, newline); }

std::string Port::DevMake(const std::vector<std::string>& words) {
  const std::string kind = UpperCase(Word(words, 1).substr(0, 1));
  const std::int32_t n = Variant(Word(words, 2)).ToLong();
  std::string name = Word(words, 3);
  if (!name.empty() && name.front() == '\'') {
    name.clear();
    for (std::size_t i = 3; i < words.size(); ++i) name += (i > 3 ? " " : "") + words[i];
    std::erase(name, '\'');
  }
  return printer_.MakeDevice(kind.empty() ? '\0' : kind[0], n, name);
}

std::string Port::SpAssign(const std::vector<std::string>& words) {
  const std::string first = UpperCase(Word(words, 1));
  if (first[0] == 'H') {
    printer_.HoldInQueue(0);
  } else if (first[0] == 'P') {
    printer_.StopHolding();
  } else if (words.size() == 2) {
    printer_.AssignDevice(Variant(words[1]).ToLong(), "OrvikEngine " + login_.UserInst());
  } else if (words.size() >= 3 && UpperCase(words[2])[0] == 'H') {
    printer_.HoldInQueue(Variant(words[1]).ToLong());
  }
  return "OK";
}

std::string Port::PrinterSentence(const std::vector<std::string>& words) {
  const std::string keyword = UpperCase(Word(words, 1));
  const auto value = [&] { return Variant(Variant(Word(words, 2)).ToDouble()); };
  Status outcome;
  if (keyword == "ON") {
    printer_.On();
  } else if (keyword == "OFF") {
    printer_.Off();
  } else if (keyword == "NEWPAGE") {
    printer_.NewPage();
  } else if (keyword == "PORTRAIT") {
    printer_.Settings().orientation = 1;
  } else if (keyword == "LANDSCAPE") {
    printer_.Settings().orientation = 2;
  } else if (keyword == "ORIENTATION") {
    const int orientation = value().ToInteger();
    printer_.Settings().orientation = orientation;
  } else if (keyword == "PAPERSIZE") {
    const int paperSize = value().ToInteger();
    printer_.Settings().paperSize = paperSize;
  } else if (keyword == "HEIGHT") {
    const int height = value().ToLong();
    printer_.Settings().height = height;
  } else if (keyword == "WIDTH") {
    const int width = value().ToLong();
    printer_.Settings().width = width;
  } else if (keyword == "COPIES") {
    const int copies = value().ToInteger();
    printer_.Settings().copies = copies;
  } else if (keyword == "CLOSE") {
    outcome = ClosePrintJob();
  } else {
    outcome = Status::Error(975, "syntax error in PRINTER ON|OFF|CLOSE");
  }
  // Success and failure answer differently.
  Note(outcome);
  return outcome.ok() ? "OK" : "ERROR";
}

Status Port::ClosePrintJob() {
  return printer_.CloseJob("OrvikEngine " + login_.UserInst(),
                           [this](std::int32_t queue, const std::string& text) {
                             return StoreHeldJob(account_, queue, login_.Column(0), text);
                           });
}

}  // namespace orvik
