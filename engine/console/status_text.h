// Time stamps of the console's status lines.

#ifndef ORVIK_CONSOLE_STATUS_TEXT_H_
#define ORVIK_CONSOLE_STATUS_TEXT_H_

#include <string>
#include <string_view>

namespace orvik::console {

// The current date and time in the system's general format: its short date and the time
// with seconds.
std::string GeneralDateTime();
// The current date and time, CR LF, then `message`.
std::string Stamped(std::string_view message);

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_STATUS_TEXT_H_
