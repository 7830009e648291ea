// OConv and IConv: stored values to shown ones and back. Dates are kept as day numbers
// (day 0 = 31 December 1967), amounts as integers scaled by a power of ten.
//
// Amounts are worked on as decimal digits, never through binary fractions: a stored 45
// under "MR23" must show as 0.05, and no rounding step of a double may move a cent.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "calendar.h"
#include "date_text.h"
#include "functions.h"
#include "numbers.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kUnknownFamily = "Invalid Processing Code";
constexpr std::string_view kNoNumerics = "Received MR with no numerics";
constexpr int kInvalidCodeNumber = 951;
constexpr int kJulianRangeNumber = 950;
// Beyond this a Double no longer holds every whole number.
constexpr std::int64_t kMaxExactWhole = std::int64_t{1} << 53;
// Places a mask without digits keeps when it groups thousands.
constexpr int kGroupedPlaces = 19;

// A number exactly as written: (negative ? -1 : 1) * digits * 10^exponent. The digits carry
// no leading or trailing zeros; zero has none at all.
struct Decimal {
  bool negative = false;
  std::string digits;
  std::int64_t exponent = 0;
};

class DecimalBuilder {
 public:
  void SetNegative(bool negative) { d_.negative = negative; }
  void Digit(char c, bool afterPoint) {
    if (afterPoint) ++placesAfterPoint_;
    if (!(d_.digits.empty() && c == '0')) d_.digits.push_back(c);
  }
  Decimal Finish(std::int64_t writtenExponent) {
    std::size_t end = d_.digits.size();
    while (end > 0 && d_.digits[end - 1] == '0') --end;
    d_.exponent =
        writtenExponent - placesAfterPoint_ + static_cast<std::int64_t>(d_.digits.size() - end);
    d_.digits.resize(end);
    if (d_.digits.empty()) d_ = Decimal{};
    return std::move(d_);
  }

 private:
  Decimal d_;
  std::int64_t placesAfterPoint_ = 0;
};

// Exponents past this read as this; the number is then zero or an overflow either way.
constexpr std::int64_t kExponentLimit = 1'000'000'000'000;

std::int64_t AddExponentDigit(std::int64_t e, char c) {
  return std::min(e * 10 + (c - '0'), kExponentLimit);
}

Decimal DecimalFromWhole(double whole) {
  char buf[24];
  const auto magnitude = static_cast<std::uint64_t>(std::fabs(whole));
  const auto end = std::to_chars(buf, buf + sizeof buf, magnitude).ptr;
  DecimalBuilder b;
  b.SetNegative(whole < 0);
  for (const char* p = buf; p != end; ++p) b.Digit(*p, false);
  return b.Finish(0);
}

// The digits of a text ParseNumber has accepted, read by the same rules.
Decimal DecimalFromNumericText(std::string_view s, double value) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  // "&H" and "&O" name whole numbers, which the double holds exactly.
  if (!s.empty() && s.front() == '&') return DecimalFromWhole(value);
  DecimalBuilder b;
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) b.SetNegative(s[i++] == '-');
  for (; i < s.size() && (IsAsciiDigit(s[i]) || s[i] == ','); ++i) {
    if (s[i] != ',') b.Digit(s[i], false);
  }
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && IsAsciiDigit(s[i]); ++i) b.Digit(s[i], true);
  }
  std::int64_t exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    ++i;
    bool negativeExponent = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negativeExponent = s[i++] == '-';
    for (; i < s.size() && IsAsciiDigit(s[i]); ++i) exponent = AddExponentDigit(exponent, s[i]);
    if (negativeExponent) exponent = -exponent;
  }
  return b.Finish(exponent);
}

// The leading number of a text as Val reads it (blanks anywhere are skipped, reading stops
// at the first character that cannot continue the number), except that thousands
// separators are read too: an amount comes back from its own shown form.
Decimal LeadingDecimal(std::string_view s) {
  std::size_t i = 0;
  const auto peek = [&]() -> char {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n')) ++i;
    return i < s.size() ? s[i] : '\0';
  };
  if (peek() == '&') return DecimalFromWhole(Val(s));
  DecimalBuilder b;
  if (peek() == '+' || peek() == '-') b.SetNegative(s[i++] == '-');
  bool anyDigit = false;
  for (char c = peek(); IsAsciiDigit(c) || (c == ',' && anyDigit); c = peek()) {
    if (c != ',') b.Digit(c, false);
    anyDigit = true;
    ++i;
  }
  if (peek() == '.') {
    ++i;
    for (char c = peek(); IsAsciiDigit(c); c = peek()) {
      b.Digit(c, true);
      anyDigit = true;
      ++i;
    }
  }
  if (!anyDigit) return {};
  std::int64_t exponent = 0;
  if (const char c = peek(); c == 'e' || c == 'E' || c == 'd' || c == 'D') {
    ++i;
    bool negativeExponent = false;
    if (peek() == '+' || peek() == '-') negativeExponent = s[i++] == '-';
    // An exponent without digits is no exponent; the number ends before it.
    for (char d = peek(); IsAsciiDigit(d); d = peek()) {
      exponent = AddExponentDigit(exponent, d);
      ++i;
    }
    if (negativeExponent) exponent = -exponent;
  }
  return b.Finish(exponent);
}

// |d| * 10^shift rounded half away from zero to a whole number, as digits without leading
// zeros ("" for zero).
std::string RoundedDigits(const Decimal& d, std::int64_t shift) {
  if (d.digits.empty()) return {};
  const std::int64_t e = d.exponent + shift;
  if (e >= 0) {
    CheckTextLength(d.digits.size() + static_cast<std::size_t>(e));
    std::string out;
    out.reserve(d.digits.size() + static_cast<std::size_t>(e));
    out = d.digits;
    out.append(static_cast<std::size_t>(e), '0');
    return out;
  }
  const std::int64_t keep = static_cast<std::int64_t>(d.digits.size()) + e;
  if (keep < 0) return {};
  std::string out(d.digits, 0, static_cast<std::size_t>(keep));
  if (d.digits[static_cast<std::size_t>(keep)] >= '5') {
    std::size_t k = out.size();
    while (k > 0 && out[k - 1] == '9') out[--k] = '0';
    if (k == 0) {
      out.insert(out.begin(), '1');
    } else {
      ++out[k - 1];
    }
  }
  return out;
}

// d * 10^shift rounded to the nearest whole number, halves to even; nullopt when the result
// lies beyond what a Double holds exactly.
std::optional<std::int64_t> RoundedWhole(const Decimal& d, std::int64_t shift) {
  if (d.digits.empty()) return 0;
  const std::int64_t e = d.exponent + shift;
  const auto size = static_cast<std::int64_t>(d.digits.size());
  if (size + e > 16) return std::nullopt;
  const std::int64_t keep = std::min(size, size + e);
  std::int64_t whole = 0;
  for (std::int64_t k = 0; k < keep; ++k) whole = whole * 10 + (d.digits[k] - '0');
  for (std::int64_t k = 0; k < e; ++k) whole *= 10;
  if (keep >= 0 && keep < size) {
    const char next = d.digits[keep];
    const bool beyondHalf = keep + 1 < size;  // trailing digits are never zero
    if (next > '5' || (next == '5' && (beyondHalf || whole % 2 == 1))) ++whole;
  }
  if (whole > kMaxExactWhole) return std::nullopt;
  return d.negative ? -whole : whole;
}

// `n` counts units of 10^-places: written "int.frac" with exactly `places` decimals.
void AppendFixed(std::string& out, bool negative, std::string_view n, std::size_t places) {
  if (negative) out.push_back('-');
  if (n.size() > places) {
    out.append(n.substr(0, n.size() - places));
  } else {
    out.push_back('0');
  }
  out.push_back('.');
  if (n.size() < places) out.append(places - n.size(), '0');
  out.append(n.substr(n.size() - std::min(n.size(), places)));
}

// The same number grouped by thousands, without a leading zero or the fraction's trailing
// zeros, the point always written: "1,234.5", "1,234.", ".5".
void AppendGrouped(std::string& out, bool negative, std::string_view n, std::size_t places) {
  const std::string_view whole = n.size() > places ? n.substr(0, n.size() - places) : "";
  std::string_view frac = n.substr(n.size() - std::min(n.size(), places));
  std::size_t pad = places - frac.size();
  while (!frac.empty() && frac.back() == '0') frac.remove_suffix(1);
  if (frac.empty()) pad = 0;
  if (negative && !n.empty()) out.push_back('-');
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) out.push_back(',');
    out.push_back(whole[i]);
  }
  out.push_back('.');
  out.append(pad, '0');
  out.append(frac);
}

void AppendTwoDigits(std::string& out, int v) {
  out.push_back(static_cast<char>('0' + v / 10));
  out.push_back(static_cast<char>('0' + v % 10));
}

void AppendNumber(std::string& out, std::int64_t v, std::size_t minDigits = 1) {
  char buf[24];
  const auto end = std::to_chars(buf, buf + sizeof buf, v < 0 ? -v : v).ptr;
  if (v < 0) out.push_back('-');
  const auto written = static_cast<std::size_t>(end - buf);
  if (written < minDigits) out.append(minDigits - written, '0');
  out.append(buf, end);
}

// Four digits for the years people write so; others get as many as they need, so that no
// date is shown as another.
void AppendYear(std::string& out, std::int64_t year) { AppendNumber(out, year, 4); }

void AppendShortYear(std::string& out, std::int64_t year) {
  AppendTwoDigits(out, static_cast<int>((year % 100 + 100) % 100));
}

// Writes the date under a lowered D code; false for a code that names no date form.
bool AppendDate(std::string& out, std::string_view code, std::int64_t serial, bool monthFirst) {
  const CivilDate date = CivilFromSerial(serial);
  // "dd mmm yyyy" and its shorter forms; year digits 0 for none.
  const auto named = [&](int yearDigits) {
    AppendTwoDigits(out, date.day);
    out.push_back(' ');
    out.append(MonthAbbreviation(date.month));
    if (yearDigits == 0) return;
    out.push_back(' ');
    yearDigits == 2 ? AppendShortYear(out, date.year) : AppendYear(out, date.year);
  };
  const auto numeric = [&](char separator, char yearDigits) {
    AppendTwoDigits(out, monthFirst ? date.month : date.day);
    out.push_back(separator);
    AppendTwoDigits(out, monthFirst ? date.day : date.month);
    if (yearDigits == '0') return;
    out.push_back(separator);
    yearDigits == '2' ? AppendShortYear(out, date.year) : AppendYear(out, date.year);
  };
  const auto isSeparator = [](char c) { return c == '/' || c == '-' || c == '.'; };

  if (code == "d" || code == "d4") {
    named(4);
  } else if (code == "d2") {
    named(2);
  } else if (code == "d0") {
    named(0);
  } else if (code.size() == 2 && isSeparator(code[1])) {
    numeric(code[1], '4');
  } else if (code.size() == 3 && isSeparator(code[2]) &&
             (code[1] == '2' || code[1] == '4' || (code[1] == '0' && code[2] != '/'))) {
    numeric(code[2], code[1]);
  } else if (code == "dd") {
    AppendNumber(out, date.day);
  } else if (code == "dm") {
    AppendNumber(out, date.month);
  } else if (code == "dmm" || code == "dmmm") {
    out.append(MonthAbbreviation(date.month));
  } else if (code == "dma" || code == "dmmmm") {
    out.append(MonthName(date.month));
  } else if (code == "dq") {
    AppendNumber(out, (date.month - 1) / 3 + 1);
  } else if (code == "dw") {
    AppendNumber(out, IsoWeekday(serial));
  } else if (code == "dwa") {
    out.append(WeekdayName(IsoWeekday(serial)));
  } else if (code == "dy") {
    AppendYear(out, date.year);
  } else if (code == "d2y") {
    AppendShortYear(out, date.year);
  } else if (code == "dj") {
    AppendYear(out, date.year);
    AppendNumber(out, serial - SerialFromCivil(date.year, 1, 1) + 1, 3);
  } else {
    return false;
  }
  return true;
}

// Stored day numbers and amounts are nearly always a sign and digits; those are read here
// directly, as the general readers would read them, without going through binary floating
// point.
std::optional<std::int64_t> PlainInteger(std::string_view s) {
  const bool negative = !s.empty() && s.front() == '-';
  if (negative) s.remove_prefix(1);
  if (s.empty() || s.size() > 15) return std::nullopt;
  std::int64_t v = 0;
  for (char c : s) {
    if (!IsAsciiDigit(c)) return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return negative ? -v : v;
}

Variant DateOConv(std::string_view s, std::string_view code, bool monthFirst, std::string& detail) {
  std::int64_t day = 0;
  if (const std::optional<std::int64_t> plain = PlainInteger(s)) {
    day = *plain;
    if (day == 0) return Variant(std::string());
  } else {
    // A zero or a text without a leading number is no date, whatever the code.
    if (Val(s) == 0) return Variant(std::string());
    const std::optional<double> n = ParseNumber(s);
    if (!n) throw VbError(vberr::kTypeMismatch);
    // The platform's date is the sum, day 24837 plus the number, and it is the sum that is
    // rounded to a whole day: as 24837 is odd, half days go the other way from the number
    // rounded alone (0.5 is 1 January 1968, -0.5 is 30 December 1967).
    const double serial = RoundHalfEven(*n + static_cast<double>(kInternalDayOffset));
    if (!(std::fabs(serial) <= static_cast<double>(kMaxExactWhole)))
      throw VbError(vberr::kOverflow);
    day = static_cast<std::int64_t>(serial) - kInternalDayOffset;
  }
  // Every usual form fits the string's own small buffer, so no reservation is made.
  std::string out;
  const std::int64_t serial = day + kInternalDayOffset;
  if (!AppendDate(out, code, serial, monthFirst)) {
    detail = NumberedMessage(kInvalidCodeNumber, kUnknownFamily);
    return Variant("####");
  }
  return Variant(std::move(out));
}

Variant CharacterClass(std::string_view s, std::string_view cls) {
  std::string out;
  if (cls == "u" || cls == "l") {
    out = cls == "u" ? UpperCase(s) : LowerCase(s);
  } else {
    bool letters = false, digits = false, drop = false;
    if (!cls.empty() && cls.front() == '/') {
      drop = true;
      cls.remove_prefix(1);
    }
    if (cls == "a") {
      letters = true;
    } else if (cls == "n") {
      digits = true;
    } else if (cls == "an" || cls == "na") {
      letters = digits = true;
    } else {
      return {};
    }
    out.reserve(s.size());
    for (char c : s) {
      const bool inClass = (letters && IsAsciiLetter(c)) || (digits && IsAsciiDigit(c));
      if (inClass != drop) out.push_back(c);
    }
  }
  if (out.empty()) return {};
  return Variant(std::move(out));
}

// A number written back as text: whole numbers exactly, as far as a Double holds them,
// so that an amount past a Long does not turn into "1.23456789012346E+15".
void AppendValueText(std::string& out, const Variant& v) {
  switch (v.type()) {
    case Variant::Type::Empty:
      return;
    case Variant::Type::String:
      out.append(v.StringRef());
      return;
    case Variant::Type::Double: {
      const double d = v.ToDouble();
      if (std::trunc(d) == d && std::fabs(d) <= static_cast<double>(kMaxExactWhole)) {
        AppendNumber(out, static_cast<std::int64_t>(d));
        return;
      }
      break;
    }
    default:
      break;
  }
  out.append(v.ToString());
}

}  // namespace

Variant Functions::OConv(std::string_view s, std::string_view code) {
  errorDetail_.clear();
  if (s.empty()) {
    const bool amount = code.size() >= 2 && UpperChar(code[0]) == 'M' &&
                        (UpperChar(code[1]) == 'R' || UpperChar(code[1]) == 'D');
    if (!amount) return Variant(std::string());
    s = "0";
  }
  if (const std::size_t am = s.find(kAttributeMark); am != std::string_view::npos)
    s = s.substr(0, am);
  try {
    const std::string lower = LowerCase(code);
    const char family = lower.empty() ? '\0' : lower[0];
    if (family == 'd') return DateOConv(s, lower, monthFirst_, errorDetail_);
    if (family != 'm') {
      errorDetail_ = kUnknownFamily;
      return Variant("####");
    }
    const char kind = lower.size() > 1 ? lower[1] : '\0';
    if (kind == 'c') return CharacterClass(s, std::string_view(lower).substr(2));
    if (kind != 'r' && kind != 'd') return {};

    // The digits before the fill character give the decimals shown, then the scale kept.
    std::string_view mask = lower;
    for (char fill : {'*', '%', '#'}) {
      if (const std::size_t f = mask.find(fill); f != std::string_view::npos) {
        mask = mask.substr(0, f);
        break;
      }
    }
    int decimals = 0, scale = 0;
    for (char c : mask) {
      if (!IsAsciiDigit(c)) continue;
      (decimals == 0 ? decimals : scale) = c - '0';
    }
    if (scale == 0) scale = decimals;
    const bool suppressZero = lower.find('z') != std::string::npos;
    const bool grouped = lower.find(',') != std::string::npos;
    if (decimals == 0) {
      const std::optional<double> value = ParseNumber(s);
      errorDetail_ = kNoNumerics;
      // The mask's pieces are taken apart by Field, whose columns callers may read.
      Field(value ? FormatDouble(*value) : std::string(), ".", 2);
      if (suppressZero && (!value || *value == 0)) return Variant(std::string());
      if (!value) return {};
      if (!grouped) return Variant(*value);
      const Decimal d = DecimalFromNumericText(s, *value);
      const std::string n = RoundedDigits(d, kGroupedPlaces);
      std::string out;
      out.reserve(n.size() + n.size() / 3 + 2);
      AppendGrouped(out, d.negative, n, kGroupedPlaces);
      return Variant(std::move(out));
    }

    Decimal d;
    if (PlainInteger(s)) {
      d = DecimalFromNumericText(s, 0);
    } else if (const std::optional<double> value = ParseNumber(s)) {
      d = DecimalFromNumericText(s, *value);
    }
    const std::string n = RoundedDigits(d, decimals - scale);
    // An amount that rounds to nothing is shown without a sign.
    const bool negative = d.negative && !n.empty();
    const auto places = static_cast<std::size_t>(decimals);
    const std::size_t wholeDigits = n.size() > places ? n.size() - places : 1;
    std::string out;
    out.reserve(negative + wholeDigits + 1 + places + (grouped ? (wholeDigits - 1) / 3 : 0));
    AppendFixed(out, negative, n, places);
    Field(out, ".", 2);  // for its columns, as above
    if (suppressZero && n.empty()) return Variant(std::string());
    if (grouped) {
      out.clear();
      AppendGrouped(out, negative, n, places);
    }
    return Variant(std::move(out));
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    return Variant(s);
  }
}

Variant Functions::IConv(std::string_view s, std::string_view code) {
  errorDetail_.clear();
  if (s.empty()) return Variant(std::string());
  const char family = code.empty() ? '\0' : LowerChar(code[0]);
  try {
    const std::string lower = LowerCase(code);
    const char kind = lower.size() > 1 ? lower[1] : '\0';
    if (family == 'd' && kind != 'j') {
      // The time of day after a date is read and dropped whole: only the day is kept.
      const std::optional<CivilDate> date = ReadDateText(s, monthFirst_);
      if (!date) throw VbError(vberr::kTypeMismatch);
      return Variant(static_cast<double>(SerialFromCivil(date->year, date->month, date->day) -
                                         kInternalDayOffset));
    }
    if (family == 'd') {
      const std::string_view last3 = s.substr(s.size() - std::min<std::size_t>(3, s.size()));
      const std::optional<double> a = ParseNumber(last3);
      if (!a) throw VbError(vberr::kTypeMismatch);
      const double dayOfYear = std::trunc(*a);
      const auto outOfRange = [&] {
        errorDetail_ = NumberedMessage(kJulianRangeNumber, "Julian date value out of range");
        const std::optional<double> whole = ParseNumber(s);
        return Variant(whole ? *whole : Val(s));
      };
      if (!(dayOfYear >= 1 && dayOfYear <= 366)) return outOfRange();
      std::int64_t year = 0;
      if (s.size() == 3) {
        year = CurrentLocalYear();
      } else if (s.size() == 5 || s.size() == 7) {
        const std::string_view written = s.substr(0, s.size() - 3);
        for (char c : written) {
          if (!IsAsciiDigit(c)) throw VbError(vberr::kTypeMismatch);
        }
        int n = 0;
        for (char c : written) n = n * 10 + (c - '0');
        year = s.size() == 5 ? ExpandTwoDigitYear(n) : n;
      } else {
        return outOfRange();
      }
      if (dayOfYear == 366 && !IsLeapYear(year)) return outOfRange();
      return Variant(static_cast<std::int32_t>(SerialFromCivil(year, 1, 1) - kInternalDayOffset +
                                               static_cast<std::int64_t>(dayOfYear) - 1));
    }
    if (family == 'm' && (kind == 'd' || kind == 'r')) {
      // Only the one character after "mr" scales: "md12" scales by ten.
      const int shift = lower.size() > 2 && IsAsciiDigit(lower[2]) ? lower[2] - '0' : 0;
      const std::optional<std::int64_t> whole = RoundedWhole(LeadingDecimal(s), shift);
      if (!whole) throw VbError(vberr::kOverflow);
      if (*whole >= std::numeric_limits<std::int32_t>::min() &&
          *whole <= std::numeric_limits<std::int32_t>::max())
        return Variant(static_cast<std::int32_t>(*whole));
      return Variant(static_cast<double>(*whole));
    }
    return {};
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    // A text that is no date must not come back as a day number.
    if (family == 'd') return Variant(std::string());
    return Variant(s);
  }
}

std::string Functions::MVOConv(const Variant& s, std::string_view code) {
  if (s.IsNull()) return {};
  const std::string text = s.ToString();
  std::string out;
  if (text.empty()) return out;
  out.reserve(text.size() + 16);
  std::size_t start = 0;
  for (;;) {
    const std::size_t vm = text.find(kValueMark, start);
    const std::string_view value =
        std::string_view(text).substr(start, vm == std::string::npos ? vm : vm - start);
    AppendValueText(out, OConv(value, code));
    CheckTextLength(out.size());
    if (vm == std::string::npos) break;
    out.append(kCrLf);
    start = vm + 1;
  }
  return out;
}

std::string Functions::MVIConv(std::string_view s, std::string_view code) {
  std::string out;
  if (s.empty()) return out;
  out.reserve(s.size() + 16);
  // Values are parted by value marks or by line breaks (CR LF), as a text box gives them.
  std::size_t start = 0;
  for (;;) {
    std::size_t end = start;
    while (end < s.size() && s[end] != kValueMark &&
           !(s[end] == '\r' && end + 1 < s.size() && s[end + 1] == '\n'))
      ++end;
    AppendValueText(out, IConv(s.substr(start, end - start), code));
    CheckTextLength(out.size());
    if (end == s.size()) break;
    out.push_back(kValueMark);
    start = end + (s[end] == kValueMark ? 1 : 2);
  }
  return out;
}

}  // namespace orvik
