// The user registry's lines of processes that ended go at the next registration's prune,
// all of them at once, and nothing else does.

#include "user_registry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace orvik {
namespace {

namespace fs = std::filesystem;

int Count(const std::string& home, const std::string& where) {
  sqlite3* db = nullptr;
  sqlite3_open((home + "/registry.db").c_str(), &db);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, ("SELECT count(*) FROM lines WHERE " + where).c_str(), -1, &s, nullptr);
  const int n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
  sqlite3_finalize(s);
  sqlite3_close(db);
  return n;
}

TEST(UserRegistryTest, PruneRemovesEveryLineOfAnEndedProcessAndKeepsTheLiving) {
  std::string pattern = (fs::temp_directory_path() / "orvik-registry-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::string home = pattern;
  UserRegistry registry(home);
  const std::int32_t mine = registry.RegisterLine("mine");
  registry.RegisterLine("mine too");

  // A process that logs three sessions in and ends without taking them out.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    try {
      UserRegistry theirs(home);
      for (int i = 0; i < 3; ++i) theirs.RegisterLine("theirs");
    } catch (...) {
      _exit(1);
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string theirs = "pid = " + std::to_string(child);
  ASSERT_EQ(Count(home, theirs), 3);

  // The same process numbers recorded on another machine are that machine's to judge.
  {
    sqlite3* db = nullptr;
    sqlite3_open((home + "/registry.db").c_str(), &db);
    const std::string copy =
        "INSERT INTO lines (line, pid, started, host, boot) SELECT 'elsewhere', pid, started, "
        "'another-host', boot FROM lines WHERE " +
        theirs + " LIMIT 1";
    ASSERT_EQ(sqlite3_exec(db, copy.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }

  registry.PruneDead();
  EXPECT_EQ(Count(home, theirs + " AND host <> 'another-host'"), 0);
  EXPECT_EQ(Count(home, "host = 'another-host'"), 1);
  EXPECT_EQ(Count(home, "pid = " + std::to_string(::getpid())), 2);
  EXPECT_FALSE(registry.LineGone(mine));
  fs::remove_all(home);
}

// Sessions that log in at the same moment all get lines, each its own number: the ports of one
// home on their threads through the home's one registry, beside those of another process
// (here: objects of their own) through the same file.
TEST(UserRegistryTest, SessionsLoggingInTogetherAllGetLinesOfTheirOwn) {
  std::string pattern = (fs::temp_directory_path() / "orvik-registry-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::string home = pattern;
  UserRegistry homes(home);
  homes.RegisterLine("first");
  constexpr int kSessions = 40;
  std::vector<std::int32_t> numbers(kSessions, 0);
  std::atomic<int> failures{0};
  {
    std::vector<std::thread> sessions;
    for (int i = 0; i < kSessions; ++i) {
      sessions.emplace_back([&, i] {
        try {
          std::unique_ptr<UserRegistry> own;
          if (i % 4 == 0) own = std::make_unique<UserRegistry>(home);
          UserRegistry& registry = own ? *own : homes;
          registry.PruneDead();
          const std::int32_t number = registry.RegisterLine("session");
          numbers[static_cast<std::size_t>(i)] = number;
          registry.UpdateLine(number, "working");
          if (registry.LineGone(number) || registry.ListLines().empty()) ++failures;
        } catch (...) {
          ++failures;
        }
      });
    }
    for (std::thread& t : sessions) t.join();
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(std::set<std::int32_t>(numbers.begin(), numbers.end()).size(),
            static_cast<std::size_t>(kSessions));
  EXPECT_EQ(Count(home, "line = 'working'"), kSessions);
  for (std::int32_t number : numbers) homes.RemoveLine(number);
  EXPECT_EQ(homes.ListLines(), "first");
  fs::remove_all(home);
}

}  // namespace
}  // namespace orvik
