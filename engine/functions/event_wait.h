// Waiting without blocking the thread's own events.
//
// The platform's waits were loops that yielded to the message queue, so timers, socket
// input and host events kept arriving while a program slept or waited for input. Here the
// thread's Qt event loop is pumped instead; deadlines are measured on a steady clock, so a
// change of the wall clock (or midnight) never shortens or stretches a wait.

#ifndef ORVIK_FUNCTIONS_EVENT_WAIT_H_
#define ORVIK_FUNCTIONS_EVENT_WAIT_H_

#include <QObject>
#include <QPointer>
#include <chrono>
#include <functional>

namespace orvik {

using SteadyClock = std::chrono::steady_clock;

// Wakes the waits of the thread that made it, from any thread. A wait whose condition another
// thread changes, and that is woken by every such change, sleeps until something happens
// instead of looking at its condition every few milliseconds: a session waiting for its user
// costs nothing while the user thinks.
class EventWaker {
 public:
  // The calling thread's; one that pumps no events is never woken, and its waits look.
  EventWaker();
  // Wakes the thread's wait now in progress, or its next one. Any thread; the waker's thread
  // must not have ended.
  void Wake() const;
  // Whether it wakes the calling thread's waits.
  bool WakesThisThread() const;

 private:
  // The thread's event dispatcher, or null; null too once it is gone (a port on the main
  // thread can outlive the application object that owned it).
  QPointer<QObject> dispatcher_;
};

// Processes the calling thread's events until `deadline` or until `done` (checked after
// every batch of events) returns true. Returns true when `done` ended the wait. A thread
// without an event loop simply sleeps in short steps.
// With `waker`, made on this thread and woken by whoever changes what `done` looks at, the wait
// sleeps until an event, a wake or the deadline.
bool PumpEventsUntil(SteadyClock::time_point deadline, const std::function<bool()>& done = {},
                     const EventWaker* waker = nullptr);

// Processes the events already waiting, without waiting for more.
void PumpPendingEvents();

}  // namespace orvik

#endif  // ORVIK_FUNCTIONS_EVENT_WAIT_H_
