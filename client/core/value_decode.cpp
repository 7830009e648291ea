#include "value_decode.h"

#include <array>
#include <utility>

#include "numbers.h"
#include "text.h"
#include "variant.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

// The escapes and entities. None is a prefix of another, so at most one matches at a place.
constexpr std::array<std::pair<std::string_view, char>, 8> kEntities = {{
    {"{COMMA}", ','},
    {"{LT}", '<'},
    {"{GT}", '>'},
    {"&gt;", '>'},
    {"&lt;", '<'},
    {"&amp;", '&'},
    {"&quot;", '"'},
    {"&apos;", '\''},
}};

std::string DecodeEntities(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    bool replaced = false;
    if (c == '{' || c == '&') {
      for (const auto& [entity, character] : kEntities) {
        if (EqualsNoCase(text.substr(i, entity.size()), entity)) {
          out += character;
          i += entity.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

// Every "word(n)" escape, left to right; the search goes on after the character put in.
std::string DecodeCharacterEscapes(std::string text, std::string_view word) {
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = FindNoCase(text, word, from);
    if (at == std::string::npos) return text;
    const std::size_t open = at + word.size();
    const std::size_t close = text.find(')', open);
    if (close == std::string::npos) throw VbError(vberr::kInvalidProcedureCall);
    const double code = RoundHalfEven(Val(std::string_view(text).substr(open, close - open)));
    if (!(code >= 0 && code <= 255)) throw VbError(vberr::kInvalidProcedureCall);
    text.replace(at, close + 1 - at, 1, static_cast<char>(static_cast<unsigned char>(code)));
    from = at + 1;
  }
}

}  // namespace

std::string ValueDecode(std::string_view text) {
  std::string out = DecodeEntities(text);
  out = DecodeCharacterEscapes(std::move(out), "CHAR(");
  return DecodeCharacterEscapes(std::move(out), "CHR(");
}

bool SafeBool(std::string_view text) {
  if (text.empty()) return false;
  try {
    return Variant(text).ToBoolean();
  } catch (const VbError&) {
    return false;
  }
}

}  // namespace orvik::client
