// Small text and timing routines shared by the whole client.
//
// TextBefore and TextAfter are pure and work on texts of any length (a large grid fill runs
// far past 32,767 characters). DelaySeconds runs on the GUI thread and pumps its events.

#ifndef ORVIK_CLIENT_CORE_STRING_WORKS_H_
#define ORVIK_CLIENT_CORE_STRING_WORKS_H_

#include <string>
#include <string_view>

#include "event_pump.h"

namespace orvik::client {

// The text before the first occurrence of `separator` (exact case); the whole text when
// there is none, "" when the text starts with it.
std::string_view TextBefore(std::string_view text, std::string_view separator);

// The text after the first character of the first occurrence of `separator` (for the
// one-character separators of the client: everything after it); "" when there is none.
std::string_view TextAfter(std::string_view text, std::string_view separator);

// A value as one answer to the engine: without the CR and LF bytes a stored value may hold,
// which the engine would take as the answer's end and the text after them as further
// lines the user never typed.
std::string OneLine(std::string_view value);

// The moment `seconds` after the pump's now, for a wait. A non-positive or non-numeric wait
// ends now; one longer than a year (a time-out of any size may be set) is held to a year,
// which keeps the sum within the clock's range.
SteadyClock::time_point DeadlineAfter(double seconds, const EventPump& pump);

// Waits `seconds` on the pump's steady clock while its events go on being handled. A
// non-positive or non-numeric wait returns at once.
void DelaySeconds(double seconds, EventPump& pump);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_STRING_WORKS_H_
