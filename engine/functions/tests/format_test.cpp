#include <gtest/gtest.h>

#include "functions.h"

namespace orvik {
namespace {

TEST(FmtTest, Justifies) {
  Functions f(true);
  EXPECT_EQ(f.Fmt("abc", "L#5"), "abc  ");
  EXPECT_EQ(f.Fmt("abc", " r#5 "), "  abc");
  EXPECT_EQ(f.Fmt("abcdef", "R#3"), "def");
  EXPECT_EQ(f.Fmt("abcdef", "L#3"), "abc");
  EXPECT_EQ(f.Fmt("abc", "L#0"), "");
  EXPECT_EQ(f.Fmt("abc", "Q#5"), "");
  EXPECT_EQ(f.ErrorDetailFn(), "");
  EXPECT_EQ(f.Fmt("abc", "L5#5"), "");  // anything between letter and '#' is another code
}

TEST(FmtTest, BadCountsAreTrapped) {
  Functions f(true);
  EXPECT_EQ(f.Fmt("abc", "L#"), "");
  EXPECT_EQ(f.ErrorDetailFn(), "[13] Type mismatch");
  EXPECT_EQ(f.Fmt("abc", "L#-2"), "");
  EXPECT_EQ(f.ErrorDetailFn(), "[5] Invalid procedure call or argument");
  EXPECT_EQ(f.Fmt("abc", "R#2000000000"), "");
  EXPECT_EQ(f.ErrorDetailFn(), "[14] Out of string space");
  EXPECT_EQ(f.Fmt("abc", "L#2"), "ab");
  EXPECT_EQ(f.ErrorDetailFn(), "");
}

TEST(FmtTest, LeavesTheColumnsOfItsSecondField) {
  Functions f(true);
  f.Fmt("abc", "L#12");
  EXPECT_EQ(f.Col1(), 2);
  EXPECT_EQ(f.Col2(), 5);
}

TEST(MatchesTest, CountedClassesAndLiterals) {
  Functions f(true);
  EXPECT_TRUE(f.Matches("123-45", "3N'-'2N"));
  EXPECT_FALSE(f.Matches("12-45", "3N'-'2N"));
  EXPECT_FALSE(f.Matches("123-456", "3N'-'2N"));
  EXPECT_FALSE(f.Matches("123-4", "3N'-'2N"));
  EXPECT_TRUE(f.Matches("AB12", "2A''2N"));
  EXPECT_FALSE(f.Matches("AB12", "2A2N"));  // one token of two letters is dropped
  EXPECT_TRUE(f.Matches("x1y2", "2X''2X"));
  EXPECT_FALSE(f.Matches("a b", "3X"));
  EXPECT_TRUE(f.Matches("a-b", "1A'-'1a"));
  EXPECT_FALSE(f.Matches("A-b", "1A'-'1N"));
}

TEST(MatchesTest, ZeroCountsTakeTheLongestRun) {
  Functions f(true);
  EXPECT_TRUE(f.Matches("abc123", "0A''0N"));
  EXPECT_TRUE(f.Matches("a b", "0X"));
  EXPECT_TRUE(f.Matches("", ""));
  EXPECT_FALSE(f.Matches("x", ""));
  EXPECT_TRUE(f.Matches("", "0N"));
  EXPECT_FALSE(f.Matches("12a", "0N"));
  EXPECT_TRUE(f.Matches("INV-0042", "'INV-'0N"));
  EXPECT_FALSE(f.Matches("inv-0042", "'INV-'0N"));  // literals count case
}

TEST(MatchesTest, UnclosedLiteralEndsWithThePattern) {
  Functions f(true);
  EXPECT_TRUE(f.Matches("ab", "'ab"));
  EXPECT_FALSE(f.Matches("abc", "'ab"));
}

TEST(MatchesTest, EvaluatingATokenClearsTheErrorDetail) {
  Functions f(true);
  f.SetErrorDetailFn("old");
  f.Matches("1", "1N");
  EXPECT_EQ(f.ErrorDetailFn(), "");
}

}  // namespace
}  // namespace orvik
