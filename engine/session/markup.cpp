#include "markup.h"

#include "text.h"

namespace orvik {

std::string ShownText(std::string_view value) {
  static constexpr std::string_view kMarkers[] = {kPortDisconnect, kEndOfTransmission};
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    out.push_back(value[i]);
    if (value[i] != '<') continue;  // both markers open with it
    for (std::string_view m : kMarkers) {
      if (EqualsNoCase(value.substr(i, m.size()), m)) {
        out.push_back(' ');
        break;
      }
    }
  }
  return out;
}

}  // namespace orvik
