// Text as the system keeps it: std::string of single-byte (ISO-8859-1) characters, one byte
// one character, so positions and lengths are those the programs expect.

#ifndef ORVIK_FUNCTIONS_TEXT_H_
#define ORVIK_FUNCTIONS_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

// The marks of a dynamic array. They are always separators: there is no escaping.
inline constexpr char kAttributeMark = '\xFE';  // 254
inline constexpr char kValueMark = '\xFD';      // 253
inline constexpr char kSubValueMark = '\xFC';   // 252
inline constexpr char kItemLockMark = '\xFF';   // 255: joins lock keys, marks command recall

// The longest text the system builds. A request past it (a position of two thousand
// million, a width of the same) fails with "[14] Out of string space" instead of taking the
// machine's memory.
inline constexpr std::size_t kMaxTextLength = std::size_t{256} << 20;

// Throws VbError 14 when a text of `length` characters may not be built.
void CheckTextLength(std::size_t length);

// The pieces of `text` between the occurrences of `mark`: one more than there are marks.
std::vector<std::string> SplitAt(std::string_view text, char mark);

// Without the blanks (spaces only, as the platform's Trim) at either end.
std::string_view TrimBlanks(std::string_view s);

// Latin-1 case folding: ASCII and accented letters only. 215 (multiplication sign),
// 247 (division sign) and 252..255 (the marks) are never changed.
char UpperChar(char c);
char LowerChar(char c);
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);

inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Equality and search without regard to case, by the folding above.
bool EqualsNoCase(std::string_view a, std::string_view b);
// Offset of the first occurrence of `needle` at or after `from`, or npos. An empty needle
// is found at `from` when from <= size. Linear in the two lengths together.
std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from = 0);

// Exact search at or after `from` (npos when absent), using the C library's fast scanners.
std::size_t FindExact(std::string_view haystack, std::string_view needle, std::size_t from = 0);

// Every occurrence of a needle in a text, overlapping ones included, left to right, in one
// pass (Knuth-Morris-Pratt): the work is linear in the lengths of the text and the needle
// together, however much of the needle repeats itself. Searching again one character after
// each hit instead costs the needle's length per hit, which for a long self-similar
// delimiter is the square of the text's length.
// Borrows the text and the needle, which must outlive the scan; one thread at a time.
class OccurrenceScan {
 public:
  enum class Compare { kExact, kNoCase };
  OccurrenceScan(std::string_view text, std::string_view needle, Compare compare,
                 std::size_t from = 0);
  ~OccurrenceScan();
  OccurrenceScan(const OccurrenceScan&) = delete;
  OccurrenceScan& operator=(const OccurrenceScan&) = delete;

  // Offset of the next occurrence, or npos when none is left. An empty needle occurs at
  // every offset from `from` up to and including the text's length.
  std::size_t Next();

 private:
  char Fold(char c) const { return compare_ == Compare::kNoCase ? LowerChar(c) : c; }

  std::string_view text_;
  std::string folded_;       // the needle folded, for a search without regard to case
  std::string_view needle_;  // the needle as compared: borrowed, or folded_
  // Longest proper border of each prefix of the needle: this scan's own table, or the
  // thread's kept one (see text.cpp).
  std::vector<std::uint32_t> ownBorder_;
  std::vector<std::uint32_t>* border_;
  Compare compare_;
  std::size_t at_;           // next character of the text to read
  std::size_t matched_ = 0;  // characters of the needle matched in front of at_
};

// Text encodings at the system's edges.
std::string Latin1ToUtf8(std::string_view latin1);
// Characters outside Latin-1 become '?'.
std::string Utf8ToLatin1(std::string_view utf8);

}  // namespace orvik

#endif  // ORVIK_FUNCTIONS_TEXT_H_
