// The text a screen form's grid puts on the clipboard: the cells of a range, TAB between
// the cells of a row and CR LF between rows (none after the last).
//
// Pure; GUI thread. A read-only grid gives the user's selection (with the heading row when
// the selection starts on the first data row); every other grid gives all of itself but
// column 0, heading row included.

#ifndef ORVIK_CLIENT_CORE_GRID_CLIPBOARD_H_
#define ORVIK_CLIENT_CORE_GRID_CLIPBOARD_H_

#include <string>
#include <string_view>

#include "grid_model.h"

namespace orvik::client {

// `gridType` is the form's msGridType ("READONLY", "GUIPLUS", "INTEG").
std::string GridClipboardText(const GridModel& grid, std::string_view gridType);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_GRID_CLIPBOARD_H_
