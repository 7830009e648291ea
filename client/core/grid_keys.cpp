#include "grid_keys.h"

#include "entry_controls.h"
#include "form_keys.h"
#include "markup.h"
#include "text.h"

namespace orvik::client {
namespace {

constexpr std::int32_t kInsert = 45;
constexpr std::int32_t kDelete = 46;

}  // namespace

bool GridKeys::VerticalArrow(std::int32_t keyCode, std::int32_t shift) {
  return Walk(true, keyCode == vbkey::kDown ? 1 : -1, shift);
}

bool GridKeys::HorizontalArrow(std::int32_t keyCode, std::int32_t shift) {
  return Walk(false, keyCode == vbkey::kRight ? 1 : -1, shift);
}

// An arrow with a modifier moves to the next cell when it exists and the cell is unchanged.
bool GridKeys::Walk(bool vertical, std::int32_t step, std::int32_t shift) {
  GridModel& grid = p_.model.grid;
  const std::int32_t at = vertical ? grid.Row() : grid.Col();
  // The last row, or the last data column (the closing column is no cell).
  const std::int32_t last = vertical ? grid.Rows() - 1 : grid.Cols() - 2;
  const std::int32_t first = vertical ? 1 : 0;
  const bool exists = step > 0 ? at + step <= last : at + step >= first;
  if (!(shift >= 1 && exists)) return true;
  if (!grid_.CellUnchanged()) return false;
  if (vertical) {
    p_.model.gridCursor.editRow = at;
    grid.SetRow(at + step);
  } else {
    p_.model.gridCursor.editCol = at;
    grid.SetCol(at + step);
  }
  grid_.GridCellEnter();
  return true;
}

bool GridKeys::Across(std::int32_t direction) {
  GridModel& grid = p_.model.grid;
  if (!grid_.CellUnchanged()) return false;
  const std::int32_t col = grid.Col();
  if (direction < 0) {
    if (col < 1) return false;
    p_.model.gridCursor.editCol = col;
    grid.SetCol(col - 1);
  } else {
    if (col > grid.Cols() - 2) return false;
    p_.model.gridCursor.editCol = col;
    // From the last data column the cursor comes back to the row's command cell.
    grid.SetCol(col == grid.Cols() - 2 ? 0 : col + 1);
  }
  grid_.GridCellEnter();
  return true;
}

// One row up or down, on its row-number cell.
void GridKeys::ToRow(std::int32_t row) {
  GridModel& grid = p_.model.grid;
  p_.model.gridCursor.editRow = grid.Row();
  grid.SetRow(row);
  p_.model.gridCursor.editCol = 0;
  grid.SetCol(0);
  grid_.GridCellEnter();
}

GridKeys::Next GridKeys::RowKeys(std::int32_t& keyCode, std::int32_t& shift, bool& inGuiPlusGrid) {
  ScreenModel& m = p_.model;
  GridModel& grid = m.grid;
  if (!p_.controls.gridRow[0].visible) {
    if (grid_.IsGuiPlus()) {
      inGuiPlusGrid = true;
    } else if (keyCode == vbkey::kRight) {
      keyCode = vbkey::kEnter;
    }
    return Next::kOn;
  }
  bool swallow = true;
  if (keyCode == vbkey::kRight) keyCode = vbkey::kTab;
  if (keyCode == kInsert || keyCode == kDelete) {
    grid_.RowButton(keyCode == kInsert ? 0 : 1);
    return Next::kDone;
  }
  if (keyCode == vbkey::kUp) {
    if (grid.Row() < 2) {
      keyCode = vbkey::kTab;
      shift = 1;
      swallow = false;
    } else {
      ToRow(grid.Row() - 1);
    }
  } else if (keyCode == vbkey::kDown) {
    if (grid.Row() > grid.Rows() - 2) {
      keyCode = vbkey::kEnter;
      swallow = false;
    } else {
      ToRow(grid.Row() + 1);
    }
  } else if (keyCode == vbkey::kTab || keyCode == vbkey::kEnter) {
    const std::int32_t n = LongOf(grid.tag);
    ControlRecord& entry = EntryControl(p_.controls, n);
    const std::string command = UpperCase(TrimBlanks(entry.caption));
    const std::string quit = UpperCase(p_.shell.Context().settings.quitCommand);
    const auto empty = [&] {
      entry.caption.clear();
      m.entrySpec.Set(m.items.gridSpecRow, 4, "");
    };
    if (command == "I") {
      grid_.RowButton(0);
    } else if (command == "D") {
      grid_.RowButton(1);
    } else if (command == "M") {
      if (!grid_.IsGuiPlus()) grid_.RowButton(2);
    } else if (!quit.empty() && command == quit) {
      if (quit_) quit_();
    } else if (command == "\\") {
      if (grid.Row() == 1) {
        keyCode = vbkey::kTab;
        shift = 1;
        swallow = false;
      } else {
        ToRow(grid.Row() - 1);
      }
    } else if (command.empty()) {
      if (keyCode == vbkey::kTab && shift == 1 && grid.Row() == 1) {
        swallow = false;
      } else if (keyCode == vbkey::kTab && grid_.IsGuiPlus()) {
        m.gridCursor.editCol = grid.Col();
        grid.SetCol(1);
        empty();
        grid_.GridCellEnter();
        return Next::kConsumed;
      } else if (keyCode == vbkey::kEnter) {
        if (grid.Row() == grid.Rows() - 1) {
          m.gridCursor.editRow = 0;
          m.gridCursor.editCol = 0;
          swallow = false;
        } else {
          ToRow(grid.Row() + 1);
        }
      } else {
        grid_.RowButton(2);
      }
    } else {
      swallow = false;
    }
    empty();
  } else {
    // Any other key types into the command cell: the character handler sees it.
    return Next::kDone;
  }
  return swallow ? Next::kConsumed : Next::kOn;
}

}  // namespace orvik::client
