#include "log_syncs.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "driver_home_test.h"
#include "sqlite_driver.h"
#include "vb_error.h"

namespace orvik::sqlite_detail {
namespace {

// What reached the write-ahead logs of every database opened while the probe stands in
// front of the system's file layer: a number for each write, the last number each thread
// wrote, and the last write a finished sync was begun after.
struct LogProbe {
  std::atomic<std::uint64_t> writes{0};
  std::atomic<std::uint64_t> durable{0};
  std::atomic<int> syncs{0};
};
LogProbe probe;
thread_local std::uint64_t lastWrite = 0;

struct ProbedFile {
  sqlite3_file base;
  sqlite3_file* real;
  bool log;
};
sqlite3_vfs* realVfs = nullptr;

sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<ProbedFile*>(f)->real; }

int Close(sqlite3_file* f) { return Real(f)->pMethods->xClose(Real(f)); }
int Read(sqlite3_file* f, void* b, int n, sqlite3_int64 at) {
  return Real(f)->pMethods->xRead(Real(f), b, n, at);
}
int Write(sqlite3_file* f, const void* b, int n, sqlite3_int64 at) {
  const int rc = Real(f)->pMethods->xWrite(Real(f), b, n, at);
  if (reinterpret_cast<ProbedFile*>(f)->log) lastWrite = ++probe.writes;
  return rc;
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  return Real(f)->pMethods->xTruncate(Real(f), size);
}
int Sync(sqlite3_file* f, int flags) {
  const std::uint64_t before = probe.writes.load();
  const int rc = Real(f)->pMethods->xSync(Real(f), flags);
  if (rc == SQLITE_OK && reinterpret_cast<ProbedFile*>(f)->log) {
    ++probe.syncs;
    std::uint64_t seen = probe.durable.load();
    while (seen < before && !probe.durable.compare_exchange_weak(seen, before)) {
    }
  }
  return rc;
}
int Size(sqlite3_file* f, sqlite3_int64* size) {
  return Real(f)->pMethods->xFileSize(Real(f), size);
}
int Lock(sqlite3_file* f, int l) { return Real(f)->pMethods->xLock(Real(f), l); }
int Unlock(sqlite3_file* f, int l) { return Real(f)->pMethods->xUnlock(Real(f), l); }
int Reserved(sqlite3_file* f, int* out) {
  return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
}
int Control(sqlite3_file* f, int op, void* arg) {
  return Real(f)->pMethods->xFileControl(Real(f), op, arg);
}
int Sector(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int Traits(sqlite3_file* f) { return Real(f)->pMethods->xDeviceCharacteristics(Real(f)); }
int ShmMap(sqlite3_file* f, int i, int size, int extend, void volatile** out) {
  return Real(f)->pMethods->xShmMap(Real(f), i, size, extend, out);
}
int ShmLock(sqlite3_file* f, int at, int n, int flags) {
  return Real(f)->pMethods->xShmLock(Real(f), at, n, flags);
}
void ShmBarrier(sqlite3_file* f) { Real(f)->pMethods->xShmBarrier(Real(f)); }
int ShmUnmap(sqlite3_file* f, int drop) { return Real(f)->pMethods->xShmUnmap(Real(f), drop); }
int Fetch(sqlite3_file* f, sqlite3_int64 at, int n, void** out) {
  return Real(f)->pMethods->xFetch(Real(f), at, n, out);
}
int Unfetch(sqlite3_file* f, sqlite3_int64 at, void* p) {
  return Real(f)->pMethods->xUnfetch(Real(f), at, p);
}

const sqlite3_io_methods kProbedMethods = {
    3,       Close,  Read,   Write,  Truncate, Sync,       Size,     Lock,  Unlock, Reserved,
    Control, Sector, Traits, ShmMap, ShmLock,  ShmBarrier, ShmUnmap, Fetch, Unfetch};

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
  auto* probed = reinterpret_cast<ProbedFile*>(f);
  probed->real = reinterpret_cast<sqlite3_file*>(probed + 1);
  probed->log = (flags & SQLITE_OPEN_WAL) != 0;
  const int rc = realVfs->xOpen(realVfs, name, probed->real, flags, outFlags);
  probed->base.pMethods = probed->real->pMethods != nullptr ? &kProbedMethods : nullptr;
  return rc;
}

class LogSyncsTest : public DriverHomeTest {
 protected:
  static void SetUpTestSuite() {
    realVfs = sqlite3_vfs_find(nullptr);
    vfs_ = *realVfs;
    vfs_.zName = "orvik-log-probe";
    vfs_.szOsFile = static_cast<int>(sizeof(ProbedFile)) + realVfs->szOsFile;
    vfs_.xOpen = Open;
    vfs_.pAppData = nullptr;
    sqlite3_vfs_register(&vfs_, /*makeDflt=*/1);
  }
  static void TearDownTestSuite() {
    sqlite3_vfs_unregister(&vfs_);
    sqlite3_vfs_register(realVfs, /*makeDflt=*/1);
  }
  void SetUp() override {
    DriverHomeTest::SetUp();
    SqliteDriver::CreateAccount(home_, "demo");
  }
  // Whether everything this thread wrote to a log is covered by a finished sync.
  static bool OnTheDisk() { return probe.durable.load() >= lastWrite; }

  static inline sqlite3_vfs vfs_{};
};

// Sessions writing one account side by side are each answered only once what they wrote
// is on the disk: a plain write, a transaction at its COMMIT, a write read through a cursor.
// None of their writes is lost.
TEST_F(LogSyncsTest, EveryWriteIsOnTheDiskBeforeItIsAnswered) {
  Connected()->Execute("CREATE TABLE items (k TEXT PRIMARY KEY, v TEXT)");
  constexpr int kSessions = 8, kCycles = 30;
  std::atomic<int> early{0}, failures{0};
  const int syncsBefore = probe.syncs.load();
  std::vector<std::thread> sessions;
  for (int s = 0; s < kSessions; ++s) {
    sessions.emplace_back([&, s] {
      try {
        auto driver = Connected();
        for (int i = 0; i < kCycles; ++i) {
          const std::string key = std::to_string(s) + "." + std::to_string(i);
          const DbValue row[] = {key, "v" + key};
          driver->Execute("INSERT INTO items VALUES (?, ?)", row);
          if (!OnTheDisk()) ++early;
          driver->Execute("BEGIN");
          driver->Execute("UPDATE items SET v = v || '+' WHERE k = ?", std::span(row, 1));
          const DbValue second[] = {key + "b", "w"};
          driver->Execute("INSERT INTO items VALUES (?, ?)", second);
          driver->Execute("COMMIT");
          if (!OnTheDisk()) ++early;
          auto cursor =
              driver->Query("DELETE FROM items WHERE k = ? RETURNING k", std::span(second, 1));
          while (cursor->Next()) {
          }
          if (!OnTheDisk()) ++early;
        }
      } catch (const VbError& e) {
        ADD_FAILURE() << e.what();
        ++failures;
      }
    });
  }
  for (std::thread& t : sessions) t.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(early, 0) << "writes answered before they were synced";
  EXPECT_GT(probe.syncs.load(), syncsBefore);
  auto rows = Connected()->Query("SELECT COUNT(*), SUM(v LIKE '%+') FROM items");
  ASSERT_TRUE(rows->Next());
  EXPECT_EQ(rows->Row()[0], std::to_string(kSessions * kCycles));
  EXPECT_EQ(rows->Row()[1], std::to_string(kSessions * kCycles));
}

// A transaction that ends without changing the account costs no sync, and neither does a
// read.
TEST_F(LogSyncsTest, NothingChangedNothingSynced) {
  auto driver = Connected();
  driver->Execute("CREATE TABLE items (k TEXT PRIMARY KEY, v TEXT)");
  const int syncs = probe.syncs.load();
  driver->Execute("BEGIN");
  driver->Execute("INSERT INTO items VALUES ('a', 'b')");
  driver->Execute("ROLLBACK");
  auto rows = driver->Query("SELECT COUNT(*) FROM items");
  ASSERT_TRUE(rows->Next());
  EXPECT_EQ(rows->Row()[0], "0");
  EXPECT_EQ(probe.syncs.load(), syncs);
  driver->Execute("INSERT INTO items VALUES ('a', 'b')");
  EXPECT_GT(probe.syncs.load(), syncs);
  EXPECT_TRUE(OnTheDisk());
}

}  // namespace
}  // namespace orvik::sqlite_detail
