#include "session_lease.h"

#include <algorithm>

namespace orvik {

SessionLease::SessionLease(Connect connect, const SessionTable& table, std::int64_t number,
                           int leaseSeconds, std::function<void()> lost, bool renewed)
    : connect_(std::move(connect)),
      table_(table),
      number_(number),
      lease_(std::chrono::seconds(std::max(leaseSeconds, 1))),
      lost_(std::move(lost)),
      renewed_(renewed),
      lastRenewal_(Clock::now()),
      thread_([this] { Run(); }) {}

SessionLease::~SessionLease() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

int SessionLease::ConnectionTimeout(int leaseSeconds) { return std::max(1, leaseSeconds / 4); }

bool SessionLease::Held() const {
  std::lock_guard lock(mutex_);
  return !gone_ && Clock::now() - lastRenewal_ < lease_ * 3 / 4;
}

void SessionLease::SetStatus(SessionStatus status) {
  {
    std::lock_guard lock(mutex_);
    status_ = std::move(status);
    statusChanged_ = true;
  }
  wake_.notify_all();
}

void SessionLease::Run() {
  const Clock::duration period = lease_ / 4;
  std::shared_ptr<Driver> db;
  Clock::time_point next = renewed_ ? lastRenewal_ + period : Clock::now();
  if (renewed_) {
    // Connected halfway to the first renewal: a connection made only when that is due has
    // just the rest of the half lease to come up, which a loaded cluster node can take; made
    // at once, fifty logins arriving together would each open two connections side by side.
    {
      std::unique_lock lock(mutex_);
      if (wake_.wait_until(lock, lastRenewal_ + lease_ / 8, [&] { return stop_; })) return;
    }
    try {
      db = connect_();
    } catch (...) {
      // Tried again with the renewal.
    }
  }
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait_until(lock, next, [&] { return stop_ || statusChanged_; });
    if (stop_) return;
    if (Clock::now() < next && !statusChanged_) continue;
    statusChanged_ = false;
    const std::optional<SessionStatus> status = status_;
    lock.unlock();

    const Clock::time_point started = Clock::now();
    bool renewed = false, rowGone = false;
    try {
      if (!db) db = connect_();
      renewed = table_.Renew(*db, number_, status ? &*status : nullptr);
      rowGone = !renewed;
    } catch (...) {
      // Made afresh at the next beat: the node may have come back, or the failure was the
      // connection's alone.
      db.reset();
    }

    lock.lock();
    if (renewed) {
      lastRenewal_ = started;
      // Written, unless the session has told something newer meanwhile.
      if (status && status_ && status_->account == status->account &&
          status_->state == status->state && status_->action == status->action)
        status_.reset();
    }
    if (rowGone || Clock::now() - lastRenewal_ >= lease_ / 2) {
      gone_ = true;
      lock.unlock();
      if (lost_) lost_();
      return;
    }
    next = started + period;
  }
}

}  // namespace orvik
