// The pieces every reader of the engine's markup shares: the walk over a text's items (a
// tag and the text after it), the normal form of a tag body, and whole numbers read from
// attribute texts.
//
// Pure; any thread. Nothing here throws.

#ifndef ORVIK_CLIENT_CORE_MARKUP_H_
#define ORVIK_CLIENT_CORE_MARKUP_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::client {

// One tag and the text after it.
struct MarkupItem {
  std::size_t start = 0;  // the "<"
  std::string_view body;  // between "<" and the next ">"
  std::string_view tail;  // from that ">" up to the next "<", or to the end
};

// The items of `text` from its first "<" on. The walk stops at a "<" with no ">" after it,
// so the text from there on belongs to no item; everything before the first "<" is in none.
std::vector<MarkupItem> MarkupItems(std::string_view text);

// A tag body as the readers compare it: upper-cased, and with every "," a blank when
// `commas` (a tag separator of ",").
std::string TagBody(std::string_view body, bool commas);

// The text before the first blank (the whole text when it has none).
std::string_view FirstWord(std::string_view body);

// The leading number of a text, rounded half to even into 32 bits (clamped, so that no
// attribute value overflows); 0 for a text that is no number.
std::int32_t LongOf(std::string_view text);
// A number rounded the same way.
std::int32_t LongOf(double number);

// A separator as the client keeps it: ',' or else a blank.
inline char SeparatorOf(char c) { return c == ',' ? ',' : ' '; }

// The character right after `word` at `at` in `text` as a separator; a blank when there is
// none.
char SeparatorAfter(std::string_view text, std::size_t at, std::size_t wordLength);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_MARKUP_H_
