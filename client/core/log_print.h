// The monitor's log on paper: one text job on the system's default printer, in Courier New
// of 11 points, through the engine's print backend.
//
// GUI thread only (the backend is used from one thread at a time). Latin-1 bytes go to the
// backend, which converts them at its edge. Nothing is claimed printed that the print
// service did not accept: the result is its job id, or 0 with the reason.

#ifndef ORVIK_CLIENT_CORE_LOG_PRINT_H_
#define ORVIK_CLIENT_CORE_LOG_PRINT_H_

#include <string>

#include "print_backend.h"

namespace orvik::client {

inline constexpr const char* kLogPrintTitle = "OrvikLink Monitor";

// The log's lines end in CR LF; the job's in LF.
int PrintLogText(PrintBackend& backend, const std::string& text, std::string* error);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_LOG_PRINT_H_
