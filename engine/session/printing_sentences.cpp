// The printing sentences (PRINTER, SP-ASSIGN, DEV-MAKE) on the session's printer
// (print/printer.h), whose held jobs go to the system account's print hold.

#include "print_hold.h"
#include "sentence_words.h"
#include "session.h"
#include "vb_error.h"

namespace orvik {

std::string Session::JobTitle() const { return "OrvikEngine " + parts_.login.UserInst(); }

std::string Session::DevMake(const std::vector<std::string>& words) {
  const std::string kind = UpperCase(WordAt(words, 1).substr(0, 1));
  const std::int32_t n = Variant(WordAt(words, 2)).ToLong();
  std::string name = WordAt(words, 3);
  if (!name.empty() && name.front() == '\'') {
    name.clear();
    for (std::size_t i = 3; i < words.size(); ++i) name += (i > 3 ? " " : "") + words[i];
    std::erase(name, '\'');
  }
  return parts_.printer.MakeDevice(kind.empty() ? '\0' : kind[0], n, name);
}

std::string Session::SpAssign(const std::vector<std::string>& words) {
  Printer& printer = parts_.printer;
  const std::string first = UpperCase(WordAt(words, 1));
  if (first[0] == 'H') {
    printer.HoldInQueue(0);
  } else if (first[0] == 'P') {
    printer.StopHolding();
  } else if (words.size() == 2) {
    printer.AssignDevice(Variant(words[1]).ToLong(), JobTitle());
  } else if (words.size() >= 3 && UpperCase(words[2])[0] == 'H') {
    printer.HoldInQueue(Variant(words[1]).ToLong());
  }
  return "OK";
}

std::string Session::PrinterSentence(const std::vector<std::string>& words) {
  Printer& printer = parts_.printer;
  const std::string keyword = UpperCase(WordAt(words, 1));
  // The settings a keyword sets from its value, read before the printer is asked for them.
  using Setter = void (*)(PageSettings&, const Variant&);
  static constexpr std::pair<std::string_view, Setter> kValued[] = {
      {"ORIENTATION", [](PageSettings& s, const Variant& v) { s.orientation = v.ToInteger(); }},
      {"PAPERSIZE", [](PageSettings& s, const Variant& v) { s.paperSize = v.ToInteger(); }},
      {"HEIGHT", [](PageSettings& s, const Variant& v) { s.height = v.ToLong(); }},
      {"WIDTH", [](PageSettings& s, const Variant& v) { s.width = v.ToLong(); }},
      {"COPIES", [](PageSettings& s, const Variant& v) { s.copies = v.ToInteger(); }},
  };
  Status outcome;
  if (keyword == "ON") {
    printer.On();
  } else if (keyword == "OFF") {
    printer.Off();
  } else if (keyword == "NEWPAGE") {
    printer.NewPage();
  } else if (keyword == "PORTRAIT") {
    printer.Settings().orientation = 1;
  } else if (keyword == "LANDSCAPE") {
    printer.Settings().orientation = 2;
  } else if (keyword == "CLOSE") {
    outcome = ClosePrintJob();
  } else {
    outcome = Status::Error(975, "syntax error in PRINTER ON|OFF|CLOSE");
    for (const auto& [name, set] : kValued) {
      if (keyword != name) continue;
      const Variant value(Variant(WordAt(words, 2)).ToDouble());
      set(printer.Settings(), value);
      outcome = Status::Ok();
    }
  }
  // Success and failure answer differently.
  return Note(outcome) ? "OK" : "ERROR";
}

Status Session::ClosePrintJob() {
  return parts_.printer.CloseJob(JobTitle(), [this](std::int32_t queue, const std::string& text) {
    return StoreHeldJob(parts_.account, queue, parts_.login.Column(0), text);
  });
}

}  // namespace orvik
