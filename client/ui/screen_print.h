// The screen print: an image of a form as a one-page PDF document, sent to the system's
// default printer through CUPS (CUPS_SERVER chooses the server, as usual), which converts it
// for whatever printer that is.
//
// GUI thread only (the image is drawn with Qt's painter). True only when the print service
// has accepted the job; otherwise false with the reason: no default printer, a document
// that could not be written, a job the service refused.

#ifndef ORVIK_CLIENT_UI_SCREEN_PRINT_H_
#define ORVIK_CLIENT_UI_SCREEN_PRINT_H_

#include <QImage>
#include <string>

namespace orvik::client {

inline constexpr const char* kScreenPrintTitle = "OrvikLink screen";

bool PrintImageOnDefaultPrinter(const QImage& image, std::string* error);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_SCREEN_PRINT_H_
