// The client's frame: start-up, the poll tick, the stack of screen forms, sending, and every
// way the program ends.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "bracket_runs.h"
#include "colours.h"
#include "monitor_log.h"
#include "shell_fixture.h"

namespace orvik::client {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

using ShellTest = ShellFixture;

TEST_F(ShellTest, StartUpSendsOneLineEndAndTheFirstTickMakesTheFirstScreen) {
  EXPECT_EQ(shell.StateMain(), "LOGON");
  shell.Start();
  EXPECT_EQ(shell.StateMain(), "LOGIN");
  EXPECT_THAT(link.sent, ElementsAre("\r\n"));
  EXPECT_EQ(shell.PendingText(), "<TERMINAL><ATF,@=-1>");
  EXPECT_THAT(monitor.Text(), HasSubstr("TX :\r\n"));

  link.output = "\r\nusername: ";
  shell.OutputArrived();
  // The first text makes the screen form and is dispatched on the next tick.
  EXPECT_EQ(shell.StateMain(), "FORMS");
  ASSERT_EQ(shell.FormCount(), 1);
  EXPECT_TRUE(host.mainWindowHidden);
  EXPECT_EQ(host.ticksScheduled, 1);
  EXPECT_EQ(shell.PendingText(), "<TERMINAL><ATF,@=-1>\r\nusername: ");
  EXPECT_EQ(shell.Top()->Model().states.msState, "TERMINAL");
  EXPECT_TRUE(host.forms[0]->window.shown);
  EXPECT_FALSE(shell.Top()->IsSubform());

  shell.OutputArrived();  // the scheduled run
  EXPECT_EQ(shell.PendingText(), "");
  EXPECT_EQ(Raster().RowText(1), "username:");
  EXPECT_THAT(monitor.Text(), HasSubstr("RX:\r\n<TERMINAL><ATF,@=-1>\r\nusername: "));
}

TEST_F(ShellTest, OnlyTheTimerCountsThePendingTime) {
  shell.TimerTick();
  EXPECT_EQ(shell.PollCounter(), 0);  // nothing pending: stays 0
  StartToFirstForm();
  EXPECT_EQ(shell.PollCounter(), 0);
  // A form transmission that waits for its end.
  Top().Model().states.msState = "FORM_ACTIVE";
  Top().Model().states.msFormState = "FUNCTION";
  Engine("<FORM TYPE=FUNCTION><PROGRAM NAME=X>");
  EXPECT_EQ(shell.PollCounter(), 0);
  shell.OutputArrived();
  EXPECT_EQ(shell.PollCounter(), 0);
  shell.TimerTick();
  shell.TimerTick();
  EXPECT_FLOAT_EQ(shell.PollCounter(), 0.33f);
  Engine("</TX>");  // complete: dispatched, the counter starts again
  EXPECT_EQ(shell.PollCounter(), 0);
  EXPECT_EQ(shell.PendingText(), "");
}

TEST_F(ShellTest, BellsSoundOnceAndLeaveTheText) {
  StartToFirstForm();
  Engine("\aab\a\ac");
  EXPECT_EQ(host.beeps, 1);
  EXPECT_EQ(Raster().RowText(0), "abc");
}

TEST_F(ShellTest, BracketRuns) {
  EXPECT_EQ(BracketRuns("a<<b>>>c"), "a**b***c");
  EXPECT_EQ(BracketRuns("<POSITION TOP=1>"), "<POSITION TOP=1>");
  EXPECT_EQ(BracketRuns("<<<FORM TYPE=MENU>"), "***FORM TYPE=MENU>");
  // The letter ø stays a letter, and the end of a transmission stays one.
  EXPECT_EQ(BracketRuns("S\xF8ren"), "S\xF8ren");
  EXPECT_EQ(BracketRuns("less <</TX>"), "less *</TX>");
  EXPECT_EQ(BracketRuns("x<<<</tx>>>"), "x***</tx>**");
  EXPECT_EQ(BracketRuns("</TX>"), "</TX>");
}

TEST_F(ShellTest, TextEndingInABracketRunStillEnds) {
  StartToFirstForm();
  Top().Model().states.msState = "FORM_ACTIVE";
  Top().Model().states.msFormState = "FUNCTION";
  Engine("<FORM TYPE=FUNCTION><PROGRAM NAME=P><POSITION TOP=1 LEFT=1>a <<</TX>");
  EXPECT_EQ(shell.PendingText(), "");  // dispatched at once, not left to time out
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ShellTest, AHangUpReleasesThePortBeforeItsBoxAndEndsTheProgram) {
  StartToFirstForm();
  bool releasedFirst = false;
  int nested = 0;
  dialogs.onBox = [&](const FakeDialogs::Box&) {
    releasedFirst = link.released;
    if (nested++ == 0) shell.TimerTick();  // the timer goes on while the box is up
  };
  link.hungUp = true;  // after writing a farewell
  Engine("bye");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "OrvikEngine disconnecting");
  EXPECT_EQ(dialogs.boxes[0].buttons, BoxButtons::kOk);
  EXPECT_TRUE(releasedFirst);
  EXPECT_EQ(link.releases, 1);
  EXPECT_EQ(host.endCode, 0);
  EXPECT_EQ(Raster().RowText(0), "");  // not dispatched
}

TEST_F(ShellTest, TextDispatchedInsideABoxIsNotDispatchedAgain) {
  StartToFirstForm();
  settings.timeout = 0.3f;
  Top().Model().states.msState = "FORM_ACTIVE";
  Top().Model().states.msFormState = "FUNCTION";
  dialogs.onBox = [&](const FakeDialogs::Box&) {
    shell.TimerTick();  // ticks inside the modal box
    shell.TimerTick();
  };
  Engine("<FORM TYPE=FUNCTION><PROGRAM NAME=P>never ends");
  shell.TimerTick();
  shell.TimerTick();
  shell.TimerTick();  // past the time-out
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_THAT(dialogs.boxes[0].text, HasSubstr("Timeout ERROR"));
  shell.TimerTick();
  EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(ShellTest, AReplyOnAFormGoesUnechoedAndTheTerminalsKeysEchoed) {
  StartToFirstForm();
  settings.timeout = 0.3f;
  shell.Send("W");  // a key typed on the terminal screen: the session draws it
  Top().Model().states.msState = "FORM_ACTIVE";
  Top().Model().states.msFormState = "MENU";
  shell.Send("\r");  // acknowledging a box; the program answers nothing
  shell.Send("Spring<MSGBOX>\r");
  EXPECT_THAT(link.sent, ElementsAre("\r\n", "W", "\r", "Spring<MSGBOX>\r"));
  EXPECT_THAT(link.echoed, ElementsAre(true, true, false, false));
  for (int i = 0; i < 6; ++i) shell.TimerTick();
  EXPECT_TRUE(dialogs.boxes.empty()) << "nothing came back to wait for";
  // Text that is no transmission still waits for its end, and times out as it always did.
  Engine("stray text");
  for (int i = 0; i < 6; ++i) shell.TimerTick();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_THAT(dialogs.boxes[0].text, HasSubstr("Timeout ERROR"));
}

// A reply typed into an entry goes without the session's echo, so only the program's answer
// comes back, whatever markup the reply held.
TEST_F(ShellTest, MarkupTypedIntoAFormIsNeverObeyed) {
  StartToFirstForm();
  settings.timeout = 0.3f;
  Top().Model().states.msState = "FORM_ACTIVE";
  Top().Model().states.msFormState = "FUNCTION";
  const std::string refusal = "<MSGBOX TYPE=ERROR>Not a description.</TX>";
  shell.Send("Spring<MSGBOX>\r");
  EXPECT_FALSE(link.echoed.back());
  Engine(refusal);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "Not a description.\n");

  // A sub-form's marker among what was typed; the answer cut by the link.
  Top().Model().states.msState = "FORM_ACTIVE";
  shell.Send("<SUBFORM><MSGBOX>\r");
  EXPECT_FALSE(link.echoed.back());
  Engine(refusal.substr(0, 7));
  Engine(refusal.substr(7));
  EXPECT_EQ(shell.FormCount(), 1);
  ASSERT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_EQ(dialogs.boxes[1].text, "Not a description.\n");
  for (int i = 0; i < 6; ++i) shell.TimerTick();
  EXPECT_EQ(dialogs.boxes.size(), 2u) << "nothing left waiting for its end";
  EXPECT_EQ(shell.PendingText(), "");
}

// Replies typed before the answer to the one before them: each answer is read on its own.
TEST_F(ShellTest, MarkupTypedAheadIsNeverObeyed) {
  StartToFirstForm();
  Top().Model().states.msState = "FORM_ACTIVE";
  Top().Model().states.msFormState = "FUNCTION";
  const std::string refusal = "<MSGBOX TYPE=ERROR>Not a description.</TX>";
  const std::string askAgain = "<ACTIONCODE></TX>";
  shell.Send("<MSGBOX>1\r");
  Engine(refusal);
  ASSERT_EQ(link.sent.back(), "\r") << "the box is acknowledged";
  shell.Send("<SUBFORM>2\r");
  Engine(askAgain + refusal);
  shell.TimerTick();
  shell.Send("<MSGBOX>3\r");
  Engine(askAgain);
  Engine(refusal);
  shell.TimerTick();
  EXPECT_EQ(shell.FormCount(), 1);
  ASSERT_EQ(dialogs.boxes.size(), 3u);
  for (const auto& box : dialogs.boxes) EXPECT_EQ(box.text, "Not a description.\n");
  EXPECT_EQ(shell.PendingText(), "");
  // After start-up's line end, to the terminal's login: none was to come back.
  EXPECT_THAT(std::vector<bool>(link.echoed.begin() + 1, link.echoed.end()),
              ::testing::Each(false));
}

TEST_F(ShellTest, TheEnginesPromptAfterAFramedListingIsShownOnceWhereverItArrives) {
  StartToFirstForm();
  const std::string frame =
      "LISTF\r<TERMINAL><ATF @=-1><POSITION TOP=1 LEFT=0>LISTF = List of Files/Tables\r\n"
      "\r\n\r\nmd\r\nCUST\r\n\r\n\r\n:</TX>";
  Engine(frame + "\r\n:");
  const std::string together = Raster().Text();
  const double cursorY = Top().Terminal().CursorY();
  Engine(frame);
  Engine("\r\n:");
  EXPECT_EQ(Raster().Text(), together);
  EXPECT_EQ(Top().Terminal().CursorY(), cursorY);
  EXPECT_EQ(Raster().RowText(4), "md");
  EXPECT_EQ(Raster().RowText(8), ":");
  // Only right after the frame: a prompt later is drawn.
  Engine("X");
  Engine("\r\n:");
  EXPECT_EQ(Raster().RowText(8), ":X");
  EXPECT_EQ(Raster().RowText(9), ":");
}

TEST_F(ShellTest, SubformMarkersActOnceWhileTheirTransmissionWaits) {
  StartToFirstForm();
  ScreenFormCore& first = Top();
  Engine("<FORM TYPE=FUNCTION><PROGRAM NAME=F><POSITION TOP=3 LEFT=2>Under</TX>");
  ASSERT_TRUE(first.Controls().fnExit.visible);
  host.forms[0]->window.tiles.clear();
  Engine("<SUBFORM><FORM TYPE=FUNCTION><PROGRAM NAME=A>");
  shell.TimerTick();
  shell.TimerTick();
  ASSERT_EQ(shell.FormCount(), 2);
  EXPECT_TRUE(shell.Top()->IsSubform());
  EXPECT_EQ(host.forms[1]->window.caption, "SubForm");
  EXPECT_TRUE(host.forms[1]->window.shown);
  // The form underneath: disabled, grey headers, no function buttons.
  EXPECT_FALSE(host.forms[0]->window.enabled);
  EXPECT_EQ(first.Controls().formHeader[0].backColour, QBColor(7));
  EXPECT_THAT(monitor.Text(), HasSubstr("****** Create SUBFORM ******"));

  Engine("</TX>");
  Engine("<SUBFORM><TERMINAL>two deep</TX>");
  ASSERT_EQ(shell.FormCount(), 3);
  // Two ends with two sub-forms open, then one more with none: entry 0 stays.
  Engine("</SUBFORM></SUBFORM><TERMINAL>back</TX>");
  EXPECT_EQ(shell.FormCount(), 1);
  EXPECT_TRUE(host.forms[1]->dropped);
  EXPECT_TRUE(host.forms[2]->dropped);
  Engine("</SUBFORM>");
  EXPECT_EQ(shell.FormCount(), 1);
  EXPECT_FALSE(host.forms[0]->dropped);
  // The first form is the top again: enabled, shown, its background repainted.
  EXPECT_TRUE(host.forms[0]->window.enabled);
  EXPECT_EQ(first.Controls().formHeader[0].backColour, QBColor(4));
  EXPECT_TRUE(first.Controls().fnExit.visible);
  EXPECT_FALSE(first.Controls().fnSearch.visible);
  ASSERT_EQ(host.forms[0]->window.tiles.size(), 2u * 35u);
  EXPECT_EQ(host.forms[0]->window.tiles[0], "tile 0,0 2000x1950");
  EXPECT_EQ(host.forms[0]->window.tiles[34], "tile 11400,7500 2000x1950");
  EXPECT_THAT(monitor.Text(), HasSubstr("****** EXIT from SUBFORM ******"));
}

TEST_F(ShellTest, TagsSplitAcrossPiecesActWhenTheirLastByteArrives) {
  StartToFirstForm();
  ScreenStates& states = Top().Model().states;
  states.msState = "FORM_ACTIVE";
  states.msFormState = "FUNCTION";
  const auto byByte = [&](const std::string& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
      Engine(text.substr(i, 1));
      ASSERT_EQ(shell.PendingText().size(), i + 1) << "taken at byte " << i;
    }
    Engine(text.substr(text.size() - 1));
  };
  byByte("<SUBFORM>");
  EXPECT_EQ(shell.FormCount(), 2);
  EXPECT_EQ(shell.PendingText(), "");
  // The new sub-form is a terminal until its form comes.
  Engine("<FORM TYPE=FUNCTION><PROGRAM NAME=A><POSITION TOP=3 LEFT=2>Lbl</tx>");
  EXPECT_EQ(shell.PendingText(), "");
  ScreenStates& sub = Top().Model().states;
  ASSERT_EQ(sub.msFormState, "NOMINATE");
  byByte("<LOGOFF_OK>");
  EXPECT_EQ(sub.msState, "APPOFF_OK");
  EXPECT_EQ(shell.PendingText(), "");
}

TEST_F(ShellTest, AFormOfMegabytesInSmallPiecesIsReadOnceAndNotOnEveryPiece) {
  // Every piece used to have the whole pending text searched and copied again: four
  // megabytes in pieces of 128 bytes held the client up for the best part of an hour.
  StartToFirstForm();
  ScreenStates& states = Top().Model().states;
  states.msState = "FORM_ACTIVE";
  states.msFormState = "FUNCTION";
  std::string form = "<FORM TYPE=FUNCTION><PROGRAM NAME=BIG><POSITION TOP=3 LEFT=2>First";
  while (form.size() < (std::size_t{4} << 20)) form += "<POSITION TOP=4 LEFT=2>more << text\r\n";
  form += "</TX>";
  constexpr std::size_t kPiece = 128;
  for (std::size_t at = 0; at < form.size(); at += kPiece) {
    Engine(form.substr(at, kPiece));
    if (at + kPiece < form.size()) {
      ASSERT_EQ(shell.PendingText().size(), at + kPiece);
    }
  }
  EXPECT_EQ(shell.PendingText(), "");
  EXPECT_EQ(states.msFormState, "NOMINATE");
  EXPECT_LT(monitor.Text().size(), kMonitorLogLimit + 1000);
  EXPECT_THAT(monitor.Text(), HasSubstr("more ** text"));
}

TEST_F(ShellTest, TerminalTextWaitingForItsTagEndsWhenTheTagDoesWhateverThePieces) {
  StartToFirstForm();
  ScreenStates& states = Top().Model().states;
  ASSERT_EQ(states.msState, "TERMINAL");
  // An open tag holds the text back until it closes; pieces without a ">" keep it waiting.
  Engine("a <b");
  Engine(" still open");
  EXPECT_EQ(shell.PendingText(), "a <b still open");
  Engine(">shown\r\n");
  EXPECT_EQ(shell.PendingText(), "");
  // An open popup block waits for its end, however much comes before it.
  Engine("<POPUP HEIGHT=3>line 1 <i>x</i>");
  Engine(std::string(5000, 'p'));
  EXPECT_FALSE(shell.PendingText().empty());
  Engine("</POPUP>");
  EXPECT_EQ(shell.PendingText().size(), 0u);
  // The time-out ends any wait.
  Engine("<never closed");
  for (int i = 0; i < 200 && !shell.PendingText().empty(); ++i) shell.TimerTick();
  EXPECT_EQ(shell.PendingText(), "");
  // A menu announced in pieces leaves terminal state at once, also when its TYPE comes in
  // the next piece, and then waits as a form for the end of its transmission.
  Engine("<FO");
  Engine("RM");
  EXPECT_EQ(shell.PendingText(), "<FORM");
  Engine(" TYP");
  Engine("E=MENU");
  EXPECT_EQ(states.msState, "");
  EXPECT_EQ(shell.PendingText(), "<FORM TYPE=MENU");
}

TEST_F(ShellTest, TerminalTextOfMegabytesBehindAnOpenTagIsNotReadAgainOnEveryPiece) {
  // Every piece used to have the whole pending text copied and searched again: 2 MB in
  // pieces of 512 bytes behind one "<" took the client most of a minute.
  StartToFirstForm();
  std::string text = "x < y, and then ";
  while (text.size() < (std::size_t{2} << 20)) text += "line of a listing, all text\r\n";
  constexpr std::size_t kPiece = 512;
  for (std::size_t at = 0; at < text.size(); at += kPiece) Engine(text.substr(at, kPiece));
  EXPECT_EQ(shell.PendingText().size(), text.size());
  Engine(">\r\nend");
  EXPECT_EQ(shell.PendingText(), "");
  EXPECT_EQ(Top().Model().states.msState, "TERMINAL");
}

TEST_F(ShellTest, SubformsNestedWithoutEndStopAtTheMostFormsAndSayItOnce) {
  StartToFirstForm();
  std::string opens;
  for (int i = 0; i < 1000; ++i) opens += "<SUBFORM>";
  Engine(opens + "<TERMINAL>deep</TX>");
  EXPECT_EQ(shell.FormCount(), kMostForms);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text,
            "ERROR: Sub-forms nested more than 63 deep; OrvikLink shows the deeper ones on the "
            "last.");
  EXPECT_EQ(Raster().RowText(0), "deep");
  // The ends of the refused ones close none; the next closes the last opened.
  std::string closes;
  for (int i = 0; i < 1000 - (kMostForms - 1); ++i) closes += "</SUBFORM>";
  Engine(closes + "<TERMINAL>still</TX>");
  EXPECT_EQ(shell.FormCount(), kMostForms);
  Engine("</SUBFORM><TERMINAL>up</TX>");
  EXPECT_EQ(shell.FormCount(), kMostForms - 1);
  EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(ShellTest, SendingWithThePrefixAndTheMonitor) {
  StartToFirstForm();
  link.sent.clear();
  shell.dataPrefix = "<PRE>";
  shell.Send("a\r");
  shell.Send("b\r");
  EXPECT_THAT(link.sent, ElementsAre("<PRE>a\r", "b\r"));
  EXPECT_EQ(shell.Context().dataToSend, "b\r");
  EXPECT_THAT(monitor.Text(), HasSubstr("TX :a\r"));
  settings.monitor = false;
  const std::string before = monitor.Text();
  shell.Send("c");
  EXPECT_EQ(monitor.Text(), before);
}

TEST_F(ShellTest, ClosingTheMainWindowBeforeTheFirstScreenReleasesThePortAndEnds) {
  shell.Start();
  shell.MainWindowClosed();
  EXPECT_TRUE(link.released);
  EXPECT_EQ(host.endCode, 0);
  link.output = "late";
  shell.TimerTick();  // nothing more happens
  EXPECT_EQ(shell.FormCount(), 0);
}

TEST_F(ShellTest, TheCloseBoxAsksFirstAndReleasesThePortOnYes) {
  StartToFirstForm();
  link.sent.clear();
  dialogs.answers = {BoxAnswer::kNo, BoxAnswer::kYes};
  EXPECT_FALSE(Top().QueryUnload(true));
  EXPECT_FALSE(link.released);
  EXPECT_FALSE(host.endCode);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, kEmergencyExitQuestion);
  EXPECT_EQ(dialogs.boxes[0].buttons, BoxButtons::kYesNo);
  EXPECT_THAT(dialogs.boxes[0].text, HasSubstr("\"quit\", \"exit\" or \"lo\" commands"));
  EXPECT_TRUE(Top().QueryUnload(true));
  EXPECT_TRUE(link.released);
  EXPECT_EQ(host.endCode, 0);
  EXPECT_TRUE(link.sent.empty());  // no log-off is sent
  // Closing by code asks nothing.
  EXPECT_TRUE(Top().QueryUnload(false));
  EXPECT_EQ(dialogs.boxes.size(), 2u);
}

TEST_F(ShellTest, ALogOffOnASubformLeavesTheProgramRunning) {
  StartToFirstForm();
  Engine("<SUBFORM><TERMINAL>sub</TX>");
  ASSERT_EQ(shell.FormCount(), 2);
  Engine("<TERMINAL><APPOFF_OK></TX>");
  EXPECT_EQ(shell.FormCount(), 1);
  EXPECT_FALSE(link.released);
  EXPECT_FALSE(host.endCode);
  EXPECT_TRUE(host.forms[0]->window.enabled);
}

}  // namespace
}  // namespace orvik::client
