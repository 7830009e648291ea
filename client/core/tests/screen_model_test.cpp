// The screen model's tables and the grid model: bounds, growth and the grid's semantics.

#include "screen_model.h"

#include <gtest/gtest.h>

#include "grid_model.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const VbError& e) {
    return e.number();
  }
  return 0;
}

TEST(EntrySpecTest, ReadsOutsideTheTableAreEmptyAndWritesChangeNothing) {
  EntrySpecTable spec;
  spec.Set(1, 1, "TEXTBOX");
  spec.Set(200, 12, "Y");
  for (auto [row, attribute] : {std::pair{0, 1}, {201, 1}, {1, 13}, {1, 0}, {-5, 3}}) {
    spec.Set(row, attribute, "X");
    EXPECT_EQ(spec.Get(row, attribute), "") << row << "," << attribute;
  }
  EXPECT_EQ(spec.Get(1, 1), "TEXTBOX");
  EXPECT_EQ(spec.Get(200, 12), "Y");
  // Attribute 13 is the form's own.
  spec.SetAlignment(1, "2");
  EXPECT_EQ(spec.Alignment(1), "2");
  EXPECT_EQ(spec.Get(1, 13), "");
  EXPECT_EQ(spec.Alignment(201), "");
}

TEST(EntrySpecTest, RemovingARowMovesTheRowsBelowUp) {
  EntrySpecTable spec;
  for (int row = 1; row <= 4; ++row) spec.Set(row, 1, "R" + std::to_string(row));
  spec.SetAlignment(3, "1");
  spec.RemoveRow(2, 4);
  EXPECT_EQ(spec.Get(2, 1), "R3");
  EXPECT_EQ(spec.Alignment(2), "1");
  EXPECT_EQ(spec.Get(3, 1), "R4");
  EXPECT_EQ(spec.Get(4, 1), "");
  spec.RemoveRow(200, 200);  // the last row: just emptied
  spec.RemoveRow(0, 4);      // outside: nothing
  EXPECT_EQ(spec.Get(1, 1), "R1");
}

TEST(ScreenTablesTest, SubActionsAndPopupsRaiseSubscriptErrorsOutsideTheirBounds) {
  SubActionTable sub;
  sub.Set(0, 1, 4);
  sub.Set(200, 2, 7);
  EXPECT_EQ(sub.Get(0, 1), 4);
  EXPECT_EQ(sub.Get(200, 2), 7);
  EXPECT_EQ(ErrorOf([&] { sub.Set(201, 1, 1); }), vberr::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { sub.Get(-1, 1); }), vberr::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { sub.Get(3, 3); }), vberr::kSubscriptOutOfRange);

  PopupSlots popups;
  popups.Set(5, "<POPUP>five</POPUP>");
  EXPECT_EQ(popups.Get(5), "<POPUP>five</POPUP>");
  EXPECT_EQ(ErrorOf([&] { popups.Set(6, "x"); }), vberr::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { popups.Get(0); }), vberr::kSubscriptOutOfRange);
}

TEST(GridCellRecordsTest, RedimLeavesOneEmptyRecordAndWritesGrowTheTable) {
  GridCellRecords cells;
  cells.SetCellText(3, "x");
  cells.muGridRedim();
  EXPECT_EQ(cells.UpperBound(), 1);
  EXPECT_EQ(cells.CellAction(1), "");
  EXPECT_EQ(cells.Col(1), 0);
  cells.SetCellAction(1, "ENTRY");
  cells.SetRow(7, 9);
  EXPECT_EQ(cells.UpperBound(), 7);
  EXPECT_EQ(cells.CellAction(1), "ENTRY");
  EXPECT_EQ(cells.CellAction(4), "");
  EXPECT_EQ(cells.Row(7), 9);
  EXPECT_EQ(ErrorOf([&] { cells.CellText(8); }), vberr::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { cells.SetCol(0, 1); }), vberr::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { cells.SetCol(GridCellRecords::kMaxRecords + 1, 1); }),
            vberr::kSubscriptOutOfRange);
}

TEST(GridModelTest, CurrentCellTextAndBounds) {
  GridModel grid;
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.Cols(), 2);
  grid.SetRows(4);
  grid.SetCols(3);
  grid.SetRow(3);
  grid.SetCol(2);
  grid.SetText("c");
  grid.SetCellAlignment(kAlignRightCentre);
  EXPECT_EQ(grid.TextMatrix(3, 2), "c");
  EXPECT_EQ(grid.CellAlignmentAt(3, 2), kAlignRightCentre);
  EXPECT_EQ(grid.CellAlignmentAt(1, 1), kAlignGeneral);
  EXPECT_EQ(ErrorOf([&] { grid.SetRow(4); }), kGridInvalidRow);
  EXPECT_EQ(ErrorOf([&] { grid.SetCol(-1); }), kGridInvalidCol);
  EXPECT_EQ(ErrorOf([&] { grid.TextMatrix(0, 3); }), kGridInvalidCol);
  EXPECT_EQ(ErrorOf([&] { grid.SetRows(0); }), kGridInvalidRow);
  // Shrinking keeps the current cell inside.
  grid.SetRows(2);
  EXPECT_EQ(grid.Row(), 1);
  EXPECT_EQ(ErrorOf([&] { grid.SetRows(1 << 20); }), vberr::kOutOfMemory);
}

TEST(GridModelTest, ClearKeepsTheStructureAndAddRemoveShiftRows) {
  GridModel grid;
  grid.SetCols(3);
  grid.SetColData(2, 1);
  grid.SetColWidth(2, 600);
  grid.SetTextMatrix(0, 1, "Title");
  grid.SetTextMatrix(1, 1, "a");
  grid.Clear();
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.Cols(), 3);
  EXPECT_EQ(grid.TextMatrix(0, 1), "");
  EXPECT_EQ(grid.ColData(2), 1);
  EXPECT_EQ(grid.ColWidth(2), 600);

  grid.AddItem("2\tb\tc");
  grid.AddItem("1\ta", 1);
  EXPECT_EQ(grid.Rows(), 4);
  EXPECT_EQ(grid.TextMatrix(1, 1), "a");
  EXPECT_EQ(grid.TextMatrix(3, 2), "c");
  grid.RemoveItem(1);
  EXPECT_EQ(grid.TextMatrix(2, 1), "b");
  EXPECT_EQ(ErrorOf([&] { grid.RemoveItem(0); }), kGridInvalidRow);  // the fixed row stays
  EXPECT_EQ(ErrorOf([&] { grid.AddItem("x", 9); }), kGridInvalidRow);
}

TEST(GridModelTest, ColumnCodesGiveCellAlignments) {
  EXPECT_EQ(CellAlignmentOfColumn(0), kAlignLeftCentre);
  EXPECT_EQ(CellAlignmentOfColumn(1), kAlignRightCentre);
  EXPECT_EQ(CellAlignmentOfColumn(2), kAlignCentreCentre);
  EXPECT_EQ(CellAlignmentOfColumn(3), std::nullopt);
}

}  // namespace
}  // namespace orvik::client
