#include "stop_switch.h"

#include <utility>

namespace orvik {

StopSwitch::Registration::Registration(Registration&& other) noexcept
    : owner_(std::move(other.owner_)), id_(std::exchange(other.id_, 0)) {}

StopSwitch::Registration& StopSwitch::Registration::operator=(Registration&& other) noexcept {
  if (this != &other) {
    Reset();
    owner_ = std::move(other.owner_);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

StopSwitch::Registration::~Registration() { Reset(); }

void StopSwitch::Registration::Reset() {
  if (owner_) owner_->Unregister(id_);
  owner_.reset();
  id_ = 0;
}

StopSwitch::Registration StopSwitch::Register(std::function<void()> interrupt) {
  std::lock_guard lock(mutex_);
  if (Thrown()) interrupt();
  const std::uint64_t id = nextId_++;
  interrupts_.emplace(id, std::move(interrupt));
  return Registration(shared_from_this(), id);
}

void StopSwitch::Unregister(std::uint64_t id) {
  std::function<void()> gone;
  std::lock_guard lock(mutex_);
  const auto it = interrupts_.find(id);
  if (it == interrupts_.end()) return;
  gone = std::move(it->second);
  interrupts_.erase(it);
}

void StopSwitch::Throw() {
  {
    std::lock_guard lock(mutex_);
    thrown_.store(true, std::memory_order_release);
    for (auto& [id, interrupt] : interrupts_) {
      try {
        interrupt();
      } catch (...) {
        // One thing that cannot be interrupted must not keep the others running.
      }
    }
  }
  changed_.notify_all();
}

bool StopSwitch::Wait(SteadyClock::time_point deadline, const std::function<bool()>& ready) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (ready && ready()) return true;
    if (Thrown()) return false;
    if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) return ready && ready();
  }
}

void StopSwitch::Notify() {
  // Taking the lock orders this notification after a waiter's look at its condition.
  { std::lock_guard lock(mutex_); }
  changed_.notify_all();
}

}  // namespace orvik
