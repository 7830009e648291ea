// The cleaning of received text by screen mode and by ORVIKENGINE.

#include "rx_text_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace orvik::client {
namespace {

struct FilterCase {
  const char* name;
  std::string rx;
  const char* mode;
  bool orvikEngine;
  std::string filtered;
};

TEST(RxTextFilterTest, Rules) {
  const FilterCase cases[] = {
      {"terminal: CR LF before a position tag vanishes", "Line\r\n<POSITION,1,2>x", "TERMINAL",
       true, "Line<POSITION,1,2>x"},
      {"terminal: CR LF becomes CR, a lone LF stays", "a\r\nb\nc", "TERMINAL", true, "a\rb\nc"},
      {"terminal: position tag found in any case", "a\r<position,1>", "TERMINAL", true,
       "a<position,1>"},
      {"terminal: a blank-separated position tag keeps its CR", "a\r<POSITION 1>", "TERMINAL", true,
       "a\r<POSITION 1>"},
      {"backspace", "ab\bc", "TERMINAL", true, "ab<ATF @=-9>c"},
      {"form mode: the text before the form goes", "junk\r\n<FORM TYPE=MENU>\r\nx\ny\b",
       "FORM_ACTIVE", true, "<FORM TYPE=MENU>x\ny<ATF @=-9>"},
      {"form mode: the form tag found in any case", "junk<form TYPE=MENU>", "", true,
       "<form TYPE=MENU>"},
      {"form mode without a form tag keeps its front", "junk\r\nmore", "FORM_ACTIVE", true,
       "junkmore"},
      {"the mode is told by exact case", "junk<FORM X>a\r\nb", "terminal", true, "<FORM X>ab"},
      {"terminal, plain: delimiter, high and control characters", "a\\b\xC8\tc\x01\x7F\xF5",
       "TERMINAL", false,
       "a - b\xC8"
       "c\x7F\xF5"},
      {"form, plain: delimiter kept, high characters dropped", "a\\b\xC8\tc\r\nd", "FORM_ACTIVE",
       false, "a\\bcd"},
      {"terminal, plain: CR LF as CR, not before a position tag", "a\r\nb\r\n<Position,1>\b",
       "TERMINAL", false, "a\rb<Position,1><ATF @=-9>"},
      {"form, plain: backspace dropped", "<FORM x\b", "FORM_ACTIVE", false, "<FORM x"},
  };
  for (const FilterCase& c : cases) {
    ClientSettings settings;
    settings.orvikEngine = c.orvikEngine;
    EXPECT_EQ(RxTextFilter(c.rx, c.mode, settings), c.filtered) << c.name;
  }
}

TEST(RxTextFilterTest, FormTagNeedsTheTagSeparator) {
  ClientSettings settings;
  settings.tagSeparator = ',';
  EXPECT_EQ(RxTextFilter("a<FORM TYPE=MENU>b<FORM,TYPE=MENU>", "", settings), "<FORM,TYPE=MENU>");
}

TEST(RxTextFilterTest, OwnDelimiterAndTerminalText) {
  ClientSettings settings;
  settings.orvikEngine = false;
  settings.rxDelimiter = "~x";  // only its first character counts
  settings.rxDelimTerm = "::";
  EXPECT_EQ(RxTextFilter("a~b\\c", "TERMINAL", settings), "a::b\\c");
  settings.rxDelimiter = "";
  EXPECT_EQ(RxTextFilter("a~b", "TERMINAL", settings), "a~b");
}

}  // namespace
}  // namespace orvik::client
