// The markup the engine writes, in one place: the builders of its own screens.
//
// Session output is text for a terminal, with markup for the graphical client (the tags and
// markers both sides use are engine_protocol.h's). Two markers are commands to whoever reads
// the output: the disconnect marker makes the host hang up, the end of a transmission ends
// one. Data a user can store (item values, table and account names, the status lines of the
// process list) may hold them too, and must not hang up or cut short whoever lists it: every
// listing passes such data through ShownText.
//
// Builders here make the engine's own texts exactly; callers fill in what varies. Any
// thread; bytes in, bytes out.

#ifndef ORVIK_ENGINE_SESSION_SCREEN_MARKUP_H_
#define ORVIK_ENGINE_SESSION_SCREEN_MARKUP_H_

#include <string>
#include <string_view>
#include <vector>

#include "engine_protocol.h"

namespace orvik {

inline constexpr std::string_view kCrLf = "\r\n";

// `value` with a blank after the first character of every marker (found without regard to
// case), so that it reads the same and commands nothing.
std::string ShownText(std::string_view value);

// --- Terminal screens of the graphical client -----------------------------------------

// `body` as one terminal screen: "<TERMINAL>" body "</TX>".
std::string TerminalFrame(std::string_view body);
// A list of stored names (joined by character 254) under its title, one per line; for the
// graphical client a terminal screen from the top, with the prompt.
std::string ListFrame(std::string_view title, std::string_view names, bool gui);
// LISTU's report, for the graphical client.
std::string ProcessListFrame(std::string_view report);
// What ends a query's record forms: the user quit, the records ran out, or the next one
// could not be read (`message`: a numbered message).
std::string QueryQuitFrame();
std::string QueryEndFrame();
std::string QueryErrorFrame(std::string_view message);
// What ends SHOW's form.
std::string ShowEndFrame();

// --- Forms -----------------------------------------------------------------------------

// One cell of a form's grid: stored data, shown; a backslash (which would start the next
// cell) becomes '/'.
std::string GridCell(std::string_view value);
// The first form of a query's records, up to its grid's columns. `cursorTag` places the
// cursor on the query's line.
std::string QueryForm(std::string_view query, std::string_view cursorTag);
// The form again for the record on page `page`.
std::string QueryFormRefresh(int page);
// SHOW's form for `table` of `items` rows, up to its grid's columns; `countTag` places the
// count.
std::string ShowForm(std::string_view table, std::string_view items, std::string_view countTag);
// The grid's rows, each of its cells (made GridCell) joined by `separator` then "\\", and
// the end of the form.
std::string GridRows(const std::vector<std::vector<std::string>>& rows, std::string_view separator);

}  // namespace orvik

#endif  // ORVIK_ENGINE_SESSION_SCREEN_MARKUP_H_
