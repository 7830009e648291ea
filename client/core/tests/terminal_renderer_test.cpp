// The character terminal on a recording surface: what lands in which cell, in which
// colours, and what the surface was asked to draw.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "colours.h"
#include "shell_fixture.h"
#include "terminal_charset.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class TerminalTest : public ShellFixture {
 protected:
  void SetUp() override {
    StartToFirstForm();
    link.sent.clear();
    Surface().Take();
  }
  RecordingSurface& Surface() { return TopParts().surface; }
  std::string Row(int row) { return Raster().RowText(row); }
  double CursorColumn() { return Top().Terminal().CursorX() / kCharWidth; }
  double CursorRow() { return Top().Terminal().CursorY() / kCharHeight; }
};

TEST_F(TerminalTest, StagedFirstTransmissionEntersTerminalModeAndClears) {
  // Done by SetUp through the dispatcher: the first screen form is a cleared terminal.
  EXPECT_EQ(Top().Model().states.msFormState, "UPDATE");
  EXPECT_EQ(Top().Model().layout.mCX, kCharWidth);
  EXPECT_EQ(Top().Model().layout.mCY, kCharHeight);
  EXPECT_EQ(Top().Model().layout.font.size, 12);
  EXPECT_TRUE(TopParts().surface.cursor.visible);
  EXPECT_EQ(TopParts().surface.cursor.height, 300);  // CellHeight
}

TEST_F(TerminalTest, OnAWideScreenTheFontIsMadeSmallerUntilTheLinesFit) {
  // 360 twips wide would make 30 points, 600 twips a line: more than a cell of 400.
  ClientShell wide{settings, *fns, dialogs, monitor, pump, link, host, 360, 400};
  RecordingSurface surface(80 * 360, 26 * 400);
  FakeScreenWindow window;
  ScreenFormCore core(window, surface, wide);
  core.Load();
  EXPECT_EQ(core.Model().layout.font.size, 20);
  EXPECT_EQ(core.Model().layout.mCY, 400);
  EXPECT_EQ(core.Model().layout.mCX, 240);
}

// A font whose characters come out a little wider than its size says (Liberation Mono's do,
// at the sizes a 1280 pixel screen asks for) is made smaller until the 80th column fits.
TEST_F(TerminalTest, TheEightiethColumnFitsTheForm) {
  struct WideGlyphs : RecordingSurface {
    CharMetrics Measure(const FormFont& font) const override {
      return {font.size * 12.6, font.size * 20};
    }
  };
  WideGlyphs surface;  // 12000 twips: 80 columns of 150
  FakeScreenWindow window;
  ScreenFormCore core(window, surface, shell);
  core.Load();
  const ScreenModel& m = core.Model();
  EXPECT_LE(80 * m.layout.mCX, surface.ScaleWidth());
  EXPECT_GE(80 * m.layout.mCX, surface.ScaleWidth() * 0.95) << "no smaller than it must be";
  EXPECT_EQ(m.layout.font.size, 11.5);
}

TEST_F(TerminalTest, AtfWithoutTheCommaSeparatorIsOneWordAndSkipped) {
  settings.positionSeparator = ' ';
  settings.tagSeparator = ' ';
  Draw("abc");
  Draw("<ATF,@=-1>");
  EXPECT_EQ(Row(0), "abc");
  settings.positionSeparator = ',';
  Draw("<ATF,@=-1>");
  EXPECT_EQ(Row(0), "");
}

TEST_F(TerminalTest, PositionsHomeAndClearKeepingThePrintPosition) {
  Draw("<POSITION TOP=3 LEFT=10>hello");
  EXPECT_EQ(Row(3), "          hello");
  EXPECT_EQ(CursorColumn(), 15);
  EXPECT_EQ(CursorRow(), 3);
  // The clear keeps the print position; the text goes on where it was.
  Draw("<ATF @=-1>X");
  EXPECT_EQ(Row(3), std::string(15, ' ') + "X");
  Draw("<ATF @=-2>Y");
  EXPECT_EQ(Row(0), "Y");
  // A single letter in front of a tag is printed, then the tag acts.
  Draw("Z<POSITION TOP=5 LEFT=0>W");
  EXPECT_EQ(Row(0), "YZ");
  EXPECT_EQ(Row(5), "W");
}

TEST_F(TerminalTest, ALineEndingInCrPaintsItsCellsAndStartsTheNextLine) {
  Draw("<ATF @=-37><POSITION TOP=2 LEFT=4>abc\r");
  EXPECT_THAT(Surface().Take(), ElementsAre("fill 576,480-1008,720 #FFFF00",  // 3 cells, cyan
                                            "text 576,480 'abc' #000000 12pt bold"));
  EXPECT_EQ(CursorColumn(), 0);
  EXPECT_EQ(CursorRow(), 3);
  EXPECT_EQ(Raster().At(2, 4).back, Rgb(0, 255, 255));
  EXPECT_EQ(Raster().At(2, 7).back, Rgb(255, 255, 255));
}

TEST_F(TerminalTest, ThirtyLinesScrollTheScreenUpByFive) {
  std::string block;
  for (int i = 0; i < 30; ++i) block += "line" + std::to_string(i) + (i < 29 ? "\r" : "");
  Draw(block);
  EXPECT_THAT(Surface().Take(), Contains("scroll 1200 #FFFFFF"));  // 5 lines of 240
  EXPECT_EQ(Row(0), "line5");
  EXPECT_EQ(Row(24), "line29");
  EXPECT_EQ(CursorRow(), 24);
  // Three lines from line 0 need no scrolling.
  Draw("<ATF @=-1><ATF @=-2>a\rb\rc");
  EXPECT_THAT(Surface().Take(), ::testing::Not(Contains(HasSubstr("scroll"))));
  EXPECT_EQ(Row(0), "a");
  EXPECT_EQ(Row(2), "c");
}

TEST_F(TerminalTest, TextPastTheLastLineScrollsOneLine) {
  Draw("<POSITION TOP=24 LEFT=0>bottom\r");
  EXPECT_THAT(Surface().Take(), Contains("scroll 240 #FFFFFF"));
  EXPECT_EQ(Row(23), "bottom");
  EXPECT_EQ(CursorRow(), 24);
  // A lone line feed starts a line as CR does.
  Draw("x\ny");
  EXPECT_EQ(Row(22), "bottom");
  EXPECT_EQ(Row(23), "x");
  EXPECT_EQ(Row(24), "y");
}

TEST_F(TerminalTest, APositionOnTheDialogueLineErasesTheWholeLine) {
  Draw("<POSITION TOP=23 LEFT=0>old message here");
  Surface().Take();
  Draw("<POSITION TOP=23 LEFT=5>new");
  EXPECT_THAT(Surface().Take(),
              ElementsAre("fill 0,5520-12000,5760 #FFFFFF", "fill 720,5520-1152,5760 #FFFFFF",
                          "text 720,5520 'new' #000000 12pt bold"));
  EXPECT_EQ(Row(23), "     new");
}

TEST_F(TerminalTest, ActionCodePromptOnTheDialogueLineUntilTheNextTransmission) {
  Draw("<ATF @=-45><ACTIONCODE>");
  EXPECT_EQ(Row(23), " Please Enter your Action Code -->");
  EXPECT_EQ(Raster().At(23, 1).fore, QBColor(4));
  EXPECT_EQ(Raster().At(23, 1).back, QBColor(14));
  EXPECT_EQ(Top().Terminal().CellColour(), QBColor(14));
  Draw("");  // the colours from before the prompt come back
  EXPECT_EQ(Top().Terminal().CellColour(), Rgb(255, 255, 255));
  EXPECT_EQ(Top().Terminal().ForeColour(), QBColor(3));
}

TEST_F(TerminalTest, MessageOnTheDialogueLine) {
  Draw("<POSITION TOP=23 LEFT=20>junk<MSGBOX>Item locked");
  EXPECT_EQ(Row(23), "Item locked");
  EXPECT_EQ(Raster().At(23, 0).fore, QBColor(4));
  EXPECT_EQ(Raster().At(23, 0).back, QBColor(14));
}

TEST_F(TerminalTest, CellAndTextColours) {
  const auto cellBack = [&](const std::string& code) {
    Draw("<ATF @=-1><ATF @=-2><ATF @=" + code + ">x");
    return Raster().At(0, 0).back;
  };
  EXPECT_EQ(cellBack("-33"), 0);
  EXPECT_EQ(cellBack("-34"), QBColor(14));
  EXPECT_EQ(cellBack("-35"), QBColor(14));
  EXPECT_EQ(cellBack("-39"), QBColor(11));
  settings.trueColor = true;
  EXPECT_EQ(cellBack("-35"), Rgb(255, 127, 255));
  EXPECT_EQ(cellBack("-39"), Rgb(192, 192, 255));
  EXPECT_EQ(cellBack("-36"), Rgb(255, 127, 127));
  EXPECT_EQ(cellBack("-38"), Rgb(192, 255, 192));
  EXPECT_EQ(cellBack("-40"), Rgb(255, 255, 255));

  const auto fore = [&](const std::string& code) {
    Draw("<ATF @=" + code + ">");
    return Top().Terminal().ForeColour();
  };
  EXPECT_EQ(fore("-42"), QBColor(6));
  EXPECT_EQ(fore("-47"), QBColor(1));
  EXPECT_EQ(fore("-48"), Rgb(255, 255, 255));
  EXPECT_EQ(fore("-58"), QBColor(14));
  EXPECT_EQ(fore("-63"), QBColor(9));
  EXPECT_EQ(fore("-57"), 0);
  EXPECT_EQ(fore("-42.5"), 0);  // no code: nothing changes
  EXPECT_EQ(fore("-64"), Rgb(255, 255, 255));

  Draw("<ATF @=-101>");
  EXPECT_FALSE(Top().Terminal().Font().bold);
  Draw("<ATF @=-100>");
  EXPECT_TRUE(Top().Terminal().Font().bold);
}

TEST_F(TerminalTest, ClearsToTheEndOfTheLineAndOfTheScreen) {
  Draw("<POSITION TOP=1 LEFT=0>aaaaaaaaaa<POSITION TOP=2 LEFT=0>bbbbbbbbbb");
  Draw("<POSITION TOP=1 LEFT=4><ATF @=-4>");
  EXPECT_EQ(Row(1), "aaaa");
  EXPECT_EQ(Row(2), "bbbbbbbbbb");
  Draw("<POSITION TOP=0 LEFT=0>cc<ATF @=-3>");
  EXPECT_EQ(Raster().Text(), "cc\n");
}

TEST_F(TerminalTest, BackspacesFromTheEngineNeverLeaveTheLeftEdge) {
  Draw("<ATF @=-1><ATF @=-2>ab<ATF @=-9> <ATF @=-9>");  // the echo of a rubbed-out "b"
  EXPECT_EQ(Row(0), "a");
  EXPECT_EQ(CursorColumn(), 1);
  Draw("<ATF @=-9><ATF @=-9><ATF @=-9>");
  EXPECT_EQ(CursorColumn(), 0);
  EXPECT_EQ(Row(0), "");
}

TEST_F(TerminalTest, RulesAndTheFormHeader) {
  Draw("<POSITION TOP=4 LEFT=0><HR>");
  EXPECT_THAT(Surface().Take(), Contains("line -100,1110-12100,1110 #000080"));

  Draw("<FORMHEADER>Query,Page 1,TCL<POSITION TOP=1 LEFT=0>hidden<POSITION TOP=3 LEFT=0>shown");
  const auto& labels = Top().Controls().formHeader;
  EXPECT_EQ(labels[0].caption, "Query");
  EXPECT_EQ(labels[1].caption, "Page 1");
  EXPECT_EQ(labels[2].caption, "TCL");
  EXPECT_TRUE(labels[2].visible);
  EXPECT_EQ(labels[0].width, 2400);
  EXPECT_EQ(labels[1].left, 2400);
  EXPECT_EQ(labels[1].width, 7200);
  EXPECT_EQ(labels[2].left, 9600);
  EXPECT_EQ(labels[2].width, 2400);
  EXPECT_EQ(Row(1), "");  // under the labels: not drawn
  EXPECT_EQ(Row(3), "shown");
}

TEST_F(TerminalTest, TheEndOfTheTransmissionAndFieldTagsStopTheDrawing) {
  Draw("one</TX>\r\n:two");
  EXPECT_EQ(Raster().Text(), "one\n");
  Draw("<ATF @=-1><ATF @=-2>a<NOMINATE X>b");
  EXPECT_EQ(Raster().Text(), "a\n");
  Draw("<ATF @=-1><ATF @=-2>a<ETYPE=3>b");
  EXPECT_EQ(Raster().Text(), "a\n");
  // A tag that never closes is text, and nothing follows it.
  Draw("<ATF @=-1><ATF @=-2>x<POSITION TOP=9");
  EXPECT_EQ(Raster().Text(), "x<POSITION TOP=9\n");
}

TEST_F(TerminalTest, BoxCharactersKeepTheirBytes) {
  Draw("<ATF @=-1><ATF @=-2>\xC9\xCD\xBB\r\xBA\xB0\xBA\r\xC8\xCD\xBC");
  EXPECT_EQ(Row(0), "\xC9\xCD\xBB");
  EXPECT_EQ(Row(2), "\xC8\xCD\xBC");
  EXPECT_EQ(TerminalGlyph(0xC9), u'\u2554');
  EXPECT_EQ(TerminalGlyph(0xCD), u'\u2550');
  EXPECT_EQ(TerminalGlyph(0xBA), u'\u2551');
  EXPECT_EQ(TerminalGlyph(0xB0), u'\u2591');
  EXPECT_EQ(TerminalGlyph(0xC4), u'\u2500');
  EXPECT_EQ(TerminalGlyph(0xB3), u'\u2502');
  EXPECT_EQ(TerminalGlyph(0xDA), u'\u250C');
  EXPECT_EQ(TerminalGlyph(0xDF), u'\u2580');
  // Outside 176-223 a byte is its Latin-1 character.
  EXPECT_EQ(TerminalGlyph(0xAF), u'\u00AF');
  EXPECT_EQ(TerminalGlyph(0xE0), u'\u00E0');
  EXPECT_EQ(TerminalGlyph(0xF8), u'\u00F8');
  EXPECT_EQ(TerminalGlyph('A'), u'A');
}

TEST_F(TerminalTest, TheCondensedFontShrinksOnceHoweverOftenItIsAskedFor) {
  Draw("<FORM CONDENSED=TRUE>");
  EXPECT_TRUE(Top().Model().layout.mbCondensed);
  EXPECT_NEAR(Top().Terminal().Font().size, 12 / 1.667, 1e-9);
  EXPECT_EQ(Top().Model().layout.mCX, 86);
  Draw("<FORM CONDENSED=TRUE>");
  Draw("<ATF @=-1001>");
  EXPECT_NEAR(Top().Terminal().Font().size, 12 / 1.667, 1e-9);
  Draw("<ATF @=-1002>");
  EXPECT_FALSE(Top().Model().layout.mbCondensed);
  EXPECT_EQ(Top().Terminal().Font().size, 12);
  EXPECT_EQ(Top().Model().layout.mCX, kCharWidth);
}

TEST_F(TerminalTest, SettingsStylesAndAnAnswerInTerminalText) {
  Draw("<INI DIALOGLINE=20><STYLE NAME=mine BACKCOLOR=255>hi<AUTORX>there");
  EXPECT_EQ(settings.dialogLine, 20);
  EXPECT_TRUE(shell.Styles().Exists("mine"));
  EXPECT_EQ(link.sent, std::vector<std::string>{"\r"});  // EOS alone, in the middle of the walk
  EXPECT_EQ(Row(0), "hithere");
}

TEST_F(TerminalTest, PopupsByIndex) {
  Top().Model().popups.Set(2, "<POPUP TITLE=x>block two</POPUP>");
  Draw("<DO_POPUP INDEX=2>");
  // One popup open, whichever slot it came from.
  EXPECT_EQ(Top().Model().mnPopups, 1);
  ASSERT_EQ(TopParts().window.popups.size(), 1u);
  EXPECT_EQ(TopParts().window.popups.begin()->second.title, "block two");
  EXPECT_THAT(TopParts().window.calls, Contains("popup 1"));
  Top().Model().texts.msData = "<DO_POPUP INDEX=6>";
  EXPECT_THROW(Top().TerminalDraw(), VbError);
}

TEST_F(TerminalTest, TheLogOffResponseEndsTheProgramWithThePortReleasedFirst) {
  bool releasedBeforeTheBox = false;
  dialogs.onBox = [&](const FakeDialogs::Box&) { releasedBeforeTheBox = link.released; };
  Draw("Bye.  < LOGGED OFF AT 12:00");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text,
            "You have neatly and cleanly logged off\r\nfrom your server.  TTFN");
  EXPECT_FALSE(releasedBeforeTheBox);  // the box comes first, then the unload
  EXPECT_TRUE(link.released);
  EXPECT_EQ(host.endCode, 0);
  EXPECT_EQ(Row(0), "");  // nothing drawn
}

TEST_F(TerminalTest, AnyTextIsDrawnWithoutHarm) {
  // Pieces of terminal text with numbers of every size, put together at random.
  const std::vector<std::string> numbers = {
      "0", "1", "-1", "23", "2147483647", "-9", "1e300", "-2147483648", "99999999999", "x"};
  const std::vector<std::string> tags = {"POSITION TOP=# LEFT=#",
                                         "ATF @=#",
                                         "ATF,@=#",
                                         "HR",
                                         "FORM CONDENSED=TRUE",
                                         "ACTIONCODE",
                                         "MSGBOX",
                                         "FORMHEADER",
                                         "DO_POPUP INDEX=#",
                                         "/TX",
                                         "INI DIALOGLINE=#",
                                         "AUTORX",
                                         "TEXTBOX"};
  std::mt19937 random(7);
  const auto pick = [&](const std::vector<std::string>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
  };
  for (int i = 0; i < 3000; ++i) {
    std::string text;
    for (int piece = 0; piece < 12; ++piece) {
      switch (random() % 5) {
        case 0: {
          std::string tag = pick(tags);
          for (std::size_t at; (at = tag.find('#')) != std::string::npos;)
            tag.replace(at, 1, pick(numbers));
          text += "<" + tag + ">";
          break;
        }
        case 1:
          text += std::string(random() % 90, static_cast<char>(176 + random() % 48));
          break;
        case 2:
          text += "\r\n";
          break;
        case 3:
          text += "\n\b<";
          break;
        default:
          text += "text";
      }
    }
    Engine(text);
    if (i % 8 == 0) shell.TimerTick();  // text that never ends times out
    ASSERT_EQ(shell.FormCount(), 1) << text;
  }
  EXPECT_FALSE(link.released);
  EXPECT_GE(Top().Model().layout.mCX, 1);
  EXPECT_GT(Surface().calls.size(), 10000u);  // it was drawn, not just kept waiting
}

}  // namespace
}  // namespace orvik::client
