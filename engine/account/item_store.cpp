// The item operations programs call: reads and writes of whole items and single attributes,
// with the lock test and the optimistic write check.

#include "item_store.h"

#include <optional>

#include "file_variable.h"
#include "layout.h"
#include "vb_error.h"

namespace orvik {

ItemStore::WritePlace::WritePlace(AccountConnection& connection, const std::string& account,
                                  const std::string& file)
    : driver(connection.ConnectionFor(account)),
      away(connection.SwitchTo(
          *driver, account,
          connection.dialect().WritesSwitchAccount() && account != connection.Account())),
      name(connection.dialect().WrittenTableName(account, file)) {}

Status ItemStore::Read(Variant& out, const Variant& fileVariable, const Variant& itemId,
                       std::optional<std::int32_t> attribute, LockTest lock, bool keepCopy) {
  const std::string fv = fileVariable.ToString();
  const std::string id = itemId.ToString();
  const std::string tablePart(TablePartOf(fv));
  std::string text;
  Status read;
  bool done = false;
  if (lock == LockTest::kTake && !attribute && locks_.CombinesWithItems()) {
    // The lock and the read as one statement, a round trip to a server where they took two;
    // a lock row there already (whosever it is) is looked at below.
    read = ReadItemRaw(text, fv, id, &done);
  }
  if (!done) {
    if (lock != LockTest::kNone) {
      if (Status locked = locks_.Lock(tablePart, id, lock == LockTest::kTake, nullptr);
          !locked.ok()) {
        out = Variant(std::string());
        return locked;
      }
    }
    read = attribute ? ReadAttributeRaw(text, fv, id, *attribute) : ReadItemRaw(text, fv, id);
  }
  out = Variant(read.ok() ? text : std::string());
  if (keepCopy) {
    if (read.ok()) {
      readCopies_[tablePart] = ReadCopy{id, text, fv};
    } else {
      readCopies_.erase(tablePart);
    }
  } else if (read.ok()) {
    readCopies_.erase(tablePart);
  }
  return read;
}

Status ItemStore::Write(const std::string& fileVariable, const std::string& id, bool keepLock,
                        const std::function<Status()>& write,
                        const std::function<Status(const std::string& key, bool claim)>&
                            writeReleasing) {
  const std::string tablePart(TablePartOf(fileVariable));
  const std::string key = LockTable::Key(tablePart, id);
  const bool transactional = locks_.Transactional();
  if (transactional && !keepLock && writeReleasing && !locks_.Took(key) &&
      !CopyKept(tablePart, id)) {
    // A plain write of an item nobody locked: the lock taken for it, the write and the
    // release as one statement. A lock row there already (whosever it is) is looked at below.
    const Status written = writeReleasing(key, true);
    if (!written.Is(dberr::kLockedByAnother)) return written;
  }
  if (!keepLock && writeReleasing && locks_.Took(key) && !CopyKept(tablePart, id) &&
      locks_.CombinesWithItems()) {
    // The end of a read for update, a change and this write: the write, its look at the lock
    // and the release go as one statement, a round trip to a server where they took three.
    Status written;
    try {
      written = writeReleasing(key, false);
    } catch (...) {
      locks_.ReleaseKey(key);
      throw;
    }
    // A lock no longer this port's refuses the write in a transaction; otherwise it is looked
    // at as any write does below, which also frees the lock of a holder that is gone.
    if (transactional || !written.Is(dberr::kLockedByAnother)) {
      if (!written.ok() && !written.Is(dberr::kLockedByAnother)) locks_.ReleaseKey(key);
      return written;
    }
  }
  if (transactional) return TransactionalWrite(tablePart, id, keepLock, write);
  std::string handBack;
  if (Status locked = locks_.Lock(tablePart, id, keepLock, keepLock ? nullptr : &handBack);
      !locked.ok())
    return locked;
  // A plain write ends this session's hold on the item, whatever became of the write: a
  // statement that fails (and goes to the caller as its error) frees the lock too.
  Status written;
  try {
    written = CheckedWrite(tablePart, id, write);
  } catch (...) {
    if (!handBack.empty()) locks_.ReleaseKey(handBack);
    throw;
  }
  if (!handBack.empty()) locks_.ReleaseKey(handBack);
  return written;
}

Status ItemStore::TransactionalWrite(const std::string& tablePart, const std::string& id,
                                     bool keepLock, const std::function<Status()>& write) {
  const std::string key = LockTable::Key(tablePart, id);
  // A lock this port took must still be its own when the write comes.
  const bool held = locks_.Took(key);
  // Each try of the transaction checks against the copy as the read kept it.
  std::optional<ReadCopy> copy;
  if (const auto it = readCopies_.find(tablePart); it != readCopies_.end() && it->second.id == id)
    copy = it->second;
  bool wasOwn = false;
  Status written;
  try {
    written = locks_.InTransaction(key, [&]() -> Status {
      if (copy) readCopies_[tablePart] = *copy;
      if (Status claimed = locks_.Claim(tablePart, id, held, &wasOwn); !claimed.ok())
        return claimed;
      Status outcome = copy ? CheckUnchanged(tablePart, id) : Status::Ok();
      if (outcome.ok()) outcome = write();
      if (outcome.ok() && !keepLock) locks_.Drop(key);
      return outcome;
    });
  } catch (...) {
    if (!keepLock && (held || wasOwn)) locks_.ReleaseKey(key);
    throw;
  }
  if (written.ok()) {
    if (keepLock) {
      locks_.Remember(key);
    } else {
      locks_.Forget(key);
    }
  } else if (!keepLock) {
    // A plain write ends this session's hold on the item, whatever became of the write.
    if (held || wasOwn) locks_.ReleaseKey(key);
  } else if (!held) {
    locks_.Forget(key);
  }
  return written;
}

Status ItemStore::WriteItem(std::string_view item, std::string_view fileVariable,
                            std::string_view itemId, bool keepLock) {
  const std::string fv(fileVariable), id(itemId);
  return Write(
      fv, id, keepLock, [&] { return WriteItemRaw(item, fv, id); },
      [&](const std::string& key, bool claim) { return WriteItemRaw(item, fv, id, &key, claim); });
}

Status ItemStore::WriteAttribute(std::string_view value, std::string_view fileVariable,
                                 std::string_view itemId, std::int32_t attribute, bool keepLock) {
  const std::string fv(fileVariable), id(itemId);
  return Write(fv, id, keepLock, [&] { return WriteAttributeRaw(value, fv, id, attribute); });
}

Status ItemStore::Delete(const std::string& fvText, const std::string& id) {
  return Write(fvText, id, false, [&] {
    const FileVariable fv = FileVariable::Parse(fvText);
    std::string account, file;
    if (!fv.Split(&account, &file)) {
      throw VbError(dberr::kBadName, "Invalid file name \"" + fv.tablePart + "\"");
    }
    const WritePlace place(account_, account, file);
    // The item the datastore would find under the id may be another one.
    if (TwinStored(*place.driver, place.name, id)) return Status::Refused();
    const Dialect::KeyMatch key = account_.dialect().KeyEquals(id);
    const std::int64_t n =
        place.driver->Execute("DELETE FROM " + place.name + " WHERE " + key.condition,
                              std::span<const DbValue>(&key.param, 1));
    return n != 0 ? Status::Ok() : Status::Refused();
  });
}

Status ItemStore::Release(const Variant& fileVariable, const Variant& itemId) {
  try {
    const std::string file(
        TablePartOf(fileVariable.IsEmpty() ? std::string() : fileVariable.ToString()));
    const std::string id = itemId.IsEmpty() ? std::string() : itemId.ToString();
    return locks_.Release(file, id);
  } catch (...) {
    return Status::OfCurrentException();
  }
}

bool ItemStore::CopyKept(const std::string& tablePart, const std::string& id) const {
  const auto it = readCopies_.find(tablePart);
  return it != readCopies_.end() && it->second.id == id;
}

Status ItemStore::CheckUnchanged(const std::string& tablePart, const std::string& id) {
  const auto it = readCopies_.find(tablePart);
  if (it == readCopies_.end() || it->second.id != id) return Status::Ok();
  const Status changed =
      Status::Error(dberr::kChangedMeanwhile,
                    "TRANSACTION FAILED, another user has changed your record, please try again");
  std::string current;
  // Read back the way the copy was read, numeric attributes included.
  if (const Status read = ReadItemRaw(current, it->second.fileVariable, id); !read.ok()) {
    if (read.Is(dberr::kItemMissing)) {
      // Deleted by another session: that is a change too.
      readCopies_.erase(it);
      return changed;
    }
    return Status::Error(dberr::kConnectionLost,
                         "TRANSACTION FAILED, lost connection to datastore.");
  }
  const bool same = current == it->second.item;
  readCopies_.erase(it);
  return same ? Status::Ok() : changed;
}

Status ItemStore::CheckedWrite(const std::string& tablePart, const std::string& id,
                               const std::function<Status()>& write) {
  const auto copy = readCopies_.find(tablePart);
  if (copy == readCopies_.end() || copy->second.id != id) return write();
  // The check and the write must not let another session's write in between: hold the
  // item's lock row while they run (taking it for the moment when this session does not
  // hold it yet).
  std::string handBack;
  if (Status locked = locks_.Lock(tablePart, id, false, &handBack); !locked.ok()) return locked;
  const bool alreadyHeld = !handBack.empty();
  if (!alreadyHeld) {
    if (Status locked = locks_.Lock(tablePart, id, true, nullptr); !locked.ok()) return locked;
  }
  Status written;
  try {
    written = CheckUnchanged(tablePart, id);
    if (written.ok()) written = write();
  } catch (...) {
    if (!alreadyHeld) locks_.ReleaseKey(LockTable::Key(tablePart, id));
    throw;
  }
  if (!alreadyHeld) locks_.ReleaseKey(LockTable::Key(tablePart, id));
  return written;
}

}  // namespace orvik
