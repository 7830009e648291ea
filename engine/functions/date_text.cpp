#include "date_text.h"

#include <ctime>

#include "text.h"

namespace orvik {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanksAndTabs(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// One field of a date: a number as written, or a month named in words.
struct DatePart {
  bool isMonthName = false;
  int value = 0;   // the number, or the month 1..12 of a name
  int digits = 0;  // how many digits the number was written with
};

int MonthFromName(std::string_view word) {
  for (int m = 1; m <= 12; ++m) {
    if (EqualsNoCase(word, MonthAbbreviation(m)) || EqualsNoCase(word, MonthName(m))) return m;
  }
  return 0;
}

// The whole of `s` is "h:mm" or "h:mm:ss", with an optional AM/PM (or A/P) after it.
bool IsTimeOfDay(std::string_view s) {
  std::size_t i = 0;
  const auto number = [&](std::size_t minDigits, std::size_t maxDigits, int& out) {
    const std::size_t start = i;
    out = 0;
    while (i < s.size() && IsAsciiDigit(s[i]) && i - start < maxDigits)
      out = out * 10 + (s[i++] - '0');
    return i - start >= minDigits;
  };
  int hour = 0, minute = 0, second = 0;
  if (!number(1, 2, hour) || i >= s.size() || s[i] != ':') return false;
  ++i;
  if (!number(2, 2, minute)) return false;
  if (i < s.size() && s[i] == ':') {
    ++i;
    if (!number(2, 2, second)) return false;
  }
  while (i < s.size() && IsBlank(s[i])) ++i;
  const std::string_view meridiem = s.substr(i);
  if (meridiem.empty()) {
    if (hour > 23) return false;
  } else {
    if (!EqualsNoCase(meridiem, "am") && !EqualsNoCase(meridiem, "pm") &&
        !EqualsNoCase(meridiem, "a") && !EqualsNoCase(meridiem, "p"))
      return false;
    if (hour > 12) return false;
  }
  return minute < 60 && second < 60;
}

bool ReadDayOrMonth(const DatePart& part, int& out) {
  if (part.isMonthName || part.digits > 2) return false;
  out = part.value;
  return true;
}

bool ReadYear(const DatePart& part, std::optional<std::int64_t>& out) {
  if (part.isMonthName) return false;
  if (part.digits <= 2) {
    out = ExpandTwoDigitYear(part.value);
    return true;
  }
  // Written in full; a year 0 is a typing slip, not a date anyone means.
  out = part.value;
  return part.value != 0;
}

}  // namespace

std::int64_t ExpandTwoDigitYear(int year) { return year < 30 ? 2000 + year : 1900 + year; }

std::int64_t CurrentLocalYear() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return std::int64_t{local.tm_year} + 1900;
}

std::optional<CivilDate> ReadDateText(std::string_view text, bool monthFirst,
                                      std::int64_t (*currentYear)()) {
  std::string_view s = TrimBlanksAndTabs(text);

  // A time of day stands last, set off by a blank; it must be a real time, since a stray
  // colon more likely means the text is no date at all.
  if (const std::size_t colon = s.find(':'); colon != std::string_view::npos) {
    std::size_t t = colon;
    while (t > 0 && IsAsciiDigit(s[t - 1])) --t;
    if (t == 0 || !IsBlank(s[t - 1]) || !IsTimeOfDay(s.substr(t))) return std::nullopt;
    s = TrimBlanksAndTabs(s.substr(0, t));
    if (!s.empty() && s.back() == ',') s = TrimBlanksAndTabs(s.substr(0, s.size() - 1));
  }

  DatePart parts[3];
  char marks[2] = {0, 0};  // what stood between the parts: '/', '-', '.', ',', ' ' or nothing
  int count = 0;
  bool anyComma = false;
  std::size_t i = 0;
  for (;;) {
    if (i >= s.size() || count == 3) return std::nullopt;
    DatePart& part = parts[count++];
    const std::size_t start = i;
    if (IsAsciiDigit(s[i])) {
      while (i < s.size() && IsAsciiDigit(s[i])) {
        if (i - start == 4) return std::nullopt;
        part.value = part.value * 10 + (s[i++] - '0');
      }
      part.digits = static_cast<int>(i - start);
    } else if (IsAsciiLetter(s[i])) {
      while (i < s.size() && IsAsciiLetter(s[i])) ++i;
      part.isMonthName = true;
      part.value = MonthFromName(s.substr(start, i - start));
      if (part.value == 0) return std::nullopt;
    } else {
      return std::nullopt;
    }
    if (i == s.size()) break;

    std::size_t j = i;
    while (j < s.size() && IsBlank(s[j])) ++j;
    char mark = j > i ? ' ' : 0;
    if (j < s.size() && (s[j] == '/' || s[j] == '-' || s[j] == '.' || s[j] == ',')) {
      mark = s[j++];
      while (j < s.size() && IsBlank(s[j])) ++j;
    }
    // Without a mark only a number and a month name may meet ("06JUL2000"); as both runs
    // were read whole, the next character then starts the other kind of part.
    if (mark == 0 && !(part.isMonthName ? IsAsciiDigit(s[j]) : IsAsciiLetter(s[j])))
      return std::nullopt;
    anyComma = anyComma || mark == ',';
    if (count <= 2) marks[count - 1] = mark;
    i = j;
  }
  if (count < 2) return std::nullopt;

  int monthAt = -1;
  for (int k = 0; k < count; ++k) {
    if (!parts[k].isMonthName) continue;
    if (monthAt >= 0) return std::nullopt;
    monthAt = k;
  }

  std::optional<std::int64_t> year;
  int month = 0, day = 0;
  bool ok = false;
  if (monthAt >= 0) {
    month = parts[monthAt].value;
    if (count == 2) {
      ok = ReadDayOrMonth(parts[1 - monthAt], day);
    } else if (monthAt == 0) {
      ok = ReadDayOrMonth(parts[1], day) && ReadYear(parts[2], year);
    } else if (monthAt == 1 && parts[0].digits >= 3) {
      ok = ReadYear(parts[0], year) && ReadDayOrMonth(parts[2], day);
    } else if (monthAt == 1) {
      ok = ReadDayOrMonth(parts[0], day) && ReadYear(parts[2], year);
    }
  } else {
    // Commas belong to written-out dates; "12.5" is a number, and a numeric date keeps one
    // separator throughout.
    if (anyComma) return std::nullopt;
    if (count == 2 && marks[0] == '.') return std::nullopt;
    if (count == 3 && marks[0] != marks[1]) return std::nullopt;
    const DatePart& first = parts[monthFirst ? 0 : 1];
    const DatePart& second = parts[monthFirst ? 1 : 0];
    if (count == 2) {
      ok = ReadDayOrMonth(first, month) && ReadDayOrMonth(second, day);
    } else if (parts[0].digits >= 3) {
      ok = ReadYear(parts[0], year) && ReadDayOrMonth(parts[1], month) &&
           ReadDayOrMonth(parts[2], day);
    } else {
      ok = ReadDayOrMonth(first, month) && ReadDayOrMonth(second, day) && ReadYear(parts[2], year);
    }
  }
  if (!ok || month < 1 || month > 12 || day < 1) return std::nullopt;
  if (!year) year = currentYear();
  if (day > DaysInMonth(*year, month)) return std::nullopt;
  return CivilDate{*year, month, day};
}

}  // namespace orvik
