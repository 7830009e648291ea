#include "style_values.h"

#include <array>

#include "colours.h"
#include "markup.h"
#include "numbers.h"
#include "value_decode.h"

namespace orvik::client {
namespace {

constexpr std::int32_t kSystemColourFlag = static_cast<std::int32_t>(0x80000000u);

// The classic desktop scheme, by system colour index.
constexpr std::array<std::int32_t, 25> kSystemColours = {
    Rgb(192, 192, 192),  // 0 scroll bars
    Rgb(0, 128, 128),    // 1 desktop
    Rgb(0, 0, 128),      // 2 active title bar
    Rgb(128, 128, 128),  // 3 inactive title bar
    Rgb(192, 192, 192),  // 4 menu bar
    Rgb(255, 255, 255),  // 5 window background
    Rgb(0, 0, 0),        // 6 window frame
    Rgb(0, 0, 0),        // 7 menu text
    Rgb(0, 0, 0),        // 8 window text
    Rgb(255, 255, 255),  // 9 active title bar text
    Rgb(192, 192, 192),  // 10 active border
    Rgb(192, 192, 192),  // 11 inactive border
    Rgb(128, 128, 128),  // 12 application workspace
    Rgb(0, 0, 128),      // 13 highlight
    Rgb(255, 255, 255),  // 14 highlighted text
    Rgb(192, 192, 192),  // 15 button face
    Rgb(128, 128, 128),  // 16 button shadow
    Rgb(128, 128, 128),  // 17 disabled text
    Rgb(0, 0, 0),        // 18 button text
    Rgb(192, 192, 192),  // 19 inactive title bar text
    Rgb(255, 255, 255),  // 20 button highlight
    Rgb(0, 0, 0),        // 21 button dark shadow
    Rgb(223, 223, 223),  // 22 button light shadow
    Rgb(0, 0, 0),        // 23 tool tip text
    Rgb(255, 255, 225),  // 24 tool tip background
};

}  // namespace

std::int32_t DisplayColour(std::int32_t value) {
  if ((value & kSystemColourFlag) != 0) {
    const std::int32_t index = value & 0xFF;
    return index < static_cast<std::int32_t>(kSystemColours.size())
               ? kSystemColours[static_cast<std::size_t>(index)]
               : Rgb(255, 255, 255);
  }
  return value & 0xFFFFFF;
}

std::int32_t StyleColour(std::string_view text) { return DisplayColour(LongOf(Val(text))); }

double StyleSize(std::string_view text) { return Val(text); }

bool StyleSwitch(std::string_view text) { return SafeBool(text); }

FormFont StyleFont(const StyleFields& fields, std::size_t size, std::size_t name,
                   std::size_t bold, std::size_t italic) {
  FormFont font;
  font.name = fields[name];
  font.size = StyleSize(fields[size]);
  font.bold = StyleSwitch(fields[bold]);
  font.italic = StyleSwitch(fields[italic]);
  font.underline = false;
  return font;
}

}  // namespace orvik::client
