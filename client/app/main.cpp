// OvEngLink, the screen client:
//
//   OvEngLink [--home DIR] [KEY=value ...]
//
// It runs one engine session on the engine home (--home, else $ORVIK_HOME, else the
// program's folder) and shows its screens; the KEY=value arguments are client settings,
// read after OrvikLink.ini in the engine home.

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "client_program.h"
#include "command_line.h"
#include "engine_home.h"

namespace {

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

// A program left running by a session that ignored every request to stop keeps its thread;
// the process then ends without destroying what that thread may still use.
[[noreturn]] void EndLeavingThreads(int code) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(code);
}

}  // namespace

int main(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  using orvik::client::CommandLine;
  const CommandLine line = orvik::client::ParseCommandLine(arguments);
  switch (line.action) {
    case CommandLine::Action::kHelp:
    case CommandLine::Action::kVersion:
      std::fputs(line.text.c_str(), stdout);
      return 0;
    case CommandLine::Action::kUsageError:
      std::fputs(line.text.c_str(), stderr);
      return 2;
    case CommandLine::Action::kRun:
      break;
  }
  if (!DisplayAvailable()) {
    std::fputs("OvEngLink: no display to show the client on (set DISPLAY)\n", stderr);
    return 1;
  }

  QApplication app(argc, argv);
  QCoreApplication::setApplicationName("OvEngLink");
  if (!line.home.empty()) orvik::SetEngineHome(line.home);
  int code = 0;
  {
    orvik::client::ClientProgram program({orvik::EngineHome(), line.settings});
    QObject::connect(&program, &orvik::client::ClientProgram::ended, &app, [&code](int status) {
      code = status;
      QCoreApplication::exit(status);
    });
    if (!program.Start()) return 1;
    QApplication::exec();
    if (!program.PortFinished()) EndLeavingThreads(code);
  }
  return code;
}
