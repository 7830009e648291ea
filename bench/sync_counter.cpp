#include "sync_counter.h"

#include <sqlite3.h>

#include <atomic>
#include <cstddef>

namespace orvik::bench {
namespace {

std::atomic<long> syncs{0};
sqlite3_vfs* real = nullptr;
sqlite3_vfs counting;

// Each open file is the real layer's file with our methods in front: the real file's
// structure follows ours in the same allocation, which SQLite sizes from szOsFile.
struct CountedFile {
  sqlite3_file base;
  sqlite3_io_methods methods;
  sqlite3_file* Real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

CountedFile* Counted(sqlite3_file* f) { return reinterpret_cast<CountedFile*>(f); }

int Sync(sqlite3_file* f, int flags) {
  syncs.fetch_add(1, std::memory_order_relaxed);
  sqlite3_file* r = Counted(f)->Real();
  return r->pMethods->xSync(r, flags);
}

int Close(sqlite3_file* f) {
  sqlite3_file* r = Counted(f)->Real();
  return r->pMethods ? r->pMethods->xClose(r) : SQLITE_OK;
}

// Every other method passes the real file on unchanged.
template <auto Member, typename... A>
int Forward(sqlite3_file* f, A... a) {
  sqlite3_file* r = Counted(f)->Real();
  return (r->pMethods->*Member)(r, a...);
}

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
  CountedFile* c = Counted(f);
  sqlite3_file* r = c->Real();
  r->pMethods = nullptr;
  const int rc = real->xOpen(real, name, r, flags, outFlags);
  if (r->pMethods == nullptr) {
    f->pMethods = nullptr;
    return rc;
  }
  // Methods newer than the real layer's version stay empty, as SQLite expects of it.
  c->methods = *r->pMethods;
  c->methods.xClose = Close;
  c->methods.xSync = Sync;
  c->methods.xRead = Forward<&sqlite3_io_methods::xRead, void*, int, sqlite3_int64>;
  c->methods.xWrite = Forward<&sqlite3_io_methods::xWrite, const void*, int, sqlite3_int64>;
  c->methods.xTruncate = Forward<&sqlite3_io_methods::xTruncate, sqlite3_int64>;
  c->methods.xFileSize = Forward<&sqlite3_io_methods::xFileSize, sqlite3_int64*>;
  c->methods.xLock = Forward<&sqlite3_io_methods::xLock, int>;
  c->methods.xUnlock = Forward<&sqlite3_io_methods::xUnlock, int>;
  c->methods.xCheckReservedLock = Forward<&sqlite3_io_methods::xCheckReservedLock, int*>;
  c->methods.xFileControl = Forward<&sqlite3_io_methods::xFileControl, int, void*>;
  c->methods.xSectorSize = Forward<&sqlite3_io_methods::xSectorSize>;
  c->methods.xDeviceCharacteristics = Forward<&sqlite3_io_methods::xDeviceCharacteristics>;
  if (c->methods.iVersion >= 2) {
    c->methods.xShmMap = Forward<&sqlite3_io_methods::xShmMap, int, int, int, void volatile**>;
    c->methods.xShmLock = Forward<&sqlite3_io_methods::xShmLock, int, int, int>;
    c->methods.xShmBarrier = [](sqlite3_file* f) {
      sqlite3_file* r = Counted(f)->Real();
      r->pMethods->xShmBarrier(r);
    };
    c->methods.xShmUnmap = Forward<&sqlite3_io_methods::xShmUnmap, int>;
  }
  if (c->methods.iVersion >= 3) {
    c->methods.xFetch = Forward<&sqlite3_io_methods::xFetch, sqlite3_int64, int, void**>;
    c->methods.xUnfetch = Forward<&sqlite3_io_methods::xUnfetch, sqlite3_int64, void*>;
  }
  f->pMethods = &c->methods;
  return rc;
}

}  // namespace

void SyncCounter::Install() {
  if (real != nullptr) return;
  real = sqlite3_vfs_find(nullptr);
  counting = *real;
  counting.zName = "orvik-sync-counter";
  counting.szOsFile = static_cast<int>(sizeof(CountedFile)) + real->szOsFile;
  counting.xOpen = Open;
  sqlite3_vfs_register(&counting, /*makeDflt=*/1);
}

long SyncCounter::Syncs() { return syncs.load(std::memory_order_relaxed); }

}  // namespace orvik::bench
