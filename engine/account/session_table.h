// The sessions table of a server's home: one row for every logged-in session, which every node
// of a cluster sees alike, so that sessions on any node can judge whether another is alive,
// and LISTU lists every one of them.
//
// A row holds the session's number (unique across the cluster: it is the number of the
// session's user instance, user "*" number), its login user, the node its connection is on,
// its lease in seconds, a beat its session renews every quarter of the lease (session_lease.h),
// and what it does (account, state, action; when that last changed).
//
// A session is gone for certain when its row is gone (it ended), when its node is the judge's
// own and the mark its connection holds there is free (lock_holders.h: the node frees it the
// moment the connection ends), or when the judge has seen its beat stand still for a whole
// lease by its own clock. The lease is measured where it is judged: no clock of another
// machine is trusted, and a session that renews is never judged gone. A row judged gone is
// removed, on the condition that its beat is still the one seen: one renewed meanwhile stays.
//
// Every function runs on the caller's thread with the caller's connection to the system
// account (the table as the dialect names it). Failures are thrown as VbError.

#ifndef ORVIK_ENGINE_DATASTORE_SESSION_TABLE_H_
#define ORVIK_ENGINE_DATASTORE_SESSION_TABLE_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dialect.h"
#include "driver.h"

namespace orvik {

// What a session does, as LISTU shows it.
struct SessionStatus {
  std::string account;
  std::string state;
  std::string action;
};

// Remembers, for each session seen, its beat and since when (by a steady clock) it has stood
// still: a session whose beat stood still for its whole lease is gone. Thread-safe.
class LeaseJudge {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  explicit LeaseJudge(Clock clock = [] { return std::chrono::steady_clock::now(); })
      : clock_(std::move(clock)) {}

  // Whether the session `number`, seen now at `beat`, has stood still for `leaseSeconds`.
  bool Expired(std::int64_t number, std::int64_t beat, int leaseSeconds);
  void Forget(std::int64_t number);

  // The judge of this process, which every port shares.
  static LeaseJudge& Shared();

 private:
  struct Seen {
    std::int64_t beat;
    std::chrono::steady_clock::time_point since;
  };
  Clock clock_;
  std::mutex mutex_;
  std::map<std::int64_t, Seen> seen_;
};

// One row as the judge reads it.
struct SessionLiveness {
  std::int64_t number = 0;
  std::string user;
  bool gone = false;
};

class SessionTable {
 public:
  // The table of `dialect`, and the view through which users read their own rows whole.
  explicit SessionTable(const Dialect& dialect, LeaseJudge& judge = LeaseJudge::Shared());

  // The row of a new session of `user` on `node` that renews every quarter of `leaseSeconds`;
  // its number. Throws dberr::kNoSuchTable where the home has no sessions table.
  std::int64_t Add(Driver& dm, const std::string& user, const std::string& node, int leaseSeconds,
                   const std::string& privilege, const SessionStatus& status) const;
  // Renews the row (with what the session does now, when given); false when it is gone.
  bool Renew(Driver& dm, std::int64_t number, const SessionStatus* status) const;
  void Remove(Driver& dm, std::int64_t number) const;

  // Judges every row (or the row of `number` alone), as seen from the node `node`; removes
  // the rows of the sessions found gone.
  std::vector<SessionLiveness> Judge(Driver& dm, const std::string& node,
                                     std::optional<std::int64_t> number = std::nullopt) const;

  // The live sessions for LISTU, by number: lines of six values joined by character 253 (user
  // instance, number, account, seconds since its state changed, state, action), joined by
  // character 254. All of them, or (`all` false) those of the connection's own user. The
  // session `own` is shown as `ownStatus` says, which its row may not have caught up with.
  std::string List(Driver& dm, const std::string& node, bool all, std::int64_t own,
                   const SessionStatus& ownStatus) const;

 private:
  const Dialect& dialect_;
  std::string table_;
  std::string ownView_;
  LeaseJudge& judge_;
};

// The number and user of a user instance (user "*" number); nothing for another form.
std::optional<std::pair<std::string, std::int64_t>> SplitUserInst(const std::string& userInst);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_SESSION_TABLE_H_
