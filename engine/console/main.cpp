// OvEngConsole: serves engine ports to remote terminals over TCP.
//
//   OvEngConsole [START] [--home DIR] [--headless] [--listen ADDRESS]
//
// START starts the server at once. Without a display (or with --headless) the console runs
// without a window and reports on standard output. --listen limits the server to one
// address (every interface by default).

#include <QApplication>
#include <QCoreApplication>
#include <QHostAddress>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "console_window.h"
#include "engine_home.h"
#include "headless.h"
#include "single_instance.h"

namespace {

using orvik::console::Console;

struct Options {
  std::string home;
  bool headless = false;
  std::string listen;
  std::string commandLine;  // every other argument, for the START test
};

int Usage(const std::string& problem) {
  std::fprintf(stderr,
               "OvEngConsole: %s\n"
               "usage: OvEngConsole [START] [--home DIR] [--headless] [--listen ADDRESS]\n",
               problem.c_str());
  return 2;
}

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

// Parses the arguments left after the application took its own; false with a message.
bool Parse(const QStringList& args, Options* o, std::string* problem) {
  for (qsizetype i = 1; i < args.size(); ++i) {
    const std::string arg = args[i].toLocal8Bit().toStdString();
    const auto value = [&](std::string* into) {
      if (i + 1 >= args.size()) {
        *problem = "missing value after " + arg;
        return false;
      }
      *into = args[++i].toLocal8Bit().toStdString();
      return true;
    };
    if (arg == "--home") {
      if (!value(&o->home)) return false;
    } else if (arg == "--listen") {
      if (!value(&o->listen)) return false;
    } else if (arg == "--headless") {
      o->headless = true;
    } else if (arg.rfind("--", 0) == 0) {
      *problem = "unknown option " + arg;
      return false;
    } else {
      if (!o->commandLine.empty()) o->commandLine.push_back(' ');
      o->commandLine += arg;
    }
  }
  return true;
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
  bool headless = !DisplayAvailable();
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      Usage("serves engine ports to remote terminals over TCP");
      return 0;
    }
    if (std::strcmp(argv[i], "--headless") == 0) headless = true;
  }
  std::unique_ptr<QCoreApplication> app;
  if (headless) {
    app = std::make_unique<QCoreApplication>(argc, argv);
  } else {
    app = std::make_unique<QApplication>(argc, argv);
  }
  QCoreApplication::setApplicationName("OvEngConsole");

  Options options;
  std::string problem;
  if (!Parse(QCoreApplication::arguments(), &options, &problem)) return Usage(problem);
  QHostAddress listen(QHostAddress::Any);
  if (!options.listen.empty() && !listen.setAddress(QString::fromStdString(options.listen)))
    return Usage("not an IP address: " + options.listen);
  if (!options.home.empty()) orvik::SetEngineHome(options.home);
  const std::string home = orvik::EngineHome();
  const bool start = Console::IsStartArgument(options.commandLine);

  orvik::console::InstanceLock lock;
  std::string error;
  switch (lock.Acquire(home, &error)) {
    case orvik::console::InstanceLock::Result::kAcquired:
      break;
    case orvik::console::InstanceLock::Result::kHeldByAnother: {
      const std::string text(orvik::console::kSecondInstanceText);
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
    Console console(home, dialogs);
    console.Relay().SetListenAddress(listen);
    code = orvik::console::RunHeadless(console, start);
    if (!console.Relay().WaitForPortThreads(3000)) EndLeavingThreads(code);
  } else {
    orvik::console::ConsoleWindow window(home);
    window.GetConsole().Relay().SetListenAddress(listen);
    window.Load(start);
    window.show();
    code = QCoreApplication::exec();
    if (!window.GetConsole().Relay().WaitForPortThreads(3000)) EndLeavingThreads(code);
  }
  return code;
}
