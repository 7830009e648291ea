// A data-entry screen's grid in the screen form's window, offscreen: the table that mirrors
// the core's grid (fixed row 0 and column 0 at the model's own indexes), a cell edited by
// mouse and keys that sends the GUIPLUS cell reply, the scroll bar that keeps the heading
// row, the row buttons, and a screenshot of the form.

#include "grid_widget.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <filesystem>

#include "form_widget_fixture.h"
#include "grid_click.h"
#include "widget_look.h"

namespace orvik::client {
namespace {

using ::testing::ElementsAre;

constexpr const char* kOrderForm =
    "<FORM TYPE=FUNCTION GUIPLUS=TRUE><PROGRAM NAME=ORDERS><FORMHEADER>Orders,Order O1,DEMO"
    "<POSITION TOP=3 LEFT=2>Order lines of O1"
    "<GRID ACTION=7 TOP=5 HEIGHT=8 TYPE=GUIPLUS>"
    "<COLUMN WIDTH=8 ETYPE=0>Product<COLUMN WIDTH=30 ETYPE=0>Description"
    "<COLUMN WIDTH=6 ALIGN=RIGHT>Qty"
    "<GRIDFILL><DATA>P1\\Bolt\\5<DATA>P2\\Nut\\7</GRIDFILL><ACTIONCODE></TX>";

class GridWidgetTest : public FormWidgetFixture {
 protected:
  using FormWidgetFixture::Key;
  void Key(int key, const QString& text) { Key(key, Qt::NoModifier, text); }
  void ClickCell(int row, int col) {
    ClickGridCell(Grid().Table(), row, col);
    Pump();
  }
  GridWidget& Grid() { return widget.GridWidgets(); }
  QLineEdit* GridEntry() {
    return qobject_cast<QLineEdit*>(
        widget.EntryWidgets().Entry(std::stoi(widget.Core().Model().grid.tag)));
  }
  QString Cell(int row, int col) {
    return Grid().Table()->model()->index(row, col).data().toString();
  }
};

TEST_F(GridWidgetTest, TheTableShowsTheGridWithItsFixedRowAndColumnAtTheirIndexes) {
  Receive(kOrderForm);
  QTableView* table = Grid().Table();
  ASSERT_TRUE(table->isVisibleTo(&widget));
  EXPECT_EQ(table->model()->rowCount(), widget.Core().Model().grid.Rows());
  EXPECT_EQ(table->model()->columnCount(), 5);
  EXPECT_EQ(Cell(0, 0), "7");
  EXPECT_EQ(Cell(0, 1), "Product");
  EXPECT_EQ(Cell(2, 0), "2");
  EXPECT_EQ(Cell(2, 2), "Nut");
  // Fixed cells in the fixed colours, the quantities to the right.
  const QModelIndex heading = table->model()->index(0, 1);
  EXPECT_EQ(heading.data(Qt::BackgroundRole).value<QColor>(),
            QtColour(widget.Core().Model().grid.backColorFixed));
  EXPECT_TRUE(heading.data(Qt::FontRole).value<QFont>().bold());
  EXPECT_TRUE(table->model()->index(1, 3).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
              Qt::AlignRight);
  // Column 2 at the layout's width; the grid at line 5, half a column in.
  EXPECT_EQ(table->columnWidth(2), 300);
  EXPECT_EQ(table->geometry().top(), 110);
  EXPECT_EQ(table->geometry().left(), 5);
}

TEST_F(GridWidgetTest, AClickedCellIsEditedByKeysAndSendsTheCellReply) {
  Receive(kOrderForm);
  ClickCell(2, 3);
  QLineEdit* entry = GridEntry();
  ASSERT_NE(entry, nullptr);
  ASSERT_TRUE(entry->isVisibleTo(&widget));
  EXPECT_EQ(entry->text(), "7");
  EXPECT_TRUE(entry->hasFocus());
  // The entry lies over the cell.
  const QRect cell = Grid().CellRect(2, 3);
  EXPECT_NEAR(entry->geometry().left(), cell.left(), 3);
  EXPECT_NEAR(entry->geometry().top(), cell.top(), 3);
  entry->selectAll();
  Key(Qt::Key_1, "1");
  Key(Qt::Key_2, "2");
  EXPECT_EQ(entry->text(), "12");
  Key(Qt::Key_Return, "\r");
  EXPECT_THAT(link.sent, ElementsAre("7|3|2|12\r"));
  // The engine stores it and opens the next line's quantity.
  Receive("<GRIDCELL COL=3 ROW=2>12<GRIDCELL COL=3 ROW=3></TX>");
  EXPECT_EQ(Cell(2, 3), "12");
  EXPECT_TRUE(GridEntry()->isVisibleTo(&widget));

  const std::filesystem::path dir(ORVIK_SCREENSHOT_DIR);
  std::filesystem::create_directories(dir);
  widget.resize(800, 520);
  Pump();
  EXPECT_TRUE(widget.grab().save(QString::fromStdString((dir / "client_grid_form.png").string())));
}

// The form is mirrored after every handler, the poll timer's too, which may run between a
// click's press and its release: the click still opens its cell.
TEST_F(GridWidgetTest, AMirrorBetweenPressAndReleaseKeepsTheClick) {
  Receive(kOrderForm);
  QTableView* table = Grid().Table();
  const QPoint at = table->visualRect(table->model()->index(1, 3)).center();
  const QPointF global = table->viewport()->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(table->viewport(), &press);
  widget.ControlsChanged();
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QCoreApplication::sendEvent(table->viewport(), &release);
  Pump();
  ASSERT_TRUE(GridEntry()->isVisibleTo(&widget)) << "the click was lost";
  EXPECT_EQ(GridEntry()->text(), "5");
  EXPECT_EQ(widget.Core().Model().grid.Col(), 3);
}

TEST_F(GridWidgetTest, TheScrollBarMovesTheTopRowAndTheHeadingRowStays) {
  std::string fill;
  for (int i = 1; i <= 12; ++i)
    fill += "<DATA>" + std::to_string(i) + "\\line " + std::to_string(i);
  Receive(
      "<FORM TYPE=FUNCTION><PROGRAM NAME=Q><FORMHEADER>Query,Page1,TCL"
      "<GRID TYPE=READONLY TOP=5 HEIGHT=4 ACTION=1><COLUMN WIDTH=6 ETYPE=0>Attr"
      "<COLUMN WIDTH=65 ETYPE=0 ALIGN=LEFT>Data<GRIDFILL>" +
      fill + "</GRIDFILL><ACTIONCODE></TX>");
  QScrollBar* bar = Grid().ScrollBar();
  ASSERT_TRUE(bar->isVisibleTo(&widget));
  bar->setValue(5);
  Pump();
  EXPECT_EQ(widget.Core().Model().grid.TopRow(), 5);
  EXPECT_TRUE(Grid().Table()->isRowHidden(1));
  EXPECT_TRUE(Grid().Table()->isRowHidden(4));
  EXPECT_FALSE(Grid().Table()->isRowHidden(0));
  EXPECT_FALSE(Grid().Table()->isRowHidden(5));
  // A read-only grid takes no cell entry.
  link.sent.clear();
  ClickCell(6, 2);
  EXPECT_TRUE(link.sent.empty());
}

// A grid as long as the engine may send (its cells are bounded, not its rows) is sized and
// scrolled in one pass over its rows: the table placed each row by counting all before it, so
// that such a grid froze the client for minutes.
TEST_F(GridWidgetTest, AGridOfManyRowsIsSizedAndScrolledWhole) {
  constexpr int kRows = 100000;
  std::string form =
      "<FORM TYPE=FUNCTION><PROGRAM NAME=Q><FORMHEADER>Query,Page1,TCL"
      "<GRID TYPE=READONLY TOP=5 HEIGHT=4 ACTION=1><COLUMN WIDTH=6 ETYPE=0>Attr<GRIDFILL>";
  for (int i = 1; i <= kRows; ++i) form += "<DATA>" + std::to_string(i);
  Receive(form + "</GRIDFILL><ACTIONCODE></TX>");
  QTableView* table = Grid().Table();
  ASSERT_EQ(table->model()->rowCount(), kRows + 2);  // the heading row and a new row
  const int height = table->rowHeight(1);
  EXPECT_GT(height, 1);
  EXPECT_EQ(table->rowHeight(kRows), height);
  EXPECT_EQ(table->rowViewportPosition(2) - table->rowViewportPosition(1), height);

  Grid().ScrollBar()->setValue(kRows - 2);
  Pump();
  EXPECT_EQ(widget.Core().Model().grid.TopRow(), kRows - 2);
  EXPECT_FALSE(table->isRowHidden(0));
  EXPECT_TRUE(table->isRowHidden(kRows - 3));
  EXPECT_FALSE(table->isRowHidden(kRows - 2));
  // The heading row, then the top row just below it.
  EXPECT_EQ(table->rowViewportPosition(kRows - 2),
            table->rowViewportPosition(0) + table->rowHeight(0));
  EXPECT_EQ(Cell(kRows - 2, 1), QString::number(kRows - 2));
}

TEST_F(GridWidgetTest, TheRowButtonsFollowTheirRecordsAndSendRowCommands) {
  Receive(kOrderForm);
  ClickCell(1, 0);  // the row-number cell offers insert and delete
  ASSERT_TRUE(Grid().RowButton(0)->isVisibleTo(&widget));
  EXPECT_FALSE(Grid().RowButton(2)->isVisibleTo(&widget));
  link.sent.clear();
  Grid().RowButton(1)->click();
  EXPECT_THAT(link.sent, ElementsAre("7|0|1|D\r"));
}

}  // namespace
}  // namespace orvik::client
