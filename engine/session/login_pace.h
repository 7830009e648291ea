// The pace of logins: refused logins make the next ones wait before they are checked.
//
// Before a session checks a name and password it takes a turn (LoginPace::Turn) and waits
// for it; once the check is over it says how it went. A login counts from the moment it
// takes its turn, before it is answered: logins that arrive together, say on many
// connections from one address, queue one behind the other instead of being checked all at
// once. The first two go ahead at once (a typing mistake is mended without waiting); each
// further one waits behind the one before it, `first` for the first of them and twice as
// long each time after, up to `most`. Once no login is waiting, the next waits that long
// after the last answer, by the logins refused so far.
//
// A session paces its own logins unless its host gives it a pace shared with other
// sessions (the console's relay shares one by the client's address). LoginSchedule is the
// count behind a pace; it does no locking of its own. A shared pace is called from every
// session's thread and must be thread-safe.

#ifndef ORVIK_SESSION_LOGIN_PACE_H_
#define ORVIK_SESSION_LOGIN_PACE_H_

#include <chrono>
#include <memory>

#include "event_wait.h"

namespace orvik {

struct LoginHolds {
  std::chrono::milliseconds first{1000};
  std::chrono::milliseconds most{30000};
};

class LoginSchedule {
 public:
  // A login takes its turn at `now`: the time it may be checked (`now` when it need not wait).
  SteadyClock::time_point Turn(SteadyClock::time_point now, const LoginHolds& holds);
  // A login that took its turn has been answered, refused or not, or will never be checked.
  void Checked(bool refused, SteadyClock::time_point now, const LoginHolds& holds);

  int Refused() const { return refused_; }
  // Logins that have taken their turn and not been answered yet.
  int Waiting() const { return waiting_; }
  // When a login last took its turn or was answered.
  SteadyClock::time_point LastSeen() const { return lastSeen_; }

 private:
  int refused_ = 0;
  int waiting_ = 0;
  SteadyClock::time_point next_{};  // when the next login may be checked
  SteadyClock::time_point lastSeen_{};
};

class LoginPace {
 public:
  enum class Outcome { kAccepted, kRefused, kNotChecked };

  virtual ~LoginPace() = default;
  // See LoginSchedule::Turn. Each call is followed by one Checked.
  virtual SteadyClock::time_point Turn(SteadyClock::time_point now) = 0;
  virtual void Checked(Outcome outcome, SteadyClock::time_point now) = 0;

  // A pace for one session alone.
  static std::unique_ptr<LoginPace> Own(LoginHolds holds = {});
};

// One login's place in a pace, from its turn to its answer. A login that leaves without an
// answer (the session ended while it waited, or a failure cut the dialogue short) gives its
// place up as not checked.
class LoginTurn {
 public:
  LoginTurn(LoginPace& pace, SteadyClock::time_point now) : pace_(pace), at_(pace.Turn(now)) {}
  ~LoginTurn() {
    if (!answered_) pace_.Checked(LoginPace::Outcome::kNotChecked, SteadyClock::now());
  }
  LoginTurn(const LoginTurn&) = delete;
  LoginTurn& operator=(const LoginTurn&) = delete;

  SteadyClock::time_point At() const { return at_; }
  void Answered(bool accepted) {
    answered_ = true;
    pace_.Checked(accepted ? LoginPace::Outcome::kAccepted : LoginPace::Outcome::kRefused,
                  SteadyClock::now());
  }

 private:
  LoginPace& pace_;
  SteadyClock::time_point at_;
  bool answered_ = false;
};

}  // namespace orvik

#endif  // ORVIK_SESSION_LOGIN_PACE_H_
