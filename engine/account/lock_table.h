// Item locks: rows of the system account's locks table, one per locked item, keyed by the
// lock key (table part, character 255, item id) and naming the holder's user instance.
//
// The key is the table's primary key, so taking a lock is one insert that two ports can
// never both win. A lock whose holder is gone (its process died, its server connection
// ended, its lease ran out: lock_holders.h) is removed by the next port that asks for the
// item, by every login and by the console at its start; a live holder's lock is never taken.
//
// Where the datastore runs transactions and keeps the locks beside the items (a MariaDB
// server: Transactional), the locks are taken and freed in the items' own transactions:
//  - a read for update takes the lock and reads the item in one transaction. On a cluster
//    it commits at once, so that every node sees the lock. On a server alone it is left open
//    (Driver::Defer): the lock, not yet committed, is seen by every other session as it
//    tries for the item (an insert or a locking read that does not wait), and the write that
//    ends it goes on in the same transaction, so the whole change costs one durable commit;
//    any other statement of the port commits the lock first;
//  - a write runs in one transaction with the lock's test, the write check and the lock's
//    release: refused, it changes nothing. A lock this port took that is no longer its own
//    (judged gone meanwhile) refuses the write: what was read for it may be old;
//  - a transaction that two sessions' changes collide in (a deadlock, a cluster's failed
//    certification) is run again a few times, then refused as "[920]", never reported as
//    the server's error.
//
// Used on the port's thread only, through the port's AccountConnection. Failures come back
// as a Status ("[920] Another user has this item locked", or what the datastore said).

#ifndef ORVIK_ENGINE_DATASTORE_LOCK_TABLE_H_
#define ORVIK_ENGINE_DATASTORE_LOCK_TABLE_H_

#include <functional>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "account_connection.h"
#include "status.h"

namespace orvik {

class UserRegistry;

namespace dberr {
// The session can no longer count as alive to the others (its server is gone, or its lease
// ran out): it may neither lock nor write, and ends.
inline constexpr int kSessionLost = 928;
}  // namespace dberr

inline constexpr std::string_view kSessionLostText =
    "The session's hold on the datastore is lost (its server is gone, or its lease ran out): "
    "the session ends";

class LockTable {
 public:
  explicit LockTable(AccountConnection& account)
      : account_(account), locksTable_(account.dialect().SystemTableOf("locks").table) {}

  // Whose locks this port takes and frees: the session's user instance once it has logged
  // in, and the home's user registry that tells whether an embedded-store holder is gone.
  void SetHolder(std::string userInst, UserRegistry* registry) {
    holder_ = std::move(userInst);
    registry_ = registry;
    took_.clear();
    deferredKey_.clear();
  }
  const std::string& Holder() const { return holder_; }
  // Whether the session still counts as alive to the others; while it does not, nothing is
  // locked or written ("[928]"). None: always.
  void SetLeaseCheck(std::function<bool()> held) { leaseHeld_ = std::move(held); }

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

  // Whether this port took the lock of `key` and has not freed it since.
  bool Took(const std::string& key) const { return took_.contains(key); }
  // Whether, on this datastore, a read for update can take its item's lock and a write free
  // it in the item's own statement: one round trip to a server for each.
  bool CombinesWithItems() const;
  // Whether the locks are taken and freed in the items' own transactions (above).
  bool Transactional() const;
  // Takes the lock of the item and runs the read `sql` with `params` on `driver` in one
  // statement (Dialect::TakeThenRead), where CombinesWithItems, on the locks table's
  // connection. The read's rows; nullptr, having read nothing, when the item's lock row is
  // there already or held by a transaction of another session (Lock tells them apart).
  // Throws what the statement raises, and VbError for an id no key may hold.
  std::unique_ptr<Cursor> TakeAndRead(Driver& driver, const std::string& tablePart,
                                      const std::string& id, const std::string& sql,
                                      std::span<const DbValue> params);
  // Runs the write `sql` with `params` on `driver` and frees this port's lock of `key` in
  // the same transaction (Dialect::WriteHoldingLock): dberr::kLockedByAnother, nothing
  // written, when the lock is no longer this port's. With `claim`, takes the lock for the
  // write first (Dialect::WriteClaimingLock): dberr::kLockedByAnother, nothing written, when
  // a lock row of the key is there already, or held by another session's transaction. Where
  // CombinesWithItems, on the locks table's connection. Throws what the statement raises.
  void WriteAndRelease(Driver& driver, const std::string& sql, std::span<const DbValue> params,
                       const std::string& key, bool claim = false);

  // --- Transactions (where Transactional) ------------------------------------------------

  // Runs `body` as one transaction on the locks table's connection: committed when it
  // answers ok, rolled back otherwise (and when it throws). The transaction a read for
  // update of `key` left open is the one it goes on with. A collision with another session's
  // transaction runs it again, a few times at most, then answers "[920]".
  Status InTransaction(const std::string& key, const std::function<Status()>& body);
  // Inside InTransaction: takes the item's lock for this session, or finds it its own
  // (`wasOwn`). With `mustBeOwn` (this port took it) a lock that is its own no more refuses
  // it: the item may have changed since it was read.
  Status Claim(const std::string& tablePart, const std::string& id, bool mustBeOwn, bool* wasOwn);
  // Inside InTransaction: frees this port's lock of `key`.
  void Drop(const std::string& key);
  // What this port holds, told after a transaction ended.
  void Remember(const std::string& key) { took_.insert(key); }
  void Forget(const std::string& key) { took_.erase(key); }

  // Marks this session as alive on its server connection (lock_holders.h); throws VbError
  // when the mark cannot be taken. `waitSeconds`: for the mark of a connection still closing.
  void MarkSessionAlive(int waitSeconds = 0);
  // Removes the locks whose holders are gone; a failure leaves them to the next port that
  // asks for their items.
  void RemoveStaleLocks();

 private:
  // The locks table's statement name on `driver`, which must be its connection.
  const std::string& CombinedOn(const Driver& driver) const;
  // Runs `statement(driver, table)` against the locks table, again after a conflict with
  // another session (a rolled-back statement) up to ten times.
  template <typename F>
  auto WithLocks(F statement);
  template <typename F>
  auto WithLocksOnce(F statement);
  // Lock's statements on `d`, whose locks table is `table`. `ownBefore`: the lock was this
  // port's already.
  Status LockOn(Driver& d, const std::string& table, const std::string& key, bool update,
                std::string* handBack, bool* ownBefore);
  // Throws VbError kSessionLost while the session does not count as alive.
  void CheckLease() const;
  // Whether the deferred transaction is still open, and holds the lock of `key`.
  bool DeferredHolds(const Driver& d, const std::string& key) const;

  AccountConnection& account_;
  const std::string locksTable_;  // as the combined statements name it
  std::string holder_;
  UserRegistry* registry_ = nullptr;
  std::function<bool()> leaseHeld_;
  std::set<std::string> took_;  // the keys of the locks this port took and has not freed
  // The key of the lock taken by the transaction the last read for update left open.
  std::string deferredKey_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_LOCK_TABLE_H_
