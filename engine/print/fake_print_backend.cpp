#include "fake_print_backend.h"

#include <climits>
#include <utility>

namespace orvik {

struct FakePrintBackend::State {
  std::vector<std::string> printers;
  std::string defaultPrinter;
  std::set<std::string> refused;  // upper case
  std::vector<RawJob> rawJobs;
  std::vector<TextJob> textJobs;
  int nextJobId = 1;
  int openChannels = 0;
};

namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

class FakeRawChannel : public RawChannel {
 public:
  FakeRawChannel(std::shared_ptr<FakePrintBackend::State> state, std::string printer)
      : state_(std::move(state)), printer_(std::move(printer)) {
    ++state_->openChannels;
  }
  ~FakeRawChannel() override { Close(); }

  int StartDoc(const std::string& documentName) override {
    if (closed_ || job_ >= 0) return 0;
    FakePrintBackend::RawJob job;
    job.jobId = state_->nextJobId++;
    job.printer = printer_;
    job.documentName = documentName;
    state_->rawJobs.push_back(job);
    job_ = static_cast<int>(state_->rawJobs.size()) - 1;
    return job.jobId;
  }

  int StartPage() override {
    if (closed_ || job_ < 0) return 0;
    ++state_->rawJobs[job_].pages;
    return 1;
  }

  int Write(std::string_view bytes) override {
    if (closed_ || job_ < 0) return 0;
    state_->rawJobs[job_].bytes.append(bytes);
    return bytes.size() > INT_MAX ? INT_MAX : static_cast<int>(bytes.size());
  }

  int EndPage() override { return closed_ || job_ < 0 ? 0 : 1; }

  int EndDoc() override {
    if (closed_ || job_ < 0) return 0;
    state_->rawJobs[job_].finished = true;
    job_ = -1;
    return 1;
  }

  int Close() override {
    if (closed_) return 0;
    if (job_ >= 0) EndDoc();
    closed_ = true;
    --state_->openChannels;
    return 1;
  }

 private:
  std::shared_ptr<FakePrintBackend::State> state_;
  std::string printer_;
  int job_ = -1;  // index in rawJobs of the open document
  bool closed_ = false;
};

}  // namespace

FakePrintBackend::FakePrintBackend(std::vector<std::string> printers, std::string defaultPrinter)
    : state_(std::make_shared<State>()) {
  SetPrinters(std::move(printers), std::move(defaultPrinter));
}

FakePrintBackend::~FakePrintBackend() = default;

void FakePrintBackend::SetPrinters(std::vector<std::string> printers, std::string defaultPrinter) {
  state_->printers = std::move(printers);
  state_->defaultPrinter = std::move(defaultPrinter);
}

void FakePrintBackend::RefuseOpen(const std::string& printer) {
  state_->refused.insert(Upper(printer));
}

PrintBackendFactory FakePrintBackend::Sharing() const {
  return [state = state_]() -> std::unique_ptr<PrintBackend> {
    auto backend = std::make_unique<FakePrintBackend>();
    backend->state_ = state;
    return backend;
  };
}

const std::vector<FakePrintBackend::RawJob>& FakePrintBackend::raw_jobs() const {
  return state_->rawJobs;
}

const std::vector<FakePrintBackend::TextJob>& FakePrintBackend::text_jobs() const {
  return state_->textJobs;
}

int FakePrintBackend::open_channels() const { return state_->openChannels; }

std::vector<std::string> FakePrintBackend::Printers() { return state_->printers; }

std::string FakePrintBackend::DefaultPrinter() { return Find(state_->defaultPrinter); }

std::string FakePrintBackend::Find(const std::string& name) const {
  std::string key = Upper(name);
  if (key.empty()) return "";
  for (const std::string& printer : state_->printers) {
    if (Upper(printer) == key) return printer;
  }
  return "";
}

std::unique_ptr<RawChannel> FakePrintBackend::OpenRaw(const std::string& printer) {
  std::string name = Find(printer);
  if (name.empty() || state_->refused.count(Upper(name)) > 0) return nullptr;
  return std::make_unique<FakeRawChannel>(state_, name);
}

int FakePrintBackend::PrintText(const std::string& printer, const std::string& title,
                                const std::vector<std::string>& pages, const PageSettings& settings,
                                std::string* error) {
  std::string name = Find(printer);
  std::string reason;
  if (name.empty()) {
    reason = "The printer " + printer + " is not known to the print server";
  } else if (state_->refused.count(Upper(name)) > 0) {
    reason = "The printer " + name + " does not accept jobs";
  } else if (pages.empty()) {
    reason = "There is nothing to print";
  }
  if (!reason.empty()) {
    if (error != nullptr) *error = reason;
    return 0;
  }
  TextJob job;
  job.jobId = state_->nextJobId++;
  job.printer = name;
  job.title = title;
  job.pages = pages;
  job.settings = settings;
  state_->textJobs.push_back(std::move(job));
  return state_->textJobs.back().jobId;
}

}  // namespace orvik
