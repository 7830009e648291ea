// The search: the pick list read from a SEARCH transmission, where it stands, what a pick
// sends back (into the terminal, a form's entry, a check box, a GUIPLUS form) and what a
// cancel sends; the search button and its dialog; the screen-form keys F2 and F11.

#include "search_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "entry_controls.h"
#include "fake_search_windows.h"
#include "grid_model.h"
#include "shell_fixture.h"

namespace orvik::client {
namespace {

using ::testing::ElementsAre;

// --- Reading the transmission ---------------------------------------------------------------

TEST(ReadSearchListTest, CaptionColumnsAndRows) {
  ClientSettings settings;
  PickList list = ReadSearchList(
      "<FORM TYPE=SEARCH>Customers<COLUMN WIDTH=10 ALIGN=RIGHT>No<COLUMN WIDTH=20 ALIGN=RIGHT>"
      "Credit<COLUMN WIDTH=5 ALIGN=CENTER>C<COLUMN WIDTH=5 ALIGN=right>D"
      "<DATA>C1\\100\\x\\y\\surplus<DATA> C2 <WHATEVER>skipped</TX>",
      settings, 120);
  EXPECT_EQ(list.caption, "Customers");
  ASSERT_EQ(list.columns.size(), 4u);
  EXPECT_EQ(list.columns[0], (PickListColumn{"No", 1200, ColumnAlignment::kLeft}));
  EXPECT_EQ(list.columns[1], (PickListColumn{"Credit", 2400, ColumnAlignment::kRight}));
  EXPECT_EQ(list.columns[2].alignment, ColumnAlignment::kCentre);
  EXPECT_EQ(list.columns[3].alignment, ColumnAlignment::kLeft) << "lower case is no alignment";
  EXPECT_EQ(list.widthSum, 4800);
  EXPECT_DOUBLE_EQ(list.ScaleWidth(), 4820);
  EXPECT_THAT(list.rows,
              ElementsAre(ElementsAre("C1", "100", "x", "y"), ElementsAre(" C2 ", "", "", "")));
}

TEST(ReadSearchListTest, TheEdgesOfTheMarkup) {
  ClientSettings settings;
  EXPECT_EQ(ReadSearchList("<FORM TYPE=SEARCH>   <COLUMN WIDTH=10>A", settings, 120).caption,
            "Search");
  EXPECT_EQ(ReadSearchList("<COLUMN WIDTH=10>A", settings, 120).caption, "Search");
  // Rows before any column have nothing to fill; the list never fails on them.
  PickList early = ReadSearchList("<FORM>x<DATA>a\\b<COLUMN WIDTH=3>A<DATA>c", settings, 100);
  EXPECT_THAT(early.rows, ElementsAre(ElementsAre("c")));
  EXPECT_TRUE(ReadSearchList("", settings, 100).rows.empty());
  EXPECT_TRUE(ReadSearchList("<DATA>a<DATA", settings, 100).rows.empty());

  // A comma separator, another delimiter, widths in fractions of a cell.
  settings.tagSeparator = ',';
  settings.rxDelimiter = "~~";
  PickList commas = ReadSearchList(
      "<FORM,TYPE=SEARCH>X<COLUMN,WIDTH=2.5,ALIGN=RIGHT>A<COLUMN,WIDTH=3,"
      "ALIGN=RIGHT>B<DATA>1~~2\\3",
      settings, 100);
  ASSERT_EQ(commas.columns.size(), 2u);
  EXPECT_EQ(commas.columns[0].width, 250);
  EXPECT_EQ(commas.columns[1].alignment, ColumnAlignment::kRight);
  EXPECT_THAT(commas.rows, ElementsAre(ElementsAre("1", "2\\3")));

  // Widths far past any screen add up without overflowing, and the window stays on screen.
  settings = ClientSettings();
  PickList huge = ReadSearchList(
      "<COLUMN WIDTH=99999999999>A<COLUMN WIDTH=99999999999>B<COLUMN WIDTH=-4>C", settings, 1e6);
  EXPECT_GT(huge.widthSum, 4e9);
  const PickListPlacement p = PlacePickList(huge, 19200, 10800);
  EXPECT_GE(p.left, 0);
  EXPECT_LE(p.width, 19200);
}

TEST(ReadSearchListTest, EveryRowHasAValueForEveryColumnAndTheListIsBounded) {
  ClientSettings settings;
  // A column named after a row: the row still has a value for it, so that the window,
  // which reads one a column, never reads past a row.
  PickList late =
      ReadSearchList("<COLUMN WIDTH=5>A<DATA>x\\y<COLUMN WIDTH=5>B<COLUMN>C<DATA>z", settings, 100);
  ASSERT_EQ(late.columns.size(), 3u);
  EXPECT_THAT(late.rows, ElementsAre(ElementsAre("x", "", ""), ElementsAre("z", "", "")));

  // Many columns and many empty rows, a few hundred kilobytes: the list keeps no more values
  // than a grid may have cells, and its first rows.
  std::string markup;
  for (int c = 0; c < 2000; ++c) markup += "<COLUMN>";
  markup += "<DATA>first";
  for (int r = 0; r < 3000; ++r) markup += "<DATA>";
  const PickList many = ReadSearchList(markup, settings, 100);
  ASSERT_EQ(many.columns.size(), 2000u);
  EXPECT_EQ(many.rows.size(), GridModel::kMaxCells / 2000);
  EXPECT_EQ(many.rows.front().front(), "first");
  for (const std::vector<std::string>& row : many.rows) ASSERT_EQ(row.size(), 2000u);
  // The same when the columns come after the rows.
  markup = "<COLUMN>";
  for (int r = 0; r < 3000; ++r) markup += "<DATA>";
  for (int c = 0; c < 2000; ++c) markup += "<COLUMN>";
  const PickList after = ReadSearchList(markup, settings, 100);
  EXPECT_EQ(after.rows.size(), GridModel::kMaxCells / 2001);
  for (const std::vector<std::string>& row : after.rows) ASSERT_EQ(row.size(), 2001u);
}

TEST(PickListRulesTest, PlacementAndTheChoiceOfText) {
  PickList list;
  list.widthSum = 6000;
  const PickListPlacement p = PlacePickList(list, 19200, 10800);
  EXPECT_DOUBLE_EQ(p.width, 6020);
  EXPECT_DOUBLE_EQ(p.left, 19200 - 6020 * 1.02);
  EXPECT_DOUBLE_EQ(p.height, 10800 * 0.65);
  EXPECT_DOUBLE_EQ(p.top, (10800 - p.height) / 2);
  list.widthSum = 100000;  // wider than the screen: squeezed onto it
  const PickListPlacement wide = PlacePickList(list, 19200, 10800);
  EXPECT_GE(wide.left, 0);
  EXPECT_LE(wide.left + wide.width, 19200);
  list.widthSum = 0;
  EXPECT_GT(PlacePickList(list, 19200, 10800).width, 1000) << "room for the text box";

  EXPECT_EQ(PickOnEnter(" ABC ", std::string("row")), "ABC");
  EXPECT_EQ(PickOnEnter("", std::string(" row ")), " row ");
  EXPECT_EQ(PickOnEnter("", std::nullopt), "");
  EXPECT_EQ(PickOnDoubleClick(" row "), "row");
  EXPECT_EQ(TextOnRowClick("  C1  "), "C1");
}

// --- SearchActivate -------------------------------------------------------------------------

constexpr const char* kSearch =
    "<FORM TYPE=SEARCH>Customers<COLUMN WIDTH=8>No<COLUMN WIDTH=30>Name"
    "<DATA>C100\\Acme Ltd<DATA>C200\\Bolt & Co</TX>";

// Entry controls of a form: entry number -> EntrySpec row.
class FakeSearchEntries : public SearchEntries {
 public:
  std::int32_t LastFocusedEntry() const override { return focused; }
  std::int32_t PendingEntry() const override { return pending; }
  std::int32_t EntryRow(std::int32_t entry) const override {
    const auto it = rows.find(entry);
    return it == rows.end() ? 0 : it->second;
  }
  void FocusEntry(std::int32_t entry) override {
    calls.push_back("focus " + std::to_string(entry));
    focused = entry;
  }
  void PutSearchValue(std::int32_t entry, const std::string& value) override {
    calls.push_back("put " + std::to_string(entry) + " " + value);
    focused = entry;
  }

  std::int32_t focused = 0;
  std::int32_t pending = 0;
  std::map<std::int32_t, std::int32_t> rows;
  std::vector<std::string> calls;
};

class SearchActivateTest : public ShellFixture {
 protected:
  void SetUp() override {
    shell.Context().pickList = &pickList;
    shell.Context().searchChoice = &choice;
    StartToFirstForm();
    link.sent.clear();
  }
  ScreenModel& Model() { return Top().Model(); }
  // A form on screen: entry 3 is the field in EntrySpec row 5.
  void FormWithEntry(const std::string& type) {
    model.states.msState = "FORM_ACTIVE";
    model.texts.msData = kSearch;
    model.entrySpec.Set(5, 1, type);
    model.entrySpec.Set(5, 2, "7");
    entries.rows[3] = 5;
    entries.focused = 3;
  }
  // The form `form` drawn, the window active and the user in its first entry.
  void InFirstEntryOf(const std::string& form) {
    Engine(form);
    shell.TimerTick();
    Top().Activate();
    Top().Entries().FocusMoved(1);
    link.sent.clear();
  }
  void Search() {
    model.states.msStatePrevious = model.states.msState;
    model.states.msState = "SEARCH";
    list.Activate(model, entries, shell);
  }

  FakePickListWindow pickList;
  FakeSearchChoiceDialog choice;
  FakeSearchEntries entries;
  ScreenModel model;
  SearchList list;
};

TEST_F(SearchActivateTest, ATransmissionFillsTheListAndThePickGoesBackAtTheTerminal) {
  shell.SetAwaitingReply(true);
  pickList.picks = {"C200"};
  bool busyWhileShown = true;
  pickList.onShow = [&](const PickList&) { busyWhileShown = host.busy; };
  Engine(kSearch);
  ASSERT_EQ(pickList.shown.size(), 1u);
  const PickList& shown = pickList.shown[0];
  EXPECT_EQ(shown.caption, "Customers");
  EXPECT_THAT(shown.rows,
              ElementsAre(ElementsAre("C100", "Acme Ltd"), ElementsAre("C200", "Bolt & Co")));
  EXPECT_EQ(shown.columns[1].width, 30 * 150);
  EXPECT_EQ(pickList.placements[0], PlacePickList(shown, 19200, 10800));
  EXPECT_FALSE(busyWhileShown) << "a normal pointer over the list";
  EXPECT_THAT(link.sent, ElementsAre("C200\r"));
  EXPECT_EQ(Model().states.msState, "TERMINAL");
  EXPECT_EQ(Model().states.msStatePrevious, "") << "no entry took the pick: nothing to guard";
}

TEST_F(SearchActivateTest, ClosingWithoutAPickSendsTheQuitCommandAndNeverAStalePick) {
  pickList.picks = {"C100", ""};
  Engine(kSearch);
  Engine(kSearch);
  EXPECT_THAT(link.sent, ElementsAre("C100\r", "Q\r"));
  settings.quitCommand = "QUIT";
  settings.eos = "\n";
  Engine(kSearch);  // no pick scripted: the close box
  EXPECT_EQ(link.sent.back(), "QUIT\n");

  shell.Context().pickList = nullptr;  // no window to show it: answered as cancelled
  Engine(kSearch);
  EXPECT_EQ(link.sent.back(), "QUIT\n");
}

TEST_F(SearchActivateTest, APickedRowWithLineEndsGoesBackAsOneAnswer) {
  // A row's text as another user stored it, with a command behind a CR.
  pickList.picks = {"C1\rDELETE-FILE CUST\n"};
  Engine(kSearch);
  EXPECT_THAT(link.sent, ElementsAre("C1DELETE-FILE CUST\r"));
}

TEST_F(SearchActivateTest, OnAFormWithoutAnEntryThePickStillReachesTheApplication) {
  Model().states.msState = "MENU";
  pickList.picks = {"C200"};
  Engine(kSearch);
  EXPECT_THAT(link.sent, ElementsAre("C200\r"));
  EXPECT_EQ(Model().states.msState, "MENU");
}

TEST_F(SearchActivateTest, APickGoesIntoTheEntryThatAsked) {
  FormWithEntry("TEXT");
  pickList.picks = {"C200"};
  Search();
  EXPECT_THAT(entries.calls, ElementsAre("put 3 C200"));
  EXPECT_THAT(link.sent, ElementsAre("C200\r"));
  EXPECT_EQ(model.states.msState, "FORM_ACTIVE");
  EXPECT_EQ(model.states.msStatePrevious, "SEARCH");
  EXPECT_EQ(list.SearchEntry(), -1);

  // On a GUIPLUS form the entry's reply: code, sub-action, the pick.
  model.layout.mbGuiPlus = true;
  model.entrySpec.Set(5, 9, "2");
  pickList.picks = {"C100"};
  Search();
  EXPECT_EQ(link.sent.back(), "7|2|C100\r");
  // A grid entry: code, the grid's column and row.
  model.entrySpec.Set(5, 1, "GRID");
  model.grid.SetRows(4);
  model.grid.SetCols(3);
  model.grid.SetRow(2);
  model.grid.SetCol(1);
  pickList.picks = {"C100"};
  Search();
  EXPECT_EQ(link.sent.back(), "7|1|2|C100\r");
}

// The real form's entries: the pick becomes the text of the entry the user was in, and goes
// to the application as that entry's reply.
TEST_F(SearchActivateTest, OnADrawnFormThePickFillsTheEntryTheUserWasIn) {
  InFirstEntryOf(
      "<FORM TYPE=FUNCTION SCREEN=FULL><PROGRAM NAME=CUSTOMER>"
      "<POSITION TOP=4 LEFT=2>Customer no"
      "<POSITION TOP=4 LEFT=20 ACTION=1><TEXTBOX WIDTH=8 MAXLENGTH=8>C100"
      "<POSITION TOP=5 LEFT=2>Name"
      "<POSITION TOP=5 LEFT=20 ACTION=2><TEXTBOX WIDTH=30 MAXLENGTH=30>Acme Ltd"
      "<ACTIONCODE></TX>");
  pickList.picks = {"C200"};
  Engine(kSearch);
  EXPECT_EQ(EntryControl(Top().Controls(), 1).caption, "C200");
  EXPECT_EQ(EntryControl(Top().Controls(), 2).caption, "Acme Ltd");
  ASSERT_FALSE(link.sent.empty());
  EXPECT_EQ(link.sent.back(), "C200\r");
}

// The pick went to the application with the entry it filled: leaving that entry sends it no
// second time. The guard is spent on it; the user's next edits, there and on the next screens,
// go out as ever, and so do those after a list closed without a pick.
TEST_F(SearchActivateTest, APickKeepsOnlyItsOwnEntryFromSendingTwice) {
  InFirstEntryOf(
      "<FORM TYPE=FUNCTION GUIPLUS=TRUE><PROGRAM NAME=CUSTOMER>"
      "<POSITION TOP=4 LEFT=20 ACTION=1><TEXTBOX WIDTH=8 MAXLENGTH=8>C100"
      "<POSITION TOP=5 LEFT=20 ACTION=2><TEXTBOX WIDTH=30 MAXLENGTH=30>Acme Ltd"
      "<ACTIONCODE></TX>");
  pickList.picks = {"C200", ""};
  Engine(kSearch);
  EXPECT_THAT(link.sent, ElementsAre("1|C200\r"));
  Top().Entries().FocusMoved(2);
  EXPECT_THAT(link.sent, ElementsAre("1|C200\r")) << "the pick went once";
  Top().Entries().EntryEdited(2, "Bolt & Co");
  Top().Entries().FocusMoved(1);
  EXPECT_EQ(link.sent.back(), "2|Bolt & Co\r");

  // A list closed without a pick guards nothing.
  Engine(kSearch);
  EXPECT_EQ(link.sent.back(), "Q\r");
  Top().Entries().EntryEdited(1, "C300");
  Top().Entries().FocusMoved(2);
  EXPECT_EQ(link.sent.back(), "1|C300\r");

  // Nor does a pick's guard outlive its screen.
  Top().Entries().FocusMoved(1);
  pickList.picks = {"C400"};
  Engine(kSearch);
  InFirstEntryOf(
      "<FORM TYPE=FUNCTION GUIPLUS=TRUE><PROGRAM NAME=NOTES>"
      "<POSITION TOP=4 LEFT=20 ACTION=1><TEXTBOX WIDTH=40>"
      "<POSITION TOP=5 LEFT=20 ACTION=2><TEXTBOX WIDTH=40><ACTIONCODE></TX>");
  Top().Entries().EntryEdited(1, "Mondays");
  Top().Entries().FocusMoved(2);
  EXPECT_THAT(link.sent, ElementsAre("1|Mondays\r"));
}

TEST_F(SearchActivateTest, ACheckBoxStaysAsItWasAndTheApplicationHearsNoPick) {
  FormWithEntry("CHECK");
  pickList.picks = {"C200"};
  Search();
  EXPECT_TRUE(entries.calls.empty());
  EXPECT_THAT(link.sent, ElementsAre("Q\r"));
}

TEST_F(SearchActivateTest, AFailedSearchLeavesNoEntryForTheNext) {
  FormWithEntry("TEXT");
  pickList.onShow = [](const PickList&) { throw std::runtime_error("window gone"); };
  EXPECT_THROW(Search(), std::runtime_error);
  EXPECT_EQ(list.SearchEntry(), -1);
  pickList.onShow = nullptr;
  entries.focused = 4;  // another entry now; it has no control
  pickList.picks = {"C1"};
  Search();
  EXPECT_TRUE(entries.calls.empty()) << "entry 3 was not used again";
  EXPECT_THAT(link.sent, ElementsAre("C1\r"));
}

// --- The search button ------------------------------------------------------------------------

TEST_F(SearchActivateTest, TheSearchButtonSendsTheChosenKindAndText) {
  settings.searchTextAny = "S1 ";
  settings.searchCustom = "FIND.CUST ";
  settings.searchCustomCaption = "By name";
  FormWithEntry("TEXT");
  entries.pending = 3;
  choice.answers = {
      {kSearchAnyText, "acme"}, {kSearchCustom, "bolt"}, {kSearchCancel, "x"}, {"", "closed"}};
  for (int i = 0; i < 4; ++i) SearchButtonPress(model, entries, shell);
  EXPECT_THAT(link.sent, ElementsAre("S1 acme\r", "FIND.CUST bolt\r"));
  ASSERT_EQ(choice.shown.size(), 4u);
  EXPECT_EQ(choice.shown[0], (SearchChoiceButtons{true, true, "By name"}));
  EXPECT_EQ(entries.calls.front(), "focus 3");

  // GUIPLUS: the entry's code first.
  model.layout.mbGuiPlus = true;
  choice.answers = {{kSearchAnyText, "acme"}};
  SearchButtonPress(model, entries, shell);
  EXPECT_EQ(link.sent.back(), "7|S1 acme\r");

  // Busy, or on a command button: no dialog at all.
  const std::size_t shown = choice.shown.size();
  shell.SetAwaitingReply(true);
  SearchButtonPress(model, entries, shell);
  shell.SetAwaitingReply(false);
  model.entrySpec.Set(5, 1, "COMMAND");
  SearchButtonPress(model, entries, shell);
  EXPECT_EQ(choice.shown.size(), shown);
}

TEST(SearchChoiceButtonsTest, FollowTheSettings) {
  ClientSettings settings;
  EXPECT_EQ(SearchChoiceButtonsOf(settings), (SearchChoiceButtons{false, false, std::nullopt}));
  settings.searchCustom = "C";
  EXPECT_EQ(SearchChoiceButtonsOf(settings), (SearchChoiceButtons{false, true, std::nullopt}));
}

// --- F2 and F11 on the screen form ------------------------------------------------------------

TEST_F(SearchActivateTest, F11PrintsTheScreenOrSendsItsDefinitionAndF2Searches) {
  FakeScreenWindow& window = TopParts().window;
  Top().KeyDown(kKeyF11, 0);
  EXPECT_EQ(window.calls.back(), "print form");
  EXPECT_TRUE(dialogs.boxes.empty());
  window.printError = "no printer";
  Top().KeyDown(kKeyF11, 0);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "The screen could not be printed: no printer");
  settings.keyDefinitions.functionKeys[10] = "PRINT\r";
  Top().KeyDown(kKeyF11, 0);
  EXPECT_THAT(link.sent, ElementsAre("PRINT\r"));

  Top().KeyDown(kKeyF2, 0);  // no search settings: nothing
  EXPECT_TRUE(choice.shown.empty());
  settings.searchCustom = "C ";
  choice.answers = {{kSearchCustom, "x"}};
  Top().KeyDown(kKeyF2, 0);
  EXPECT_EQ(link.sent.back(), "C x\r");
  shell.SetAwaitingReply(true);
  Top().KeyDown(kKeyF2, 0);  // keys wait while a reply is awaited
  Top().FnScreenPrintClick();
  EXPECT_EQ(choice.shown.size(), 1u);
  EXPECT_EQ(dialogs.boxes.size(), 1u);
}

}  // namespace
}  // namespace orvik::client
