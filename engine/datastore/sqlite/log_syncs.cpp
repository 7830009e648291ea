#include "log_syncs.h"

#include <algorithm>

#include "file_shared.h"

namespace orvik::sqlite_detail {

std::shared_ptr<LogSyncs> LogSyncs::Of(const std::filesystem::path& file) {
  return SharedByFile<LogSyncs>(file);
}

int LogSyncs::Sync(sqlite3* db) {
  sqlite3_file* log = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &log) != SQLITE_OK ||
      log == nullptr || log->pMethods == nullptr)
    return SQLITE_IOERR_FSYNC;
  std::unique_lock lock(mutex_);
  const std::uint64_t mine = ++commits_;
  while (durable_ < mine) {
    if (syncing_) {
      synced_.wait(lock);
      continue;
    }
    // Every commit counted so far has ended, so this sync covers them all: a file's sync
    // takes whatever any connection of any process wrote to it before.
    syncing_ = true;
    const std::uint64_t covered = commits_;
    lock.unlock();
    const int rc = log->pMethods->xSync(log, SQLITE_SYNC_NORMAL);
    lock.lock();
    syncing_ = false;
    if (rc == SQLITE_OK) durable_ = std::max(durable_, covered);
    synced_.notify_all();
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

}  // namespace orvik::sqlite_detail
