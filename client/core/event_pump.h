// The event loop and the steady clock, as the core's waits see them.
//
// A wait of the client (DelaySeconds, and in later parts the screen's confirmation and
// filing waits) keeps the GUI thread's events flowing, so the poll timer, the engine's output
// and the user's clicks are handled while it waits: the caller must tolerate being re-entered
// from those events. Deadlines are measured on the steady clock, never on the wall clock,
// so midnight or a changed system time neither shortens nor stretches a wait.
//
// Used on the GUI thread only. QtEventPump is the real one; tests use a fake whose clock
// moves when it is pumped.

#ifndef ORVIK_CLIENT_CORE_EVENT_PUMP_H_
#define ORVIK_CLIENT_CORE_EVENT_PUMP_H_

#include <QCoreApplication>

#include "event_wait.h"

namespace orvik::client {

class EventPump {
 public:
  virtual ~EventPump() = default;

  virtual SteadyClock::time_point Now() const = 0;
  // Handles the thread's events, returning at `deadline` at the latest (it may return
  // sooner: callers check the clock again). A deadline already past still handles what is
  // pending once, as a screen that lets its window events run before going on needs.
  virtual void ProcessEventsUntil(SteadyClock::time_point deadline) = 0;
};

// The calling thread's Qt event loop (a thread without one just sleeps).
class QtEventPump final : public EventPump {
 public:
  SteadyClock::time_point Now() const override { return SteadyClock::now(); }
  void ProcessEventsUntil(SteadyClock::time_point deadline) override {
    if (deadline > Now()) {
      PumpEventsUntil(deadline);
    } else if (QCoreApplication::instance() != nullptr) {
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents();
    }
  }
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_EVENT_PUMP_H_
