// The small string routines the translator and the page converter stand on.

#ifndef ORVIK_CONVERTER_CORE_STRING_WORKS_H_
#define ORVIK_CONVERTER_CORE_STRING_WORKS_H_

#include <string>
#include <string_view>

namespace orvik::massage {

// Every occurrence of `find` replaced, compared case-sensitively. The search goes on behind
// each inserted text, so replacement text is never searched again. An empty `find` leaves
// the text as it is.
std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement);

// The n-th field of `text` cut at `delimiter` (counted from 1; `n` is a text holding a whole
// number). "" when the text has fewer fields or n is not 1 or more.
std::string FieldOf(std::string_view text, std::string_view delimiter, std::string_view n);

// 0 for an empty text, else the number of (possibly overlapping) occurrences of the delimiter
// plus 1; an empty delimiter counts every character.
long CountFields(std::string_view text, std::string_view delimiter);

// A letter A-Z first and letters A-Z or digits after it, in any case.
bool IsIdentifier(std::string_view word);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_STRING_WORKS_H_
