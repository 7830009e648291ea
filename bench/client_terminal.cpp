// What a user of the client feels: the time from a key pressed in the real client (offscreen,
// on an embedded home) to the next screen drawn and painted. At the terminal: the echo of a
// typed character, and the answer of a command after Enter. In the demo application: a menu
// pick (the customer form), a field sent (its value stored and the form waiting again), Esc
// (the menu again) and a pick whose order of 1,000 lines fills a grid. Beside it, in the same
// run, the engine port alone through the same host adapter (input given, output taken when
// the port announces it), which is the plain baseline: the client's share is the difference.
// The demo's screens are timed in turns, the client's and the port's alternating.
//
// Everything runs on the benchmark's thread (the GUI thread), with the port on its own
// thread as in the client; times are taken on the steady clock.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "client_program.h"
#include "counter_reporter.h"
#include "demo_home.h"
#include "entry_controls.h"
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
constexpr int kScreenRounds = 40;
constexpr int kOrderLines = 1000;
const std::string kUser = "bench";
const std::string kAccount = "shop";

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
    std::string error;
    ok_ = orvik::client::SetUpDemoHome(home_, kAccount, kUser, kUser, &error) && LongOrder(&error);
    if (!ok_) std::fprintf(stderr, "set-up failed: %s\n", error.c_str());
  }
  ~BenchHome() { std::filesystem::remove_all(home_); }
  std::string Path() const { return home_.string(); }
  bool ok() const { return ok_; }

  // A port logged in to the demo's account, for reading what the demo stored.
  std::shared_ptr<orvik::Port> DemoPort(std::string* error) const {
    auto port = orvik::Home::Open(Path())->MakePort();
    std::string login = "LOGIN " + kUser + " " + kUser, use = "USE " + kAccount;
    if (port->ExecutePS(login) != "OK" || port->ExecutePS(use) != "OK") {
      *error = "no login: " + port->ErrorDetail();
      return nullptr;
    }
    return port;
  }

 private:
  // The demo's order O1, made before the demo makes its own, with kOrderLines lines: its
  // grid (menu item 2) is filled with them.
  bool LongOrder(std::string* error) {
    const std::shared_ptr<orvik::Port> port = DemoPort(error);
    if (!port) return false;
    std::string sentence = "CREATE-FILE DEMOORD 4";
    if (port->ExecutePS(sentence) == "ERROR") {
      *error = port->ErrorDetail();
      return false;
    }
    std::string products, descriptions, quantities;
    for (int n = 1; n <= kOrderLines; ++n) {
      const std::string sep = n > 1 ? "\xFD" : "";
      products += sep + "P" + std::to_string(n);
      descriptions += sep + "Part number " + std::to_string(n);
      quantities += sep + std::to_string(n % 97);
    }
    orvik::Variant file;
    if (!port->OOpen(orvik::Variant("DEMOORD"), file) ||
        !port->WWrite("C100\xFE" + products + "\xFE" + descriptions + "\xFE" + quantities,
                      file.ToString(), "O1")) {
      *error = port->ErrorDetail();
      return false;
    }
    return true;
  }

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

  // --- The demo application ---

  // Moves to the demo's account and starts the demo; true once its menu waits for a pick.
  bool StartDemo() {
    QApplication::setActiveWindow(program_.TopForm());
    Type("LOGTO " + kAccount + "\r");
    Type("DEMO\r");
    return WaitFor([&] { return Settled("MENU"); });
  }
  // `code` typed into the menu's selection box, then Enter: the time until the next screen
  // is drawn, the customer form for 1, the grid of the order's lines for 2.
  double Pick(const std::string& code) {
    orvik::client::ScreenFormWidget* form = program_.TopForm();
    for (const char c : code) Press(form->AltSelect(), QChar(c));
    return Timed(form->AltSelect(), '\r', [&] {
      if (code != "2") return Settled("UPDATE");
      const orvik::client::GridModel& grid = form->Core().Model().grid;
      return Settled("") && grid.visible && grid.Rows() > kOrderLines &&
             grid.TextMatrix(kOrderLines, 1) == "P" + std::to_string(kOrderLines);
    });
  }
  // The customer's name replaced by `value` and sent by Tab: the time until the demo has
  // stored it and the form shows it taken (the entry changes colour; a new form's entries
  // start plain). The name's entry has the keyboard, as after a click.
  double Field(const std::string& value) {
    orvik::client::ScreenFormWidget* form = program_.TopForm();
    auto* name = qobject_cast<QLineEdit*>(form->EntryWidgets().Entry(2));
    if (name == nullptr) return -1;
    name->setFocus(Qt::MouseFocusReason);
    QCoreApplication::processEvents();
    name->selectAll();
    for (const char c : value) Press(name, QChar(c));
    if (!WaitFor([&] { return !program_.Shell().AwaitingReply(); })) return -1;
    orvik::client::FormControls& controls = form->Core().Controls();
    const auto colour = [&] { return orvik::client::EntryControl(controls, 2).backColour; };
    const auto plain = colour();
    return Timed(name, '\t', [&] {
      return Settled("UPDATE") && form->Core().Model().states.msState == "FORM_ACTIVE" &&
             colour() != plain;
    });
  }
  // Esc on the open form: the time until the menu is drawn.
  double Escape() {
    orvik::client::ScreenFormWidget* form = program_.TopForm();
    QWidget* focus = QApplication::focusWidget();
    QWidget* target = focus != nullptr && form->isAncestorOf(focus) ? focus : form;
    return Timed(target, QChar(27), [&] { return Settled("MENU"); });
  }

 private:
  // Presses `c` in `target` and returns the time until `shown`, painted.
  double Timed(QWidget* target, QChar c, const std::function<bool()>& shown) {
    const auto start = Clock::now();
    Press(target, c);
    if (!WaitFor(shown)) return -1;
    program_.TopForm()->repaint();
    return Ms(Clock::now() - start);
  }
  // The top form shows a screen whose form state is `state` (any but the menu when empty),
  // and no answer is outstanding.
  bool Settled(const std::string& state) {
    orvik::client::ScreenFormWidget* form = program_.TopForm();
    if (form == nullptr || program_.Shell().AwaitingReply()) return false;
    const std::string& now = form->Core().Model().states.msFormState;
    return state.empty() ? now != "MENU" : now == state;
  }
  static void Press(QWidget* form, QChar c) {
    const int key = c == '\r'        ? int(Qt::Key_Return)
                    : c == '\t'      ? int(Qt::Key_Tab)
                    : c == QChar(27) ? int(Qt::Key_Escape)
                                     : int(c.toUpper().unicode());
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

  // The demo's screens as the client asks for them, each answered when its markup has come.
  bool StartDemo() {
    return Answer("LOGTO " + kAccount + "\r", "\r\n:") >= 0 && Answer("DEMO\r", "</TX>") >= 0;
  }
  double Pick(const std::string& code) { return Answer(code + "\r", "</TX>"); }
  // The field's action code, then its value once the demo has put the cursor on it: what
  // the client sends for a Tab out of a changed entry.
  double Field(const std::string& value) {
    const double code = Answer("2\r", "</TX>");
    const double stored = Answer(value + "\r", "<ACTIONCODE></TX>");
    return code < 0 || stored < 0 ? -1 : code + stored;
  }
  double Escape() { return Answer("X\r", "</TX>"); }

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

// The demo's screens, from the key to the screen drawn, and their goals.
struct ScreenKind {
  const char* name;
  double goalMs;
};
constexpr ScreenKind kScreenKinds[] = {
    {"pick", 50}, {"field", 50}, {"esc", 50}, {"grid_fill", 200}};

// One side's times of every kind, in the order of kScreenKinds.
using ScreenTimes = std::array<std::vector<double>, std::size(kScreenKinds)>;

// A round through the demo on one side: a pick, a field, Esc, the 1,000-line grid, Esc.
// False when `stored`, asked right after the field, says that the value was not stored.
template <typename Side>
bool ScreenRound(Side& side, const std::string& value, ScreenTimes& times,
                 const std::function<bool(const std::string&)>& stored) {
  times[0].push_back(side.Pick("1"));
  times[1].push_back(side.Field(value));
  if (stored && !stored(value)) return false;
  times[2].push_back(side.Escape());
  times[3].push_back(side.Pick("2"));
  times[2].push_back(side.Escape());
  return true;
}

void ReportScreens(benchmark::State& state, const char* side, const ScreenTimes& times) {
  for (std::size_t k = 0; k < times.size(); ++k) {
    const std::string kind = std::string(side) + "_" + kScreenKinds[k].name;
    state.counters[kind + "_median_ms"] = Percentile(times[k], 0.5);
    state.counters[kind + "_p99_ms"] = Percentile(times[k], 0.99);
  }
}

void BM_DemoScreens(benchmark::State& state) {
  std::string error;
  const std::shared_ptr<orvik::Port> reader = gHome->DemoPort(&error);
  Client client;
  BarePort port;
  if (!reader || !client.ok() || !port.ok() || !client.StartDemo() || !port.StartDemo()) {
    state.SkipWithError(("the demo did not start " + error).c_str());
    return;
  }
  orvik::Variant customers;
  reader->OOpen(orvik::Variant("DEMOCUST"), customers);
  // The client's field is timed to the screen that follows its value stored.
  const auto stored = [&](const std::string& name) {
    orvik::Variant item;
    return reader->RRead(item, customers, orvik::Variant("C100")) &&
           item.ToString().starts_with(name + "\xFE");
  };
  ScreenTimes clientTimes, portTimes;
  for (auto _ : state) {
    for (int round = 0; round < kScreenRounds; ++round) {
      if (!ScreenRound(client, "Client " + std::to_string(round), clientTimes, stored)) {
        state.SkipWithError("a field was timed before the demo stored it");
        return;
      }
      ScreenRound(port, "Port " + std::to_string(round), portTimes, nullptr);
    }
  }
  for (const ScreenTimes* times : {&clientTimes, &portTimes}) {
    for (const std::vector<double>& kind : *times) {
      if (std::find(kind.begin(), kind.end(), -1.0) != kind.end()) {
        state.SkipWithError("a screen never came");
        return;
      }
    }
  }
  ReportScreens(state, "client", clientTimes);
  ReportScreens(state, "port", portTimes);
}
BENCHMARK(BM_DemoScreens)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void PrintLine(const char* what, const char* at, double client, double port, double goal) {
  std::printf("  %-9s %-6s client %7.2f ms   port alone %7.2f ms   client / port = %5.2fx%s", what,
              at, client, port, port > 0 ? client / port : 0,
              client >= 0 && client <= goal ? "   (within " : "   (target: within ");
  std::printf("%g ms)\n", goal);
}

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
      PrintLine(what, at, r.Get("BM_ClientKeyToScreen", counter), r.Get("BM_PortAlone", counter),
                50);
    }
  }
  for (const ScreenKind& kind : kScreenKinds) {
    for (const char* at : {"median", "p99"}) {
      const std::string counter = std::string(kind.name) + "_" + at + "_ms";
      PrintLine(kind.name, at, r.Get("BM_DemoScreens", "client_" + counter),
                r.Get("BM_DemoScreens", "port_" + counter), kind.goalMs);
    }
  }
  benchmark::Shutdown();
  return 0;
}
