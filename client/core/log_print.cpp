#include "log_print.h"

namespace orvik::client {

int PrintLogText(PrintBackend& backend, const std::string& text, std::string* error) {
  std::string page;
  page.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    page += text[i];
  }
  if (page.empty()) {
    *error = "There is nothing to print.";
    return 0;
  }
  const std::string printer = backend.DefaultPrinter();
  if (printer.empty()) {
    *error = "There is no printer to print on.";
    return 0;
  }
  PageSettings settings;
  settings.fontName = "Courier New";
  settings.fontSize = 11;
  return backend.PrintText(printer, kLogPrintTitle, {page}, settings, error);
}

}  // namespace orvik::client
