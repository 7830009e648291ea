#include "numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "text.h"

namespace orvik {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "&H" and "&O" literals: up to four hex digits read as a 16-bit integer and up to eight as
// a 32-bit one, so "&HFFFF" is -1 as on the platform. `pos` points after the '&'.
std::optional<double> ParseRadix(std::string_view s, std::size_t& pos, bool strict) {
  if (pos >= s.size()) return std::nullopt;
  const char kind = UpperChar(s[pos]);
  const int radix = kind == 'H' ? 16 : kind == 'O' ? 8 : 0;
  if (radix == 0) return std::nullopt;
  ++pos;
  std::uint64_t value = 0;
  int digits = 0;
  while (pos < s.size()) {
    const int d = HexDigit(s[pos]);
    if (d < 0 || d >= radix) break;
    value = value * radix + d;
    ++digits;
    ++pos;
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  if (digits == 0 && strict) return std::nullopt;
  const bool small = radix == 16 ? digits <= 4 : value <= 0xFFFF;
  if (small) return static_cast<double>(static_cast<std::int16_t>(value & 0xFFFF));
  return static_cast<double>(static_cast<std::int32_t>(value & 0xFFFFFFFF));
}

}  // namespace

// The common case, a plain decimal such as "-12.50", read without building a copy.
std::optional<double> ParsePlainDecimal(std::string_view s) {
  std::size_t i = s[0] == '-' ? 1 : 0;
  bool digits = false, point = false;
  for (std::size_t k = i; k < s.size(); ++k) {
    if (IsAsciiDigit(s[k])) {
      digits = true;
    } else if (s[k] == '.' && !point) {
      point = true;
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  double v = 0;
  const auto r = std::from_chars(s.data() + i, s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  return i ? -v : v;
}

std::optional<double> ParseNumber(std::string_view s) {
  if (!s.empty()) {
    if (auto plain = ParsePlainDecimal(s)) return plain;
  }
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  s = s.substr(b, e - b);
  if (s.empty()) return std::nullopt;

  if (s[0] == '&') {
    std::size_t pos = 1;
    auto v = ParseRadix(s, pos, true);
    if (!v || pos != s.size()) return std::nullopt;
    return v;
  }

  std::string digits;  // what strtod will read: sign, digits, point, exponent
  digits.reserve(s.size());
  std::size_t i = 0;
  if (s[i] == '+' || s[i] == '-') digits.push_back(s[i++]);
  bool mantissa = false;
  while (i < s.size() && (IsAsciiDigit(s[i]) || (s[i] == ',' && mantissa))) {
    if (s[i] != ',') {
      digits.push_back(s[i]);
      mantissa = true;
    }
    ++i;
  }
  if (i < s.size() && s[i] == '.') {
    digits.push_back('.');
    ++i;
    while (i < s.size() && IsAsciiDigit(s[i])) {
      digits.push_back(s[i++]);
      mantissa = true;
    }
  }
  if (!mantissa) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    digits.push_back('e');
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) digits.push_back(s[i++]);
    bool expDigits = false;
    while (i < s.size() && IsAsciiDigit(s[i])) {
      digits.push_back(s[i++]);
      expDigits = true;
    }
    if (!expDigits) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  const double v = std::strtod(digits.c_str(), nullptr);
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

double Val(std::string_view s) {
  // Blanks, tabs and line feeds are skipped wherever they stand.
  std::string compact;
  compact.reserve(s.size());
  for (char c : s) {
    if (c != ' ' && c != '\t' && c != '\n') compact.push_back(c);
  }
  if (!compact.empty() && compact[0] == '&') {
    std::size_t pos = 1;
    auto v = ParseRadix(compact, pos, false);
    return v ? *v : 0.0;
  }
  std::string digits;
  std::size_t i = 0;
  if (i < compact.size() && (compact[i] == '+' || compact[i] == '-'))
    digits.push_back(compact[i++]);
  bool any = false;
  while (i < compact.size() && IsAsciiDigit(compact[i])) {
    digits.push_back(compact[i++]);
    any = true;
  }
  if (i < compact.size() && compact[i] == '.') {
    digits.push_back(compact[i++]);
    while (i < compact.size() && IsAsciiDigit(compact[i])) {
      digits.push_back(compact[i++]);
      any = true;
    }
  }
  if (!any) return 0.0;
  if (i < compact.size() &&
      (compact[i] == 'e' || compact[i] == 'E' || compact[i] == 'd' || compact[i] == 'D')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < compact.size() && (compact[j] == '+' || compact[j] == '-'))
      exponent.push_back(compact[j++]);
    bool expDigits = false;
    while (j < compact.size() && IsAsciiDigit(compact[j])) {
      exponent.push_back(compact[j++]);
      expDigits = true;
    }
    if (expDigits) digits += exponent;
  }
  const double v = std::strtod(digits.c_str(), nullptr);
  return std::isfinite(v) ? v : 0.0;
}

double RoundHalfEven(double x) {
  // nearbyint follows the current rounding mode, which is round-to-nearest-even unless a
  // caller changed it; do the arithmetic explicitly so nobody else's mode matters.
  const double f = std::floor(x);
  const double diff = x - f;
  if (diff < 0.5) return f;
  if (diff > 0.5) return f + 1.0;
  return std::fmod(f, 2.0) == 0.0 ? f : f + 1.0;
}

std::string FormatDouble(double x) {
  if (x == 0.0) return "0";
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x > 0 ? "Infinity" : "-Infinity";

  // Round to 15 significant digits first; the exponent of the rounded value decides the form.
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", x);
  // buf: [-]d.dddddddddddddde[+-]xx
  std::string text(buf);
  const std::size_t ePos = text.find('e');
  const int exponent = std::atoi(text.c_str() + ePos + 1);
  std::string mantissa = text.substr(0, ePos);
  const bool negative = mantissa[0] == '-';
  if (negative) mantissa.erase(0, 1);
  std::string sig;  // the significant digits without the point
  for (char c : mantissa) {
    if (c != '.') sig.push_back(c);
  }
  while (sig.size() > 1 && sig.back() == '0') sig.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= 15 || exponent < -6) {
    out += sig[0];
    if (sig.size() > 1) {
      out += '.';
      out.append(sig, 1, std::string::npos);
    }
    char ebuf[16];
    std::snprintf(ebuf, sizeof ebuf, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    out += ebuf;
  } else if (exponent < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += sig;
  } else {
    const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
    if (sig.size() <= intDigits) {
      out += sig;
      out.append(intDigits - sig.size(), '0');
    } else {
      out.append(sig, 0, intDigits);
      out += '.';
      out.append(sig, intDigits, std::string::npos);
    }
  }
  return out;
}

}  // namespace orvik
