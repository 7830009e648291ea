#include "byte_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace orvik {
namespace {

constexpr auto npos = std::string_view::npos;

// The n-th mark by the plainest loop.
std::size_t NthByLoop(std::string_view s, char mark, std::size_t n, std::size_t from) {
  for (std::size_t i = from; i < s.size(); ++i) {
    if (s[i] == mark && --n == 0) return i;
  }
  return npos;
}

// Texts of every length around the block size, marks and lookalike bytes at every place.
TEST(ByteScanTest, MarksAreFoundAndCountedAsAPlainLoopFindsThem) {
  std::mt19937 random(7);
  for (std::size_t length = 0; length <= 70; ++length) {
    for (int round = 0; round < 5; ++round) {
      std::string s(length, 'a');
      for (char& c : s) {
        const unsigned r = random() % 6;
        c = r == 0 ? '\xFE' : r == 1 ? '\xFD' : r == 2 ? '\x7E' : static_cast<char>('a' + r);
      }
      const std::string_view view(s);
      for (std::size_t from = 0; from <= length; ++from) {
        EXPECT_EQ(NextByte(view, '\xFE', from), view.find('\xFE', from)) << s << " " << from;
        for (std::size_t n = 0; n <= length + 1; ++n)
          ASSERT_EQ(NthByte(view, '\xFE', n, from),
                    n == 0 ? npos : NthByLoop(view, '\xFE', n, from))
              << length << " " << from << " " << n;
      }
    }
  }
}

// Texts over several blocks of 64, from all marks to none: counted whole blocks at a time,
// then found within the block that holds the one wanted.
TEST(ByteScanTest, LongTextsOfEveryDensityAreCountedAsAPlainLoopCountsThem) {
  std::mt19937 random(13);
  for (const unsigned density : {0u, 1u, 2u, 10u, 100u}) {  // marks in 100 bytes
    for (std::size_t length : {63u, 64u, 65u, 127u, 128u, 129u, 300u, 1000u, 4099u}) {
      std::string s(length, 'a');
      for (char& c : s) c = random() % 100 < density ? '\xFE' : '\xFD';
      const std::string_view view(s);
      const auto total = static_cast<std::size_t>(std::count(s.begin(), s.end(), '\xFE'));
      EXPECT_EQ(CountByte(view, '\xFE'), total) << length << " " << density;
      for (int round = 0; round < 200; ++round) {
        const std::size_t from = random() % (length + 1);
        const std::size_t n = 1 + random() % (total + 2);
        std::size_t missing = 0;
        const std::size_t found = NthByte(view, '\xFE', n, from, &missing);
        ASSERT_EQ(found, NthByLoop(view, '\xFE', n, from))
            << length << " " << density << " " << from << " " << n;
        // Short of marks, it says by how many: what a level grows by to reach piece n + 1.
        const std::size_t there = static_cast<std::size_t>(
            std::count(view.begin() + static_cast<std::ptrdiff_t>(from), view.end(), '\xFE'));
        if (found == npos) ASSERT_EQ(missing, n - there) << length << " " << from << " " << n;
      }
    }
  }
}

TEST(ByteScanTest, FirstOccurrenceIsTheFirstAsFindSeesIt) {
  std::mt19937 random(11);
  for (std::size_t length = 0; length <= 90; ++length) {
    for (int round = 0; round < 20; ++round) {
      std::string s(length, 'a');
      for (char& c : s) c = "ab\xFE"[random() % 3];
      for (std::size_t needle = 0; needle <= std::min<std::size_t>(length + 1, 40); ++needle) {
        // Needles from the text itself (found) and made up (often absent).
        std::string made(needle, 'a');
        for (char& c : made) c = "ab\xFE"[random() % 3];
        const std::size_t at = length ? random() % length : 0;
        const std::string taken = s.substr(at, needle);
        for (const std::string& n : {made, taken})
          ASSERT_EQ(FirstOccurrence(s, n), std::string_view(s).find(n)) << s << " / " << n;
      }
    }
  }
  // A long needle goes to the linear search, and a text made to defeat the candidate check
  // still answers.
  const std::string hay = std::string(5000, 'a') + "b" + std::string(5000, 'a');
  const std::string longNeedle = std::string(100, 'a') + "b" + std::string(100, 'a');
  EXPECT_EQ(FirstOccurrence(hay, longNeedle), 4900u);
  EXPECT_EQ(FirstOccurrence(hay, std::string(20, 'a') + "c" + std::string(10, 'a')), npos);
}

}  // namespace
}  // namespace orvik
