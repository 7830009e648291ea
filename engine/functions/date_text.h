// Reading a date as people type it: numeric in the locale's day/month order, or with an
// English month name, and perhaps a time of day after it.
//
// The reader is deliberately strict. A text it does not recognise as a whole is no date,
// rather than a guess: a day number read from a mistyped date would be stored without
// complaint, and a wrong date is worse than a refused one.

#ifndef ORVIK_FUNCTIONS_DATE_TEXT_H_
#define ORVIK_FUNCTIONS_DATE_TEXT_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "calendar.h"

namespace orvik {

// A year of one or two digits in full: 00..29 are 2000..2029, 30..99 are 1930..1999.
std::int64_t ExpandTwoDigitYear(int year);

// This year by the local clock.
std::int64_t CurrentLocalYear();

// The calendar date written in `text`, or nullopt when the text is no date. Accepted forms:
//   numeric, day and month in the order `monthFirst` chooses: "7/6/2000", "07-06-00",
//     "7.6.2000", "7 6 2000", or without a year ("7/6");
//   numeric with the year first: "2000-07-06" (a year of three or four digits);
//   with a month name or its three-letter abbreviation, in any case: "6 Jul 2000",
//     "July 6, 2000", "06-JUL-2000", "Jul 6 2000", "2000 Jul 6", "6 July";
// followed by an optional time of day ("13:45", "13:45:10", "1:45 PM"), which must be a
// valid time but is otherwise ignored. Years of one or two digits fall in 1930..2029; an
// omitted year is what `currentYear` gives, asked only then.
std::optional<CivilDate> ReadDateText(std::string_view text, bool monthFirst,
                                      std::int64_t (*currentYear)() = CurrentLocalYear);

}  // namespace orvik

#endif  // ORVIK_FUNCTIONS_DATE_TEXT_H_
