// Logins counted by the address they come from, across connections.
//
// A session paces its own logins, but a guesser who opens many connections, or hangs up and
// connects again, would start afresh on each. The relay gives every session the pace of its
// client's address (KeyOf) instead: the logins of all that address's connections stand in
// one line (login_pace.h). An office behind one address logs in side by side, never more
// than LoginSchedule::kSideBySide at once; from its first refusal on, guesses sent on forty
// connections at once are checked one after the other, ever more slowly. An address is
// forgotten once it has no login in line and no refusal remembered.
//
// Thread-safe: each session joins, looks and is answered from its own thread; the wakes of
// the logins in line are called after the throttle's lock is let go.

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
  static constexpr std::chrono::minutes kForgetAfter = LoginSchedule::kRemembered;
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
  // The logins of `address` as counted at `now`.
  Counts CountsOf(const std::string& address,
                  SteadyClock::time_point now = SteadyClock::now()) const;

  using Ticket = LoginSchedule::Ticket;
  Ticket Join(const std::string& address, SteadyClock::time_point now, LoginWake wake);
  LoginStanding Look(const std::string& address, Ticket ticket, SteadyClock::time_point now);
  void Checked(const std::string& address, Ticket ticket, bool refused,
               SteadyClock::time_point now);

 private:
  LoginThrottle() = default;
  void Forget(SteadyClock::time_point now);
  // Runs `step` on the schedule of `address` under the lock, then the wakes it owes.
  template <typename Step>
  auto OnSchedule(const std::string& address, SteadyClock::time_point now, Step step);

  mutable std::mutex mutex_;
  LoginHolds holds_;
  std::map<std::string, LoginSchedule> schedules_;
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_LOGIN_THROTTLE_H_
