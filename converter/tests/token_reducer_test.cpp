#include "token_reducer.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "text_rules.h"

namespace orvik::massage {
namespace {

using Words = std::initializer_list<std::pair<const char*, std::string_view>>;

TokenList Make(Words words) {
  TokenList t;
  for (const auto& [v, type] : words) t.Add({v, type});
  return t;
}

std::string Joined(const TokenList& t) {
  std::string r;
  for (int k = 1; k <= t.Count(); ++k) r += (k > 1 ? " | " : "") + t.V(k);
  return r;
}

// Reduces every group innermost first, then the whole list, as the translator does.
std::string ReduceAll(TokenList t) {
  for (;;) {
    int open = 0, close = 0;
    for (int k = 1; k <= t.Count() && close == 0; ++k) {
      if (t.V(k) == "(") open = k;
      if (t.V(k) == ")" && open != 0) close = k;
    }
    if (close == 0) break;
    ReduceTokens(t, open, close);
  }
  ReduceTokens(t, 1, t.Count());
  return Joined(t);
}

const std::string_view K = ttype::kKeyword;
const std::string_view E = ttype::kElement;
const std::string_view N = ttype::kNumber;
const std::string_view S = ttype::kString;
const std::string_view C = ttype::kComma;
const std::string_view R = ttype::kRelate;
const std::string_view O = ttype::kOpen;
const std::string_view X = ttype::kClose;
const char* const kMark = "\xF6";

TEST(ReduceTokens, JumpTargets) {
  EXPECT_EQ(ReduceAll(Make({{"GOSUB", K}, {"100", N}})), "GOSUB 100");
  EXPECT_EQ(ReduceAll(Make({{"GOTO", K}, {"10.5", N}})), "GOTO L10_5");
  EXPECT_EQ(ReduceAll(Make({{"Goto", K}, {"TO", K}, {"10", N}})), "Goto 10");
  EXPECT_EQ(ReduceAll(Make({{"Goto", K}, {"TO", K}})), "Goto TO");
  EXPECT_EQ(ReduceAll(Make({{"ON", K}, {"X", E}, {"GOTO", K}, {"10", N}, {",", C}, {"20", N}})),
            "ON X GOTO 10 , 20");
  // A label that is a name keeps its dots' meaning only for numbers.
  EXPECT_EQ(ReduceAll(Make({{"GOTO", K}, {"A_B", E}})), "GOTO A_B");
}

TEST(ReduceTokens, JumpWithoutTargetStaysAlone) {
  EXPECT_EQ(ReduceAll(Make({{"X", E}, {"=", R}, {"1", N}, {"GOTO", K}})), "X = 1 GOTO");
}

TEST(ReduceTokens, MatAssignmentAndWholeArrays) {
  EXPECT_EQ(ReduceAll(Make({{"MAT", E}, {"A", E}, {"=", R}, {"B", E}})), "Call Mat(A, B)");
  EXPECT_EQ(ReduceAll(Make({{"CALL", K}, {"S", E}, {"(", O}, {"MAT", E}, {"A", E}, {")", X}})),
            "CALL S( A() )");
  // MAT as the last word: nothing behind it to rewrite.
  EXPECT_EQ(ReduceAll(Make({{"X", K}, {"MAT", E}})), "X MAT");
}

TEST(ReduceTokens, MatchesBecomesOneValue) {
  TokenList t = Make({{"IF", K}, {"X", E}, {"MATCHES", K}, {"\"3N\"", S}, {"THEN", K}});
  EXPECT_EQ(ReduceAll(std::move(t)), "IF MATCHES(X, \"3N\") THEN");
  // With no value in front there is nothing to test: left as written, nothing read before
  // the first slot.
  EXPECT_EQ(ReduceAll(Make({{"MATCHES", K}, {"\"3N\"", S}})), "MATCHES \"3N\"");
}

TEST(ReduceTokens, FormatMasks) {
  EXPECT_EQ(ReduceAll(Make({{"CRT", K}, {"X", E}, {"\"R#10\"", S}})), "CRT FMT(X, \"R#10\")");
  EXPECT_EQ(ReduceAll(Make({{"CRT", K}, {"X", E}})), "CRT X");
  EXPECT_EQ(ReduceAll(Make({{"IF", K}, {"X", E}, {"THEN", K}, {"Y", E}, {"=", R}, {"1", N}})),
            "IF X THEN Y = 1");
  EXPECT_EQ(ReduceAll(Make({{"EXECUTE", E}, {"CMD", E}})), "FMT(EXECUTE, CMD)");
  EXPECT_EQ(ReduceAll(Make({{"COMMON", E}, {"A", E}})), "FMT(COMMON, A)");
  EXPECT_EQ(ReduceAll(Make({{"SLEEP", E}, {"5", N}})), "SLEEP 5");
}

TEST(ReduceTokens, FunctionCallsMergeWithTheirName) {
  EXPECT_EQ(ReduceAll(Make({{"X", E}, {"=", R}, {"DATE", E}, {"(", O}, {")", X}})), "X = DATE( )");
  EXPECT_EQ(ReduceAll(Make({{"X", E}, {"=", R}, {"F", E}, {"(", O}, {"A", E}, {")", X}})),
            "X = F( A )");
  // A keyword in front of a group is not a function name.
  EXPECT_EQ(ReduceAll(Make({{"IF", K}, {"(", O}, {"A", E}, {")", X}, {"THEN", K}})),
            "IF ( A ) THEN");
}

TEST(ReduceTokens, NestedGroupsReduceInnermostFirst) {
  TokenList t = Make({{"X", E},
                      {"=", R},
                      {"F", E},
                      {"(", O},
                      {"G", E},
                      {"(", O},
                      {"A", E},
                      {")", X},
                      {",", C},
                      {"B", E},
                      {")", X}});
  EXPECT_EQ(ReduceAll(std::move(t)), "X = F( G( A ) , B )");
}

TEST(ReduceTokens, InsertWithSemicolon) {
  TokenList t = Make({{"D", E},
                      {"=", R},
                      {"INSERT", E},
                      {"(", O},
                      {"D", E},
                      {",", C},
                      {"1", N},
                      {",", C},
                      {"0", N},
                      {",", C},
                      {"0", N},
                      {kMark, E},
                      {"X", E},
                      {")", X}});
  EXPECT_EQ(ReduceAll(std::move(t)), "D = INSERT( D , 1 , 0 , 0 , X )");
}

TEST(ReduceTokens, SemicolonOfAnotherFunctionStaysAMarker) {
  TokenList t =
      Make({{"X", E}, {"=", R}, {"F", E}, {"(", O}, {"1", N}, {kMark, E}, {"2", N}, {")", X}});
  EXPECT_EQ(ReduceAll(std::move(t)), "X = F( 1 \xF6 2 )");
}

TEST(ReduceTokens, LocateFunctionWithOneSemicolon) {
  TokenList t = Make({{"LOCATE", K},
                      {"(", O},
                      {"X", E},
                      {",", C},
                      {"L", E},
                      {",", C},
                      {"1", N},
                      {kMark, E},
                      {"P", E},
                      {")", X},
                      {"ELSE", K}});
  EXPECT_EQ(ReduceAll(std::move(t)), "IF NOT LOCATE ( X, \"IN\" , L , 1 , \"SETTING\",  P ) THEN");
}

TEST(ReduceTokens, LocateFunctionWithOrderAndThen) {
  TokenList t = Make({{"LOCATE", K},
                      {"(", O},
                      {"X", E},
                      {",", C},
                      {"L", E},
                      {kMark, E},
                      {"P", E},
                      {kMark, E},
                      {"\"AL\"", S},
                      {")", X},
                      {"THEN", K}});
  EXPECT_EQ(ReduceAll(std::move(t)),
            "IF LOCATE ( X, \"IN\" , L , \"BY\", \"AL\", \"SETTING\", P ) THEN");
}

TEST(ReduceTokens, LocateFunctionWithoutClauseIsACall) {
  TokenList t =
      Make({{"LOCATE", K}, {"(", O}, {"X", E}, {",", C}, {"L", E}, {kMark, E}, {"P", E}, {")", X}});
  EXPECT_EQ(ReduceAll(std::move(t)), "CALL LOCATE ( X, \"IN\" , L , \"SETTING\",  P )");
}

TEST(ReduceTokens, LocateStatement) {
  TokenList t =
      Make({{"LOCATE", K}, {"X", E}, {"IN", K}, {"L", E}, {"SETTING", E}, {"P", E}, {"ELSE", K}});
  EXPECT_EQ(ReduceAll(std::move(t)), "IF NOT LOCATE( X , \"IN\", L , \"SETTING\", P ) THEN");
  TokenList u = Make({{"LOCATE", K},
                      {"X", E},
                      {"in", K},
                      {"L", E},
                      {"by", K},
                      {"\"AR\"", S},
                      {"setting", E},
                      {"P", E},
                      {"THEN", K}});
  EXPECT_EQ(ReduceAll(std::move(u)),
            "IF LOCATE( X , \"IN\", L , \"BY\", \"AR\" , \"SETTING\", P ) THEN");
  TokenList plain = Make({{"LOCATE", K}, {"X", E}, {"IN", K}, {"L", E}, {"SETTING", E}, {"P", E}});
  EXPECT_EQ(ReduceAll(std::move(plain)), "LOCATE X , \"IN\", L , \"SETTING\", P");
}

TEST(ReduceTokens, ConvertStatementAndFunctionForm) {
  TokenList t = Make({{"CONVERT", E}, {"\"a\"", S}, {"TO", K}, {"\"b\"", S}, {"IN", K}, {"S", E}});
  EXPECT_EQ(ReduceAll(std::move(t)), "S = CConvert(S, \"a\", \"b\") ");
  TokenList f =
      Make({{"CONVERT", E}, {"(", O}, {"S", E}, {",", C}, {"X", E}, {",", C}, {"Y", E}, {")", X}});
  EXPECT_EQ(ReduceAll(std::move(f)), "S = CConvert( S , X , Y )");
}

TEST(ReduceTokens, CallByName) {
  TokenList t = Make({{"CALL", K}, {"@S", E}, {"(", O}, {"A", E}, {",", C}, {"B", E}, {")", X}});
  EXPECT_EQ(ReduceAll(std::move(t)), "Call XCallByName(S, A , B )");
  TokenList empty = Make({{"CALL", K}, {"@S", E}, {"(", O}, {")", X}});
  EXPECT_EQ(ReduceAll(std::move(empty)), "Call XCallByName(S, )");
}

TEST(ReduceTokens, GroupBecomesOneValueThatNoLongerOpens) {
  TokenList t = Make({{"X", E}, {"(", O}, {"1", N}, {")", X}, {"Y", E}});
  ReduceTokens(t, 2, 4);
  EXPECT_EQ(Joined(t), "X( 1 ) | Y");
  EXPECT_EQ(t.T(1), "VARVAL");
}

}  // namespace
}  // namespace orvik::massage
