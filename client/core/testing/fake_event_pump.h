// An event pump for tests: its clock stands still until it is pumped, and each pump moves it
// one step (never past the deadline) after running the events queued for that moment.

#ifndef ORVIK_CLIENT_CORE_TESTING_FAKE_EVENT_PUMP_H_
#define ORVIK_CLIENT_CORE_TESTING_FAKE_EVENT_PUMP_H_

#include <algorithm>
#include <functional>
#include <vector>

#include "event_pump.h"

namespace orvik::client {

class FakeEventPump : public EventPump {
 public:
  explicit FakeEventPump(SteadyClock::duration step = std::chrono::milliseconds(100))
      : step_(step) {}

  SteadyClock::time_point Now() const override { return now_; }

  void ProcessEventsUntil(SteadyClock::time_point deadline) override {
    ++pumps;
    std::vector<std::function<void()>> due;
    due.swap(events);
    for (auto& event : due) event();
    now_ = std::min(now_ + step_, deadline);
  }

  // Runs at the next pump, as a posted event would.
  void Post(std::function<void()> event) { events.push_back(std::move(event)); }

  int pumps = 0;
  std::vector<std::function<void()>> events;

 private:
  SteadyClock::duration step_;
  SteadyClock::time_point now_{};
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTING_FAKE_EVENT_PUMP_H_
