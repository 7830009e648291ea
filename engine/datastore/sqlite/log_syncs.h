// Commits to one database file in this process made durable together.
//
// Each write must be on the disk before the session is told it is done. SQLite, left to
// itself, syncs its log inside every commit while it holds the file's one write lock, so
// writers of the file queue behind each other's syncs: a sync costs a millisecond or more on
// a real disk, and ten sessions write no faster than one. Connections that write therefore
// commit without SQLite's sync (synchronous=NORMAL, which still syncs at every checkpoint and
// when the log starts over), and sync the log here after the write lock is free: while one
// sync runs, the commits that end meanwhile wait for the next, and that one sync makes them
// all durable at once. A commit is answered only after a sync begun after it has ended.
//
// Thread-safe.

#ifndef ORVIK_ENGINE_DATASTORE_SQLITE_LOG_SYNCS_H_
#define ORVIK_ENGINE_DATASTORE_SQLITE_LOG_SYNCS_H_

#include <sqlite3.h>

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>

namespace orvik::sqlite_detail {

class LogSyncs {
 public:
  // The syncs of the database file `file`, shared by every connection of this process to
  // it. nullptr when the file cannot be looked at.
  static std::shared_ptr<LogSyncs> Of(const std::filesystem::path& file);

  // Returns once everything the caller's connection has written to the log `db` keeps for
  // its main database is on the disk: SQLITE_OK, or the error of the sync that failed.
  // Called after a commit has ended.
  int Sync(sqlite3* db);

 private:
  std::mutex mutex_;
  std::condition_variable synced_;
  std::uint64_t commits_ = 0;  // commits that asked for a sync
  std::uint64_t durable_ = 0;  // of those, how many a finished sync covered
  bool syncing_ = false;
};

}  // namespace orvik::sqlite_detail

#endif  // ORVIK_ENGINE_DATASTORE_SQLITE_LOG_SYNCS_H_
