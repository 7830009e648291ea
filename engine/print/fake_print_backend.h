// A print backend for tests: a printer list of the test's choosing, and a record of every job
// it was given, raw or text, instead of printing.
//
//   FakePrintBackend printers({"Office", "Labels"}, "Office");
//   printers.RefuseOpen("Labels");                 // OpenRaw("Labels") gives nullptr
//   ... the code under test prints ...
//   printers.raw_jobs()[0].bytes, printers.text_jobs()[0].pages
//
// It keeps the rules of the real backend: names match without regard to case (jobs record
// the printer's own spelling), one document at a time per channel, a closed channel refuses
// everything, and closing a channel with its document open completes that document. Channels
// may outlive the backend that opened them.

#ifndef ORVIK_ENGINE_PRINT_FAKE_PRINT_BACKEND_H_
#define ORVIK_ENGINE_PRINT_FAKE_PRINT_BACKEND_H_

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "print_backend.h"

namespace orvik {

class FakePrintBackend : public PrintBackend {
 public:
  // A job through a raw channel, recorded from StartDoc on.
  struct RawJob {
    int jobId = 0;
    std::string printer;
    std::string documentName;
    std::string bytes;  // everything written, in order
    int pages = 0;      // StartPage calls
    bool finished = false;
  };
  struct TextJob {
    int jobId = 0;
    std::string printer;
    std::string title;
    std::vector<std::string> pages;
    PageSettings settings;
  };

  FakePrintBackend() : FakePrintBackend({}, "") {}
  FakePrintBackend(std::vector<std::string> printers, std::string defaultPrinter);
  ~FakePrintBackend() override;

  void SetPrinters(std::vector<std::string> printers, std::string defaultPrinter);
  // OpenRaw and PrintText fail for this printer, as for one that has gone offline.
  void RefuseOpen(const std::string& printer);

  // A factory of backends that share this one's printers and jobs, so that a test sees the
  // jobs of every port it hands the factory.
  PrintBackendFactory Sharing() const;

  const std::vector<RawJob>& raw_jobs() const;
  const std::vector<TextJob>& text_jobs() const;
  int open_channels() const;  // opened and not yet closed

  std::vector<std::string> Printers() override;
  std::string DefaultPrinter() override;
  std::unique_ptr<RawChannel> OpenRaw(const std::string& printer) override;
  int PrintText(const std::string& printer, const std::string& title,
                const std::vector<std::string>& pages, const PageSettings& settings,
                std::string* error) override;

  struct State;  // shared with the channels

 private:
  // The printer's own spelling of `name`, "" when there is none.
  std::string Find(const std::string& name) const;

  std::shared_ptr<State> state_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_PRINT_FAKE_PRINT_BACKEND_H_
