#include "grid_layout.h"

#include <algorithm>

#include "markup.h"
#include "numbers.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

// The row buttons' size as the form was designed.
constexpr double kRowButtonWidth = 1050;
constexpr double kRowButtonHeight = 285;

double StyleNumber(const ScreenParts& p, std::size_t position) {
  const StyleFields& fields = p.model.items.styleFields;
  return position < fields.size() ? Val(fields[position]) : 0;
}

}  // namespace

void GridReset(ScreenParts& p) {
  GridModel& grid = p.model.grid;
  grid.tag = "-9999";
  grid.Clear();
  grid.backColorFixed = LongOf(StyleNumber(p, 4));
  grid.foreColorFixed = 0xFFFFFF;
  grid.backColorBkg = LongOf(StyleNumber(p, 5));
  grid.SetCols(2);
  grid.SetRows(3);
  for (std::int32_t r = 1; r <= 2; ++r) {
    grid.SetRow(r);
    grid.SetCol(0);
    grid.SetText(std::to_string(r));
    grid.SetCellAlignment(kAlignRightCentre);
  }
  for (ControlRecord& button : p.controls.gridRow) button.visible = false;
}

void PlaceGrid(ScreenParts& p, EntryState& s, std::int32_t row) {
  ScreenModel& m = p.model;
  const EntrySpecTable& spec = m.entrySpec;
  GridModel& grid = m.grid;
  const double cellWidth = p.shell.Context().cellWidth;
  const double cellHeight = p.shell.CellHeight();
  grid.top = Val(spec.Get(row, 5)) * cellHeight * 1.1;
  if (Val(spec.Get(row, 8)) <= 0) {
    // Whole rows only, in 95 % of the room below the grid's top.
    const std::int32_t h0 = grid.RowHeight(0);
    const std::int32_t h1 = grid.RowHeight(1);
    const std::int32_t n =
        h1 > 0 ? LongOf((p.surface.ScaleHeight() - grid.top - h0) * 0.95) / h1 : 0;
    grid.height = h0 + static_cast<double>(std::max(n, 0)) * h1;
  } else {
    grid.height = Val(spec.Get(row, 8)) * cellHeight;
  }
  const double left = Val(spec.Get(row, 6));
  grid.left = (left + 0.5) * cellWidth;
  const double width = Val(spec.Get(row, 7));
  if (width <= 0) {
    const std::int32_t sum = m.items.gridWidthSum;
    grid.width = sum >= 76 ? (78.7 - left) * cellWidth : sum * cellWidth;
  } else {
    grid.width = (width + 2) * cellWidth;
  }
  grid.SetColWidth(0, LongOf(4 * cellWidth));
  grid.SetRow(0);
  grid.SetCol(0);
  grid.SetColData(0, 0);
  grid.SetCellAlignment(kAlignLeftCentre);
  grid.SetCellFontBold(true);
  grid.SetText(spec.Get(row, 2));
  grid.visible = true;
  grid.enabled = true;

  // The grid entry: a text box of its own, parked off the form until a cell is entered.
  const std::int32_t e = LongOf(spec.Get(row, 10));
  if (e < 0) throw VbError(vberr::kSubscriptOutOfRange);
  FormControls& c = p.controls;
  if (e > m.items.lastEntryNumber) m.items.lastEntryNumber = e;
  if (e >= static_cast<std::int32_t>(c.entries.size()))
    c.entries.resize(static_cast<std::size_t>(e) + 1);
  const std::int32_t used = ++m.items.textEntriesUsed;
  if (used > s.textLoaded) s.textLoaded = used;
  ControlRecord& entry = c.entries[static_cast<std::size_t>(e)];
  if (entry.kind != ControlKind::kTextBox || entry.index != used) {
    entry = ControlRecord{};
    entry.kind = ControlKind::kTextBox;
    entry.index = used;
  }
  grid.tag = std::to_string(e);
  m.items.gridSpecRow = row;
  entry.tag = std::to_string(row);
  entry.font = FormFont{"MS Sans Serif", 0.9 * m.layout.font.size, true, false, false};
  entry.caption.clear();
  entry.backColour = QBColor(11);
  entry.locked = false;
  entry.left = -9999;
  entry.top = grid.top;
  entry.height = grid.RowHeight(1);
  entry.width = 2 * cellWidth;
  entry.enabled = m.layout.msGridType == "GUIPLUS";
  entry.visible = true;

  // The row buttons side by side, just above the grid's top-left corner.
  double buttonLeft = grid.left;
  for (ControlRecord& button : c.gridRow) {
    if (button.width <= 0) button.width = kRowButtonWidth;
    if (button.height <= 0) button.height = kRowButtonHeight;
    button.kind = ControlKind::kButton;
    button.left = buttonLeft;
    button.top = grid.top - button.height + 20;
    buttonLeft += button.width;
  }
}

void PlaceGridColumn(ScreenParts& p, std::int32_t row) {
  const EntrySpecTable& spec = p.model.entrySpec;
  GridModel& grid = p.model.grid;
  grid.SetRow(0);
  const std::int32_t c = LongOf(spec.Get(row, 9));
  if (c < 1) throw VbError(kGridInvalidCol, "Invalid Col value");
  if (c >= grid.Cols()) grid.SetCols(c + 1);
  grid.SetCol(c);
  grid.SetColWidth(c, LongOf(Val(spec.Get(row, 7)) * p.shell.Context().cellWidth));
  const std::string& align = spec.Get(row, 5);
  if (align == "LEFT") {
    grid.SetColData(c, 0);
    grid.SetCellAlignment(kAlignLeftCentre);
  } else if (align == "RIGHT") {
    grid.SetColData(c, 1);
    grid.SetCellAlignment(kAlignRightCentre);
  } else if (align == "CENTRE" || align == "CENTER") {
    grid.SetColData(c, 2);
    grid.SetCellAlignment(kAlignCentreCentre);
  }
  grid.SetCellFontBold(true);
  grid.SetText(spec.Get(row, 4));
}

void CloseGridColumns(ScreenParts& p) {
  GridModel& grid = p.model.grid;
  const std::int32_t c = grid.Cols();
  grid.SetCols(c + 1);
  grid.SetColWidth(c, LongOf(2 * p.shell.Context().cellWidth));
}

}  // namespace orvik::client
