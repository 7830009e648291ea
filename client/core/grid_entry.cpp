#include "grid_entry.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <locale>
#include <sstream>

#include "colours.h"
#include "entry_controls.h"
#include "grid_layout.h"
#include "markup.h"
#include "numbers.h"
#include "string_works.h"
#include "text.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

// The engine's answers are looked for at this step while the row dialog waits.
constexpr auto kWaitStep = std::chrono::milliseconds(20);

std::string NumberText(double number) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out.precision(7);
  out << number;
  return out.str();
}

}  // namespace

double GridCellTop(const GridModel& grid) {
  const std::int32_t row = grid.Row();
  if (row < GridModel::kFixedRows) return 0;
  double top = grid.RowHeight(0);
  for (std::int32_t r = grid.TopRow(); r < row; ++r) top += grid.RowHeight(r);
  for (std::int32_t r = row; r < grid.TopRow(); ++r) top -= grid.RowHeight(r);
  return top;
}

double GridCellLeft(const GridModel& grid) {
  const std::int32_t col = grid.Col();
  if (col < GridModel::kFixedCols) return 0;
  double left = grid.ColWidth(0);
  for (std::int32_t c = 1; c < col; ++c) left += grid.ColWidth(c);
  return left;
}

bool GridRowIsVisible(const GridModel& grid, std::int32_t row) {
  if (row < grid.TopRow() || row >= grid.Rows()) return false;
  double top = grid.RowHeight(0);
  for (std::int32_t r = grid.TopRow(); r < row; ++r) top += grid.RowHeight(r);
  return top < grid.height;
}

std::int32_t GridEntry::GridEntryNumber() const { return LongOf(p_.model.grid.tag); }

ControlRecord& GridEntry::Entry() { return EntryControl(p_.controls, GridEntryNumber()); }

bool GridEntry::EntryFocused() const {
  return GridEntryNumber() == p_.focus.focusEntry &&
         HasEntryControl(p_.controls, GridEntryNumber());
}

bool GridEntry::CellUnchanged() const {
  const std::int32_t n = GridEntryNumber();
  if (!HasEntryControl(p_.controls, n)) return true;
  return p_.controls.entries[static_cast<std::size_t>(n)].caption ==
         p_.model.entrySpec.Get(p_.model.items.gridSpecRow, 4);
}

// The ETYPE of grid column `col`: its GRIDCOL row follows the GRID row.
std::int32_t GridEntry::ColumnType(std::int32_t col) const {
  return LongOf(p_.model.entrySpec.Get(p_.model.items.gridSpecRow + col, 3));
}

void GridEntry::FocusGridEntry() {
  const std::int32_t n = GridEntryNumber();
  p_.focus.focusEntry = n;
  if (p_.focus.formActive) {
    p_.window.FocusEntryControl(n);
  } else {
    p_.focus.focusOnActivate = n;
  }
}

void GridEntry::Idle() {
  p_.shell.SetAwaitingReply(false);
  p_.shell.SetBusyPointer(false);
}

// --- The cell records ---------------------------------------------------------------------

void GridEntry::ApplyFreshCells() {
  const ScreenModel& m = p_.model;
  if (!IsGuiPlus() || m.states.msState != state::kFormActive ||
      m.gridCells.Generation() == appliedGeneration_)
    return;
  GridActionsDraw();
}

void GridEntry::GridActionsDraw() {
  GridCellRecords& records = p_.model.gridCells;
  appliedGeneration_ = records.Generation();
  const std::int32_t last = records.UpperBound();
  for (std::int32_t i = 1; i <= last; ++i) {
    const std::string& action = records.CellAction(i);
    if (action == "READONLY") {
      ApplyCell(i);
    } else if (action == "EXTERNAL") {
      const EntrySpecTable& spec = p_.model.entrySpec;
      const std::int32_t row = records.Row(i);
      if (spec.Get(row, 1) != "TEXTBOX") continue;
      const std::int32_t entry = LongOf(spec.Get(row, 10));
      EntryControl(p_.controls, entry).enabled = Val(spec.Get(row, 3)) >= 0;
      const std::string value = spec.Get(row, 4);
      EntryValueSet(p_, s_, value, entry);
    } else if (action == "DO_POPUP") {
      const std::int32_t slot = LongOf(records.CellText(i));
      p_.model.popups.Get(slot);  // a slot outside 1..5 is subscript error 9
      if (actions_.openPopup) actions_.openPopup(slot);
      p_.model.states.msState2 = std::string(state::kPopupFocus);
    } else if (action == "ENTRY") {
      ApplyEntry(i);
      return;
    } else {
      return;
    }
  }
}

// A read-only cell, and a description after the delimiter in the next column. Cells the
// grid has no data column for, and the heading row, are left alone: the engine's titles
// stay, and no stray cell takes the screen down.
void GridEntry::ApplyCell(std::int32_t i) {
  const GridCellRecords& records = p_.model.gridCells;
  GridModel& grid = p_.model.grid;
  const std::int32_t row = records.Row(i);
  const std::int32_t col = records.Col(i);
  if (row < 1 || col < 1 || col >= grid.Cols()) return;
  if (row >= grid.Rows()) {
    const std::int32_t before = grid.Rows();
    grid.SetRows(row + 1);
    for (std::int32_t r = before; r <= row; ++r) grid.SetTextMatrix(r, 0, std::to_string(r));
  }
  const std::string& text = records.CellText(i);
  const std::string& rx = p_.shell.Context().settings.rxDelimiter;
  const std::size_t at = rx.empty() ? std::string::npos : text.find(rx);
  const auto write = [&](std::int32_t c, std::string_view value) {
    grid.SetCol(c);
    grid.SetRow(row);
    if (const auto alignment = CellAlignmentOfColumn(grid.ColData(c)))
      grid.SetCellAlignment(*alignment);
    grid.SetText(std::string(value));
  };
  if (at != std::string::npos && col + 1 < grid.Cols())
    write(col + 1, std::string_view(text).substr(at + rx.size()));
  write(col, TrimBlanks(std::string_view(text).substr(0, at)));
}

// The grid entry laid over the cell the engine asks to be edited.
bool GridEntry::ApplyEntry(std::int32_t i) {
  ScreenModel& m = p_.model;
  const GridCellRecords& records = m.gridCells;
  GridModel& grid = m.grid;
  const std::int32_t row = records.Row(i);
  const std::int32_t col = records.Col(i);
  if (row < 1 || col < 0 || col >= grid.Cols()) return false;
  if (row >= grid.Rows() - 1) {
    grid.scrollBars = 2;
    grid.SetRows(row + 2);
    grid.SetRow(row + 1);
    grid.SetCol(0);
    grid.SetText(std::to_string(row + 1));
    grid.SetCellAlignment(kAlignRightCentre);
  }
  grid.SetCol(col);
  grid.SetRow(row);
  p_.focus.focusEntry = GridEntryNumber();
  ControlRecord& entry = Entry();
  entry.top = grid.top + GridCellTop(grid);
  entry.left = grid.left + GridCellLeft(grid);
  entry.width = grid.ColWidth(col);
  if (m.states.msState != state::kGridAddOn) {
    entry.caption = grid.Text();
    entry.selectAll = true;
  } else {
    entry.caption = records.CellText(i);
  }
  const std::int32_t specRow = LongOf(entry.tag);
  if (specRow >= 1 && specRow <= kEntryRows) {
    m.entrySpec.Set(specRow, 4, entry.caption);
    entry.visible = true;
    entry.enabled = true;
    FocusGridEntry();
    grid.scrollBars = 0;  // none while a cell is edited
  }
  return true;
}

// --- Entering a cell -----------------------------------------------------------------------

void GridEntry::GridCellEnter() {
  ScreenModel& m = p_.model;
  const ScreenStates& st = m.states;
  GridModel& grid = m.grid;
  if (!HasEntryControl(p_.controls, GridEntryNumber()) || GridEntryNumber() < 0) {
    clicked_ = false;
    return;  // the screen has no grid
  }
  ControlRecord& entry = Entry();
  gridCode_ = m.entrySpec.Get(LongOf(entry.tag), 2);
  curCol_ = grid.Col();
  if (st.msFormState != state::kUpdate) {
    clicked_ = false;
    return;
  }
  GridCursor& cursor = m.gridCursor;
  if (st.msState == state::kGridUpdateRow) {
    // A row is being updated: the cursor goes back to it.
    if (grid.Row() != cursor.editRow || grid.Col() > cursor.editCol) {
      grid.SetRow(std::clamp(cursor.editRow, 0, grid.Rows() - 1));
      grid.SetCol(std::clamp(cursor.editCol, 0, grid.Cols() - 1));
      p_.focus.gridConfirmSkip = true;
      FocusGridEntry();
    }
    clicked_ = false;
    return;
  }
  if (st.msState == state::kFormActive && !IsGuiPlus() && grid.Row() == grid.Rows() - 1 &&
      curCol_ > 1) {
    grid.SetCol(1);
    curCol_ = 1;
  }
  if (grid.Row() == 0) {
    grid.SetRow(1);
    grid.SetCol(0);
    curCol_ = 0;
  }
  if (IsGuiPlus()) {
    EnterGuiPlus(entry);
  } else {
    EnterInteg(entry);
  }
}

GridEntry::Wait GridEntry::WaitFor(std::string_view waiting, double seconds) {
  const std::string& state = p_.model.states.msState;
  const std::string& state2 = p_.model.states.msState2;
  const std::string confirm = std::string(waiting) + "_CONFIRM";
  // An error box puts the state back as it was: the box's mark tells that the engine spoke.
  const bool boxBefore = state2 == state::kMsgBoxCrSent;
  EventPump& pump = p_.shell.Pump();
  const SteadyClock::time_point deadline = DeadlineAfter(seconds, pump);
  for (;;) {
    if (state == confirm) return Wait::kConfirmed;
    // The engine answered with something else (an error box, a new screen): no time-out.
    if (state != waiting || (!boxBefore && state2 == state::kMsgBoxCrSent))
      return Wait::kAnsweredOtherwise;
    const auto now = pump.Now();
    if (now >= deadline) return Wait::kTimedOut;
    pump.ProcessEventsUntil(std::min(deadline, now + kWaitStep));
  }
}

void GridEntry::EnterInteg(ControlRecord& entry) {
  ScreenModel& m = p_.model;
  ScreenStates& st = m.states;
  GridModel& grid = m.grid;
  FormFocus& focus = p_.focus;
  const ClientSettings& settings = p_.shell.Context().settings;
  FormControls& c = p_.controls;
  if (curCol_ == 0) {
    // The row-number cell takes a row command.
    entry.enabled = true;
    entry.visible = true;
    entry.top = grid.top + GridCellTop(grid);
    entry.left = grid.left;
    entry.width = 2 * p_.shell.Context().cellWidth;
    if (clicked_) focus.focusByProgram = true;
    FocusGridEntry();
    grid.SetColSel(grid.Cols() - 1);
    for (ControlRecord& button : c.gridRow) button.visible = true;
    p_.ProcessEventsOnce();
    focus.focusByProgram = false;
  } else {
    clicked_ = false;
    if (curCol_ == grid.Cols() - 1 || ColumnType(curCol_) == 0) return;
    // The row dialog: the row is announced, then the editable cells left of this one go
    // out one by one, each after the engine's answer to the one before.
    const std::int32_t row = grid.Row();
    const std::string& sep = settings.guiPlusDelimiter;
    // The row being updated: a click elsewhere while it is brings the cursor back here.
    m.gridCursor.editRow = row;
    m.gridCursor.editCol = curCol_;
    p_.shell.SetAwaitingReply(true);
    p_.shell.SetBusyPointer(true);
    st.msStatePrevious = st.msState;
    st.msState = std::string(state::kGridVertical);
    Send(gridCode_ + sep + "M" + sep + std::to_string(row) + settings.eos);
    const Wait first = WaitFor(state::kGridVertical, settings.timeout);
    if (first == Wait::kTimedOut) {
      GridErrorTimeout();
      Idle();
      return;
    }
    if (first == Wait::kAnsweredOtherwise) return;
    st.msState = std::string(state::kGridHorizontal);
    for (ControlRecord& button : c.gridRow) button.visible = false;
    if (curCol_ == 1) {
      st.msState = std::string(state::kGridUpdateRow);
      return;
    }
    const auto editable = [&](std::int32_t k) {
      const std::int32_t type = ColumnType(k);
      return type >= 1 && type <= 4;
    };
    std::int32_t last = 0;
    for (std::int32_t k = curCol_ - 1; k >= 1; --k) {
      if (editable(k)) {
        last = k;
        break;
      }
    }
    for (std::int32_t k = 1; k <= last; ++k) {
      if (!editable(k)) continue;  // nothing sent: nothing to wait for
      if (k == last) {
        st.msState = std::string(state::kGridUpdateRow);
      } else {
        st.msState = std::string(state::kGridHorizontal);
      }
      // Each cell is an answer the engine owes: the keyboard waits for it.
      p_.shell.SetAwaitingReply(true);
      Send(OneLine(grid.TextMatrix(row, k)) + settings.eos);
      if (st.msState == state::kGridUpdateRow) return;
      const Wait answer = WaitFor(state::kGridHorizontal, settings.timeout * 3);
      if (answer == Wait::kTimedOut) {
        Idle();
        GridErrorTimeout();
        return;
      }
      if (answer == Wait::kAnsweredOtherwise) return;
    }
  }
  m.gridCursor.editRow = grid.Row();
  p_.shell.SetAwaitingReply(false);
  clicked_ = false;
  p_.shell.SetBusyPointer(false);
}

void GridEntry::EnterGuiPlus(ControlRecord& entry) {
  ScreenModel& m = p_.model;
  GridModel& grid = m.grid;
  FormFocus& focus = p_.focus;
  FormControls& c = p_.controls;
  const std::int32_t specRow = m.items.gridSpecRow;
  if (!m.items.openType.empty() && !entry.enabled) return;  // the step has not opened it yet
  entry.enabled = true;
  entry.visible = true;
  entry.top = grid.top + GridCellTop(grid);
  entry.left = grid.left + GridCellLeft(grid);
  entry.alignment =
      static_cast<TextAlign>(std::clamp(LongOf(m.entrySpec.Alignment(specRow)), 0, 2));
  if (curCol_ == 0) {
    entry.width = 2 * p_.shell.Context().cellWidth;
    grid.SetColSel(grid.Cols() - 1);
    m.entrySpec.Set(specRow, 4, "");
    entry.caption.clear();
    c.gridRow[0].visible = true;
    c.gridRow[1].visible = true;
    entry.backColour = QBColor(11);
    entry.locked = false;
  } else {
    entry.width = grid.ColWidth(curCol_);
    m.entrySpec.Set(specRow, 4, grid.Text());
    entry.caption = grid.Text();
    bool editable = ColumnType(curCol_) >= 1;
    if (!editable && curCol_ == m.items.gridEntryCol) {
      editable = true;
      m.items.gridEntryCol = 0;
    }
    if (editable) {
      entry.locked = false;
      entry.backColour = QBColor(11);
      entry.selectAll = true;
    } else {
      entry.locked = true;
      entry.backColour = kGridEntryReadOnly;
    }
    for (ControlRecord& button : c.gridRow) button.visible = false;
  }
  m.gridCursor.editCol = curCol_;
  m.gridCursor.editRow = grid.Row();
  // A click leaves the keyboard on the grid entry, as the keys do.
  if (focus.focusByProgram || clicked_) {
    focus.focusByProgram = true;
    FocusGridEntry();
    p_.ProcessEventsOnce();
  }
  focus.focusByProgram = false;
  clicked_ = false;
}

// --- The user's handlers -------------------------------------------------------------------

void GridEntry::Click(std::int32_t mouseRow, std::int32_t mouseCol) {
  ScreenModel& m = p_.model;
  if (m.layout.msGridType == "READONLY" || p_.shell.AwaitingReply()) return;
  // Focus moves the window queued before the click are handled first: they belong to the
  // state before the cell is entered.
  EventPump& pump = p_.shell.Pump();
  pump.ProcessEventsUntil(pump.Now() + std::chrono::milliseconds(1));
  if (p_.shell.AwaitingReply()) return;
  GridModel& grid = m.grid;
  try {
    if (IsGuiPlus() && HasEntryControl(p_.controls, GridEntryNumber()) && !CellUnchanged()) {
      // An edit not sent yet goes first, as Enter sends it; the cursor stays on its cell.
      grid.SetRow(std::clamp(m.gridCursor.editRow, 0, grid.Rows() - 1));
      grid.SetCol(std::clamp(m.gridCursor.editCol, 0, grid.Cols() - 1));
      p_.focus.focusEntry = GridEntryNumber();
      if (actions_.enterKey) actions_.enterKey();
      return;
    }
    if (mouseRow < 0 || mouseRow >= grid.Rows() || mouseCol < 0 || mouseCol >= grid.Cols()) return;
    clicked_ = true;
    grid.SetRow(mouseRow);
    grid.SetCol(mouseCol);
    GridCellEnter();
  } catch (const VbError&) {
    clicked_ = false;
    Idle();
  }
}

void GridEntry::Scroll(std::int32_t topRow) {
  ScreenModel& m = p_.model;
  GridModel& grid = m.grid;
  try {
    grid.SetTopRow(std::clamp(topRow, 1, std::max(grid.Rows() - 1, 1)));
    if (m.layout.msGridType == "READONLY") return;
    if (!HasEntryControl(p_.controls, GridEntryNumber())) return;
    ControlRecord& entry = Entry();
    if (GridRowIsVisible(grid, grid.Row())) {
      entry.top = grid.top + GridCellTop(grid) - (IsGuiPlus() ? 0 : 35);
      if (IsGuiPlus() && grid.Col() >= 1) {
        // The overlay stays on its own cell.
        entry.left = grid.left + GridCellLeft(grid);
        entry.width = grid.ColWidth(grid.Col());
      } else {
        entry.left = grid.left;
        entry.width = 2 * p_.shell.Context().cellWidth;
      }
    } else {
      // The row left the view: the entry is parked with its text, so that an edit not yet
      // sent is neither lost nor sent as an empty value.
      entry.top = grid.top;
      entry.left = -9999;
      entry.width = grid.ColWidth(0);
    }
  } catch (const VbError&) {
  }
}

void GridEntry::RowButton(std::int32_t index) {
  if (index < 0 || index > 2) return;
  ScreenModel& m = p_.model;
  ScreenStates& st = m.states;
  GridModel& grid = m.grid;
  const ClientSettings& settings = p_.shell.Context().settings;
  const std::string code = m.entrySpec.Get(m.items.gridSpecRow, 2);
  st.msStatePrevious = st.msState;
  std::string operation;
  try {
    if (index == 0) {
      st.msState = std::string(state::kGridInsertRow);
      operation = "I";
    } else if (index == 1) {
      st.msState = std::string(state::kGridDeleteRow);
      operation = "D";
    } else if (IsGuiPlus()) {
      m.gridCursor.editCol = 0;
      grid.SetCol(1);
      GridCellEnter();
      return;
    } else {
      grid.SetCol(1);
      st.msState = std::string(state::kGridUpdateRow);
      operation = "M";
    }
  } catch (const VbError&) {
    return;
  }
  const std::string& sep = settings.guiPlusDelimiter;
  const std::string row = std::to_string(grid.Row());
  if (IsGuiPlus()) {
    Send(code + sep + "0" + sep + row + sep + operation + settings.eos);
  } else {
    Send(code + sep + operation + sep + row + settings.eos);
  }
}

void GridEntry::EntryGotFocus() {
  GridModel& grid = p_.model.grid;
  if (!HasEntryControl(p_.controls, GridEntryNumber())) return;
  const ControlRecord& entry = Entry();
  // Only an entry that waits off its cells: the focus that the grid's own cell entry gives
  // arrives after it, and must not move the cursor again.
  const bool parked = IsGuiPlus() ? entry.top == grid.top : entry.left == -9999;
  if (!parked || grid.Rows() < 2) return;
  try {
    grid.SetCol(0);
    grid.SetRow(1);
    GridCellEnter();
  } catch (const VbError&) {
    Idle();
  }
}

bool GridEntry::RowUpdateCharacter(std::int32_t key) {
  ScreenModel& m = p_.model;
  if (m.states.msFormState == state::kMenu || m.states.msState != state::kGridUpdateRow ||
      (key != 9 && key != 13))
    return false;
  const std::int32_t n = GridEntryNumber();
  p_.shell.SetAwaitingReply(true);
  if (!HasEntryControl(p_.controls, n)) return true;
  p_.focus.lastSentEntry = n;
  p_.focus.lastSentRefused = false;
  ControlRecord& entry = Entry();
  const std::string value = entry.caption;
  const std::int32_t row = LongOf(entry.tag);
  if (row >= 1 && row <= kEntryRows) {
    m.entrySpec.Set(row, 4, value);
    m.items.miFormItem = row;
  }
  Send(OneLine(value) + p_.shell.Context().settings.eos);
  entry.caption.clear();
  return true;
}

void GridEntry::DebugGrid() const {
  std::ofstream out("arraydump.csv", std::ios::app | std::ios::binary);
  if (!out) throw VbError(vberr::kPathFileAccess, "Path/File access error");
  out << "GRID " << std::string(40, '-') << "\r\n";
  const GridCellRecords& records = p_.model.gridCells;
  const std::int32_t last = std::min<std::int32_t>(10, records.UpperBound());
  for (std::int32_t i = 1; i <= last && !records.CellAction(i).empty(); ++i) {
    out << records.CellAction(i) << ',' << records.Col(i) << ',' << records.Row(i) << ','
        << records.CellText(i) << ",\r\n";
  }
}

void GridEntry::GridErrorTimeout() {
  const ClientSettings& settings = p_.shell.Context().settings;
  if (errorText_.empty()) {
    errorText_ = std::string(kGridTimeoutStart) + NumberText(settings.timeout * 3.0) +
                 " sec timeout.  " + "For data security reasons, please now try to exit from the " +
                 "grid and if that fails, exit the screen or even the entire " +
                 "program and re-start it.  If you have a grid entry field, " +
                 "start by entering \"" + settings.exitCommand +
                 "\" into it.  If no response from that, " +
                 "try the \"Quit\" button and it may need 2 or 3 clicks.  " +
                 "If no response from these, close the program as a last resort";
  }
  p_.shell.Context().dialogs.MessageBox(errorText_, BoxButtons::kOk, BoxIcon::kExclamation);
}

}  // namespace orvik::client
