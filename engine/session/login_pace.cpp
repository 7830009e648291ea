#include "login_pace.h"

#include <algorithm>

namespace orvik {
namespace {

// Refusals counted at most: enough to stay at the longest hold.
constexpr int kMostCounted = 64;

// What the next login waits behind one after `counted` logins.
std::chrono::milliseconds HoldAfter(int counted, const LoginHolds& holds) {
  if (counted < 2) return {};
  const int doublings = std::min(counted - 2, 20);
  return std::min(holds.first * (std::int64_t{1} << doublings), holds.most);
}

class OwnPace : public LoginPace {
 public:
  explicit OwnPace(LoginHolds holds) : holds_(holds) {}
  SteadyClock::time_point Turn(SteadyClock::time_point now) override {
    return schedule_.Turn(now, holds_);
  }
  void Checked(Outcome outcome, SteadyClock::time_point now) override {
    schedule_.Checked(outcome == Outcome::kRefused, now, holds_);
  }

 private:
  LoginHolds holds_;
  LoginSchedule schedule_;
};

}  // namespace

SteadyClock::time_point LoginSchedule::Turn(SteadyClock::time_point now, const LoginHolds& holds) {
  const int counted = std::min(refused_ + waiting_ + 1, kMostCounted);
  const SteadyClock::time_point turn = std::max(now, next_);
  ++waiting_;
  next_ = turn + HoldAfter(counted, holds);
  lastSeen_ = now;
  return turn;
}

void LoginSchedule::Checked(bool refused, SteadyClock::time_point now, const LoginHolds& holds) {
  if (waiting_ > 0) --waiting_;
  if (refused && refused_ < kMostCounted) ++refused_;
  // The turns of logins still waiting were given out counting this one as refused already;
  // when none waits, the next is held by what was refused, not by what was feared.
  if (waiting_ == 0) next_ = now + HoldAfter(refused_, holds);
  lastSeen_ = now;
}

std::unique_ptr<LoginPace> LoginPace::Own(LoginHolds holds) {
  return std::make_unique<OwnPace>(holds);
}

}  // namespace orvik
