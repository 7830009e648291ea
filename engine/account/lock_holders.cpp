#include "lock_holders.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "driver_factory.h"
#include "engine_settings.h"
#include "layout.h"
#include "session_table.h"
#include "user_registry.h"
#include "vb_error.h"

namespace orvik {
void MarkSessionAlive(Driver& dm, const Dialect& dialect, const std::string& userInst,
                      int waitSeconds) {
  if (!dialect.MarksSessions()) return;
  if (!dialect.TakeSessionMark(dm, userInst, waitSeconds)) {
    throw VbError(dberr::kUnspecified, "The session of " + userInst +
                                           " cannot be marked as alive on the datastore; its "
                                           "item locks would not be safe");
  }
}

namespace {

// The rows of the sessions table, judged (session_table.h): all, or the one of `number`.
// Nothing where the home has no such table (a set-up of before made it).
std::optional<std::vector<SessionLiveness>> JudgedSessions(Driver& dm, const Dialect& dialect,
                                                           std::optional<std::int64_t> number) {
  if (dialect.Numbering() != SessionNumbering::kSessionTable) return std::nullopt;
  try {
    return SessionTable(dialect).Judge(dm, dm.Facts().node, number);
  } catch (const VbError& e) {
    if (e.number() == dberr::kNoSuchTable) return std::nullopt;
    throw;
  }
}

// Whether the judged rows list the session `userInst`; then `gone` tells whether it is gone.
// A holder without a row numbered itself by its connection (its home had no sessions table
// then, or its server took no changes): its mark tells instead.
bool Listed(const std::vector<SessionLiveness>& rows, const std::string& userInst, bool* gone) {
  for (const SessionLiveness& s : rows) {
    if (s.user + "*" + std::to_string(s.number) == userInst) {
      *gone = s.gone;
      return true;
    }
  }
  return false;
}

bool UnlistedHolderGone(Driver& dm, const Dialect& dialect, UserRegistry* registry,
                        const std::string& userInst) {
  if (dialect.MarksSessions()) return dialect.SessionMarkFree(dm, userInst);
  // An embedded-store holder: its registry number.
  const auto parts = SplitUserInst(userInst);
  return registry != nullptr && parts && parts->second <= INT32_MAX &&
         registry->LineGone(static_cast<std::int32_t>(parts->second));
}

}  // namespace

bool HolderGone(Driver& dm, const Dialect& dialect, UserRegistry* registry,
                const std::string& userInst) {
  try {
    const auto parts = SplitUserInst(userInst);
    if (parts) {
      bool gone = false;
      if (const auto rows = JudgedSessions(dm, dialect, parts->second);
          rows && Listed(*rows, userInst, &gone))
        return gone;
    }
    return UnlistedHolderGone(dm, dialect, registry, userInst);
  } catch (...) {
    // A holder that cannot be judged counts as alive: its lock is kept.
    return false;
  }
}

std::int64_t RemoveStaleLocks(Driver& dm, const Dialect& dialect, const std::string& locksTable,
                              UserRegistry* registry) {
  // Every session is judged, those without locks too: a session that died holding none
  // leaves a row all the same.
  const auto sessions = JudgedSessions(dm, dialect, std::nullopt);
  // Both reads are read whole at once (Lookup): at a login, a cursor of its own would cost a
  // server more exchanges, and the embedded store a reading connection of its own.
  std::vector<std::string> holders;
  {
    auto cursor = dm.Lookup("SELECT DISTINCT UserInst FROM " + locksTable);
    while (cursor->Next()) holders.push_back(cursor->Row()[0].value_or(""));
  }
  std::int64_t removed = 0;
  for (const std::string& holder : holders) {
    bool gone = false;
    try {
      if (!sessions || !Listed(*sessions, holder, &gone))
        gone = UnlistedHolderGone(dm, dialect, registry, holder);
    } catch (...) {
      gone = false;  // a holder that cannot be judged counts as alive
    }
    if (!gone) continue;
    // Found first, then freed by key: a statement that looked through the other rows would
    // wait for those a live session's transaction holds open.
    std::vector<std::string> keys;
    {
      const DbValue p{holder};
      auto rows = dm.Lookup("SELECT A0 FROM " + locksTable + " WHERE UserInst = ?",
                            std::span<const DbValue>(&p, 1));
      while (rows->Next()) keys.push_back(rows->Row()[0].value_or(""));
    }
    for (const std::string& key : keys) {
      const DbValue p[] = {key, holder};
      removed += dm.Execute("DELETE FROM " + locksTable + " WHERE A0 = ? AND UserInst = ?", p);
    }
  }
  return removed;
}

std::int64_t RemoveStaleLocks(const std::string& home, const EngineSettings& settings,
                              UserRegistry& registry) {
  const Dialect& dialect = Dialect::Of(settings.dataStore);
  // Only the registry tells, from here, which sessions are gone.
  if (dialect.Numbering() != SessionNumbering::kRegistry) return 0;
  std::unique_ptr<Driver> dm = MakeDriver(dialect.Kind());
  dm->Connect(dialect.ConnectParamsFor(settings, home, std::string(kSystemAccount)));
  return RemoveStaleLocks(*dm, dialect, dialect.SystemTableOf("locks").table, &registry);
}

}  // namespace orvik
