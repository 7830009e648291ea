// The dispatcher: example transmissions with what each must leave, and its waits,
// time-outs and error recovery.

#include "rx_process.h"

#include <gtest/gtest.h>

#include "example_transmissions.h"
#include "reader_fixture.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

class RxProcessTest : public ReaderTest {};

TEST_F(RxProcessTest, EachExampleTransmissionLeavesWhatItShould) {
  for (const ExampleTransmission& c : ExampleTransmissions()) {
    SCOPED_TRACE(c.name);
    form.model = ScreenModel{};
    form.calls.clear();
    settings = ClientSettings{};
    SetStates(c.state, c.formState);
    const std::string pending = Dispatch(c.text);
    Check(c.expect, pending);
  }
}

TEST_F(RxProcessTest, AMenuThatWaitedIsTakenWhenItsEndArrives) {
  SetStates("TERMINAL", "TERMINAL");
  std::string rx = "<FORM TYPE=MENU><C ACTION=1>One";
  RXProcess(rx, form, shell);
  EXPECT_EQ(states().msState, "");
  rx += "<C ACTION=2>Two</TX>";
  RXProcess(rx, form, shell);
  Check({.state = "FORM_ACTIVE",
         .formState = "MENU",
         .calls = kMaster,
         .rows = {{3, "C|2||Two"}, {4, "/TX"}}},
        rx);
}

TEST_F(RxProcessTest, OnlyTheFirstIniTagAndEveryStyleTag) {
  SetStates("FORM_ACTIVE", "UPDATE");
  const std::string pending = Dispatch(
      "<INI MONITOR=False><STYLE NAME=s1 BACKCOLOR=1><FORM TYPE=SEARCH>Pick"
      "<INI DEVMSG=False><STYLE,NAME=s2,BACKCOLOR=2></TX>");
  EXPECT_FALSE(settings.monitor);
  EXPECT_TRUE(settings.devMsg);
  EXPECT_EQ(SplitStyleRecord(*styles.Find("S1"))[5], "1");
  EXPECT_EQ(SplitStyleRecord(*styles.Find("s2"))[5], "2");
  EXPECT_EQ(model().texts.msData, "<FORM TYPE=SEARCH>Pick<INI DEVMSG=False></TX>");
  EXPECT_EQ(pending, "");
}

TEST_F(RxProcessTest, AnEmptyLogOffAnswerMatchesNothing) {
  settings.appOffResponse.clear();
  SetStates("FORM_ACTIVE", "MENU");
  EXPECT_EQ(Dispatch("< logged off at 10:15"), "< logged off at 10:15");
  EXPECT_EQ(states().msState, "FORM_ACTIVE");
  EXPECT_TRUE(form.calls.empty());
}

TEST_F(RxProcessTest, AFormThatNeverEndsIsRecoveredOnceAfterTheTimeOut) {
  SetStates("FORM_ACTIVE", "UPDATE");
  std::string rx = "<FORM TYPE=FUNCTION><PROGRAM NAME=X><POSITION TOP=5 LEFT=2>half";
  shell.pollCounter = settings.timeout;  // still within the wait
  RXProcess(rx, form, shell);
  EXPECT_FALSE(rx.empty());
  shell.pollCounter = settings.timeout + 0.165f;
  RXProcess(rx, form, shell);
  Check({.state = "RECOVERY", .previous = "FORM_ACTIVE", .calls = kMaster, .pending = ""}, rx);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "Timeout ERROR.  Could you please try re-doing this?");
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::kExclamation);
  EXPECT_EQ(shell.pollCounter, 0);
  RXProcess(rx, form, shell);
  EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(RxProcessTest, TerminalTextThatNeverEndsIsShownAsTerminalText) {
  SetStates("FORM_ACTIVE", "UPDATE");
  shell.pollCounter = settings.timeout + 1;
  std::string rx = "<POSITION TOP=1 LEFT=0>Message\r\nline";
  RXProcess(rx, form, shell);
  Check({.state = "TERMINAL",
         .formState = "TERMINAL",
         .calls = kTerminal,
         .pending = "",
         .data = "<POSITION TOP=1 LEFT=0>Message\rline"},
        rx);
  // Outside the form states a timed-out text is dispatched as it is.
  SetStates("SEARCH", "UPDATE");
  shell.pollCounter = settings.timeout + 1;
  rx = "<MSGBOX TYPE=INFO>half";
  RXProcess(rx, form, shell);
  EXPECT_EQ(states().msState, "MSGBOX_INFO");
  // A terminal popup waits for its end only within the time-out.
  SetStates("TERMINAL", "TERMINAL");
  shell.pollCounter = 0;
  rx = "x<POPUP>y</TX>";
  RXProcess(rx, form, shell);
  EXPECT_EQ(rx, "x<POPUP>y</TX>");
  shell.pollCounter = settings.timeout;
  RXProcess(rx, form, shell);
  EXPECT_EQ(rx, "");
  EXPECT_EQ(model().texts.msData, "x<DO_POPUP INDEX=1>y</TX>");
}

TEST_F(RxProcessTest, AnErrorStepsTheScreenDownToTerminalMode) {
  SetStates("FORM_ACTIVE", "MENU");
  form.onCall = [](const std::string& name, ScreenModel&) {
    if (name == "FormRXProcessMaster") throw VbError(vberr::kSubscriptOutOfRange);
  };
  std::string rx = "<FORM TYPE=MENU><C ACTION=1>One</TX>";
  RXProcess(rx, form, shell);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text,
            "ERROR in processing a server transmission.  To prevent 'freezing' the screen will "
            "now step down to simple terminal mode. Please try to recover from there by "
            "navigating back to a home menu or other home screen with your Quit and/or Exit "
            "keys/codes/characters.  Close this App only as a last resort.\r\n\r\nSystem "
            "message is:\r\n9, Subscript out of range\r\n\r\nOffending transmission begins "
            "with:\r\n<FORM TYPE=MENU><C ACTION=1>One</TX>");
  EXPECT_EQ(rx, "<TERMINAL>");
  form.onCall = nullptr;
  form.calls.clear();
  RXProcess(rx, form, shell);
  Check({.state = "TERMINAL", .formState = "TERMINAL", .calls = kTerminal, .pending = ""}, rx);

  // Errors of the readers themselves: an action code past the sub-action table.
  SetStates("FORM_ACTIVE", "FUNCTION");
  rx = "<FORM TYPE=FUNCTION><PROGRAM NAME=X><POSITION TOP=5 LEFT=2 ACTION=500|2><TEXTBOX>"
       "</TX>";
  RXProcess(rx, form, shell);
  EXPECT_EQ(rx, "<TERMINAL>");
  EXPECT_NE(dialogs.boxes.back().text.find("9, Subscript out of range"), std::string::npos);
}

TEST_F(RxProcessTest, ANextQueryPageRefreshesTheForm) {
  SetStates("FORM_ACTIVE", "UPDATE");
  Dispatch(
      "<FORM TYPE=FUNCTION><FORMHEADER>Query,Page1,TCL<PROGRAM NAME=Q>"
      "<POSITION TOP=3 LEFT=1>Query text<POSITION TOP=3 LEFT=100><TEXTBOX ACTION=0></TX>");
  EXPECT_EQ(states().msFormState, "FUNCTION");
  states().msFormState = "UPDATE";  // as the data-entry layout leaves it
  form.calls.clear();
  const std::string pending = Dispatch("<REFRESH><FORMHEADER>Query,Page2,TCL</TX>");
  Check({.state = "FORM_ACTIVE",
         .formState = "REFRESH",
         .calls = kMaster,
         .rows = {{1, "FORMHEADER|||Query|Page2|TCL||||||Y"},
                  {3, "LABEL||FIXED|Query text|3|1|20|||1||Y"},
                  {4, "TEXTBOX|0|1||3|100||||0||Y"},
                  {5, "/TX|||||||||||Y"}},
         .pending = ""},
        pending);
  // A refresh named in the FORM tag; after a search it updates the form instead.
  states().msState = "SEARCH";
  Dispatch("<FORM TYPE=REFRESH><FORMHEADER>Query,Page3,TCL</TX>");
  EXPECT_EQ(states().msFormState, "UPDATE");
  EXPECT_EQ(states().msState, "FORM_ACTIVE");
}

TEST_F(RxProcessTest, AnExternalChangeRedrawsTheFieldsBeforeTheGridCells) {
  SetStates("FORM_ACTIVE", "FUNCTION");
  Dispatch(
      "<FORM TYPE=FUNCTION><PROGRAM NAME=X><POSITION TOP=3 LEFT=20 ACTION=1><TEXTBOX>a"
      "<GRID TOP=5 ACTION=2><COLUMN WIDTH=5>A</TX>");
  SetStates("GRID_UPDATE_ROW", "UPDATE");
  model().items.lastEntryNumber = 2;
  model().grid.SetRows(4);
  form.calls.clear();
  const std::string pending =
      Dispatch("<POSITION TOP=3 LEFT=20>changed<GRIDCELL COL=1 ROW=1>x</TX>");
  Check({.state = "GRID_UPDATE_ROW",
         .state2 = "EXTERNAL_CHANGE",
         .calls = kMaster,
         .cells = "EXTERNAL 0,3 \nENTRY 1,1 x\n",
         .pending = ""},
        pending);
  EXPECT_EQ(spec().Get(3, 4), "changed");
  EXPECT_EQ(model().grid.TextMatrix(1, 1), "");  // the redraw saw no grid cells
}

TEST_F(RxProcessTest, AGridStateAfterABoxAnswer) {
  SetStates("GRID_HORIZONTAL", "UPDATE", "MSGBOX_YESNO");
  shell.dataToSend = "n\r";
  Dispatch("</TX>");
  EXPECT_EQ(form.CallNames(), kMaster);
  shell.dataToSend = "Y\r";
  Dispatch("</TX>");
  EXPECT_EQ(form.CallNames(), kMaster);
}

TEST_F(RxProcessTest, TheDecisionsAreLoggedWhileTheMonitorIsOn) {
  SetStates("TERMINAL", "TERMINAL");
  Dispatch("abc");
  SetStates("FORM_ACTIVE", "MENU");
  Dispatch("<MSGBOX TYPE=INFO>x</TX>");
  EXPECT_NE(monitor.Text().find("PROCESS: continuing with State=TERMINAL:"), std::string::npos);
  EXPECT_NE(monitor.Text().find("PROCESS: GUI MESSAGEBOX TRAP activating"), std::string::npos);
  settings.monitor = false;
  monitor.Clear();
  Dispatch("<MSGBOX TYPE=INFO>x</TX>");
  EXPECT_EQ(monitor.Text(), "");
}

}  // namespace
}  // namespace orvik::client
