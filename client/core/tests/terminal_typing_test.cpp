// Typing on the terminal: one send per character, the line ends, Backspace, and the
// graphical client's password prefix.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "shell_fixture.h"

namespace orvik::client {
namespace {

using ::testing::ElementsAre;

class TypingTest : public ShellFixture {
 protected:
  void SetUp() override {
    StartToFirstForm();
    link.sent.clear();
  }
  std::int32_t Key(char c) { return Top().KeyPress(static_cast<unsigned char>(c)); }
  void Type(const std::string& keys) {
    for (char c : keys) Key(c);
  }
  // The engine echoes what it got, as its session does with echo on.
  void EchoAll() {
    std::string echo;
    for (const std::string& s : link.sent) {
      if (s == "\b") {
        echo += "\b \b";
      } else if (s != "\r") {
        echo += s;
      }
    }
    Engine(echo);
  }
  double CursorColumn() { return Top().Terminal().CursorX() / kCharWidth; }
};

TEST_F(TypingTest, EachCharacterIsOneSendAndEnterSendsTheEndOfSend) {
  const int pumpsBefore = pump.pumps;
  EXPECT_EQ(Key('a'), 0);
  EXPECT_EQ(Key('b'), 0);
  EXPECT_EQ(Key('\r'), 0);
  EXPECT_THAT(link.sent, ElementsAre("a", "b", "\r"));
  EXPECT_EQ(Top().Typing().TypedLine(), "");
  // Each printable key let the events run once, so the engine's echo could be drawn.
  EXPECT_EQ(pump.pumps - pumpsBefore, 2);
  settings.eos = "\r\n";
  Type("c\t");
  EXPECT_THAT(link.sent, ElementsAre("a", "b", "\r", "c", "\r\n"));
  // Control characters other than these are the key dispatch's.
  EXPECT_EQ(Key('\x01'), 1);
  EXPECT_EQ(link.sent.size(), 5u);
}

TEST_F(TypingTest, NothingIsDrawnForATypedCharacterButTheEcho) {
  Type("ls");
  EXPECT_EQ(Raster().RowText(0), "");
  EchoAll();
  EXPECT_EQ(Raster().RowText(0), "ls");
}

TEST_F(TypingTest, BackspaceRubsOutTypedCharactersOnly) {
  Type("\b");  // an empty line: Chr(8) goes, nothing moves
  EXPECT_THAT(link.sent, ElementsAre("\b"));
  EXPECT_EQ(CursorColumn(), 0);
  link.sent.clear();

  Type("xy");
  EchoAll();
  link.sent.clear();
  ASSERT_EQ(CursorColumn(), 2);
  Type("\b");
  EXPECT_THAT(link.sent, ElementsAre("\b"));
  EXPECT_EQ(CursorColumn(), 1);  // the cell is blanked at once, before the echo
  EXPECT_EQ(Raster().RowText(0), "x");
  EchoAll();  // the engine's "\b \b" ends in the same place
  EXPECT_EQ(CursorColumn(), 1);
  EXPECT_EQ(Top().Typing().TypedLine(), "x");
}

TEST_F(TypingTest, BackspaceAtTheLeftEdgeGoesNoFurther) {
  Type("ab");
  EchoAll();
  Draw("<ATF @=-2>");  // the program moved the cursor home; the line is still typed
  Type("\b\b");
  EXPECT_EQ(CursorColumn(), 0);
  EXPECT_EQ(Raster().RowText(0), "ab");  // nothing left of column 0 to rub out
}

TEST_F(TypingTest, ThePasswordPrefixGoesOnceAndIsNoTypedCharacter) {
  settings.declareGui = true;
  Top().Model().states.msState2 = "APPPASSWORD";
  Engine("password: ");
  const double start = CursorColumn();
  Type("xy");
  EXPECT_THAT(link.sent, ElementsAre("<VBGUI>x", "y"));
  Engine("**");
  EXPECT_EQ(CursorColumn(), start + 2);
  Type("\b\b");
  // Two stars shown, two cells rubbed out: the prefix the engine never showed is not one.
  EXPECT_EQ(CursorColumn(), start);
  EXPECT_EQ(Raster().RowText(0), "password:");
  Type("z");
  EXPECT_EQ(link.sent.back(), "z");  // still the same password: no second prefix
  Type("\r");
  Type("w");
  EXPECT_EQ(link.sent.back(), "<VBGUI>w");  // a new line, a new password
}

TEST_F(TypingTest, WithoutTheSettingThePasswordHasNoPrefix) {
  Top().Model().states.msState2 = "APPPASSWORD";
  Type("xy");
  EXPECT_THAT(link.sent, ElementsAre("x", "y"));
}

TEST_F(TypingTest, WhileAReplyIsAwaitedOnlyEscDoesAnything) {
  shell.SetAwaitingReply(true);
  EXPECT_TRUE(host.busy);
  Type("ab\r");
  EXPECT_TRUE(link.sent.empty());
  EXPECT_EQ(Key('\x1b'), 0);
  EXPECT_FALSE(shell.AwaitingReply());
  EXPECT_FALSE(host.busy);
  EXPECT_TRUE(link.sent.empty());
}

TEST_F(TypingTest, EnterWithPopupsOpenOnlyClosesThem) {
  Top().Model().popups.Set(1, "<POPUP>x</POPUP>");
  Draw("<DO_POPUP INDEX=1>");
  ASSERT_EQ(TopParts().window.popups.size(), 1u);
  Type("\r");
  EXPECT_TRUE(link.sent.empty());
  EXPECT_TRUE(TopParts().window.popups.empty());
  EXPECT_EQ(Top().Model().mnPopups, 0);
}

TEST_F(TypingTest, TabAndEnterNeverReachTheControlsOfDataEntryScreens) {
  Top().Model().states.msState = "FORM_ACTIVE";
  EXPECT_EQ(Key('\t'), 0);
  EXPECT_EQ(Key('\r'), 0);
  EXPECT_EQ(Key('q'), 'q');  // other states: the character passes, nothing is sent
  EXPECT_TRUE(link.sent.empty());
}

TEST_F(TypingTest, CtrlAndALetterSendItsControlCharacterOnTheTerminalOnly) {
  EXPECT_TRUE(Top().KeyDown('A', 2));
  EXPECT_TRUE(Top().KeyDown('C', 2));
  EXPECT_TRUE(Top().KeyDown(91, 2));    // Ctrl+[ is Esc
  EXPECT_FALSE(Top().KeyDown('1', 2));  // a digit names no control character
  EXPECT_FALSE(Top().KeyDown('A', 3));  // nor does Ctrl+Shift
  EXPECT_THAT(link.sent, ElementsAre("\x01", "\x03", "\x1b"));
  link.sent.clear();
  Top().Model().states.msState = "FORM_ACTIVE";
  EXPECT_FALSE(Top().KeyDown('A', 2));
  EXPECT_TRUE(link.sent.empty()) << "a form's value would take it in";
}

TEST_F(TypingTest, ShiftF12ShowsTheMonitor) {
  EXPECT_TRUE(Top().KeyDown(kKeyF12, kShiftMask));
  EXPECT_EQ(host.monitorShown, 1);
  EXPECT_FALSE(Top().KeyDown(kKeyF12, 2));  // Ctrl: not this
  EXPECT_EQ(host.monitorShown, 1);
  shell.SetAwaitingReply(true);
  EXPECT_FALSE(Top().KeyDown(kKeyF12, kShiftMask));  // keys pass untouched while waiting
  EXPECT_EQ(host.monitorShown, 1);
}

}  // namespace
}  // namespace orvik::client
