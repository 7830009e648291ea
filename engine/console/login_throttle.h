// Logins counted by the address they come from, across connections.
//
// A session paces its own logins, but a guesser who opens many connections, or hangs up and
// connects again, would start afresh on each. The relay gives every session the pace of its
// client's address (KeyOf) instead: the logins of all that address's connections take turns
// in one schedule (login_pace.h), a login counting from the moment it takes its turn, so
// guesses sent on forty connections at once are checked one after the other, ever more
// slowly, and not all together. An address with no login for kForgetAfter starts afresh.
//
// Thread-safe: each session takes its turn from its own thread.

#ifndef ORVIK_CONSOLE_LOGIN_THROTTLE_H_
#define ORVIK_CONSOLE_LOGIN_THROTTLE_H_

#include <QHostAddress>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "event_wait.h"
#include "login_pace.h"

namespace orvik::console {

class LoginThrottle : public std::enable_shared_from_this<LoginThrottle> {
 public:
  static constexpr std::chrono::minutes kForgetAfter{10};
  // Addresses remembered at most; the longest quiet ones are forgotten first.
  static constexpr std::size_t kMaxAddresses = 4096;

  static std::shared_ptr<LoginThrottle> Make() {
    return std::shared_ptr<LoginThrottle>(new LoginThrottle);
  }

  // What counts as one address: the whole of an IPv4 address, the first 64 bits of an IPv6
  // one (every host is given a whole /64, and could guess from a new address each time).
  static std::string KeyOf(const QHostAddress& address);

  // How long logins wait behind each other (a second doubling up to 30 unless set).
  void SetHolds(LoginHolds holds);
  // The pace of the logins from `address`, for a session of that address to keep.
  std::shared_ptr<LoginPace> PaceOf(const std::string& address);
  struct Counts {
    int refused = 0;
    int waiting = 0;  // for their turn or their answer
  };
  // The logins of `address` as now counted.
  Counts CountsOf(const std::string& address) const;

  SteadyClock::time_point Turn(const std::string& address, SteadyClock::time_point now);
  void Checked(const std::string& address, bool refused, SteadyClock::time_point now);

 private:
  LoginThrottle() = default;
  void Forget(SteadyClock::time_point now);

  mutable std::mutex mutex_;
  LoginHolds holds_;
  std::map<std::string, LoginSchedule> schedules_;
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_LOGIN_THROTTLE_H_
