// OvEngConsole: serves engine ports to remote terminals over TCP.
//
//   OvEngConsole [START] [--home DIR] [--headless] [--listen ADDRESS]
//
// START starts the server at once. Without a display (or with --headless) the console runs
// without a window and reports on standard output. --listen limits the server to one
// address (every interface by default). A home without a system account is refused.

#include <signal.h>

#include <QApplication>
#include <QCoreApplication>
#include <QHostAddress>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "console_window.h"
#include "engine_home.h"
#include "headless.h"
#include "program_command_line.h"
#include "signal_route.h"
#include "single_instance.h"

namespace {

using orvik::console::Console;

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

// A refusal before the server starts: in a box when there is a window, on standard error
// either way.
int Refuse(const std::string& text, bool headless) {
  std::fprintf(stderr, "OvEngConsole: %s%s", text.c_str(), text.ends_with('\n') ? "" : "\n");
  if (!headless) orvik::console::WidgetDialogs(nullptr).Message(text);
  return 1;
}

// A program left running by a session that ignored every request to stop keeps its
// thread; the process then ends without destroying what that thread may still use.
[[noreturn]] void EndLeavingThreads(int code) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(code);
}

}  // namespace

int main(int argc, char** argv) {
  orvik::program::CommandLine commandLine(
      "OvEngConsole", "Serves engine ports to remote terminals over TCP.",
      QString::fromLatin1(orvik::console::kAboutText.data(),
                          static_cast<qsizetype>(orvik::console::kAboutText.size())));
  QCommandLineParser& parser = commandLine.Parser();
  const QCommandLineOption homeOption(
      "home", "The engine home (else $ORVIK_HOME, else the program's folder).", "DIR");
  const QCommandLineOption headlessOption("headless",
                                          "Runs without a window, as it does without a display.");
  const QCommandLineOption listenOption(
      "listen", "Listens on this address only (every interface by default).", "ADDRESS");
  parser.addOptions({homeOption, headlessOption, listenOption});
  parser.addPositionalArgument("START", "Starts the server at once.", "[START]");
  commandLine.SetHelpNotes(
      "Headless, status lines go to standard output, SIGUSR1 prints the state of every\n"
      "connection slot, and SIGTERM or Ctrl-C stop the server cleanly (with a window, they\n"
      "close it, which stops the server as cleanly). One console runs per\n"
      "engine home. The home must hold a system account: OvEngSetup makes one.");
  if (const auto status = commandLine.Read(argc, argv)) return *status;

  QHostAddress listen(QHostAddress::Any);
  const QString listenText = parser.value(listenOption);
  if (parser.isSet(listenOption) && !listen.setAddress(listenText))
    return commandLine.UsageError("Not an IP address: '" + listenText + "'.");
  const bool headless = parser.isSet(headlessOption) || !DisplayAvailable();
  const bool start =
      Console::IsStartArgument(parser.positionalArguments().join(' ').toLocal8Bit().toStdString());
  if (parser.isSet(homeOption))
    orvik::SetEngineHome(parser.value(homeOption).toLocal8Bit().toStdString());
  const std::shared_ptr<orvik::Home> engineHome = orvik::Home::Open();
  const std::string home = engineHome->Path();

  // The line has been read: Qt is given only the program's name, so that no value of an
  // option is taken for one of Qt's own.
  int appArgc = 1;
  std::unique_ptr<QCoreApplication> app;
  if (headless) {
    app = std::make_unique<QCoreApplication>(appArgc, argv);
  } else {
    app = std::make_unique<QApplication>(appArgc, argv);
  }

  if (const std::string missing = engineHome->MissingSystemAccount(); !missing.empty())
    return Refuse(missing, headless);

  orvik::console::InstanceLock lock;
  std::string error;
  switch (lock.Acquire(home, &error)) {
    case orvik::console::InstanceLock::Result::kAcquired:
      break;
    case orvik::console::InstanceLock::Result::kHeldByAnother: {
      const std::string text = orvik::console::SecondInstanceText(home);
      if (headless) {
        std::fprintf(stderr, "%s\n", text.c_str());
      } else {
        orvik::console::WidgetDialogs(nullptr).Message(text);
      }
      return 1;
    }
    case orvik::console::InstanceLock::Result::kFailed:
      std::fprintf(stderr, "OvEngConsole: %s\n", error.c_str());
      return 1;
  }

  int code = 0;
  if (headless) {
    orvik::console::StreamDialogs dialogs;
    Console console(engineHome, dialogs);
    console.Relay().SetListenAddress(listen);
    code = orvik::console::RunHeadless(console, start);
    if (!console.Relay().WaitForPortThreads(3000)) EndLeavingThreads(code);
  } else {
    // A signal that stops the program closes the window, which ends every session first.
    orvik::program::SignalRoute route({SIGTERM, SIGINT, SIGUSR1});
    orvik::console::ConsoleWindow window(engineHome);
    window.GetConsole().Relay().SetListenAddress(listen);
    window.Load(start);
    window.show();
    route.Deliver([&window](int signal) {
      if (signal != SIGUSR1) window.close();
    });
    code = QCoreApplication::exec();
    if (!window.GetConsole().Relay().WaitForPortThreads(3000)) EndLeavingThreads(code);
  }
  return code;
}
