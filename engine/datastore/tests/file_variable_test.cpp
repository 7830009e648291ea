#include "file_variable.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

TEST(FileVariableTest, Parts) {
  const FileVariable fv = FileVariable::Parse(
      "DM.ORDERS\xFE"
      "3\xFD"
      "7\xFE n \xFE");
  EXPECT_EQ(fv.tablePart, "DM.ORDERS");
  EXPECT_EQ(fv.numericList,
            "3\xFD"
            "7");
  EXPECT_TRUE(fv.ItemMode());
  EXPECT_EQ(fv.carried, "");
  std::string account, file;
  ASSERT_TRUE(fv.Split(&account, &file));
  EXPECT_EQ(account, "DM");
  EXPECT_EQ(file, "ORDERS");
  EXPECT_FALSE(FileVariable::Parse("acc.cust").ItemMode());
  EXPECT_EQ(TablePartOf("acc.cust"), "acc.cust");
}

TEST(FileVariableTest, OnlyPlainNamesSplit) {
  std::string account, file;
  for (const char* bad : {"nodot", "a.b.c", "a.b;drop", ".x", "x.", "a'b.c"}) {
    EXPECT_FALSE(FileVariable::Parse(bad).Split(&account, &file)) << bad;
  }
}

TEST(FileVariableTest, NumericList) {
  EXPECT_TRUE(NumericAttributes("3\xFD"
                                "7")
                  .Contains(7));
  EXPECT_TRUE(NumericAttributes("12").Contains(12));
  EXPECT_FALSE(NumericAttributes("12").Contains(1));
  EXPECT_FALSE(NumericAttributes("3\xFD"
                                 "17")
                   .Contains(7));
  EXPECT_FALSE(NumericAttributes("").Contains(1));
  // Each piece is a number as written: neither "07" nor " 7" is attribute 7.
  EXPECT_FALSE(NumericAttributes("07\xFD 7").Contains(7));
  EXPECT_TRUE(NumericAttributes("\xFD"
                                "0")
                  .Contains(0));
}

TEST(FileVariableTest, NormaliseNumericAttribute) {
  EXPECT_EQ(NormaliseNumericAttribute(""), "0");
  EXPECT_EQ(NormaliseNumericAttribute("5\xFD\xFD"
                                      "7"),
            "5\xFD"
            "0\xFD"
            "7");
  EXPECT_EQ(NormaliseNumericAttribute("1\xFD"
                                      "2\xFC"),
            "1\xFD"
            "2\xFC"
            "0");
  EXPECT_EQ(NormaliseNumericAttribute("\xFC"
                                      "4"),
            "\xFC"
            "4");  // one value stays as it is
  EXPECT_EQ(NormaliseNumericAttribute("\xFD"),
            "0\xFD"
            "0");
}

}  // namespace
}  // namespace orvik
