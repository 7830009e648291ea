// The screen form's side of the conversation after each transmission, on the real core
// without a display: what it answers the engine in each state, which boxes it asks and how
// their answers go out, the grid rows it edits, and where the form is left.

#include "screen_conversation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "shell_fixture.h"

namespace orvik::client {
namespace {

using ::testing::ElementsAre;

class ScreenConversationTest : public ShellFixture {
 protected:
  void SetUp() override {
    settings.eos = "\r";
    StartToFirstForm();
    link.sent.clear();
    dialogs.boxes.clear();
  }
  ScreenModel& M() { return Top().Model(); }
  ScreenStates& S() { return Top().Model().states; }
  // Entry controls 0..n - 1; entry k is a text box showing `values[k]` for EntrySpec row
  // 10 + k.
  void Entries(const std::vector<std::string>& values) {
    std::vector<ControlRecord>& entries = Top().Controls().entries;
    entries.clear();
    for (std::size_t k = 0; k < values.size(); ++k) {
      ControlRecord control;
      control.kind = ControlKind::kTextBox;
      control.caption = values[k];
      control.tag = std::to_string(10 + k);
      entries.push_back(control);
    }
  }
  // One pass, entered busy as the sender left it.
  void Pass(const std::string& state) {
    S().msState = state;
    shell.SetAwaitingReply(true);
    Top().FormRXProcessMaster();
  }
};

TEST_F(ScreenConversationTest, AnActionCodesValueGoesOutAfterTheEngineAnswers) {
  Entries({"", "", "Acme"});
  M().entrySpec.Set(12, 2, "7");
  M().subActions.Set(7, 1, 1);
  S().msFormState = "UPDATE";
  Top().Focus().lastSentEntry = 2;
  Pass("FORM_SEND_ACTIONCODE");
  EXPECT_THAT(link.sent, ElementsAre("Acme\r"));
  EXPECT_EQ(S().msState, "FORM_ACTIVE");
  EXPECT_EQ(M().items.miFormItem, 12);
  EXPECT_FALSE(shell.AwaitingReply());
  EXPECT_FALSE(host.busy);
}

TEST_F(ScreenConversationTest, AThreeRowActionSendsItsRowsOneByOne) {
  Entries({"x", "", "b", "c"});  // rows 11, 12, 13 of action 4; the third is current
  for (int row = 11; row <= 13; ++row) M().entrySpec.Set(row, 2, "4");
  M().entrySpec.Set(13, 9, "3");
  M().subActions.Set(4, 1, 3);
  S().msFormState = "UPDATE";
  Top().Focus().lastSentEntry = 3;
  Pass("FORM_SEND_ACTIONCODE");
  EXPECT_EQ(S().msState, "FORM_ENTRY_ROWS");
  EXPECT_EQ(M().items.miFormItem, 11);
  Pass(S().msState);
  EXPECT_EQ(M().items.miFormItem, 12);
  EXPECT_EQ(S().msState, "FORM_ENTRY_ROWS");
  Pass(S().msState);
  EXPECT_EQ(S().msState, "FORM_ACTIVE");
  EXPECT_EQ(S().msState2, "ROWS_END");
  EXPECT_EQ(M().items.miFormItem, 13);
  // The empty row before the current one goes out as a single blank.
  EXPECT_THAT(link.sent, ElementsAre(" \r", "b\r", "c\r"));
}

TEST_F(ScreenConversationTest, YesNoBoxesAnswerWithAndWithoutTheEndOfSend) {
  M().texts.msDialog = "Leave the demo?";
  S().msFormState = "MENU";
  S().msStatePrevious = "FORM_ACTIVE";
  S().msState2 = "";
  dialogs.answers = {BoxAnswer::kYes, BoxAnswer::kNo, BoxAnswer::kNo};
  Pass("MSGBOX_YESNO");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "Leave the demo?");
  EXPECT_EQ(dialogs.boxes[0].buttons, BoxButtons::kYesNo);
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::kQuestion);
  EXPECT_EQ(S().msState, "FORM_ACTIVE");
  EXPECT_EQ(S().msState2, "MSGBOX_YESNO");
  // A second box straight after, the state before it kept as the dispatcher keeps it: its
  // answer alone, and the entry handlers are told two boxes came in a row.
  S().msStatePrevious = S().msState;
  Pass("MSGBOX_YESNO");
  EXPECT_EQ(S().msStatePrevious, "MSGBOX_YESNO");
  EXPECT_EQ(S().msState, "FORM_ACTIVE");
  EXPECT_EQ(Top().Conversation().YesNoCount(), 2);
  // Another state between resets the count.
  Pass("RECOVERY");
  S().msStatePrevious = "FORM_ACTIVE";
  Pass("MSGBOX_YESNO");
  EXPECT_THAT(link.sent, ElementsAre("Y\r", "N", "N\r"));
  EXPECT_FALSE(shell.AwaitingReply());
}

TEST_F(ScreenConversationTest, YesAfterTheQuitCommandMarksTheQuit) {
  shell.Send("Q\r");
  link.sent.clear();
  S().msStatePrevious = "FORM_ACTIVE";
  Pass("MSGBOX_YESNO");
  EXPECT_EQ(S().msState2, "QUIT");
  EXPECT_THAT(link.sent, ElementsAre("Y\r"));
}

TEST_F(ScreenConversationTest, ErrorAndInformationBoxes) {
  M().texts.msDialog = "Credit limit must be a number.";
  S().msFormState = "MENU";
  S().msStatePrevious = "FORM_ACTIVE";
  Pass("MSGBOX_ERROR");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::kExclamation);
  EXPECT_EQ(S().msState2, "MSGBOX_CR_SENT");
  EXPECT_EQ(S().msState, "FORM_ACTIVE");
  EXPECT_EQ(TopParts().window.calls.back(), "focus selection");
  // After an action code the form goes back to waiting for one.
  S().msFormState = "UPDATE";
  S().msStatePrevious = "FORM_SEND_ACTIONCODE";
  Pass("MSGBOX_ERROR");
  EXPECT_EQ(S().msState, "FORM_ACTIVE");
  // Before the entry controls are laid out the box is still answered.
  Top().Focus().focusEntry = 1;
  S().msStatePrevious = "FORM_ACTIVE";
  Pass("MSGBOX_ERROR");
  EXPECT_EQ(S().msState, "FORM_ACTIVE");
  // On a data-entry screen the refused entry's value is cleared and the form goes back.
  Entries({"", "a", "b"});
  M().entrySpec.Set(11, 4, "a");
  Top().Focus().focusEntry = 1;
  Top().Focus().lastSentEntry = 2;
  S().msStatePrevious = "FORM_ENTRY_ERROR_CORRECTION";
  Pass("MSGBOX_ERROR");
  EXPECT_EQ(M().entrySpec.Get(11, 4), "");
  EXPECT_EQ(Top().Focus().focusEntry, 2);
  EXPECT_EQ(S().msState, "FORM_ENTRY_ERROR_CORRECTION");

  M().texts.msDialog = "Orvik demo: an information box.";
  S().msStatePrevious = "FORM_ACTIVE";
  S().msState2 = "ROWS_END";
  Pass("MSGBOX_INFO");
  EXPECT_EQ(dialogs.boxes.back().icon, BoxIcon::kInformation);
  EXPECT_EQ(S().msState, "FORM_ACTIVE");
  EXPECT_EQ(S().msStatePrevious, "ROWS_END");  // the pending condition moves along
  EXPECT_THAT(link.sent, ElementsAre("\r", "\r", "\r", "\r", "\r"));
  EXPECT_FALSE(link.released);
}

TEST_F(ScreenConversationTest, ASoftwareConditionStopsTheProgramAndReleasesThePort) {
  M().texts.msDialog = "Fatal Software Condition 12";
  Pass("MSGBOX_ERROR");
  ASSERT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_EQ(dialogs.boxes[1].text,
            "PROGRAM STOPPING due to server error:\r\n\r\n\"Fatal Software Condition 12\"");
  EXPECT_EQ(dialogs.boxes[1].icon, BoxIcon::kCritical);
  EXPECT_TRUE(link.released);
  EXPECT_EQ(host.endCode, 0);
  EXPECT_TRUE(link.sent.empty());
}

TEST_F(ScreenConversationTest, FunctionErrorsRecoveryAndStatesWithoutAStep) {
  M().texts.msDialog = "bad";
  Pass("ERROR_FUNCTION");
  EXPECT_EQ(S().msState, "FORM_ACTIVE");
  EXPECT_THAT(link.sent, ElementsAre("y\r"));
  S().msStatePrevious = "GRID_UPDATE_ROW";
  Pass("RECOVERY");
  EXPECT_EQ(S().msState, "GRID_UPDATE_ROW");
  link.sent.clear();
  dialogs.boxes.clear();
  Pass("SEARCH");
  Pass("APPOFF_REQUESTED");
  EXPECT_EQ(S().msState, "APPOFF_REQUESTED");
  EXPECT_TRUE(link.sent.empty());
  EXPECT_TRUE(dialogs.boxes.empty());
  EXPECT_FALSE(shell.AwaitingReply());
}

TEST_F(ScreenConversationTest, LeavingAGridAndAnInvalidGridEscape) {
  M().layout.msGridType = "READONLY";
  Pass("GRID_ADDON");
  EXPECT_TRUE(link.sent.empty());
  EXPECT_EQ(S().msState, "GRID_ADDON");
  M().layout.msGridType = "INTEG";
  Pass("GRID_ADDON");
  EXPECT_THAT(link.sent, ElementsAre("X\r\n"));
  EXPECT_EQ(S().msState, "GRID_ESCAPE");

  // Not an UPDATE screen: the box, nothing sent, the states kept, and the keys not locked.
  S().msFormState = "NOMINATE";
  S().msState2 = "";
  Pass("GRID_ESCAPE");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, kInvalidProtocolBox);
  EXPECT_EQ(link.sent.size(), 1u);
  EXPECT_EQ(S().msState, "GRID_ESCAPE");
  EXPECT_FALSE(shell.AwaitingReply());

  // On an UPDATE screen the grid's entry goes off screen and the row buttons show.
  S().msFormState = "UPDATE";
  Entries({"", "a", "b", "grid"});
  M().entrySpec.Set(11, 3, "1");
  M().entrySpec.Set(12, 3, "-1");
  M().grid.tag = "3";
  M().grid.SetRows(4);
  Pass("GRID_ESCAPE");
  const FormControls& c = Top().Controls();
  EXPECT_EQ(c.entries[3].left, -9999);
  EXPECT_EQ(c.entries[3].caption, "");
  EXPECT_TRUE(c.entries[1].enabled);
  EXPECT_FALSE(c.entries[2].enabled);
  for (const ControlRecord& button : c.gridRow) EXPECT_TRUE(button.visible);
  EXPECT_EQ(c.fnFile.caption, "&File");
  EXPECT_FALSE(c.fnExit.enabled);
  EXPECT_EQ(S().msState, "FORM_ACTIVE");
  EXPECT_EQ(S().msState2, "GRID_ESCAPE");
  EXPECT_EQ(Top().Focus().focusEntry, 3);
}

TEST_F(ScreenConversationTest, GridRowsAreInsertedDeletedAndRenumbered) {
  GridModel& grid = M().grid;
  grid.SetRows(4);
  grid.SetCols(3);
  for (int r = 1; r <= 3; ++r) grid.SetTextMatrix(r, 1, "r" + std::to_string(r));
  grid.SetRow(2);
  M().layout.mbGuiPlus = true;
  Pass("GRID_INSERT_ROW");
  EXPECT_EQ(grid.Rows(), 5);
  EXPECT_EQ(grid.TextMatrix(2, 1), "");
  EXPECT_EQ(grid.TextMatrix(3, 1), "r2");
  EXPECT_EQ(grid.TextMatrix(4, 0), "4");
  EXPECT_EQ(M().gridArea.mnGridRows, 1);
  EXPECT_EQ(S().msState, "FORM_ACTIVE");
  // The insert was the engine's answer: nothing more comes, so the keys work again.
  EXPECT_FALSE(shell.AwaitingReply());

  M().layout.mbGuiPlus = false;
  Top().Controls().gridRow[0].visible = true;
  Pass("GRID_INSERT_ROW");
  EXPECT_EQ(S().msState, "GRID_UPDATE_ROW");
  EXPECT_FALSE(Top().Controls().gridRow[0].visible);

  grid.SetRow(1);
  Pass("GRID_DELETE_ROW");
  EXPECT_EQ(grid.Rows(), 5);
  for (int r = 1; r < grid.Rows(); ++r) EXPECT_EQ(grid.TextMatrix(r, 0), std::to_string(r));
  EXPECT_EQ(S().msState, "FORM_ACTIVE");
  EXPECT_FALSE(shell.AwaitingReply());

  Pass("GRID_VERTICAL");
  EXPECT_EQ(S().msState, "GRID_VERTICAL_CONFIRM");
}

TEST_F(ScreenConversationTest, LoggingOff) {
  dialogs.answers = {BoxAnswer::kYes};
  Pass("APPOFF_ERROR");
  EXPECT_EQ(dialogs.boxes[0].text, kUnfinishedBusinessBox);
  EXPECT_EQ(S().msState, "FORM_ACTIVE");
  EXPECT_FALSE(host.endCode.has_value());

  // The engine's confirmation: one box, once, however often the poll ticks after it.
  dialogs.boxes.clear();
  Engine("<APPOFF_OK>");
  shell.TimerTick();
  shell.TimerTick();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, kLoggedOffCleanlyBox);
  EXPECT_EQ(host.endCode, 0);
  EXPECT_TRUE(link.released);
}

TEST_F(ScreenConversationTest, NoToTheUnfinishedBusinessQuestionLeaves) {
  dialogs.answers = {BoxAnswer::kNo};
  Pass("APPOFF_ERROR");
  EXPECT_EQ(host.endCode, 0);
}

TEST_F(ScreenConversationTest, APopupDueOnAMenuOpensInItsOwnWindow) {
  M().popups.Set(1, "<POPUP SCREEN=BOX TOP=8 LEFT=20 WIDTH=40 HEIGHT=6>Title</POPUP>");
  S().msFormState = "MENU";
  S().msState2 = "POPUP";
  Pass("FORM_ACTIVE");
  Pass("FORM_ACTIVE");
  S().msState2 = "POPUP";
  Pass("FORM_ACTIVE");
  // The popup before is closed when the next one opens: one stays.
  ASSERT_EQ(TopParts().window.popups.size(), 1u);
  EXPECT_EQ(TopParts().window.popups.begin()->second.title, "Title");
  EXPECT_EQ(M().mnPopups, 1);
  EXPECT_EQ(S().msState2, "");
  // A data-entry screen closes them.
  S().msFormState = "FUNCTION";
  Pass("FORM_ACTIVE");
  EXPECT_TRUE(TopParts().window.popups.empty());
  EXPECT_EQ(M().mnPopups, 0);
}

}  // namespace
}  // namespace orvik::client
