// Stored text on its way to a terminal: shown, never obeyed.
//
// Two markers in session output are commands to whoever reads it: "<&PORT_DISCONNECT>"
// makes the host hang up, "</TX>" ends a transmission of the graphical client. Data a user
// can store (item values, table and account names, the status lines of the process list)
// may hold them too, and must not hang up or cut short whoever lists it. Every listing
// passes such data through ShownText. Any thread; bytes in, bytes out.

#ifndef ORVIK_ENGINE_SESSION_SHOWN_TEXT_H_
#define ORVIK_ENGINE_SESSION_SHOWN_TEXT_H_

#include <string>
#include <string_view>

namespace orvik {

// `value` with a blank after the first character of every marker (found without regard to
// case), so that it reads the same and commands nothing.
std::string ShownText(std::string_view value);

}  // namespace orvik

#endif  // ORVIK_ENGINE_SESSION_SHOWN_TEXT_H_
