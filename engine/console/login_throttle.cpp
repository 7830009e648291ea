#include "login_throttle.h"

#include <algorithm>
#include <tuple>

namespace orvik::console {
namespace {

// One address's pace, as a session keeps it.
class AddressPace : public LoginPace {
 public:
  AddressPace(std::shared_ptr<LoginThrottle> throttle, std::string address)
      : throttle_(std::move(throttle)), address_(std::move(address)) {}
  SteadyClock::time_point Turn(SteadyClock::time_point now) override {
    return throttle_->Turn(address_, now);
  }
  void Checked(Outcome outcome, SteadyClock::time_point now) override {
    throttle_->Checked(address_, outcome == Outcome::kRefused, now);
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

LoginThrottle::Counts LoginThrottle::CountsOf(const std::string& address) const {
  std::lock_guard lock(mutex_);
  const auto it = schedules_.find(address);
  if (it == schedules_.end()) return {};
  return {.refused = it->second.Refused(), .waiting = it->second.Waiting()};
}

SteadyClock::time_point LoginThrottle::Turn(const std::string& address,
                                            SteadyClock::time_point now) {
  std::lock_guard lock(mutex_);
  Forget(now);
  return schedules_[address].Turn(now, holds_);
}

void LoginThrottle::Checked(const std::string& address, bool refused, SteadyClock::time_point now) {
  std::lock_guard lock(mutex_);
  // An address forgotten meanwhile (crowded out by thousands of others) has nothing to count.
  const auto it = schedules_.find(address);
  if (it != schedules_.end()) it->second.Checked(refused, now, holds_);
}

void LoginThrottle::Forget(SteadyClock::time_point now) {
  std::erase_if(schedules_, [now](const auto& entry) {
    return entry.second.Waiting() == 0 && now - entry.second.LastSeen() > kForgetAfter;
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
