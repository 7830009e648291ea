// A menu screen on the real screen form core, without a display: the recorded menu of the
// demo application and hand-made menus give the virtual control records a user sees, the
// item lines and the selection box send what the engine expects, and the program history
// behind Back and Forward moves as the navigation list says.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "corpus_file.h"
#include "menu_draw.h"
#include "shell_fixture.h"
#include "styles.h"

namespace orvik::client {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

constexpr double kW = 12000;  // the recording surface's form
constexpr double kH = 7800;

// The output of one step of the recorded engine session.
std::string RecordedOutput(const std::string& name) {
  std::ifstream file(std::filesystem::path(ORVIK_CLIENT_CORPUS_DIR) / "engine_session.txt",
                     std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  for (const CorpusStep& step : ParseCorpus(text.str())) {
    if (step.name != name) continue;
    std::string out;
    for (const std::string& chunk : step.chunks) out += chunk;
    return out;
  }
  ADD_FAILURE() << "no recorded step " << name;
  return {};
}

std::string Menu(const std::string& program, const std::string& rows) {
  return "<FORM TYPE=MENU><PROGRAM NAME=" + program + ">" + rows + "</TX>";
}

class MenuScreenTest : public ShellFixture {
 protected:
  void SetUp() override {
    settings.eos = "\r";
    StartToFirstForm();
    link.sent.clear();
  }
  const MenuControls& M() { return Top().Controls().menu; }
  const ControlRecord& Item(int i) { return *M().Item(i); }
  std::vector<std::string> Captions() {
    std::vector<std::string> out;
    for (int i = 1; i <= Top().MenuCounts().menuLabelCount; ++i) out.push_back(Item(i).caption);
    return out;
  }
  // A menu answered as the engine answers a request: the wait ends with it.
  void Show(const std::string& transmission) {
    Engine(transmission);
    ASSERT_FALSE(shell.AwaitingReply());
  }
  MenuInput& Input() { return Top().Menu(); }
};

// A menu that a sub-form covered comes back as it was: no data-entry button row of its own.
TEST_F(MenuScreenTest, AMenuUncoveredByASubformShowsNoButtonRow) {
  Show(Menu("M", "<C ACTION=1>One<ALT_SELECT>Choice"));
  Engine("<SUBFORM><FORM TYPE=FUNCTION><PROGRAM NAME=S><POSITION TOP=3 LEFT=2>Sub</TX>");
  ASSERT_EQ(shell.FormCount(), 2);
  Engine("</SUBFORM></TX>");
  ASSERT_EQ(shell.FormCount(), 1);
  const FormControls& c = Top().Controls();
  for (const ControlRecord* button :
       {&c.fnExit, &c.fnQuit, &c.fnFile, &c.fnScreenPrint, &c.fnSearch}) {
    EXPECT_FALSE(button->visible) << button->caption;
  }
  EXPECT_TRUE(M().altSelect.visible);
}

TEST_F(MenuScreenTest, TheDemoMenuAsRecordedBecomesItsControlRecords) {
  const std::string recorded = RecordedOutput("DEMO: the menu");
  Show(recorded.substr(recorded.find("<FORM")));
  const ScreenModel& m = Top().Model();
  EXPECT_EQ(m.states.msFormState, "MENU");
  EXPECT_EQ(m.states.msState, "FORM_ACTIVE");
  EXPECT_EQ(m.layout.msProgramPrevious, "DEMO");

  // The header line.
  const auto& header = Top().Controls().formHeader;
  EXPECT_EQ(header[0].caption, "  Orvik");
  EXPECT_EQ(header[1].caption, "Demo application");
  EXPECT_EQ(header[2].caption, "DEMO  ");
  EXPECT_DOUBLE_EQ(header[0].width, kW / 5);
  EXPECT_DOUBLE_EQ(header[1].left, kW / 5);
  EXPECT_DOUBLE_EQ(header[2].left + header[2].width, kW);
  for (const ControlRecord& label : header) {
    EXPECT_TRUE(label.visible);
    EXPECT_DOUBLE_EQ(label.top, M().header.height);
  }

  // Nine items in one column, 24 % in and 55 % wide, in the style's font and colour.
  EXPECT_THAT(Captions(),
              ElementsAre("1.  Customer details", "2.  Order lines", "3.  Message boxes",
                          "4.  Popup", "5.  Find a customer", "6.  Products (INTEG grid)",
                          "7.  Update a customer", "8.  Customer notes (sub-form)",
                          "9.  Leave the demo"));
  double lastTop = 0;
  for (int i = 1; i <= 9; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(Item(i).visible);
    EXPECT_DOUBLE_EQ(Item(i).left, kW * 0.24);
    EXPECT_DOUBLE_EQ(Item(i).width, kW * 0.55);
    EXPECT_GT(Item(i).top, lastTop);
    lastTop = Item(i).top;
    EXPECT_EQ(Item(i).font.name, "Arial");
    EXPECT_EQ(Item(i).font.size, 12);
    EXPECT_TRUE(Item(i).font.bold);
    EXPECT_EQ(Item(i).foreColour, Rgb(0, 0, 128));
    EXPECT_FALSE(Item(i).opaque);
  }
  // Short menu: spaced by 0.3 of a cell, one line (12 pt x 20) each.
  EXPECT_DOUBLE_EQ(Item(2).top - Item(1).top, 240 + 0.3 * 300);
  EXPECT_EQ(Item(1).tag, "5");  // the EntrySpec row of "1"
  EXPECT_FALSE(Item(10).visible);

  // The narrative line, three cells under the header panel, twenty in.
  ASSERT_GE(M().narratives.size(), 1u);
  const ControlRecord& narrative = M().narratives[0];
  EXPECT_EQ(narrative.caption, "Main menu");
  EXPECT_TRUE(narrative.visible);
  EXPECT_DOUBLE_EQ(narrative.top, M().header.height + 3 * 300);
  EXPECT_DOUBLE_EQ(narrative.left, 20 * 150);
  EXPECT_DOUBLE_EQ(narrative.width, 20 * 150);  // no WIDTH: twenty cells
  EXPECT_EQ(Top().MenuCounts().et3LabelCount, 1);

  // The selection panel waits for a choice.
  EXPECT_EQ(M().altLabel.caption, "Your choice");
  EXPECT_TRUE(M().altSelect.visible);
  EXPECT_EQ(M().altSelect.caption, "");
  EXPECT_TRUE(M().altOk.enabled && M().altOk.isDefault);
  EXPECT_TRUE(M().altCancel.enabled && M().altCancel.isCancel);
  EXPECT_TRUE(M().header.visible);
  EXPECT_EQ(M().header.backColour, Rgb(192, 0, 192));
  EXPECT_FALSE(Top().Controls().fnExit.visible);
  EXPECT_FALSE(m.grid.visible);

  // The navigation list and the start of the history.
  EXPECT_EQ(M().navigate.caption, "DEMO, Demo application");
  EXPECT_THAT(M().navigate.list, ElementsAre("DEMO, Demo application"));
  EXPECT_EQ(Top().History().StartEntry(), "DEMO, Demo application");
  EXPECT_FALSE(M().back.enabled);
  EXPECT_FALSE(Top().MenuCounts().suppressNavigateClick);
  EXPECT_THAT(TopParts().window.calls, Contains("focus selection"));
}

// The menu's heading above its items (a narrative line) covers none of them, short menu or
// long: an item that would meet it goes below it, and the ones after it follow in order.
TEST_F(MenuScreenTest, NoItemIsDrawnUnderANarrativeLine) {
  const std::string recorded = RecordedOutput("DEMO: the menu");
  std::string longMenu = "<L TOP=3 LEFT=20>Main menu";
  for (int i = 1; i <= 38; ++i) longMenu += "<C ACTION=" + std::to_string(i) + ">Item";
  for (const std::string& menu : {recorded.substr(recorded.find("<FORM")), Menu("P", longMenu)}) {
    Show(menu);
    ASSERT_GE(M().narratives.size(), 1u);
    const ControlRecord& heading = M().narratives[0];
    ASSERT_EQ(heading.caption, "Main menu");
    const int items = Top().MenuCounts().menuLabelCount;
    ASSERT_GE(items, 9);
    double lastTop = 0;
    for (int i = 1; i <= items; ++i) {
      SCOPED_TRACE(i);
      const ControlRecord& item = Item(i);
      const bool across = heading.left < item.left + item.width &&
                          item.left < heading.left + heading.width;
      const bool down =
          heading.top < item.top + item.height && item.top < heading.top + heading.height;
      EXPECT_FALSE(across && down) << item.caption << " under the heading";
      EXPECT_GT(item.top, lastTop);
      lastTop = item.top;
    }
    EXPECT_GT(Item(1).top, heading.top) << "the items start below their heading";
  }
}

TEST_F(MenuScreenTest, ColumnsHeadingsAndTheSecondCodes) {
  Show(Menu("M1",
            "<H>Sales<C ACTION=1 PROGRAM=S1>Orders<C ACTION=2>Invoices<H>Stock"
            "<COLUMN><H>Admin<C ACTION=3>Users<COLUMN><C ACTION=4>Logs"));
  // Three columns: column c at (c - 1) W / 3 + W / 30, 0.9 W / 3 wide.
  const double share = kW / 3;
  EXPECT_DOUBLE_EQ(Item(1).left, share * 0.1);
  EXPECT_DOUBLE_EQ(Item(5).left, share + share * 0.1);
  EXPECT_DOUBLE_EQ(Item(7).left, 2 * share + share * 0.1);
  EXPECT_DOUBLE_EQ(Item(7).width, share * 0.9);
  // A heading at the top of its column gets no empty line, one after items does.
  EXPECT_DOUBLE_EQ(Item(5).top, Item(1).top);
  const double spacing = 0.3 * 300;
  EXPECT_DOUBLE_EQ(Item(4).top, Item(3).top + 240 + spacing + 300);
  EXPECT_EQ(Item(1).foreColour, Rgb(192, 0, 192));  // headings in the panel's colour
  EXPECT_THAT(Captions(), ElementsAre("Sales", "1.  Orders", "2.  Invoices", "Stock", "Admin",
                                      "3.  Users", "4.  Logs"));

  Input().ShowCodesClicked(1);
  EXPECT_THAT(Captions(), ElementsAre("Sales", "1.  S1. Orders", "2.  . Invoices", "Stock", "Admin",
                                      "3.  . Users", "4.  . Logs"));
  // "sa" typed into the selection box switches them off again, sending nothing.
  Input().AltSelectEdited(" SA ");
  Input().AltOk();
  EXPECT_EQ(M().showCodes.value, 0);
  EXPECT_EQ(Item(2).caption, "1.  Orders");
  EXPECT_TRUE(link.sent.empty());

  // Two columns: 5 % and 55 %, both 42 % wide.
  Show(Menu("M2", "<C ACTION=1>One<COLUMN><C ACTION=2>Two"));
  EXPECT_DOUBLE_EQ(Item(1).left, kW * 0.05);
  EXPECT_DOUBLE_EQ(Item(2).left, kW * 0.05 + kW / 2);
  EXPECT_DOUBLE_EQ(Item(2).width, kW * 0.42);
}

TEST_F(MenuScreenTest, AFourthColumnIsMeasuredAndDrawnWithoutAFailure) {
  Show(Menu("M4",
            "<C ACTION=1>a<COLUMN><C ACTION=2>b<COLUMN><C ACTION=3>c<COLUMN>"
            "<C ACTION=4>d<C ACTION=5>e"));
  EXPECT_TRUE(dialogs.boxes.empty()) << dialogs.boxes[0].text;
  const double share = kW / 4;
  EXPECT_DOUBLE_EQ(Item(4).left, 3 * share + share * 0.1);
  EXPECT_GT(Item(5).top, Item(4).top);
}

TEST_F(MenuScreenTest, RowsPastTheFortiethAreNamedNotDroppedSilently) {
  settings.devMsg = true;
  std::string rows;
  for (int i = 1; i <= 44; ++i) rows += "<C ACTION=" + std::to_string(i) + ">Item";
  Show(Menu("BIG", rows));
  // Rows 1 and 2 are the form and the program; items 1..38 fill rows 3..40.
  EXPECT_EQ(Top().MenuCounts().menuLabelCount, 38);
  EXPECT_TRUE(Item(38).visible);
  EXPECT_FALSE(Item(39).visible);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_NE(dialogs.boxes[0].text.find("6 item lines past the 40"), std::string::npos)
      << dialogs.boxes[0].text;
}

TEST_F(MenuScreenTest, PromptStyleAndAMissingStyle) {
  Show(
      "<FORM TYPE=MENU STYLE=nosuch><PROGRAM NAME=P><C ACTION=1>x"
      "<ALT_SELECT>PLEASE Enter a number</TX>");
  EXPECT_EQ(M().altLabel.caption, kStandardAltSelectPrompt);
  EXPECT_EQ(Item(1).font.name, "Arial");  // mdefault
  Show("<FORM TYPE=MENU STYLE=msgrey><PROGRAM NAME=Q><C ACTION=1>x<ALT_SELECT></TX>");
  EXPECT_EQ(M().altLabel.caption, "");
  EXPECT_EQ(Item(1).font.name, "MS Sans Serif");
}

TEST_F(MenuScreenTest, NarrativesWrapAndPicturesStayInTheHome) {
  StyleFields f = SplitStyleRecord(*shell.Context().styles.Find("mdefault"));
  f[6] = "pics/menu.gif";
  shell.Context().styles.Set("pictured", JoinStyleRecord(f));
  f[6] = "../../etc/secret.png";
  shell.Context().styles.Set("outside", JoinStyleRecord(f));
  f[6] = "/etc/secret.png";
  shell.Context().styles.Set("absolute", JoinStyleRecord(f));
  TopParts().window.calls.clear();
  // Five cells wide: "aa bb" fits (five characters of 9.6 points), "cc" wraps.
  Show("<FORM TYPE=MENU STYLE=pictured><PROGRAM NAME=P><L TOP=1 LEFT=2 WIDTH=5>aa bb cc</TX>");
  EXPECT_DOUBLE_EQ(M().narratives[0].height, 2 * 9.6 * 20);
  EXPECT_THAT(TopParts().window.calls,
              Contains("form picture /nonexistent-orvik-home/pics/menu.gif"));
  for (const char* style : {"outside", "absolute"}) {
    TopParts().window.calls.clear();
    Show(std::string("<FORM TYPE=MENU STYLE=") + style + "><PROGRAM NAME=P><C ACTION=1>x</TX>");
    for (const std::string& call : TopParts().window.calls)
      EXPECT_FALSE(call.starts_with("form picture")) << call;
    EXPECT_EQ(Top().Controls().picture, "");
  }
  // The narrative's label is also the description beside a code-and-description entry, which
  // sizes itself to its text: a menu after such a form still wraps its narrative.
  Show("<FORM TYPE=FUNCTION SCREEN=FULL><PROGRAM NAME=F><POSITION TOP=4 LEFT=20 ACTION=5>"
       "<TEXTBOX WIDTH=10>C100\\Acme Limited<ACTIONCODE></TX>");
  ASSERT_EQ(M().narratives[0].caption, " Acme Limited ");
  Show("<FORM TYPE=MENU STYLE=mdefault><PROGRAM NAME=P><L TOP=1 LEFT=2 WIDTH=5>aa bb cc</TX>");
  EXPECT_DOUBLE_EQ(M().narratives[0].height, 2 * 9.6 * 20);
  EXPECT_DOUBLE_EQ(M().narratives[0].width, 5 * shell.Context().cellWidth);
}

TEST_F(MenuScreenTest, ClickingAnItemSendsItsCodeAndWaits) {
  Show(Menu("DEMO", "<H>Head<C ACTION=1>One<C ACTION=2>Two"));
  host.busy = false;
  Input().ItemClick(1);  // the heading
  EXPECT_TRUE(link.sent.empty());
  EXPECT_FALSE(host.busy);
  Input().AltSelectEdited("7");
  Input().ItemClick(3);
  EXPECT_THAT(link.sent, ElementsAre("2\r"));
  EXPECT_TRUE(shell.AwaitingReply());
  EXPECT_TRUE(host.busy);
  EXPECT_EQ(M().altSelect.caption, "");
  // A second click before the answer is not taken as the next screen's input.
  Input().ItemClick(2);
  EXPECT_THAT(link.sent, ElementsAre("2\r"));
  // Labels that are no item, and labels past the loaded ones, are no choice.
  shell.SetAwaitingReply(false);
  Input().ItemClick(40);
  Input().ItemClick(-3);
  Input().ItemClick(9999);
  EXPECT_THAT(link.sent, ElementsAre("2\r"));
}

// A window over the menu (a popup, a box) takes the activation; when the menu's window has
// it again, the keys go to the selection box, whichever item the mouse last picked.
TEST_F(MenuScreenTest, BackFromAnotherWindowTheSelectionBoxTakesTheKeys) {
  Show(Menu("DEMO", "<C ACTION=1>One<C ACTION=2>Two<C ACTION=4>Popup"));
  Top().Activate();
  Input().ItemHover(3);
  Input().ItemClick(3);
  Top().Deactivate();
  Engine("<FORM TYPE=MENU><PROGRAM NAME=DEMO><C ACTION=1>One</TX>");
  TopParts().window.calls.clear();
  Top().Activate();
  EXPECT_THAT(TopParts().window.calls, Contains("focus selection"));
  for (const std::string& call : TopParts().window.calls)
    EXPECT_EQ(call.rfind("focus ", 0) == 0 && call != "focus selection", false) << call;
}

TEST_F(MenuScreenTest, TheHighlightFollowsTheMouseAndTab) {
  Show(Menu("DEMO", "<H>Head<C ACTION=1>One<C ACTION=2>Two<C ACTION=3>Three"));
  Input().ItemHover(2);
  Input().ItemHover(3);
  Input().ItemHover(1);  // a heading takes no highlight
  int lit = 0;
  for (int i = 1; i <= 4; ++i) lit += Item(i).opaque ? 1 : 0;
  EXPECT_EQ(lit, 1);
  EXPECT_TRUE(Item(3).opaque);
  EXPECT_EQ(Item(3).backColour, Rgb(255, 0, 255));  // the style's highlighter
  EXPECT_EQ(Top().Focus().focusEntry, 3);

  // Tab moves on to the next choice and puts its code, selected, into the box.
  EXPECT_TRUE(Top().KeyDown(kKeyTab, 0));
  EXPECT_TRUE(Item(4).opaque);
  EXPECT_EQ(M().altSelect.caption, "3");
  EXPECT_THAT(TopParts().window.calls, Contains("focus selection, selected"));
  // Past the last it wraps round, over the heading.
  Top().KeyDown(kKeyTab, 0);
  EXPECT_EQ(Top().Focus().focusEntry, 2);
  Top().KeyDown(kKeyTab, 1);
  EXPECT_EQ(Top().Focus().focusEntry, 4);
  // The mouse taking over drops the code Tab put there.
  Input().ItemHover(2);
  EXPECT_EQ(M().altSelect.caption, "");
  // An empty selection is a click on the highlighted item.
  Input().AltOk();
  EXPECT_THAT(link.sent, ElementsAre("1\r"));
}

TEST_F(MenuScreenTest, TheSelectionBoxNavigationListAndLogOff) {
  Show(Menu("DEMO", "<C ACTION=1>One"));
  Input().AltSelectEdited("  42 ");
  Input().AltOk();
  EXPECT_THAT(link.sent, ElementsAre("42\r"));
  EXPECT_EQ(M().altSelect.caption, "");
  Input().AltOk();  // busy: ignored
  EXPECT_EQ(link.sent.size(), 1u);

  shell.SetAwaitingReply(false);
  Input().NavigateChosen("12,Orders");
  shell.SetAwaitingReply(false);
  Input().NavigateChosen("m5,Main");
  shell.SetAwaitingReply(false);
  Input().NavigateChosen("plain");
  EXPECT_THAT(link.sent, ElementsAre("42\r", "do 12\r", "m5\r", "do plain\r"));

  // Log-off: the request, then a second press cancels the wait and sends nothing.
  link.sent.clear();
  shell.SetAwaitingReply(false);
  settings.appOff = "LO";
  Input().AltCancel();
  EXPECT_THAT(link.sent, ElementsAre("LO\r"));
  EXPECT_EQ(Top().Model().states.msState, "APPOFF_REQUESTED");
  Input().AltCancel();
  EXPECT_FALSE(shell.AwaitingReply());
  EXPECT_FALSE(host.busy);
  EXPECT_EQ(link.sent.size(), 1u);

  // Exit and quit: sent as they are; pressed while busy they cancel the wait.
  link.sent.clear();
  settings.exitCommand = "X";
  settings.quitCommand = "Q";
  Input().FnExit();
  shell.SetAwaitingReply(true);
  Input().FnQuit();
  EXPECT_FALSE(shell.AwaitingReply());
  Input().FnQuit();
  EXPECT_THAT(link.sent, ElementsAre("X\r", "Q\r"));
}

TEST_F(MenuScreenTest, TheHistoryBehindBackAndForward) {
  Show(Menu("M1", "<FORMHEADER>a,First menu M1,b<C ACTION=1>x"));
  EXPECT_EQ(M().navigate.caption, "M1, First menu ");  // the code taken out of the title
  Show(Menu("M2", "<FORMHEADER>a,Second,b<C ACTION=1>x"));
  Show(Menu("M3", "<FORMHEADER>a,Third,b<C ACTION=1>x"));
  const ProgramHistory& h = Top().History();
  EXPECT_EQ(h.At(0), "M3, Third");
  EXPECT_EQ(h.At(1), "M2, Second");
  EXPECT_EQ(h.At(2), "M1, First menu ");
  EXPECT_TRUE(M().back.enabled);
  EXPECT_FALSE(M().forward.enabled);
  // The same menu again changes neither the list nor the history.
  Show(Menu("M3", "<FORMHEADER>a,Third,b<C ACTION=1>x"));
  EXPECT_EQ(M().navigate.list.size(), 3u);
  EXPECT_EQ(h.At(1), "M2, Second");

  Input().Back();
  EXPECT_THAT(link.sent, ElementsAre("M2\r"));
  EXPECT_EQ(h.At(0), "M2, Second");
  EXPECT_EQ(h.At(-1), "M3, Third");
  EXPECT_TRUE(M().forward.enabled);
  // Back again before the answer would step the history for a screen that never came.
  Input().Back();
  Input().Forward();
  Input().AltStart();
  EXPECT_EQ(link.sent.size(), 1u);
  EXPECT_EQ(h.At(0), "M2, Second");
  Show(Menu("M2", "<FORMHEADER>a,Second,b<C ACTION=1>x"));
  EXPECT_FALSE(h.Stepping());
  EXPECT_EQ(h.At(0), "M2, Second");

  Input().Forward();
  EXPECT_EQ(link.sent.back(), "M3\r");
  EXPECT_EQ(h.At(0), "M3, Third");
  EXPECT_EQ(h.At(-1), "");
  Show(Menu("M3", "<FORMHEADER>a,Third,b<C ACTION=1>x"));
  Input().Forward();  // nothing ahead: only disables itself
  EXPECT_FALSE(M().forward.enabled);
  EXPECT_EQ(link.sent.size(), 2u);

  // A new menu after steps goes on top and clears what lay ahead.
  Input().Back();
  Show(Menu("M2", "<FORMHEADER>a,Second,b<C ACTION=1>x"));
  Show(Menu("M9", "<FORMHEADER>a,Ninth,b<C ACTION=1>x"));
  EXPECT_EQ(h.At(0), "M9, Ninth");
  EXPECT_EQ(h.At(1), "M2, Second");
  EXPECT_EQ(h.At(-1), "");
  EXPECT_FALSE(M().forward.enabled);

  Input().AltStart();
  EXPECT_EQ(link.sent.back(), "M1\r");
  EXPECT_EQ(M().altSelect.caption, "M1");
}

TEST_F(MenuScreenTest, TheNavigationListKeepsNineAndTheDrawsOwnChangeSendsNothing) {
  for (int i = 1; i <= 11; ++i) {
    const std::string n = std::to_string(i);
    Show(Menu("P" + n, "<FORMHEADER>a,T" + n + ",b<C ACTION=1>x"));
  }
  EXPECT_EQ(M().navigate.list.size(), 9u);
  EXPECT_EQ(M().navigate.list.front(), "P11, T11");
  EXPECT_EQ(Top().History().At(10), "P1, T1");
  // A pick from the list goes there by its code.
  Top().Menu().NavigateChosen("P3, T3");
  EXPECT_EQ(link.sent.back(), "do P3\r");
}

}  // namespace
}  // namespace orvik::client
