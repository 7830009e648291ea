// The form item parser: new forms, refreshes and updates, as the engine's applications send
// them.

#include "form_items.h"

#include <gtest/gtest.h>

#include "reader_fixture.h"
#include "rx_form_parse.h"

namespace orvik::client {
namespace {

class FormItemsTest : public ReaderTest {
 protected:
  FormItemsTest() { SetStates("FORM_ACTIVE", "FUNCTION"); }

  // A new form, through the form tag parser as the dispatcher hands it over.
  void NewForm(std::string_view items, std::string_view formTag = "<FORM TYPE=FUNCTION>") {
    states().msFormState = "FUNCTION";
    RXFormParse(std::string(formTag) + std::string(items), model(), shell);
  }
  // A transmission that changes the form on screen.
  void Update(std::string tx, std::string formState = "UPDATE") {
    states().msFormState = std::move(formState);
    FormItemsFunction(tx, model(), shell);
  }
  const ItemParserState& items() { return model().items; }
};

TEST_F(FormItemsTest, LabelsTakeTheirPlaceAndAtfTagsVanish) {
  NewForm(
      "<POSITION TOP=5 LEFT=2>Na<atf @=-1>me<POSITION TOP=6 LEFT=2>A label of twenty chars"
      "<ATF @=-2</TX>");
  EXPECT_EQ(Row(3), "LABEL||FIXED|Name|5|2|20|||1||Y");
  EXPECT_EQ(Row(4), "LABEL||FIXED|A label of twenty chars|6|2|AUTO|||2||Y");
  // The unclosed ATF took the rest: no end row.
  EXPECT_EQ(Row(5), "");
  EXPECT_EQ(items().entryRowCount, 4);
}

TEST_F(FormItemsTest, EntriesWithoutAnActionCodeGetAutomaticNumbers) {
  NewForm(
      "<POSITION TOP=5 LEFT=2><TEXTBOX WIDTH=8 MAXLENGTH=10>a<POSITION TOP=6 LEFT=2>"
      "<TEXTBOX ALIGNMENT=RIGHT>b</TX>");
  EXPECT_EQ(Row(3), "TEXTBOX|140|1|a|5|2|8||80|1|10|Y");
  EXPECT_EQ(Row(4), "TEXTBOX|140|1|b|6|2|||81|2||Y");
  EXPECT_EQ(Row(5), "/TX|||||||||||Y");
  EXPECT_EQ(spec().Alignment(3), "0");
  EXPECT_EQ(spec().Alignment(4), "1");
}

TEST_F(FormItemsTest, EntriesAreNumberedByActionCodeFieldAndRow) {
  NewForm(
      "<POSITION TOP=5 LEFT=2 ACTION=5><TEXTBOX><POSITION TOP=6 LEFT=2 ACTION=0><TEXTBOX>"
      "<POSITION TOP=7 LEFT=2 ACTION=4><TEXTBOX></TX>");
  EXPECT_EQ(spec().Get(3, 10), "2");
  EXPECT_EQ(spec().Get(4, 10), "0");
  EXPECT_EQ(spec().Get(5, 10), "1");
  EXPECT_EQ(items().miEntryNew, 1);  // the last entry of the last action code seen
  NewForm(
      "<POSITION TOP=5 LEFT=2 ACTION=5><TEXTBOX><POSITION TOP=6 LEFT=2 ACTION=3><TEXTBOX>"
      "</TX>");
  EXPECT_EQ(spec().Get(3, 10), "2");
  EXPECT_EQ(spec().Get(4, 10), "1");
}

TEST_F(FormItemsTest, FieldNumbersPastNinetyNineKeepTheOrderOfActionCodes) {
  NewForm(
      "<POSITION TOP=5 LEFT=2 ACTION=1|150><TEXTBOX><POSITION TOP=6 LEFT=2 ACTION=2>"
      "<TEXTBOX></TX>");
  EXPECT_EQ(spec().Get(3, 9), "150");
  EXPECT_EQ(model().subActions.Get(1, 1), 150);
  EXPECT_EQ(spec().Get(3, 10), "1");
  EXPECT_EQ(spec().Get(4, 10), "2");
}

TEST_F(FormItemsTest, AnActionAfterASubActionIsItsOwn) {
  NewForm("<POSITION TOP=5 LEFT=2 SUBACTION=2 ACTION=5><TEXTBOX></TX>");
  EXPECT_EQ(spec().Get(3, 2), "5");
  EXPECT_EQ(spec().Get(3, 9), "2");
  EXPECT_EQ(model().subActions.Get(5, 1), 2);
}

TEST_F(FormItemsTest, NominatePairsMakeOneCodeAndDescriptionEntry) {
  NewForm(
      "<POSITION TOP=5 LEFT=10><TEXTBOX action=nominate>C1<POSITION TOP=5 LEFT=12>"
      "<TEXTBOX ACTION=0>desc</TX>");
  EXPECT_EQ(Row(3), "TEXTBOX|0|3|C1|5|10||||0||Y");
  EXPECT_EQ(Row(4), "/TX|||||||||||Y");
  EXPECT_EQ(states().msFormState, "FUNCTION");

  NewForm(
      "<POSITION TOP=5 LEFT=10><NOMINATE>C1<POSITION TOP=9 LEFT=40><TEXTBOX ACTION=0>x"
      "</TX>");
  EXPECT_EQ(spec().Get(3, 3), "-3");
  EXPECT_EQ(spec().Get(4, 1), "TEXTBOX");
  EXPECT_EQ(items().miEntryNew, 1);

  // On a form already on screen the pairing turns it into a nomination screen.
  Update("<POSITION TOP=12 LEFT=40><TEXTBOX ACTION=0>y</TX>");
  EXPECT_EQ(states().msFormState, "NOMINATE");
}

TEST_F(FormItemsTest, RowsMakeAGroupOfLines) {
  NewForm("<POSITION TOP=5 LEFT=2 ACTION=7><TEXTBOX ROWS=3>l1</TX>");
  EXPECT_EQ(model().subActions.Get(7, 1), 3);
  EXPECT_EQ(Row(3), "TEXTBOX|7|1|l1|5|2|||1|1||Y");
  EXPECT_EQ(Row(4), "TEXTBOX|7|1|l1|6|2|||2|2||Y");
  EXPECT_EQ(Row(5), "TEXTBOX|7|1|l1|7|2|||3|3||Y");
  EXPECT_EQ(Row(6), "/TX|||||||||||Y");
  EXPECT_EQ(items().miEntryNew, 3);
  // A group larger than the table stops where the table ends.
  NewForm("<POSITION TOP=5 LEFT=2 ACTION=8><TEXTBOX ROWS=2000000000></TX>");
  EXPECT_EQ(items().entryRowCount, kEntryRows);
  EXPECT_EQ(spec().Get(200, 9), "198");
}

TEST_F(FormItemsTest, AnAutomaticHeaderFromTheFirstLines) {
  NewForm(
      "<POSITION TOP=1 LEFT=0>Customers<POSITION TOP=1 LEFT=30>Edit<POSITION TOP=5 LEFT=2>"
      "Name</TX>");
  EXPECT_EQ(Row(1), "FORMHEADER|||Customers|Edit|||||||Y");
  EXPECT_EQ(Row(3), "LABEL||FIXED|Name|5|2|20|||1||Y");
  // A form that sends its own header keeps the line as a label.
  NewForm("<FORMHEADER>A,B,C<POSITION TOP=1 LEFT=0>Line</TX>");
  EXPECT_EQ(Row(1), "FORMHEADER|||A|B|C||||||Y");
  EXPECT_EQ(Row(3), "LABEL||FIXED|Line|1|0|20|||1||Y");
}

TEST_F(FormItemsTest, AGridFillBlockIsPutAsideAndItsEndMarkersStay) {
  NewForm("<GRID TOP=5 ACTION=1><COLUMN WIDTH=5>A<GRIDFILL><DATA>x\\y<ACTIONCODE></TX>");
  EXPECT_EQ(items().gridFillText, "<DATA>x\\y");
  EXPECT_TRUE(items().mbActionCode);
  EXPECT_EQ(Row(5), "/TX|||||||||||Y");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "WARNING: <GRIDFILL> without matching </GRIDFILL>");

  settings.devMsg = false;
  NewForm("<GRID TOP=5 ACTION=1><GRIDFILL><DATA>1</TX>");
  EXPECT_EQ(items().gridFillText, "<DATA>1");
  EXPECT_EQ(Row(4), "/TX|||||||||||Y");
  NewForm("<GRID TOP=5 ACTION=1><gridfill><DATA>1</GRIDFILL><ACTIONCODE></TX>");
  EXPECT_EQ(items().gridFillText, "<DATA>1");
  EXPECT_TRUE(items().mbActionCode);
  NewForm("<GRID TOP=5 ACTION=1><GRIDFILL><DATA>2");
  EXPECT_EQ(items().gridFillText, "<DATA>2");
  EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(FormItemsTest, TheGridAndItsColumns) {
  settings.dialogLine = 20;
  NewForm(
      "<GRID TOP=5 ACTION=1 TYPE=READONLY TOPASSOC=7 BOTTOMASSOC=3 FONT.SIZE=11 "
      "FONT.BOLD=FALSE SCROLLBARS=1 WIDTH=40 HEIGHT=8><COLUMN WIDTH=6 ETYPE=3>Code"
      "<COLUMN WIDTH=20 ALIGN=RIGHT>Name</TX>");
  EXPECT_EQ(Row(3), "GRID|1|||5||40|8||1||Y");
  EXPECT_EQ(Row(4), "GRIDCOL||3|Code|||6||1|||Y");
  EXPECT_EQ(Row(5), "GRIDCOL||0|Name|RIGHT||20||2|||Y");  // shows column 1's description
  EXPECT_EQ(items().gridSpecRow, 3);
  EXPECT_EQ(items().gridWidthSum, 32);
  EXPECT_EQ(model().gridArea.mnGridRowTopAssoc, 7);
  EXPECT_EQ(model().gridArea.mnGridRowBottomAssoc, 19);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text,
            "WARNING: GRID definition does not make sense!  \r\nThe top line is 7\r\nand the "
            "bottom line is 3 which means your bottom is\r\nabove your top.  OrvikLink will "
            "ignore this bottom and try to work it out from other data.");
  EXPECT_EQ(model().layout.msGridType, "READONLY");
  EXPECT_EQ(model().grid.highlight, 0);
  EXPECT_EQ(model().grid.font.size, 11);
  EXPECT_FALSE(model().grid.font.bold);
  EXPECT_EQ(model().grid.font.name, "MS Sans Serif");
  EXPECT_EQ(model().grid.scrollBars, 1);
  EXPECT_FALSE(model().grid.visible);
  EXPECT_EQ(model().grid.tag, "-1");

  NewForm("<GRID TOP=5 ACTION=1></TX>");
  EXPECT_EQ(model().gridArea.mnGridRowTopAssoc, 6);
  EXPECT_EQ(model().grid.scrollBars, 2);
  EXPECT_TRUE(model().grid.font.bold);
  EXPECT_DOUBLE_EQ(model().grid.font.size, 0.9 * 9.75);
  EXPECT_EQ(model().layout.msGridType, "INTEG");
  EXPECT_EQ(model().grid.highlight, 1);
}

TEST_F(FormItemsTest, AnEntryOfTheGridsCodeOpensAGridColumn) {
  NewForm(
      "<GRID TOP=5 ACTION=6><COLUMN WIDTH=5>A<COLUMN WIDTH=5>B"
      "<POSITION ACTION=6|2|1><TEXTBOX></TX>");
  EXPECT_EQ(Row(6), "/TX|||||||||||Y");
  EXPECT_EQ(items().gridEntryCol, 2);
  EXPECT_TRUE(items().focusRequest);
}

TEST_F(FormItemsTest, GridCellsAreWrittenAndGrowTheGrid) {
  NewForm("<GRID TOP=5 ACTION=6><COLUMN WIDTH=5>A<COLUMN WIDTH=5>B</TX>");
  model().grid.SetRows(6);
  model().grid.SetCols(4);
  Update(
      "<GRIDCELL ROW=4 COL=2>A\\Alpha<GRIDCELL ROW=5 COL=1>last<GRIDCELL ROW=2 COL=1>"
      "{null}</TX>");
  const GridModel& grid = model().grid;
  EXPECT_EQ(grid.TextMatrix(4, 2), "A");
  EXPECT_EQ(grid.TextMatrix(4, 3), "Alpha");
  EXPECT_EQ(grid.Rows(), 7);
  EXPECT_EQ(grid.TextMatrix(6, 0), "6");
  EXPECT_EQ(grid.CellAlignmentAt(6, 0), kAlignRightCentre);
  EXPECT_EQ(model().gridArea.mnGridRows, 1);
  EXPECT_EQ(grid.TextMatrix(2, 1), "");
  EXPECT_EQ(spec().Get(3, 4), "");  // the GRID row holds the current cell's text
  // The end row stays when grid cells arrive; the update adds its own.
  EXPECT_EQ(spec().Get(6, 1), "/TX");
  EXPECT_EQ(spec().Get(7, 1), "/TX");
}

TEST_F(FormItemsTest, UpdatesChangeValuesAndKeepRowsInPlace) {
  NewForm(
      "<POSITION TOP=5 LEFT=2>Label<POSITION TOP=5 LEFT=20 ACTION=1><TEXTBOX>C100"
      "<POSITION TOP=6 LEFT=20 ACTION=2><TEXTBOX>Acme</TX>");
  model().items.lastEntryNumber = 2;
  Update(
      "<POSITION TOP=5 LEFT=2>New label<POSITION TOP=6 LEFT=20>Acme Ltd"
      "<POSITION ACTION=1>{NULL}</TX>");
  EXPECT_EQ(Row(3), "LABEL||FIXED|New label|5|2|20|||1||Y");
  EXPECT_EQ(Row(4), "TEXTBOX|1|1||5|20||||1||Y");
  EXPECT_EQ(Row(5), "TEXTBOX|2|1|Acme Ltd|6|20||||2||Y");
  EXPECT_EQ(Row(6), "/TX|||||||||||Y");
  EXPECT_EQ(items().miEntryNew, 1);
  EXPECT_EQ(items().lastActionCode, 1);

  // A header line on an update is no label; an empty text changes nothing but the focus.
  Update("<POSITION TOP=1 LEFT=0>Other header<POSITION TOP=6 LEFT=20></TX>");
  EXPECT_EQ(Row(7), "");
  EXPECT_EQ(spec().Get(5, 4), "Acme Ltd");
  EXPECT_EQ(items().miEntryNew, 2);
  EXPECT_TRUE(items().focusRequest);
}

TEST_F(FormItemsTest, EmptyRowsAndUnplacedEntriesStandNowhere) {
  NewForm(
      "<POSITION TOP=0 LEFT=0>Corner<POSITION ACTION=1><TEXTBOX>a<POSITION ACTION=2>"
      "<TEXTBOX>b</TX>",
      "<FORM TYPE=FUNCTION STYLE=msgrey>");  // a style without an automatic header
  EXPECT_EQ(spec().Get(3, 4), "Corner");
  EXPECT_EQ(spec().Get(4, 4), "a");
  EXPECT_EQ(spec().Get(5, 4), "b");
}

TEST_F(FormItemsTest, AnEntryAtTheSamePlaceReplacesTheOldOne) {
  NewForm("<GRID TOP=5 ACTION=3><POSITION TOP=9 LEFT=20 ACTION=1><TEXTBOX WIDTH=5>a</TX>");
  model().items.lastEntryNumber = 2;
  Update(
      "<POSITION TOP=9 LEFT=21 ACTION=4><COMBO>b|b|c<POSITION TOP=12 LEFT=2 ACTION=3>"
      "<COMMAND></TX>");
  EXPECT_EQ(spec().Get(4, 1), "COMBO");
  EXPECT_EQ(spec().Get(4, 2), "4");
  EXPECT_EQ(spec().Get(4, 4), "b|b|c");
  EXPECT_EQ(spec().Get(4, 6), "21");
  EXPECT_EQ(spec().Get(4, 7), "5");
  // The command took the grid's code: the grid is erased and hidden.
  EXPECT_EQ(spec().Get(3, 1), "COMMAND");
  EXPECT_EQ(spec().Get(3, 4), "More...");
  EXPECT_FALSE(model().grid.visible);
  ASSERT_FALSE(dialogs.boxes.empty());
  EXPECT_EQ(dialogs.boxes.back().text,
            "DEVELOPER's MESSAGE: you have just defined a new Entry Control with the same "
            "Action Code as your existing GRID.  The effect of this is to erase the Grid and "
            "replace it with the new COMMAND.");
  EXPECT_EQ(Row(5), "/TX|||||||||||Y");
}

TEST_F(FormItemsTest, ChecksCombosAndDisabledEntries) {
  settings.check = "Y|N";
  NewForm(
      "<POSITION TOP=5 LEFT=2 ACTION=1><CHECK>Y\\Yes<POSITION TOP=6 LEFT=2 ACTION=2>"
      "<COMBO>A|A|B|C<POSITION TOP=7 LEFT=2 ACTION=3><TEXTBOX ENABLED=FALSE ETYPE=3>x"
      "<POSITION TOP=8 LEFT=2 ACTION=4><CHECK></TX>");
  EXPECT_EQ(spec().Get(3, 4), "1\\Yes");
  EXPECT_EQ(spec().Get(6, 4), "0");
  EXPECT_EQ(spec().Get(5, 3), "-3");
  model().items.lastEntryNumber = 4;
  Update("<POSITION ACTION=2>B<POSITION ACTION=1>N<POSITION ACTION=3>q\\desc</TX>");
  EXPECT_EQ(spec().Get(4, 4), "B|A|B|C");
  EXPECT_EQ(spec().Get(3, 4), "0");
  EXPECT_EQ(spec().Get(5, 4), "q\\desc");
  settings.check.clear();
  Update("<POSITION ACTION=1>\\none<POSITION ACTION=2>Z\\Zed</TX>");
  EXPECT_EQ(spec().Get(3, 4), "0\\none");
  EXPECT_EQ(spec().Get(4, 4), "Z|A|B|C\\Zed");
}

TEST_F(FormItemsTest, ItemsThatSetTheFormsVariables) {
  states().msState = "FORM_SEND_ACTIONCODE";
  NewForm(
      "<PROGRAM> CUST <MSGBOX>Saved<STEPOPEN TYPE=ack><DO_POPUP INDEX=2><ACTIONCODE>"
      "<POSITION TOP=5 LEFT=2>CHAR(65</TX>");
  EXPECT_EQ(model().layout.msPickProgram, "CUST");
  EXPECT_EQ(model().texts.msDialog, "Saved");
  EXPECT_EQ(model().texts.msDialogType, "OKONLY");
  EXPECT_EQ(items().openType, "ACK");
  EXPECT_EQ(items().openCount, 0);
  EXPECT_EQ(Row(3), "DO_POPUP|2||||||||||Y");
  EXPECT_TRUE(items().mbActionCode);
  EXPECT_EQ(spec().Get(4, 4), "CHAR(65");  // a value that does not decode stays as sent
  EXPECT_FALSE(items().focusRequest);
  model().items.lastEntryNumber = 6;
  states().msState = "MSGBOX_INFO";
  Update("<FULLOPEN><MSGBOX TYPE=INFO>Other</TX>");
  EXPECT_EQ(items().openType, "");
  EXPECT_EQ(items().openCount, 6);
  EXPECT_EQ(model().texts.msDialog, "Saved");
}

TEST_F(FormItemsTest, ARefreshKeepsTheSkeleton) {
  NewForm(
      "<FORMHEADER>H1,H2,H3<POSITION TOP=4 LEFT=2>Fixed<POSITION TOP=5 LEFT=20 ACTION=1>"
      "<TEXTBOX>v<POSITION TOP=6 LEFT=20 ACTION=2><COMMAND>Go</TX>");
  states().msFormState = "UPDATE";
  model().items.lastEntryNumber = 2;
  Update("<POSITION TOP=8 LEFT=2>Note</TX>");
  EXPECT_EQ(spec().Get(6, 4), "Note");
  EXPECT_EQ(spec().Get(6, 3), "");  // not fixed: added by an update
  Update("<POSITION ACTION=1>w</TX>", "REFRESH");
  EXPECT_EQ(Row(1), "FORMHEADER|||H1|H2|H3||||||Y");
  EXPECT_EQ(spec().Get(3, 4), "Fixed");
  EXPECT_EQ(spec().Get(4, 4), "w");
  EXPECT_EQ(spec().Get(5, 4), "Go");
  EXPECT_EQ(Row(6), "/TX|||||||||||Y");
  EXPECT_EQ(Row(7), "");
  EXPECT_EQ(items().entryRowCount, 6);
}

TEST_F(FormItemsTest, UpdatesOfAFormThatIsNotThere) {
  model().items.entryRowCount = 0;
  Update("<POSITION TOP=5 LEFT=2>x</TX>");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text,
            "ERROR! Server is attempting to UPDATE a form that does not exist");
  EXPECT_EQ(items().entryRowCount, 2);
  EXPECT_EQ(spec().Get(3, 1), "");
  Update("<POSITION TOP=5 LEFT=2>x</TX>");
  EXPECT_EQ(dialogs.boxes.back().text,
            "ERROR: Form update signal is bad, please END or DIAGNOSE if possible.");
  EXPECT_EQ(spec().Get(3, 4), "x");
}

TEST_F(FormItemsTest, MoreItemsThanTheTableHolds) {
  std::string tx;
  for (int i = 0; i < 250; ++i) tx += "<POSITION TOP=" + std::to_string(3 + i) + " LEFT=2>L";
  NewForm(tx + "<PROGRAM NAME=LATE></TX>");
  EXPECT_EQ(items().entryRowCount, kEntryRows);
  EXPECT_EQ(spec().Get(200, 5), "200");
  EXPECT_EQ(model().layout.msPickProgram, "LATE");  // items past the table are still read
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text,
            "ERROR: Form has more than 200 items; OrvikLink shows the first 200.");
}

}  // namespace
}  // namespace orvik::client
