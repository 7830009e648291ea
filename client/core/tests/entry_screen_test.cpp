// Data-entry screens from recorded FUNCTION transmissions: the entry controls they leave,
// and the exact texts the entries, buttons and keys send back.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "entry_controls.h"
#include "shell_fixture.h"

namespace orvik::client {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

// The demo program's customer form, as it sends it.
constexpr const char* kCustomerForm =
    "<FORM TYPE=FUNCTION SCREEN=FULL><PROGRAM NAME=CUSTOMER>"
    "<FORMHEADER>Customer,Details,DEMO"
    "<POSITION TOP=4 LEFT=2>Customer no"
    "<POSITION TOP=4 LEFT=20 ACTION=1><TEXTBOX WIDTH=8 MAXLENGTH=8 ENABLED=FALSE>C100"
    "<POSITION TOP=5 LEFT=2>Name"
    "<POSITION TOP=5 LEFT=20 ACTION=2><TEXTBOX WIDTH=30 MAXLENGTH=30>Acme Ltd"
    "<POSITION TOP=6 LEFT=2>Credit limit"
    "<POSITION TOP=6 LEFT=20 ACTION=3><TEXTBOX WIDTH=10 ALIGNMENT=RIGHT>5000"
    "<ACTIONCODE></TX>";

class EntryScreenTest : public ShellFixture {
 protected:
  void SetUp() override {
    StartToFirstForm();
    Top().Activate();
  }
  void Receive(const std::string& text) {
    Engine(text);
    shell.TimerTick();
  }
  ControlRecord& Entry(std::int32_t n) { return EntryControl(Top().Controls(), n); }
  // The user types `text` into entry `n`, having moved there.
  // A NOMINATE screen of one text box holding `value`, with nothing sent yet.
  void ReceiveNominateScreen(const std::string& value) {
    Receive(
        "<FORM TYPE=FUNCTION><PROGRAM NAME=NOM><FORMHEADER>Nominate,Pick,DEMO"
        "<POSITION TOP=3 LEFT=20 ACTION=NOMINATE><TEXTBOX WIDTH=8>" +
        value + "</TX>");
    ASSERT_EQ(States().msFormState, "NOMINATE");
    link.sent.clear();
  }
  void Fill(std::int32_t n, const std::string& text) {
    Top().Entries().FocusMoved(n);
    Top().Entries().EntryEdited(n, text);
  }
  const ScreenStates& States() { return Top().Model().states; }
};

TEST_F(EntryScreenTest, TheCustomerFormBecomesEntryControlsOnTheRaster) {
  Receive(kCustomerForm);
  ScreenFormCore& form = Top();
  EXPECT_EQ(States().msFormState, "UPDATE");
  EXPECT_EQ(States().msState, "FORM_ACTIVE");
  ASSERT_EQ(form.Model().items.lastEntryNumber, 3);
  const FormControls& c = form.Controls();
  EXPECT_EQ(c.entries[1].caption, "C100");
  EXPECT_FALSE(c.entries[1].enabled);  // ENABLED=FALSE: a negative ETYPE
  EXPECT_EQ(c.entries[2].caption, "Acme Ltd");
  EXPECT_EQ(c.entries[3].caption, "5000");
  EXPECT_EQ(c.entries[2].maxLength, 30);
  EXPECT_EQ(c.entries[3].alignment, TextAlign::kRight);
  const double cellWidth = shell.Context().cellWidth;
  const double pitch = shell.CellHeight() * 1.1;
  EXPECT_DOUBLE_EQ(c.entries[2].left, 20 * cellWidth);
  EXPECT_DOUBLE_EQ(c.entries[2].top, 5 * pitch);
  EXPECT_DOUBLE_EQ(c.entries[2].width, 30 * cellWidth);
  EXPECT_DOUBLE_EQ(c.entries[3].width, 10 * cellWidth);
  for (int k = 1; k <= 3; ++k) {
    EXPECT_TRUE(c.entries[k].visible);
    EXPECT_EQ(c.entries[k].kind, ControlKind::kTextBox);
    EXPECT_EQ(c.entries[k].tabIndex, k);
  }
  EXPECT_EQ(c.formHeader[1].caption, "Details");
  EXPECT_TRUE(c.formHeader[0].visible);
  // The labels, with their texts, on the lines of their entries.
  ASSERT_NE(c.menu.Item(2), nullptr);
  EXPECT_EQ(c.menu.Item(2)->caption, "Name");
  EXPECT_TRUE(c.menu.Item(2)->visible);
  EXPECT_DOUBLE_EQ(c.menu.Item(2)->top, 5 * pitch);
  // An open screen: quit and file offered, exit not.
  EXPECT_TRUE(c.fnQuit.enabled);
  EXPECT_TRUE(c.fnFile.enabled);
  EXPECT_EQ(c.fnFile.caption, "&File");
  EXPECT_FALSE(c.fnExit.enabled);
  // The navigation list has the screen.
  EXPECT_THAT(c.menu.navigate.list, Contains("Details, CUSTOMER"));
}

TEST_F(EntryScreenTest, AChangedEntrySendsItsActionCodeThenItsValue) {
  Receive(kCustomerForm);
  link.sent.clear();
  Fill(2, "Bolt & Co");
  Top().Entries().FocusMoved(3);  // leaving the name for the credit limit
  EXPECT_THAT(link.sent, ElementsAre("2\r"));
  EXPECT_EQ(States().msState, "FORM_SEND_ACTIONCODE");
  EXPECT_TRUE(shell.AwaitingReply());
  // The engine puts its cursor on the field: the value follows.
  Receive("<POSITION TOP=5 LEFT=20></TX>");
  EXPECT_THAT(link.sent, ElementsAre("2\r", "Bolt & Co\r"));
  Receive("<POSITION TOP=5 LEFT=20>Bolt & Co<ACTIONCODE></TX>");
  EXPECT_EQ(States().msState, "FORM_ACTIVE");
  EXPECT_FALSE(shell.AwaitingReply());
  // Leaving it again unchanged sends nothing.
  link.sent.clear();
  Top().Entries().FocusMoved(2);
  Top().Entries().FocusMoved(3);
  EXPECT_TRUE(link.sent.empty());
}

TEST_F(EntryScreenTest, TabAndEnterMoveOnAndTransmitTheEntryLeft) {
  Receive(kCustomerForm);
  link.sent.clear();
  Fill(3, "7000");
  FakeScreenWindow& window = TopParts().window;
  window.calls.clear();
  // Enter on the last entry wraps to the first open one (entry 1 is disabled: entry 2).
  EXPECT_TRUE(Top().KeyDown(13, 0));
  EXPECT_THAT(window.calls, Contains("focus 2"));
  EXPECT_THAT(link.sent, ElementsAre("3\r"));
  EXPECT_EQ(Top().Focus().focusEntry, 2);
  // While the answer is awaited keys pass untouched.
  EXPECT_FALSE(Top().KeyDown(9, 0));
  EXPECT_THAT(link.sent, ElementsAre("3\r"));
}

TEST_F(EntryScreenTest, AltAndADigitJumpToTheEntryOfThatActionCode) {
  Receive(kCustomerForm);
  FakeScreenWindow& window = TopParts().window;
  window.calls.clear();
  EXPECT_TRUE(Top().KeyDown('3', 4));
  EXPECT_THAT(window.calls, ElementsAre("focus 3"));
  window.calls.clear();
  EXPECT_FALSE(Top().KeyDown('1', 4));  // entry 1 is disabled: no jump
  EXPECT_TRUE(window.calls.empty());
  EXPECT_TRUE(link.sent.empty() || link.sent.back() != "1\r");
}

TEST_F(EntryScreenTest, FunctionAndControlKeysSendTheirTexts) {
  Receive(kCustomerForm);
  settings.keyDefinitions.functionKeys[4] = "HELP\r";  // F5
  settings.keyDefinitions[KeySlot::kPageDown] = "{ALT}+NEXT\r";
  link.sent.clear();
  Top().KeyDown(116, 0);
  Top().KeyDown(117, 2);  // F6 has no definition
  Top().KeyDown(34, 0);   // the ALT+ form: only with Alt
  Top().KeyDown(34, 4);
  // Ctrl and a letter are the focused text box's here (select, copy): the engine reads a value.
  EXPECT_FALSE(Top().KeyDown('A', 2));
  EXPECT_FALSE(Top().KeyDown('C', 2));
  EXPECT_FALSE(Top().KeyDown(91, 2));
  EXPECT_THAT(link.sent, ElementsAre("HELP\r", "NEXT\r"));
}

TEST_F(EntryScreenTest, NominateScreensSendTheEntryLeftOnceOnEnter) {
  ASSERT_NO_FATAL_FAILURE(ReceiveNominateScreen(""));
  Fill(Top().Focus().focusEntry, "C200");
  // A control key typed on the way (select all, then the character the text box ignores) sends
  // nothing before the value: the value goes alone.
  EXPECT_FALSE(Top().KeyDown('A', 2));
  EXPECT_EQ(Top().KeyPress(1), 1);
  EXPECT_TRUE(Top().KeyDown(13, 0));
  EXPECT_THAT(link.sent, ElementsAre("C200\r"));
  EXPECT_TRUE(Top().Focus().gridConfirmSkip);
  // The focus event that follows the key does not send it again.
  Top().Entries().FocusMoved(-1);
  Top().Entries().FocusMoved(Top().Focus().focusEntry);
  EXPECT_THAT(link.sent, ElementsAre("C200\r"));
}

// The drawn screen gives its entry the keyboard at once, its window active or not; its only
// entry, a NOMINATE entry of code 0, is numbered 0. A window that is not active takes it there
// when it becomes active.
TEST_F(EntryScreenTest, ANominationScreenGivesItsEntryTheFocusWhenDrawn) {
  FakeScreenWindow& window = TopParts().window;
  for (const bool active : {true, false}) {
    SCOPED_TRACE(active ? "active" : "not active");
    if (!active) Top().Deactivate();
    window.calls.clear();
    ASSERT_NO_FATAL_FAILURE(ReceiveNominateScreen(""));
    EXPECT_EQ(Top().Focus().focusEntry, 0);
    EXPECT_THAT(window.calls, Contains("focus 0"));
  }
  EXPECT_EQ(Top().Focus().focusOnActivate, 0);
}

TEST_F(EntryScreenTest, AStoredValueWithLineEndsGoesBackAsOneAnswer) {
  // The value the program shows holds a command behind a CR; Enter sends it as it stands,
  // and the engine must never read the command as a line the user typed.
  ASSERT_NO_FATAL_FAILURE(ReceiveNominateScreen("C1\rOFF\n"));
  Top().Entries().FocusMoved(Top().Focus().focusEntry);
  EXPECT_TRUE(Top().KeyDown(13, 0));
  EXPECT_THAT(link.sent, ElementsAre("C1OFF\r"));
}

TEST_F(EntryScreenTest, GuiPlusEntriesSendCodeFieldAndValue) {
  Receive(
      "<FORM TYPE=FUNCTION GUIPLUS=TRUE><PROGRAM NAME=GP><FORMHEADER>G,Plus,DEMO"
      "<POSITION TOP=3 LEFT=20 ACTION=7 SUBACTION=2><TEXTBOX WIDTH=8>a"
      "<POSITION TOP=4 LEFT=20 ACTION=8><TEXTBOX WIDTH=8>b"
      "<POSITION TOP=5 LEFT=20 ACTION=9><CHECK>1<ACTIONCODE></TX>");
  ASSERT_EQ(States().msFormState, "UPDATE");
  const EntrySpecTable& spec = Top().Model().entrySpec;
  const auto row = [&](int n) { return std::stoi(Top().Controls().entries[n].tag); };
  link.sent.clear();
  Fill(1, "x");
  Top().Entries().FocusMoved(2);
  Top().Entries().EntryEdited(2, "y");
  Top().Entries().FocusMoved(3);
  // The field number follows the code only when it is 1 or more.
  const std::string field2 = spec.Get(row(2), 9);
  EXPECT_EQ(link.sent.at(0), "7|2|x\r");
  EXPECT_EQ(link.sent.at(1), "8|" + (field2.empty() || field2 == "0" ? "" : field2 + "|") + "y\r");
  EXPECT_FALSE(shell.AwaitingReply());  // GUIPLUS sends wait for nothing
  // A check box sends 1 and 0, or the CHECK setting's two texts, and stores 1 or 0.
  const std::string field3 = spec.Get(row(3), 9);
  const std::string prefix3 = "9|" + (field3.empty() || field3 == "0" ? "" : field3 + "|");
  Top().Entries().EntryEdited(3, "0");
  Top().Entries().FocusMoved(1);
  EXPECT_EQ(link.sent.back(), prefix3 + "0\r");
  settings.check = "Y|N";
  Fill(3, "1");
  Top().Entries().FocusMoved(1);
  EXPECT_EQ(link.sent.back(), prefix3 + "Y\r");
  EXPECT_EQ(spec.Get(row(3), 4), "1");
}

TEST_F(EntryScreenTest, ComboListsKeepTheirListAndNarrativesKeepTheirSeparator) {
  Receive(
      "<FORM TYPE=FUNCTION><PROGRAM NAME=CB><FORMHEADER>C,Combo,DEMO"
      "<POSITION TOP=3 LEFT=20 ACTION=4><COMBO WIDTH=10>A|A|B|C"
      "<POSITION TOP=4 LEFT=20 ACTION=5><COMBO WIDTH=10>X\\Narrative<ACTIONCODE></TX>");
  const FormControls& c = Top().Controls();
  ASSERT_EQ(c.entries[1].kind, ControlKind::kComboBox);
  EXPECT_EQ(c.entries[1].caption, "A");
  EXPECT_THAT(c.entries[1].list, ElementsAre("A", "B", "C"));
  EXPECT_DOUBLE_EQ(c.entries[1].width, 12 * shell.Context().cellWidth);
  EXPECT_EQ(c.entries[2].caption, "X");
  const EntrySpecTable& spec = Top().Model().entrySpec;
  const int row1 = std::stoi(c.entries[1].tag);
  const int row2 = std::stoi(c.entries[2].tag);
  link.sent.clear();
  Fill(1, "B");
  Top().Entries().FocusMoved(2);
  EXPECT_EQ(spec.Get(row1, 4), "B|A|B|C");
  EXPECT_THAT(link.sent, ElementsAre("4\r"));
  Receive("<POSITION TOP=3 LEFT=20></TX>");
  Receive("<ACTIONCODE></TX>");
  Top().Entries().EntryEdited(2, "Y");
  Top().Entries().FocusMoved(1);
  EXPECT_EQ(spec.Get(row2, 4), "Y\\Narrative");
}

TEST_F(EntryScreenTest, ACodeAndDescriptionShowsTheDescriptionBesideTheBox) {
  Receive(
      "<FORM TYPE=FUNCTION><PROGRAM NAME=CD><FORMHEADER>C,Code,DEMO"
      "<POSITION TOP=3 LEFT=20 ACTION=4><TEXTBOX WIDTH=4>A1\\Widget<ACTIONCODE></TX>");
  const FormControls& c = Top().Controls();
  EXPECT_EQ(c.entries[1].caption, "A1");
  const std::int32_t label = Top().EntryWork().DescLabel(1);
  ASSERT_GT(label, 0);
  const ControlRecord& description = c.menu.narratives.at(static_cast<std::size_t>(label - 1));
  EXPECT_EQ(description.caption, " Widget ");
  EXPECT_TRUE(description.visible);
  EXPECT_DOUBLE_EQ(description.left, c.entries[1].left + c.entries[1].width);
  EXPECT_EQ(Top().Model().entrySpec.Get(std::stoi(c.entries[1].tag), 3), "3");
}

TEST_F(EntryScreenTest, CommandButtonsSendTheirCodeOnceWhileTheAnswerIsAwaited) {
  Receive(
      "<FORM TYPE=FUNCTION><PROGRAM NAME=CM><FORMHEADER>C,Cmd,DEMO"
      "<POSITION TOP=3 LEFT=20 ACTION=6><COMMAND WIDTH=8> Go<ACTIONCODE></TX>");
  link.sent.clear();
  Top().Entries().CommandClick(1);
  Top().Entries().CommandClick(1);
  EXPECT_THAT(link.sent, ElementsAre("6\r"));
}

TEST_F(EntryScreenTest, AStepOpenFormOpensOneEntryAfterAnother) {
  Receive(
      "<FORM TYPE=FUNCTION><PROGRAM NAME=ST><FORMHEADER>S,Steps,DEMO<STEPOPEN TYPE=STEP>"
      "<POSITION TOP=3 LEFT=20 ACTION=1><TEXTBOX WIDTH=8>"
      "<POSITION TOP=4 LEFT=20 ACTION=2><TEXTBOX WIDTH=8>"
      "<POSITION TOP=5 LEFT=20 ACTION=3><TEXTBOX WIDTH=8><ACTIONCODE></TX>");
  const FormControls& c = Top().Controls();
  EXPECT_TRUE(c.entries[1].enabled);
  EXPECT_FALSE(c.entries[2].enabled);
  EXPECT_FALSE(c.entries[3].enabled);
  EXPECT_EQ(Top().Focus().focusEntry, 1);
  Fill(1, "a");
  EXPECT_TRUE(Top().KeyDown(9, 0));
  EXPECT_THAT(link.sent, Contains("1\r"));
  Receive("<POSITION TOP=3 LEFT=20></TX>");
  Receive("<POSITION TOP=3 LEFT=20>a<ACTIONCODE></TX>");
  // The entry sent is done: the next one opens and takes the focus.
  EXPECT_TRUE(c.entries[1].enabled);
  EXPECT_TRUE(c.entries[2].enabled);
  EXPECT_FALSE(c.entries[3].enabled);
  EXPECT_EQ(Top().Focus().focusEntry, 2);
}

TEST_F(EntryScreenTest, ADrawThatKeepsFailingGivesUpAfterTheThirdBox) {
  ScreenModel& m = Top().Model();
  for (int row = 1; row <= 4; ++row) {
    m.entrySpec.Set(row, 1, "DO_POPUP");
    m.entrySpec.Set(row, 2, "9");  // no such popup slot
    m.entrySpec.Set(row, 12, "Y");
  }
  m.entrySpec.Set(5, 1, "/TX");
  m.states.msState = "FORM_ACTIVE";
  m.states.msFormState = "FUNCTION";
  dialogs.boxes.clear();
  Top().FormRXProcessMaster();
  ASSERT_EQ(dialogs.boxes.size(), 3u);
  EXPECT_TRUE(dialogs.boxes[0].text.starts_with("ERROR: 9, ")) << dialogs.boxes[0].text;
  EXPECT_NE(dialogs.boxes[1].text.find("Now on repeat no. 2."), std::string::npos);
  EXPECT_NE(dialogs.boxes[2].text.find("Now on repeat no. 3."), std::string::npos);
  EXPECT_NE(dialogs.boxes[2].text.find("ADDITIONAL INFO FOR DEVELOPERS"), std::string::npos);
  EXPECT_EQ(m.states.msFormState, "FUNCTION") << "the screen kind is not moved on";
}

TEST_F(EntryScreenTest, FileSendsThePendingEntryWaitsForTheEngineThenSendsF) {
  Receive(kCustomerForm);
  link.sent.clear();
  Fill(2, "Bolt & Co");
  Top().Entries().FocusMoved(-1);  // the File button takes the focus: the name is pending
  // The engine asks for the value while the button waits; once it is sent, the form files.
  // (The button lets pending events run once before it sends: the answer comes after.)
  pump.Post([&] { pump.Post([&] { Receive("<POSITION TOP=5 LEFT=20></TX>"); }); });
  Top().Entries().FnFile();
  EXPECT_THAT(link.sent, ElementsAre("2\r", "Bolt & Co\r", "F\r"));
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(EntryScreenTest, FileThatIsNeverConfirmedSendsNothingAndSaysSo) {
  Receive(kCustomerForm);
  link.sent.clear();
  Fill(2, "Bolt & Co");
  Top().Entries().FocusMoved(-1);
  Top().Entries().FnFile();
  EXPECT_THAT(link.sent, ElementsAre("2\r"));
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, kFilingRefusedBox);
}

// A time-out as long as the settings allow waits on for the engine: the wait's end, summed on
// the clock, ran out of the clock's range and was taken as already past.
TEST_F(EntryScreenTest, FileWaitsOnUnderTheLongestTimeOut) {
  settings.timeout = 3e38f;
  Receive(kCustomerForm);
  link.sent.clear();
  Fill(2, "Bolt & Co");
  Top().Entries().FocusMoved(-1);
  pump.Post(
      [&] { pump.Post([&] { pump.Post([&] { Receive("<POSITION TOP=5 LEFT=20></TX>"); }); }); });
  Top().Entries().FnFile();
  EXPECT_THAT(link.sent, ElementsAre("2\r", "Bolt & Co\r", "F\r"));
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(EntryScreenTest, CtrlF12ReplaysACapturedFileOnlyForDevelopers) {
  const std::string path = ::testing::TempDir() + "orvik-replay.txt";
  std::ofstream(path, std::ios::binary) << kCustomerForm;
  FakeScreenWindow& window = TopParts().window;
  window.answer = path;
  settings.devMsg = false;
  Top().KeyDown(123, 2);
  EXPECT_THAT(window.calls, ::testing::Not(Contains("ask File to analyse")));
  EXPECT_EQ(Top().Model().items.lastEntryNumber, 0);
  settings.devMsg = true;
  Top().KeyDown(123, 2);
  EXPECT_THAT(window.calls, Contains("ask File to analyse"));
  EXPECT_EQ(States().msFormState, "UPDATE");  // drawn as if the engine had sent it
  EXPECT_EQ(Top().Controls().entries.at(2).caption, "Acme Ltd");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace orvik::client
