// Printing: PPrint, the device table, raw spooler channels, the current printer object and
// print hold. Every port keeps its own print state: ports never share a current printer.

#include <functional>

#include "port.h"
#include "print_hold.h"
#include "vb_error.h"

namespace orvik {
namespace {

// Device numbers 1..50; entry 0 is the default printer.
constexpr std::int32_t kMaxDevice = 50;

const std::string& Word(const std::vector<std::string>& words, std::size_t i) {
  if (i >= words.size()) throw VbError(vberr::kSubscriptOutOfRange);
  return words[i];
}

}  // namespace

PrintBackend& Port::Printing() {
  if (!printBackend_) {
    printBackend_ = printFactory_ ? printFactory_() : MakeCupsBackend();
    // Device 0 is the system's default printer; none installed is no error.
    deviceTable_.assign(kMaxDevice + 1, 0);
    deviceTable_[0] = 'P';
    printers_.assign(1, std::nullopt);
    rawChannels_.resize(kMaxDevice + 1);
    try {
      const std::string name = printBackend_->DefaultPrinter();
      if (!name.empty()) printers_[0] = PrinterObject{name, PageSettings{}};
    } catch (...) {
    }
    currentPrinter_ = printers_[0];
  }
  return *printBackend_;
}

void Port::PPrint(std::string_view s, bool newline) {
  std::string t(s);
  if (newline) t += "\r\n";
  if (!printerOn_) {
    SendResponse(t);
    return;
  }
  if (printQueue_ != -1) {
    holdText_ += t;
    CheckTextLength(holdText_.size());
    return;
  }
  Printing();
  if (rawDevice_ >= 1) {
    RawChannel* channel = rawChannels_[rawDevice_].get();
    if (!channel) {
      // The job of this device was closed: printing on would lose the text.
      throw VbError(979, "Printer device " + std::to_string(rawDevice_) +
                             " is closed; make it again with DEV-MAKE R and SP-ASSIGN");
    }
    lastSpoolResult_ = channel->Write(t);
    return;
  }
  if (!currentPrinter_) throw VbError(979, "No printer is installed");
  // Chr(12) starts a new page.
  if (pendingPages_.empty()) pendingPages_.emplace_back();
  std::size_t start = 0;
  for (;;) {
    const std::size_t ff = t.find('\f', start);
    pendingPages_.back().append(t, start, ff == std::string::npos ? std::string::npos : ff - start);
    if (ff == std::string::npos) break;
    pendingPages_.emplace_back();
    start = ff + 1;
  }
}

std::string Port::DevMake(const std::vector<std::string>& words) {
  const std::string kind = UpperCase(Word(words, 1).substr(0, 1));
  const std::int32_t n = Variant(Word(words, 2)).ToLong();
  std::string name = Word(words, 3);
  if (!name.empty() && name.front() == '\'') {
    name.clear();
    for (std::size_t i = 3; i < words.size(); ++i) name += (i > 3 ? " " : "") + words[i];
    std::erase(name, '\'');
  }
  if (n < 1 || n > kMaxDevice) throw VbError(977, "Device number out of range");
  PrintBackend& backend = Printing();
  if (kind == "P") {
    const std::string wanted = UpperCase(TrimBlanks(name));
    for (const std::string& printer : backend.Printers()) {
      if (UpperCase(TrimBlanks(printer)) != wanted) continue;
      if (printers_.size() <= static_cast<std::size_t>(n)) printers_.resize(n + 1);
      printers_[n] = PrinterObject{printer, PageSettings{}};
      deviceTable_[n] = 'P';
      return "OK";
    }
    return "ERROR";
  }
  if (kind == "R") {
    std::unique_ptr<RawChannel> channel = backend.OpenRaw(name);
    if (!channel) throw VbError(978, "The Printer Name " + name + " is not recognized.");
    // A device made again lets go of the channel it had.
    if (rawChannels_[n]) rawChannels_[n]->Close();
    rawChannels_[n] = std::move(channel);
    deviceTable_[n] = 'R';
    return "OK";
  }
  return "ERROR";
}

std::string Port::SpAssign(const std::vector<std::string>& words) {
  const std::string first = UpperCase(Word(words, 1));
  if (first[0] == 'H') {
    printQueue_ = 0;
  } else if (first[0] == 'P') {
    printQueue_ = -1;
  } else if (words.size() == 2) {
    const std::int32_t n = Variant(words[1]).ToLong();
    Printing();
    if (n < 0 || n > kMaxDevice) throw VbError(vberr::kSubscriptOutOfRange);
    const bool printer = deviceTable_[n] == 'P' && static_cast<std::size_t>(n) < printers_.size();
    const bool raw = deviceTable_[n] == 'R' && rawChannels_[n];
    // The raw job being left is sent as it stands rather than left open for ever.
    if ((printer || raw) && rawDevice_ >= 1 && rawDevice_ != n) EndRawJob();
    if (printer) {
      currentPrinter_ = printers_[n];
      pendingPages_.clear();
      // Printing goes to the printer assigned, not to the raw device used before it.
      rawDevice_ = 0;
    } else if (raw) {
      rawDocumentName_ = "OrvikEngine " + login_.UserInst();
      rawDevice_ = n;
      rawJobId_ = rawChannels_[n]->StartDoc(rawDocumentName_);
      lastSpoolResult_ = rawChannels_[n]->StartPage();
    }
    printQueue_ = -1;
  } else if (words.size() >= 3 && UpperCase(words[2])[0] == 'H') {
    printQueue_ = Variant(words[1]).ToLong();
  }
  return "OK";
}

std::string Port::PrinterSentence(const std::vector<std::string>& words) {
  const std::string keyword = UpperCase(Word(words, 1));
  const auto value = [&] { return Variant(Word(words, 2)).ToDouble(); };
  const auto settings = [&]() -> PageSettings& {
    Printing();
    if (!currentPrinter_) throw VbError(979, "No printer is installed");
    return currentPrinter_->settings;
  };
  if (keyword == "ON") {
    Printing();
    if (rawDevice_ >= 1 && rawChannels_[rawDevice_])
      lastSpoolResult_ = rawChannels_[rawDevice_]->StartPage();
    printerOn_ = true;
  } else if (keyword == "OFF") {
    printerOn_ = false;
  } else if (keyword == "NEWPAGE") {
    settings();
    pendingPages_.emplace_back();
  } else if (keyword == "PORTRAIT") {
    settings().orientation = 1;
  } else if (keyword == "LANDSCAPE") {
    settings().orientation = 2;
  } else if (keyword == "ORIENTATION") {
    settings().orientation = Variant(value()).ToInteger();
  } else if (keyword == "PAPERSIZE") {
    settings().paperSize = Variant(value()).ToInteger();
  } else if (keyword == "HEIGHT") {
    settings().height = Variant(value()).ToLong();
  } else if (keyword == "WIDTH") {
    settings().width = Variant(value()).ToLong();
  } else if (keyword == "COPIES") {
    settings().copies = Variant(value()).ToInteger();
  } else if (keyword == "CLOSE") {
    ClosePrintJob();
  } else {
    errorDetail_ = "[975] syntax error in PRINTER ON|OFF|CLOSE";
  }
  // Success and failure answer differently.
  return errorDetail_.empty() ? "OK" : "ERROR";
}

void Port::ClosePrintJob() {
  printerOn_ = false;
  if (printQueue_ != -1) {
    StoreHeldJob();
    if (!errorDetail_.empty()) return;
  } else if (printBackend_ && rawDevice_ >= 1) {
    EndRawJob();
  } else if (printBackend_ && currentPrinter_ && !pendingPages_.empty()) {
    std::string error;
    const int job =
        printBackend_->PrintText(currentPrinter_->name, "OrvikEngine " + login_.UserInst(),
                                 pendingPages_, currentPrinter_->settings, &error);
    pendingPages_.clear();
    if (job == 0) errorDetail_ = "[979] " + error;
  }
  if (currentPrinter_) {
    currentPrinter_->settings.orientation = 1;
    currentPrinter_->settings.paperSize = 9;
    currentPrinter_->settings.copies = 1;
  }
}

void Port::EndRawJob() {
  if (RawChannel* channel = rawChannels_[rawDevice_].get()) {
    lastSpoolResult_ = channel->EndPage();
    lastSpoolResult_ = channel->EndDoc();
    lastSpoolResult_ = channel->Close();
    rawChannels_[rawDevice_].reset();
  }
}

void Port::StoreHeldJob() {
  // A job with nothing in it is not stored: a program run that printed nothing leaves no
  // empty row behind.
  if (holdText_.empty()) return;
  const Status stored = orvik::StoreHeldJob(account_, printQueue_, login_.Column(0), holdText_);
  if (stored.ok()) {
    holdText_.clear();
  } else {
    errorDetail_ = stored.Message();
  }
}

}  // namespace orvik
