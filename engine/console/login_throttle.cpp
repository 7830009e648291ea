#include "login_throttle.h"

#include <algorithm>

namespace orvik::console {

std::string LoginThrottle::KeyOf(const QHostAddress& address) {
  bool isV4 = false;
  const quint32 v4 = address.toIPv4Address(&isV4);
  if (isV4) return QHostAddress(v4).toString().toStdString();
  Q_IPV6ADDR bytes = address.toIPv6Address();
  for (int i = 8; i < 16; ++i) bytes[i] = 0;
  return QHostAddress(bytes).toString().toStdString() + "/64";
}

void LoginThrottle::Refused(const std::string& address, SteadyClock::time_point now) {
  Forget(now);
  Refusals& r = refusals_[address];
  if (r.count < 64) ++r.count;
  r.last = now;
}

SteadyClock::time_point LoginThrottle::HeldUntil(const std::string& address) const {
  const auto it = refusals_.find(address);
  // The first refusal is a typing mistake: the next try may follow at once, as a session
  // answers it at once.
  if (it == refusals_.end() || it->second.count < 2) return {};
  const int doublings = std::min(it->second.count - 2, 5);
  const auto hold = std::min<SteadyClock::duration>(std::chrono::seconds(1 << doublings), kMaxHold);
  return it->second.last + hold;
}

void LoginThrottle::Forget(SteadyClock::time_point now) {
  std::erase_if(refusals_,
                [now](const auto& entry) { return now - entry.second.last > kForgetAfter; });
  while (refusals_.size() >= kMaxAddresses) {
    refusals_.erase(std::min_element(
        refusals_.begin(), refusals_.end(),
        [](const auto& a, const auto& b) { return a.second.last < b.second.last; }));
  }
}

}  // namespace orvik::console
