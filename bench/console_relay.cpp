// What a terminal user feels of the console's relay, beside a plain TCP server that speaks the
// same dialogue with no engine behind it, in the same run: the echo of a key typed with
// think time between keys (median and 99th percentile, at 1 and at 50 sessions), the time
// from connecting to the prompt after login, the time from a one-line program's sentence to
// its first output, and the throughput of a 20 MB listing from its first byte to its last.
//
// The servers run on a thread of their own, with their own event loop; the clients are
// plain blocking sockets on threads of their own, timed on the steady clock.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "counter_reporter.h"
#include "home.h"
#include "plain_password.h"
#include "port.h"
#include "relay_client.h"
#include "setup.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using orvik::bench::MakeRelay;
using orvik::bench::Ms;
using orvik::bench::Percentile;
using orvik::bench::ServerThread;
using orvik::bench::Terminal;

constexpr std::size_t kListingLines = 20000;
constexpr std::size_t kListingLineLength = 1000;  // plus CR LF: about 20 MB in all
const std::string kUser = "bench";
const std::string kPassword = "bench";

// --- The plain server: the same dialogue answered at once --------------------------------

std::string ListingText() {
  std::string text;
  text.reserve(kListingLines * (kListingLineLength + 2) + 32);
  const std::string pad(kListingLineLength - 5, 'x');
  char number[8];
  for (std::size_t i = 0; i < kListingLines; ++i) {
    std::snprintf(number, sizeof number, "%05zu", i);
    text.append(number).append(pad).append("\r\n");
  }
  return text + "END OF LISTING\r\n";
}

// Echoes every byte and answers each line as the engine would: banner, password prompt,
// welcome and prompt, a one-line program, a listing. A login does what any login must: the
// user's row is read from the home's system account and the password checked against its
// hash, off the server's thread, as a server that serves many users at once would.
class PlainServer {
 public:
  explicit PlainServer(std::string home) : home_(std::move(home)) {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        auto lines = std::make_shared<int>(0);
        auto pending = std::make_shared<std::string>();
        auto user = std::make_shared<std::string>();
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, lines, pending, user] {
          const QByteArray in = s->readAll();
          s->write(in);
          pending->append(in.constData(), static_cast<std::size_t>(in.size()));
          for (std::size_t cr; (cr = pending->find('\r')) != std::string::npos;) {
            const std::string line = pending->substr(0, cr);
            pending->erase(0, cr + 1);
            if (*lines == 1) *user = line;
            Answer(s, line, (*lines)++, *user);
          }
        });
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      }
    });
  }
  ~PlainServer() {
    for (std::thread& t : checks_) t.join();
  }
  std::uint16_t Port() const { return server_.serverPort(); }

 private:
  void Answer(QTcpSocket* s, const std::string& line, int n, const std::string& user) {
    std::string out;
    if (n == 0) {
      out = "\r\nusername: ";
    } else if (n == 1) {
      out = "\r\npassword: ";
    } else if (n == 2) {
      CheckLogin(s, user, line);
      return;
    } else if (line == "HELLO") {
      out = "hi\r\n:";
    } else if (line == "LISTING") {
      out = listing_ + ":";
    } else {
      out = "\r\n:";
    }
    s->write(out.data(), static_cast<qint64>(out.size()));
  }

  void CheckLogin(QTcpSocket* s, const std::string& user, const std::string& password) {
    QPointer<QTcpSocket> socket(s);
    checks_.emplace_back([this, socket, user, password] {
      const bool accepted = PasswordMatches(user, password);
      QMetaObject::invokeMethod(&server_, [socket, accepted] {
        if (!socket) return;
        const std::string out =
            accepted ? "\r\nWelcome\r\n\r\n:" : "\r\nUser name or password not accepted\r\n";
        socket->write(out.data(), static_cast<qint64>(out.size()));
      });
    });
  }

  bool PasswordMatches(const std::string& user, const std::string& password) const {
    sqlite3* db = nullptr;
    const std::string file = home_ + "/JetMDB/dm.db";
    bool matches = false;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_busy_timeout(db, 5000);
      sqlite3_stmt* row = nullptr;
      sqlite3_prepare_v2(db, "SELECT A7 FROM users WHERE A0 = ?", -1, &row, nullptr);
      sqlite3_bind_text(row, 1, user.data(), static_cast<int>(user.size()), SQLITE_STATIC);
      if (sqlite3_step(row) == SQLITE_ROW) {
        const auto* stored = reinterpret_cast<const char*>(sqlite3_column_text(row, 0));
        matches = orvik::bench::PlainPasswordMatches(password, stored ? stored : "");
      }
      sqlite3_finalize(row);
    }
    sqlite3_close(db);
    return matches;
  }

  std::string home_;
  std::vector<std::thread> checks_;
  QTcpServer server_;
  const std::string listing_ = ListingText();
};

// --- The engine side ----------------------------------------------------------------------

class BenchHome {
 public:
  BenchHome() {
    home_ = std::filesystem::temp_directory_path() /
            ("orvik-bench-relay-" + std::to_string(::getpid()));
    std::filesystem::remove_all(home_);
    std::filesystem::create_directories(home_);
    std::ofstream(home_ / "hello.js") << "function HELLO() { CRT('hi'); }\n";
    std::ofstream(home_ / "listing.js") << "function LISTING() {\n"
                                           "  var pad = new Array("
                                        << kListingLineLength - 4
                                        << ").join('x');\n"
                                           "  for (var i = 0; i < "
                                        << kListingLines
                                        << "; ++i)\n"
                                           "    CRT(('00000' + i).slice(-5) + pad);\n"
                                           "  CRT('END OF LISTING');\n"
                                           "}\n";
    orvik::SetupOptions o;
    o.home = home_.string();
    o.user = kUser;
    o.password = kPassword;
    o.catalog = {{"dm", "HELLO", "JScript", "hello.js"},
                 {"dm", "LISTING", "JScript", "listing.js"}};
    std::string error;
    ok_ = orvik::RunSetup(
        o, [](const std::string&) {}, &error);
    if (!ok_) std::fprintf(stderr, "set-up failed: %s\n", error.c_str());
  }
  ~BenchHome() { std::filesystem::remove_all(home_); }
  std::string Path() const { return home_.string(); }
  bool ok() const { return ok_; }

 private:
  std::filesystem::path home_;
  bool ok_ = false;
};

std::shared_ptr<void> MakePlain(const std::string& home, std::uint16_t* port) {
  auto plain = std::make_shared<PlainServer>(home);
  *port = plain->Port();
  return plain;
}

// --- Clients --------------------------------------------------------------------------------

// Keys typed by `sessions` users at once, each waiting `think` between keys; the echo time
// of every key.
std::vector<double> EchoTimes(std::uint16_t port, int sessions, int keys, Clock::duration think) {
  std::mutex mutex;
  std::vector<double> all;
  std::vector<std::thread> users;
  for (int u = 0; u < sessions; ++u) {
    users.emplace_back([&, u] {
      Terminal t(port);
      if (!t.LogIn(kUser, kPassword)) return;
      std::mt19937 random(static_cast<unsigned>(u));
      std::uniform_int_distribution<int> jitter(0, 10);
      std::vector<double> mine;
      for (int k = 0; k < keys; ++k) {
        std::this_thread::sleep_for(think + std::chrono::milliseconds(jitter(random)));
        const auto t0 = Clock::now();
        t.Send("k");
        if (!t.ReadUntil("k")) return;
        mine.push_back(Ms(Clock::now() - t0));
      }
      std::lock_guard lock(mutex);
      all.insert(all.end(), mine.begin(), mine.end());
    });
  }
  for (auto& u : users) u.join();
  return all;
}

// --- Benchmarks -----------------------------------------------------------------------------

BenchHome* gHome = nullptr;

std::unique_ptr<ServerThread> Server(bool relay) {
  if (relay) {
    const std::string home = gHome->Path();
    return std::make_unique<ServerThread>(
        [home](std::uint16_t* port) { return MakeRelay(home, port); });
  }
  const std::string home = gHome->Path();
  return std::make_unique<ServerThread>(
      [home](std::uint16_t* port) { return MakePlain(home, port); });
}

void Echo(benchmark::State& state, bool relay) {
  const int sessions = static_cast<int>(state.range(0));
  auto server = Server(relay);
  std::vector<double> times;
  for (auto _ : state) times = EchoTimes(server->Port(), sessions, sessions == 1 ? 300 : 60, 20ms);
  if (times.size() < static_cast<std::size_t>(sessions)) state.SkipWithError("echoes missing");
  state.counters["median_ms"] = Percentile(times, 0.5);
  state.counters["p99_ms"] = Percentile(times, 0.99);
  state.counters["keys"] = static_cast<double>(times.size());
}
void BM_EchoRelay(benchmark::State& s) { Echo(s, true); }
void BM_EchoPlain(benchmark::State& s) { Echo(s, false); }
BENCHMARK(BM_EchoRelay)->Arg(1)->Arg(50)->Iterations(1)->UseRealTime();
BENCHMARK(BM_EchoPlain)->Arg(1)->Arg(50)->Iterations(1)->UseRealTime();

void Login(benchmark::State& state, bool relay) {
  auto server = Server(relay);
  std::vector<double> times;
  for (auto _ : state) {
    for (int i = 0; i < 30; ++i) {
      const auto t0 = Clock::now();
      Terminal t(server->Port());
      if (!t.LogIn(kUser, kPassword)) {
        state.SkipWithError("login failed");
        return;
      }
      times.push_back(Ms(Clock::now() - t0));
    }
  }
  state.counters["median_ms"] = Percentile(times, 0.5);
  state.counters["p99_ms"] = Percentile(times, 0.99);
}
void BM_LoginRelay(benchmark::State& s) { Login(s, true); }
void BM_LoginPlain(benchmark::State& s) { Login(s, false); }
BENCHMARK(BM_LoginRelay)->Iterations(1)->UseRealTime();
BENCHMARK(BM_LoginPlain)->Iterations(1)->UseRealTime();

void FirstOutput(benchmark::State& state, bool relay) {
  auto server = Server(relay);
  Terminal t(server->Port());
  if (!t.LogIn(kUser, kPassword)) {
    state.SkipWithError("login failed");
    return;
  }
  std::vector<double> times;
  for (auto _ : state) {
    for (int i = 0; i < 50; ++i) {
      const auto t0 = Clock::now();
      t.Send("HELLO\r");
      if (!t.ReadUntil("hi")) {
        state.SkipWithError("no output");
        return;
      }
      times.push_back(Ms(Clock::now() - t0));
      t.ReadUntil(":");
    }
  }
  state.counters["median_ms"] = Percentile(times, 0.5);
  state.counters["p99_ms"] = Percentile(times, 0.99);
}
void BM_FirstOutputRelay(benchmark::State& s) { FirstOutput(s, true); }
void BM_FirstOutputPlain(benchmark::State& s) { FirstOutput(s, false); }
BENCHMARK(BM_FirstOutputRelay)->Iterations(1)->UseRealTime();
BENCHMARK(BM_FirstOutputPlain)->Iterations(1)->UseRealTime();

void Listing(benchmark::State& state, bool relay) {
  auto server = Server(relay);
  Terminal t(server->Port());
  if (!t.LogIn(kUser, kPassword)) {
    state.SkipWithError("login failed");
    return;
  }
  double mbPerSecond = 0;
  for (auto _ : state) {
    t.Send("LISTING\r");
    std::size_t bytes = 0;
    if (!t.ReadUntil("00000", &bytes)) {
      state.SkipWithError("no listing");
      return;
    }
    const auto first = Clock::now();
    const std::size_t before = bytes;
    if (!t.ReadUntil("END OF LISTING", &bytes)) {
      state.SkipWithError("the listing was cut short");
      return;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - first).count();
    mbPerSecond = static_cast<double>(bytes - before) / 1e6 / seconds;
    t.ReadUntil(":");
  }
  state.counters["MB_per_s"] = mbPerSecond;
}
// The same listing from a port with no relay and no socket: what the program itself
// produces, against which the relay's own cost shows (the plain server has no program
// behind it and writes a listing made in advance).
void BM_ListingPortAlone(benchmark::State& state) {
  auto port = orvik::Home::Open(gHome->Path())->MakePort();
  // Timed as the relay's is, from the piece holding the first line to the last line.
  std::size_t bytes = 0;
  std::optional<Clock::time_point> first;
  std::string tail;  // the end of what came, where the last line is looked for
  port->SetResponseHandler([&](std::string& out) {
    // A program writes each line in one piece: the first line starts a piece.
    if (!first && out.find("00000") != std::string::npos) first = Clock::now();
    tail.append(out, out.size() > 64 ? out.size() - 64 : 0);
    if (first) bytes += out.size();
    if (tail.size() > 128) tail.erase(0, tail.size() - 64);
  });
  for (const std::string& line : {std::string("\r"), kUser + "\r", kPassword + "\r"})
    port->RequestA(line);
  double mbPerSecond = 0;
  for (auto _ : state) {
    bytes = 0;
    first.reset();
    tail.clear();
    const auto start = Clock::now();
    port->RequestA("LISTING\r");
    while (tail.find("END OF LISTING") == std::string::npos) {
      if (Clock::now() - start > std::chrono::seconds(60)) {
        state.SkipWithError("the listing did not end");
        return;
      }
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    if (first) {
      mbPerSecond = static_cast<double>(bytes) / 1e6 /
                    std::chrono::duration<double>(Clock::now() - *first).count();
    }
  }
  state.counters["MB_per_s"] = mbPerSecond;
}
BENCHMARK(BM_ListingPortAlone)->Iterations(1)->UseRealTime();
void BM_ListingRelay(benchmark::State& s) { Listing(s, true); }
void BM_ListingPlain(benchmark::State& s) { Listing(s, false); }
BENCHMARK(BM_ListingRelay)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ListingPlain)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  BenchHome home;
  if (!home.ok()) return 1;
  gHome = &home;
  benchmark::Initialize(&argc, argv);
  orvik::bench::CounterReporter r;
  benchmark::RunSpecifiedBenchmarks(&r);

  const auto line = [](const char* what, double relay, double plain, const char* unit,
                       const std::string& verdict) {
    std::printf("  %-34s relay %8.2f %-5s plain %8.2f %-5s %s\n", what, relay, unit, plain, unit,
                verdict.c_str());
  };
  std::printf("\nwhat a user feels, relay beside a plain server (same run):\n");
  const double e1 = r.Get("BM_EchoRelay/1/", "median_ms");
  const double p1 = r.Get("BM_EchoPlain/1/", "median_ms");
  line("key echo, 1 session, median", e1, p1, "ms",
       "difference " + std::to_string(e1 - p1) + " ms (target within 1 ms)");
  const double e50 = r.Get("BM_EchoRelay/50/", "p99_ms");
  line("key echo, 50 sessions, p99", e50, r.Get("BM_EchoPlain/50/", "p99_ms"), "ms",
       "(target under 10 ms)");
  line("key echo, 50 sessions, median", r.Get("BM_EchoRelay/50/", "median_ms"),
       r.Get("BM_EchoPlain/50/", "median_ms"), "ms", "");
  line("connect to prompt after login, median", r.Get("BM_LoginRelay", "median_ms"),
       r.Get("BM_LoginPlain", "median_ms"), "ms", "(target under 30 ms)");
  line("one-line program, first output, median", r.Get("BM_FirstOutputRelay", "median_ms"),
       r.Get("BM_FirstOutputPlain", "median_ms"), "ms", "(target under 10 ms)");
  const double lr = r.Get("BM_ListingRelay", "MB_per_s");
  const double lp = r.Get("BM_ListingPlain", "MB_per_s");
  line("20 MB listing, first to last byte", lr, lp, "MB/s",
       "relay / plain = " + std::to_string(lp > 0 ? lr / lp : 0) + " (target at least 0.5)");
  const double la = r.Get("BM_ListingPortAlone", "MB_per_s");
  std::printf("  %-34s relay %8.2f MB/s  port alone %8.2f MB/s  relay / port alone = %.2f\n",
              "20 MB listing, the relay's own cost", lr, la, la > 0 ? lr / la : 0);
  benchmark::Shutdown();
  return 0;
}
