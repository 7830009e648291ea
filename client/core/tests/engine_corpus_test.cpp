// What the transmissions the real engine sent leave in the screen: the recorded VBGUI session
// of tests/corpus/engine_session.txt (the login, TCL verbs, a query form with paging, SHOW,
// and the demo application), delivered piece by piece as the poll loop delivers it.
//
// Between transmissions the test does what the parts of the screen that are not built here
// would do to the states: the terminal renderer, the data-entry layout (the kind of screen
// it leaves, the entry numbers, the grid it lays out and fills), the state machine's answer
// to a box, and the entry handlers that send an action code.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "corpus_file.h"
#include "grid_fill.h"
#include "reader_fixture.h"

namespace orvik::client {
namespace {

const std::filesystem::path kSession =
    std::filesystem::path(ORVIK_CLIENT_CORPUS_DIR) / "engine_session.txt";

std::vector<CorpusStep> Recorded() {
  std::ifstream file(kSession, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return ParseCorpus(text.str());
}

class EngineCorpusTest : public ReaderTest {
 protected:
  EngineCorpusTest() : steps_(Recorded()) {
    // The first screen of the client: terminal mode, and the text start-up stages itself.
    SetStates("TERMINAL", "TERMINAL");
    msRX_ = "<TERMINAL><ATF,@=-1>";
    // Once the terminal is set up the renderer marks the screen "UPDATE".
    form.onCall = [](const std::string& name, ScreenModel& m) {
      if (name == "TerminalDraw" && m.states.msFormState == "TERMINAL") {
        m.states.msFormState = "UPDATE";
      }
    };
  }

  // Delivers the step's output as the poll loop does: each piece appended to the pending
  // text, then a tick. Returns what stays pending.
  const std::string& Receive(const std::string& name) {
    form.calls.clear();
    for (const CorpusStep& step : steps_) {
      if (step.name != name) continue;
      for (const std::string& chunk : step.chunks) {
        msRX_ += chunk;
        shell.pollCounter = 0;
        RXProcess(msRX_, form, shell);
      }
      return msRX_;
    }
    ADD_FAILURE() << "no step '" << name << "' in " << kSession;
    return msRX_;
  }
  void Step(const std::string& name, const Expect& expect) {
    SCOPED_TRACE(name);
    Check(expect, Receive(name));
  }

  // The data-entry layout after it drew the screen.
  void DataEntryDrawn() {
    std::string& kind = states().msFormState;
    if (model().items.mbActionCode) {
      kind = "UPDATE";
    } else if (kind == "UPDATE" || kind == "NOMINATE") {
      if (states().msState2 != "EXTERNAL_CHANGE") kind = "NOM_NEW";
    } else if (kind == "FUNCTION" || kind == "REFRESH") {
      kind = "NOMINATE";
    }
    states().msState2.clear();
    std::int32_t lastEntry = 0;
    std::int32_t columns = 0;
    for (std::int32_t row = 1; row <= kEntryRows; ++row) {
      const std::string& type = spec().Get(row, 1);
      if (type == "/TX") break;
      if (type == "GRIDCOL") ++columns;
      if (type == "TEXTBOX" || type == "GRID") {
        lastEntry = std::max(lastEntry, std::stoi("0" + spec().Get(row, 10)));
      }
    }
    model().items.lastEntryNumber = lastEntry;
    if (model().items.gridFillText.empty()) return;
    GridModel& grid = model().grid;
    grid.Clear();
    grid.SetRows(3);
    grid.SetCols(columns + 2);  // the row numbers, the columns, a narrow closing one
    for (std::int32_t row = 1, col = 0; row <= kEntryRows && spec().Get(row, 1) != "/TX"; ++row) {
      if (spec().Get(row, 1) != "GRIDCOL") continue;
      ++col;
      if (spec().Get(row, 5) == "RIGHT") grid.SetColData(col, 1);
    }
    GridFillLoad(model(), shell);
  }

  const std::vector<CorpusStep> steps_;
  std::string msRX_;
};

TEST_F(EngineCorpusTest, TheSessionHoldsEveryKindOfTransmission) {
  ASSERT_EQ(steps_.size(), 62u) << kSession;
  for (const CorpusStep& step : steps_) EXPECT_FALSE(step.chunks.empty()) << step.name;
}

TEST_F(EngineCorpusTest, TheLoginAndTheTclVerbsAreTerminalText) {
  Step("login: the greeting",
       {.state = "TERMINAL",
        .formState = "UPDATE",
        .calls = kTerminal,
        .pending = "",
        .data = "<TERMINAL><ATF,@=-1>\r\r======== OrvikEngine 1.2 Please Login =========\r\r"
                "username: "});
  EXPECT_EQ(settings.positionSeparator, ',');  // from the text start-up staged
  Step("login: the user name", {.calls = kTerminal, .data = "demo\r\rpassword: "});
  Step("login: the password", {.state = "TERMINAL", .calls = kTerminal});
  Step("LOGTO", {.calls = kTerminal,
                 .data = "LOGTO shop\r\rOK - you are now working in account \"shop\"\r\r:"});
  Step("CREATE-FILE", {.calls = kTerminal});
  Step("INSERT a first customer", {.calls = kTerminal});
  Step("INSERT a second customer", {.calls = kTerminal});
  Step("LISTF", {.state = "TERMINAL",
                 .calls = kTerminal,
                 .data = "LISTF\r<TERMINAL><ATF @=-1><POSITION TOP=1 LEFT=0>LISTF = List of "
                         "Files/Tables\r\r\rmd\rCUST\r\r\r:</TX>\r:"});
  Step("WHO", {.state = "TERMINAL",
               .formState = "UPDATE",
               .calls = kTerminal,
               .pending = "",
               .data = "WHO\r\rdemo*1 shop\r:"});
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(EngineCorpusTest, AQueryFormPagesAndShowListsColumns) {
  for (const char* step :
       {"login: the greeting", "login: the user name", "login: the password", "LOGTO",
        "CREATE-FILE", "INSERT a first customer", "INSERT a second customer", "LISTF", "WHO"}) {
    Receive(step);
  }
  Step("SELECT: the query form",
       {.state = "FORM_ACTIVE",
        .previous = "TERMINAL",
        .formState = "FUNCTION",
        .calls = kMaster,
        .rows = {{1, "FORMHEADER|||Query|Page1|TCL||||||Y"},
                 {3, "LABEL||FIXED||3|1|20|||1||Y"},
                 {4, "TEXTBOX|0|1||3|100||||0||Y"},
                 {5,
                  "LABEL||FIXED|Enter for next record, q or x to exit this query.|4|1|AUTO|||2"
                  "||Y"},
                 {6, "LABEL||FIXED|SELECT * FROM CUST ORDER BY A0|3|0|AUTO|||3||Y"},
                 {7, "GRID|1|||5|||||1||Y"},
                 {8, "GRIDCOL||0|Attr|||6||1|||Y"},
                 {9, "GRIDCOL||0|Data|LEFT||65||2|||Y"},
                 {10, "/TX|||||||||||Y"}},
        .pending = ""});
  EXPECT_EQ(model().layout.msGridType, "READONLY");
  EXPECT_EQ(model().layout.msPickProgram, "TCLQUERYVBGUI");
  EXPECT_EQ(model().items.miEntryNew, 0);
  EXPECT_EQ(model().items.gridFillText, "<DATA>A0\\C1<DATA>A1\\Alpha<DATA>A2\\10");
  DataEntryDrawn();
  EXPECT_EQ(states().msFormState, "NOMINATE");
  EXPECT_EQ(model().grid.TextMatrix(2, 2), "Alpha");
  EXPECT_EQ(model().gridArea.mnGridRows, 3);

  // Enter on the nomination screen asks for the next record.
  Step("SELECT: the next page", {.state = "FORM_ACTIVE",
                                 .formState = "REFRESH",
                                 .calls = kMaster,
                                 .rows = {{1, "FORMHEADER|||Query|Page2|TCL||||||Y"},
                                          {4, "TEXTBOX|0|1||3|100||||0||Y"},
                                          {9, "GRIDCOL||0|Data|LEFT||65||2|||Y"},
                                          {10, "/TX|||||||||||Y"},
                                          {11, ""}},
                                 .pending = ""});
  EXPECT_EQ(settings.tagSeparator, ' ');
  EXPECT_EQ(model().layout.msGridType, "READONLY");
  DataEntryDrawn();
  EXPECT_EQ(model().grid.TextMatrix(1, 2), "C2");
  EXPECT_EQ(model().grid.TextMatrix(3, 2), "20");

  Step("SELECT: no more records",
       {.state = "TERMINAL",
        .formState = "UPDATE",
        .calls = kTerminal,
        .data = "\r<TERMINAL><ATF @=-1><ATF @=-37><POSITION LEFT=1 TOP=1>No more records in "
                "this query.<ATF @=-40><POSITION LEFT=1 TOP=3>:<POSITION LEFT=2 TOP=3></TX>"});

  Step("SHOW: the form",
       {.state = "FORM_ACTIVE",
        .formState = "FUNCTION",
        .calls = kMaster,
        .rows = {{1, "FORMHEADER|||Query|SHOW CUST|TCL||||||Y"},
                 {3, "LABEL||FIXED|SHOW CUST  ... press enter to return to TCL.|3|1|AUTO|||1||Y"},
                 {4, "TEXTBOX|0|1||3|100||||0||Y"},
                 {5, "LABEL||FIXED|Count = 2 items.|4|1|20|||2||Y"},
                 {6, "GRID|1|||5|||||1||Y"},
                 {12, "GRIDCOL||1|Dict Description(s)|LEFT||60||6|||Y"},
                 {13, "/TX|||||||||||Y"}}});
  EXPECT_EQ(model().items.gridWidthSum, 91);
  DataEntryDrawn();
  // Grid values are shown as sent: no escape in them is decoded.
  EXPECT_EQ(model().grid.TextMatrix(1, 2), "CHAR(25)");
  EXPECT_EQ(model().grid.TextMatrix(1, 6), "ItemID");
  EXPECT_EQ(model().grid.TextMatrix(3, 1), "A2");

  Step("SHOW: back to TCL", {.state = "TERMINAL", .calls = kTerminal});
  EXPECT_TRUE(dialogs.boxes.empty());
}

class DemoCorpusTest : public EngineCorpusTest {
 protected:
  // At the TCL prompt, as the query steps left it.
  DemoCorpusTest() {
    SetStates("TERMINAL", "UPDATE");
    settings.positionSeparator = ',';
    msRX_.clear();
  }
  // The menu is on screen and the user picks an item (its code and Enter).
  void OnTheMenu() { SetStates("FORM_ACTIVE", "MENU"); }
};

TEST_F(DemoCorpusTest, TheMenuAndAFormWhoseFieldsChangeByActionCode) {
  Step("DEMO: the menu", {.state = "FORM_ACTIVE",
                          .formState = "MENU",
                          .calls = Calls{"TerminalDraw", kMaster[0]},
                          .rows = {{1, "FORM TYPE=MENU STYLE=MDEFAULT"},
                                   {2, "PROGRAM"},
                                   {3, "FORMHEADER|Orvik|Demo application|DEMO"},
                                   {4, "L|||Main menu|3|20|20"},
                                   {5, "C|1||Customer details"},
                                   {7, "C|3||Message boxes"},
                                   {10, "C|6||Products (INTEG grid)"},
                                   {11, "C|7||Update a customer"},
                                   {12, "C|8||Customer notes (sub-form)"},
                                   {13, "C|9||Leave the demo"},
                                   {14, "A|||Your choice"},
                                   {15, "/TX"}},
                          .pending = ""});
  EXPECT_EQ(model().layout.msPickProgram, "DEMO");
  EXPECT_TRUE(model().layout.mbMenuHeader);

  Step("customer form", {.state = "FORM_ACTIVE",
                         .formState = "FUNCTION",
                         .calls = kMaster,
                         .rows = {{1, "FORMHEADER|||Customer|Details|DEMO||||||Y"},
                                  {3, "LABEL||FIXED|Customer no|4|2|20|||1||Y"},
                                  {4, "TEXTBOX|1|-1|C100|4|20|8|||1|8|Y"},
                                  {6, "TEXTBOX|2|1|Acme Ltd|5|20|30|||2|30|Y"},
                                  {8, "TEXTBOX|3|1|5000|6|20|10|||3||Y"},
                                  {9, "/TX|||||||||||Y"}},
                         .pending = ""});
  EXPECT_EQ(spec().Alignment(8), "1");
  EXPECT_TRUE(model().items.mbActionCode);
  EXPECT_EQ(model().items.miEntryNew, 3);
  DataEntryDrawn();
  EXPECT_EQ(states().msFormState, "UPDATE");

  // The user changes the name: the entry sends its action code.
  states().msState = "FORM_SEND_ACTIONCODE";
  Step("customer form: action code of the name",
       {.state = "FORM_SEND_ACTIONCODE",
        .calls = kMaster,
        .rows = {{6, "TEXTBOX|2|1|Acme Ltd|5|20|30|||2|30"}, {9, "/TX|||||||||||Y"}},
        .pending = ""});
  EXPECT_EQ(model().items.miEntryNew, 2);
  EXPECT_FALSE(model().items.focusRequest);

  // The state machine sends the value and rests.
  states().msState = "FORM_ACTIVE";
  Step("customer form: the new name", {.state = "FORM_ACTIVE",
                                       .formState = "UPDATE",
                                       .calls = kMaster,
                                       .rows = {{6, "TEXTBOX|2|1|Acme Limited|5|20|30|||2|30|Y"}}});
  DataEntryDrawn();

  states().msState = "FORM_SEND_ACTIONCODE";
  Step("customer form: action code of the credit limit",
       {.state = "FORM_SEND_ACTIONCODE", .calls = kMaster});
  EXPECT_EQ(model().items.miEntryNew, 3);
  states().msState = "FORM_ACTIVE";
  Step("customer form: a credit limit that is no number",
       {.state = "MSGBOX_ERROR",
        .previous = "FORM_ACTIVE",
        .formState = "UPDATE",
        .calls = kMaster,
        .dialog = "Credit limit must be a number.\n"});
  // The box is acknowledged with Enter; the refused value is cleared.
  SetStates("FORM_ACTIVE", "UPDATE", "MSGBOX_CR_SENT");
  model().entrySpec.Set(8, 4, "");
  Step("customer form: the error box acknowledged",
       {.state = "FORM_ACTIVE", .rows = {{8, "TEXTBOX|3|1|5000|6|20|10|||3||Y"}}});
  DataEntryDrawn();

  Step("customer form: exit to the menu",
       {.state = "FORM_ACTIVE", .formState = "MENU", .rows = {{15, "/TX"}, {16, ""}}});
  EXPECT_EQ(model().layout.msProgramPrevious, "CUSTOMER");
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(DemoCorpusTest, AGuiPlusGridSendsItsCellsOneByOne) {
  OnTheMenu();
  Step("order grid", {.state = "FORM_ACTIVE",
                      .formState = "FUNCTION",
                      .calls = kMaster,
                      .rows = {{3, "LABEL||FIXED|Order lines of O1 for C100|3|2|AUTO|||1||Y"},
                               {4, "GRID|5|||5|||8||1||Y"},
                               {5, "GRIDCOL||0|Product|||8||1|||Y"},
                               {6, "GRIDCOL||0|Description|||30||2|||Y"},
                               {7, "GRIDCOL||1|Qty|RIGHT||6||3|||Y"},
                               {8, "/TX|||||||||||Y"}}});
  EXPECT_TRUE(model().layout.mbGuiPlus);
  EXPECT_EQ(model().layout.msGridType, "GUIPLUS");
  EXPECT_EQ(model().grid.highlight, 0);
  EXPECT_EQ(model().gridArea.mnGridRowTopAssoc, 6);
  DataEntryDrawn();
  EXPECT_EQ(model().grid.TextMatrix(2, 1), "P2");
  EXPECT_EQ(model().grid.TextMatrix(1, 3), "4");
  EXPECT_EQ(model().grid.CellAlignmentAt(1, 3), kAlignRightCentre);
  EXPECT_EQ(model().gridArea.mnGridRows, 2);

  // A quantity edited in its cell goes out as code|column|row|value.
  Step("order grid: a quantity changed", {.state = "FORM_ACTIVE",
                                          .formState = "UPDATE",
                                          .calls = kMaster,
                                          .cells = "READONLY 3,1 12\nENTRY 3,2 \n",
                                          .pending = ""});
  Step("order grid: a quantity that is no number",
       {.state = "MSGBOX_ERROR", .calls = kMaster, .dialog = "Quantity must be a whole number.\n"});
  SetStates("FORM_ACTIVE", "UPDATE", "MSGBOX_CR_SENT");
  Step("order grid: the error box acknowledged",
       {.state = "FORM_ACTIVE", .calls = kMaster, .cells = "ENTRY 3,2 10\n"});
  Step("order grid: exit to the menu", {.state = "FORM_ACTIVE", .formState = "MENU"});
  EXPECT_FALSE(model().layout.mbGuiPlus);
  EXPECT_TRUE(dialogs.boxes.empty());
}

// The products grid: an INTEG grid whose rows are edited in a dialog the program leads, the
// cursor put on one cell after another; each answer's last cell is the one to edit.
TEST_F(DemoCorpusTest, AnIntegGridLeadsItsRowDialogsCellByCell) {
  OnTheMenu();
  Step("products grid", {.state = "FORM_ACTIVE", .formState = "FUNCTION", .calls = kMaster});
  EXPECT_EQ(model().layout.msGridType, "INTEG");
  EXPECT_FALSE(model().layout.mbGuiPlus);
  DataEntryDrawn();
  EXPECT_EQ(states().msFormState, "UPDATE") << "the action code opens the grid for edits";
  EXPECT_EQ(model().grid.TextMatrix(3, 1), "P103");
  EXPECT_EQ(model().grid.TextMatrix(2, 3), "0.10");

  // A row's update from its price: the row announced, then the cells left of the price.
  SetStates("GRID_VERTICAL", "UPDATE");
  Step("products grid: a row's update announced",
       {.state = "GRID_VERTICAL", .calls = kMaster, .cells = "ENTRY 1,2 P102\n"});
  states().msState = "GRID_HORIZONTAL";
  Step("products grid: the id sent back",
       {.state = "GRID_HORIZONTAL", .cells = "READONLY 1,2 P102\nENTRY 2,2 Nut\n"});
  states().msState = "GRID_UPDATE_ROW";
  Step("products grid: the description",
       {.state = "GRID_UPDATE_ROW", .cells = "READONLY 2,2 Nut\nENTRY 3,2 0.10\n"});
  // The action code ends the row: its last cell is only shown.
  Step("products grid: the price",
       {.state = "GRID_UPDATE_ROW_END", .calls = kMaster, .cells = "READONLY 3,2 0.12\n"});

  // An inserted row: its id is the program's, the cursor goes to the description.
  SetStates("GRID_INSERT_ROW", "UPDATE");
  Step("products grid: a row inserted",
       {.state = "GRID_INSERT_ROW", .calls = kMaster, .cells = "READONLY 1,1 P104\nENTRY 2,1 \n"});
  states().msState = "GRID_UPDATE_ROW";
  Step("products grid: the new row's description",
       {.state = "GRID_UPDATE_ROW", .cells = "READONLY 2,1 Spring\nENTRY 3,1 \n"});
  Step("products grid: the new row's price",
       {.state = "GRID_UPDATE_ROW_END", .cells = "READONLY 3,1 1.50\n"});

  // A deleted row: the answer only lets the state machine take the row away.
  SetStates("GRID_DELETE_ROW", "UPDATE");
  Step("products grid: a row deleted", {.state = "GRID_DELETE_ROW", .calls = kMaster});
  SetStates("FORM_ACTIVE", "UPDATE");
  Step("products grid: exit to the menu", {.state = "FORM_ACTIVE", .formState = "MENU"});
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(DemoCorpusTest, BoxesAPopupASearchAndLeaving) {
  OnTheMenu();
  // A box of each type, each sent once the one before is answered.
  Step("message boxes: information", {.state = "MSGBOX_INFO",
                                      .previous = "FORM_ACTIVE",
                                      .formState = "MENU",
                                      .calls = kMaster,
                                      .dialog = "Orvik demo: an information box.\n"});
  // Enter answers it; the echo of the answer and the next box come as one transmission.
  SetStates("FORM_ACTIVE", "MENU");
  Step("message boxes: the information acknowledged", {.state = "MSGBOX_ERROR",
                                                       .previous = "FORM_ACTIVE",
                                                       .formState = "MENU",
                                                       .calls = kMaster,
                                                       .pending = "",
                                                       .dialog = "Orvik demo: an error box.\n"});
  SetStates("FORM_ACTIVE", "MENU", "MSGBOX_CR_SENT");
  // A box of type OKONLY is an error box.
  Step("message boxes: the error acknowledged", {.state = "MSGBOX_ERROR",
                                                 .previous = "FORM_ACTIVE",
                                                 .calls = kMaster,
                                                 .dialog = "Orvik demo: a box with OK only.\n"});
  SetStates("FORM_ACTIVE", "MENU", "MSGBOX_CR_SENT");
  Step("message boxes: the OK box acknowledged",
       {.state = "MSGBOX_YESNO",
        .previous = "FORM_ACTIVE",
        .calls = kMaster,
        .dialog = "Orvik demo: did you see three boxes before this question?\n"});
  // No: the menu again.
  SetStates("FORM_ACTIVE", "MENU", "MSGBOX_YESNO");
  Step("message boxes: the question answered No",
       {.state = "FORM_ACTIVE", .formState = "MENU", .calls = kMaster, .pending = ""});
  EXPECT_EQ(spec().Get(7, 4), "Message boxes");
  Step("popup over the menu",
       {.state = "FORM_ACTIVE",
        .state2 = "POPUP",
        .calls = kMaster,
        .popups = {{1,
                    "<POPUP SCREEN=BOX TOP=8 LEFT=20 WIDTH=40 HEIGHT=6>Orvik demo"
                    "<POSITION TOP=11 LEFT=22>A popup over the menu.<HR>"
                    "<POSITION TOP=13 LEFT=22>OK closes it.</POPUP>"}},
        .pending = ""});
  states().msState2.clear();  // the state machine showed it

  Step("search", {.state = "SEARCH",
                  .previous = "FORM_ACTIVE",
                  .calls = Calls{"SearchActivate"},
                  .data = "<FORM TYPE=SEARCH>Customers<COLUMN WIDTH=8>No<COLUMN WIDTH=30>Name"
                          "<DATA>C100\\Acme Limited<DATA>C200\\Bolt & Co</TX>"});
  // The pick list closed with C200 picked.
  states().msState = "FORM_ACTIVE";
  states().msStatePrevious = "SEARCH";
  Step("search: the customer picked", {.state = "FORM_ACTIVE",
                                       .previous = "SEARCH",
                                       .formState = "FUNCTION",
                                       .calls = kMaster,
                                       .rows = {{4, "TEXTBOX|1|-1|C200|4|20|8|||1|8|Y"},
                                                {6, "TEXTBOX|2|1|Bolt & Co|5|20|30|||2|30|Y"}}});
  DataEntryDrawn();
  Step("search: exit to the menu", {.formState = "MENU", .calls = kMaster});

  Step("leave: the question",
       {.state = "MSGBOX_YESNO", .calls = kMaster, .dialog = "Leave the demo?\n"});
  // Yes: the state machine rests on the menu and sends Y.
  SetStates("FORM_ACTIVE", "MENU", "MSGBOX_YESNO");
  Step("leave: yes", {.state = "TERMINAL",
                      .formState = "UPDATE",
                      .calls = kTerminal,
                      .pending = "",
                      .data = "Y\r<TERMINAL><ATF @=-1><POSITION LEFT=1 TOP=1>:</TX>"});
  EXPECT_TRUE(dialogs.boxes.empty());
}

// The nomination screen: one entry with no action code, which takes the customer's number;
// the program answers with an update of the same form that fills the nominated entry with the
// number and the name and adds the customer's fields with an action code each.
TEST_F(DemoCorpusTest, ANominatedCustomerOpensAsAnUpdateOfTheSameForm) {
  OnTheMenu();
  Step("update: the nomination screen", {.state = "FORM_ACTIVE",
                                         .formState = "FUNCTION",
                                         .calls = kMaster,
                                         .rows = {{1, "FORMHEADER|||Customer|Update|DEMO||||||Y"},
                                                  {3, "LABEL||FIXED|Customer no|4|2|20|||1||Y"},
                                                  {4, "TEXTBOX|0|3||4|20|8|||0|8|Y"},
                                                  {6, "/TX|||||||||||Y"}},
                                         .pending = ""});
  EXPECT_FALSE(model().items.mbActionCode);
  EXPECT_EQ(model().items.miEntryNew, 0);
  DataEntryDrawn();
  EXPECT_EQ(states().msFormState, "NOMINATE");

  // A number that is not there: an error box over the nomination screen, which stays.
  Step("update: a customer that is not there", {.state = "MSGBOX_ERROR",
                                                .previous = "FORM_ACTIVE",
                                                .formState = "NOMINATE",
                                                .calls = kMaster,
                                                .dialog = "No customer C999.\n"});
  SetStates("FORM_ACTIVE", "NOMINATE", "MSGBOX_CR_SENT");
  Step("update: the error box acknowledged",
       {.state = "FORM_ACTIVE", .calls = Calls{}, .pending = "\r\n"});
  msRX_.clear();

  Step("update: a customer nominated",
       {.state = "FORM_ACTIVE",
        .formState = "NOMINATE",
        .calls = kMaster,
        // The hint takes its new text where it stands.
        .rows = {{4, "TEXTBOX|0|3|C200\\Bolt & Co|4|20|8|||0|8|Y"},
                 {5,
                  "LABEL||FIXED|Alt+2 the name, Alt+3 the credit limit; X leaves.|10|2|AUTO|||2||"
                  "Y"},
                 {6, "LABEL|||Name|6|2|20|||3||Y"},
                 {7, "TEXTBOX|2|1|Bolt & Co|6|20|30|||1|30|Y"},
                 {8, "LABEL|||Credit limit|7|2|20|||4||Y"},
                 {9, "TEXTBOX|3|1|1200|7|20|10|||2||Y"},
                 {10, "/TX|||||||||||Y"}},
        .pending = ""});
  EXPECT_TRUE(model().items.mbActionCode);
  DataEntryDrawn();
  EXPECT_EQ(states().msFormState, "UPDATE");
  EXPECT_EQ(model().items.lastEntryNumber, 2);

  // A name that would be markup on every screen that shows it is refused, and the stored
  // name comes back into its entry.
  states().msState = "FORM_SEND_ACTIONCODE";
  Step("update: action code of the name", {.state = "FORM_SEND_ACTIONCODE", .pending = ""});
  states().msState = "FORM_ACTIVE";
  Step("update: a name that holds markup",
       {.state = "MSGBOX_ERROR", .dialog = "A value may not hold angle brackets.\n"});
  SetStates("FORM_ACTIVE", "UPDATE", "MSGBOX_CR_SENT");
  model().entrySpec.Set(7, 4, "");
  Step("update: the refusal acknowledged",
       {.state = "FORM_ACTIVE", .rows = {{7, "TEXTBOX|2|1|Bolt & Co|6|20|30|||1|30|Y"}}});
  DataEntryDrawn();

  // The credit limit by its action code, then its value, as on the customer form.
  states().msState = "FORM_SEND_ACTIONCODE";
  Step("update: action code of the credit limit",
       {.state = "FORM_SEND_ACTIONCODE", .calls = kMaster, .pending = ""});
  EXPECT_EQ(model().items.miEntryNew, 2);
  states().msState = "FORM_ACTIVE";
  Step("update: the new credit limit", {.state = "FORM_ACTIVE",
                                        .formState = "UPDATE",
                                        .calls = kMaster,
                                        .rows = {{9, "TEXTBOX|3|1|2500|7|20|10|||2||Y"}}});
  Step("update: exit to the menu", {.state = "FORM_ACTIVE", .formState = "MENU"});
  EXPECT_EQ(model().layout.msProgramPrevious, "CUSTUPDATE");
  EXPECT_TRUE(dialogs.boxes.empty());
}

// The sub-form's transmissions: its form reaches the new screen form, whose states start
// empty; the closing one leaves the menu under it as it was.
TEST_F(DemoCorpusTest, ASubformsFormAndItsClosing) {
  SetStates("", "");
  Step("sub-form: opened over the menu",
       {.state = "FORM_ACTIVE",
        .formState = "FUNCTION",
        .calls = kMaster,
        .rows = {{1, "FORMHEADER|||Customer|Notes of C100|DEMO||||||Y"},
                 {4, "TEXTBOX|1|1||4|20|40|||1|60|Y"},
                 {5, "/TX|||||||||||Y"}},
        .pending = ""});
  EXPECT_TRUE(model().items.mbActionCode);
  DataEntryDrawn();
  states().msState = "FORM_SEND_ACTIONCODE";
  Step("sub-form: action code of the notes", {.state = "FORM_SEND_ACTIONCODE", .pending = ""});
  states().msState = "FORM_ACTIVE";
  Step("sub-form: the notes",
       {.state = "FORM_ACTIVE", .rows = {{4, "TEXTBOX|1|1|Call on Mondays|4|20|40|||1|60|Y"}}});

  // The menu under it: the closing marker and nothing to draw.
  OnTheMenu();
  Step("sub-form: closed",
       {.state = "FORM_ACTIVE", .formState = "MENU", .calls = Calls{}, .pending = ""});
  EXPECT_TRUE(dialogs.boxes.empty());
}

}  // namespace
}  // namespace orvik::client
