#include "grid_clipboard.h"

#include <algorithm>

namespace orvik::client {

std::string GridClipboardText(const GridModel& grid, std::string_view gridType) {
  std::int32_t rowFrom = 0;
  std::int32_t rowTo = grid.Rows() - 1;
  std::int32_t colFrom = 1;
  std::int32_t colTo = grid.Cols() - 1;
  if (gridType == "READONLY") {
    rowFrom = std::min(grid.Row(), grid.RowSel());
    rowTo = std::max(grid.Row(), grid.RowSel());
    colFrom = std::min(grid.Col(), grid.ColSel());
    colTo = std::max(grid.Col(), grid.ColSel());
    if (grid.Row() == 1) rowFrom = 0;  // the heading row comes with the first data row
  }
  std::string text;
  for (std::int32_t row = rowFrom; row <= rowTo; ++row) {
    if (row > rowFrom) text += "\r\n";
    for (std::int32_t col = colFrom; col <= colTo; ++col) {
      if (col > colFrom) text += '\t';
      text += grid.TextMatrix(row, col);
    }
  }
  return text;
}

}  // namespace orvik::client
