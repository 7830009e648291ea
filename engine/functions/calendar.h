// The proleptic Gregorian calendar on plain day counts.
//
// Two day counts meet in this system: the platform's date serial (day 0 = 30 December 1899,
// the fraction is the time of day) and the multivalue internal date (day 0 = 31 December
// 1967). Both are exact here for every day a 32-bit Long can name, far beyond what the
// platform's own date type could hold.

#ifndef ORVIK_FUNCTIONS_CALENDAR_H_
#define ORVIK_FUNCTIONS_CALENDAR_H_

#include <cstdint>

namespace orvik {

// Internal day = serial day - kInternalDayOffset.
inline constexpr std::int64_t kInternalDayOffset = 24837;

struct CivilDate {
  std::int64_t year;
  int month;  // 1..12
  int day;    // 1..31
};

// Days since 30 December 1899 of a calendar date (any year, month 1..12, day 1..31).
std::int64_t SerialFromCivil(std::int64_t year, int month, int day);
CivilDate CivilFromSerial(std::int64_t serial);

bool IsLeapYear(std::int64_t year);
int DaysInMonth(std::int64_t year, int month);
// 1 = Monday .. 7 = Sunday.
int IsoWeekday(std::int64_t serial);
// 1..366.
int DayOfYear(std::int64_t serial);

// English month and weekday names, month 1..12, weekday 1 = Monday .. 7 = Sunday.
const char* MonthName(int month);
const char* MonthAbbreviation(int month);
const char* WeekdayName(int isoWeekday);

}  // namespace orvik

#endif  // ORVIK_FUNCTIONS_CALENDAR_H_
