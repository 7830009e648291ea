#include "scrambler.h"

#include "text.h"
#include "vb_error.h"

namespace orvik {

Variant JDecode(const std::string& text, std::string& key) {
  if (text.empty()) return Variant(std::string());
  // Doubling an empty key would never end.
  if (key.empty()) throw VbError(vberr::kInvalidProcedureCall);
  while (key.size() < text.size()) {
    CheckTextLength(key.size() * 2);
    key += key;
  }
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 1; i <= text.size(); ++i) {
    const int t = static_cast<unsigned char>(text[i - 1]);
    const int shift = static_cast<unsigned char>(key[i - 1]) - 31;
    int c;
    if (i % 2 == 1) {
      c = t + shift;
      if (c > 127) c -= 96;
    } else {
      c = t - shift;
      if (c < 32) c += 96;
    }
    if (c < 0 || c > 255) throw VbError(vberr::kInvalidProcedureCall);
    out.push_back(static_cast<char>(c));
  }
  return Variant(std::move(out));
}

}  // namespace orvik
