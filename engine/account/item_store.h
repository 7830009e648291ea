// Files and items: opening a file by name, reading and writing whole items and single
// attributes of it under the item locks (lock_table.h), and the optimistic write check.
//
// A file is a table of the account (layout.h); a program holds it as a file variable
// (file_variable.h) from Open and hands that back to every item operation. The raw
// operations move one item, or one attribute of it, between the table and a dynamic array,
// with no lock and no check; the item operations build on them:
//  - a read with the lock test fails while another session holds the item's lock, and a
//    read for update takes the lock for this session;
//  - a plain write frees this session's lock of the item afterwards, a write for update
//    keeps it;
//  - a read that keeps its copy (RReadTR) makes the next write of that item check first,
//    under the item's lock, that nobody changed it meanwhile ("[925]").
//
// Used on the port's thread only. Each operation returns its outcome as a Status, whose
// message the port leaves in ErrorDetail; those that raise errors to their callers (as the
// members do: Delete of a file that cannot be reached, a file variable that is no text)
// throw VbError.

#ifndef ORVIK_ENGINE_DATASTORE_ITEM_STORE_H_
#define ORVIK_ENGINE_DATASTORE_ITEM_STORE_H_

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "account_connection.h"
#include "functions.h"
#include "lock_table.h"
#include "status.h"
#include "variant.h"

namespace orvik {

namespace dberr {
inline constexpr int kItemMissing = 912;
inline constexpr int kFileMissing = 911;
inline constexpr int kChangedMeanwhile = 925;
inline constexpr int kConnectionLost = 926;
}  // namespace dberr

class ItemStore {
 public:
  ItemStore(AccountConnection& account, LockTable& locks) : account_(account), locks_(locks) {}

  // --- Files ----------------------------------------------------------------------------

  // The file variable of a file named "F", "A.F" or "A,F," (or by a catalog pointer);
  // "[911] File '...' not found." when there is none.
  Status Open(const Variant& file, Variant& fileVariable);
  // Frees this session's locks in the file of `fileVariable` (its table part).
  Status Close(std::string_view fileVariable);

  // --- Raw storage ----------------------------------------------------------------------

  // A failed read leaves "ERROR: " and the reason in `item` (nothing when the item is not
  // there: "[912]").
  // With `lockTaken`, the read also takes the item's lock for this session in its own
  // statement (LockTable::TakeAndRead, where LockTable::CombinesWithItems); false there
  // when the item's lock row was there already, and then nothing was read.
  Status ReadItemRaw(std::string& item, std::string_view fileVariable, std::string_view id,
                     bool* lockTaken = nullptr);
  Status ReadAttributeRaw(std::string& value, std::string_view fileVariable, std::string_view id,
                          std::int32_t attribute);
  // With `releasing`, the key of a lock this port took, the statement that writes the item
  // also frees that lock, writing only while it is still this port's; with `claim` too, the
  // key of a lock nobody holds, which the statement takes for the write and frees after it
  // (LockTable::WriteAndRelease; where LockTable::CombinesWithItems).
  Status WriteItemRaw(std::string_view item, std::string_view fileVariable, std::string_view id,
                      const std::string* releasing = nullptr, bool claim = false);
  Status WriteAttributeRaw(std::string_view value, std::string_view fileVariable,
                           std::string_view id, std::int32_t attribute);

  // --- Item operations ------------------------------------------------------------------

  enum class LockTest {
    kNone,      // read whatever the locks
    kTestOnly,  // refuse while another session holds the lock
    kTake,      // and take it for this session
  };
  // Reads the item (or its `attribute`) into `out`; with `keepCopy` the next write of the
  // item is checked against what was read.
  Status Read(Variant& out, const Variant& fileVariable, const Variant& itemId,
              std::optional<std::int32_t> attribute, LockTest lock, bool keepCopy);
  // Writes the item (or its `attribute`); with `keepLock` this session's lock stays.
  Status WriteItem(std::string_view item, std::string_view fileVariable, std::string_view itemId,
                   bool keepLock);
  Status WriteAttribute(std::string_view value, std::string_view fileVariable,
                        std::string_view itemId, std::int32_t attribute, bool keepLock);
  // Refused without a reason when there was no such item.
  Status Delete(const std::string& fileVariable, const std::string& itemId);
  // Frees this session's locks: one item, every item of a file (empty id), or all (empty
  // file variable).
  Status Release(const Variant& fileVariable, const Variant& itemId);

 private:
  // Where a write of `file` of `account` goes: the connection (switched to that account for
  // as long as this lives, where the dialect writes there) and the table's statement name.
  struct WritePlace {
    WritePlace(AccountConnection& connection, const std::string& account, const std::string& file);
    std::shared_ptr<Driver> driver;
    DatabaseSwitch away;
    std::string name;
  };

  // `writeReleasing`, where given, writes and frees the lock of the key it is handed in one
  // statement: a lock this port took itself, or (its second argument true) one it takes for
  // the write.
  Status Write(const std::string& fileVariable, const std::string& id, bool keepLock,
               const std::function<Status()>& write,
               const std::function<Status(const std::string& key, bool claim)>& writeReleasing =
                   {});
  // Where the locks are transactional (lock_table.h): the lock's test, the write check, the
  // write and the lock's release as one transaction.
  Status TransactionalWrite(const std::string& tablePart, const std::string& id, bool keepLock,
                            const std::function<Status()>& write);
  // The check and the write run under this session's lock row for the item, so that no other
  // session can write between them.
  Status CheckedWrite(const std::string& tablePart, const std::string& id,
                      const std::function<Status()>& write);
  Status CheckUnchanged(const std::string& tablePart, const std::string& id);
  // Whether a read kept its copy of the item for the write check.
  bool CopyKept(const std::string& tablePart, const std::string& id) const;
  // Whether the datastore holds, under `id`, an item that the engine's key rule tells apart
  // from `id` (servers only; layout.h). `name` is the table as the statement names it.
  bool TwinStored(Driver& driver, const std::string& name, std::string_view id);
  // The control item of a file's dictionary, or the table part alone.
  std::string FileVariableFor(Driver& driver, const std::string& tablePart,
                              const std::string& dictName);

  AccountConnection& account_;
  LockTable& locks_;
  // For the attribute work of the raw operations: the store's own, as a script's object
  // keeps error detail and columns of its own.
  Functions fns_;
  // The copies that reads for the write check keep, one per file (by table part): the item
  // id and text as read, and the file variable to read it back the same way.
  struct ReadCopy {
    std::string id;
    std::string item;
    std::string fileVariable;
  };
  std::map<std::string, ReadCopy> readCopies_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_ITEM_STORE_H_
