// Where the embedded store keeps its item locks: a database file of their own beside the
// accounts (JetMDB/locks.db), attached to every connection on the system account as "lk".
//
// A lock row is worth nothing once its holder has gone, and a crash of the machine ends
// every holder. So the file's commits never wait for the disk (synchronous=OFF): taking and
// freeing a lock costs two writes to the file's log, no sync, and the lock cycle of a program
// costs about what its one durable write costs. A crash of the machine may leave the file
// damaged or out of date; the first connection after the next boot starts it afresh. Within
// one boot nothing is lost: a process that dies leaves its writes with the operating system.

#ifndef ORVIK_ENGINE_DATASTORE_SQLITE_SQLITE_LOCKS_FILE_H_
#define ORVIK_ENGINE_DATASTORE_SQLITE_SQLITE_LOCKS_FILE_H_

#include <sqlite3.h>

#include <filesystem>

namespace orvik::sqlite_detail {

// The schema name the locks file is attached under. Its table is "locks", which an unqualified
// name finds on the system account's connections once the account's own file has none.
inline constexpr const char* kLocksSchema = "lk";
// The locks file's name in the accounts folder, without ".db": a name no account may have.
inline constexpr const char* kLocksFileStem = "locks";

// Attaches the locks file of the accounts folder `folder` to `db`, making it when missing and
// afresh when it was last used before this boot or cannot be read. An older home's locks
// table in the system account's own file is moved into it. Connections of several processes
// may do this at once: those that find the file ready attach it at once, the others take
// turns on a lock of the file system. Throws VbError.
void AttachLocksFile(sqlite3* db, const std::filesystem::path& folder);

}  // namespace orvik::sqlite_detail

#endif  // ORVIK_ENGINE_DATASTORE_SQLITE_SQLITE_LOCKS_FILE_H_
