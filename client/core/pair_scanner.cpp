#include "pair_scanner.h"

#include <algorithm>

#include "text.h"
#include "value_decode.h"
#include "vb_error.h"

namespace orvik::client {

void ScanPairs(std::string_view text, char tagSeparator, const PairHandler& handle) {
  std::string work(TrimBlanks(text));
  if (tagSeparator == ',') std::replace(work.begin(), work.end(), ',', ' ');
  const std::string_view t = work;

  std::size_t p = 0;
  for (;;) {
    const std::size_t blank = t.find(' ', p);
    if (blank == std::string_view::npos || blank + 1 >= t.size()) return;
    const std::size_t equals = t.find('=', blank);
    if (equals == std::string_view::npos) return;
    const std::string key = UpperCase(t.substr(blank + 1, equals - blank - 1));

    std::string_view raw;
    if (equals + 1 < t.size() && t[equals + 1] == '"') {
      const std::size_t open = equals + 2;
      const std::size_t close = std::min(t.find('"', open), t.size());
      raw = t.substr(open, close - open);
      p = close;  // text between the closing quote and the next blank is skipped
    } else {
      const std::size_t end = std::min(t.find(' ', equals + 1), t.size());
      raw = t.substr(equals + 1, end - equals - 1);
      p = end;
    }

    std::string value;
    try {
      value = ValueDecode(raw);
    } catch (const VbError&) {
      continue;
    }
    handle(key, value);
  }
}

}  // namespace orvik::client
