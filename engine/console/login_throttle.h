// Refused logins counted by the address they came from, across connections.
//
// A session slows down the guesses made on it, but a guesser who hangs up and connects
// again would start afresh each time. The relay notes every refused login here by the
// client's address (KeyOf) and holds back the typing of that address's
// connections that have not logged in until the time this returns: the second guess from
// an address waits a second, each further one twice as long as the one before, up to
// kMaxHold. An address that has not been refused for kForgetAfter starts afresh.
//
// Used by the relay on its own thread only; nothing here fails.

#ifndef ORVIK_CONSOLE_LOGIN_THROTTLE_H_
#define ORVIK_CONSOLE_LOGIN_THROTTLE_H_

#include <QHostAddress>
#include <chrono>
#include <map>
#include <string>

#include "event_wait.h"

namespace orvik::console {

class LoginThrottle {
 public:
  static constexpr std::chrono::seconds kMaxHold{30};
  static constexpr std::chrono::minutes kForgetAfter{10};
  // Addresses remembered at most; the longest quiet ones are forgotten first.
  static constexpr std::size_t kMaxAddresses = 4096;

  // What counts as one address: the whole of an IPv4 address, the first 64 bits of an IPv6
  // one (every host is given a whole /64, and could guess from a new address each time).
  static std::string KeyOf(const QHostAddress& address);

  void Refused(const std::string& address, SteadyClock::time_point now);
  // Until when input from `address` waits before it may try again (a time not after `now`
  // when it need not wait).
  SteadyClock::time_point HeldUntil(const std::string& address) const;

 private:
  struct Refusals {
    int count = 0;
    SteadyClock::time_point last;
  };
  void Forget(SteadyClock::time_point now);

  std::map<std::string, Refusals> refusals_;
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_LOGIN_THROTTLE_H_
