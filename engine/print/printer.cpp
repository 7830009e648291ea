#include "printer.h"

#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

VbError NoPrinter() { return VbError(printerr::kPrinting, "No printer is installed"); }

}  // namespace

Printer::Printer(PrintBackendFactory backend, Terminal terminal)
    : factory_(std::move(backend)), terminal_(std::move(terminal)) {}

Printer::~Printer() = default;

PrintBackend& Printer::Backend() {
  if (!backend_) {
    backend_ = factory_ ? factory_() : MakeCupsBackend();
    deviceTable_.assign(kMaxDevice + 1, 0);
    deviceTable_[0] = 'P';
    printers_.assign(1, std::nullopt);
    rawChannels_.resize(kMaxDevice + 1);
    // Device 0 is the system's default printer.
    try {
      const std::string name = backend_->DefaultPrinter();
      if (!name.empty()) printers_[0] = PrinterObject{name, PageSettings{}};
    } catch (...) {
      // None installed is no error: printing on the default printer says so when it comes.
    }
    currentPrinter_ = printers_[0];
  }
  return *backend_;
}

void Printer::Print(std::string_view text, bool newline) {
  std::string t(text);
  if (newline) t += "\r\n";
  if (!printerOn_) {
    terminal_(t);
    return;
  }
  if (printQueue_ != -1) {
    holdText_ += t;
    CheckTextLength(holdText_.size());
    return;
  }
  Backend();
  if (rawDevice_ >= 1) {
    RawChannel* channel = rawChannels_[rawDevice_].get();
    if (!channel) {
      // The job of this device was closed: printing on would lose the text.
      throw VbError(printerr::kPrinting,
                    "Printer device " + std::to_string(rawDevice_) +
                        " is closed; make it again with DEV-MAKE R and SP-ASSIGN");
    }
    // The channel keeps the job's bytes until it ends: a job is bounded as held text is.
    CheckTextLength(rawBytes_ + t.size());
    rawBytes_ += t.size();
    lastSpoolResult_ = channel->Write(t);
    return;
  }
  if (!currentPrinter_) throw NoPrinter();
  CheckTextLength(pendingBytes_ + t.size());
  pendingBytes_ += t.size();
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

std::string Printer::MakeDevice(char kind, std::int32_t device, const std::string& name) {
  if (device < 1 || device > kMaxDevice)
    throw VbError(printerr::kDeviceRange, "Device number out of range");
  PrintBackend& backend = Backend();
  if (kind == 'P') {
    const std::string wanted = UpperCase(TrimBlanks(name));
    for (const std::string& printer : backend.Printers()) {
      if (UpperCase(TrimBlanks(printer)) != wanted) continue;
      if (printers_.size() <= static_cast<std::size_t>(device)) printers_.resize(device + 1);
      printers_[device] = PrinterObject{printer, PageSettings{}};
      deviceTable_[device] = 'P';
      return "OK";
    }
    return "ERROR";
  }
  if (kind == 'R') {
    std::unique_ptr<RawChannel> channel = backend.OpenRaw(name);
    if (!channel)
      throw VbError(printerr::kUnknownPrinter, "The Printer Name " + name + " is not recognized.");
    // A device made again lets go of the channel it had.
    if (rawChannels_[device]) rawChannels_[device]->Close();
    rawChannels_[device] = std::move(channel);
    deviceTable_[device] = 'R';
    return "OK";
  }
  return "ERROR";
}

void Printer::AssignDevice(std::int32_t device, const std::string& title) {
  Backend();
  if (device < 0 || device > kMaxDevice) throw VbError(vberr::kSubscriptOutOfRange);
  const bool printer =
      deviceTable_[device] == 'P' && static_cast<std::size_t>(device) < printers_.size();
  const bool raw = deviceTable_[device] == 'R' && rawChannels_[device];
  // The raw job being left is sent as it stands rather than left open for ever.
  if ((printer || raw) && rawDevice_ >= 1 && rawDevice_ != device) EndRawJob();
  if (printer) {
    currentPrinter_ = printers_[device];
    ClearPages();
    // Printing goes to the printer assigned, not to the raw device used before it.
    rawDevice_ = 0;
  } else if (raw) {
    rawDocumentName_ = title;
    rawDevice_ = device;
    rawJobId_ = rawChannels_[device]->StartDoc(rawDocumentName_);
    rawBytes_ = 0;
    lastSpoolResult_ = rawChannels_[device]->StartPage();
  }
  printQueue_ = -1;
}

void Printer::On() {
  Backend();
  if (rawDevice_ >= 1 && rawChannels_[rawDevice_])
    lastSpoolResult_ = rawChannels_[rawDevice_]->StartPage();
  printerOn_ = true;
}

void Printer::NewPage() {
  Settings();
  // A new page is a form feed of the job.
  CheckTextLength(pendingBytes_ + 1);
  ++pendingBytes_;
  pendingPages_.emplace_back();
}

PageSettings& Printer::Settings() {
  Backend();
  if (!currentPrinter_) throw NoPrinter();
  return currentPrinter_->settings;
}

Status Printer::CloseJob(const std::string& title, const HoldStore& hold) {
  printerOn_ = false;
  Status closed;
  if (printQueue_ != -1) {
    // A job with nothing in it is not stored: a program run that printed nothing leaves no
    // empty row behind.
    if (!holdText_.empty()) {
      closed = hold(printQueue_, holdText_);
      if (!closed.ok()) return closed;
      holdText_.clear();
    }
  } else if (backend_ && rawDevice_ >= 1) {
    EndRawJob();
  } else if (backend_ && currentPrinter_ && !pendingPages_.empty()) {
    std::string error;
    const int job = backend_->PrintText(currentPrinter_->name, title, pendingPages_,
                                        currentPrinter_->settings, &error);
    ClearPages();
    if (job == 0) closed = Status::Error(printerr::kPrinting, error);
  }
  if (currentPrinter_) {
    currentPrinter_->settings.orientation = 1;
    currentPrinter_->settings.paperSize = paper::kA4;
    currentPrinter_->settings.copies = 1;
  }
  return closed;
}

void Printer::EndRawJob() {
  if (RawChannel* channel = rawChannels_[rawDevice_].get()) {
    lastSpoolResult_ = channel->EndPage();
    lastSpoolResult_ = channel->EndDoc();
    lastSpoolResult_ = channel->Close();
    rawChannels_[rawDevice_].reset();
  }
  rawBytes_ = 0;
}

void Printer::ClearPages() {
  pendingPages_.clear();
  pendingBytes_ = 0;
}

}  // namespace orvik
