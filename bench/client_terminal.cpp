// What a user of the client feels at its terminal: the time from a key pressed in the real
// client (offscreen, on an embedded home) to the next screen drawn and painted: the echo of
// a typed character, and the answer of a command after Enter. Beside it, in the same run,
// the engine port alone through the same host adapter (input given, output taken when the
// port announces it), which is the plain baseline: the client's share is the difference.
//
// Everything runs on the benchmark's thread (the GUI thread), with the port on its own
// thread as in the client; times are taken on the steady clock.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "client_program.h"
#include "counter_reporter.h"
#include "event_wait.h"
#include "home.h"
#include "port.h"
#include "port_host.h"
#include "setup.h"
#include "stats.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using orvik::bench::Ms;
using orvik::bench::Percentile;
using orvik::client::ClientProgram;

constexpr int kCommands = 60;
const std::string kUser = "bench";

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
  return orvik::PumpEventsUntil(Clock::now() + limit, done) || done();
}

class BenchHome {
 public:
  BenchHome() {
    home_ = std::filesystem::temp_directory_path() /
            ("orvik-bench-client-" + std::to_string(::getpid()));
    std::filesystem::remove_all(home_);
    std::filesystem::create_directories(home_);
    orvik::SetupOptions o;
    o.home = home_.string();
    o.user = kUser;
    o.password = kUser;
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

BenchHome* gHome = nullptr;

// --- The client --------------------------------------------------------------------------

class Client {
 public:
  Client() : program_({gHome->Path(), {"MONITOR=False"}}) {
    ok_ = program_.Start() && WaitRow("username:") && Type("bench\r") && WaitRow("password:") &&
          Type("bench\r") && WaitRow(":");
  }
  ~Client() { program_.Shell().Closedown(); }
  bool ok() const { return ok_; }

  // Presses `c` and returns the time until the screen shows `expected` on the cursor's row
  // and has been painted.
  double KeyToScreen(QChar c, const std::string& expected) {
    orvik::client::ScreenFormWidget* form = program_.TopForm();
    const auto start = Clock::now();
    Press(form, c);
    if (!WaitFor([&] { return CursorRow() == expected; })) return -1;
    form->repaint();
    return Ms(Clock::now() - start);
  }

 private:
  static void Press(QWidget* form, QChar c) {
    const int key = c == '\r' ? int(Qt::Key_Return) : int(c.toUpper().unicode());
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(form, &press);
  }
  bool Type(const std::string& keys) {
    for (const char c : keys) Press(program_.TopForm(), QChar(c));
    return true;
  }
  std::string CursorRow() {
    orvik::client::ScreenFormWidget* form = program_.TopForm();
    if (form == nullptr) return {};
    const auto& terminal = form->Core().Terminal();
    const auto row =
        static_cast<std::int32_t>(terminal.CursorY() / form->Core().Model().layout.mCY);
    return form->Core().Raster().RowText(row);
  }
  bool WaitRow(const std::string& text) {
    return WaitFor([&] { return CursorRow().starts_with(text); });
  }

  ClientProgram program_;
  bool ok_ = false;
};

// --- The port alone, through the same adapter ------------------------------------------------

class BarePort {
 public:
  BarePort() {
    const std::string home = gHome->Path();
    host_ = std::make_unique<orvik::PortHost>([engineHome = orvik::Home::Open(home)] {
      auto port = engineHome->MakePort();
      port->SetTermType("VBGUI");
      port->Echo(orvik::Variant(true));
      return port;
    });
    // Delivered on this thread, as the client receives it.
    QObject::connect(host_.get(), &orvik::PortHost::outputReady, host_.get(),
                     [this] { output_ += host_->TakeOutput(); });
    ok_ = Answer("\r\n", "username: ") >= 0 && Answer("bench\r", "password: ") >= 0 &&
          Answer("bench\r", "\r\n:") >= 0;
  }
  ~BarePort() { host_->Release(); }
  bool ok() const { return ok_; }

  // Gives `input` and returns the time until the output ends with `expected`.
  double Answer(const std::string& input, const std::string& expected) {
    output_.clear();
    const auto start = Clock::now();
    host_->Input(input);
    if (!WaitFor([&] { return output_.ends_with(expected); })) return -1;
    return Ms(Clock::now() - start);
  }

 private:
  std::unique_ptr<orvik::PortHost> host_;
  std::string output_;
  bool ok_ = false;
};

// --- Benchmarks ------------------------------------------------------------------------------

void Report(benchmark::State& state, const std::vector<double>& keys,
            const std::vector<double>& commands) {
  if (std::find(keys.begin(), keys.end(), -1.0) != keys.end() ||
      std::find(commands.begin(), commands.end(), -1.0) != commands.end()) {
    state.SkipWithError("a screen never came");
    return;
  }
  state.counters["echo_median_ms"] = Percentile(keys, 0.5);
  state.counters["echo_p99_ms"] = Percentile(keys, 0.99);
  state.counters["command_median_ms"] = Percentile(commands, 0.5);
  state.counters["command_p99_ms"] = Percentile(commands, 0.99);
}

void BM_ClientKeyToScreen(benchmark::State& state) {
  Client client;
  if (!client.ok()) {
    state.SkipWithError("the client did not log in");
    return;
  }
  std::vector<double> keys;
  std::vector<double> commands;
  for (auto _ : state) {
    for (int i = 0; i < kCommands; ++i) {
      keys.push_back(client.KeyToScreen('W', ":W"));
      keys.push_back(client.KeyToScreen('H', ":WH"));
      keys.push_back(client.KeyToScreen('O', ":WHO"));
      commands.push_back(client.KeyToScreen('\r', ":"));
    }
  }
  Report(state, keys, commands);
}
BENCHMARK(BM_ClientKeyToScreen)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_PortAlone(benchmark::State& state) {
  BarePort port;
  if (!port.ok()) {
    state.SkipWithError("the port did not log in");
    return;
  }
  std::vector<double> keys;
  std::vector<double> commands;
  for (auto _ : state) {
    for (int i = 0; i < kCommands; ++i) {
      keys.push_back(port.Answer("W", "W"));
      keys.push_back(port.Answer("H", "H"));
      keys.push_back(port.Answer("O", "O"));
      commands.push_back(port.Answer("\r", "\r\n:"));
    }
  }
  Report(state, keys, commands);
}
BENCHMARK(BM_PortAlone)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  BenchHome home;
  if (!home.ok()) return 1;
  gHome = &home;
  benchmark::Initialize(&argc, argv);
  orvik::bench::CounterReporter r;
  benchmark::RunSpecifiedBenchmarks(&r);

  std::printf(
      "\nfrom a key to the next screen drawn, the client beside the port alone (same run):\n");
  for (const char* what : {"echo", "command"}) {
    for (const char* at : {"median", "p99"}) {
      const std::string counter = std::string(what) + "_" + at + "_ms";
      const double client = r.Get("BM_ClientKeyToScreen", counter);
      const double port = r.Get("BM_PortAlone", counter);
      std::printf("  %-8s %-6s client %7.2f ms   port alone %7.2f ms   client / port = %5.2fx%s\n",
                  what, at, client, port, port > 0 ? client / port : 0,
                  client >= 0 && client <= 50 ? "   (within 50 ms)" : "   (target: within 50 ms)");
    }
  }
  benchmark::Shutdown();
  return 0;
}
