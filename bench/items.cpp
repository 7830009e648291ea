// The item members on the embedded store against the same SQL done by hand with prepared
// sqlite3 statements, in the same run on the same files.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QCoreApplication>
#include <filesystem>
#include <string>

#include "layout.h"
#include "port.h"
#include "port_access.h"
#include "ratio_reporter.h"
#include "setup.h"
#include "sqlite_driver.h"

namespace {

using namespace orvik::port_access;

using orvik::Port;
using orvik::Variant;

constexpr int kItems = 1000;

struct Fixture {
  std::string home;
  std::shared_ptr<Port> port;
  std::string fv;
  sqlite3* account = nullptr;
  sqlite3* dm = nullptr;

  Fixture() {
    home = (std::filesystem::temp_directory_path() /
            ("orvik-bench-items-" + std::to_string(::getpid())))
               .string();
    std::filesystem::remove_all(home);
    orvik::SetupOptions o;
    o.home = home;
    o.user = "bench";
    o.password = "bench";
    o.accounts = {"sales"};
    std::string error;
    if (!orvik::RunSetup(
            o, [](const std::string&) {}, &error))
      throw std::runtime_error(error);
    port = Port::Create(home);
    SetLogin(*port, "bench", "bench");
    if (!ConnectAccount(*port, "dm") || !ValidateLogin(*port) || !ConnectAccount(*port, "sales"))
      throw std::runtime_error(port->ErrorDetail());
    Parts(*port).account.Connection()->Execute(
        orvik::FileTableSql("JET", orvik::TableTemplate::kDataColumns, "bench", 5));
    fv = "sales.bench";
    for (int i = 0; i < kItems; ++i) port->WWrite(Item(i), fv, Id(i));
    sqlite3_open((home + "/JetMDB/sales.db").c_str(), &account);
    sqlite3_open((home + "/JetMDB/dm.db").c_str(), &dm);
    for (sqlite3* db : {account, dm}) {
      // Keys compare as the engine's do.
      orvik::SqliteDriver::AddKeyCollation(db);
      sqlite3_busy_timeout(db, 5000);
      sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    }
  }
  ~Fixture() {
    sqlite3_close(account);
    sqlite3_close(dm);
    port.reset();
    std::filesystem::remove_all(home);
  }
  static std::string Id(int i) { return "ITEM" + std::to_string(i); }
  static std::string Item(int i) {
    return "name " + std::to_string(i) +
           "\xFE"
           "street\xFD"
           "town\xFE" +
           std::to_string(i * 7) +
           "\xFE\xFE"
           "note";
  }
};

Fixture& F() {
  static Fixture f;
  return f;
}

// Prepared once, reset after each use: the hand-written baseline.
struct Stmt {
  sqlite3_stmt* s = nullptr;
  Stmt(sqlite3* db, const char* sql) {
    sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
  }
  ~Stmt() { sqlite3_finalize(s); }
  void Text(int i, const std::string& v) {
    sqlite3_bind_text(s, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
  }
  int Step() { return sqlite3_step(s); }
  void Reset() { sqlite3_reset(s); }
};

std::string ReadByHand(Stmt& select, const std::string& id) {
  select.Text(1, id);
  std::string item;
  if (select.Step() == SQLITE_ROW) {
    const int n = sqlite3_column_count(select.s);
    for (int c = 1; c < n; ++c) {
      if (c > 1) item.push_back('\xFE');
      const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(select.s, c));
      if (t) item += t;
    }
  }
  select.Reset();
  return item;
}

void BM_RRead(benchmark::State& state) {
  Fixture& f = F();
  int i = 0;
  Variant item;
  for (auto _ : state) {
    f.port->RRead(item, Variant(f.fv), Variant(Fixture::Id(i++ % kItems)));
    benchmark::DoNotOptimize(item);
  }
}
BENCHMARK(BM_RRead);

void BM_Baseline_RRead(benchmark::State& state) {
  Fixture& f = F();
  Stmt select(f.account, "SELECT * FROM bench WHERE A0 = ?");
  int i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(ReadByHand(select, Fixture::Id(i++ % kItems)));
}
BENCHMARK(BM_Baseline_RRead);

void BM_WWrite(benchmark::State& state) {
  Fixture& f = F();
  int i = 0;
  for (auto _ : state) {
    const int k = i++ % kItems;
    f.port->WWrite(Fixture::Item(k), f.fv, Fixture::Id(k));
  }
}
BENCHMARK(BM_WWrite);

// A write of an existing item as the engine must do it: look at the item's lock, then update.
void BM_Baseline_WWrite(benchmark::State& state) {
  Fixture& f = F();
  Stmt lock(f.dm, "SELECT UserInst FROM locks WHERE A0 = ?");
  Stmt update(f.account, "UPDATE bench SET A1 = ?, A2 = ?, A3 = ?, A4 = ?, A5 = ? WHERE A0 = ?");
  int i = 0;
  for (auto _ : state) {
    const int k = i++ % kItems;
    const std::string id = Fixture::Id(k);
    lock.Text(1, "sales.bench\xFF" + id);
    lock.Step();
    lock.Reset();
    const std::string a1 = "name " + std::to_string(k),
                      a2 = "street\xFD"
                           "town",
                      a3 = std::to_string(k * 7), a4, a5 = "note";
    update.Text(1, a1);
    update.Text(2, a2);
    update.Text(3, a3);
    update.Text(4, a4);
    update.Text(5, a5);
    update.Text(6, id);
    update.Step();
    update.Reset();
  }
}
BENCHMARK(BM_Baseline_WWrite);

void BM_ReadUWriteCycle(benchmark::State& state) {
  Fixture& f = F();
  int i = 0;
  Variant item;
  for (auto _ : state) {
    const int k = i++ % kItems;
    f.port->RReadU(item, Variant(f.fv), Variant(Fixture::Id(k)));
    f.port->WWrite(item.ToString(), f.fv, Fixture::Id(k));
  }
}
BENCHMARK(BM_ReadUWriteCycle);

// The same cycle by hand: look at the lock, take it, read, look again, update, let go.
void BM_Baseline_ReadUWriteCycle(benchmark::State& state) {
  Fixture& f = F();
  Stmt look(f.dm, "SELECT UserInst FROM locks WHERE A0 = ?");
  Stmt take(f.dm, "INSERT INTO locks (A0, UserInst) VALUES (?, ?)");
  Stmt drop(f.dm, "DELETE FROM locks WHERE A0 = ? AND UserInst = ?");
  Stmt select(f.account, "SELECT * FROM bench WHERE A0 = ?");
  Stmt update(f.account, "UPDATE bench SET A1 = ?, A2 = ?, A3 = ?, A4 = ?, A5 = ? WHERE A0 = ?");
  const std::string owner = "bench*0";
  int i = 0;
  for (auto _ : state) {
    const int k = i++ % kItems;
    const std::string id = Fixture::Id(k), key = "sales.bench\xFF" + id;
    look.Text(1, key);
    look.Step();
    look.Reset();
    take.Text(1, key);
    take.Text(2, owner);
    take.Step();
    take.Reset();
    const std::string item = ReadByHand(select, id);
    look.Text(1, key);
    look.Step();
    look.Reset();
    const std::string a1 = item.substr(0, item.find('\xFE')), rest;
    for (int c = 1; c <= 5; ++c) update.Text(c, c == 1 ? a1 : rest);
    update.Text(6, id);
    update.Step();
    update.Reset();
    drop.Text(1, key);
    drop.Text(2, owner);
    drop.Step();
    drop.Reset();
  }
}
BENCHMARK(BM_Baseline_ReadUWriteCycle);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  return orvik::bench::RunWithRatios(argc, argv,
                                     {{"BM_RRead", "BM_Baseline_RRead"},
                                      {"BM_WWrite", "BM_Baseline_WWrite"},
                                      {"BM_ReadUWriteCycle", "BM_Baseline_ReadUWriteCycle"}});
}
