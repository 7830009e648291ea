#include "lock_table.h"

#include <chrono>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "layout.h"
#include "lock_holders.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

constexpr std::string_view kLockedByAnother = "Another user has this item locked";

// How often a transaction that collided with another session's is tried.
constexpr int kTransactionAttempts = 6;

Status LockedByAnother() {
  return Status::Error(dberr::kLockedByAnother, std::string(kLockedByAnother));
}

// Whether the lock `key` is of an item of the file `tablePart`: exactly, as a key's table part
// ends at its first character 255 (a pattern would reach "orders2" from "orders").
bool KeyOfFile(std::string_view key, std::string_view tablePart) {
  return EqualsNoCase(key.substr(0, key.find(kItemLockMark)), tablePart);
}

// Whether a release of `tablePart` and `id` (either may be empty) frees the lock `key`.
bool ReleaseCovers(std::string_view key, const std::string& tablePart, const std::string& id) {
  if (tablePart.empty()) return true;
  if (id.empty()) return KeyOfFile(key, tablePart);
  return key == LockTable::Key(tablePart, id);
}

// A pause before a collided transaction runs again, longer each time and drawn at random, so
// that two sessions that collided do not collide again in step.
void Backoff(int attempt) {
  thread_local std::minstd_rand random(std::random_device{}());
  const int most = 1 << std::min(attempt, 5);  // milliseconds
  std::this_thread::sleep_for(std::chrono::microseconds(random() % (most * 1000) + 200));
}

}  // namespace

std::string LockTable::Key(std::string_view tablePart, std::string_view id) {
  std::string key(tablePart);
  key.push_back(kItemLockMark);
  key.append(id);
  return key;
}

template <typename F>
auto LockTable::WithLocks(F statement) {
  // Sessions that take and free locks at the same moment may meet on the server's row locks;
  // such a statement was rolled back and is run again.
  for (int attempt = 1;; ++attempt) {
    try {
      return WithLocksOnce(statement);
    } catch (const VbError& e) {
      if (e.number() != dberr::kConflict || attempt == 10) throw;
    }
  }
}

template <typename F>
auto LockTable::WithLocksOnce(F statement) {
  std::string table;
  Driver* driver = account_.SystemTableDriver("locks", &table);
  if (driver == nullptr)
    throw VbError(rserr::kObjectClosed, "Operation is not allowed when the object is closed.");
  const DatabaseSwitch in = account_.SwitchTo(*driver, std::string(kSystemAccount),
                                              account_.SwitchesToSystemAccount("locks"));
  return statement(*driver, table);
}

void LockTable::CheckLease() const {
  if (leaseHeld_ && !leaseHeld_()) throw VbError(dberr::kSessionLost, std::string(kSessionLostText));
}

bool LockTable::DeferredHolds(const Driver& d, const std::string& key) const {
  return !deferredKey_.empty() && deferredKey_ == key && d.Deferred();
}

Status LockTable::LockOn(Driver& d, const std::string& table, const std::string& key, bool update,
                         std::string* handBack, bool* ownBefore) {
  const bool transactional = Transactional();
  const Dialect& dialect = account_.dialect();
  const DbValue keyParam{dialect.StoredLockKey(key)};
  struct Held {
    std::string key;
    std::string owner;
  };
  const auto holder = [&]() -> std::optional<Held> {
    auto row = d.Lookup(dialect.LockLookSql(table, transactional),
                        std::span<const DbValue>(&keyParam, 1));
    if (!row->Next()) return std::nullopt;
    return Held{row->Row()[0].value_or(""), row->Row()[1].value_or("")};
  };
  // Whether this port's lock row went in; false when the key's row is there already.
  const auto taken = [&] {
    try {
      const DbValue row[] = {keyParam, holder_};
      d.Execute(dialect.LockTakeSql(table, transactional), row);
      return true;
    } catch (const VbError& e) {
      if (e.number() != dberr::kIntegrity) throw;
      return false;
    }
  };
  try {
    // Most items asked for are locked by nobody: the insert alone decides, and only a
    // refused one needs to know who holds the item.
    if (update && taken()) return Status::Ok();
    bool reclaimed = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
      const std::optional<Held> found = holder();
      // A server's collation may find another item's lock under this key (layout.h): that
      // lock is not this port's to keep or free, whoever holds it.
      const bool own = found && found->owner == holder_ && SameKey(found->key, key);
      if (found && !own) {
        if (!reclaimed && HolderGone(d, dialect, registry_, found->owner)) {
          const DbValue row[] = {found->key, found->owner};
          d.Execute("DELETE FROM " + table + " WHERE A0 = ? AND UserInst = ?", row);
          reclaimed = true;
          continue;
        }
        return LockedByAnother();
      }
      if (found) {
        if (ownBefore) *ownBefore = true;
        if (!update && handBack) *handBack = key;
        return Status::Ok();
      }
      if (!update) return Status::Ok();
      // Refused: another port took it between the look and the insert, so look again.
      if (taken()) return Status::Ok();
    }
    return LockedByAnother();
  } catch (const VbError& e) {
    // A lock another session's transaction holds, not yet committed: locked, as far as
    // anybody can tell now.
    if (transactional && e.number() == dberr::kConflict) return LockedByAnother();
    throw;
  }
}

Status LockTable::Lock(const std::string& tablePart, const std::string& id, bool update,
                       std::string* handBack) {
  const std::string key = Key(tablePart, id);
  try {
    CheckItemId(id);
    if (update) CheckLease();
    const Status locked = WithLocks([&](Driver& d, const std::string& table) {
      return LockOn(d, table, key, update, handBack, nullptr);
    });
    // Taken for update, or this port's already: held by this port either way.
    if (update && locked.ok()) took_.insert(key);
    return locked;
  } catch (...) {
    // A lock that cannot be taken is a refusal, never a silent success.
    return Status::OfCurrentException();
  }
}

Status LockTable::Release(const std::string& tablePart, const std::string& id) {
  // Forgotten first: a release that fails leaves the row to the next write's look.
  if (tablePart.empty()) {
    took_.clear();
  } else if (!id.empty()) {
    took_.erase(Key(tablePart, id));
  } else {
    std::erase_if(took_, [&](const std::string& key) { return KeyOfFile(key, tablePart); });
  }
  try {
    // A lock whose read left its transaction open goes with that transaction: it was never
    // committed, and its release needs no commit either.
    std::string table;
    Driver* locks = account_.SystemTableDriver("locks", &table);
    if (locks != nullptr && !deferredKey_.empty() && ReleaseCovers(deferredKey_, tablePart, id)) {
      const bool open = locks->Deferred();
      deferredKey_.clear();
      if (open) {
        locks->Continue();
        locks->Rollback();
        if (!tablePart.empty() && !id.empty()) return Status::Ok();
      }
    }
    const bool transactional = Transactional();
    WithLocks([&](Driver& d, const std::string& table) -> std::int64_t {
      const std::string remove = "DELETE FROM " + table + " WHERE A0 = ? AND UserInst = ?";
      if (!tablePart.empty() && !id.empty()) {
        const DbValue p[] = {account_.dialect().StoredLockKey(Key(tablePart, id)), holder_};
        return d.Execute(remove, p);
      }
      const DbValue owner{holder_};
      // Where transactions hold locks open, a statement that looks through other sessions'
      // rows would wait for theirs: this port's rows are found first, then freed by key.
      if (!tablePart.empty() || transactional) {
        // Exactly this file's rows, compared here: a LIKE pattern would also read "_" as any
        // character.
        std::vector<std::string> keys;
        {
          auto rows = d.Query("SELECT A0 FROM " + table + " WHERE UserInst = ?",
                              std::span<const DbValue>(&owner, 1));
          while (rows->Next()) {
            const std::string key = rows->Row()[0].value_or("");
            if (tablePart.empty() || KeyOfFile(key, tablePart)) keys.push_back(key);
          }
        }
        std::int64_t n = 0;
        for (const std::string& key : keys) {
          const DbValue p[] = {key, holder_};
          n += d.Execute(remove, p);
        }
        return n;
      }
      return d.Execute("DELETE FROM " + table + " WHERE UserInst = ?",
                       std::span<const DbValue>(&owner, 1));
    });
    return Status::Ok();
  } catch (...) {
    return Status::OfCurrentException();
  }
}

void LockTable::ReleaseKey(const std::string& key) {
  const std::size_t mark = key.find(kItemLockMark);
  (void)Release(key.substr(0, mark), key.substr(mark + 1));
}

bool LockTable::CombinesWithItems() const {
  const Driver* driver = account_.SystemTableDriver("locks", nullptr);
  return driver != nullptr && driver->RunsCompoundStatements() &&
         !account_.SwitchesToSystemAccount("locks") && account_.dialect().CombinesLocksWithItems();
}

bool LockTable::Transactional() const {
  const Driver* driver = account_.SystemTableDriver("locks", nullptr);
  return driver != nullptr && driver->RunsTransactions() && CombinesWithItems();
}

const std::string& LockTable::CombinedOn(const Driver& driver) const {
  if (account_.SystemTableDriver("locks", nullptr) != &driver || !CombinesWithItems()) {
    // A statement elsewhere would take or free no lock: never run it so.
    throw VbError(dberr::kUnspecified, "The item's lock is on another connection");
  }
  return locksTable_;
}

std::unique_ptr<Cursor> LockTable::TakeAndRead(Driver& driver, const std::string& tablePart,
                                               const std::string& id, const std::string& sql,
                                               std::span<const DbValue> params) {
  CheckItemId(id);
  CheckLease();
  const std::string& table = CombinedOn(driver);
  const std::string key = Key(tablePart, id);
  std::vector<DbValue> all{account_.dialect().StoredLockKey(key), holder_};
  all.insert(all.end(), params.begin(), params.end());
  // Every node of a cluster must see the lock at once; a server alone sees it uncommitted.
  const bool defer = !driver.Facts().cluster;
  const std::string statement = account_.dialect().TakeThenRead(sql, table, !defer);
  for (int attempt = 1;; ++attempt) {
    std::unique_ptr<Cursor> rows;
    try {
      rows = driver.Lookup(statement, all);
    } catch (const VbError& e) {
      if (e.number() == dberr::kIntegrity || e.number() == dberr::kConflict) {
        driver.RollbackQuietly();
        // A transaction of another session that takes or frees the lock just now: asked
        // again in a moment, and then left to Lock to tell who holds it.
        if (e.number() == dberr::kConflict && attempt < kTransactionAttempts) {
          Backoff(attempt);
          continue;
        }
        return nullptr;
      }
      // The read failed with the lock taken: the lock stays, as one taken on its own would.
      try {
        driver.Commit();
        took_.insert(key);
      } catch (...) {
        // What the read said is the failure to tell.
      }
      throw;
    }
    if (defer) {
      driver.Defer();
      deferredKey_ = key;
    }
    took_.insert(key);
    return rows;
  }
}

void LockTable::WriteAndRelease(Driver& driver, const std::string& sql,
                                std::span<const DbValue> params, const std::string& key,
                                bool claim) {
  CheckLease();
  const std::string& table = CombinedOn(driver);
  const DbValue stored{account_.dialect().StoredLockKey(key)};
  std::vector<DbValue> all{stored, holder_};
  all.insert(all.end(), params.begin(), params.end());
  if (claim) {
    all.push_back(stored);
    all.emplace_back(holder_);
    const std::string statement = account_.dialect().WriteClaimingLock(sql, table);
    for (int attempt = 1;; ++attempt) {
      try {
        driver.Execute(statement, all);
        return;
      } catch (const VbError& e) {
        driver.RollbackQuietly();
        // A lock row there already; or the write's own refusal, which the write that looks at
        // the lock first tells as it is.
        if (e.number() == dberr::kIntegrity)
          throw VbError(dberr::kLockedByAnother, std::string(kLockedByAnother));
        if (e.number() != dberr::kConflict) throw;
        // Held open by another session's transaction, or collided with one: looked at anew.
        if (attempt == kTransactionAttempts)
          throw VbError(dberr::kLockedByAnother, std::string(kLockedByAnother));
        Backoff(attempt);
      }
    }
  }
  // Freed or not, the next write of the item looks again.
  took_.erase(key);
  for (int attempt = 1;; ++attempt) {
    const bool continuing = DeferredHolds(driver, key);
    if (continuing) {
      driver.Continue();
      deferredKey_.clear();
    }
    try {
      driver.Execute(account_.dialect().WriteHoldingLock(sql, table, !continuing), all);
      return;
    } catch (const VbError& e) {
      driver.RollbackQuietly();
      if (e.number() != dberr::kConflict) throw;
      // The lock a transaction left open went with it; one committed stays to try again.
      if (continuing || attempt == kTransactionAttempts)
        throw VbError(dberr::kLockedByAnother, std::string(kLockedByAnother));
      Backoff(attempt);
    }
  }
}

Status LockTable::InTransaction(const std::string& key, const std::function<Status()>& body) {
  std::string table;
  Driver* d = account_.SystemTableDriver("locks", &table);
  if (d == nullptr)
    throw VbError(rserr::kObjectClosed, "Operation is not allowed when the object is closed.");
  try {
    CheckLease();
  } catch (...) {
    return Status::OfCurrentException();
  }
  for (int attempt = 1;; ++attempt) {
    const bool continuing = DeferredHolds(*d, key);
    try {
      if (continuing) {
        d->Continue();
        deferredKey_.clear();
      } else {
        d->Begin();
      }
      const Status outcome = body();
      // The raw routines tell a failed statement as their outcome.
      if (outcome.Is(dberr::kConflict)) throw VbError(dberr::kConflict, outcome.Message());
      if (!outcome.ok()) {
        d->RollbackQuietly();
        return outcome;
      }
      d->Commit();
      return outcome;
    } catch (const VbError& e) {
      d->RollbackQuietly();
      if (e.number() != dberr::kConflict) throw;
      if (continuing || attempt == kTransactionAttempts) return LockedByAnother();
      Backoff(attempt);
    } catch (...) {
      d->RollbackQuietly();
      throw;
    }
  }
}

Status LockTable::Claim(const std::string& tablePart, const std::string& id, bool mustBeOwn,
                        bool* wasOwn) {
  std::string table;
  Driver* d = account_.SystemTableDriver("locks", &table);
  if (d == nullptr)
    throw VbError(rserr::kObjectClosed, "Operation is not allowed when the object is closed.");
  bool own = false;
  Status claimed;
  try {
    CheckItemId(id);
    claimed = LockOn(*d, table, Key(tablePart, id), true, nullptr, &own);
  } catch (const VbError& e) {
    // A collision is the transaction's to run again; anything else refuses the write.
    if (e.number() == dberr::kConflict) throw;
    return Status::OfCurrentException();
  }
  if (wasOwn) *wasOwn = own;
  if (claimed.ok() && mustBeOwn && !own) return LockedByAnother();
  return claimed;
}

void LockTable::Drop(const std::string& key) {
  std::string table;
  Driver* d = account_.SystemTableDriver("locks", &table);
  if (d == nullptr)
    throw VbError(rserr::kObjectClosed, "Operation is not allowed when the object is closed.");
  const DbValue p[] = {account_.dialect().StoredLockKey(key), holder_};
  d->Execute("DELETE FROM " + table + " WHERE A0 = ? AND UserInst = ?", p);
  took_.erase(key);
}

void LockTable::ReleaseAll() {
  if (holder_.empty()) return;
  (void)Release({}, {});
}

void LockTable::MarkSessionAlive(int waitSeconds) {
  if (!account_.dialect().MarksSessions()) return;
  WithLocksOnce([&](Driver& d, const std::string&) {
    orvik::MarkSessionAlive(d, account_.dialect(), holder_, waitSeconds);
    return 0;
  });
}

void LockTable::RemoveStaleLocks() {
  try {
    WithLocksOnce([&](Driver& d, const std::string& table) {
      return orvik::RemoveStaleLocks(d, account_.dialect(), table, registry_);
    });
  } catch (...) {
    // The next port that asks for a stale lock's item removes it then.
  }
}

}  // namespace orvik
