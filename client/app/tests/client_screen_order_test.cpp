// Screens taken one after another in the orders users take them, by keys and by mouse: after
// each step what the engine stored is read back, and nothing of the screen before may be
// left, neither a window nor an entry box, nor a colour, nor the keyboard.

#include <gtest/gtest.h>

#include "window_fixture.h"

namespace orvik::client::xtest {
namespace {

// Whether the terminal shows only its text in its first `lines` lines: below them it is
// white, and nothing on it has a colour.
bool TerminalOnly(const QImage& picture, int lines) {
  const int below = picture.height() * lines / 26;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const QRgb p = picture.pixel(x, y);
      if (y >= below && !White(p)) return false;
      if (std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)}) > 30)
        return false;
    }
  }
  return true;
}

// A program's form, a value typed at once, and the terminal back: the form's entry goes with
// the form, and what is typed next is the terminal's, so OFF ends the session.
TEST_F(ClientWindowTest, AFormLeftForTheTerminalLeavesNothingBehind) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(LogIn());
  Enter("LOGTO shop");
  Enter("FORMEND");
  std::vector<Shade> entries;
  ASSERT_TRUE(WaitEntries({Shade::kWhite}, &entries)) << ::testing::PrintToString(entries);
  Enter("abc");
  ASSERT_TRUE(WaitUntil([&] { return Kept("V1") == "abc"; })) << Kept("V1");
  // The terminal: the prompt alone, on its first line, no box of the form over it.
  QImage terminal;
  EXPECT_TRUE(WaitUntil([&] { return TerminalOnly(terminal = StillScreen(), 2); }))
      << "the form's remains over the terminal";
  EXPECT_TRUE(OnlyTheForm());
  ASSERT_NO_FATAL_FAILURE(LogOffAtTheTerminal());
}

// A sub-form that the program talks to as a terminal: its text drawn there, the line typed
// on it answered, and when it closes the form under it takes the keys again.
TEST_F(ClientWindowTest, TerminalTextInANewSubformIsDrawnAndAnswered) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(LogIn());
  Enter("LOGTO shop");
  Enter("SUBNOTE");
  const WindowId sub = x_.WaitWindow(Pid(), "^SubForm$");
  ASSERT_NE(sub, 0u) << "no sub-form";
  ASSERT_TRUE(WaitUntil([&] { return InkBands(x_.Picture(sub), DarkText).size() >= 2; }))
      << "no text on the sub-form";
  EXPECT_TRUE(x_.Windows(Pid(), "^OrvikLink$").empty()) << "a box instead of the text";
  Enter("on the sub-form");
  ASSERT_TRUE(WaitUntil([&] { return Kept("S1") == "on the sub-form"; })) << Kept("S1");
  ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^SubForm$")) << "the sub-form stays";
  EXPECT_TRUE(OnlyTheForm());
  ASSERT_NO_FATAL_FAILURE(LogOffAtTheTerminal());
}

// The popup by its code, closed by Enter, and the menu by keys after it: the popup has the
// keyboard while it shows, the menu's selection box after. Its text is set in a font of the
// screen's cells, not a small one spread a cell a letter.
TEST_F(ClientWindowTest, APopupThenTheMenuByKeys) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  Enter("4");
  const WindowId popup = x_.WaitWindow(Pid(), "^Orvik demo$");
  ASSERT_NE(popup, 0u) << "no popup";
  WaitUntil([] { return false; }, 300ms);  // drawn
  const QImage picture = x_.Picture(popup);
  const std::vector<Band> lines = InkBands(picture, MenuItemInk);
  ASSERT_FALSE(lines.empty());
  const double cell = Screen().width() / 80.0;
  EXPECT_GE(lines.front().bottom - lines.front().top + 1, 0.8 * cell)
      << "letters far smaller than their cells";
  ASSERT_TRUE(x_.Keys({"Return"}));
  ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^Orvik demo$")) << "the popup stays";
  // The same again, then the menu by keys: a code it does not have, then item 9 answered No.
  Enter("4");
  ASSERT_NE(x_.WaitWindow(Pid(), "^Orvik demo$"), 0u) << "no popup";
  WaitUntil([] { return false; }, 300ms);
  ASSERT_TRUE(x_.Keys({"Return"}));
  ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^Orvik demo$")) << "the popup stays";
  Enter("77");
  ASSERT_TRUE(WaitChoices("4,4,77")) << Choices();
  Enter("9");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("n"));
  ASSERT_TRUE(WaitChoices("4,4,77,9")) << Choices();
  EXPECT_EQ(MenuItems().size(), kMenuItems);
  EXPECT_TRUE(OnlyTheForm());
  Enter("9");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("y"));
  ASSERT_TRUE(WaitChoices("4,4,77,9,9")) << Choices();
  EXPECT_TRUE(WaitUntil([&] { return MenuItems().empty(); })) << "the menu stays";
  ASSERT_NO_FATAL_FAILURE(LogOffAtTheTerminal());
}

// A customer's form edited, a value refused, then another customer picked from the list by
// keys: what the engine refused and restored is not shown as taken, and the next customer's
// form starts with nothing taken.
TEST_F(ClientWindowTest, AFormThenThePickListThenAnotherForm) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  Enter("1");
  std::vector<Shade> entries;
  ASSERT_TRUE(WaitEntries({Shade::kWhite, Shade::kWhite, Shade::kWhite}, &entries))
      << ::testing::PrintToString(entries);
  ASSERT_TRUE(x_.Keys({"alt+2"}));
  Enter("Acme Two");
  const auto customer = [&](const std::string& id) {
    return Shop("SELECT A1 || '|' || A2 FROM DEMOCUST WHERE A0 = '" + id + "'");
  };
  ASSERT_TRUE(WaitUntil([&] { return customer("C100") == "Acme Two|5000"; })) << customer("C100");
  ASSERT_TRUE(WaitEntries({Shade::kWhite, Shade::kGreen, Shade::kWhite}, &entries))
      << ::testing::PrintToString(entries);
  // A credit limit that is no number: refused in a box, the old one back, not taken.
  ASSERT_TRUE(x_.Keys({"alt+3"}));
  Enter("lots");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("Return"));  // "Credit limit must be a number."
  ASSERT_TRUE(WaitUntil([&] {
    entries = Entries();
    return entries.size() == 3 && entries[2] != Shade::kWhite;
  })) << ::testing::PrintToString(entries);
  EXPECT_NE(entries[2], Shade::kGreen) << "a refused value shown as taken";
  EXPECT_EQ(customer("C100"), "Acme Two|5000");

  // Quit, the pick list by its code, C200 typed into its text box: his form, nothing taken.
  ASSERT_TRUE(x_.Keys({"Escape"}));
  ASSERT_TRUE(WaitUntil([&] { return MenuItems().size() == kMenuItems; })) << "no menu";
  Enter("5");
  ASSERT_NE(x_.WaitWindow(Pid(), "^Customers$"), 0u) << "no pick list";
  WaitUntil([] { return false; }, 300ms);  // drawn
  Enter("C200");
  ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^Customers$")) << "the pick list stays";
  ASSERT_TRUE(WaitEntries({Shade::kWhite, Shade::kWhite, Shade::kWhite}, &entries))
      << ::testing::PrintToString(entries);
  EXPECT_TRUE(OnlyTheForm());
  ASSERT_TRUE(x_.Keys({"alt+3"}));
  Enter("900");
  ASSERT_TRUE(WaitUntil([&] { return customer("C200") == "Bolt & Co|900"; })) << customer("C200");
  ASSERT_TRUE(WaitEntries({Shade::kWhite, Shade::kWhite, Shade::kGreen}, &entries))
      << ::testing::PrintToString(entries);
  EXPECT_EQ(customer("C100"), "Acme Two|5000");
}

}  // namespace
}  // namespace orvik::client::xtest
