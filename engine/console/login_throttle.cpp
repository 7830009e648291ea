#include "login_throttle.h"

#include <algorithm>
#include <tuple>
#include <vector>

namespace orvik::console {
namespace {

// One address's pace, as a session keeps it.
class AddressPace : public LoginPace {
 public:
  AddressPace(std::shared_ptr<LoginThrottle> throttle, std::string address)
      : throttle_(std::move(throttle)), address_(std::move(address)) {}
  Ticket Join(SteadyClock::time_point now, LoginWake wake) override {
    return throttle_->Join(address_, now, std::move(wake));
  }
  LoginStanding Look(Ticket ticket, SteadyClock::time_point now) override {
    return throttle_->Look(address_, ticket, now);
  }
  void Checked(Ticket ticket, Outcome outcome, SteadyClock::time_point now) override {
    throttle_->Checked(address_, ticket, outcome == Outcome::kRefused, now);
  }

 private:
  std::shared_ptr<LoginThrottle> throttle_;
  std::string address_;
};

}  // namespace

std::string LoginThrottle::KeyOf(const QHostAddress& address) {
  bool isV4 = false;
  const quint32 v4 = address.toIPv4Address(&isV4);
  if (isV4) return QHostAddress(v4).toString().toStdString();
  Q_IPV6ADDR bytes = address.toIPv6Address();
  for (int i = 8; i < 16; ++i) bytes[i] = 0;
  return QHostAddress(bytes).toString().toStdString() + "/64";
}

void LoginThrottle::SetHolds(LoginHolds holds) {
  std::lock_guard lock(mutex_);
  holds_ = holds;
}

std::shared_ptr<LoginPace> LoginThrottle::PaceOf(const std::string& address) {
  return std::make_shared<AddressPace>(shared_from_this(), address);
}

LoginThrottle::Counts LoginThrottle::CountsOf(const std::string& address,
                                              SteadyClock::time_point now) const {
  std::lock_guard lock(mutex_);
  const auto it = schedules_.find(address);
  if (it == schedules_.end()) return {};
  return {.refused = it->second.Refused(now), .waiting = it->second.Waiting()};
}

template <typename Step>
auto LoginThrottle::OnSchedule(const std::string& address, SteadyClock::time_point now, Step step) {
  std::vector<LoginWake> wakes;
  const auto done = [&] {
    std::lock_guard lock(mutex_);
    Forget(now);
    LoginSchedule& schedule = schedules_[address];
    const auto result = step(schedule);
    wakes = schedule.TakeWakes();
    return result;
  }();
  // A wake takes its session's own lock: never while holding this one.
  for (const LoginWake& wake : wakes) wake();
  return done;
}

LoginThrottle::Ticket LoginThrottle::Join(const std::string& address, SteadyClock::time_point now,
                                          LoginWake wake) {
  return OnSchedule(address, now, [&](LoginSchedule& schedule) {
    return schedule.Join(now, holds_, std::move(wake));
  });
}

LoginStanding LoginThrottle::Look(const std::string& address, Ticket ticket,
                                  SteadyClock::time_point now) {
  return OnSchedule(address, now,
                    [&](LoginSchedule& schedule) { return schedule.Look(ticket, now, holds_); });
}

void LoginThrottle::Checked(const std::string& address, Ticket ticket, bool refused,
                            SteadyClock::time_point now) {
  OnSchedule(address, now, [&](LoginSchedule& schedule) {
    schedule.Checked(ticket, refused, now, holds_);
    return true;
  });
}

void LoginThrottle::Forget(SteadyClock::time_point now) {
  std::erase_if(schedules_, [now](const auto& entry) {
    return entry.second.Waiting() == 0 && entry.second.Refused(now) == 0;
  });
  // Crowded: the longest quiet address goes, one with a login waiting only when all have.
  while (schedules_.size() >= kMaxAddresses) {
    schedules_.erase(
        std::min_element(schedules_.begin(), schedules_.end(), [](const auto& a, const auto& b) {
          return std::tuple(a.second.Waiting() > 0, a.second.LastSeen()) <
                 std::tuple(b.second.Waiting() > 0, b.second.LastSeen());
        }));
  }
}

}  // namespace orvik::console
