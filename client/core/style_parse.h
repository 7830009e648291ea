// StyleParse: the body of one STYLE tag into a named record of the styles dictionary.
//
// GUI thread. Never fails: a value that does not decode drops its pair, a colour that does
// not convert is kept as its upper-cased text, an unknown key is ignored. The body is taken
// as the engine sent it, not upper-cased, so a picture file name keeps its case.

#ifndef ORVIK_CLIENT_CORE_STYLE_PARSE_H_
#define ORVIK_CLIENT_CORE_STYLE_PARSE_H_

#include <string_view>

#include "styles.h"

namespace orvik::client {

// `text` is the tag without its angle brackets, tag word first ("STYLE NAME=..."). The
// record is rebuilt from a built-in base every time: "mdefault" when NAME is mdefault (any
// case) or TYPE is MENU, else "fdefault" (TYPE FUNCTION forces it). Each key of the table
// writes its position; colours given as RGB(r,g,b) are stored as their decimal value; a
// size "*n" is n times the base font size of `cellWidth`. The record is stored under NAME
// ("" when the tag has none), replacing any earlier one.
void StyleParse(std::string_view text, StylesDictionary& styles, char tagSeparator,
                double cellWidth);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_STYLE_PARSE_H_
