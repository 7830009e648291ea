#include "line_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvik::massage {
namespace {

// Records what reaches the statement translator; each statement comes back in brackets.
class Splitter : public ::testing::Test {
 protected:
  std::string Split(const std::string& line) {
    return SplitSourceLine(
        [this](const std::string& s) {
          seen.push_back(s);
          return "[" + s + "]";
        },
        line);
  }
  std::vector<std::string> seen;
};

TEST_F(Splitter, BlankLineIsOneBlankStatement) {
  EXPECT_EQ(Split(""), "[ ]");
  EXPECT_EQ(Split("    "), "[ ]");
  StatementTranslator tr;
  EXPECT_EQ(SplitSourceLine(tr, "   "), "  ");
}

TEST_F(Splitter, CommentLinesKeepTheirIndentation) {
  EXPECT_EQ(Split("* note * more"), "' note * more");
  EXPECT_EQ(Split("   *note; X = 1   "), "   'note; X = 1");
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(Split("X = 2 * 3"), "[X = 2 * 3]");  // a "*" later in a line is no comment
}

TEST_F(Splitter, OperatorsOutsideStrings) {
  Split("X = A : B");
  Split("IF A & B THEN");
  EXPECT_EQ(seen, (std::vector<std::string>{"X = A  &  B", "IF A  AND  B THEN"}));
}

TEST_F(Splitter, StringDelimitersBecomeDoubleQuotes) {
  Split("X = 'A:B' : \\C&D\\ : \"E;F\"");
  EXPECT_EQ(seen, (std::vector<std::string>{"X = \"A:B\"  &  \"C&D\"  &  \"E;F\""}));
}

TEST_F(Splitter, DoubledApostropheClosesAndReopens) {
  Split("X = 'it''s'");
  EXPECT_EQ(seen, (std::vector<std::string>{"X = \"it\"\"s\""}));
}

TEST_F(Splitter, OtherDelimitersInsideAStringAreMarked) {
  Split("X = \"it's\" : 'say \"hi\"' : 'C:\\DIR'");
  EXPECT_EQ(seen,
            (std::vector<std::string>{"X = \"it\xF4s\"  &  \"say \xF5hi\xF5\"  &  \"C:\\DIR\""}));
}

TEST_F(Splitter, BytesThatLookLikeMarkersAreEscapedInsideStrings) {
  Split(std::string("X = '\xF4\xF5\xF6") + '\0' + "'");
  EXPECT_EQ(seen, (std::vector<std::string>{std::string("X = \"\0\xF4\0\xF5\xF6\0\0\"", 13)}));
}

TEST_F(Splitter, SemicolonInsideParenthesesIsMarked) {
  EXPECT_EQ(Split("X = INSERT(D, 1; Y)"), "[X = INSERT(D, 1 \xF6  Y)]");
}

TEST_F(Splitter, SemicolonSplitsStatements) {
  EXPECT_EQ(Split("X = 1; Y = 2"), "[X = 1] : [ Y = 2]");
  EXPECT_EQ(Split("CRT 'a;b'; CRT 2"), "[CRT \"a;b\"] : [ CRT 2]");
  EXPECT_EQ(Split("X = 1 ; * note"), "[X = 1 ]   ' note");
  EXPECT_EQ(Split("X = 1;"), "[X = 1] : [ ]");
}

TEST_F(Splitter, StatementsAreTranslatedInOrder) {
  Split("A; B; C");
  EXPECT_EQ(seen, (std::vector<std::string>{"A", " B", " C"}));
}

TEST_F(Splitter, ThirtyStatementsPerLineAreTranslated) {
  std::string line;
  for (int i = 1; i <= 32; ++i) line += (i > 1 ? ";" : "") + std::string("S") + std::to_string(i);
  std::string out = Split(line);
  EXPECT_EQ(seen.size(), 30u);
  EXPECT_EQ(seen.back(), "S30");
  EXPECT_TRUE(out.ends_with("[S30] : S31;S32")) << out;
}

// A statement past the bound would cost the translator time by the square of its length; it
// is kept as written, and the statements around it are translated as usual.
TEST_F(Splitter, OverlongStatementIsKeptAsWritten) {
  const std::string longest = "X = \"" + std::string(kMaxStatementBytes - 6, 'a') + "\"";
  const std::string overlong = "Y = " + std::string(kMaxStatementBytes, 'b');
  std::string out = Split("A = 1;" + overlong + ";" + longest);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], "A = 1");
  EXPECT_EQ(seen[1].size(), kMaxStatementBytes);  // the longest translated one, quotes as seen
  EXPECT_EQ(out, "[A = 1] : " + overlong + " : [" + seen[1] + "]");

  seen.clear();
  EXPECT_EQ(Split(overlong), overlong);
  EXPECT_TRUE(seen.empty());

  // The real translator hands such a line back too, without working through its groups.
  StatementTranslator tr;
  const std::string nested =
      "Z = " + std::string(kMaxStatementBytes, '(') + "1" + std::string(kMaxStatementBytes, ')');
  EXPECT_EQ(SplitSourceLine(tr, nested), nested);
}

TEST_F(Splitter, TrailingBlanksAreCut) {
  Split("X = 1    ");
  EXPECT_EQ(seen, (std::vector<std::string>{"X = 1"}));
}

TEST_F(Splitter, CommentsOfEveryFormStayComments) {
  EXPECT_EQ(Split("!"), "'");
  EXPECT_EQ(Split("  ! it's a note"), "  ' it's a note");
  EXPECT_EQ(Split("REM Marcos Alonso Vega - 30-XII-98"), "' Marcos Alonso Vega - 30-XII-98");
  EXPECT_EQ(Split("   rem"), "   '");
  EXPECT_TRUE(seen.empty());
  // Behind a statement, "*", "!" and REM alike; a quote in the comment is prose.
  EXPECT_EQ(Split("X = 1 ;* count"), "[X = 1 ]  ' count");
  EXPECT_EQ(Split("X = 1 ; REM don't"), "[X = 1 ]   ' don't");
  EXPECT_EQ(Split("X = 1 ;! it's"), "[X = 1 ]  ' it's");
  // Behind a label, written as it stands.
  EXPECT_EQ(Split("10 * it's \"done\""), "[10 & ] '-- label, was * it's \"done\"");
  EXPECT_EQ(Split("FILE.IT: ! write back"), "[FILE.IT & ] '-- label, was ! write back");
  // REM as a function, and a word that begins with REM, are code.
  seen.clear();
  Split("REM(A, B) ; REMAINS = 1");
  EXPECT_EQ(seen, (std::vector<std::string>{"REM(A, B) ", " REMAINS = 1"}));
}

TEST_F(Splitter, ThenClauseCutBySemicolonsBecomesABlockWhenElseEndsTheLine) {
  EXPECT_EQ(Split("  IF CC = 1 THEN CC=4 ; CRT 'x' ELSE"),
            "[  IF CC = 1 THEN]\r\n[  CC=4 ] : [ CRT \"x\" ]\r\n  Else");
  // Without the ELSE the one-line If takes the whole line, as VB reads it.
  EXPECT_EQ(Split("IF A THEN B=1 ; C=2"), "[IF A THEN B=1 ] : [ C=2]");
  // A THEN inside a literal is no clause.
  EXPECT_EQ(Split("CRT 'A THEN B' ; X ELSE"), "[CRT \"A THEN B\" ] : [ X ELSE]");
}

TEST_F(Splitter, StatementsBehindAClosedClauseOrABlockLine) {
  StatementTranslator tr;
  // The statements behind END ELSE X belong to its ELSE clause.
  tr.OpenIfCount = 1;
  EXPECT_EQ(SplitSourceLine(tr, "END ELSE X = 1 ; Y = 2"), "Else \r\n  X = 1 :  Y = 2\r\n  End If");
  // A CASE line opens a block: the statement behind it goes below.
  SplitSourceLine(tr, "BEGIN CASE");
  EXPECT_EQ(SplitSourceLine(tr, "   CASE A = 1 ; N += 1"), "   If A = 1 Then\r\n   N = N + 1");
}

}  // namespace
}  // namespace orvik::massage
