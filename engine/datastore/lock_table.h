// Item locks: rows of the system account's locks table, one per locked item, keyed by the
// lock key (table part, character 255, item id) and naming the holder's user instance.
//
// The key is the table's primary key, so taking a lock is one insert that two ports can
// never both win. A lock whose holder is gone (its process died, its server connection
// ended: lock_holders.h) is removed by the next port that asks for the item, by every login
// and by the console at its start; a live holder's lock is never taken.
//
// Used on the port's thread only, through the port's AccountConnection. Failures come back
// as a Status ("[920] Another user has this item locked", or what the datastore said).

#ifndef ORVIK_ENGINE_DATASTORE_LOCK_TABLE_H_
#define ORVIK_ENGINE_DATASTORE_LOCK_TABLE_H_

#include <string>
#include <string_view>

#include "account_connection.h"
#include "status.h"

namespace orvik {

class UserRegistry;

namespace dberr {
inline constexpr int kLockedByAnother = 920;
}  // namespace dberr

class LockTable {
 public:
  explicit LockTable(AccountConnection& account) : account_(account) {}

  // Whose locks this port takes and frees: the session's user instance once it has logged
  // in, and the home's user registry that tells whether an embedded-store holder is gone.
  void SetHolder(std::string userInst, UserRegistry* registry) {
    holder_ = std::move(userInst);
    registry_ = registry;
  }
  const std::string& Holder() const { return holder_; }

  // The lock key of an item.
  static std::string Key(std::string_view tablePart, std::string_view id);

  // Whether this port may go on with the item: free, or its own. With `update` a free item
  // is locked for this port. `handBack` receives the key when the port already held the
  // lock and it is not taking one (a plain write frees it afterwards).
  Status Lock(const std::string& tablePart, const std::string& id, bool update,
              std::string* handBack);
  // Frees this port's locks: one item, every item of a file (empty id), or all (no file).
  Status Release(const std::string& tablePart, const std::string& id);
  // Frees this port's lock of a key Lock handed back; a failure is the next Lock's to tell.
  void ReleaseKey(const std::string& key);
  // Every lock of this session, when it has logged in.
  void ReleaseAll();

  // Marks this session as alive on its server connection (lock_holders.h); throws VbError
  // when the mark cannot be taken. `waitSeconds`: for the mark of a connection still closing.
  void MarkSessionAlive(int waitSeconds = 0);
  // Removes the locks whose holders are gone; a failure leaves them to the next port that
  // asks for their items.
  void RemoveStaleLocks();

 private:
  // Runs `statement(driver, table)` against the locks table, again after a conflict with
  // another session (a rolled-back statement) up to ten times.
  template <typename F>
  auto WithLocks(F statement);
  template <typename F>
  auto WithLocksOnce(F statement);

  AccountConnection& account_;
  std::string holder_;
  UserRegistry* registry_ = nullptr;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_LOCK_TABLE_H_
