// Decoding of the values in settings texts, STYLE tags and the screen's item values, and the
// forgiving Boolean reading of flags.
//
// Pure functions on Latin-1 text, callable from any thread. ValueDecode throws VbError to its
// caller (the settings and style parsers drop the pair); SafeBool never throws.

#ifndef ORVIK_CLIENT_CORE_VALUE_DECODE_H_
#define ORVIK_CLIENT_CORE_VALUE_DECODE_H_

#include <string>
#include <string_view>

namespace orvik::client {

// Replaces, without regard to case, the escapes {COMMA}, {LT}, {GT} and the entities &gt;
// &lt; &amp; &quot; &apos; in one pass from left to right (so "&amp;quot;" gives the text
// "&quot;", never a double quote), then every CHAR(n) and after them every CHR(n) by the
// character of code n (the leading number of n, rounded; an empty n is code 0).
// Throws VbError 5 for an escape without its ")" or a code outside 0 to 255.
std::string ValueDecode(std::string_view text);

// False for "" and for a text that is no Boolean; otherwise "True"/"False" in any case, or a
// number (0 is false).
bool SafeBool(std::string_view text);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_VALUE_DECODE_H_
