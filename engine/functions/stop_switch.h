// The stop of one session, thrown from any thread.
//
// A session ends when its host lets go, and whatever it is doing at that moment must end
// with it: a script in an endless loop, a statement that runs for ever, a wait for input,
// for a slow client or out a login delay. Each of those registers here how it is
// interrupted; Throw interrupts them all at once and wakes every wait on the switch.
//
// The waits here block the thread instead of pumping its events. They are used where
// handling input in the middle would be wrong: a session held back by a slow client is in
// the middle of writing the output that one line caused.
//
// Thread-safety: every member may be called from any thread. An interrupt function runs
// under the switch's lock, on the thread that throws: it must be quick and must not call
// back into the switch. A registration made after the throw interrupts at once.

#ifndef ORVIK_FUNCTIONS_STOP_SWITCH_H_
#define ORVIK_FUNCTIONS_STOP_SWITCH_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "event_wait.h"

namespace orvik {

class StopSwitch : public std::enable_shared_from_this<StopSwitch> {
 public:
  // Keeps an interrupt function registered for its own lifetime; it keeps the switch alive
  // too, so that whatever it belongs to may outlive the session that made it.
  class Registration {
   public:
    Registration() = default;
    Registration(Registration&& other) noexcept;
    Registration& operator=(Registration&& other) noexcept;
    ~Registration();

   private:
    friend class StopSwitch;
    Registration(std::shared_ptr<StopSwitch> owner, std::uint64_t id)
        : owner_(std::move(owner)), id_(id) {}
    void Reset();

    std::shared_ptr<StopSwitch> owner_;
    std::uint64_t id_ = 0;
  };

  static std::shared_ptr<StopSwitch> Make() { return std::shared_ptr<StopSwitch>(new StopSwitch); }

  [[nodiscard]] Registration Register(std::function<void()> interrupt);
  // Sets the switch for good, runs every interrupt function and wakes every wait.
  void Throw();
  bool Thrown() const { return thrown_.load(std::memory_order_acquire); }
  // The flag itself, for code that polls it and knows nothing of sessions.
  const std::atomic<bool>& Flag() const { return thrown_; }

  // Blocks until `ready` returns true, the switch is thrown or `deadline` has come; `ready`
  // is looked at again after every Notify. Returns whether `ready` ended the wait.
  bool Wait(SteadyClock::time_point deadline, const std::function<bool()>& ready = {});
  // Tells the waits that what they wait for may have changed.
  void Notify();

 private:
  StopSwitch() = default;
  void Unregister(std::uint64_t id);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<bool> thrown_{false};
  std::map<std::uint64_t, std::function<void()>> interrupts_;
  std::uint64_t nextId_ = 1;
};

}  // namespace orvik

#endif  // ORVIK_FUNCTIONS_STOP_SWITCH_H_
