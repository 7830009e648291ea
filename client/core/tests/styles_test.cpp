// The built-in styles, STYLE tags and the whole-key attribute reader they use.

#include "styles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "style_parse.h"
#include "tag_attribute.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

constexpr double kCellWidth = 144;  // twips: a base font size of 12

StyleFields Record(const StylesDictionary& styles, std::string_view name) {
  const std::string* record = styles.Find(name);
  EXPECT_NE(record, nullptr) << name;
  return record ? SplitStyleRecord(*record) : StyleFields{};
}

TEST(StyleDefaultsTest, TheThreeBuiltInRecords) {
  StylesDictionary styles;
  StyleDefaultsSet(styles, kCellWidth);
  // pos, mdefault, fdefault, msgrey
  const struct {
    std::size_t pos;
    const char* m;
    const char* f;
    const char* g;
  } table[] = {
      {2, "", "TRAIL", "TRAIL"},
      {3, "1", "1", "0"},
      {4, "&H00C000C0&", "128", "8421504"},
      {5, "16777215", "14474460", "14474460"},
      {6, "menubg.gif", "backgrnd.gif", "backgrnd.gif"},
      {8, "12", "12", "12"},
      {9, "Arial", "Courier New", "MS Sans Serif"},
      {10, "8388608", "0", "0"},
      {11, "1", "1", "1"},
      {13, "16711935", "", ""},
      {16, "", "10.8", "10.8"},
      {17, "", "MS Sans Serif", "MS Sans Serif"},
      {18, "", "0", "0"},
      {19, "", "1", "1"},
      {20, "", "0", "0"},
      {21, "", "16777215", "16777215"},
      {24, "9.6", "9.6", "9.6"},
      {25, "MS Sans Serif", "MS Sans Serif", "MS Sans Serif"},
      {26, "&H00C000C0&", "128", "0"},
      {27, "1", "1", "1"},
      {28, "0", "0", "1"},
      {29, "&H80000018&", "&H80000018&", "&H80000018&"},
  };
  const StyleFields m = Record(styles, "mdefault");
  const StyleFields f = Record(styles, "fdefault");
  const StyleFields g = Record(styles, "msgrey");
  for (const auto& row : table) {
    EXPECT_EQ(m[row.pos], row.m) << row.pos;
    EXPECT_EQ(f[row.pos], row.f) << row.pos;
    EXPECT_EQ(g[row.pos], row.g) << row.pos;
  }
  for (std::size_t pos : {0u, 1u, 7u, 12u, 14u, 15u, 22u, 23u, 30u}) {
    EXPECT_EQ(m[pos], "");
    EXPECT_EQ(f[pos], "");
    EXPECT_EQ(g[pos], "");
  }
  for (const char* name : {"mdefault", "fdefault", "msgrey"}) {
    const std::string record = *styles.Find(name);
    EXPECT_EQ(std::count(record.begin(), record.end(), '\xFE'), 30) << name;
  }
}

TEST(StyleDefaultsTest, SizesFollowTheCellWidth) {
  const struct {
    double cellWidth;
    const char* base;
    const char* inputs;
    const char* narratives;
  } cases[] = {
      {120, "10", "9", "8"},  // a 9600-twip window
      {144, "12", "10.8", "9.6"},
      {150, "12", "10.8", "9.6"},
      {179.5, "15", "13.5", "12"},
  };
  for (const auto& c : cases) {
    StylesDictionary styles;
    StyleDefaultsSet(styles, c.cellWidth);
    const StyleFields f = Record(styles, "fdefault");
    EXPECT_EQ(f[8], c.base) << c.cellWidth;
    EXPECT_EQ(f[16], c.inputs) << c.cellWidth;
    EXPECT_EQ(f[24], c.narratives) << c.cellWidth;
  }
}

TEST(StyleDefaultsTest, NamesCompareWithoutCaseAndAreMadeOnce) {
  StylesDictionary styles;
  StyleDefaultsSet(styles, kCellWidth);
  EXPECT_TRUE(styles.Exists("MDEFAULT"));
  EXPECT_EQ(*styles.Find("FDefault"), *styles.Find("fdefault"));
  EXPECT_EQ(styles.Find("nosuch"), nullptr);
  EXPECT_THROW(StyleDefaultsSet(styles, kCellWidth), VbError);
}

class StyleParseTest : public testing::Test {
 protected:
  StyleParseTest() { StyleDefaultsSet(styles_, kCellWidth); }
  StyleFields Parse(std::string_view tag, std::string_view name, char separator = ' ') {
    StyleParse(tag, styles_, separator, 150);
    return Record(styles_, name);
  }
  StylesDictionary styles_;
};

TEST_F(StyleParseTest, KeysWriteTheirPositions) {
  const struct {
    const char* pair;
    std::size_t pos;
    const char* stored;
  } table[] = {
      {"GUIPLUS=1", 1, "1"},
      {"VALIDGREEN=step", 2, "STEP"},
      {"IHEADER=0", 3, "0"},
      {"FORMHEADER=0", 3, "0"},
      {"AUTOHEADER=0", 3, "0"},
      {"ICOLOUR=255", 4, "255"},
      {"ICOLOR=rgb(0,0,255)", 4, "16711680"},
      {"BACKCOLOR=rgb(255,0,0)", 5, "255"},
      {"BACKCOLOUR=&h80000005&", 5, "&H80000005&"},
      {"BACKCOLOR=rgb(x,0,0)", 5, "RGB(X,0,0)"},
      {"BACKGROUND=Screens/Blue.gif", 6, "Screens/Blue.gif"},
      {"LABELS.FONT.SIZE=10", 8, "10"},
      {"LABELS.FONT.SIZE=*2", 8, "24"},
      {"LABELS.FONT.NAME=\"Times New Roman\"", 9, "Times New Roman"},
      {"LABELS.FORECOLOR=1", 10, "1"},
      {"LABELS.FORECOLOUR=2", 10, "2"},
      {"LABELS.FONT.BOLD=0", 11, "0"},
      {"LABELS.FONT.ITALIC=True", 12, "True"},
      {"LABELS.BACKCOLOR=3", 13, "3"},
      {"LABELS.BACKCOLOUR=4", 13, "4"},
      {"HIGHLIGHTER=5", 13, "5"},
      {"LABELS.FONT.UNDERLINE=1", 14, "1"},
      {"INPUTS.FONT.SIZE=*0.75", 16, "9"},
      {"INPUTS.FONT.NAME=Courier", 17, "Courier"},
      {"INPUTS.FORECOLOR=6", 18, "6"},
      {"INPUTS.FORECOLOUR=7", 18, "7"},
      {"INPUTS.FONT.BOLD=0", 19, "0"},
      {"INPUTS.FONT.ITALIC=1", 20, "1"},
      {"INPUTS.BACKCOLOR=8", 21, "8"},
      {"INPUTS.BACKCOLOUR=9", 21, "9"},
      {"NARRS.FONT.SIZE=*1.5", 24, "18"},
      {"NARRS.FONT.SIZE=10", 24, "10"},
      {"NARRS.FONT.NAME=Arial", 25, "Arial"},
      {"NARRS.FORECOLOR=10", 26, "10"},
      {"NARRS.FORECOLOUR=11", 26, "11"},
      {"NARRS.FONT.BOLD=0", 27, "0"},
      {"NARRS.FONT.ITALIC=1", 28, "1"},
      {"NARRS.BACKCOLOR=12", 29, "12"},
      {"NARRS.BACKCOLOUR=13", 29, "13"},
  };
  const StyleFields base = Record(styles_, "fdefault");
  for (const auto& row : table) {
    const StyleFields f = Parse(std::string("STYLE NAME=s1 ") + row.pair, "s1");
    EXPECT_EQ(f[row.pos], row.stored) << row.pair;
    for (std::size_t pos = 0; pos < kStylePositions; ++pos) {
      if (pos != row.pos) {
        EXPECT_EQ(f[pos], base[pos]) << row.pair << " touched " << pos;
      }
    }
  }
}

TEST_F(StyleParseTest, BaseRecordByNameAndType) {
  EXPECT_EQ(Parse("STYLE NAME=blue", "blue")[9], "Courier New");
  EXPECT_EQ(Parse("STYLE NAME=blue TYPE=menu", "blue")[9], "Arial");
  EXPECT_EQ(Parse("STYLE NAME=MDefault BACKCOLOR=1", "mdefault")[9], "Arial");
  EXPECT_EQ(Parse("STYLE NAME=mdefault TYPE=FUNCTION", "mdefault")[9], "Courier New");
  // A later tag rebuilds the record from the base: what it does not name goes back.
  Parse("STYLE NAME=blue BACKCOLOR=1 ICOLOR=2", "blue");
  const StyleFields again = Parse("STYLE NAME=blue ICOLOR=3", "blue");
  EXPECT_EQ(again[5], "14474460");
  EXPECT_EQ(again[4], "3");
  // The built-in menu style changed by name stays changed for the next tag's base.
  Parse("STYLE NAME=mdefault LABELS.FONT.NAME=Tahoma", "mdefault");
  EXPECT_EQ(Parse("STYLE NAME=m2 TYPE=MENU", "m2")[9], "Tahoma");
}

TEST_F(StyleParseTest, NameIsAWholeKey) {
  // The font name before NAME is not taken for the style's name.
  const StyleFields f = Parse("STYLE LABELS.FONT.NAME=Verdana NAME=late", "late");
  EXPECT_EQ(f[9], "Verdana");
  EXPECT_FALSE(styles_.Exists("Verdana"));
  // No NAME at all: the record goes under the empty name.
  EXPECT_EQ(Parse("STYLE BACKCOLOR=7", "")[5], "7");
}

TEST_F(StyleParseTest, CommaSeparatedTag) {
  const StyleFields f =
      Parse("STYLE,NAME=c1,BACKCOLOR=RGB(0{COMMA}255{COMMA}0),BACKGROUND=Pic.gif", "c1", ',');
  EXPECT_EQ(f[5], "65280");
  EXPECT_EQ(f[6], "Pic.gif");
}

TEST_F(StyleParseTest, BadValuesArePassedOver) {
  const StyleFields f = Parse("STYLE NAME=b GUIPLUS=CHR(300) NOSUCH=1 BACKGROUND=x.gif", "b");
  EXPECT_EQ(f[1], "");
  EXPECT_EQ(f[6], "x.gif");
}

TEST(TagAttributeTest, WholeKeysOnly) {
  const struct {
    const char* body;
    const char* key;
    const char* value;
  } cases[] = {
      {"FORM SUBACTION=2 ACTION=5", "ACTION", "5"},
      {"FORM SUBACTION=2", "ACTION", ""},
      {"STYLE LABELS.FONT.NAME=Arial NAME=s", "NAME", "s"},
      {"NAME=first rest", "NAME", "first"},
      {"STYLE name=\"two words\"", "NAME", "\"two"},
      {"STYLE NAME=", "NAME", ""},
      {"STYLE NAME=end", "name", "end"},
  };
  for (const auto& c : cases) EXPECT_EQ(TagAttribute(c.body, c.key), c.value) << c.body;
  EXPECT_EQ(TagAttribute("FORM,TOP=3,LEFT=4", "LEFT", ","), "4");
}

}  // namespace
}  // namespace orvik::client
