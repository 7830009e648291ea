#include "terminal_tags.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

const std::string kEsc = "\x1B";

TEST(TerminalTagTest, GuiTags) {
  EXPECT_EQ(TerminalTag("VBGUI", 3, 7), "<POSITION LEFT=3 TOP=7>");
  EXPECT_EQ(TerminalTag("VBGUI", -1), "<ATF @=-1>");
  EXPECT_EQ(TerminalTag("VBGUI", -64), "<ATF @=-64>");
  EXPECT_EQ(TerminalTag("VBGUI", 5), "");
  EXPECT_EQ(TerminalTag("VBGUI", -2, 4), "<POSITION LEFT=-2 TOP=4>");
}

TEST(TerminalTagTest, Vt100CursorCountsFromOne) {
  for (const char* t : {"VT100", "VT-100", "VT100+C", "VT-100+C"}) {
    EXPECT_EQ(TerminalTag(t, 3, 7), kEsc + "[8;4H") << t;
    EXPECT_EQ(TerminalTag(t, 0, 0), kEsc + "[1;1H") << t;
    EXPECT_EQ(TerminalTag(t, 5), "") << t;
  }
}

TEST(TerminalTagTest, Vt100ScreenControls) {
  EXPECT_EQ(TerminalTag("VT100", -1), kEsc + "[2J");
  EXPECT_EQ(TerminalTag("VT100", -2), kEsc + "[H");
  EXPECT_EQ(TerminalTag("VT100", -3), kEsc + "[0J");
  EXPECT_EQ(TerminalTag("VT100", -4), kEsc + "[0K");
  EXPECT_EQ(TerminalTag("VT100", -5), "");
  EXPECT_EQ(TerminalTag("VT100", -100), "");
}

TEST(TerminalTagTest, Vt100Colours) {
  const char* normal[] = {"[0;30m", "[0;34m", "[0;32m", "[0;36m",
                          "[0;31m", "[0;35m", "[0;33m", "[0;37m"};
  const char* bright[] = {"[1;30m", "[1;34m", "[1;32m", "[1;36m",
                          "[1;31m", "[1;35m", "[1;33m", "[1;37m"};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(TerminalTag("VT100", -64 + i), kEsc + normal[i]);
    EXPECT_EQ(TerminalTag("VT-100+C", -48 + i), kEsc + bright[i]);
  }
  const char* background[] = {"[40m", "[44m", "[42m", "[46m"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(TerminalTag("VT100", -40 + i), kEsc + background[i]);
  EXPECT_EQ(TerminalTag("VT100", -56), "");
  EXPECT_EQ(TerminalTag("VT100", -36), "");
}

TEST(TerminalTagTest, OtherTerminalsTakeRawCoordinates) {
  EXPECT_EQ(TerminalTag("", -1), kEsc + "*" + "\x01");
  EXPECT_EQ(TerminalTag("WYSE50", 10, 20), kEsc + "=" + "\x0A" + "\x14");
  EXPECT_EQ(TerminalTag("", 5), "");
}

}  // namespace
}  // namespace orvik
