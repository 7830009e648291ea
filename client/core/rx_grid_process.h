// Grid-cell transmissions: the engine's answers to the steps of a grid dialogue (cells to
// show, the cell to edit next, popups, values written at terminal positions) as the screen's
// grid cell records, which the screen's grid drawing then applies.
//
// GUI thread; called by the dispatcher in the grid states. It learns where the grid's rows
// and columns stand on the terminal raster from the positions the engine writes, and writes
// the values of form fields outside the grid straight into EntrySpec.

#ifndef ORVIK_CLIENT_CORE_RX_GRID_PROCESS_H_
#define ORVIK_CLIENT_CORE_RX_GRID_PROCESS_H_

#include <string_view>

#include "screen_model.h"
#include "shell_context.h"

namespace orvik::client {

void RXGridProcess(std::string_view text, ScreenModel& model, ShellContext& shell);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_RX_GRID_PROCESS_H_
