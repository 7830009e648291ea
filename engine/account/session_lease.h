// A logged-in server session's lease: its row of the sessions table (session_table.h) renewed
// every quarter of the lease, from a thread and a connection of the session's own to the node
// its port's connection is on, so that the renewals go on whatever the port does (a long
// statement, a program busy for minutes) and stop with the node.
//
// The session counts as alive to the others for as long as its beat moves; it holds its lease
// (Held) while the last renewal that worked began less than three quarters of the lease ago,
// a quarter before any other session, measuring from its own last look at that beat, may
// judge it gone. The lease is lost for good, and `lost` called once from the lease's thread,
// when a renewal finds the row gone (another session judged it gone) or none has worked for
// half the lease (its node is gone, or cut off from its cluster).
//
// Thread-safe. Renewal failures are the lease's own: nothing is thrown.

#ifndef ORVIK_ENGINE_DATASTORE_SESSION_LEASE_H_
#define ORVIK_ENGINE_DATASTORE_SESSION_LEASE_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "driver.h"
#include "session_table.h"

namespace orvik {

class SessionLease {
 public:
  // Makes a connection to the system account on the session's node; may throw.
  using Connect = std::function<std::shared_ptr<Driver>()>;

  // Starts renewing the row `number` of `table`, at once and then every quarter of
  // `leaseSeconds`. With `renewed` the caller has just renewed it on a connection of its own:
  // the lease connects an eighth of the lease on and renews first a quarter of the lease on.
  SessionLease(Connect connect, const SessionTable& table, std::int64_t number, int leaseSeconds,
               std::function<void()> lost, bool renewed = false);
  // Stops renewing; waits for a renewal under way (its connection's time limit at most).
  ~SessionLease();
  SessionLease(const SessionLease&) = delete;
  SessionLease& operator=(const SessionLease&) = delete;

  bool Held() const;
  // What the session does now: written with a renewal that comes at once.
  void SetStatus(SessionStatus status);

  // How long one renewal may take on its connection (ConnectParams::timeoutSeconds).
  static int ConnectionTimeout(int leaseSeconds);

 private:
  using Clock = std::chrono::steady_clock;
  void Run();

  const Connect connect_;
  const SessionTable table_;
  const std::int64_t number_;
  const Clock::duration lease_;
  const std::function<void()> lost_;
  const bool renewed_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool gone_ = false;
  bool statusChanged_ = false;
  std::optional<SessionStatus> status_;  // not written yet
  Clock::time_point lastRenewal_;        // when the last renewal that worked began
  std::thread thread_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_SESSION_LEASE_H_
