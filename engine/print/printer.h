// One session's printing: whether printing is on, its devices (printer objects and raw
// spooler channels, by device number), the current printer and the pages of its document,
// and print hold.
//
// Each port has its own printer: sessions never share a current printer or a device. What
// is printed goes, in this order of preference: to the terminal while printing is off; to
// the held text while a hold queue is assigned; to the raw device assigned; to the pages of
// the current printer object. Closing the job stores the held text, ends the raw job or
// prints the pages.
//
// Used on the port's thread only. The backend (print_backend.h) is made when the session
// first prints. Failures the sentences answer "ERROR" for come back as a Status; those that
// a program's PPrint or a sentence raises are thrown as VbError (977, 978, 979). A job, held
// or printed, holds at most the longest text the system builds: past it PPrint raises 14 and
// the job keeps what it had.

#ifndef ORVIK_ENGINE_PRINT_PRINTER_H_
#define ORVIK_ENGINE_PRINT_PRINTER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "print_backend.h"
#include "status.h"

namespace orvik {

namespace printerr {
inline constexpr int kDeviceRange = 977;
inline constexpr int kUnknownPrinter = 978;
inline constexpr int kPrinting = 979;
}  // namespace printerr

class Printer {
 public:
  // Where text goes while printing is off.
  using Terminal = std::function<void(std::string_view text)>;
  // Stores a held job's text in `queue`.
  using HoldStore = std::function<Status(std::int32_t queue, const std::string& text)>;

  // Device numbers 1..kMaxDevice; 0 is the system's default printer.
  static constexpr std::int32_t kMaxDevice = 50;

  // `backend` makes the print backend when it is first needed (empty: CUPS).
  Printer(PrintBackendFactory backend, Terminal terminal);
  ~Printer();
  Printer(const Printer&) = delete;
  Printer& operator=(const Printer&) = delete;

  // PPrint: `text` (and CR LF when `newline`) where printing goes now.
  void Print(std::string_view text, bool newline);

  // DEV-MAKE: device `device` becomes the printer object of the printer `name` ('P'), or a
  // raw channel to it ('R'). "ERROR" for a printer object of an unknown printer or another
  // kind.
  std::string MakeDevice(char kind, std::int32_t device, const std::string& name);

  // SP-ASSIGN: printing goes to the print hold queue `queue`, or no longer to print hold,
  // or to the device `device` (its raw job started under `title`; raises 9 for a number
  // that is no device).
  void HoldInQueue(std::int32_t queue) { printQueue_ = queue; }
  void StopHolding() { printQueue_ = -1; }
  void AssignDevice(std::int32_t device, const std::string& title);

  // PRINTER ON, OFF and NEWPAGE.
  void On();
  void Off() { printerOn_ = false; }
  void NewPage();
  bool IsOn() const { return printerOn_; }
  // The current printer's page settings (PORTRAIT, COPIES ...); raises 979 without one.
  PageSettings& Settings();
  // PRINTER CLOSE: the held text goes to `hold`, the raw job ends, or the pages print as a
  // job named `title`; then the page settings go back to theirs by default.
  Status CloseJob(const std::string& title, const HoldStore& hold);

 private:
  struct PrinterObject {
    std::string name;
    PageSettings settings;
  };

  PrintBackend& Backend();
  // Ends the job of the current raw device and closes its channel.
  void EndRawJob();
  void ClearPages();

  PrintBackendFactory factory_;
  Terminal terminal_;
  std::unique_ptr<PrintBackend> backend_;
  bool printerOn_ = false;
  std::int32_t printQueue_ = -1;  // -1: no print hold
  std::string holdText_;
  std::vector<std::optional<PrinterObject>> printers_;    // by device number; 0 = default
  std::vector<char> deviceTable_;                         // by device number: 'P', 'R' or 0
  std::vector<std::unique_ptr<RawChannel>> rawChannels_;  // by device number
  std::int32_t rawDevice_ = 0;
  std::string rawDocumentName_;
  std::int32_t rawJobId_ = 0;
  std::int32_t lastSpoolResult_ = 0;
  std::optional<PrinterObject> currentPrinter_;
  std::vector<std::string> pendingPages_;  // the current printer's document so far
  std::size_t pendingBytes_ = 0;           // the text in pendingPages_
  std::size_t rawBytes_ = 0;               // written to the current raw job so far
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_PRINT_PRINTER_H_
