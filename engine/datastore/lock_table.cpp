#include "lock_table.h"

#include <optional>
#include <vector>

#include "layout.h"
#include "lock_holders.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

constexpr std::string_view kLockedByAnother = "Another user has this item locked";

Status LockedByAnother() {
  return Status::Error(dberr::kLockedByAnother, std::string(kLockedByAnother));
}

// Whether the lock `key` is of an item of the file `tablePart`: exactly, as a key's table part
// ends at its first character 255 (a pattern would reach "orders2" from "orders").
bool KeyOfFile(std::string_view key, std::string_view tablePart) {
  return EqualsNoCase(key.substr(0, key.find(kItemLockMark)), tablePart);
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

Status LockTable::Lock(const std::string& tablePart, const std::string& id, bool update,
                       std::string* handBack) {
  const std::string key = Key(tablePart, id);
  try {
    CheckItemId(id);
    const Status locked = WithLocks([&](Driver& d, const std::string& table) {
      const DbValue keyParam{account_.dialect().StoredLockKey(key)};
      struct Held {
        std::string key;
        std::string owner;
      };
      const auto holder = [&]() -> std::optional<Held> {
        auto row = d.Lookup("SELECT A0, UserInst FROM " + table + " WHERE A0 = ?",
                            std::span<const DbValue>(&keyParam, 1));
        if (!row->Next()) return std::nullopt;
        return Held{row->Row()[0].value_or(""), row->Row()[1].value_or("")};
      };
      // Whether this port's lock row went in; false when the key's row is there already.
      const auto taken = [&] {
        try {
          const DbValue row[] = {keyParam, holder_};
          d.Execute("INSERT INTO " + table + " (A0, UserInst) VALUES (?, ?)", row);
          return true;
        } catch (const VbError& e) {
          if (e.number() != dberr::kIntegrity) throw;
          return false;
        }
      };
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
          if (!reclaimed && HolderGone(d, account_.dialect(), registry_, found->owner)) {
            const DbValue row[] = {found->key, found->owner};
            d.Execute("DELETE FROM " + table + " WHERE A0 = ? AND UserInst = ?", row);
            reclaimed = true;
            continue;
          }
          return LockedByAnother();
        }
        if (found) {
          if (!update && handBack) *handBack = key;
          return Status::Ok();
        }
        if (!update) return Status::Ok();
        // Refused: another port took it between the look and the insert, so look again.
        if (taken()) return Status::Ok();
      }
      return LockedByAnother();
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
    WithLocks([&](Driver& d, const std::string& table) -> std::int64_t {
      const std::string remove = "DELETE FROM " + table + " WHERE A0 = ? AND UserInst = ?";
      if (!tablePart.empty() && !id.empty()) {
        const DbValue p[] = {account_.dialect().StoredLockKey(Key(tablePart, id)), holder_};
        return d.Execute(remove, p);
      }
      const DbValue owner{holder_};
      if (!tablePart.empty()) {
        // Exactly this file's rows, compared here: a LIKE pattern would also read "_" as any
        // character.
        std::vector<std::string> keys;
        {
          auto rows = d.Query("SELECT A0 FROM " + table + " WHERE UserInst = ?",
                              std::span<const DbValue>(&owner, 1));
          while (rows->Next()) {
            const std::string key = rows->Row()[0].value_or("");
            if (KeyOfFile(key, tablePart)) keys.push_back(key);
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
  std::string table;
  const Driver* driver = account_.SystemTableDriver("locks", &table);
  return driver != nullptr && driver->RunsCompoundStatements() &&
         !account_.SwitchesToSystemAccount("locks") &&
         !account_.dialect().WriteHoldingLock("", table).empty();
}

std::string LockTable::CombinedOn(const Driver& driver) const {
  std::string table;
  if (account_.SystemTableDriver("locks", &table) != &driver || !CombinesWithItems()) {
    // A statement elsewhere would take or free no lock: never run it so.
    throw VbError(dberr::kUnspecified, "The item's lock is on another connection");
  }
  return table;
}

std::unique_ptr<Cursor> LockTable::TakeAndRead(Driver& driver, const std::string& tablePart,
                                               const std::string& id, const std::string& sql,
                                               std::span<const DbValue> params) {
  CheckItemId(id);
  const std::string table = CombinedOn(driver);
  const std::string key = Key(tablePart, id);
  std::vector<DbValue> all{key, holder_};
  all.insert(all.end(), params.begin(), params.end());
  try {
    std::unique_ptr<Cursor> rows = driver.Lookup(account_.dialect().TakeThenRead(sql, table), all);
    took_.insert(key);
    return rows;
  } catch (const VbError& e) {
    if (e.number() != dberr::kIntegrity) throw;
    return nullptr;
  }
}

void LockTable::WriteAndRelease(Driver& driver, const std::string& sql,
                                std::span<const DbValue> params, const std::string& key) {
  const std::string table = CombinedOn(driver);
  std::vector<DbValue> all{key, holder_};
  all.insert(all.end(), params.begin(), params.end());
  all.emplace_back(key);
  all.emplace_back(holder_);
  // Freed or not, the next write of the item looks again.
  took_.erase(key);
  driver.Execute(account_.dialect().WriteHoldingLock(sql, table), all);
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
