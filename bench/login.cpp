// A login on the embedded store while 1, 50 and 500 sessions are logged in (the console
// holds them all in its one process), against what any login must do by hand: read the
// user's row, check the password, add a line to the user registry and take it away again;
// then the registry's part alone. Wall-clock time: every login writes the registry. Medians
// of three runs, as a login takes long enough for a few of them to be disturbed.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <memory>
#include <string>
#include <vector>

#include "bench_home.h"
#include "password_hash.h"
#include "port_access.h"
#include "ratio_reporter.h"
#include "sqlite_driver.h"
#include "user_registry.h"

namespace {

using namespace orvik::port_access;
using orvik::bench::BenchHome;

BenchHome& Home() {
  static BenchHome home("JET");
  return home;
}

// Lines for `sessions` - 1 sessions besides the one that logs in, for as long as it lives.
class OtherSessions {
 public:
  explicit OtherSessions(int sessions) : registry_(Home().home()) {
    for (int i = 1; i < sessions; ++i) lines_.push_back(registry_.RegisterLine("other"));
  }
  ~OtherSessions() {
    for (std::int32_t n : lines_) registry_.RemoveLine(n);
  }

 private:
  orvik::UserRegistry registry_;
  std::vector<std::int32_t> lines_;
};

// Every case runs with 1, 50 and 500 other sessions logged in, in wall-clock time (a login
// writes the disk), three times over.
void WithSessions(benchmark::internal::Benchmark* b) {
  b->Arg(1)->Arg(50)->Arg(500)->UseRealTime()->MinTime(0.5)->Repetitions(3)->ReportAggregatesOnly(
      true);
}

void Login(benchmark::State& state) {
  const OtherSessions others(static_cast<int>(state.range(0)));
  BenchHome& home = Home();
  for (auto _ : state) {
    auto port = home.engine().MakePort();
    SetLogin(*port, home.user(), BenchHome::password());
    if (!ConnectAccount(*port, "dm") || !ValidateLogin(*port))
      state.SkipWithError(port->ErrorDetail().c_str());
  }
}
BENCHMARK(Login)->Apply(WithSessions);

struct Db {
  sqlite3* db = nullptr;
  explicit Db(const std::string& path) {
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 5000);
  }
  ~Db() { sqlite3_close(db); }
  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
    return s;
  }
};

void HandLogin(benchmark::State& state) {
  const OtherSessions others(static_cast<int>(state.range(0)));
  BenchHome& home = Home();
  Db dm(home.home() + "/JetMDB/dm.db");
  Db registry(home.home() + "/registry.db");
  sqlite3_exec(registry.db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  sqlite3_stmt* user = dm.Prepare("SELECT * FROM users WHERE A0 = ?");
  sqlite3_stmt* add = registry.Prepare(
      "INSERT INTO lines (line, pid, started, host, boot) VALUES (?, 1, 1, 'h', 'b')");
  sqlite3_stmt* remove = registry.Prepare("DELETE FROM lines WHERE number = ?");
  const std::string name = home.user();
  for (auto _ : state) {
    sqlite3_bind_text(user, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    if (sqlite3_step(user) != SQLITE_ROW) state.SkipWithError("no user");
    const auto* stored = reinterpret_cast<const char*>(sqlite3_column_text(user, 7));
    if (orvik::CheckPassword(BenchHome::password(), stored ? stored : "") ==
        orvik::PasswordCheck::kWrong)
      state.SkipWithError("password refused");
    sqlite3_reset(user);
    sqlite3_bind_text(add, 1, "line", -1, SQLITE_STATIC);
    sqlite3_step(add);
    sqlite3_reset(add);
    sqlite3_bind_int64(remove, 1, sqlite3_last_insert_rowid(registry.db));
    sqlite3_step(remove);
    sqlite3_reset(remove);
  }
  for (sqlite3_stmt* s : {user, add, remove}) sqlite3_finalize(s);
}
BENCHMARK(HandLogin)->Apply(WithSessions);

// The registry's part of a login alone, which the password check above outweighs: a new
// session opens the registry, prunes the lines of ended processes and adds its own.
void Register(benchmark::State& state) {
  const OtherSessions others(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    orvik::UserRegistry registry(Home().home());
    registry.PruneDead();
    registry.RemoveLine(registry.RegisterLine("line"));
  }
}
BENCHMARK(Register)->Apply(WithSessions);

void HandRegister(benchmark::State& state) {
  const OtherSessions others(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    Db registry(Home().home() + "/registry.db");
    sqlite3_exec(registry.db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    sqlite3_exec(registry.db,
                 "INSERT INTO lines (line, pid, started, host, boot) VALUES ('line', 1, 1, 'h', "
                 "'b')",
                 nullptr, nullptr, nullptr);
    const std::string remove = std::string("DELETE FROM lines WHERE number = ")
                                   .append(std::to_string(sqlite3_last_insert_rowid(registry.db)));
    sqlite3_exec(registry.db, remove.c_str(), nullptr, nullptr, nullptr);
  }
}
BENCHMARK(HandRegister)->Apply(WithSessions);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  return orvik::bench::RunWithRatios(argc, argv,
                                     {{"Login/1", "HandLogin/1"},
                                      {"Login/500", "HandLogin/500"},
                                      {"Login/50", "Login/1"},
                                      {"Login/500", "Login/1"},
                                      {"HandLogin/50", "HandLogin/1"},
                                      {"HandLogin/500", "HandLogin/1"},
                                      {"Register/1", "HandRegister/1"},
                                      {"Register/500", "HandRegister/500"},
                                      {"Register/50", "Register/1"},
                                      {"Register/500", "Register/1"},
                                      {"HandRegister/50", "HandRegister/1"},
                                      {"HandRegister/500", "HandRegister/1"}},
                                     orvik::bench::Clock::kWall);
}
