// Whether the user's locale writes a numeric date month first (07/06/2000 = 6 July).
//
// Read from the locale's date format (LC_ALL, LC_TIME, LANG) once per call; each Functions
// object asks once, when it is made. Tests and hosts may fix the answer for the process.

#ifndef ORVIK_FUNCTIONS_DATE_ORDER_H_
#define ORVIK_FUNCTIONS_DATE_ORDER_H_

#include <optional>

namespace orvik {

bool DateOrderProbe();

// A fixed answer for every later probe in this process; nullopt returns to the locale.
void SetDateOrderOverride(std::optional<bool> monthFirst);

}  // namespace orvik

#endif  // ORVIK_FUNCTIONS_DATE_ORDER_H_
