#include "write_turns.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "driver_home_test.h"
#include "sqlite_driver.h"
#include "vb_error.h"

namespace orvik::sqlite_detail {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class WriteTurnsTest : public DriverHomeTest {};

TEST_F(WriteTurnsTest, OneFileHasOneQueueWhateverItsName) {
  const fs::path file = fs::path(home_) / "a.db", other = fs::path(home_) / "b.db";
  std::ofstream(file) << "";
  std::ofstream(other) << "";
  fs::create_symlink(file, fs::path(home_) / "link.db");
  const auto turns = WriteTurns::Of(file);
  ASSERT_NE(turns, nullptr);
  EXPECT_EQ(WriteTurns::Of(fs::path(home_) / "link.db"), turns);
  EXPECT_EQ(WriteTurns::Of(fs::path(home_) / "." / "a.db"), turns);
  EXPECT_NE(WriteTurns::Of(other), turns);
  EXPECT_EQ(WriteTurns::Of(fs::path(home_) / "missing.db"), nullptr);

  // One writer at a time; a writer that waits too long is told so.
  ASSERT_TRUE(turns->Take(Clock::now()));
  std::atomic<bool> gotIt{true};
  std::thread late([&] { gotIt = turns->Take(Clock::now() + std::chrono::milliseconds(50)); });
  late.join();
  EXPECT_FALSE(gotIt);
  // The holder itself is never kept waiting, and the turn is free only once it has given
  // back every hold.
  ASSERT_TRUE(turns->Take(Clock::now()));
  turns->Give();
  {
    // A statement's turn that does not come says so, and gives back nothing it did not take.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    sqlite3_stmt* write = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "CREATE TABLE t (x)", -1, &write, nullptr), SQLITE_OK);
    std::thread([&] {
      const WriteTurn turn(turns.get(), write, std::chrono::milliseconds(20));
      gotIt = turn.held();
    }).join();
    EXPECT_FALSE(gotIt);
    sqlite3_finalize(write);
    sqlite3_close(db);
  }
  std::thread next([&] { gotIt = turns->Take(Clock::now() + std::chrono::seconds(30)); });
  turns->Give();
  next.join();
  EXPECT_TRUE(gotIt);
  turns->Give();
}

// Sessions of one process writing one account all get through, nothing lost, while one of
// them holds a transaction open for a while: a writer waiting for its turn never stands in
// the way of the transaction it waits for.
TEST_F(WriteTurnsTest, WritersOfOneProcessAllGetThroughBesideALongTransaction) {
  SqliteDriver::CreateAccount(home_, "demo");
  Connected()->Execute("CREATE TABLE c (k TEXT PRIMARY KEY, n INTEGER)");
  Connected()->Execute("INSERT INTO c VALUES ('count', 0)");
  auto holder = Connected();
  holder->Execute("BEGIN IMMEDIATE");
  holder->Execute("UPDATE c SET n = n + 1000 WHERE k = 'count'");

  constexpr int kWriters = 12, kWrites = 40;
  std::atomic<int> failures{0};
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      try {
        auto driver = Connected();
        for (int i = 0; i < kWrites; ++i) {
          driver->Execute("UPDATE c SET n = n + 1 WHERE k = 'count'");
          const DbValue row[] = {std::to_string(w) + "." + std::to_string(i)};
          driver->Execute("INSERT INTO c VALUES (?, 0)", row);
        }
      } catch (const VbError&) {
        ++failures;
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  holder->Execute("COMMIT");
  for (std::thread& t : writers) t.join();
  EXPECT_EQ(failures, 0);
  auto rows = holder->Query("SELECT n, (SELECT COUNT(*) FROM c) FROM c WHERE k = 'count'");
  ASSERT_TRUE(rows->Next());
  EXPECT_EQ(rows->Row()[0], std::to_string(1000 + kWriters * kWrites));
  EXPECT_EQ(rows->Row()[1], std::to_string(1 + kWriters * kWrites));
}

// A transaction keeps its turn from its first write to its end: the other sessions of the
// process wait for its COMMIT in turn, not in SQLite's sleeps, and nothing is lost. A lock
// taken by the holder's own session meanwhile, on its system connection to the same account,
// is not kept waiting for the holder's turn.
TEST_F(WriteTurnsTest, ATransactionKeepsItsTurnUntilItEnds) {
  SqliteDriver::CreateAccount(home_, "dm");
  const auto connected = [&] { return Connected("dm"); };
  connected()->Execute("CREATE TABLE c (k TEXT PRIMARY KEY, n INTEGER)");
  connected()->Execute("INSERT INTO c VALUES ('count', 0)");
  const auto turns = WriteTurns::Of(SqliteDriver::AccountFile(home_, "dm"));
  const auto turnFree = [&] {
    bool free = false;
    std::thread([&] {
      free = turns->Take(Clock::now());
      if (free) turns->Give();
    }).join();
    return free;
  };
  auto holder = connected();
  auto system = connected();
  holder->Execute("BEGIN");
  EXPECT_NE(holder->Query("SELECT n FROM c"), nullptr);
  EXPECT_TRUE(turnFree()) << "a transaction that only reads holds no turn";
  holder->Execute("UPDATE c SET n = n + 1000 WHERE k = 'count'");
  EXPECT_FALSE(turnFree());
  std::atomic<int> failures{0};
  std::vector<std::thread> writers;
  for (int w = 0; w < 4; ++w) {
    writers.emplace_back([&] {
      try {
        connected()->Execute("UPDATE c SET n = n + 1 WHERE k = 'count'");
      } catch (const VbError&) {
        ++failures;
      }
    });
  }
  EXPECT_EQ(system->Execute("INSERT INTO locks (A0, UserInst) VALUES ('C.1', 'me*1')"), 1);
  holder->Execute("COMMIT");
  for (std::thread& t : writers) t.join();
  EXPECT_EQ(failures, 0);
  EXPECT_TRUE(turnFree());
  auto rows = holder->Query("SELECT n FROM c WHERE k = 'count'");
  ASSERT_TRUE(rows->Next());
  EXPECT_EQ(rows->Row()[0], "1004");
}

}  // namespace
}  // namespace orvik::sqlite_detail
