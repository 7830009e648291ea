// The pace of logins: refused logins make the next ones wait before they are checked.
//
// Before a session checks a name and password it joins its pace's line (LoginTurn) and waits
// until it may be checked; once the check is over it says how it went. While no login has
// been refused for kRemembered, logins are checked side by side as they come, up to
// kSideBySide at once; one beyond that waits, silently, only until one of them is answered.
// Once one is refused, they are checked one after the other: each waits for the answer to
// the one before, then for a hold that grows with the refusals remembered (none after one
// refusal, so a typing mistake is mended at once; then `first`, twice as long each time
// after, up to `most`). A guess sent on forty connections at once is thus checked at most
// kSideBySide at a time before its first refusal, and one by one, ever more slowly, from it
// on. A login that must wait for a hold is told how long at most: as though every login
// before it were refused. An accepted login forgets nothing: a guesser who owns one account
// must not clear his guesses with it; each refusal is forgotten kRemembered after it was made.
//
// A session paces its own logins unless its host gives it a pace shared with other
// sessions (the console's relay shares one by the client's address). LoginSchedule is the
// line behind a pace; it does no locking of its own. A shared pace is called from every
// session's thread and must be thread-safe; it calls the wakes of logins whose standing may
// have changed once it has let go of its own lock.

#ifndef ORVIK_SESSION_LOGIN_PACE_H_
#define ORVIK_SESSION_LOGIN_PACE_H_

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "event_wait.h"

namespace orvik {

struct LoginHolds {
  std::chrono::milliseconds first{1000};
  std::chrono::milliseconds most{30000};
};

// Where a login in line stands.
struct LoginStanding {
  bool mayCheck = false;
  // The latest it expects to be checked, when it waits for a hold; none while it waits only
  // for the logins being checked before it, which is brief.
  std::optional<SteadyClock::time_point> expected;
};

using LoginWake = std::function<void()>;

class LoginSchedule {
 public:
  using Ticket = std::uint64_t;
  // Eight: a check is a password hash or a round trip to the server, so more at once only
  // share the same processors and gain nothing an office needs (fifty logins at once finish
  // no sooner with sixteen); and it is all a guesser from a quiet address gets checked before
  // his first refusal. Fixed, not the processor count, so that the guard is the same on every
  // machine.
  static constexpr int kSideBySide = 8;
  static constexpr std::chrono::minutes kRemembered{10};

  // A login joins the line at `now`; `wake` is called whenever its standing may have changed.
  Ticket Join(SteadyClock::time_point now, const LoginHolds& holds, LoginWake wake);
  LoginStanding Look(Ticket ticket, SteadyClock::time_point now, const LoginHolds& holds);
  // A login that joined has been answered, refused or not, or leaves without being checked.
  void Checked(Ticket ticket, bool refused, SteadyClock::time_point now,
               const LoginHolds& holds);
  // The wakes owed since the last call, to call once the schedule's lock is let go.
  std::vector<LoginWake> TakeWakes();

  // Refusals remembered at `now`.
  int Refused(SteadyClock::time_point now) const;
  // Logins in line or being checked.
  int Waiting() const { return static_cast<int>(line_.size() + checking_.size()); }
  // When a login last joined or was answered.
  SteadyClock::time_point LastSeen() const { return lastSeen_; }

 private:
  // Lets the logins at the head of the line go as far as the pace allows at `now`.
  void Admit(SteadyClock::time_point now, const LoginHolds& holds);

  std::deque<Ticket> line_;
  std::map<Ticket, LoginWake> wakes_;  // of the logins in line
  std::vector<LoginWake> owed_;
  std::set<Ticket> checking_;
  std::deque<SteadyClock::time_point> refusals_;
  SteadyClock::time_point answered_{};  // when a login was last answered
  SteadyClock::time_point lastSeen_{};
};

class LoginPace {
 public:
  enum class Outcome { kAccepted, kRefused, kNotChecked };
  using Ticket = LoginSchedule::Ticket;

  virtual ~LoginPace() = default;
  // See LoginSchedule. Each Join is followed by one Checked.
  virtual Ticket Join(SteadyClock::time_point now, LoginWake wake) = 0;
  virtual LoginStanding Look(Ticket ticket, SteadyClock::time_point now) = 0;
  virtual void Checked(Ticket ticket, Outcome outcome, SteadyClock::time_point now) = 0;

  // A pace for one session alone.
  static std::unique_ptr<LoginPace> Own(LoginHolds holds = {});
};

// One login's place in a pace, from joining its line to its answer. A login that leaves
// without an answer (the session ended while it waited, or a failure cut the dialogue short)
// gives its place up as not checked.
class LoginTurn {
 public:
  LoginTurn(LoginPace& pace, SteadyClock::time_point now, LoginWake wake)
      : pace_(pace), ticket_(pace.Join(now, std::move(wake))) {}
  ~LoginTurn() {
    if (!answered_) pace_.Checked(ticket_, LoginPace::Outcome::kNotChecked, SteadyClock::now());
  }
  LoginTurn(const LoginTurn&) = delete;
  LoginTurn& operator=(const LoginTurn&) = delete;

  LoginStanding Look(SteadyClock::time_point now) const { return pace_.Look(ticket_, now); }
  void Answered(bool accepted) {
    answered_ = true;
    pace_.Checked(ticket_, accepted ? LoginPace::Outcome::kAccepted : LoginPace::Outcome::kRefused,
                  SteadyClock::now());
  }

 private:
  LoginPace& pace_;
  LoginPace::Ticket ticket_;
  bool answered_ = false;
};

}  // namespace orvik

#endif  // ORVIK_SESSION_LOGIN_PACE_H_
