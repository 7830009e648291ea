// The grid fill loader: DATA rows and POSITION items into a laid-out grid.

#include "grid_fill.h"

#include <gtest/gtest.h>

#include "reader_fixture.h"

namespace orvik::client {
namespace {

class GridFillTest : public ReaderTest {
 protected:
  // A grid as the layout leaves it: a heading row, `rows` - 1 body rows, `dataCols` columns.
  GridFillTest() { Layout(3, 3); }
  void Layout(std::int32_t rows, std::int32_t dataCols) {
    grid().SetRows(rows);
    grid().SetCols(dataCols + 1);
  }
  void Load(std::string block) {
    model().items.gridFillText = std::move(block);
    GridFillLoad(model(), shell);
  }
  GridModel& grid() { return model().grid; }
  std::string Cell(std::int32_t row, std::int32_t col) { return grid().TextMatrix(row, col); }
};

TEST_F(GridFillTest, DataRowsFillColumnsAndKeepASpareRow) {
  grid().SetColData(2, 1);
  Load("\r\n<DATA>a1\\ b1 \r\n<DATA>a2\\b2\r\n<DATA>a3\\b3\r\n");
  EXPECT_EQ(model().gridArea.mnGridRows, 3);
  EXPECT_EQ(grid().Rows(), 5);
  EXPECT_EQ(Cell(1, 1), "a1");
  EXPECT_EQ(Cell(1, 2), "b1 \r\n");  // blanks go, line ends stay
  EXPECT_EQ(Cell(3, 2), "b3\r\n");
  EXPECT_EQ(Cell(3, 0), "3");
  EXPECT_EQ(grid().CellAlignmentAt(3, 0), kAlignRightCentre);
  EXPECT_EQ(grid().CellAlignmentAt(2, 2), kAlignRightCentre);
  EXPECT_EQ(grid().CellAlignmentAt(2, 1), kAlignLeftCentre);
  EXPECT_EQ(Cell(1, 3), "");
  EXPECT_EQ(model().items.gridFillText, "");
  // The load ends on the first cell, and the grid entry's cursor with it.
  EXPECT_EQ(grid().Row(), 1);
  EXPECT_EQ(grid().Col(), 0);
  EXPECT_EQ(model().gridCursor.editRow, 1);
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(GridFillTest, TooManyValuesAreCutWithAWarning) {
  Load("<DATA>1\\2\\3\\4");
  EXPECT_EQ(Cell(1, 3), "3");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text,
            "WARNING: more data values than columns in grid.  Data will be truncated.\r\n"
            "<DATA>1\\2\\3\\4");
  Load("<POSITION TOP=5 LEFT=1>a\\b<POSITION TOP=5 LEFT=9>c\\d");
  EXPECT_EQ(Cell(2, 3), "c");
  EXPECT_EQ(dialogs.boxes.size(), 2u);
  settings.devMsg = false;
  Load("<DATTA>x<DATA>ok");
  EXPECT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_EQ(Cell(3, 1), "ok");
}

TEST_F(GridFillTest, PositionItemsFillRowsByTheirTop) {
  Load("<POSITION TOP=5 LEFT=40>a<POSITION TOP=5 LEFT=2>b<POSITION TOP=6 LEFT=99>c");
  EXPECT_EQ(Cell(1, 1), "a");
  EXPECT_EQ(Cell(1, 2), "b");
  EXPECT_EQ(Cell(2, 1), "c");
  EXPECT_EQ(model().gridArea.mnGridRows, 2);
  // The spare row after a grown grid is numbered.
  EXPECT_EQ(grid().Rows(), 4);
  EXPECT_EQ(Cell(3, 0), "3");
}

TEST_F(GridFillTest, ValuesAdvanceTheColumnAndTopZeroContinuesTheRow) {
  model().gridArea.mnGridRows = 1;
  Load("<POSITION LEFT=3>x<POSITION TOP=0>y<POSITION TOP=7>p\\q<POSITION TOP=7>r");
  EXPECT_EQ(Cell(1, 1), "x");  // TOP 0 is the key already in force
  EXPECT_EQ(Cell(1, 2), "y");
  EXPECT_EQ(Cell(2, 1), "p");
  EXPECT_EQ(Cell(2, 2), "q");
  EXPECT_EQ(Cell(2, 3), "r");
}

TEST_F(GridFillTest, CommasSeparateAttributesWhenAnyItemUsesThem) {
  Load("<POSITION,TOP=5,LEFT=1>a<POSITION TOP=5>b<POSITION TOP=6,LEFT=1>c");
  EXPECT_EQ(Cell(1, 1), "a");
  EXPECT_EQ(Cell(1, 2), "b");
  EXPECT_EQ(Cell(2, 1), "c");
  // A tag without its end closes the block.
  Load("<DATA>d<DATA");
  EXPECT_EQ(Cell(3, 1), "d");
  EXPECT_EQ(model().gridArea.mnGridRows, 3);
}

}  // namespace
}  // namespace orvik::client
