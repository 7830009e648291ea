// A login on the embedded store while 1, 50 and 500 sessions are logged in (the console
// holds them all in its one process), against what any login must do by hand: read the
// user's row, check the password, add a line to the user registry and take it away again.
// Wall-clock time: every login writes the registry. Medians of three runs, as a login takes
// long enough for a few of them to be disturbed.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <memory>
#include <string>
#include <vector>

#include "bench_home.h"
#include "plain_password.h"
#include "ratio_reporter.h"

namespace {

using orvik::bench::BenchHome;

BenchHome& Home() {
  static BenchHome home("JET");
  return home;
}

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

// Lines for `sessions` - 1 sessions besides the one that logs in, for as long as it lives:
// those of a process of another machine, which a login looks at once and never prunes.
class OtherSessions {
 public:
  explicit OtherSessions(int sessions) : registry_(Home().home() + "/registry.db") {
    for (int i = 1; i < sessions; ++i) {
      sqlite3_exec(registry_.db,
                   "INSERT INTO lines (line, pid, started, host, boot) VALUES ('other', 1, 1, "
                   "'elsewhere', 'b')",
                   nullptr, nullptr, nullptr);
      lines_.push_back(sqlite3_last_insert_rowid(registry_.db));
    }
  }
  ~OtherSessions() {
    for (std::int64_t n : lines_) {
      const std::string remove = "DELETE FROM lines WHERE number = " + std::to_string(n);
      sqlite3_exec(registry_.db, remove.c_str(), nullptr, nullptr, nullptr);
    }
  }

 private:
  Db registry_;
  std::vector<std::int64_t> lines_;
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
  const std::string login = "LOGIN " + home.user() + " " + BenchHome::password();
  for (auto _ : state) {
    auto port = home.engine().MakePort();
    std::string sentence = login;
    if (port->ExecutePS(sentence) != "OK") state.SkipWithError(port->ErrorDetail().c_str());
  }
}
BENCHMARK(Login)->Apply(WithSessions);

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
    if (!orvik::bench::PlainPasswordMatches(BenchHome::password(), stored ? stored : ""))
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

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  return orvik::bench::RunWithRatios(argc, argv,
                                     {{"Login/1", "HandLogin/1"},
                                      {"Login/500", "HandLogin/500"},
                                      {"Login/50", "Login/1"},
                                      {"Login/500", "Login/1"},
                                      {"HandLogin/50", "HandLogin/1"},
                                      {"HandLogin/500", "HandLogin/1"}},
                                     orvik::bench::Clock::kWall);
}
