// The grid of a data-entry screen on the 80 x 26 raster: its reset for a new screen, its
// place and size from the GRID row, its fixed header row and column settings from the
// GRIDCOL rows, the hidden text box through which a cell is edited (the grid entry), the
// row buttons above it, and the narrow closing column after the last data column.
//
// GUI thread only, called by the data-entry draw inside its error handler: a grid or model
// error comes back as VbError and the draw reports it. Sizes are in twips; the model's row
// 0 and column 0 are the fixed heading row and row-number column.

#ifndef ORVIK_CLIENT_CORE_GRID_LAYOUT_H_
#define ORVIK_CLIENT_CORE_GRID_LAYOUT_H_

#include <cstdint>

#include "colours.h"
#include "entry_state.h"
#include "screen_parts.h"

namespace orvik::client {

// The grid entry's colour over a cell that may not be edited (an editable one is light
// cyan, QBColor(11)).
inline constexpr std::int32_t kGridEntryReadOnly = Rgb(220, 220, 220);

// A new screen's grid: no entry, cleared, two columns and three rows numbered 1 and 2,
// the row buttons hidden.
void GridReset(ScreenParts& p);
// The GRID item in EntrySpec row `row`.
void PlaceGrid(ScreenParts& p, EntryState& s, std::int32_t row);
// A GRIDCOL item in EntrySpec row `row`.
void PlaceGridColumn(ScreenParts& p, std::int32_t row);
// After a pass that placed columns: one empty narrow column after the last.
void CloseGridColumns(ScreenParts& p);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_GRID_LAYOUT_H_
