// Colour values of the client: red + 256 x green + 65536 x blue, as the screen's drawing
// code and the style records hold them.
//
// Pure functions, callable from any thread; failures are thrown as VbError.

#ifndef ORVIK_CLIENT_CORE_COLOURS_H_
#define ORVIK_CLIENT_CORE_COLOURS_H_

#include <cstdint>
#include <string_view>

namespace orvik::client {

constexpr std::int32_t Rgb(int red, int green, int blue) {
  return red + 256 * green + 65536 * blue;
}

// The 16-colour palette of the popups and the terminal (0 black ... 15 bright white).
// Throws VbError 5 outside 0 to 15.
std::int32_t QBColor(int index);

// The colour of a text "RGB(r,g,b)": blanks, "(", ")" and every "RGB" (capitals only) are
// removed and the rest is cut at ","; each of the first three parts is read as a 16-bit
// whole number (rounded) and a part above 255 counts as 255.
// Throws VbError 13 for a part that is missing or no number, 6 for one past 16 bits, and 5
// for a negative one.
std::int32_t RgbParse(std::string_view text);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_COLOURS_H_
