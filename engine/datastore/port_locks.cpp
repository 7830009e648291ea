// Item locks, Release and the optimistic write check.
//
// A lock is a row of the system account's locks table: the lock key (table part, character
// 255, item id) and the holder's user instance. The key is the table's primary key, so taking
// a lock is one insert that two ports can never both win. A lock whose holder is gone (its
// process died, its server connection ended: lock_holders.h) is removed by the next port that
// asks for the item, by every login and by the console at its start; a live holder's lock is
// never taken.

#include <optional>
#include <vector>

#include "file_variable.h"
#include "layout.h"
#include "lock_holders.h"
#include "port.h"
#include "user_registry.h"
#include "vb_error.h"

namespace orvik {
namespace {

constexpr std::string_view kLockedByAnother = "[920] Another user has this item locked";

std::string LockKey(const std::string& tablePart, const std::string& id) {
  return tablePart + kItemLockMark + id;
}

}  // namespace

template <typename F>
auto Port::WithLocks(F statement) {
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
auto Port::WithLocksOnce(F statement) {
  const std::string& kind = settings_.dataStore;
  if (kind == "MYSQL") {
    if (!connection_)
      throw VbError(rserr::kObjectClosed, "Operation is not allowed when the object is closed.");
    return statement(*connection_, std::string("dm.locks"));
  }
  if (kind == "MSSQL") {
    if (!connection_)
      throw VbError(rserr::kObjectClosed, "Operation is not allowed when the object is closed.");
    const DatabaseSwitch in = SwitchTo(*connection_, "dm");
    return statement(*connection_, std::string("locks"));
  }
  if (!dmConnection_)
    throw VbError(rserr::kObjectClosed, "Operation is not allowed when the object is closed.");
  return statement(*dmConnection_, std::string("locks"));
}

bool Port::LockItem(const std::string& tablePart, const std::string& id, bool update,
                    std::string* handBack) {
  const std::string key = LockKey(tablePart, id);
  try {
    CheckItemId(id);
    return WithLocks([&](Driver& d, const std::string& table) {
      const DbValue keyParam{key};
      struct Holder {
        std::string key;
        std::string owner;
      };
      const auto holder = [&]() -> std::optional<Holder> {
        auto row = d.Query("SELECT A0, UserInst FROM " + table + " WHERE A0 = ?",
                           std::span<const DbValue>(&keyParam, 1));
        if (!row->Next()) return std::nullopt;
        return Holder{row->Row()[0].value_or(""), row->Row()[1].value_or("")};
      };
      bool reclaimed = false;
      for (int attempt = 0; attempt < 3; ++attempt) {
        const std::optional<Holder> found = holder();
        // A server's collation may find another item's lock under this key (layout.h): that
        // lock is not this port's to keep or free, whoever holds it.
        const bool own = found && found->owner == userInst_ && SameKey(found->key, key);
        if (found && !own) {
          if (!reclaimed && HolderGone(d, settings_.dataStore, registry_.get(), found->owner)) {
            const DbValue row[] = {found->key, found->owner};
            d.Execute("DELETE FROM " + table + " WHERE A0 = ? AND UserInst = ?", row);
            reclaimed = true;
            continue;
          }
          errorDetail_ = kLockedByAnother;
          return false;
        }
        if (found) {
          if (!update && handBack) *handBack = key;
          return true;
        }
        if (!update) return true;
        try {
          const DbValue row[] = {key, userInst_};
          d.Execute("INSERT INTO " + table + " (A0, UserInst) VALUES (?, ?)", row);
          return true;
        } catch (const VbError& e) {
          // Another port took it between the look and the insert: look again.
          if (e.number() != dberr::kIntegrity) throw;
        }
      }
      errorDetail_ = kLockedByAnother;
      return false;
    });
  } catch (...) {
    // A lock that cannot be taken is a refusal, never a silent success.
    errorDetail_ = CurrentExceptionMessage();
    return false;
  }
}

bool Port::Release(const Variant& fileVariable, const Variant& itemId) {
  try {
    const std::string file(
        TablePartOf(fileVariable.IsEmpty() ? std::string() : fileVariable.ToString()));
    const std::string id = itemId.IsEmpty() ? std::string() : itemId.ToString();
    WithLocks([&](Driver& d, const std::string& table) -> std::int64_t {
      const std::string remove = "DELETE FROM " + table + " WHERE A0 = ? AND UserInst = ?";
      if (!file.empty() && !id.empty()) {
        const DbValue p[] = {LockKey(file, id), userInst_};
        return d.Execute(remove, p);
      }
      const DbValue owner{userInst_};
      if (!file.empty()) {
        // Exactly this file's rows: a key's table part ends at its first character 255. A
        // pattern would reach "orders2" from "orders", and read "_" as any character.
        std::vector<std::string> keys;
        {
          auto rows = d.Query("SELECT A0 FROM " + table + " WHERE UserInst = ?",
                              std::span<const DbValue>(&owner, 1));
          while (rows->Next()) {
            const std::string key = rows->Row()[0].value_or("");
            if (EqualsNoCase(std::string_view(key).substr(0, key.find(kItemLockMark)), file))
              keys.push_back(key);
          }
        }
        std::int64_t n = 0;
        for (const std::string& key : keys) {
          const DbValue p[] = {key, userInst_};
          n += d.Execute(remove, p);
        }
        return n;
      }
      return d.Execute("DELETE FROM " + table + " WHERE UserInst = ?",
                       std::span<const DbValue>(&owner, 1));
    });
    return true;
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    return false;
  }
}

void Port::ReleaseKey(const std::string& key) {
  const std::string detail = errorDetail_;
  const std::size_t mark = key.find(kItemLockMark);
  Release(Variant(key.substr(0, mark)), Variant(key.substr(mark + 1)));
  errorDetail_ = detail;
}

void Port::MarkSessionAlive(int waitSeconds) {
  if (settings_.dataStore != "MYSQL" && settings_.dataStore != "MSSQL") return;
  WithLocksOnce([&](Driver& d, const std::string&) {
    orvik::MarkSessionAlive(d, settings_.dataStore, userInst_, waitSeconds);
    return 0;
  });
}

void Port::RemoveStaleLocks() {
  try {
    WithLocksOnce([&](Driver& d, const std::string& table) {
      return orvik::RemoveStaleLocks(d, settings_.dataStore, table, registry_.get());
    });
  } catch (...) {
    // The next port that asks for a stale lock's item removes it then.
  }
}

void Port::DeleteOwnLocks() {
  if (userInst_.empty()) return;
  try {
    Release();
  } catch (...) {
  }
}

bool Port::CheckUnchanged(const std::string& tablePart, const std::string& id) {
  const auto it = readCopies_.find(tablePart);
  if (it == readCopies_.end() || it->second.id != id) return true;
  std::string current;
  // Read back the way RReadTR read it, numeric attributes included.
  if (!ReadItemRaw(current, it->second.fileVariable, id)) {
    if (errorDetail_.rfind("[912] ", 0) == 0) {
      // Deleted by another port: that is a change too.
      readCopies_.erase(it);
      errorDetail_ =
          "[925] TRANSACTION FAILED, another user has changed your record, please try again";
      return false;
    }
    errorDetail_ = "[926] TRANSACTION FAILED, lost connection to datastore.";
    return false;
  }
  const bool same = current == it->second.item;
  readCopies_.erase(it);
  errorDetail_.clear();
  if (!same) {
    errorDetail_ =
        "[925] TRANSACTION FAILED, another user has changed your record, please try again";
    return false;
  }
  return true;
}

bool Port::CheckedWrite(const std::string& tablePart, const std::string& id,
                        const std::function<bool()>& write) {
  const auto copy = readCopies_.find(tablePart);
  if (copy == readCopies_.end() || copy->second.id != id) return write();
  // The check and the write must not let another port's write in between: hold the item's
  // lock row while they run (taking it for the moment when this port does not hold it yet).
  std::string handBack;
  if (!LockItem(tablePart, id, false, &handBack)) return false;
  const bool alreadyHeld = !handBack.empty();
  if (!alreadyHeld && !LockItem(tablePart, id, true, nullptr)) return false;
  bool ok;
  try {
    ok = CheckUnchanged(tablePart, id) && write();
  } catch (...) {
    if (!alreadyHeld) ReleaseKey(LockKey(tablePart, id));
    throw;
  }
  if (!alreadyHeld) ReleaseKey(LockKey(tablePart, id));
  return ok;
}

}  // namespace orvik
