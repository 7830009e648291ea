// The grid's keys on a data-entry screen: the arrows that walk a GUIPLUS grid's cells, the
// keys of a row-command cell (Insert, Delete, Up, Down, and Tab or Enter after a command
// typed into the row-number cell: I, D, M, "\", the quit command), and Tab and Enter
// moving across a GUIPLUS row. The screen form's key handler asks it at each stage.
//
// GUI thread only, inside the key handler; sends go through the grid's row buttons and cell
// entry. Key codes and modifier states are the key handler's.

#ifndef ORVIK_CLIENT_CORE_GRID_KEYS_H_
#define ORVIK_CLIENT_CORE_GRID_KEYS_H_

#include <cstdint>
#include <functional>

#include "grid_entry.h"
#include "screen_parts.h"

namespace orvik::client {

class GridKeys {
 public:
  // What the key handler does next.
  enum class Next {
    kOn,        // carry on with the (possibly rewritten) key
    kDone,      // stop; the key is not consumed
    kConsumed,  // stop; the key is consumed and handed on to the character handler
  };

  // `quit` is the quit button's action.
  GridKeys(ScreenParts& parts, GridEntry& grid, std::function<void()> quit)
      : p_(parts), grid_(grid), quit_(std::move(quit)) {}

  // The grid's entry has the focus.
  bool InEntry() const { return grid_.EntryFocused(); }
  // A GUIPLUS grid's entry has the focus: the arrows walk its cells.
  bool InGuiPlusEntry() const { return grid_.EntryFocused() && grid_.IsGuiPlus(); }
  // Up or Down on a GUIPLUS grid's entry: true when done; false when the changed cell is to
  // be transmitted by the Tab logic.
  bool VerticalArrow(std::int32_t keyCode, std::int32_t shift);
  // Left or Right: true when done; false when the key becomes Enter (the cell changed).
  bool HorizontalArrow(std::int32_t keyCode, std::int32_t shift);
  // The grid's own keys while its entry has the focus; `inGuiPlusGrid` is set for a GUIPLUS
  // grid whose row is not being commanded.
  Next RowKeys(std::int32_t& keyCode, std::int32_t& shift, bool& inGuiPlusGrid);
  // Tab (direction +1, or -1 for Shift+Tab) or Enter within a GUIPLUS row: true when the
  // cursor moved to the next cell (the cell was unchanged).
  bool Across(std::int32_t direction);

 private:
  void ToRow(std::int32_t row);
  bool Walk(bool vertical, std::int32_t step, std::int32_t shift);

  ScreenParts& p_;
  GridEntry& grid_;
  std::function<void()> quit_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_GRID_KEYS_H_
