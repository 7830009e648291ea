// Sessions working side by side, as users load the console: N terminal sessions (1, 10, 50)
// each run a catalogued JavaScript program that reads items of its own and writes each back
// with new bytes (RRead, WWrite), against a plain program of N threads doing the same
// durable work straight on the datastore with its own client library: the item read and the
// write of an item nobody locked, each write durable before the next begins (SQLite: the
// engine's files, write-ahead log, full sync, autocommit, a look at the item's lock row before
// the write; MariaDB: the statements the engine sends, the lock row taken, the item written
// and the row dropped in one transaction). Then 50 logins at once against one login alone.
//
// Both sides run in the same rounds, which of them goes first drawn at random, on the same
// items: a disk shared with other programs swings a durable write's time from one second to
// the next, and separate runs would read that as the cost of the engine. Throughput is
// cycles a second over all sessions, from the moment all start to the moment the last ends.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

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
constexpr int kRounds = 5;
constexpr int kLogins = 50;

// The cycles each session runs in a round: a round of each side lasts about a second.
int CyclesPerSession(int sessions) { return sessions == 1 ? 600 : sessions == 10 ? 200 : 100; }

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
// The holder a plain thread's lock rows name, as a session's user instance would.
std::string Owner(int thread) { return "hand*" + std::to_string(thread + 1); }

std::string Changed(const std::string& item, long stamp) {
  const std::size_t mark = item.find(kMark);
  return "Customer " + std::to_string(stamp) +
         (mark == std::string::npos ? std::string() : item.substr(mark));
}

// The program: each session runs it once and keeps it running for all its rounds, so that a
// round times the cycles alone (making and ending a program's script engine costs some
// milliseconds of processor, as much as a few dozen cycles). A round is one input line: the
// session's prefix, the cycles and the first stamp; "END" ends the program. A failure is told
// before "DONE".
const char* kProgram = R"(function CYCLE() {
  var f = Ref(''), item = Ref(''), line = Ref('');
  var unopened = OOpen('cycle', f) ? '' : UserPort.ErrorDetail;
  CRT('READY');
  for (;;) {
    IInput(line);
    var words = line.value.split(' ');
    if (words[0] === 'END') return;
    var who = words[0], cycles = parseInt(words[1], 10), stamp = parseInt(words[2], 10);
    var failed = unopened;
    for (var i = 0; i < cycles && !failed; ++i) {
      var id = who + '.' + (i % 10);
      if (!RRead(item, f.value, id)) { failed = UserPort.ErrorDetail; break; }
      var text = item.value, mark = text.indexOf('\xFE');
      if (!WWrite('Customer ' + (stamp + i) + (mark < 0 ? '' : text.substring(mark)), f.value, id))
        failed = UserPort.ErrorDetail;
    }
    if (failed) CRT('FAILED ' + failed);
    CRT('DONE');
  }
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
  s->home->CreateFile("cycle", 10);
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

// The processor time this process has used so far, in seconds: the engine's sessions and
// the plain threads alike run in it.
double ProcessorSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The page faults this process has taken so far: a script engine's collector that gives its
// memory back to the system and takes it again shows here, and in the processor time above.
double MinorFaults() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_minflt);
}

// Waits until what the case before left behind (sessions ending, their ports and programs
// being taken down) has finished: this process idle for a tenth of a second, or three seconds.
void Settle() {
  for (int i = 0; i < 30; ++i) {
    const double before = ProcessorSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (ProcessorSeconds() - before < 0.01) return;
  }
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

// N sessions logged in through the relay, moved to the benchmark's account, their programs
// started and waiting for a round.
class Sessions {
 public:
  Sessions(const Store& s, int n) {
    for (int i = 0; i < n; ++i) {
      auto t = std::make_unique<Terminal>(s.relay->Port());
      if (!t->LogIn(s.home->user(), BenchHome::password())) return;
      t->Send("LOGTO " + s.home->account() + "\r");
      if (!t->ReadUntil("\r\n:")) return;
      t->Send("CYCLE\r");
      if (!t->ReadUntil("READY")) return;
      terminals_.push_back(std::move(t));
    }
  }
  ~Sessions() {
    for (auto& t : terminals_) {
      t->Send("END\r");
      t->ReadUntil(":");
    }
  }
  bool ok() const { return !terminals_.empty(); }
  std::size_t size() const { return terminals_.size(); }
  // One round: every session runs `cycles` cycles.
  double Round(int cycles, long stamp, std::string* failure) {
    std::mutex mutex;
    return Together(static_cast<int>(terminals_.size()), [&](int i) {
      Terminal& t = *terminals_[static_cast<std::size_t>(i)];
      t.Send("U" + std::to_string(i) + " " + std::to_string(cycles) + " " + std::to_string(stamp) +
             "\r");
      std::string seen;
      if (!t.ReadUntil("DONE\r\n", nullptr, &seen)) return false;
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
        Columns columns = orvik::SplitAt(Changed(item, stamp + c), kMark);
        columns.resize(store_.table.columns.size());
        if (!hand.PlainWrite(store_.table, id, columns,
                             orvik::bench::LockKey(store_.fileVariable, id), Owner(i),
                             turns_ ? &writing_ : nullptr))
          return false;
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
  std::vector<double> engine, hand, ratios, engineCpu, handCpu, engineFaults, handFaults;
  std::minstd_rand coin(31415 + n);
  static long stamp = 1;
  for (auto _ : state) {
    Settle();
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
        const double cpu = ProcessorSeconds(), faults = MinorFaults();
        if ((turn == 0) == engineFirst) {
          std::string failure;
          e = sessions.Round(cycles, stamp, &failure);
          if (e < 0) {
            state.SkipWithError(("a session failed: " + failure).c_str());
            return;
          }
          engineCpu.push_back(ProcessorSeconds() - cpu);
          engineFaults.push_back(MinorFaults() - faults);
        } else {
          h = hands.Round(cycles, stamp);
          if (h < 0) {
            state.SkipWithError("the plain program failed");
            return;
          }
          handCpu.push_back(ProcessorSeconds() - cpu);
          handFaults.push_back(MinorFaults() - faults);
        }
      }
      const double total = static_cast<double>(n) * cycles;
      engineCpu.back() *= 1e6 / total;
      handCpu.back() *= 1e6 / total;
      engineFaults.back() /= total;
      handFaults.back() /= total;
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
  // Processor time a cycle costs, of this process: the relay, the sessions and their
  // terminals, or the plain threads.
  state.counters["engine_cpu_us"] = Percentile(engineCpu, 0.5);
  state.counters["plain_cpu_us"] = Percentile(handCpu, 0.5);
  state.counters["engine_faults"] = Percentile(engineFaults, 0.5);
  state.counters["plain_faults"] = Percentile(handFaults, 0.5);
}

// One login at a time (connect to the prompt after it), then kLogins at once.
void Logins(benchmark::State& state, Store& s) {
  std::vector<double> single;
  double all = 0;
  for (auto _ : state) {
    Settle();
    const double cpuSingle = ProcessorSeconds();
    for (int i = 0; i < 10; ++i) {
      const SteadyClock::time_point t0 = SteadyClock::now();
      Terminal t(s.relay->Port());
      if (!t.LogIn(s.home->user(), BenchHome::password())) {
        state.SkipWithError("login failed");
        return;
      }
      single.push_back(Ms(SteadyClock::now() - t0));
    }
    state.counters["cpu_ms_single"] = 1000 * (ProcessorSeconds() - cpuSingle) / 10;
    // The sessions of the single logins leave their slots first.
    Settle();
    std::vector<std::unique_ptr<Terminal>> terminals(kLogins);
    const double cpu = ProcessorSeconds();
    all = 1000 * Together(kLogins, [&](int i) {
            terminals[static_cast<std::size_t>(i)] = std::make_unique<Terminal>(s.relay->Port());
            return terminals[static_cast<std::size_t>(i)]->LogIn(s.home->user(),
                                                                 BenchHome::password());
          });
    if (all < 0) {
      state.SkipWithError("a login failed");
      return;
    }
    state.counters["cpu_ms_each"] = 1000 * (ProcessorSeconds() - cpu) / kLogins;
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

  std::printf(
      "\nsessions through the console beside a plain program of as many threads "
      "(cycles a second, medians of %d interleaved rounds):\n",
      kRounds);
  for (const auto& store : gStores) {
    const std::string ds = store->home->dataStore();
    for (int n : {1, 10, kMostSessions}) {
      const std::string name = ds + "/Sessions/" + std::to_string(n) + "/";
      std::printf(
          "  %-5s %2d sessions  engine %8.1f  plain %8.1f  ratio %.2f (rounds %.2f-%.2f)  "
          "processor a cycle: engine %.0f us, plain %.0f us; page faults a cycle: engine %.2f, "
          "plain %.2f\n",
          ds.c_str(), n, r.Get(name, "engine_per_s"), r.Get(name, "plain_per_s"),
          r.Get(name, "ratio"), r.Get(name, "ratio_low"), r.Get(name, "ratio_high"),
          r.Get(name, "engine_cpu_us"), r.Get(name, "plain_cpu_us"), r.Get(name, "engine_faults"),
          r.Get(name, "plain_faults"));
    }
    const std::string logins = ds + "/Logins";
    std::printf(
        "  %-5s one login %.1f ms, %d at once %.1f ms: they overlap %.1f-fold (processor a "
        "login: %.1f ms alone, %.1f ms at once)\n",
        ds.c_str(), r.Get(logins, "single_ms"), kLogins, r.Get(logins, "all_ms"),
        r.Get(logins, "overlap"), r.Get(logins, "cpu_ms_single"), r.Get(logins, "cpu_ms_each"));
  }
  benchmark::Shutdown();
  gStores.clear();
  return 0;
}
