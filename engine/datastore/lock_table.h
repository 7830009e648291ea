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

#include <set>
#include <span>
#include <string>
#include <string_view>

#include "account_connection.h"
#include "status.h"

namespace orvik {

class UserRegistry;

class LockTable {
 public:
  explicit LockTable(AccountConnection& account) : account_(account) {}

  // Whose locks this port takes and frees: the session's user instance once it has logged
  // in, and the home's user registry that tells whether an embedded-store holder is gone.
  void SetHolder(std::string userInst, UserRegistry* registry) {
    holder_ = std::move(userInst);
    registry_ = registry;
    took_.clear();
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

  // Whether this port took the lock of `key` and has not freed it since: a hint that lets a
  // write go without looking at the lock first, never a promise (a row can go behind the
  // port's back, which WriteAndRelease's statement sees for itself).
  bool Took(const std::string& key) const { return took_.contains(key); }
  // Whether, on this datastore, a read for update can take its item's lock and a write free
  // it in the item's own statement: one round trip to a server for each, where the lock
  // rows' table costs no durable commit and round trips are what a lock costs.
  bool CombinesWithItems() const;
  // Takes the lock of the item and runs the read `sql` with `params` on `driver` in one
  // statement (Dialect::TakeThenRead), where CombinesWithItems, on the locks table's
  // connection. The read's rows; nullptr, having read nothing, when the item's lock row is
  // there already (this port's, another session's or a gone one's: Lock tells them apart).
  // Throws what the statement raises, and VbError for an id no key may hold.
  std::unique_ptr<Cursor> TakeAndRead(Driver& driver, const std::string& tablePart,
                                      const std::string& id, const std::string& sql,
                                      std::span<const DbValue> params);
  // Runs the write `sql` with `params` on `driver` and frees this port's lock of `key` in
  // the same statement (Dialect::WriteHoldingLock), which writes only while no other session
  // holds the item: dberr::kLockedByAnother otherwise. Where CombinesWithItems, on the locks
  // table's connection. Throws what the statement raises.
  void WriteAndRelease(Driver& driver, const std::string& sql, std::span<const DbValue> params,
                       const std::string& key);

  // Marks this session as alive on its server connection (lock_holders.h); throws VbError
  // when the mark cannot be taken. `waitSeconds`: for the mark of a connection still closing.
  void MarkSessionAlive(int waitSeconds = 0);
  // Removes the locks whose holders are gone; a failure leaves them to the next port that
  // asks for their items.
  void RemoveStaleLocks();

 private:
  // The locks table's statement name on `driver`, which must be its connection.
  std::string CombinedOn(const Driver& driver) const;
  // Runs `statement(driver, table)` against the locks table, again after a conflict with
  // another session (a rolled-back statement) up to ten times.
  template <typename F>
  auto WithLocks(F statement);
  template <typename F>
  auto WithLocksOnce(F statement);

  AccountConnection& account_;
  std::string holder_;
  UserRegistry* registry_ = nullptr;
  std::set<std::string> took_;  // the keys of the locks this port took and has not freed
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_LOCK_TABLE_H_
