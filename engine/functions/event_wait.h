// Waiting without blocking the thread's own events.
//
// The platform's waits were loops that yielded to the message queue, so timers, socket
// input and host events kept arriving while a program slept or waited for input. Here the
// thread's Qt event loop is pumped instead; deadlines are measured on a steady clock, so a
// change of the wall clock (or midnight) never shortens or stretches a wait.

#ifndef ORVIK_FUNCTIONS_EVENT_WAIT_H_
#define ORVIK_FUNCTIONS_EVENT_WAIT_H_

#include <chrono>
#include <functional>

namespace orvik {

using SteadyClock = std::chrono::steady_clock;

// Processes the calling thread's events until `deadline` or until `done` (checked after
// every batch of events) returns true. Returns true when `done` ended the wait. A thread
// without an event loop simply sleeps in short steps.
bool PumpEventsUntil(SteadyClock::time_point deadline, const std::function<bool()>& done = {});

// Processes the events already waiting, without waiting for more.
void PumpPendingEvents();

}  // namespace orvik

#endif  // ORVIK_FUNCTIONS_EVENT_WAIT_H_
