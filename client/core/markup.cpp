#include "markup.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "numbers.h"
#include "text.h"

namespace orvik::client {

std::vector<MarkupItem> MarkupItems(std::string_view text) {
  std::vector<MarkupItem> items;
  std::size_t open = text.find('<');
  while (open != std::string_view::npos) {
    const std::size_t close = text.find('>', open + 1);
    if (close == std::string_view::npos) break;
    const std::size_t next = text.find('<', close + 1);
    const std::size_t tailEnd = next == std::string_view::npos ? text.size() : next;
    items.push_back({open, text.substr(open + 1, close - open - 1),
                     text.substr(close + 1, tailEnd - close - 1)});
    open = next;
  }
  return items;
}

std::string TagBody(std::string_view body, bool commas) {
  std::string out = UpperCase(body);
  if (commas) std::replace(out.begin(), out.end(), ',', ' ');
  return out;
}

std::string_view FirstWord(std::string_view body) { return body.substr(0, body.find(' ')); }

std::int32_t LongOf(std::string_view text) { return LongOf(Val(text)); }

std::int32_t LongOf(double number) {
  const double n = RoundHalfEven(number);
  if (std::isnan(n)) return 0;
  return static_cast<std::int32_t>(std::clamp<double>(n, std::numeric_limits<std::int32_t>::min(),
                                                      std::numeric_limits<std::int32_t>::max()));
}

char SeparatorAfter(std::string_view text, std::size_t at, std::size_t wordLength) {
  const std::size_t after = at + wordLength;
  return after < text.size() ? SeparatorOf(text[after]) : ' ';
}

}  // namespace orvik::client
