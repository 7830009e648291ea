#include "headless.h"

#include <signal.h>

#include <QCoreApplication>
#include <cstdio>

#include "signal_route.h"
#include "status_text.h"

namespace orvik::console {
namespace {

std::string SlotLine(const RelayServer& relay, int slot) {
  char number[16];
  std::snprintf(number, sizeof number, "%03d", slot);
  return GeneralDateTime() + " " + number + ": " + relay.SlotText(slot);
}

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

bool StreamDialogs::OpenDocument(const std::string& path) {
  PrintLines("Help: " + path);
  return true;
}

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
  program::SignalRoute route({SIGTERM, SIGINT, SIGUSR1});
  if (!route.Watching()) {
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
  route.Deliver([&](int signal) {
    if (stopping) return;
    if (signal == SIGUSR1) {
      console.ShowStatus();
      return;
    }
    stopping = true;
    console.Stop();
    QCoreApplication::exit(relay.IsRunning() ? 1 : 0);
  });
  return QCoreApplication::exec();
}

}  // namespace orvik::console
