#include "login_pace.h"

#include <algorithm>
#include <atomic>

namespace orvik {
namespace {

// Refusals remembered at most: enough to stay at the longest hold.
constexpr std::size_t kMostCounted = 64;

// Tickets are unique across every schedule, so that one given out before a schedule was
// forgotten is never taken for a later login's.
std::atomic<LoginSchedule::Ticket> lastTicket{0};

// What the next login waits after the answer to the one before, `counted` refusals known.
std::chrono::milliseconds HoldAfter(std::size_t counted, const LoginHolds& holds) {
  if (counted < 2) return {};
  const std::size_t doublings = std::min<std::size_t>(counted - 2, 20);
  return std::min(holds.first * (std::int64_t{1} << doublings), holds.most);
}

class OwnPace : public LoginPace {
 public:
  explicit OwnPace(LoginHolds holds) : holds_(holds) {}
  Ticket Join(SteadyClock::time_point now, LoginWake wake) override {
    const Ticket ticket = schedule_.Join(now, holds_, std::move(wake));
    WakeOwed();
    return ticket;
  }
  LoginStanding Look(Ticket ticket, SteadyClock::time_point now) override {
    const LoginStanding standing = schedule_.Look(ticket, now, holds_);
    WakeOwed();
    return standing;
  }
  void Checked(Ticket ticket, Outcome outcome, SteadyClock::time_point now) override {
    schedule_.Checked(ticket, outcome == Outcome::kRefused, now, holds_);
    WakeOwed();
  }

 private:
  void WakeOwed() {
    for (const LoginWake& wake : schedule_.TakeWakes()) wake();
  }

  LoginHolds holds_;
  LoginSchedule schedule_;
};

}  // namespace

LoginSchedule::Ticket LoginSchedule::Join(SteadyClock::time_point now, const LoginHolds& holds,
                                          LoginWake wake) {
  const Ticket ticket = ++lastTicket;
  line_.push_back(ticket);
  if (wake) wakes_.emplace(ticket, std::move(wake));
  lastSeen_ = now;
  Admit(now, holds);
  return ticket;
}

LoginStanding LoginSchedule::Look(Ticket ticket, SteadyClock::time_point now,
                                  const LoginHolds& holds) {
  Admit(now, holds);
  const auto place = std::ranges::find(line_, ticket);
  // Not in line: being checked, or given out by a schedule since forgotten.
  if (place == line_.end()) return {.mayCheck = true, .expected = std::nullopt};
  const std::size_t refused = refusals_.size();
  // Without a refusal a login waits only for a place; with one, at the head, only for the
  // answer to the login being checked, and how long that takes nobody knows yet.
  if (refused == 0 || (place == line_.begin() && !checking_.empty())) return {};
  // At most: every login being checked and every one before it in line refused.
  std::size_t counted = refused + checking_.size();
  SteadyClock::time_point at =
      std::max(now, (checking_.empty() ? answered_ : now) + HoldAfter(counted, holds));
  for (auto before = line_.begin(); before != place; ++before) at += HoldAfter(++counted, holds);
  return {.mayCheck = false, .expected = at};
}

void LoginSchedule::Checked(Ticket ticket, bool refused, SteadyClock::time_point now,
                            const LoginHolds& holds) {
  lastSeen_ = now;
  if (const auto place = std::ranges::find(line_, ticket); place != line_.end()) {
    // Gone before its turn: those behind it move up.
    line_.erase(place);
    wakes_.erase(ticket);
  } else if (checking_.erase(ticket) > 0) {
    answered_ = now;
    if (refused) refusals_.push_back(now);
    if (refusals_.size() > kMostCounted) refusals_.pop_front();
  } else {
    return;
  }
  if (refusals_.empty()) {
    // Without a refusal a login in line waits only for a place, and nothing else of its
    // standing changes: those that take the places now free are let go here and woken, and
    // the rest sleep on. Woken all, fifty logins at once made some nine hundred looks.
    Admit(now, holds);
    return;
  }
  // The pace has changed: every login in line looks again, for how long it is to wait.
  for (const auto& [waiting, wake] : wakes_) owed_.push_back(wake);
}

std::vector<LoginWake> LoginSchedule::TakeWakes() { return std::exchange(owed_, {}); }

int LoginSchedule::Refused(SteadyClock::time_point now) const {
  return static_cast<int>(std::ranges::count_if(
      refusals_, [now](SteadyClock::time_point at) { return now - at < kRemembered; }));
}

void LoginSchedule::Admit(SteadyClock::time_point now, const LoginHolds& holds) {
  while (!refusals_.empty() && now - refusals_.front() >= kRemembered) refusals_.pop_front();
  while (!line_.empty()) {
    const std::size_t refused = refusals_.size();
    const bool free = refused == 0
                          ? checking_.size() < static_cast<std::size_t>(kSideBySide)
                          : checking_.empty() && now >= answered_ + HoldAfter(refused, holds);
    if (!free) break;
    const Ticket ticket = line_.front();
    line_.pop_front();
    checking_.insert(ticket);
    // Its session may be waiting for another login's look to let it go.
    if (auto wake = wakes_.extract(ticket)) owed_.push_back(std::move(wake.mapped()));
  }
}

std::unique_ptr<LoginPace> LoginPace::Own(LoginHolds holds) {
  return std::make_unique<OwnPace>(holds);
}

}  // namespace orvik
