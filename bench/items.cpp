// The item members against the same work done by hand with the datastore's own client and
// prepared statements, on the embedded store and on MariaDB (the private test server), in
// the same run on the same tables. Wall-clock time: every write reaches the disk, every
// MariaDB call the network.
//
// Files of 1,000, 10,000 and 100,000 items of 10 attributes show how the cost of an item
// grows with its file; a file of items of 1,000 attributes shows wide items. Every write
// writes bytes that differ from what the item held.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench_home.h"
#include "layout.h"
#include "lock_table.h"
#include "ratio_reporter.h"
#include "sync_counter.h"
#include "text.h"

namespace {

using orvik::Variant;
using orvik::bench::BenchHome;
using orvik::bench::Columns;
using orvik::bench::HandStore;
using orvik::bench::Id;
using orvik::bench::SyncCounter;
using orvik::bench::Table;

constexpr char kMark = orvik::kAttributeMark;

// An item of 10 attributes as an order file holds it; `stamp` changes the bytes.
Columns Order(int k, long stamp) {
  const std::string n = std::to_string(k), s = std::to_string(stamp);
  return {"Customer " + n,
          "12 High Street\xFDTown " + n,
          std::to_string(19000 + k % 3000),
          "OPEN",
          "P" + n + std::string("\xFDP").append(std::to_string(k + 1)) +
              std::string("\xFDP").append(std::to_string(k + 2)),
          std::to_string(k % 17 + 1) + std::string("\xFD").append(std::to_string(k % 5 + 1)) +
              "\xFD" + "1",
          std::to_string(1250 + k % 977) +
              std::string("\xFD").append(std::to_string(399 + stamp % 1000)) + "\xFD" + "2500",
          s,
          "note for order " + n + " " + s,
          "A"};
}

// An item of 1,000 attributes, a value each.
Columns Wide(int k, long stamp) {
  Columns out;
  out.reserve(1000);
  for (int a = 1; a <= 1000; ++a) {
    std::string value(1, 'v');
    value += std::to_string(a);
    value.push_back('.');
    value += std::to_string(a == 1 ? stamp : k);
    out.push_back(std::move(value));
  }
  return out;
}

std::string Joined(const Columns& c) {
  std::string out;
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (i) out.push_back(kMark);
    out += c[i];
  }
  return out;
}

struct File {
  std::string label;  // "1k", "10k", "100k", "wide"
  Table table;
  int count;
  bool wide;
  Columns Make(int k, long stamp) const { return wide ? Wide(k, stamp) : Order(k, stamp); }
};

// One datastore's home, hand-written store and files, made before any benchmark runs.
struct Store {
  std::unique_ptr<BenchHome> home;
  std::unique_ptr<HandStore> hand;
  std::vector<File> files;
};

Store MakeStore(const std::string& dataStore) {
  Store s;
  s.home = std::make_unique<BenchHome>(dataStore);
  s.hand = HandStore::Open(*s.home);
  Columns aColumns;
  for (int c = 1; c <= 10; ++c) aColumns.push_back(std::string("A").append(std::to_string(c)));
  for (const auto& [label, count] : {std::pair{"1k", 1000}, {"10k", 10000}, {"100k", 100000}}) {
    std::string table = "grow";
    table += label;
    s.files.push_back({label, {table, aColumns}, count, false});
  }
  s.files.push_back({"wide", {"wide", {"ITEM"}}, 1000, true});
  for (const File& f : s.files) {
    s.home->CreateTable(
        f.table.name, f.wide ? orvik::TableTemplate::kDataItem : orvik::TableTemplate::kDataColumns,
        f.wide ? 0 : 10);
    s.hand->Load(f.table, f.count, [&](int k) {
      const Columns c = f.Make(k, 0);
      return f.wide ? Columns{Joined(c)} : c;
    });
  }
  // Every item read once before anything is measured: the first benchmark should not pay
  // for a cold cache, nor for the server still writing back what the load wrote.
  for (const File& f : s.files) {
    for (int k = 0; k < f.count; ++k) benchmark::DoNotOptimize(s.hand->Read(f.table, Id(k)));
  }
  return s;
}

// Spreads the items an iteration touches over the whole file.
int Pick(long i, int count) { return static_cast<int>((i * 7919) % count); }

double Sum(const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0); }

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  const auto middle = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), middle, v.end());
  return *middle;
}

// Reads the item for update, changes its first attribute and writes it (which frees the
// lock): what a program does to change an item.
bool LockCycle(BenchHome& home, const std::string& fv, const std::string& id) {
  static long stamp = 1;
  Variant item;
  if (!home.port().RReadU(item, Variant(fv), Variant(id))) return false;
  std::string text = item.ToString();
  text.replace(0, text.find(kMark), std::string("Customer ").append(std::to_string(++stamp)));
  return home.port().WWrite(text, fv, id);
}

// The same item written with new bytes and no lock of its own.
bool Rewrite(BenchHome& home, const std::string& fv, int k) {
  static long stamp = 1;
  return home.port().WWrite(Joined(Order(k, ++stamp)), fv, Id(k));
}

void Register(Store& s, orvik::bench::RatioPairs& pairs) {
  const std::string ds = s.home->dataStore();
  BenchHome& home = *s.home;
  HandStore& hand = *s.hand;
  // Three runs each, compared by their medians: a disk shared with other programs makes
  // single runs of durable writes vary by half.
  const auto add = [&](const std::string& name, auto body, double seconds = 0.3) {
    benchmark::RegisterBenchmark(name.c_str(), body)
        ->UseRealTime()
        ->MinTime(seconds)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true);
  };
  for (const File& f : s.files) {
    const std::string fv = home.FileVariable(f.table.name);
    const std::string read = ds + "/RRead/" + f.label, handRead = ds + "/hand/RRead/" + f.label;
    add(read, [&home, &f, fv](benchmark::State& state) {
      Variant item;
      long i = 0;
      for (auto _ : state) {
        if (!home.port().RRead(item, Variant(fv), Variant(Id(Pick(i++, f.count)))))
          state.SkipWithError(home.port().ErrorDetail().c_str());
        benchmark::DoNotOptimize(item);
      }
    });
    add(handRead, [&hand, &f](benchmark::State& state) {
      long i = 0;
      for (auto _ : state) benchmark::DoNotOptimize(hand.Read(f.table, Id(Pick(i++, f.count))));
    });
    pairs.push_back({read, handRead});

    // Writes: the engine looks at the item's lock, then writes; so does the hand.
    const std::string write = ds + "/WWrite/" + f.label, handWrite = ds + "/hand/WWrite/" + f.label;
    add(write, [&home, &f, fv](benchmark::State& state) {
      static long stamp = 1;
      long i = 0;
      for (auto _ : state) {
        const int k = Pick(i++, f.count);
        if (!home.port().WWrite(Joined(f.Make(k, ++stamp)), fv, Id(k)))
          state.SkipWithError(home.port().ErrorDetail().c_str());
      }
    });
    add(handWrite, [&hand, &f, fv](benchmark::State& state) {
      static long stamp = 1;
      long i = 0;
      for (auto _ : state) {
        const int k = Pick(i++, f.count);
        const std::string id = Id(k);
        benchmark::DoNotOptimize(hand.LockHolder(orvik::LockTable::Key(fv, id)));
        const Columns c = f.Make(k, ++stamp);
        hand.Write(f.table, id, f.wide ? Columns{Joined(c)} : c);
      }
    });
    pairs.push_back({write, handWrite});
  }
  for (const char* op : {"/RRead/", "/WWrite/"}) {
    pairs.push_back({ds + op + "100k", ds + op + "1k"});
    pairs.push_back({ds + "/hand" + op + "100k", ds + "/hand" + op + "1k"});
  }

  // The lock cycle on the largest file: read for update, change an attribute, write.
  const File& big = s.files[2];
  const std::string fv = home.FileVariable(big.table.name);
  const std::string cycle = ds + "/LockCycle/100k", handCycle = ds + "/hand/LockCycle/100k";
  add(cycle, [&home, &big, fv](benchmark::State& state) {
    long i = 0;
    for (auto _ : state) {
      if (!LockCycle(home, fv, Id(Pick(i++, big.count))))
        state.SkipWithError(home.port().ErrorDetail().c_str());
    }
  });
  add(handCycle, [&hand, &big, fv](benchmark::State& state) {
    static long stamp = 1;
    const std::string owner = "hand*1";
    long i = 0;
    for (auto _ : state) {
      const std::string id = Id(Pick(i++, big.count));
      const std::string key = orvik::LockTable::Key(fv, id);
      // The insert alone takes the lock: a held one would refuse it.
      hand.TakeLock(key, owner);
      const std::string item = hand.Read(big.table, id);
      Columns c;
      std::size_t from = 0;
      for (std::size_t at; (at = item.find(kMark, from)) != std::string::npos; from = at + 1)
        c.push_back(item.substr(from, at - from));
      c.push_back(item.substr(from));
      c[0] = std::string("Customer ").append(std::to_string(++stamp));
      benchmark::DoNotOptimize(hand.LockHolder(key));
      hand.Write(big.table, id, c);
      hand.DropLock(key, owner);
    }
  });
  // The lock alone: taken with a read for update, given back without a write.
  add(ds + "/TakeAndRelease/100k", [&home, &big, fv](benchmark::State& state) {
    long i = 0;
    Variant item;
    for (auto _ : state) {
      const std::string id = Id(Pick(i++, big.count));
      home.port().RReadU(item, Variant(fv), Variant(id));
      home.port().Release(Variant(fv), Variant(id));
    }
  });
  // The cycle and the plain write of the same item in turn, each timed on its own: a disk
  // shared with other programs makes a durable write's time swing by whole factors from one
  // second to the next, which separate runs would read as the cost of the cycle. Besides the
  // ratio of the means, the ratio of the medians: a sync the disk holds up for a millisecond
  // falls on either side at random, and a few of them move the means by a tenth (a longer run
  // evens that out too). On the embedded store the disk syncs of each are counted.
  add(
      ds + "/LockCycleAgainstWWrite/100k",
      [&home, &big, fv](benchmark::State& state) {
        using Clock = std::chrono::steady_clock;
        using Micros = std::chrono::duration<double, std::micro>;
        std::vector<double> cycleTimes, writeTimes;
        long cycleSyncs = 0, writeSyncs = 0, i = 0;
        // Which goes first is drawn, not alternated: the log is written back into the
        // database every thousand writes, a few milliseconds that would otherwise fall on the
        // same side of every pair, by the parity of where the run began.
        std::minstd_rand coin(2718);
        for (auto _ : state) {
          const int k = Pick(i++, big.count);
          const bool cycleFirst = (coin() & 1) != 0;
          for (int turn = 0; turn < 2; ++turn) {
            const bool cycleNow = (turn == 0) == cycleFirst;
            const long syncsBefore = SyncCounter::Syncs();
            const Clock::time_point t0 = Clock::now();
            const bool ok = cycleNow ? LockCycle(home, fv, Id(k)) : Rewrite(home, fv, k);
            (cycleNow ? cycleTimes : writeTimes).push_back(Micros(Clock::now() - t0).count());
            (cycleNow ? cycleSyncs : writeSyncs) += SyncCounter::Syncs() - syncsBefore;
            if (!ok) state.SkipWithError(home.port().ErrorDetail().c_str());
          }
        }
        const double n = static_cast<double>(state.iterations());
        if (n == 0) return;
        const double cycleMean = Sum(cycleTimes) / n, writeMean = Sum(writeTimes) / n;
        const double cycleMedian = Median(cycleTimes), writeMedian = Median(writeTimes);
        state.counters["cycle_us"] = cycleMean;
        state.counters["write_us"] = writeMean;
        state.counters["cycle_med_us"] = cycleMedian;
        state.counters["write_med_us"] = writeMedian;
        state.counters["cycle_syncs"] = cycleSyncs / n;
        state.counters["write_syncs"] = writeSyncs / n;
        state.counters["ratio"] = writeMean > 0 ? cycleMean / writeMean : 0;
        state.counters["median_ratio"] = writeMedian > 0 ? cycleMedian / writeMedian : 0;
      },
      /*seconds=*/1.0);
  pairs.push_back({cycle, handCycle});
  pairs.push_back({ds + "/TakeAndRelease/100k", ds + "/WWrite/100k"});
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  SyncCounter::Install();
  orvik::bench::RatioPairs pairs;
  std::vector<Store> stores;
  stores.push_back(MakeStore("JET"));
  if (BenchHome::ServerKnown()) {
    stores.push_back(MakeStore("MYSQL"));
  } else {
    std::fprintf(stderr,
                 "bench_items: ORVIK_MARIADB_TEST_DIR is not set, the MariaDB cases are left out "
                 "(make bench starts the private test server and sets it)\n");
  }
  for (Store& s : stores) Register(s, pairs);
  return orvik::bench::RunWithRatios(argc, argv, pairs, orvik::bench::Clock::kWall);
}
