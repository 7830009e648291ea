// Grids on data-entry screens from recorded FORM transmissions: the grid they lay out, the
// exact texts a cell edit, the INTEG row dialog and the row buttons send, the answers that
// move the row dialog on, its time-outs, add-on rows and the grid's clipboard text.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "entry_controls.h"
#include "form_keys.h"
#include "grid_entry.h"
#include "grid_layout.h"
#include "shell_fixture.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// The demo program's order lines: a GUIPLUS grid whose quantities alone may be edited.
constexpr const char* kGuiPlusForm =
    "<FORM TYPE=FUNCTION GUIPLUS=TRUE><PROGRAM NAME=ORDERS><FORMHEADER>Orders,Order O1,DEMO"
    "<POSITION TOP=3 LEFT=2>Order lines of O1"
    "<GRID ACTION=7 TOP=5 HEIGHT=8 TYPE=GUIPLUS>\r\n"
    "<COLUMN WIDTH=8 ETYPE=0>Product\r\n<COLUMN WIDTH=30 ETYPE=0>Description\r\n"
    "<COLUMN WIDTH=6 ALIGN=RIGHT>Qty\r\n"
    "<GRIDFILL>\r\n<DATA>P1\\Bolt\\5\r\n<DATA>P2\\Nut\\7\r\n</GRIDFILL>\r\n<ACTIONCODE></TX>";

// An INTEG grid: each row is announced and its cells sent one by one.
constexpr const char* kIntegForm =
    "<FORM TYPE=FUNCTION><PROGRAM NAME=LINES><FORMHEADER>Lines,Order lines,DEMO"
    "<GRID ACTION=4 TOP=5 HEIGHT=6 TYPE=INTEG>"
    "<COLUMN WIDTH=8>Product<COLUMN WIDTH=20 ALIGN=CENTER>Description"
    "<COLUMN WIDTH=6 ALIGN=RIGHT>Qty"
    "<GRIDFILL><DATA>P1\\Bolt\\5<DATA>P2\\Nut\\7</GRIDFILL><ACTIONCODE></TX>";

class GridScreenTest : public ShellFixture {
 protected:
  void SetUp() override {
    StartToFirstForm();
    Top().Activate();
  }
  void Receive(const std::string& text) {
    Engine(text);
    shell.TimerTick();
  }
  // The engine answers once the client has sent `sends` texts, at a turn of the event loop
  // as a wait sees it.
  void AnswerAfter(std::size_t sends, const std::string& text) {
    pump.Post([this, sends, text] {
      if (link.sent.size() < sends) {
        AnswerAfter(sends, text);
      } else {
        Engine(text);
      }
    });
  }
  GridModel& Grid() { return Top().Model().grid; }
  std::int32_t GridEntryNumber() { return std::stoi(Grid().tag); }
  ControlRecord& GridEntryControl() { return EntryControl(Top().Controls(), GridEntryNumber()); }
  const ScreenStates& States() { return Top().Model().states; }
  // The user types `text` into the grid entry.
  void Type(const std::string& text) { Top().Entries().EntryEdited(GridEntryNumber(), text); }
  // A key as the window delivers it: the key handler, then its character.
  void Key(std::int32_t code, std::int32_t shift = 0) {
    if (Top().KeyDown(code, shift)) return;
    if (code == vbkey::kEnter || code == vbkey::kTab) Top().KeyPress(code);
  }
  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (const FakeDialogs::Box& box : dialogs.boxes) texts.push_back(box.text);
    return texts;
  }
};

TEST_F(GridScreenTest, TheGridIsLaidOutOnTheRasterWithHeadersAndAClosingColumn) {
  Receive(kIntegForm);
  const GridModel& grid = Grid();
  const double cellWidth = shell.Context().cellWidth;
  const double cellHeight = shell.CellHeight();
  ASSERT_TRUE(grid.visible);
  EXPECT_DOUBLE_EQ(grid.top, 5 * cellHeight * 1.1);
  EXPECT_DOUBLE_EQ(grid.left, 0.5 * cellWidth);
  EXPECT_DOUBLE_EQ(grid.height, 6 * cellHeight);               // lines of the plain height
  EXPECT_DOUBLE_EQ(grid.width, (6 + 8 + 20 + 6) * cellWidth);  // no WIDTH: the columns' sum
  // Row numbers, three data columns and the narrow closing column.
  ASSERT_EQ(grid.Cols(), 5);
  EXPECT_EQ(grid.ColWidth(0), 4 * cellWidth);
  EXPECT_EQ(grid.ColWidth(1), 8 * cellWidth);
  EXPECT_EQ(grid.ColWidth(3), 6 * cellWidth);
  EXPECT_EQ(grid.ColWidth(4), 2 * cellWidth);
  EXPECT_EQ(grid.TextMatrix(0, 0), "4");  // the grid's action code in the corner
  EXPECT_EQ(grid.TextMatrix(0, 1), "Product");
  EXPECT_EQ(grid.TextMatrix(0, 3), "Qty");
  EXPECT_EQ(grid.TextMatrix(0, 4), "");
  EXPECT_EQ(grid.ColData(2), 2);  // CENTER
  EXPECT_EQ(grid.ColData(3), 1);  // RIGHT
  EXPECT_EQ(grid.CellAlignmentAt(2, 3), kAlignRightCentre);
  EXPECT_EQ(grid.CellAlignmentAt(2, 2), kAlignCentreCentre);
  // The fill: numbered rows and a spare one.
  EXPECT_EQ(grid.TextMatrix(1, 1), "P1");
  EXPECT_EQ(grid.TextMatrix(2, 2), "Nut");
  EXPECT_EQ(grid.TextMatrix(2, 0), "2");
  // The grid entry is parked off the form until a cell is entered.
  const ControlRecord& entry = GridEntryControl();
  EXPECT_EQ(entry.kind, ControlKind::kTextBox);
  EXPECT_DOUBLE_EQ(entry.left, -9999);
  EXPECT_EQ(Top().Model().entrySpec.Get(std::stoi(entry.tag), 1), "GRID");
  // The three row buttons sit side by side on the grid's top-left corner, hidden.
  const auto& buttons = Top().Controls().gridRow;
  EXPECT_DOUBLE_EQ(buttons[0].left, grid.left);
  EXPECT_DOUBLE_EQ(buttons[1].left, grid.left + buttons[0].width);
  EXPECT_DOUBLE_EQ(buttons[0].top, grid.top - buttons[0].height + 20);
  for (const ControlRecord& button : buttons) EXPECT_FALSE(button.visible);
  // Every row is as high as an entry, which the grid's font (it grows with the window) fits.
  for (std::int32_t r = 0; r < grid.Rows(); ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(grid.RowHeight(r), std::lround(cellHeight * 1.1));
    EXPECT_GE(grid.RowHeight(r), grid.font.size * 20);  // 20 twips a point
  }
  EXPECT_DOUBLE_EQ(entry.height, grid.RowHeight(1));
}

// A screen whose only entry is its grid shows no other entry control: no stray text box
// where the form keeps its unused controls.
TEST_F(GridScreenTest, AGridOnlyScreenShowsNoStrayEntry) {
  for (const char* form : {kIntegForm, kGuiPlusForm}) {
    Receive(form);
    const FormControls& c = Top().Controls();
    for (std::size_t n = 0; n < c.entries.size(); ++n) {
      if (static_cast<std::int32_t>(n) == GridEntryNumber()) continue;
      EXPECT_FALSE(c.entries[n].visible) << "entry " << n << " of " << form;
    }
  }
}

TEST_F(GridScreenTest, AGridWithoutHeightShowsWholeRowsOnly) {
  Receive(
      "<FORM TYPE=FUNCTION><PROGRAM NAME=RO><FORMHEADER>R,Rows,DEMO"
      "<GRID ACTION=1 TOP=5 TYPE=READONLY><COLUMN WIDTH=40>A<COLUMN WIDTH=40>B"
      "<ACTIONCODE></TX>");
  const GridModel& grid = Grid();
  const double body = grid.height - grid.RowHeight(0);
  EXPECT_GT(body, 0);
  EXPECT_DOUBLE_EQ(std::fmod(body, grid.RowHeight(1)), 0);
  EXPECT_LE(grid.top + grid.height, TopParts().surface.ScaleHeight());
  // Columns adding up to 76 or more run to the raster's right edge.
  EXPECT_DOUBLE_EQ(grid.width, 78.7 * shell.Context().cellWidth);
}

TEST_F(GridScreenTest, AGuiPlusCellEditSendsCodeColumnRowAndValue) {
  Receive(kGuiPlusForm);
  ASSERT_EQ(States().msFormState, "UPDATE");
  EXPECT_TRUE(GridEntryControl().enabled);  // a GUIPLUS grid's entry is open from the start
  link.sent.clear();
  Top().Grid().Click(2, 3);
  const ControlRecord& entry = GridEntryControl();
  EXPECT_EQ(entry.caption, "7");
  EXPECT_FALSE(entry.locked);
  EXPECT_EQ(entry.backColour, QBColor(11));
  EXPECT_DOUBLE_EQ(entry.left, Grid().left + GridCellLeft(Grid()));
  EXPECT_DOUBLE_EQ(entry.width, Grid().ColWidth(3));
  Type("x");
  Key(vbkey::kEnter);
  EXPECT_THAT(link.sent, ElementsAre("7|3|2|x\r"));
  EXPECT_FALSE(shell.AwaitingReply());  // GUIPLUS sends wait for nothing
  // The end of send is the setting's.
  settings.eos = "\r\n";
  Top().Grid().Click(1, 3);
  Type("12");
  Key(vbkey::kEnter);
  EXPECT_EQ(link.sent.back(), "7|3|1|12\r\n");
}

// The demo's way to its grid after a look at the pick list: the list closed without a pick,
// the menu, then the grid. The list's guard is gone with the menu's screen, and the edit goes.
TEST_F(GridScreenTest, AGridEditAfterThePickListWasClosedIsSent) {
  Receive("<FORM TYPE=MENU><C ACTION=2>Order lines<C ACTION=5>Find<ALT_SELECT>Choice</TX>");
  Receive("<FORM TYPE=SEARCH>Customers<COLUMN WIDTH=8>No<DATA>C100</TX>");
  ASSERT_EQ(link.sent.back(), "Q\r") << "no window shows the list here: a close";
  Receive("<FORM TYPE=MENU><C ACTION=2>Order lines<C ACTION=5>Find<ALT_SELECT>Choice</TX>");
  Receive(kGuiPlusForm);
  Top().Grid().Click(1, 3);
  link.sent.clear();
  Type("31");
  Key(vbkey::kEnter);
  EXPECT_THAT(link.sent, ElementsAre("7|3|1|31\r"));
}

// A click on the grid of a window that is not active: the window manager activates it and
// hands on the click, which the client handles while it gives the focus back. The cell it
// opens keeps the keyboard, its value selected.
TEST_F(GridScreenTest, TheClickThatActivatesTheWindowOpensItsCellWithTheKeyboard) {
  Receive(kGuiPlusForm);
  Top().Deactivate();
  std::vector<std::string>& calls = TopParts().window.calls;
  calls.clear();
  pump.Post([this] { Top().Grid().Click(1, 3); });
  Top().Activate();
  EXPECT_TRUE(Top().FormActive());
  const std::string focus = "focus " + std::to_string(GridEntryNumber());
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), focus);
  EXPECT_TRUE(GridEntryControl().selectAll);
  EXPECT_EQ(GridEntryControl().caption, "5");
  // What is typed replaces the value and goes with Enter.
  link.sent.clear();
  Type("31");
  Key(vbkey::kEnter);
  EXPECT_THAT(link.sent, ElementsAre("7|3|1|31\r"));
}

TEST_F(GridScreenTest, AGuiPlusClickElsewhereSendsTheUnsentEditFirstAndStays) {
  Receive(kGuiPlusForm);
  Top().Grid().Click(2, 3);
  Type("9");
  link.sent.clear();
  Top().Grid().Click(1, 3);
  EXPECT_THAT(link.sent, ElementsAre("7|3|2|9\r"));
  EXPECT_EQ(Grid().Row(), 2);
  EXPECT_EQ(Grid().Col(), 3);
  // A column the engine keeps to itself shows its cell locked and grey.
  Top().Grid().Click(1, 1);
  EXPECT_TRUE(GridEntryControl().locked);
  EXPECT_EQ(GridEntryControl().backColour, kGridEntryReadOnly);
  EXPECT_EQ(GridEntryControl().caption, "P1");
  // The engine stores the cell and moves the edit on: its reply is applied to the grid.
  Receive("<GRIDCELL COL=3 ROW=2>9<GRIDCELL COL=3 ROW=3></TX>");
  EXPECT_EQ(Grid().TextMatrix(2, 3), "9");
  EXPECT_EQ(Grid().Row(), 3);
  EXPECT_EQ(Grid().Rows(), 5);  // the edited row was the last: a numbered spare row
  EXPECT_EQ(Grid().TextMatrix(4, 0), "4");
  // The edit goes on in the cell the engine opened.
  link.sent.clear();
  Type("3");
  Key(vbkey::kEnter);
  EXPECT_THAT(link.sent, ElementsAre("7|3|3|3\r"));
}

TEST_F(GridScreenTest, ShiftArrowsWalkAGuiPlusGridAndAChangedCellIsSentFirst) {
  Receive(kGuiPlusForm);
  Top().Grid().Click(1, 3);
  link.sent.clear();
  Key(vbkey::kDown, 1);
  EXPECT_EQ(Grid().Row(), 2);
  Key(vbkey::kDown);  // without a modifier the arrows stay put
  EXPECT_EQ(Grid().Row(), 2);
  Key(vbkey::kLeft, 1);
  EXPECT_EQ(Grid().Col(), 2);
  EXPECT_THAT(link.sent, IsEmpty());
  Key(vbkey::kRight, 1);
  Type("4");
  Key(vbkey::kUp, 1);  // changed: the value goes out and the cursor stays
  EXPECT_THAT(link.sent, ElementsAre("7|3|2|4\r"));
  EXPECT_EQ(Grid().Row(), 2);
}

TEST_F(GridScreenTest, TheIntegRowDialogSendsEachCellAfterTheEnginesAnswer) {
  Receive(kIntegForm);
  link.sent.clear();
  // The engine confirms the row by putting its cursor on the first cell, then asks for
  // the next after each.
  AnswerAfter(1, "<GRIDCELL COL=1 ROW=2>P2</TX>");
  AnswerAfter(2, "<GRIDCELL COL=2 ROW=2>Nut</TX>");
  Top().Grid().Click(2, 3);
  EXPECT_THAT(link.sent, ElementsAre("4|M|2\r", "P2\r", "Nut\r"));
  EXPECT_EQ(States().msState, "GRID_UPDATE_ROW");
  EXPECT_TRUE(shell.AwaitingReply());  // until the answer to the last cell
  EXPECT_THAT(Boxes(), IsEmpty());
  // The answer opens the entered cell; Enter sends its new value.
  Receive("<GRIDCELL COL=3 ROW=2>7</TX>");
  EXPECT_FALSE(shell.AwaitingReply());
  // Another row may not be entered meanwhile: the cursor comes back to the row.
  Top().Grid().Click(1, 2);
  EXPECT_EQ(Grid().Row(), 2);
  EXPECT_EQ(Grid().Col(), 3);
  EXPECT_THAT(link.sent, ElementsAre("4|M|2\r", "P2\r", "Nut\r"));
  EXPECT_EQ(GridEntryControl().caption, "7");
  EXPECT_DOUBLE_EQ(GridEntryControl().left, Grid().left + GridCellLeft(Grid()));
  Type("8");
  Key(vbkey::kEnter);
  EXPECT_EQ(link.sent.back(), "8\r");
  EXPECT_TRUE(shell.AwaitingReply());
  // The row is filed: the grid is ready for the next row command.
  Receive("<GRIDCELL COL=3 ROW=2>8<ACTIONCODE></TX>");
  EXPECT_EQ(States().msState, "FORM_ACTIVE");
  EXPECT_FALSE(shell.AwaitingReply());
  EXPECT_EQ(Grid().TextMatrix(2, 3), "8");
  EXPECT_TRUE(Top().Controls().gridRow[0].visible);
  EXPECT_EQ(Grid().Col(), 0);
}

TEST_F(GridScreenTest, AStoredCellWithLineEndsGoesBackAsOneAnswer) {
  // A value another user stored with a CR and a command after it: the row dialog sends the
  // cell by itself, and the engine must never read the command as a line of its own.
  std::string form = kIntegForm;
  form.replace(form.find("P2\\"), 3, "P2\rDELETE-FILE CUST\n\\");
  Receive(form);
  ASSERT_EQ(Grid().TextMatrix(2, 1), "P2\rDELETE-FILE CUST\n");
  link.sent.clear();
  AnswerAfter(1, "<GRIDCELL COL=1 ROW=2>P2</TX>");
  AnswerAfter(2, "<GRIDCELL COL=2 ROW=2>Nut</TX>");
  Top().Grid().Click(2, 3);
  EXPECT_THAT(link.sent, ElementsAre("4|M|2\r", "P2DELETE-FILE CUST\r", "Nut\r"));
}

TEST_F(GridScreenTest, EnteringTheFirstColumnOrAReadOnlyOneSendsNoCell) {
  Receive(kIntegForm);
  link.sent.clear();
  AnswerAfter(1, "<GRIDCELL COL=1 ROW=1>P1</TX>");
  Top().Grid().Click(1, 1);
  EXPECT_THAT(link.sent, ElementsAre("4|M|1\r"));
  EXPECT_EQ(States().msState, "GRID_UPDATE_ROW");
  // The closing column is no cell to edit.
  Receive("<GRIDCELL COL=1 ROW=1>P1<ACTIONCODE></TX>");
  link.sent.clear();
  Top().Grid().Click(1, 4);
  EXPECT_THAT(link.sent, IsEmpty());
}

TEST_F(GridScreenTest, GridsAreEditedOnUpdateScreensOnly) {
  // Without an action code the screen is nominated: a click enters no cell.
  std::string form = kIntegForm;
  form.replace(form.find("<ACTIONCODE>"), 12, "");
  Receive(form);
  ASSERT_NE(States().msFormState, "UPDATE");
  link.sent.clear();
  Top().Grid().Click(2, 3);
  Top().Grid().Click(2, 0);
  EXPECT_THAT(link.sent, IsEmpty());
  EXPECT_DOUBLE_EQ(GridEntryControl().left, -9999);
  EXPECT_FALSE(Top().Controls().gridRow[0].visible);
  // Clicking the heading row of an update screen enters row 1's row-number cell.
  Receive(kIntegForm);
  Top().Grid().Click(0, 2);
  EXPECT_EQ(Grid().Row(), 1);
  EXPECT_EQ(Grid().Col(), 0);
  EXPECT_TRUE(Top().Controls().gridRow[0].visible);
}

TEST_F(GridScreenTest, AnUnansweredRowAnnouncementTimesOutOnce) {
  Receive(kIntegForm);
  link.sent.clear();
  settings.timeout = 2;
  settings.exitCommand = "XX";
  const auto before = pump.Now();
  Top().Grid().Click(2, 3);
  EXPECT_THAT(link.sent, ElementsAre("4|M|2\r"));
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  const FakeDialogs::Box box = dialogs.boxes[0];
  EXPECT_EQ(box.icon, BoxIcon::kExclamation);
  EXPECT_EQ(box.text,
            "ERROR: dialog with server is in error after 6 sec timeout.  For data security "
            "reasons, please now try to exit from the grid and if that fails, exit the screen "
            "or even the entire program and re-start it.  If you have a grid entry field, "
            "start by entering \"XX\" into it.  If no response from that, try the \"Quit\" "
            "button and it may need 2 or 3 clicks.  If no response from these, close the "
            "program as a last resort");
  // The wait lasted TIMEOUT seconds of the steady clock.
  EXPECT_GE(pump.Now() - before, std::chrono::seconds(2));
  EXPECT_LT(pump.Now() - before, std::chrono::milliseconds(2100));
  EXPECT_FALSE(shell.AwaitingReply());
  EXPECT_EQ(States().msState, "GRID_VERTICAL");
  // The message is built once: later settings do not change it.
  settings.exitCommand = "QUIT";
  Top().Grid().GridErrorTimeout();
  EXPECT_EQ(dialogs.boxes.back().text, box.text);
}

// The developer's dump of the grid cell records, appended in the current folder.
TEST_F(GridScreenTest, TheGridDumpAppendsTheFirstRecordsToArraydump) {
  namespace fs = std::filesystem;
  const fs::path was = fs::current_path();
  const fs::path folder = fs::temp_directory_path() / ("orvik-dump-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  fs::current_path(folder);
  const auto dump = [] {
    std::ifstream in("arraydump.csv", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  };
  const std::string heading = "GRID " + std::string(40, '-') + "\r\n";
  GridCellRecords& records = Top().Model().gridCells;
  Top().Grid().DebugGrid();  // no records: the heading alone
  EXPECT_EQ(dump(), heading);
  for (std::int32_t i = 1; i <= 12; ++i) {
    records.SetCellAction(i, i == 4 ? "" : "ENTRY");
    records.SetCol(i, i);
    records.SetRow(i, 2);
    records.SetCellText(i, "v" + std::to_string(i));
  }
  Top().Grid().DebugGrid();  // stops at the first empty record, and appends
  EXPECT_EQ(dump(), heading + heading + "ENTRY,1,2,v1,\r\nENTRY,2,2,v2,\r\nENTRY,3,2,v3,\r\n");
  records.SetCellAction(4, "READONLY");
  fs::remove("arraydump.csv");
  Top().Grid().DebugGrid();  // never more than ten
  const std::string ten = dump();
  EXPECT_EQ(std::count(ten.begin(), ten.end(), '\n'), 11);
  fs::remove("arraydump.csv");
  fs::create_directory("arraydump.csv");  // cannot be opened as a file
  try {
    Top().Grid().DebugGrid();
    ADD_FAILURE() << "no error";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), vberr::kPathFileAccess);
  }
  fs::current_path(was);
  fs::remove_all(folder);
}

TEST_F(GridScreenTest, AnUnansweredCellTimesOutAfterThreeTimesTheTimeout) {
  Receive(kIntegForm);
  link.sent.clear();
  settings.timeout = 1;
  AnswerAfter(1, "<GRIDCELL COL=1 ROW=2>P2</TX>");
  const auto before = pump.Now();
  Top().Grid().Click(2, 3);
  EXPECT_THAT(link.sent, ElementsAre("4|M|2\r", "P2\r"));
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_THAT(dialogs.boxes[0].text, HasSubstr("after 3 sec timeout"));
  EXPECT_GE(pump.Now() - before, std::chrono::seconds(3));
  EXPECT_LT(pump.Now() - before, std::chrono::milliseconds(3100));
  EXPECT_FALSE(shell.AwaitingReply());
}

TEST_F(GridScreenTest, AnswersOtherThanAConfirmationEndTheWaitWithoutATimeOut) {
  Receive(kIntegForm);
  link.sent.clear();
  // The engine refuses the row with a new screen: the dialog ends, no time-out box.
  AnswerAfter(1,
              "<FORM TYPE=FUNCTION><PROGRAM NAME=OTHER><FORMHEADER>O,Other,DEMO"
              "<POSITION TOP=4 LEFT=20 ACTION=1><TEXTBOX WIDTH=8>a<ACTIONCODE></TX>");
  Top().Grid().Click(2, 3);
  EXPECT_THAT(link.sent, ElementsAre("4|M|2\r"));
  EXPECT_THAT(Boxes(), IsEmpty());
}

TEST_F(GridScreenTest, RowButtonsSendTheirRowCommands) {
  Receive(kIntegForm);
  link.sent.clear();
  Grid().SetRow(2);
  Top().Grid().RowButton(0);
  EXPECT_EQ(States().msState, "GRID_INSERT_ROW");
  Top().Grid().RowButton(1);
  EXPECT_EQ(States().msState, "GRID_DELETE_ROW");
  Top().Grid().RowButton(2);
  EXPECT_EQ(States().msState, "GRID_UPDATE_ROW");
  EXPECT_EQ(Grid().Col(), 1);
  Top().Grid().RowButton(3);  // no such button
  EXPECT_THAT(link.sent, ElementsAre("4|I|2\r", "4|D|2\r", "4|M|2\r"));
  EXPECT_FALSE(shell.AwaitingReply());
}

TEST_F(GridScreenTest, GuiPlusRowButtonsNameColumnZeroAndUpdateSendsNothing) {
  Receive(kGuiPlusForm);
  link.sent.clear();
  Grid().SetRow(1);
  Top().Grid().RowButton(0);
  Top().Grid().RowButton(1);
  EXPECT_THAT(link.sent, ElementsAre("7|0|1|I\r", "7|0|1|D\r"));
  link.sent.clear();
  Top().Grid().RowButton(2);
  EXPECT_THAT(link.sent, IsEmpty());
  EXPECT_EQ(Grid().Col(), 1);
  EXPECT_TRUE(GridEntryControl().locked);  // column 1 is the engine's
}

TEST_F(GridScreenTest, AnInsertedGuiPlusRowFreesTheKeyboard) {
  Receive(kGuiPlusForm);
  Grid().SetRow(2);
  Top().Grid().RowButton(0);
  shell.SetAwaitingReply(true);
  Receive("<GRIDCELL COL=1 ROW=2></TX>");
  EXPECT_EQ(States().msState, "FORM_ACTIVE");
  EXPECT_FALSE(shell.AwaitingReply());
  // The new row is in, and every row below it renumbered.
  EXPECT_EQ(Grid().TextMatrix(2, 1), "");
  EXPECT_EQ(Grid().TextMatrix(3, 1), "P2");
  EXPECT_EQ(Grid().TextMatrix(3, 0), "3");
}

TEST_F(GridScreenTest, RowCommandsTypedIntoTheRowNumberCell) {
  Receive(kIntegForm);
  Top().Grid().Click(2, 0);
  ASSERT_TRUE(Top().Controls().gridRow[0].visible);
  EXPECT_DOUBLE_EQ(GridEntryControl().left, Grid().left);
  link.sent.clear();
  Type("i");
  Key(vbkey::kEnter);
  EXPECT_THAT(link.sent, ElementsAre("4|I|2\r"));
  EXPECT_EQ(GridEntryControl().caption, "");
  EXPECT_EQ(Top().Model().entrySpec.Get(Top().Model().items.gridSpecRow, 4), "");
  // Back in the row-number cell: "\" goes up a row, Down goes down one.
  // The engine opens the new row, and files it.
  Receive("<GRIDCELL COL=1 ROW=2></TX>");
  EXPECT_EQ(States().msState, "GRID_UPDATE_ROW");
  EXPECT_EQ(Grid().TextMatrix(3, 1), "P2");
  EXPECT_EQ(Grid().TextMatrix(3, 0), "3");
  Receive("<GRIDCELL COL=1 ROW=2>P9<ACTIONCODE></TX>");
  EXPECT_EQ(States().msState, "FORM_ACTIVE");
  EXPECT_EQ(Grid().TextMatrix(2, 1), "P9");
  Top().Grid().Click(3, 0);
  Type("\\");
  Key(vbkey::kEnter);
  EXPECT_EQ(Grid().Row(), 2);
  Key(vbkey::kDown);
  EXPECT_EQ(Grid().Row(), 3);
  link.sent.clear();
  Key(46);  // Delete
  EXPECT_THAT(link.sent, ElementsAre("4|D|3\r"));
}

TEST_F(GridScreenTest, UpdateAndQuitCommandsAndEnterOnTheLastRowLeavesTheGrid) {
  Receive(kIntegForm);
  Top().Grid().Click(1, 0);
  link.sent.clear();
  Type(" m ");
  Key(vbkey::kEnter);
  EXPECT_THAT(link.sent, ElementsAre("4|M|1\r"));
  EXPECT_EQ(States().msState, "GRID_UPDATE_ROW");
  Receive("<GRIDCELL COL=1 ROW=1>P1<ACTIONCODE></TX>");
  Top().Grid().Click(2, 0);
  link.sent.clear();
  Type("q");
  Key(vbkey::kEnter);
  EXPECT_THAT(link.sent, ElementsAre("Q\r"));  // the quit button's text
  // An empty command on the last row lets Enter leave the grid: nothing is sent for it.
  Top().Grid().Click(Grid().Rows() - 1, 0);
  link.sent.clear();
  Key(vbkey::kEnter);
  EXPECT_THAT(link.sent, IsEmpty());
  EXPECT_EQ(Top().Model().gridCursor.editRow, 0);
  EXPECT_EQ(Grid().Row(), Grid().Rows() - 1);
}

TEST_F(GridScreenTest, AnAddOnRowGrowsTheGridAndTheGridIsLeftWithTheExitCommand) {
  Receive(kIntegForm);
  link.sent.clear();
  Receive("<ADDON><GRIDCELL COL=1 ROW=3>P3</TX>");
  EXPECT_EQ(States().msState, "GRID_ESCAPE");
  EXPECT_THAT(link.sent, ElementsAre("X\r\n"));
  EXPECT_EQ(Top().Model().gridArea.mnGridRows, 3);
  Receive("<ACTIONCODE></TX>");
  EXPECT_EQ(States().msState, "FORM_ACTIVE");
  EXPECT_EQ(Grid().TextMatrix(4, 0), "4");  // the add-on row has its numbered spare row
  EXPECT_TRUE(Top().Controls().gridRow[2].visible);
  EXPECT_DOUBLE_EQ(GridEntryControl().left, -9999);
}

TEST_F(GridScreenTest, CellsOutsideTheGridAreLeftOutAndTheTitlesStay) {
  Receive(kGuiPlusForm);
  // A cell record past the last column, one on the heading row, one far below.
  Receive(
      "<GRIDCELL COL=9 ROW=1>x<GRIDCELL COL=1 ROW=0>y<GRIDCELL COL=2 ROW=6>z"
      "<GRIDCELL COL=3 ROW=1></TX>");
  EXPECT_EQ(Grid().TextMatrix(0, 1), "Product");
  EXPECT_EQ(Grid().TextMatrix(6, 2), "z");
  EXPECT_EQ(Grid().TextMatrix(5, 0), "5");
  EXPECT_EQ(Grid().Row(), 1);  // the entry record after them still applies
  EXPECT_EQ(States().msFormState, "UPDATE");
}

TEST_F(GridScreenTest, AnEditScrolledOutOfViewKeepsItsTextAndIsSentAsTyped) {
  std::string fill;
  for (int i = 1; i <= 12; ++i)
    fill += "<DATA>P" + std::to_string(i) + "\\Part\\" + std::to_string(i);
  std::string form = kGuiPlusForm;
  form.replace(form.find("<GRIDFILL>"), form.find("</GRIDFILL>") - form.find("<GRIDFILL>"),
               "<GRIDFILL>" + fill);
  Receive(form);
  Top().Grid().Click(2, 3);
  Type("20");
  Top().Grid().Scroll(8);  // row 2 leaves the view
  EXPECT_EQ(GridEntryControl().caption, "20");
  EXPECT_DOUBLE_EQ(GridEntryControl().left, -9999);
  Top().Grid().Scroll(1);  // and comes back: the entry is over its cell again
  EXPECT_DOUBLE_EQ(GridEntryControl().left, Grid().left + GridCellLeft(Grid()));
  link.sent.clear();
  Top().Grid().Scroll(8);
  Top().Grid().Click(9, 3);
  EXPECT_THAT(link.sent, ElementsAre("7|3|2|20\r"));
}

TEST_F(GridScreenTest, CellRecordsRefreshEntriesOutsideTheGridAndOpenPopups) {
  Receive(
      "<FORM TYPE=FUNCTION><PROGRAM NAME=EX><FORMHEADER>E,External,DEMO"
      "<POSITION TOP=3 LEFT=2>Total<POSITION TOP=3 LEFT=20 ACTION=1><TEXTBOX WIDTH=8>0"
      "<GRID ACTION=4 TOP=5 HEIGHT=6 TYPE=INTEG><COLUMN WIDTH=8>Product"
      "<ACTIONCODE></TX>");
  ScreenModel& m = Top().Model();
  const std::int32_t total = std::stoi(EntryControl(Top().Controls(), 1).tag);
  m.entrySpec.Set(total, 4, "42");
  m.entrySpec.Set(total, 3, "-1");  // the engine locks it
  m.popups.Set(2, "<POSITION TOP=10 LEFT=22>Note");
  GridCellRecords& records = m.gridCells;
  records.muGridRedim();
  records.SetCellAction(1, "EXTERNAL");
  records.SetRow(1, total);
  records.SetCellAction(2, "EXTERNAL");
  records.SetRow(2, 1);  // the form header: no entry, nothing changes
  records.SetCellAction(3, "DO_POPUP");
  records.SetCellText(3, "2");
  records.SetCellAction(5, "READONLY");  // after the empty record 4: not applied
  records.SetRow(5, 1);
  records.SetCol(5, 1);
  records.SetCellText(5, "late");
  Top().Grid().GridActionsDraw();
  EXPECT_EQ(EntryControl(Top().Controls(), 1).caption, "42");
  EXPECT_FALSE(EntryControl(Top().Controls(), 1).enabled);
  EXPECT_EQ(Top().OpenPopups().size(), 1u);
  EXPECT_EQ(States().msState2, "POPUP_FOCUS");
  EXPECT_EQ(Grid().TextMatrix(1, 1), "");
}

TEST_F(GridScreenTest, TheGridCopyIsTabSeparatedWithTheHeadingRow) {
  Receive(kIntegForm);
  EXPECT_EQ(Top().OptionGridText(),
            "Product\tDescription\tQty\t\r\nP1\tBolt\t5\t\r\nP2\tNut\t7\t\r\n\t\t\t");
  Receive(
      "<FORM TYPE=FUNCTION><PROGRAM NAME=RO><FORMHEADER>R,Rows,DEMO"
      "<GRID ACTION=1 TOP=5 TYPE=READONLY><COLUMN WIDTH=6>Attr<COLUMN WIDTH=20>Data"
      "<GRIDFILL><DATA>1\\Alpha<DATA>2\\Beta</GRIDFILL><ACTIONCODE></TX>");
  GridModel& grid = Grid();
  grid.SetRow(2);
  grid.SetCol(1);
  grid.SetRowSel(2);
  grid.SetColSel(2);
  EXPECT_EQ(Top().OptionGridText(), "2\tBeta");
  grid.SetRow(1);  // a new current cell starts a new selection
  grid.SetColSel(2);
  grid.SetRowSel(2);
  EXPECT_EQ(Top().OptionGridText(), "Attr\tData\r\n1\tAlpha\r\n2\tBeta");
}

}  // namespace
}  // namespace orvik::client
