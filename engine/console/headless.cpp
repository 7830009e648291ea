#include "headless.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdio>

#include "status_text.h"

namespace orvik::console {
namespace {

int gSignalPipe[2] = {-1, -1};

extern "C" void OnSignal(int number) {
  const char c = static_cast<char>(number);
  // Nothing can be done about a full pipe inside a handler; the signal is then dropped.
  [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &c, 1);
}

std::string SlotLine(const RelayServer& relay, int slot) {
  char number[16];
  std::snprintf(number, sizeof number, "%03d", slot);
  return GeneralDateTime() + " " + number + ": " + relay.SlotText(slot);
}

// Routes SIGTERM, SIGINT and SIGUSR1 into the event loop for as long as it lives.
class SignalRoute {
 public:
  SignalRoute() {
    if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &action, &previous_[i]);
  }
  ~SignalRoute() {
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &previous_[i], nullptr);
    for (int& fd : gSignalPipe) {
      if (fd >= 0) ::close(fd);
      fd = -1;
    }
  }
  int ReadEnd() const { return gSignalPipe[0]; }

 private:
  static constexpr int kSignals[3] = {SIGTERM, SIGINT, SIGUSR1};
  struct sigaction previous_[3]{};
};

}  // namespace

void PrintLines(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  if (out.empty() || out.back() != '\n') out.push_back('\n');
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
}

void StreamDialogs::Message(const std::string& text) { PrintLines(text); }

bool StreamDialogs::Confirm(const std::string& text) {
  PrintLines(text + "\r\n(no one to ask without a window: continuing)");
  return true;
}

void StreamDialogs::OpenDocument(const std::string& path) { PrintLines("Help: " + path); }

int RunHeadless(Console& console, bool start) {
  RelayServer& relay = console.Relay();
  console.SetChangeHandler([&console, shown = std::string()]() mutable {
    if (console.StatusText() == shown) return;
    shown = console.StatusText();
    PrintLines(shown);
  });
  relay.SetSlotHandler([&relay](int slot) { PrintLines(SlotLine(relay, slot)); });
  relay.SetLogHandler([](const std::string& text) { PrintLines(GeneralDateTime() + " " + text); });

  // Signals are caught before anything starts, so that one arriving early still stops
  // the server cleanly.
  SignalRoute route;
  if (route.ReadEnd() < 0) {
    PrintLines("OvEngConsole: cannot watch for signals");
    return 1;
  }
  console.Load(start);
  if (!start) {
    PrintLines(console.StatusReport());
    return 0;
  }
  if (!relay.IsRunning()) return 1;
  PrintLines("Serving " + std::to_string(relay.SlotCount()) + " connections on TCP port " +
             std::to_string(relay.ListeningPort()) +
             "; SIGUSR1 reports every slot, SIGTERM or Ctrl-C stops.");
  bool stopping = false;
  QSocketNotifier notifier(route.ReadEnd(), QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, &notifier, [&] {
    char caught[64];
    const ssize_t n = ::read(route.ReadEnd(), caught, sizeof caught);
    for (ssize_t i = 0; i < n; ++i) {
      if (caught[i] == SIGUSR1) {
        if (!stopping) console.ShowStatus();
      } else if (!stopping) {
        stopping = true;
        console.Stop();
        QCoreApplication::exit(relay.IsRunning() ? 1 : 0);
      }
    }
  });
  return QCoreApplication::exec();
}

}  // namespace orvik::console
