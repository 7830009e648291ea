// Popup extraction, grid-cell transmissions and the form tag parser.

#include <gtest/gtest.h>

#include "reader_fixture.h"
#include "rx_form_parse.h"
#include "rx_grid_process.h"
#include "rx_popups_extract.h"

namespace orvik::client {
namespace {

class PopupsExtractTest : public ReaderTest {
 protected:
  std::string Extract(std::string text) {
    RXPopupsExtract(text, model().popups, dialogs);
    return text;
  }
};

TEST_F(PopupsExtractTest, BlocksBecomeNumberedReferences) {
  EXPECT_EQ(Extract("A<POPUP BOX>Hi</POPUP>B"), "A<DO_POPUP INDEX=1>B");
  EXPECT_EQ(model().popups.Get(1), "<POPUP BOX>Hi</POPUP>");
  EXPECT_EQ(Extract("<POPUP>one</POPUP>-<popup x>two</POPUP>"),
            "<DO_POPUP INDEX=1>-<DO_POPUP INDEX=2>");
  EXPECT_EQ(model().popups.Get(2), "<popup x>two</POPUP>");
  EXPECT_EQ(Extract("plain text <P>"), "plain text <P>");
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(PopupsExtractTest, FiveBlocksAtMost) {
  std::string text;
  for (int i = 1; i <= 6; ++i) text += "<POPUP>" + std::to_string(i) + "</POPUP>";
  EXPECT_EQ(Extract(text),
            "<DO_POPUP INDEX=1><DO_POPUP INDEX=2><DO_POPUP INDEX=3><DO_POPUP INDEX=4>"
            "<DO_POPUP INDEX=5><POPUP>6</POPUP>");
  EXPECT_EQ(model().popups.Get(5), "<POPUP>5</POPUP>");
}

TEST_F(PopupsExtractTest, AMissingEndIsReportedAndTheBlockStopsBeforeTheEndOfTheText) {
  // A closing tag in lower case is no closing tag.
  EXPECT_EQ(Extract("x<POPUP BOX>Hello</popup>!</TX>"), "x<DO_POPUP INDEX=1>!</TX>");
  EXPECT_EQ(model().popups.Get(1), "<POPUP BOX>Hello</popup>");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::kExclamation);
  // Without "</TX>" the last character stays; an end marker before the block does not count.
  EXPECT_EQ(Extract("</TX><POPUP>ab"), "</TX><DO_POPUP INDEX=1>b");
  EXPECT_EQ(model().popups.Get(1), "<POPUP>a");
  EXPECT_EQ(Extract("<POPUP"), "<DO_POPUP INDEX=1>");
  EXPECT_EQ(Extract("<POPUP</TX>"), "<DO_POPUP INDEX=1></TX>");
}

class GridProcessTest : public ReaderTest {
 protected:
  void Grid(std::string_view text) { RXGridProcess(text, model(), shell); }
};

TEST_F(GridProcessTest, TheLastCellIsTheOneToEdit) {
  states().msState = "GRID_INSERT_ROW";
  Grid("<GRIDCELL COL=2 ROW=3>abc</TX>");
  EXPECT_EQ(Cells(), "ENTRY 2,3 abc\n");
  Grid("<GRIDCELL COL=1 ROW=3>x<GRIDCELL COL=2 ROW=3>y");
  EXPECT_EQ(Cells(), "READONLY 1,3 x\nENTRY 2,3 y\n");
  states().msState = "GRID_UPDATE_ROW";
  Grid("<GRIDCELL COL=1 ROW=3>x<GRIDCELL COL=2 ROW=3>y<ACTIONCODE>");
  EXPECT_EQ(Cells(), "READONLY 1,3 x\nREADONLY 2,3 y\n");
  EXPECT_EQ(states().msState, "GRID_UPDATE_ROW_END");
  // A lower-case action-code tag does not end the row.
  states().msState = "GRID_UPDATE_ROW";
  Grid("<GRIDCELL COL=1 ROW=3>x<actioncode>");
  EXPECT_EQ(states().msState, "GRID_UPDATE_ROW");
}

TEST_F(GridProcessTest, PositionsTeachWhereTheGridStands) {
  model().gridArea.mnGridRows = 1;
  Grid("<GRIDCELL COL=3 ROW=1><POSITION TOP=7 LEFT=40> x <DO_POPUP INDEX=1>");
  EXPECT_EQ(model().gridArea.mnGridRowTopAssoc, 7);
  EXPECT_EQ(model().gridArea.msGridAssocCols,
            "\xFE\xFE"
            "40");
  EXPECT_EQ(Cells(), "ENTRY 3,1 x\n");  // reading ended at the POSITION
  // A read-only cell takes the text after its POSITION; with commas as separators too.
  settings.positionSeparator = ',';
  Grid("<GRIDCELL,COL=2,ROW=1><POSITION,TOP=7,LEFT=30>ro<GRIDCELL COL=3 ROW=1>e");
  EXPECT_EQ(Cells(), "READONLY 2,1 ro\nENTRY 3,1 e\n");
}

TEST_F(GridProcessTest, ValuesPlacedInTheGridAreaOrOnAFormField) {
  GridArea& area = model().gridArea;
  area.msGridAssocCols =
      "10\xFE"
      "20";
  area.mnGridRowTopAssoc = 6;
  area.mnGridRowBottomAssoc = 12;
  model().entrySpec.Set(5, 1, "TEXTBOX");
  model().entrySpec.Set(5, 5, "3");
  model().entrySpec.Set(5, 6, "20");
  Grid(
      "<POSITION TOP=8 LEFT=20>B2<POSITION TOP=8 LEFT=20>B2 again<POSITION TOP=3 LEFT=20>"
      "Acme<POSITION TOP=3 LEFT=20>Acme Ltd<POSITION TOP=9 LEFT=55>   ");
  EXPECT_EQ(Cells(), "READONLY 2,3 B2 again\nEXTERNAL 0,5 \n");
  EXPECT_EQ(spec().Get(5, 4), "Acme Ltd");
  EXPECT_EQ(states().msState2, "EXTERNAL_CHANGE");
  // In a grid dialogue the external change is not flagged.
  states().msState2.clear();
  states().msStatePrevious = "GRID_UPDATE_ROW";
  Grid("<POSITION TOP=3 LEFT=20>Bolt");
  EXPECT_EQ(states().msState2, "");
  EXPECT_EQ(spec().Get(5, 4), "Bolt");
}

TEST_F(GridProcessTest, EmptyRowsStandNowhere) {
  // Row 2 of every form is kept empty; a text at 0,0 is no value of it.
  Grid("<POSITION TOP=0 LEFT=0>stray");
  EXPECT_EQ(Cells(), " 0,0 \n");
  EXPECT_EQ(spec().Get(1, 4), "");
  EXPECT_EQ(states().msState2, "");
}

TEST_F(GridProcessTest, AddOnRowsGrowTheGridAndPopupsAreRecorded) {
  states().msState = "GRID_ADDON";
  model().gridArea.mnGridRows = 2;
  Grid("<GRIDCELL COL=1 ROW=5>new<DO_POPUP INDEX=2><GRIDCELL COL=2 ROW=4>");
  EXPECT_EQ(model().gridArea.mnGridRows, 5);
  EXPECT_EQ(Cells(), "READONLY 1,5 new\nDO_POPUP 0,0 2\nENTRY 2,4 \n");
  // A column far outside any raster is not learnt.
  model().gridArea.mnGridRows = 1;
  Grid("<GRIDCELL COL=2000000000 ROW=1><POSITION TOP=7 LEFT=40>");
  EXPECT_EQ(model().gridArea.msGridAssocCols, "");
}

class FormParseTest : public ReaderTest {
 protected:
  void Parse(std::string_view text) { RXFormParse(text, model(), shell); }
};

TEST_F(FormParseTest, AMenuIsOneRowPerTag) {
  SetStates("FORM_ACTIVE", "MENU");
  Parse(
      "<FORM,TYPE=MENU,SCREEN=BOX><FORMHEADER>Orvik,Main,DEMO<L TOP=0 LEFT=5>Title"
      "<C ACTION=3>Orders<COLUMN><C ACTION=4 PROGRAM=INV>Stock<ALT_SELECT>Choice");
  EXPECT_EQ(settings.tagSeparator, ',');
  const FormLayout& layout = model().layout;
  EXPECT_EQ(layout.msFormScreen, "BOX");
  EXPECT_EQ(layout.mnBoxTop, 4);
  EXPECT_EQ(layout.mnBoxLeft, 17);
  EXPECT_EQ(layout.mnBoxWidth, 55);
  EXPECT_EQ(layout.mnBoxHeight, 14);
  EXPECT_EQ(layout.mnColumns, 2);
  EXPECT_TRUE(layout.mbMenuHeader);
  EXPECT_EQ(Row(1), "FORM TYPE=MENU SCREEN=BOX");
  EXPECT_EQ(Row(2), "FORMHEADER|Orvik|Main|DEMO");
  EXPECT_EQ(Row(3), "L|||Title|0|5|20");
  EXPECT_EQ(Row(4), "C|3||Orders");
  EXPECT_EQ(Row(5), "COLUMN");
  EXPECT_EQ(Row(6), "C|4|INV|Stock");
  EXPECT_EQ(Row(7), "A|||Choice");
  EXPECT_EQ(Row(8), "/TX");  // no "</TX>": an end row is added
}

TEST_F(FormParseTest, AStyleNamedLikeAMenuMakesAMenuAndTheEndTagEndsIt) {
  SetStates("FORM_ACTIVE", "FUNCTION");
  Parse("<FORM TYPE=FUNCTION STYLE=MYMENU><PROGRAM NAME=P1><H>Head</TX>");
  EXPECT_EQ(model().layout.msFormStyle, "MYMENU");
  EXPECT_EQ(model().layout.msPickProgram, "P1");
  EXPECT_EQ(Row(2), "PROGRAM");
  EXPECT_EQ(Row(3), "H|||Head");
  EXPECT_EQ(Row(4), "/TX");
  EXPECT_EQ(Row(5), "");
}

TEST_F(FormParseTest, LongMenusEndOnTheirLastRow) {
  SetStates("FORM_ACTIVE", "MENU");
  std::string menu = "<FORM TYPE=MENU>";
  for (int i = 1; i <= 44; ++i) menu += "<C ACTION=" + std::to_string(i) + ">Item";
  Parse(menu);
  EXPECT_EQ(spec().Get(45, 1), "/TX");  // row 45 is the 44th item's
  EXPECT_EQ(spec().Get(46, 1), "");
  std::string full = "<FORM TYPE=MENU>";
  for (int i = 1; i <= 250; ++i) full += "<C ACTION=1>x";
  Parse(full);
  EXPECT_EQ(spec().Get(200, 1), "C");
}

TEST_F(FormParseTest, TerminalTextIsHandedOverAndOnlyRowOneIsCleared) {
  SetStates("TERMINAL", "TERMINAL");
  model().entrySpec.Set(1, 4, "old");
  model().entrySpec.Set(3, 4, "kept");
  model().texts.msDialog = "box";
  Parse("<POSITION,TOP=1,LEFT=0>hello");
  EXPECT_EQ(model().texts.msData, "<POSITION,TOP=1,LEFT=0>hello");
  EXPECT_EQ(model().texts.msDialog, "");
  EXPECT_EQ(settings.positionSeparator, ',');
  EXPECT_EQ(spec().Get(1, 4), "");
  EXPECT_EQ(spec().Get(3, 4), "kept");
  EXPECT_EQ(model().subActions.Get(1, 1), 1);
}

TEST_F(FormParseTest, AFormHeaderIsNoFormTag) {
  // The engine's next query page: the header must not set the separator to "H", nor reset
  // the grid's kind.
  SetStates("FORM_ACTIVE", "REFRESH");
  model().layout.msGridType = "READONLY";
  settings.tagSeparator = ' ';
  Parse("<REFRESH><FORMHEADER>Query,Page2,TCL</TX>");
  EXPECT_EQ(settings.tagSeparator, ' ');
  EXPECT_EQ(model().layout.msGridType, "READONLY");
  EXPECT_EQ(FindFormTag("<FORMHEADER>x<form TYPE=MENU>"), 13u);
  EXPECT_EQ(FindFormTag("<FORMHEADER>x"), std::string_view::npos);
}

TEST_F(FormParseTest, ANewFormClearsTheTableAndEndsThePasswordDialogue) {
  SetStates("FORM_ACTIVE", "FUNCTION");
  model().entrySpec.Set(150, 4, "stale");
  model().subActions.Set(7, 1, 3);
  model().layout.mbCondensed = true;
  model().layout.font.size = 6;
  settings.appPasswordPrompt = "Secret:";
  settings.declareGui = true;
  settings.displayMode = "GUIPLUS";
  Parse("<FORM TYPE=FUNCTION><PROGRAM NAME=X></TX>");
  EXPECT_EQ(spec().Get(150, 4), "");
  EXPECT_EQ(model().subActions.Get(7, 1), 1);
  EXPECT_FALSE(model().layout.mbCondensed);
  EXPECT_EQ(model().layout.mCX, 144);
  EXPECT_EQ(model().layout.font.size, 9.75);
  EXPECT_EQ(settings.appPasswordPrompt, "");
  EXPECT_FALSE(settings.declareGui);
  EXPECT_TRUE(model().layout.mbGuiPlus);
  EXPECT_EQ(model().layout.msGridType, "GUIPLUS");
  EXPECT_EQ(model().layout.msFormScreen, "FULL");
}

}  // namespace
}  // namespace orvik::client
