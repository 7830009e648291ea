#include "calendar.h"

namespace orvik {
namespace {

// Days from 1 January 1970 of a civil date (H. Hinnant's algorithm), valid for any
// 64-bit year range that matters here.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CivilDate CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {yoe + era * 400 + (m <= 2), m, d};
}

// 30 December 1899 counted from 1 January 1970.
constexpr std::int64_t kSerialEpoch = -25569;

}  // namespace

std::int64_t SerialFromCivil(std::int64_t year, int month, int day) {
  return DaysFromCivil(year, month, day) - kSerialEpoch;
}

CivilDate CivilFromSerial(std::int64_t serial) { return CivilFromDays(serial + kSerialEpoch); }

bool IsLeapYear(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(std::int64_t year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int IsoWeekday(std::int64_t serial) {
  // Serial day 0 was a Saturday (6).
  const std::int64_t r = ((serial + 5) % 7 + 7) % 7;  // 0 = Monday
  return static_cast<int>(r) + 1;
}

int DayOfYear(std::int64_t serial) {
  const CivilDate c = CivilFromSerial(serial);
  return static_cast<int>(serial - SerialFromCivil(c.year, 1, 1)) + 1;
}

const char* MonthName(int month) {
  static constexpr const char* kNames[] = {"January",   "February", "March",    "April",
                                           "May",       "June",     "July",     "August",
                                           "September", "October",  "November", "December"};
  return kNames[month - 1];
}

const char* MonthAbbreviation(int month) {
  static constexpr const char* kNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return kNames[month - 1];
}

const char* WeekdayName(int isoWeekday) {
  static constexpr const char* kNames[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                           "Friday", "Saturday", "Sunday"};
  return kNames[isoWeekday - 1];
}

}  // namespace orvik
