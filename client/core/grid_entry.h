// The grid of a data-entry screen at work: the grid cell records applied after a
// transmission (GridActionsDraw), entering a cell (GridCellEnter) with the INTEG row dialog
// or the GUIPLUS cell overlay, the grid's click and scroll, the row buttons (insert, delete,
// update), and the time-out message of the row dialog.
//
// One per screen form, GUI thread only. The row dialog of an INTEG grid waits for the
// engine's confirmations by pumping the event loop (the poll timer handles the answers and
// the state machine sets the confirmation states), so every handler of the form may run
// inside it. Replies go through the frame's Send. The cell records and the row buttons come
// from the engine and the user: a cell or popup outside the grid or its tables is VbError
// (GridActionsDraw lets it reach the dispatcher); the user's handlers (Click, Scroll,
// RowButton) catch it and leave the grid as it is.

#ifndef ORVIK_CLIENT_CORE_GRID_ENTRY_H_
#define ORVIK_CLIENT_CORE_GRID_ENTRY_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "entry_state.h"
#include "screen_parts.h"

namespace orvik::client {

inline constexpr const char* kGridTimeoutStart = "ERROR: dialog with server is in error after ";

// The current cell's place inside the grid (twips), as the grid control measures it: the
// fixed row and column, then the rows from the top row on and the columns from 1 on.
double GridCellTop(const GridModel& grid);
double GridCellLeft(const GridModel& grid);
// Whether data row `row` is among those the grid's height shows from its top row.
bool GridRowIsVisible(const GridModel& grid, std::int32_t row);

class GridEntry {
 public:
  struct Actions {
    std::function<void(std::int32_t)> openPopup;  // a popup window for a popup slot
    std::function<void()> enterKey;               // the key handler with Enter, no shift
  };

  GridEntry(ScreenParts& parts, EntryState& state, Actions actions)
      : p_(parts), s_(state), actions_(std::move(actions)) {}

  void GridActionsDraw();
  // After a data-entry draw: the engine's answer to a GUIPLUS cell carries cell records
  // that no grid state applies; they are applied once.
  void ApplyFreshCells();
  void GridCellEnter();
  // Grid_Click on the cell under the mouse.
  void Click(std::int32_t mouseRow, std::int32_t mouseCol);
  // Grid_Scroll: the grid's top row is now `topRow`.
  void Scroll(std::int32_t topRow);
  // cmdGridRow_Click: 0 insert, 1 delete, 2 update; any other index does nothing.
  void RowButton(std::int32_t index);
  void GridErrorTimeout();
  // Appends the first grid cell records (up to ten, to the first empty one) to
  // "arraydump.csv" in the current folder, under a "GRID ----" line: a developer's look at
  // what the last transmission asked of the grid. A file that cannot be opened is VbError 75.
  void DebugGrid() const;
  // The grid's entry got the focus: one not yet over a cell enters the first row's
  // row-number cell.
  void EntryGotFocus();
  // Tab or Enter typed while a row is being updated: the edited cell goes to the engine.
  // True when the character was taken.
  bool RowUpdateCharacter(std::int32_t key);

  // The grid entry is the entry with the focus, and whether its value is still the cell's.
  bool EntryFocused() const;
  bool CellUnchanged() const;
  bool IsGuiPlus() const { return p_.model.layout.msGridType == "GUIPLUS"; }

 private:
  enum class Wait { kConfirmed, kAnsweredOtherwise, kTimedOut };

  ControlRecord& Entry();
  std::int32_t GridEntryNumber() const;
  std::int32_t ColumnType(std::int32_t col) const;
  void EnterInteg(ControlRecord& entry);
  void EnterGuiPlus(ControlRecord& entry);
  void FocusGridEntry();
  void ApplyCell(std::int32_t i);
  bool ApplyEntry(std::int32_t i);
  Wait WaitFor(std::string_view waiting, double seconds);
  void Send(const std::string& text) { p_.shell.Send(text); }
  void Idle();

  ScreenParts& p_;
  EntryState& s_;
  Actions actions_;
  bool clicked_ = false;  // GridClicked
  std::int32_t curCol_ = 0;
  std::string gridCode_;
  std::string errorText_;                // GridErrorText: built once
  std::uint32_t appliedGeneration_ = 0;  // the cell records last applied
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_GRID_ENTRY_H_
