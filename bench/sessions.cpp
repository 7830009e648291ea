// Sessions working side by side, as users load the console: N terminal sessions (1, 10, 50)
// each run a catalogued JavaScript program that reads items of its own and writes each back
// with new bytes (RRead, WWrite), against a plain program of N threads doing the same
// durable work straight on the datastore with its own client library: the item read, the
// look at the item's lock row, the write, each write durable before the next begins
// (SQLite: the engine's files, write-ahead log, full sync, autocommit; MariaDB: the same
// statements the engine sends). Then 50 logins at once against one login alone.
//
// Both sides run in the same rounds, which of them goes first drawn at random, on the same
// items: a disk shared with other programs swings a durable write's time from one second to
// the next, and separate runs would read that as the cost of the engine. Throughput is
// cycles a second over all sessions, from the moment all start to the moment the last ends.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <latch>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench_home.h"
#include "counter_reporter.h"
#include "layout.h"
#include "lock_table.h"
#include "relay_client.h"
#include "text.h"

namespace {

using orvik::bench::BenchHome;
using orvik::bench::Columns;
using orvik::bench::HandStore;
using orvik::bench::Ms;
using orvik::bench::Percentile;
using orvik::bench::ServerThread;
using orvik::bench::SteadyClock;
using orvik::bench::Table;
using orvik::bench::Terminal;

constexpr char kMark = orvik::kAttributeMark;
constexpr int kMostSessions = 50;
// Items of each session, visited in turn.
constexpr int kItemsPerSession = 10;
constexpr int kRounds = 3;
constexpr int kLogins = 50;

// The cycles each session runs in a round: enough for a round to outlast the start of the
// programs many times over, few enough to keep the whole run to a minute or two.
int CyclesPerSession(int sessions) { return sessions == 1 ? 300 : sessions == 10 ? 60 : 24; }

std::string ItemId(int session, int k) {
  return "U" + std::to_string(session) + "." + std::to_string(k);
}

// An order of 10 attributes; its first one, the customer, is what every cycle changes.
Columns Order(int session, int k) {
  const std::string n = std::to_string(session * kItemsPerSession + k);
  return {"Customer 0",       "12 High Street\xFDTown " + n,
          "19" + n,           "OPEN",
          "P" + n + "\xFDP2", "1\xFD" "2",
          "1250\xFD" "399",   n,
          "note " + n,        "A"};
}

// What a cycle writes: the item read with its first attribute replaced.
std::string Changed(const std::string& item, long stamp) {
  const std::size_t mark = item.find(kMark);
  return "Customer " + std::to_string(stamp) +
         (mark == std::string::npos ? std::string() : item.substr(mark));
}

// The program: its session's prefix, the cycles and the first stamp come as one input line.
// Any failure is told before "DONE".
const char* kProgram = R"(function CYCLE() {
  var f = Ref(''), item = Ref(''), line = Ref('');
  IInput(line);
  var words = line.value.split(' ');
  var who = words[0], cycles = parseInt(words[1], 10), stamp = parseInt(words[2], 10);
  if (!OOpen('cycle', f)) { CRT('FAILED ' + UserPort.ErrorDetail); CRT('DONE'); return; }
  for (var i = 0; i < cycles; ++i) {
    var id = who + '.' + (i % 10);
    if (!RRead(item, f.value, id)) { CRT('FAILED ' + UserPort.ErrorDetail); break; }
    var text = item.value, mark = text.indexOf('\xFE');
    if (!WWrite('Customer ' + (stamp + i) + (mark < 0 ? '' : text.substring(mark)), f.value, id)) {
      CRT('FAILED ' + UserPort.ErrorDetail);
      break;
    }
  }
  CRT('DONE');
}
)";

// One datastore's home, its relay and its hand-written side.
struct Store {
  std::unique_ptr<BenchHome> home;
  std::unique_ptr<ServerThread> relay;
  Table table{"cycle", {}};
  std::string fileVariable;
};

std::unique_ptr<Store> MakeStore(const std::string& dataStore) {
  auto s = std::make_unique<Store>();
  s->home = std::make_unique<BenchHome>(
      dataStore, std::vector<orvik::CatalogEntry>{{"", "CYCLE", "JScript", "cycle.js"}});
  std::ofstream(s->home->home() + "/cycle.js") << kProgram;
  for (int c = 1; c <= 10; ++c) s->table.columns.push_back("A" + std::to_string(c));
  s->home->CreateTable("cycle", orvik::TableTemplate::kDataColumns, 10);
  s->fileVariable = s->home->FileVariable("cycle");
  HandStore::Open(*s->home)->Load(
      s->table, kMostSessions * kItemsPerSession,
      [](int i) { return Order(i / kItemsPerSession, i % kItemsPerSession); },
      [](int i) { return ItemId(i / kItemsPerSession, i % kItemsPerSession); });
  const std::string path = s->home->home();
  s->relay = std::make_unique<ServerThread>(
      [path](std::uint16_t* port) { return orvik::bench::MakeRelay(path, port); });
  return s;
}

// Runs `work(i)` on `n` threads that start together; the seconds from the start to the end
// of the last, or -1 when any work failed.
template <typename Work>
double Together(int n, Work work) {
  std::latch ready(n), go(1);
  std::atomic<bool> failed{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < n; ++i) {
    threads.emplace_back([&, i] {
      ready.count_down();
      go.wait();
      if (!work(i)) failed = true;
    });
  }
  ready.wait();
  const SteadyClock::time_point start = SteadyClock::now();
  go.count_down();
  for (std::thread& t : threads) t.join();
  const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
  return failed ? -1 : seconds;
}

// N sessions logged in through the relay and moved to the benchmark's account.
class Sessions {
 public:
  Sessions(const Store& s, int n) {
    for (int i = 0; i < n; ++i) {
      auto t = std::make_unique<Terminal>(s.relay->Port());
      if (!t->LogIn(s.home->user(), BenchHome::password())) return;
      t->Send("LOGTO " + s.home->account() + "\r");
      if (!t->ReadUntil("\r\n:")) return;
      terminals_.push_back(std::move(t));
    }
  }
  bool ok() const { return !terminals_.empty(); }
  std::size_t size() const { return terminals_.size(); }
  // One round: every session runs the program for `cycles` cycles.
  double Round(int cycles, long stamp, std::string* failure) {
    std::mutex mutex;
    return Together(static_cast<int>(terminals_.size()), [&](int i) {
      Terminal& t = *terminals_[static_cast<std::size_t>(i)];
      t.Send("CYCLE\r" + std::string("U") + std::to_string(i) + " " + std::to_string(cycles) +
             " " + std::to_string(stamp) + "\r");
      std::string seen;
      // The prompt comes back after the program's last line.
      if (!t.ReadUntil("DONE\r\n", nullptr, &seen) || !t.ReadUntil(":")) return false;
      if (const std::size_t at = seen.find("FAILED"); at != std::string::npos) {
        std::lock_guard lock(mutex);
        *failure = seen.substr(at, 200);
        return false;
      }
      return true;
    });
  }

 private:
  std::vector<std::unique_ptr<Terminal>> terminals_;
};

// The same work on N threads, each with its own connections, opened before the round. On
// SQLite the threads' writes take turns on a mutex, as a program of threads sharing a file
// would have them do: SQLite's own wait for a busy file sleeps for milliseconds at a time,
// and with it 50 threads get through a third of what one thread does.
class Hands {
 public:
  Hands(const Store& s, int n) : store_(s), turns_(s.home->dataStore() == "JET") {
    for (int i = 0; i < n; ++i) hands_.push_back(HandStore::Open(*s.home));
  }
  double Round(int cycles, long stamp) {
    return Together(static_cast<int>(hands_.size()), [&](int i) {
      HandStore& hand = *hands_[static_cast<std::size_t>(i)];
      for (int c = 0; c < cycles; ++c) {
        const std::string id = ItemId(i, c % kItemsPerSession);
        const std::string item = hand.Read(store_.table, id);
        if (item.empty()) return false;
        benchmark::DoNotOptimize(
            hand.LockHolder(orvik::LockTable::Key(store_.fileVariable, id)));
        Columns columns = orvik::SplitAt(Changed(item, stamp + c), kMark);
        columns.resize(store_.table.columns.size());
        std::unique_lock turn(writing_, std::defer_lock);
        if (turns_) turn.lock();
        hand.Write(store_.table, id, columns);
      }
      return true;
    });
  }

 private:
  const Store& store_;
  const bool turns_;
  std::mutex writing_;
  std::vector<std::unique_ptr<HandStore>> hands_;
};

std::vector<std::unique_ptr<Store>> gStores;

void Throughput(benchmark::State& state, Store& s) {
  const int n = static_cast<int>(state.range(0));
  const int cycles = CyclesPerSession(n);
  std::vector<double> engine, hand, ratios;
  std::minstd_rand coin(31415 + n);
  static long stamp = 1;
  for (auto _ : state) {
    Sessions sessions(s, n);
    if (!sessions.ok() || sessions.size() != static_cast<std::size_t>(n)) {
      state.SkipWithError("the sessions could not log in");
      return;
    }
    Hands hands(s, n);
    for (int round = 0; round < kRounds; ++round) {
      const bool engineFirst = (coin() & 1) != 0;
      double e = 0, h = 0;
      for (int turn = 0; turn < 2; ++turn) {
        stamp += cycles;
        if ((turn == 0) == engineFirst) {
          std::string failure;
          e = sessions.Round(cycles, stamp, &failure);
          if (e < 0) {
            state.SkipWithError(("a session failed: " + failure).c_str());
            return;
          }
        } else {
          h = hands.Round(cycles, stamp);
          if (h < 0) {
            state.SkipWithError("the plain program failed");
            return;
          }
        }
      }
      const double total = static_cast<double>(n) * cycles;
      engine.push_back(total / e);
      hand.push_back(total / h);
      ratios.push_back(h / e);
    }
  }
  const double e = Percentile(engine, 0.5), h = Percentile(hand, 0.5);
  state.counters["engine_per_s"] = e;
  state.counters["plain_per_s"] = h;
  state.counters["ratio"] = h > 0 ? e / h : 0;
  state.counters["ratio_low"] = *std::min_element(ratios.begin(), ratios.end());
  state.counters["ratio_high"] = *std::max_element(ratios.begin(), ratios.end());
}

// One login at a time (connect to the prompt after it), then kLogins at once.
void Logins(benchmark::State& state, Store& s) {
  std::vector<double> single;
  double all = 0;
  for (auto _ : state) {
    for (int i = 0; i < 10; ++i) {
      const SteadyClock::time_point t0 = SteadyClock::now();
      Terminal t(s.relay->Port());
      if (!t.LogIn(s.home->user(), BenchHome::password())) {
        state.SkipWithError("login failed");
        return;
      }
      single.push_back(Ms(SteadyClock::now() - t0));
    }
    // The sessions of the single logins leave their slots first.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::vector<std::unique_ptr<Terminal>> terminals(kLogins);
    all = 1000 * Together(kLogins, [&](int i) {
            terminals[static_cast<std::size_t>(i)] = std::make_unique<Terminal>(s.relay->Port());
            return terminals[static_cast<std::size_t>(i)]->LogIn(s.home->user(),
                                                                 BenchHome::password());
          });
    if (all < 0) {
      state.SkipWithError("a login failed");
      return;
    }
  }
  const double one = Percentile(single, 0.5);
  state.counters["single_ms"] = one;
  state.counters["all_ms"] = all;
  state.counters["overlap"] = all > 0 ? kLogins * one / all : 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  gStores.push_back(MakeStore("JET"));
  if (BenchHome::ServerKnown()) {
    gStores.push_back(MakeStore("MYSQL"));
  } else {
    std::fprintf(stderr,
                 "bench_sessions: ORVIK_MARIADB_TEST_DIR is not set, the MariaDB cases are left "
                 "out (make bench starts the private test server and sets it)\n");
  }
  for (const auto& store : gStores) {
    Store* s = store.get();
    const std::string ds = s->home->dataStore();
    benchmark::RegisterBenchmark((ds + "/Sessions").c_str(),
                                 [s](benchmark::State& st) { Throughput(st, *s); })
        ->Arg(1)
        ->Arg(10)
        ->Arg(kMostSessions)
        ->Iterations(1)
        ->UseRealTime();
    benchmark::RegisterBenchmark((ds + "/Logins").c_str(),
                                 [s](benchmark::State& st) { Logins(st, *s); })
        ->Iterations(1)
        ->UseRealTime();
  }
  orvik::bench::CounterReporter r;
  benchmark::RunSpecifiedBenchmarks(&r);

  std::printf("\nsessions through the console beside a plain program of as many threads "
              "(cycles a second, medians of %d interleaved rounds):\n",
              kRounds);
  for (const auto& store : gStores) {
    const std::string ds = store->home->dataStore();
    for (int n : {1, 10, kMostSessions}) {
      const std::string name = ds + "/Sessions/" + std::to_string(n) + "/";
      std::printf("  %-5s %2d sessions  engine %8.1f  plain %8.1f  ratio %.2f (rounds %.2f-%.2f)\n",
                  ds.c_str(), n, r.Get(name, "engine_per_s"), r.Get(name, "plain_per_s"),
                  r.Get(name, "ratio"), r.Get(name, "ratio_low"), r.Get(name, "ratio_high"));
    }
    const std::string logins = ds + "/Logins";
    std::printf("  %-5s one login %.1f ms, %d at once %.1f ms: they overlap %.1f-fold\n",
                ds.c_str(), r.Get(logins, "single_ms"), kLogins, r.Get(logins, "all_ms"),
                r.Get(logins, "overlap"));
  }
  benchmark::Shutdown();
  gStores.clear();
  return 0;
}
