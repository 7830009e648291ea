// Numbers read and written by the platform's rules, always with the "C" conventions
// ('.' as decimal point, ',' as thousands separator) whatever the user's locale.

#ifndef ORVIK_FUNCTIONS_NUMBERS_H_
#define ORVIK_FUNCTIONS_NUMBERS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvik {

// Reads a whole text as a number, as a numeric test and a conversion of text to number do:
// blanks around it, a sign, digits with thousands separators, a decimal point, an exponent
// ("E" or "D"), or a hexadecimal ("&H") or octal ("&O") integer. Anything else, or nothing
// at all, is not a number.
std::optional<double> ParseNumber(std::string_view s);

// The leading number of a text (`Val`): blanks anywhere are skipped, reading stops at the
// first character that cannot continue the number, and a text without one reads as 0.
double Val(std::string_view s);

// Rounds to the nearest integer, halves to the even neighbour (the platform's CLng rule).
double RoundHalfEven(double x);

// A Double as the platform writes it: at most 15 significant digits, trailing zeros
// dropped, exponent form ("1E+15", "1.5E-07") outside 1E-6 <= abs(x) < 1E15.
std::string FormatDouble(double x);

}  // namespace orvik

#endif  // ORVIK_FUNCTIONS_NUMBERS_H_
