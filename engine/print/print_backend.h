// The engine's way to the system's printers: the printer list, raw spooler channels and
// text jobs.
//
// A backend object, and every channel it opens, is used from one thread at a time: each
// port makes its own (MakeCupsBackend), and each holds a connection of its own to the print
// service. Text crosses this interface as the system's own bytes (ISO-8859-1); a backend
// converts at its edge where the print service wants another encoding. Raw bytes are never
// converted.

#ifndef ORVIK_ENGINE_PRINT_PRINT_BACKEND_H_
#define ORVIK_ENGINE_PRINT_PRINT_BACKEND_H_

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "print_factory.h"

namespace orvik {

// Page settings of a printer object, in the platform's codes: orientation 1 portrait,
// 2 landscape; paper size 9 = A4, 1 = Letter, 5 = Legal, 8 = A3, 11 = A5 (others: the
// printer's default); width/height in tenths of a millimetre, 0 = the paper's own.
struct PageSettings {
  int orientation = 1;
  int paperSize = 9;
  int copies = 1;
  int width = 0;
  int height = 0;
  std::string fontName = "Courier New";
  double fontSize = 11;
};

// Paper size codes of PageSettings::paperSize.
namespace paper {
inline constexpr int kLetter = 1;
inline constexpr int kLegal = 5;
inline constexpr int kA3 = 8;
inline constexpr int kA4 = 9;
inline constexpr int kA5 = 11;
}  // namespace paper

// An open raw channel to one printer: bytes go to the printer unchanged, as one job.
//
// One document at a time: StartDoc while a document is open fails (0) and the open one goes
// on. Closing a channel, or destroying it, with a document still open completes that
// document, so what was written is printed rather than lost.
class RawChannel {
 public:
  virtual ~RawChannel() = default;
  // Each returns the platform's spooler result: non-zero on success (StartDoc: the job id).
  virtual int StartDoc(const std::string& documentName) = 0;
  virtual int StartPage() = 0;
  virtual int Write(std::string_view bytes) = 0;  // bytes written
  virtual int EndPage() = 0;
  virtual int EndDoc() = 0;  // the job is complete and submitted
  virtual int Close() = 0;   // the channel is closed; later calls return 0
};

class PrintBackend {
 public:
  virtual ~PrintBackend() = default;
  // The system's printers (queue names) in its own order; the default printer's name or "".
  virtual std::vector<std::string> Printers() = 0;
  virtual std::string DefaultPrinter() = 0;
  // nullptr when the printer is not known. Printer names are matched without regard to case,
  // as the print service does.
  virtual std::unique_ptr<RawChannel> OpenRaw(const std::string& printer) = 0;
  // One document of text pages (Latin-1 bytes; each page printed after a new page) with the
  // settings; returns the job id, or 0 with the reason in `error`.
  virtual int PrintText(const std::string& printer, const std::string& title,
                        const std::vector<std::string>& pages, const PageSettings& settings,
                        std::string* error) = 0;
};

// The system's printing service (CUPS; CUPS_SERVER chooses the server as usual).
std::unique_ptr<PrintBackend> MakeCupsBackend();

// The text of a text job: the pages joined by form feeds (Chr(12)), so that each page after
// the first starts on a new sheet.
std::string JoinPages(const std::vector<std::string>& pages);

}  // namespace orvik

#endif  // ORVIK_ENGINE_PRINT_PRINT_BACKEND_H_
