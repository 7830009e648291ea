// The positions of a style record read as what they mean: colours (decimal, or "&H...&"
// hexadecimal, a system colour when the top bit is set, resolved here to the colour it
// shows), point sizes, switches, and the fonts of the three label families.
//
// Pure; any thread. Nothing throws: a text that does not read counts as 0 (or off).

#ifndef ORVIK_CLIENT_CORE_STYLE_VALUES_H_
#define ORVIK_CLIENT_CORE_STYLE_VALUES_H_

#include <cstdint>
#include <string_view>

#include "form_font.h"
#include "styles.h"

namespace orvik::client {

// A colour value as shown: a system colour (&H80000000& + its index) becomes the colour the
// classic desktop scheme gives it; any other value keeps its low 24 bits.
std::int32_t DisplayColour(std::int32_t value);

// A style position read as a colour, a size in points, a switch.
std::int32_t StyleColour(std::string_view text);
double StyleSize(std::string_view text);
bool StyleSwitch(std::string_view text);

// The font of a label family from the positions of its size, name, bold and italic switch
// (item labels: 8, 9, 11, 12); not underlined.
FormFont StyleFont(const StyleFields& fields, std::size_t size, std::size_t name,
                   std::size_t bold, std::size_t italic);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_STYLE_VALUES_H_
