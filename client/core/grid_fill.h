// The grid fill loader: the contents of a form's grid, sent between "<GRIDFILL>" and
// "</GRIDFILL>" and put aside by the form item parser, written into the grid's cells once
// the grid and its columns are laid out.
//
// GUI thread; called by the data-entry layout when the model's gridFillText is not empty.
// One call consumes the whole block. "<DATA>" items fill one new row each; POSITION items
// with the same TOP fill one row from left to right. Rows are added as needed, always with a
// spare row after the last filled one. Unknown items and values past the last column are
// passed over (with a developer's warning while DEVMSG is on); a "<" without its ">" ends the
// block. Errors of the grid (a grid past its size limit) are thrown to the caller.

#ifndef ORVIK_CLIENT_CORE_GRID_FILL_H_
#define ORVIK_CLIENT_CORE_GRID_FILL_H_

#include "screen_model.h"
#include "shell_context.h"

namespace orvik::client {

void GridFillLoad(ScreenModel& model, ShellContext& shell);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_GRID_FILL_H_
