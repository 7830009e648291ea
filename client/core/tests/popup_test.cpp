// Popup windows without a display: the picture a POPUP block draws (place and size in cells,
// title, text, rules, colours, box characters as lines) and the list of popups a screen form
// keeps open, closed one by one or all at once.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "colours.h"
#include "popup_picture.h"
#include "shell_fixture.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

using ::testing::ElementsAre;

PopupSetting Setting() {
  PopupSetting s;
  s.cellWidth = 150;
  s.cellHeight = 300;
  s.formWidth = 12000;
  s.formHeight = 7800;
  return s;
}

PopupPicture Draw(const std::string& block, PopupSetting s = Setting()) {
  return DrawPopup(block, s);
}

std::vector<const PopupStroke*> Of(const PopupPicture& p, PopupStroke::Kind kind) {
  std::vector<const PopupStroke*> out;
  for (const PopupStroke& s : p.strokes)
    if (s.kind == kind) out.push_back(&s);
  return out;
}

TEST(PopupPictureTest, PlaceAndSizeInCells) {
  PopupPicture p = Draw("<POPUP SCREEN=BOX TOP=8 LEFT=20 WIDTH=40 HEIGHT=10></POPUP>");
  EXPECT_DOUBLE_EQ(p.top, 8 * 300);
  EXPECT_DOUBLE_EQ(p.left, 20 * 150);
  EXPECT_DOUBLE_EQ(p.width, 40 * 150);
  EXPECT_DOUBLE_EQ(p.height, 11 * 300);  // HEIGHT=10: eleven cells
  EXPECT_EQ(p.title, "Popup Info ");
  // The OK button at the foot, centred.
  EXPECT_DOUBLE_EQ(p.okTop, p.height - 1.3 * p.okHeight);
  EXPECT_DOUBLE_EQ(p.okLeft + p.okWidth / 2, p.width / 2);

  p = Draw("<POPUP SCREEN=BOX TOP=40 LEFT=3>");
  EXPECT_DOUBLE_EQ(p.top, 5 * 300);
  EXPECT_DOUBLE_EQ(p.left, 3 * 150);
  p = Draw("<POPUP SCREEN=BOX TOP=5 LEFT=5>");
  EXPECT_DOUBLE_EQ(p.left, 40 * 150);
  // TOP=0 keeps the row it has (centred on the form), in whole cells.
  p = Draw("<POPUP SCREEN=BOX TOP=0 LEFT=2>");
  EXPECT_DOUBLE_EQ(p.top, static_cast<int>((7800 - 3195) / 2) / 300 * 300);
  // Not a box: the default size, centred.
  p = Draw("<POPUP TOP=8 LEFT=20 WIDTH=40>");
  EXPECT_DOUBLE_EQ(p.width, kPopupDefaultWidth);
  EXPECT_DOUBLE_EQ(p.left, (12000 - kPopupDefaultWidth) / 2);
}

TEST(PopupPictureTest, TheLargestSizeABlockCanNameStaysPositive) {
  // HEIGHT is one cell more than named: the most a number can say must not wrap round.
  const PopupPicture p = Draw("<POPUP SCREEN=BOX TOP=1 LEFT=1 WIDTH=2147483647 HEIGHT=2147483647>");
  EXPECT_DOUBLE_EQ(p.height, 300 * 2147483648.0);
  EXPECT_DOUBLE_EQ(p.width, 150 * 2147483647.0);
  EXPECT_GT(p.okTop, 0);
}

TEST(PopupPictureTest, TitleTextPositionsAndRules) {
  const PopupPicture p = Draw(
      "<POPUP SCREEN=BOX TOP=8 LEFT=20 WIDTH=40 HEIGHT=6>Orvik\r\n demo"
      "<POSITION TOP=11 LEFT=22>A popup.<HR><POSITION TOP=8 LEFT=20>hidden</POPUP>ignored");
  EXPECT_EQ(p.title, "Orvik demo");
  const auto texts = Of(p, PopupStroke::Kind::kText);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0]->text, "A popup.");
  // Three rows under the popup's top is half a cell below the inner top edge.
  EXPECT_DOUBLE_EQ(texts[0]->y1, 0.5 * 300);
  EXPECT_DOUBLE_EQ(texts[0]->x1, 2 * 150);
  EXPECT_DOUBLE_EQ(texts[0]->colour, QBColor(1));
  EXPECT_LT(texts[1]->y1, 0);  // the popup's own top row lies above the visible area
  const auto lines = Of(p, PopupStroke::Kind::kLine);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_DOUBLE_EQ(lines[0]->x1, -100);
  EXPECT_DOUBLE_EQ(lines[0]->x2, 40 * 150 + 100);
  EXPECT_DOUBLE_EQ(lines[0]->y1, 0.5 * 300 + 150);  // the pen did not move down
  EXPECT_EQ(lines[0]->colour, QBColor(4));
  EXPECT_EQ(lines[0]->penWidth, 4);
}

TEST(PopupPictureTest, BoxCharactersAreLinesAndOtherHighCharactersBlank) {
  const PopupPicture p = Draw("<POPUP>Box<B>\xC9\xCD\xBB\xCE\xC5\xE9x");
  const auto lines = Of(p, PopupStroke::Kind::kLine);
  // 201: two arms, 205: one line across, 187: two arms; 206, 197, 233 nothing.
  ASSERT_EQ(lines.size(), 5u);
  for (const PopupStroke* line : lines) EXPECT_EQ(line->penWidth, 6);
  const double lh = 300 * 1.1;
  // The top-left corner: centre to the right edge, centre down to the bottom.
  EXPECT_THAT(std::vector<double>({lines[0]->x1, lines[0]->y1, lines[0]->x2, lines[0]->y2}),
              ElementsAre(75, lh / 2, 75, lh));
  EXPECT_THAT(std::vector<double>({lines[1]->x1, lines[1]->y1, lines[1]->x2, lines[1]->y2}),
              ElementsAre(75, lh / 2, 150, lh / 2));
  // The horizontal runs across its whole cell, so the edge is continuous.
  EXPECT_THAT(std::vector<double>({lines[2]->x1, lines[2]->x2}), ElementsAre(150, 300));
  const auto texts = Of(p, PopupStroke::Kind::kText);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0]->text, "x");
  EXPECT_DOUBLE_EQ(texts[0]->x1, 6 * 150);

  const PopupPicture single = Draw("<POPUP><POSITION>\xDA\xC4\xBF");
  for (const PopupStroke* line : Of(single, PopupStroke::Kind::kLine)) EXPECT_EQ(line->penWidth, 3);
}

TEST(PopupPictureTest, AtfColoursAndHighlights) {
  PopupSetting s = Setting();
  PopupPicture p = Draw("<POPUP><ATF @=-33>ab<ATF @=-40><ATF @=-45>c<ATF @=-35>d", s);
  const auto fills = Of(p, PopupStroke::Kind::kFill);
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[0]->colour, 0);
  EXPECT_DOUBLE_EQ(fills[0]->x2 - fills[0]->x1, 2 * 150);
  EXPECT_EQ(fills[1]->colour, QBColor(14));  // -35 without TRUECOLOR
  const auto texts = Of(p, PopupStroke::Kind::kText);
  EXPECT_EQ(texts[0]->colour, 0xFFFFFF);
  EXPECT_EQ(texts[1]->colour, QBColor(3));
  s.trueColour = true;
  s.commas = true;
  p = Draw("<POPUP,SCREEN=BOX,TOP=2><ATF,@=-35>d<ATF,@=-60>e", s);
  EXPECT_DOUBLE_EQ(p.top, 600);
  EXPECT_EQ(Of(p, PopupStroke::Kind::kFill)[0]->colour, Rgb(255, 127, 255));
  EXPECT_EQ(Of(p, PopupStroke::Kind::kText)[1]->colour, QBColor(12));
}

TEST(PopupPictureTest, ABrokenTagIsAnInvalidCall) {
  EXPECT_THROW(Draw("<POPUP SCREEN=BOX"), VbError);
  EXPECT_THROW(Draw("<POPUP>text<HR"), VbError);
  EXPECT_NO_THROW(Draw("<POPUP>no end"));
}

class PopupListTest : public ShellFixture {
 protected:
  void SetUp() override {
    StartToFirstForm();
    for (int slot = 1; slot <= 3; ++slot)
      Top().Model().popups.Set(slot, "<POPUP>" + std::to_string(slot) + "</POPUP>");
  }
  void OpenFromTerminal(int slot) { Draw("<DO_POPUP INDEX=" + std::to_string(slot) + ">"); }
};

TEST_F(PopupListTest, ClosingInAnyOrderLeavesNoneBehind) {
  ScreenFormCore& form = Top();
  OpenFromTerminal(1);
  OpenFromTerminal(2);
  OpenFromTerminal(3);
  EXPECT_EQ(form.OpenPopups().size(), 3u);
  EXPECT_EQ(form.Model().mnPopups, 3);
  // A terminal popup's OK closes them all.
  const std::int32_t second = form.OpenPopups()[1];
  form.PopupOk(second);
  EXPECT_TRUE(form.OpenPopups().empty());
  EXPECT_TRUE(TopParts().window.popups.empty());
  EXPECT_EQ(form.Model().mnPopups, 0);
}

TEST_F(PopupListTest, AMenuPopupClosesAloneAndItsCloseBoxToo) {
  ScreenFormCore& form = Top();
  ScreenStates& st = form.Model().states;
  st.msFormState = "MENU";
  st.msState2 = "POPUP";
  st.msState = "FORM_ACTIVE";
  form.FormRXProcessMaster();
  OpenFromTerminal(2);
  OpenFromTerminal(3);
  ASSERT_EQ(form.OpenPopups().size(), 3u);
  const std::vector<std::int32_t> ids = form.OpenPopups();
  // The menu's popup closes itself only.
  form.PopupOk(ids[0]);
  EXPECT_THAT(form.OpenPopups(), ElementsAre(ids[1], ids[2]));
  EXPECT_EQ(TopParts().window.popups.count(ids[0]), 0u);
  EXPECT_EQ(form.Model().mnPopups, 2);
  // A terminal popup closed by its close box closes all.
  form.PopupCloseBox(ids[2]);
  EXPECT_TRUE(form.OpenPopups().empty());
  EXPECT_TRUE(TopParts().window.popups.empty());
  // Stale ids do nothing.
  form.PopupOk(ids[2]);
  form.PopupCloseBox(ids[0]);
  EXPECT_EQ(form.Model().mnPopups, 0);
  // Shift+F12 on a popup shows the monitor.
  form.PopupKeyDown(kKeyF12, kShiftMask);
  EXPECT_EQ(host.monitorShown, 1);
}

}  // namespace
}  // namespace orvik::client
