// Fmt and Matches: the format and pattern operators of converted programs.

#include "functions.h"
#include "vb_error.h"

namespace orvik {
namespace {

// How far a zero-count class item may reach with the "any character" class.
constexpr std::size_t kMaxAnyRun = 9999;

}  // namespace

std::string Functions::Fmt(std::string_view s, std::string_view code) {
  errorDetail_.clear();
  try {
    const std::string upper = UpperCase(TrimBlanks(code));
    const std::string justify = Field(upper, "#", 1);
    const std::int32_t width = Variant(Field(upper, "#", 2)).ToLong();
    if (justify != "L" && justify != "R") return {};
    if (width < 0) throw VbError(vberr::kInvalidProcedureCall);
    const auto n = static_cast<std::size_t>(width);
    CheckTextLength(n);
    std::string out(n, ' ');
    const std::size_t take = std::min(n, s.size());
    if (justify == "L") {
      out.replace(0, take, s.substr(0, take));
    } else {
      out.replace(n - take, take, s.substr(s.size() - take));
    }
    return out;
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    return {};
  }
}

bool Functions::Matches(std::string_view s, std::string_view pattern) {
  std::size_t pos = 0;  // next character of s to match
  std::string token;
  bool inLiteral = false;

  // One class item such as "3N", "0A" or "2X"; false when it fails to match.
  const auto evaluate = [&]() -> bool {
    // Items are read through the character-class conversions, which clear the error detail.
    errorDetail_.clear();
    std::string_view item = token;
    if (const std::size_t am = item.find(kAttributeMark); am != std::string_view::npos)
      item = item.substr(0, am);
    std::string digits, letters;
    for (char c : item) {
      if (IsAsciiDigit(c)) digits.push_back(c);
      if (IsAsciiLetter(c)) letters.push_back(UpperChar(c));
    }
    token.clear();
    const std::int32_t count = digits.empty() ? 0 : Variant(digits).ToLong();
    if (letters != "N" && letters != "A" && letters != "X") return true;  // dropped
    const char cls = letters[0];
    if (count >= 1) {
      const std::size_t want = static_cast<std::size_t>(count);
      const std::string_view taken = pos < s.size() ? s.substr(pos, want) : std::string_view();
      if (taken.size() != want) return false;
      const char expected = cls == 'N' ? '9' : 'A';
      for (char c : taken) {
        const char mapped = IsAsciiDigit(c) ? (cls == 'X' ? 'A' : '9') : IsAsciiLetter(c) ? 'A' : c;
        if (mapped != expected) return false;
      }
      pos += want;
      return true;
    }
    std::size_t run = 0;
    while (pos + run < s.size()) {
      const char c = s[pos + run];
      const bool ok = cls == 'N'   ? IsAsciiDigit(c)
                      : cls == 'A' ? IsAsciiLetter(c)
                                   : run < kMaxAnyRun;
      if (!ok) break;
      ++run;
    }
    pos += run;
    return true;
  };

  for (char ch : pattern) {
    if (ch != '\'') {
      if (inLiteral) {
        if (pos >= s.size() || s[pos] != ch) return false;
        ++pos;
      } else {
        token.push_back(ch);
      }
    } else if (inLiteral) {
      inLiteral = false;
    } else {
      inLiteral = true;
      if (!token.empty() && !evaluate()) return false;
    }
  }
  if (!token.empty() && !evaluate()) return false;
  return pos >= s.size();
}

}  // namespace orvik
