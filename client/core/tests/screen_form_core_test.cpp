// A screen form's own life: what loading sets up, the focus given back at activation, the
// option menu and what it copies from the grid.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "grid_clipboard.h"
#include "shell_fixture.h"

namespace orvik::client {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

class ScreenFormCoreTest : public ShellFixture {
 protected:
  void SetUp() override { StartToFirstForm(); }
};

TEST_F(ScreenFormCoreTest, LoadingTheFirstScreen) {
  FakeScreenWindow& window = host.forms[0]->window;
  shell.remoteHost = "ignored";  // taken at load, not later
  EXPECT_EQ(window.caption, "Connected to /nonexistent-orvik-home") << "the engine home";
  EXPECT_THAT(window.calls, Contains("maximized"));
  EXPECT_THAT(window.calls, Contains("picture /nonexistent-orvik-home/functionbg.gif"));
  EXPECT_TRUE(window.shown);
  EXPECT_FALSE(Top().IsSubform());
  EXPECT_TRUE(shell.Styles().Exists("mdefault"));
  EXPECT_TRUE(shell.Styles().Exists("fdefault"));
  EXPECT_TRUE(shell.Styles().Exists("msgrey"));
  EXPECT_EQ(Top().Model().grid.tag, "-1");
  EXPECT_EQ(Top().Model().grid.font.size, 10);  // CellWidth / 15
}

// A sub-form starts as a terminal, as the first form does: terminal text sent to it is drawn
// there, and what is typed on it goes to the program.
TEST_F(ScreenFormCoreTest, ASubformIsCaptionedSoAndStartsAsATerminal) {
  shell.remoteHost = "db.example";
  shell.remotePort = 23;
  Engine("<SUBFORM>Notes");
  ASSERT_EQ(shell.FormCount(), 2);
  EXPECT_THAT(host.forms[1]->window.calls,
              ::testing::IsSupersetOf({"caption Connected to db.example:23", "caption SubForm",
                                       "show", "focus form"}));
  EXPECT_TRUE(Top().IsSubform());
  EXPECT_EQ(Top().Model().states.msState, "TERMINAL");
  EXPECT_EQ(Top().Raster().RowText(0), "Notes");
  link.sent.clear();
  Top().KeyPress('w');
  EXPECT_EQ(link.sent, std::vector<std::string>{"w"});
}

TEST_F(ScreenFormCoreTest, ActivationGivesTheFocusBackOnceWithoutSending) {
  ScreenFormCore& form = Top();
  FakeScreenWindow& window = TopParts().window;
  window.calls.clear();
  form.Activate();  // the first activation sets no focus
  EXPECT_THAT(window.calls, ::testing::Not(Contains(::testing::StartsWith("focus"))));
  form.Deactivate();
  EXPECT_FALSE(form.FormActive());
  link.sent.clear();
  form.Activate();
  EXPECT_THAT(window.calls, Contains("focus 0"));
  EXPECT_TRUE(form.FormActive());
  EXPECT_TRUE(link.sent.empty());
  window.calls.clear();
  form.Activate();  // forgotten once given back
  EXPECT_TRUE(window.calls.empty());
}

TEST_F(ScreenFormCoreTest, TheOptionMenuFollowsAndSwitchesTheSettings) {
  ScreenFormCore& form = Top();
  OptionMenuState state = form.OptionMenu();
  EXPECT_TRUE(state.monitorChecked);
  EXPECT_TRUE(state.monitorViewEnabled);
  EXPECT_TRUE(state.devMsgChecked);
  form.OptionMonitorActivate();
  form.OptionDevMsg();
  state = form.OptionMenu();
  EXPECT_FALSE(settings.monitor);
  EXPECT_FALSE(state.monitorChecked);
  EXPECT_FALSE(state.monitorViewEnabled);
  EXPECT_FALSE(state.devMsgChecked);
  form.OptionMonitorActivate();
  EXPECT_TRUE(form.OptionMenu().monitorViewEnabled);
  form.OptionMonitorView();
  EXPECT_EQ(host.monitorShown, 1);
  form.OptionAbout();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_THAT(dialogs.boxes[0].text, ::testing::HasSubstr("VERSION   = 1.30.4"));
}

class GridClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    grid.SetRows(4);
    grid.SetCols(4);
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c)
        grid.SetTextMatrix(r, c, std::string(1, static_cast<char>('a' + r)) + std::to_string(c));
  }
  GridModel grid;
};

TEST_F(GridClipboardTest, AReadOnlyGridGivesTheSelection) {
  grid.SetRow(2);
  grid.SetCol(2);
  grid.SetRowSel(2);
  grid.SetColSel(1);
  EXPECT_EQ(GridClipboardText(grid, "READONLY"), "c1\tc2");
  // A selection from the first data row brings the heading row.
  grid.SetRow(1);
  grid.SetCol(1);
  grid.SetRowSel(2);
  grid.SetColSel(1);
  EXPECT_EQ(GridClipboardText(grid, "READONLY"), "a1\r\nb1\r\nc1");
}

TEST_F(GridClipboardTest, OtherGridsGiveEverythingButColumnZero) {
  EXPECT_EQ(GridClipboardText(grid, "GUIPLUS"),
            "a1\ta2\ta3\r\nb1\tb2\tb3\r\nc1\tc2\tc3\r\nd1\td2\td3");
}

}  // namespace
}  // namespace orvik::client
