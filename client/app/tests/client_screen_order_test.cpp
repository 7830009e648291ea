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
  ASSERT_NO_FATAL_FAILURE(OpenCustomerForm());
  std::vector<Shade> entries;
  ASSERT_TRUE(x_.Keys({"alt+2"}));
  Enter("Acme Two");
  ASSERT_TRUE(WaitUntil([&] { return Customer("C100") == "Acme Two|5000"; })) << Customer("C100");
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
  EXPECT_EQ(Customer("C100"), "Acme Two|5000");

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
  ASSERT_TRUE(WaitUntil([&] { return Customer("C200") == "Bolt & Co|900"; })) << Customer("C200");
  ASSERT_TRUE(WaitEntries({Shade::kWhite, Shade::kWhite, Shade::kGreen}, &entries))
      << ::testing::PrintToString(entries);
  EXPECT_EQ(Customer("C100"), "Acme Two|5000");
}

// Screens after the window was taken out of its maximised state and sized by the window
// manager: the menu (which keeps the user's size) takes its pick by keys, a nomination screen
// its number typed at once, a sub-form sized by the window manager its note, and nothing of a
// screen before is left.
TEST_F(ClientWindowTest, ScreensAfterAResizeTakeTheKeyboardWhereTheySay) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  ASSERT_NO_FATAL_FAILURE(OpenCustomerForm());
  // Restored by a double click on the title bar, then made smaller by its border.
  ASSERT_TRUE(x_.Click(form_, 300, -10, 2));
  ASSERT_TRUE(WaitUntil([&] { return x_.Geometry(form_).width < 1280; })) << "still maximised";
  ASSERT_TRUE(x_.Resize(form_, 900, 600));
  ASSERT_TRUE(WaitUntil([&] { return Screen().width() <= 900; }));
  ASSERT_TRUE(x_.Keys({"alt+2"}));
  Enter("Small Window Ltd");
  ASSERT_TRUE(WaitUntil([&] { return Customer("C100") == "Small Window Ltd|5000"; }))
      << Customer("C100");

  // Esc: the menu, in the small window, and the nomination screen by its code.
  ASSERT_TRUE(x_.Keys({"Escape"}));
  ASSERT_TRUE(WaitUntil([&] { return !MenuItems().empty(); })) << "no menu";
  EXPECT_LE(x_.Geometry(form_).width, 900) << "the menu took the user's size away";
  Enter("7");
  ASSERT_TRUE(WaitChoices("1,7")) << Choices();
  std::vector<Shade> entries;
  ASSERT_TRUE(WaitEntries({Shade::kWhite}, &entries)) << ::testing::PrintToString(entries);
  EXPECT_TRUE(OnlyTheForm());
  Enter("C200");
  const auto nominated = [&] { return Shop("SELECT A1 FROM DEMOLOG WHERE A0 = 'NOMINATED'"); };
  ASSERT_TRUE(WaitUntil([&] { return nominated() == "C200"; })) << nominated();
  ASSERT_TRUE(x_.Keys({"alt+3"}));
  Enter("4321");
  ASSERT_TRUE(WaitUntil([&] { return Customer("C200") == "Bolt & Co|4321"; })) << Customer("C200");

  // Maximised again, then the sub-form, which the window manager sizes; its Quit gives the
  // menu back.
  ASSERT_TRUE(x_.Keys({"Escape"}));
  ASSERT_TRUE(WaitUntil([&] { return !MenuItems().empty(); })) << "no menu";
  if (x_.Geometry(form_).width < 1280) {
    ASSERT_TRUE(x_.Click(form_, 300, -10, 2));
  }
  ASSERT_TRUE(WaitUntil([&] { return MenuItems().size() == kMenuItems; })) << "not maximised";
  Enter("8");
  const WindowId sub = x_.WaitWindow(Pid(), "^SubForm$");
  ASSERT_NE(sub, 0u) << "no sub-form";
  ASSERT_TRUE(x_.Click(sub, 300, -10, 2));
  ASSERT_TRUE(x_.Resize(sub, 1000, 700));
  WaitUntil([] { return false; }, 500ms);  // drawn
  ASSERT_TRUE(x_.Keys({"alt+1"}));
  Enter("Resized and kept");
  const auto notes = [&] { return Shop("SELECT A1 FROM DEMONOTE WHERE A0 = 'C100'"); };
  ASSERT_TRUE(WaitUntil([&] { return notes() == "Resized and kept"; })) << notes();
  ASSERT_TRUE(x_.Keys({"alt+q"}));
  ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^SubForm$")) << "the sub-form stays";
  EXPECT_TRUE(OnlyTheForm());
  ASSERT_TRUE(WaitUntil([&] { return MenuItems().size() == kMenuItems; })) << "no menu";
  Enter("4");
  ASSERT_NE(x_.WaitWindow(Pid(), "^Orvik demo$"), 0u) << "no popup";
  ASSERT_TRUE(x_.Keys({"Return"}));
  ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^Orvik demo$")) << "the popup stays";
  Enter("9");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("y"));
  EXPECT_TRUE(WaitChoices("1,7,8,4,9")) << Choices();
  ASSERT_TRUE(WaitUntil([&] { return TerminalOnly(StillScreen(), 2); }))
      << "the menu's remains over the terminal";
  ASSERT_NO_FATAL_FAILURE(LogOffAtTheTerminal());
}

}  // namespace
}  // namespace orvik::client::xtest
