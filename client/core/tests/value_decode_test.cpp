// Values as settings texts, STYLE tags and item values carry them, colours, and flags.

#include "value_decode.h"

#include <gtest/gtest.h>

#include <string>

#include "colours.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

struct DecodeCase {
  const char* text;
  std::string decoded;
};

TEST(ValueDecodeTest, EscapesEntitiesAndCharacterCodes) {
  const DecodeCase cases[] = {
      {"plain", "plain"},
      {"a{COMMA}b{comma}c", "a,b,c"},
      {"{LT}TAG{GT}", "<TAG>"},
      {"&lt;x&GT; &AMP; &quot;q&quot; &apos;", "<x> & \"q\" '"},
      // An escaped ampersand is one ampersand: what follows it is text, not an entity.
      {"&amp;lt;", "&lt;"},
      {"&amp;quot;", "&quot;"},
      {"&amp;apos;", "&apos;"},
      {"CHAR(65)CHAR(66)", "AB"},
      {"chr(13)", "\r"},
      {"x CHR(9) y", "x \t y"},
      {"CHAR(65.5)", "B"},  // rounded, halves to even
      {"CHAR(64.5)", "@"},
      {"CHR()", std::string(1, '\0')},
      {"CHR(abc)", std::string(1, '\0')},
      {"CHAR(255)", "\xFF"},
      {"{COMMA}CHR(44)", ",,"},
  };
  for (const DecodeCase& c : cases) EXPECT_EQ(ValueDecode(c.text), c.decoded) << c.text;
}

TEST(ValueDecodeTest, BadCharacterEscapeIsAnError) {
  for (const char* text : {"CHR(13", "CHAR(256)", "CHR(-1)", "x CHAR(300) y"}) {
    try {
      ValueDecode(text);
      ADD_FAILURE() << text;
    } catch (const VbError& e) {
      EXPECT_EQ(e.number(), 5) << text;
    }
  }
}

TEST(ValueDecodeTest, DecodesTextFarLongerThanSixteenBitPositions) {
  const std::string text = std::string(70000, 'x') + "CHR(65)";
  EXPECT_EQ(ValueDecode(text), std::string(70000, 'x') + "A");
}

TEST(SafeBoolTest, TrueFalseNumbersAndAnythingElse) {
  const std::pair<const char*, bool> cases[] = {
      {"", false},    {"0", false},   {"1", true},      {"-1", true},   {"2.5", true},
      {"True", true}, {"TRUE", true}, {"false", false}, {"yes", false}, {"abc", false},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(SafeBool(text), value) << text;
}

TEST(RgbParseTest, ColourValues) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"RGB(255,0,0)", 255},         {"RGB(0,255,0)", 65280},   {"RGB(0, 0, 128)", 8388608},
      {"RGB(300,0,0)", 255},  // a part above 255 counts as 255
      {"R GB(1,2,3)", Rgb(1, 2, 3)}, {"(1,2,3)", Rgb(1, 2, 3)}, {"RGB(1.5,2,3)", Rgb(2, 2, 3)},
  };
  for (const auto& [text, colour] : cases) EXPECT_EQ(RgbParse(text), colour) << text;
}

TEST(RgbParseTest, PartsThatAreNoColourFail) {
  const std::pair<const char*, int> cases[] = {
      {"RGB(1,2)", 13},    // a missing part
      {"rgb(1,2,3)", 13},  // only capitals are taken away
      {"RGB(x,2,3)", 13}, {"RGB(-1,2,3)", 5}, {"RGB(40000,2,3)", 6},
  };
  for (const auto& [text, number] : cases) {
    try {
      RgbParse(text);
      ADD_FAILURE() << text;
    } catch (const VbError& e) {
      EXPECT_EQ(e.number(), number) << text;
    }
  }
}

TEST(QBColorTest, PaletteAndRange) {
  EXPECT_EQ(QBColor(0), 0);
  EXPECT_EQ(QBColor(4), Rgb(128, 0, 0));
  EXPECT_EQ(QBColor(7), Rgb(192, 192, 192));
  EXPECT_EQ(QBColor(9), Rgb(0, 0, 255));
  EXPECT_EQ(QBColor(14), Rgb(255, 255, 0));
  EXPECT_EQ(QBColor(15), 16777215);
  EXPECT_THROW(QBColor(16), VbError);
  EXPECT_THROW(QBColor(-1), VbError);
}

}  // namespace
}  // namespace orvik::client
