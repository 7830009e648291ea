// The relay's deadlines, in one ordered place: the loop sleeps until the earliest (Next) and
// takes them as they fall due (PopDue), earliest first, as an event loop takes its timers.
//
// Each slot has at most one deadline of each kind; setting it again moves it, and ClearSlot
// drops all of a freed slot's, so a deadline is never met for a session that has gone.
// Plain values; the relay's thread only.

#ifndef ORVIK_CONSOLE_SLOT_DEADLINES_H_
#define ORVIK_CONSOLE_SLOT_DEADLINES_H_

#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

#include "event_wait.h"

namespace orvik::console {

class SlotDeadlines {
 public:
  enum class Kind {
    kTakeOutput,  // output that keeps coming is taken in larger pieces
    kInputRetry,  // held-back input is looked at again
    kStall,       // the client has taken none of its output for too long
    kLogin,       // the connection has not logged in in time
    kInterrupt,   // a program asked to stop has not: it is interrupted
    kCutOff,      // and is let go whatever it does
  };
  struct Due {
    int slot = 0;
    Kind kind = Kind::kTakeOutput;
  };

  void Set(int slot, Kind kind, SteadyClock::time_point when);
  void Clear(int slot, Kind kind);
  void ClearSlot(int slot);
  void ClearAll();
  std::optional<SteadyClock::time_point> At(int slot, Kind kind) const;
  // The earliest deadline; none when there is none.
  std::optional<SteadyClock::time_point> Next() const;
  // The earliest deadline not later than `now`, cleared; none when none is due.
  std::optional<Due> PopDue(SteadyClock::time_point now);

 private:
  using Key = std::pair<int, Kind>;
  std::set<std::tuple<SteadyClock::time_point, int, Kind>> ordered_;
  std::map<Key, SteadyClock::time_point> bySlot_;
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_SLOT_DEADLINES_H_
