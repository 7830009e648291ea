// Byte-text helpers shared by the converter: the platform's blank trimming, case folding
// and search rules, on std::string of ISO-8859-1 characters. Positions are 0-based.

#ifndef ORVIK_CONVERTER_CORE_TEXT_RULES_H_
#define ORVIK_CONVERTER_CORE_TEXT_RULES_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::massage {

inline constexpr std::string_view kCrLf = "\r\n";

// Characters the converter puts into statement text so that they pass its rewriting
// unchanged: an apostrophe and a double quote inside a string literal, and a ";" inside
// parentheses. A real byte of these values inside a literal is escaped with kLiteralEscape.
inline constexpr char kApostropheMarker = '\xF4';  // 244
inline constexpr char kQuoteMarker = '\xF5';       // 245
inline constexpr char kSemicolonMarker = '\xF6';   // 246
inline constexpr char kLiteralEscape = '\0';
// A word of its own in the working text where one statement becomes several VB lines (a
// file verb's LOCKED clause): the token stage starts a new line there.
inline constexpr char kLineBreakMarker = '\x1E';
inline constexpr std::string_view kLineBreakWord = "\x1E";

// Blanks are spaces only, as the platform's Trim has it.
std::string TrimBlanks(std::string_view s);
std::string TrimLeftBlanks(std::string_view s);
std::string TrimRightBlanks(std::string_view s);

// Upper case of ASCII and Latin-1 letters. The marks (252..255), 215, 247 and the
// converter's own markers are never changed.
char UpperChar(char c);
std::string UpperText(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWith(std::string_view s, std::string_view prefix);
bool EndsWith(std::string_view s, std::string_view suffix);
bool EndsWithNoCase(std::string_view s, std::string_view suffix);

// First occurrence of `needle` at or after `from`, compared without regard to case; npos when
// absent.
std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from = 0);
// Last occurrence of `needle` without regard to case; npos when absent.
std::size_t FindLastNoCase(std::string_view text, std::string_view needle);
// First occurrence of the word `word` (blank or either end of the text on both sides),
// without regard to case, at or after `from`. Returns the position of the word itself.
std::size_t FindWordNoCase(std::string_view text, std::string_view word, std::size_t from = 0);

// The first occurrence of `find` (any case) replaced; the text unchanged when absent.
std::string ReplaceFirstNoCase(std::string_view text, std::string_view find,
                               std::string_view replacement);
// Every occurrence of `find` (any case) replaced; the search goes on behind each
// replacement.
std::string ReplaceAllNoCase(std::string_view text, std::string_view find,
                             std::string_view replacement);
// The characters [pos, pos + length) replaced.
std::string ReplaceAt(std::string_view text, std::size_t pos, std::size_t length,
                      std::string_view replacement);

// The non-empty words of `text` between blanks.
std::vector<std::string> SplitWords(std::string_view text);
// `text` cut at every `delimiter` (empty pieces kept); an empty text gives no pieces.
std::vector<std::string> SplitAt(std::string_view text, char delimiter);

// A character of a label's name: letters, digits, points and underscores (OPEN.FILES,
// GIRAR_FIGURA, 10.5).
bool IsLabelCharacter(char c);

// True when the word reads as a decimal number: digits with at most one point, at least one
// digit, optionally an exponent (E and digits).
bool ReadsAsNumber(std::string_view word);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_TEXT_RULES_H_
