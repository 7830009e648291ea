#include "colours.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>

#include "variant.h"
#include "vb_error.h"

namespace orvik::client {

std::int32_t QBColor(int index) {
  static constexpr std::array<std::int32_t, 16> kPalette = {
      Rgb(0, 0, 0),       Rgb(0, 0, 128),   Rgb(0, 128, 0),   Rgb(0, 128, 128),
      Rgb(128, 0, 0),     Rgb(128, 0, 128), Rgb(128, 128, 0), Rgb(192, 192, 192),
      Rgb(128, 128, 128), Rgb(0, 0, 255),   Rgb(0, 255, 0),   Rgb(0, 255, 255),
      Rgb(255, 0, 0),     Rgb(255, 0, 255), Rgb(255, 255, 0), Rgb(255, 255, 255)};
  if (index < 0 || index >= static_cast<int>(kPalette.size())) {
    throw VbError(vberr::kInvalidProcedureCall);
  }
  return kPalette[static_cast<std::size_t>(index)];
}

std::int32_t RgbParse(std::string_view text) {
  // Removed in this order, each everywhere: "R GB(" loses its blank before "RGB" is looked for.
  std::string rest(text);
  for (std::string_view unwanted : {" ", "(", ")", "RGB"}) {
    for (std::size_t at = rest.find(unwanted); at != std::string::npos;
         at = rest.find(unwanted, at)) {
      rest.erase(at, unwanted.size());
    }
  }
  std::array<int, 3> parts{};
  std::size_t from = 0;
  for (int& part : parts) {
    std::string piece;
    if (from <= rest.size()) {
      const std::size_t comma = std::min(rest.find(',', from), rest.size());
      piece = rest.substr(from, comma - from);
      from = comma + 1;
    }
    const int value = Variant(piece).ToInteger();
    if (value < 0) throw VbError(vberr::kInvalidProcedureCall);
    part = std::min(value, 255);
  }
  return Rgb(parts[0], parts[1], parts[2]);
}

}  // namespace orvik::client
