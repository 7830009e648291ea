#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "date_order.h"
#include "functions.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

TEST(FieldTest, PiecesAndColumns) {
  Functions f(true);
  EXPECT_EQ(f.Field("a,b,c", ",", 2), "b");
  EXPECT_EQ(f.Col1(), 2);
  EXPECT_EQ(f.Col2(), 4);
  EXPECT_EQ(f.Field("a,b,c", ",", 3), "c");
  EXPECT_EQ(f.Col1(), 4);
  EXPECT_EQ(f.Col2(), 6);
  EXPECT_EQ(f.Field("a,b", ",", 5), "");
  EXPECT_EQ(f.Col1(), 0);
  EXPECT_EQ(f.Col2(), 0);
  EXPECT_EQ(f.Field("a,b", ",", 0), "a");
  EXPECT_EQ(f.Field("a,b", ",", -3), "a");
}

TEST(FieldTest, ColumnsDescribeTheFirstPlaceOfThePiecesText) {
  Functions f(true);
  EXPECT_EQ(f.Field("x,y,x,z", ",", 3), "x");
  EXPECT_EQ(f.Col1(), 0);
  EXPECT_EQ(f.Col2(), 2);
  EXPECT_EQ(f.Field("x,y,x", ",", 3), "x");
  EXPECT_EQ(f.Col1(), 0);
  EXPECT_EQ(f.Col2(), 6);
}

TEST(FieldTest, EmptyPiecesAndDelimiters) {
  Functions f(true);
  EXPECT_EQ(f.Field("a,,c", ",", 2), "");
  EXPECT_EQ(f.Col1(), 0);
  EXPECT_EQ(f.Col2(), 1);
  EXPECT_EQ(f.Field("", ",", 1), "");
  EXPECT_EQ(f.Col1(), -1);
  EXPECT_EQ(f.Field("abc", "", 2), "");
  EXPECT_EQ(f.Col1(), 0);
  EXPECT_EQ(f.Col2(), 1);
  EXPECT_EQ(f.Field("a::b::c", "::", 3), "c");
  EXPECT_EQ(f.Col1(), 6);
}

TEST(DCountTest, Counts) {
  Functions f(true);
  EXPECT_EQ(f.DCount("", ",").ToLong(), 0);
  EXPECT_EQ(f.DCount("", "").ToLong(), 1);
  EXPECT_EQ(f.DCount("abc", "").ToLong(), 4);
  EXPECT_EQ(f.DCount("a", ",").ToLong(), 1);
  EXPECT_EQ(f.DCount("a,b", ",").ToLong(), 2);
  EXPECT_EQ(f.DCount(",,", ",").ToLong(), 3);
  EXPECT_EQ(f.DCount("aaa", "aa").ToLong(), 3);  // overlapping matches count
}

TEST(PropertyParseTest, FindsTheNameWithoutRegardToCase) {
  Functions f(true);
  EXPECT_EQ(f.PropertyParse("A=1;NAME=abc;", "name", ";").ToString(), "abc");
  EXPECT_TRUE(f.PropertyParse("A=1;", "name", ";").IsEmpty());
  EXPECT_EQ(f.PropertyParse("A=1;NAME=abc", "name", ";").ToString(), "abc");
  EXPECT_EQ(f.PropertyParse("XNAME=1;NAME=2", "name", ";").ToString(), "1");
}

TEST(PropertyParseTest, DelimiterInsideTheNameIsAnInvalidArgument) {
  Functions f(true);
  try {
    f.PropertyParse("A;B=1", "a;b", ";");
    FAIL();
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), vberr::kInvalidProcedureCall);
  }
  EXPECT_EQ(f.ErrorDetailFn(), "");
}

TEST(SegmentReplaceTest, ReplacesWithoutRescanning) {
  Functions f(true);
  EXPECT_EQ(f.SegmentReplace("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(f.SegmentReplace("a-b-c", "-", ""), "abc");
  EXPECT_EQ(f.SegmentReplace("abcabc", "bc", "X"), "aXaX");
  EXPECT_EQ(f.SegmentReplace("abc", "z", "X"), "abc");
  // An empty search text ends at once with the text unchanged.
  EXPECT_EQ(f.SegmentReplace("abc", "", "X"), "abc");
}

TEST(CConvertTest, TranslatesPairByPair) {
  Functions f(true);
  EXPECT_EQ(f.CConvert("abc", "ab", "x"), "xc");
  EXPECT_EQ(f.CConvert("a", "ab", "bc"), "c");  // a -> b, then b -> c
  EXPECT_EQ(f.CConvert("abc", "", "x"), "abc");
  EXPECT_EQ(f.CConvert("a,b,c", ",", ""), "abc");
  EXPECT_EQ(f.CConvert("ab", "ba", "ab"), "bb");  // b -> a gives "aa", then a -> b
}

// The composed map against the pairs applied to the text one at a time, on pairs that
// chain, swap back and forth and delete, over every byte.
TEST(CConvertTest, SameAsApplyingEachPairInTurn) {
  const auto inTurn = [](std::string text, const std::string& from, const std::string& to) {
    for (std::size_t i = 0; i < from.size(); ++i) {
      std::string next;
      for (char c : text) {
        if (c != from[i]) {
          next.push_back(c);
        } else if (i < to.size()) {
          next.push_back(to[i]);
        }
      }
      text = next;
    }
    return text;
  };
  Functions f(true);
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  std::srand(7);
  for (int round = 0; round < 200; ++round) {
    std::string from, to;
    const int pairs = std::rand() % 40;
    for (int i = 0; i < pairs; ++i) {
      // Few distinct bytes, so that pairs meet each other's results often.
      from.push_back(static_cast<char>(250 + std::rand() % 6));
      to.push_back(static_cast<char>(250 + std::rand() % 6));
    }
    to.resize(static_cast<std::size_t>(std::rand() % (pairs + 1)));
    ASSERT_EQ(f.CConvert(all, from, to), inTurn(all, from, to)) << round;
  }
  // A long list of pairs that keep trading three letters, the last ones deleting.
  std::string from, to;
  for (int i = 0; i < 100000; ++i) {
    from += "abc"[i % 3];
    to += "cab"[i % 2];
  }
  EXPECT_EQ(f.CConvert("abcd", from, to), inTurn("abcd", from, to));
  EXPECT_EQ(f.CConvert("abcd", from, to.substr(0, 99990)),
            inTurn("abcd", from, to.substr(0, 99990)));
}

TEST(IndexTest, CaseBlindOccurrences) {
  Functions f(true);
  EXPECT_EQ(f.Index("aXbxc", "x", 2), 4);
  EXPECT_EQ(f.Index("aXbxc", "x", 1), 2);
  EXPECT_EQ(f.Index("aXbxc", "x", 3), 0);
  EXPECT_EQ(f.Index("abc", "z", 1), 0);
  EXPECT_EQ(f.Index("abc", "a", 0), 0);
  EXPECT_EQ(f.Index("aaa", "aa", 2), 2);  // overlapping occurrences count
}

// What the members must return, written as the searches that restart one character after
// each hit: slow, but plainly right.
int RestartedCount(const std::string& s, const std::string& d, bool noCase) {
  const auto fold = [noCase](std::string t) {
    if (noCase) {
      for (char& c : t) c = LowerChar(c);
    }
    return t;
  };
  const std::string hay = fold(s), needle = fold(d);
  int count = 0;
  for (std::size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) {
    ++count;
  }
  return count;
}

TEST(OccurrenceSearch, AgreesWithARestartedSearchOnSelfSimilarTexts) {
  Functions f(true);
  // Few letters, so that delimiters overlap themselves and partial matches abound.
  std::srand(19);
  const char letters[] = {'a', 'A', 'b', '\xE9', '\xC9'};
  const auto text = [&](int max) {
    std::string t(static_cast<std::size_t>(std::rand() % (max + 1)), 'a');
    for (char& c : t) c = letters[std::rand() % 5];
    return t;
  };
  for (int round = 0; round < 3000; ++round) {
    const std::string s = text(30), d = text(5);
    SCOPED_TRACE(testing::Message() << "'" << s << "' '" << d << "'");
    if (!d.empty()) {
      EXPECT_EQ(f.DCount(s, d).ToLong(), RestartedCount(s, d, false) + (s.empty() ? 0 : 1));
    }
    const int occurrences = RestartedCount(s, d, true);
    for (int n = 1; n <= occurrences + 1 && !d.empty(); ++n) {
      std::size_t p = std::string::npos;
      int seen = 0;
      const std::string hay = LowerCase(s), needle = LowerCase(d);
      for (p = hay.find(needle); p != std::string::npos && ++seen < n;
           p = hay.find(needle, p + 1)) {
      }
      EXPECT_EQ(f.Index(s, d, n), p == std::string::npos ? 0 : static_cast<int>(p) + 1) << n;
    }
    const std::size_t from = s.empty() ? 0 : static_cast<std::size_t>(std::rand()) % s.size();
    EXPECT_EQ(FindNoCase(s, d, from), LowerCase(s).find(LowerCase(d), from)) << from;
  }
}

TEST(OccurrenceSearch, LongDelimitersOfOneRepeatedCharacter) {
  Functions f(true);
  const std::string s(4000, 'a'), d(2000, 'a');
  EXPECT_EQ(f.DCount(s, d).ToLong(), 2002);  // 2001 overlapping matches, plus one
  EXPECT_EQ(f.Index(s, std::string(2000, 'A'), 2001), 2001);
  EXPECT_EQ(f.Index(s, std::string(2000, 'A'), 2002), 0);
  EXPECT_EQ(f.PropertyParse(std::string(3000, 'x') + "KEY=1;", "key", ";").ToString(), "1");
}

// A search text longer than the text searched is found nowhere, and finding that out takes
// no memory: the child below may not grow its data by more than the search text's size.
TEST(OccurrenceSearch, LongerThanTheTextCostsNothing) {
  Functions f(true);
  const std::string needle(std::size_t{64} << 20, 'x');
  EXPECT_EQ(f.Index("abc", needle, 1), 0);
  EXPECT_EQ(f.DCount("abc", needle).ToLong(), 1);
  EXPECT_EQ(f.DCount("", needle).ToLong(), 0);
  EXPECT_EQ(FindNoCase("abc", "abcd", 0), std::string_view::npos);
  EXPECT_EQ(f.Index(std::string(3, 'X'), "xxx", 1), 1);  // exactly as long still occurs
#if !defined(__SANITIZE_ADDRESS__)
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit data{};
    getrlimit(RLIMIT_DATA, &data);
    std::FILE* status = std::fopen("/proc/self/status", "r");
    long kb = 0;
    char line[256];
    while (status && std::fgets(line, sizeof line, status)) {
      if (std::sscanf(line, "VmData: %ld", &kb) == 1) break;
    }
    data.rlim_cur = static_cast<rlim_t>(kb) * 1024 + needle.size();
    setrlimit(RLIMIT_DATA, &data);
    try {
      const bool none = f.Index("abc", needle, 1) == 0 && f.DCount("abc", needle).ToLong() == 1;
      std::_Exit(none ? 0 : 1);
    } catch (...) {
      std::_Exit(2);
    }
  }
  int result = 0;
  ASSERT_EQ(waitpid(child, &result, 0), child);
  EXPECT_TRUE(WIFEXITED(result) && WEXITSTATUS(result) == 0) << result;
#endif
}

TEST(SmallTextFunctions, AlphaNumSeqSStr) {
  Functions f(true);
  EXPECT_TRUE(f.Alpha(""));
  EXPECT_TRUE(f.Alpha("AbZ"));
  EXPECT_FALSE(f.Alpha("ab1"));
  EXPECT_FALSE(f.Alpha("a b"));
  EXPECT_FALSE(f.Alpha("\xE9"));
  EXPECT_TRUE(f.Num(Variant("")));
  EXPECT_TRUE(f.Num(Variant()));
  EXPECT_TRUE(f.Num(Variant("-1,234.5e2")));
  EXPECT_FALSE(f.Num(Variant("12a")));
  EXPECT_EQ(f.Seq(""), 255);
  EXPECT_EQ(f.Seq("A"), 65);
  EXPECT_EQ(f.Seq("\xFE"), 254);
  EXPECT_EQ(f.SStr("ab", 3), "aaa");
  EXPECT_EQ(f.SStr("", 3), "");
  EXPECT_EQ(f.SStr("a", -1), "");
  EXPECT_EQ(f.SStr("a", 0), "");
}

TEST(SmallTextFunctions, AlphaClearsTheErrorDetail) {
  Functions f(true);
  f.SetErrorDetailFn("old");
  f.Alpha("x");
  EXPECT_EQ(f.ErrorDetailFn(), "");
}

TEST(SmallTextFunctions, HugeRepeatFailsWithANumberedMessage) {
  Functions f(true);
  EXPECT_EQ(f.SStr("a", 2000000000), "");
  EXPECT_EQ(f.ErrorDetailFn(), "[14] Out of string space");
}

TEST(SleepTest, ProcessesEventsWhileWaiting) {
  int argc = 0;
  QCoreApplication app(argc, nullptr);
  Functions f(true);
  bool fired = false;
  QTimer::singleShot(10, [&] { fired = true; });
  const auto start = std::chrono::steady_clock::now();
  f.Sleep(0.1);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(fired);
  EXPECT_GE(waited, std::chrono::milliseconds(100));
}

TEST(DateOrderTest, OverrideAndLocale) {
  SetDateOrderOverride(false);
  EXPECT_FALSE(Functions().MonthFirst());
  SetDateOrderOverride(true);
  EXPECT_TRUE(Functions().MonthFirst());
  SetDateOrderOverride(std::nullopt);
  // The C locale's dates read month first; the probe reads the locale from the environment.
  const char* saved = std::getenv("LC_ALL");
  const std::string keep = saved ? saved : "";
  ::setenv("LC_ALL", "C", 1);
  EXPECT_TRUE(DateOrderProbe());
  saved ? ::setenv("LC_ALL", keep.c_str(), 1) : ::unsetenv("LC_ALL");
  EXPECT_FALSE(Functions(false).MonthFirst());
}

// Latin-1 text as the embedded store keeps it (UTF-8) and back: every byte value survives,
// wherever it stands against the sixteen-byte blocks the conversion reads, and what is no
// Latin-1 character reads as "?".
TEST(EncodingTest, EveryByteSurvivesTheStoresEncodingAndWhatIsNoLatin1ReadsAsAQuestionMark) {
  for (std::size_t prefix = 0; prefix <= 40; ++prefix) {
    for (int byte = 0; byte < 256; ++byte) {
      const std::string text = std::string(prefix, 'a') + static_cast<char>(byte) + "tail";
      ASSERT_EQ(Utf8ToLatin1(Latin1ToUtf8(text)), text) << prefix << " " << byte;
    }
  }
  std::string all;
  for (int round = 0; round < 3; ++round)
    for (int byte = 0; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
  EXPECT_EQ(Utf8ToLatin1(Latin1ToUtf8(all)), all);

  EXPECT_EQ(Utf8ToLatin1("\x80"), "?");        // a continuation alone
  EXPECT_EQ(Utf8ToLatin1("abc\xC3"), "abc?");  // cut short at the end
  EXPECT_EQ(Utf8ToLatin1("\xC3"
                         "AB"),
            "?AB");                                    // not continued
  EXPECT_EQ(Utf8ToLatin1("x\xE2\x82\xACy"), "x?y");    // the euro sign, past Latin-1
  EXPECT_EQ(Utf8ToLatin1("\xF0\x9F\x98\x80!"), "?!");  // past the first plane
  EXPECT_EQ(Utf8ToLatin1(std::string(20, 'q') + "\xC3\xBE" + std::string(20, 'r')),
            std::string(20, 'q') + "\xFE" + std::string(20, 'r'));
  // Random bytes, valid or not, at every place: as a character at a time reads them.
  const auto byCharacter = [](std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
      const auto c = static_cast<unsigned char>(utf8[i]);
      const int extra = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
      unsigned code = extra <= 0 ? c : c & (0x3Fu >> extra);
      bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < utf8.size();
      for (int k = 1; ok && k <= extra; ++k) {
        const auto cc = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
        ok = (cc & 0xC0) == 0x80;
        code = (code << 6) | (cc & 0x3F);
      }
      out.push_back(ok && code <= 0xFF ? static_cast<char>(code) : '?');
      i += ok ? static_cast<std::size_t>(extra) + 1 : 1;
    }
    return out;
  };
  std::mt19937 random(5);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 80, 'a');
    for (char& c : bytes) c = static_cast<char>(random() % 3 == 0 ? random() : 'a' + random() % 26);
    ASSERT_EQ(Utf8ToLatin1(bytes), byCharacter(bytes)) << round;
  }
}

}  // namespace
}  // namespace orvik
