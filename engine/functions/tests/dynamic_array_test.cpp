#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "error_number.h"
#include "functions.h"
#include "vb_error.h"

namespace orvik {
namespace {

// Items written with ^ for the attribute mark, ] for the value mark, \ for the subvalue mark.
std::string D(std::string s) {
  for (char& c : s) {
    if (c == '^') c = kAttributeMark;
    if (c == ']') c = kValueMark;
    if (c == '\\') c = kSubValueMark;
  }
  return s;
}

using test_support::ErrorNumber;

const Variant kNo = Variant::Missing();

TEST(ExtractTest, ReadsEachLevelAndEmptyPastTheEnd) {
  Functions f(true);
  const std::string s = D("a^b]c\\d");
  EXPECT_EQ(f.Extract(s, 2, 2, 2), Variant("d"));
  EXPECT_EQ(f.Extract(s, 2, 0), Variant(D("b]c\\d")));
  EXPECT_EQ(f.Extract(s, 0), Variant("a"));
  EXPECT_EQ(f.Extract(s, 5), Variant(""));
  // Past the end at every level: an empty piece is searched again, never a null pointer.
  EXPECT_EQ(f.Extract("a", 5, 1), Variant(""));
  EXPECT_EQ(f.Extract("a", 5, 2, 3), Variant(""));
  EXPECT_EQ(f.Extract("", 1, 1, 1), Variant(""));
}

TEST(ExtractTest, ColumnsAreThoseOfFieldAtTheLastLevel) {
  Functions f(true), ref(true);
  const std::string am(1, kAttributeMark), vm(1, kValueMark), svm(1, kSubValueMark);
  for (const char* item : {"", "x", "x^y]x\\z", "ab]c^ab]c\\c]c^^q", "^]\\"}) {
    const std::string s = D(item);
    for (int a = 0; a <= 4; ++a) {
      for (int v = 0; v <= 3; ++v) {
        for (int sv = 0; sv <= 3; ++sv) {
          std::string want = ref.Field(s, am, a);
          if (v >= 1) want = ref.Field(want, vm, v);
          if (v >= 1 && sv > 0) want = ref.Field(want, svm, sv);
          SCOPED_TRACE(testing::Message() << item << " " << a << "," << v << "," << sv);
          EXPECT_EQ(f.Extract(s, a, v, sv), Variant(want));
          EXPECT_EQ(f.Col1(), ref.Col1());
          EXPECT_EQ(f.Col2(), ref.Col2());
        }
      }
    }
  }
}

// Long items: the pieces and columns as a plain split and find give them, whichever block
// boundary a mark or a repeated text falls on.
TEST(ExtractTest, LongItemsGiveThePiecesAndColumnsOfAPlainSplit) {
  Functions f(true);
  std::string item;
  std::vector<std::string> pieces;
  for (int k = 1; k <= 3000; ++k) {
    // Repeats, so that a piece's text often stands earlier in the item than the piece.
    pieces.push_back(k % 7 == 0 ? "" : "v" + std::to_string(k % 97) + (k % 3 ? "" : "]x"));
    if (k > 1) item.push_back(kAttributeMark);
    item += D(pieces.back());
  }
  std::size_t start = 0;
  for (int k = 1; k <= 3001; ++k) {
    const std::string want = k <= 3000 ? D(pieces[k - 1]) : "";
    SCOPED_TRACE(k);
    ASSERT_EQ(f.Extract(item, k), Variant(want));
    if (k > 3000) continue;
    const std::size_t first = want.empty() ? 0 : item.substr(0, start + want.size()).find(want);
    EXPECT_EQ(f.Col1(), static_cast<std::int32_t>(first));
    EXPECT_EQ(f.Col2(), k == 3000 ? static_cast<std::int32_t>(item.size() + 1)
                                  : static_cast<std::int32_t>(first + want.size() + 1));
    start += want.size() + 1;
  }
  EXPECT_EQ(f.Extract(item, 3000, 2), Variant("x"));  // "v90]x"
}

TEST(RReplaceTest, ReplacesOrExtendsAtEachLevel) {
  Functions f(true);
  EXPECT_EQ(f.RReplace("", -1, "x"), "x");
  EXPECT_EQ(f.RReplace("a", -1, "x"), D("a^x"));
  EXPECT_EQ(f.RReplace("a", 3, "x"), D("a^^x"));
  EXPECT_EQ(f.RReplace(D("a^b"), 1, "x", kNo, "z"), D("x^b"));  // c alone does not descend
  EXPECT_EQ(f.RReplace(D("a^b"), 2, 2, "y"), D("a^b]y"));
  EXPECT_EQ(f.RReplace(D("a^b"), 2, -1, 1, "z"), D("a^b]z"));
  EXPECT_EQ(f.RReplace(D("a^b]c\\d]e^f"), 2, 2, 1, "x"), D("a^b]x\\d]e^f"));
  EXPECT_EQ(f.RReplace(D("a^b]c"), 4, 2, 3, 7), D("a^b]c^^]\\\\7"));
  // Positions convert as the platform does: halves to the even neighbour.
  EXPECT_EQ(f.RReplace(D("a]b]c]d"), 1, 2.5, "x"), D("a]x]c]d"));
  EXPECT_EQ(f.RReplace(D("a]b]c]d"), 1, "3.5", "x"), D("a]b]c]x"));
}

// Items long enough to be passed over whole blocks at a time: the piece replaced, inserted
// before or deleted is the one a plain split names, and the item grows by the missing marks.
TEST(RReplaceTest, LongItemsChangeAtThePieceAPlainSplitNames) {
  Functions f(true);
  std::vector<std::string> pieces;
  for (int i = 1; i <= 700; ++i) pieces.push_back(i % 7 == 0 ? "" : "v" + std::to_string(i));
  const auto join = [](const std::vector<std::string>& v) {
    std::string s;
    for (std::size_t i = 0; i < v.size(); ++i) s += (i ? "\xFE" : "") + v[i];
    return s;
  };
  const std::string item = join(pieces);
  for (const std::size_t at : {1u, 63u, 64u, 65u, 350u, 699u, 700u, 701u, 765u}) {
    std::vector<std::string> replaced = pieces, inserted = pieces, deleted = pieces;
    if (replaced.size() < at) replaced.resize(at);
    replaced[at - 1] = "new";
    if (inserted.size() < at) inserted.resize(at - 1);
    inserted.insert(inserted.begin() + static_cast<std::ptrdiff_t>(at - 1), "new");
    if (at <= deleted.size()) deleted.erase(deleted.begin() + static_cast<std::ptrdiff_t>(at - 1));
    const auto n = static_cast<std::int32_t>(at);
    EXPECT_EQ(f.RReplace(item, n, "new"), join(replaced)) << at;
    EXPECT_EQ(f.Insert(item, n, "new"), join(inserted)) << at;
    EXPECT_EQ(f.Dylete(item, n), at <= pieces.size() ? join(deleted) : item) << at;
    EXPECT_EQ(f.Extract(item, n), Variant(at <= pieces.size() ? pieces[at - 1] : "")) << at;
  }
}

TEST(RReplaceTest, RaisesItsErrorsToTheCaller) {
  Functions f(true);
  f.SetErrorDetailFn("earlier");
  EXPECT_EQ(ErrorNumber([&] { f.RReplace("a", 0, "x"); }), vberr::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumber([&] { f.RReplace("a", 1, -2, "x"); }), vberr::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumber([&] { f.RReplace("a", 1, "two", "x"); }), vberr::kTypeMismatch);
  // A position far past the end would need gigabytes of marks.
  EXPECT_EQ(ErrorNumber([&] { f.RReplace("a", 2000000000, "x"); }), vberr::kOutOfStringSpace);
  EXPECT_EQ(ErrorNumber([&] { f.RReplace("a", 1, 1, 2000000000, "x"); }), vberr::kOutOfStringSpace);
  EXPECT_EQ(f.ErrorDetailFn(), "earlier");

  f.SetRReplaceSafety(true);
  EXPECT_EQ(f.RReplace("a", 1, 1, 1, D("x]y")), D("x]y"));
  try {
    f.RReplace("a", 1, 1, 1, D("x^y"));
    ADD_FAILURE() << "no safety error";
  } catch (const VbError& e) {
    EXPECT_EQ(e.Message(), "[941] RReplace safety violation, attr contains Chr(254)");
  }
}

TEST(InsertTest, PutsTheNewPieceBeforeAnExistingOne) {
  Functions f(true);
  EXPECT_EQ(f.Insert(D("a^b"), 1, "x"), D("x^a^b"));
  EXPECT_EQ(f.Insert(D("a^b"), 3, "x"), D("a^b^x"));
  EXPECT_EQ(f.Insert(D("a^b"), -1, "x"), D("a^b^x"));
  EXPECT_EQ(f.Insert(D("a^b]c^d"), 2, 2, "x"), D("a^b]x]c^d"));
  EXPECT_EQ(f.Insert(D("a^b]c\\d"), 2, 2, 1, "x"), D("a^b]x\\c\\d"));
  EXPECT_EQ(f.Insert(D("a^b"), 2, 3, "x"), D("a^b]]x"));
  // An empty text has no pieces, an empty last piece is still one.
  EXPECT_EQ(f.Insert("", 1, "x"), "x");
  EXPECT_EQ(f.Insert(D("a^"), 2, "x"), D("a^x^"));
}

TEST(InsertTest, TrapsFailuresAndReturnsTheTextUnchanged) {
  Functions f(true);
  const std::string s = D("a^b");
  const struct {
    std::int32_t i254;
    Variant a, b;
    const char* message;
  } cases[] = {
      {0, "x", kNo, "[9] Subscript out of range"},
      {1, "x", "y", "[13] Type mismatch"},
      {2000000000, "x", kNo, "[14] Out of string space"},
      {1, Variant::Null(), kNo, "[94] Invalid use of Null"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(f.Insert(s, c.i254, c.a, c.b), s);
    EXPECT_EQ(f.ErrorDetailFn(), c.message);
  }
  f.SetInsertSafety(true);
  EXPECT_EQ(f.Insert(s, 1, 1, D("x^")), s);
  EXPECT_EQ(f.ErrorDetailFn(), "[942] Insert safety violation, attr contains Chr(254)");
  EXPECT_EQ(f.Insert(s, 1, 1, "x"), D("x]a^b"));
  EXPECT_EQ(f.ErrorDetailFn(), "");
}

TEST(DyleteTest, RemovesThePieceWithOneMark) {
  Functions f(true);
  EXPECT_EQ(f.Dylete(D("a^b"), 1), "b");
  EXPECT_EQ(f.Dylete("a", 1), "");
  EXPECT_EQ(f.Dylete(D("a^b]c"), 2, 1), D("a^c"));
  EXPECT_EQ(f.Dylete(D("a^b]c^d"), 2, 2), D("a^b^d"));
  EXPECT_EQ(f.Dylete(D("a^b^c"), 2, 1), D("a^^c"));
  EXPECT_EQ(f.Dylete(D("a^b]c\\d\\e]f"), 2, 2, 2), D("a^b]c\\e]f"));
  EXPECT_EQ(f.Dylete(D("a^b]c"), 1, kNo, 1), D("b]c"));  // b without a: the attribute
  EXPECT_EQ(f.ErrorDetailFn(), "");
}

TEST(DyleteTest, ReportsBadPositionsAndKeepsTheText) {
  Functions f(true);
  const std::string s = D("a^b]c\\d^");
  const struct {
    std::int32_t i254;
    Variant a, b;
    const char* message;
  } cases[] = {
      {4, kNo, kNo, "[FN1] Dylete: argument out of range"},
      {2, 0, kNo, "[FN1] Dylete: argument out of range"},
      {2, 3, kNo, "[FN1] Dylete: argument out of range"},
      {2, 2, 3, "[FN1] Dylete: argument out of range"},
      {3, 1, kNo, "[FN1] Dylete: argument out of range"},  // an empty attribute has no values
      {0, kNo, kNo, "[9] Subscript out of range"},
      {2, "one", kNo, "[13] Type mismatch"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(f.Dylete(s, c.i254, c.a, c.b), s);
    EXPECT_EQ(f.ErrorDetailFn(), c.message);
  }
  // A lone attribute is not lost to a position that names none.
  EXPECT_EQ(f.Dylete("a", 0), "a");
  EXPECT_EQ(f.ErrorDetailFn(), "[9] Subscript out of range");
  EXPECT_EQ(f.Dylete("", 0, 1), "");
  EXPECT_EQ(f.ErrorDetailFn(), "");
  EXPECT_EQ(f.Dylete("", 1), "");
  EXPECT_EQ(f.ErrorDetailFn(), "[FN1] Dylete: argument out of range");
}

// Locate with the options given, the setting variable added last; returns its answer and
// the setting.
std::pair<bool, Variant> Find(Functions& f, std::string_view find, const std::string& in,
                              std::vector<Variant> options = {}) {
  options.push_back("unset");
  const bool found = f.Locate(find, "", in, options);
  return {found, options.back()};
}

TEST(LocateTest, FindsPiecesOfTheHighestLevel) {
  Functions f(true);
  using R = std::pair<bool, Variant>;
  EXPECT_EQ(Find(f, "b", D("a]b]c"), {1}), R(true, 2));
  EXPECT_EQ(Find(f, "z", D("a]b]c"), {1}), R(false, 4));
  EXPECT_EQ(Find(f, "b", D("a^x]b")), R(false, 3));
  EXPECT_EQ(Find(f, "b", D("b]a]b"), {2}), R(true, 3));
  EXPECT_EQ(Find(f, "b", D("a]b"), {5}), R(false, 5));
  EXPECT_EQ(Find(f, "", D("a]]b")), R(true, 2));
  // Without marks the text is one piece, with rules of its own.
  EXPECT_EQ(Find(f, "a", "a", {5}), R(true, 1));
  EXPECT_EQ(Find(f, "a", "b", {2}), R(false, 2));
  EXPECT_EQ(Find(f, "a", ""), R(false, 1));
  EXPECT_EQ(Find(f, "", "b"), R(false, 2));
  EXPECT_EQ(Find(f, "a", "b", {"BY", "AL"}), R(false, 1));
}

// Unordered searches of long lists, against a plain split: the text as a whole value only,
// never across a mark or inside a longer value, from any start.
TEST(LocateTest, UnorderedSearchMatchesWholeValuesOfAPlainSplit) {
  Functions f(true);
  std::mt19937 random(3);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::string> values;
    std::string list;
    const int count = 2 + static_cast<int>(random() % 60);  // marks present: a list
    for (int i = 0; i < count; ++i) {
      std::string v;
      for (unsigned n = random() % 4; n > 0; --n) v.push_back("ab\\"[random() % 3]);
      values.push_back(v);
      if (i) list.push_back(kValueMark);
      list += D(v);
    }
    for (const char* find : {"a", "ab", "ba", "a\\b", "aa", "b]a", "abab"}) {
      for (int start = 1; start <= 3; ++start) {
        std::int32_t want = start > count ? start : count + 1;
        bool found = false;
        for (int i = start; i <= count && !found; ++i) {
          if (D(values[i - 1]) == D(find)) {
            want = i;
            found = true;
          }
        }
        std::vector<Variant> d{Variant(start), Variant()};
        SCOPED_TRACE(testing::Message() << list.size() << " " << find << " " << start);
        ASSERT_EQ(f.Locate(D(find), "", list, d), found);
        ASSERT_EQ(d[1], Variant(want));
      }
    }
  }
}

TEST(LocateTest, StopsWhereASequenceWouldPlaceTheText) {
  Functions f(true);
  using R = std::pair<bool, Variant>;
  const std::string numbers = D("2]5]20");
  EXPECT_EQ(Find(f, "bb", D("a]b]c"), {1, "by", "al"}), R(false, 3));
  EXPECT_EQ(Find(f, "bb", D("c]b]a"), {"BY", "DL"}), R(false, 2));
  EXPECT_EQ(Find(f, "z", D("a]\xE9"), {"by", "al"}), R(false, 2));  // bytes compare unsigned
  EXPECT_EQ(Find(f, "10", numbers, {"by", "al"}), R(false, 1));
  EXPECT_EQ(Find(f, "10", numbers, {"by", "ar"}), R(false, 3));
  EXPECT_EQ(Find(f, "10", D("20]5]2"), {"by", "dr"}), R(false, 2));
  EXPECT_EQ(Find(f, "10", numbers, {2, "by", "xx"}), R(false, 4));
  // Text that is not wholly a number, and empty text, count as 0.
  EXPECT_EQ(Find(f, "5", D("x]]7x]3]7e0]9"), {"by", "ar"}), R(false, 5));
  EXPECT_EQ(Find(f, "-1", D("4]x]-3"), {"by", "dr"}), R(false, 3));
}

TEST(LocateTest, NumericOrderLeavesTheMaskMessageOnlyAfterComparing) {
  Functions f(true);
  f.SetErrorDetailFn("");
  Find(f, "2", D("2]5"), {"by", "ar"});
  EXPECT_EQ(f.ErrorDetailFn(), "");
  Find(f, "5", D("2]5"), {"by", "ar"});
  EXPECT_EQ(f.ErrorDetailFn(), "Received MR with no numerics");
  f.SetErrorDetailFn("");
  Find(f, "5", D("2]5"), {"by", "al"});
  EXPECT_EQ(f.ErrorDetailFn(), "");
}

TEST(LocateTest, StartAndSettingVariable) {
  Functions f(true);
  // The setting variable alone: search from the start, no sequence.
  std::vector<Variant> alone{Variant(7)};
  EXPECT_TRUE(f.Locate("b", "", D("a]b"), alone));
  EXPECT_EQ(alone[0], Variant(2));
  EXPECT_FALSE(f.Locate("z", "", D("b]a"), alone));
  EXPECT_EQ(alone[0], Variant(3));

  EXPECT_EQ(ErrorNumber([&] { f.Locate("a", "", "a", {}); }), vberr::kSubscriptOutOfRange);
  std::vector<Variant> zero{0, "setting"};
  EXPECT_EQ(ErrorNumber([&] { f.Locate("b", "", D("a]b"), zero); }), vberr::kSubscriptOutOfRange);
  EXPECT_EQ(zero[1], Variant(0));

  // Called by name, the caller's own variable receives the setting.
  std::vector<Variant> args{"c", "", D("a]b]c"), Variant()};
  EXPECT_EQ(f.Call("Locate", args), Variant(true));
  EXPECT_EQ(args[3], Variant(3));
}

TEST(DynamicArrayTest, ValueMarksAndLineBreaks) {
  Functions f(true);
  EXPECT_EQ(f.MVR(D("a]b]")), "a\r\nb\r\n");
  EXPECT_EQ(f.MVR(Variant::Null()), "");
  EXPECT_EQ(f.MVR(12), "12");
  EXPECT_EQ(f.MVW("a\r\nb\r\n"), D("a]b]"));
  EXPECT_EQ(f.MVW("a\rb\n\r\r\nc\n"), D("a\rb\n\r]c\n"));
}

}  // namespace
}  // namespace orvik
