#include "string_works.h"

#include <gtest/gtest.h>

#include "text_rules.h"
#include "token.h"

namespace orvik::massage {
namespace {

TEST(ReplaceAll, NeverSearchesInsertedText) {
  EXPECT_EQ(ReplaceAll("say \"hi", "\"", "\"\""), "say \"\"hi");
  EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(ReplaceAll("a\r\nb\r\n", "\r\n", "|\r\n"), "a|\r\nb|\r\n");
}

TEST(ReplaceAll, ComparesCaseSensitively) {
  EXPECT_EQ(ReplaceAll("Body body", "body", "X"), "Body X");
  EXPECT_EQ(ReplaceAll("abc", "", "X"), "abc");
  EXPECT_EQ(ReplaceAll("", "a", "X"), "");
}

TEST(FieldOf, CountsFieldsFromOne) {
  EXPECT_EQ(FieldOf("FOR I = 1", " ", "1"), "FOR");
  EXPECT_EQ(FieldOf("FOR I = 1", " ", "2"), "I");
  EXPECT_EQ(FieldOf("FOR I = 1", " ", "4"), "1");
  EXPECT_EQ(FieldOf("FOR I = 1", " ", "5"), "");
  EXPECT_EQ(FieldOf("FOR", " ", "2"), "");
  EXPECT_EQ(FieldOf("a::b::c", "::", "3"), "c");
  EXPECT_EQ(FieldOf("a,,c", ",", "2"), "");
}

TEST(FieldOf, RejectsFieldNumbersThatAreNotOneOrMore) {
  EXPECT_EQ(FieldOf("a b", " ", "0"), "");
  EXPECT_EQ(FieldOf("a b", " ", "x"), "");
  EXPECT_EQ(FieldOf("a b", " ", "-1"), "");
}

TEST(CountFields, CountsDelimitersPlusOne) {
  EXPECT_EQ(CountFields("", ","), 0);
  EXPECT_EQ(CountFields("abc", ","), 1);
  EXPECT_EQ(CountFields("a,,b", ","), 3);
  EXPECT_EQ(CountFields("aaa", "aa"), 3);  // overlapping hits count
  EXPECT_EQ(CountFields("abc", ""), 4);
}

TEST(IsIdentifier, LetterThenLettersOrDigits) {
  EXPECT_TRUE(IsIdentifier("L10"));
  EXPECT_TRUE(IsIdentifier("start"));
  EXPECT_FALSE(IsIdentifier("10"));
  EXPECT_FALSE(IsIdentifier("A.B"));
  EXPECT_FALSE(IsIdentifier(""));
  EXPECT_FALSE(IsIdentifier("A_B"));
  EXPECT_FALSE(IsIdentifier("A$"));
  EXPECT_FALSE(IsIdentifier("\xC9T\xC9"));  // a Latin-1 letter is not A-Z
}

TEST(Token, EmptyValueMakesABlank) {
  clsToken t("X", ttype::kElement);
  EXPECT_EQ(t.TType, "ELEMENT");
  t.SetValue("");
  EXPECT_EQ(t.TType, "");
  EXPECT_TRUE(t.IsBlank());
  EXPECT_EQ(clsToken("", ttype::kString).TType, "");
}

TEST(TokenList, SlotsOutsideTheListReadBlankAndIgnoreWrites) {
  TokenList list;
  list.Add({"A", ttype::kElement});
  EXPECT_EQ(list.V(0), "");
  EXPECT_EQ(list.V(2), "");
  EXPECT_EQ(list.T(-5), "");
  list.SetV(2, "B");
  list.SetT(0, ttype::kOp);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.V(2), "");
}

TEST(TokenList, CompactionRemovesBlanksInOrder) {
  TokenList list;
  for (const char* v : {"A", "B", "C", "D"}) list.Add({v, ttype::kElement});
  list.Clear(1);
  list.Clear(3);
  list.Compact();
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.V(1), "B");
  EXPECT_EQ(list.V(2), "D");
}

TEST(TextRules, CaseFoldingLeavesMarksAndMarkersAlone) {
  EXPECT_EQ(UpperText("abc\xE9\xFE\xFD\xF7"), "ABC\xC9\xFE\xFD\xF7");
  EXPECT_EQ(UpperText("\xF4\xF5\xF6"), "\xF4\xF5\xF6");
  EXPECT_TRUE(EqualsNoCase("Else", "ELSE"));
}

TEST(TextRules, WordSearchNeedsBlanksOrEnds) {
  EXPECT_EQ(FindWordNoCase("UNTIL DONE DO ", "DO"), 11u);
  EXPECT_EQ(FindWordNoCase("ELSEWHERE", "ELSE"), std::string::npos);
  EXPECT_EQ(FindWordNoCase("x else", "ELSE"), 2u);
}

TEST(TextRules, NumbersAsTheTranslatorReadsThem) {
  for (const char* yes : {"10", "10.5", ".5", "1E5", "007"}) EXPECT_TRUE(ReadsAsNumber(yes)) << yes;
  for (const char* no : {"", ".", "1.2.3", "E5", "1E", "A1", "10X"}) {
    EXPECT_FALSE(ReadsAsNumber(no)) << no;
  }
}

}  // namespace
}  // namespace orvik::massage
