// The markup the engine writes, in one place.
//
// Session output is text for a terminal, with markup for the graphical client: a
// transmission ends with "</TX>", a terminal screen opens with "<TERMINAL>", forms, grids and
// positions are tags. Two markers are commands to whoever reads the output:
// "<&PORT_DISCONNECT>" makes the host hang up, "</TX>" ends a transmission. Data a user can
// store (item values, table and account names, the status lines of the process list) may
// hold them too, and must not hang up or cut short whoever lists it: every listing passes
// such data through ShownText.
//
// Builders here make the engine's own texts exactly; callers fill in what varies. Any
// thread; bytes in, bytes out.

#ifndef ORVIK_ENGINE_SESSION_MARKUP_H_
#define ORVIK_ENGINE_SESSION_MARKUP_H_

#include <string>
#include <string_view>

namespace orvik {

// Output that asks the host to hang up, and what a waiting IInput receives when the session
// is told to stop.
inline constexpr std::string_view kPortDisconnect = "<&PORT_DISCONNECT>";
// The end of a transmission to the graphical client.
inline constexpr std::string_view kEndOfTransmission = "</TX>";
inline constexpr std::string_view kCrLf = "\r\n";

// `value` with a blank after the first character of every marker (found without regard to
// case), so that it reads the same and commands nothing.
std::string ShownText(std::string_view value);

}  // namespace orvik

#endif  // ORVIK_ENGINE_SESSION_MARKUP_H_
