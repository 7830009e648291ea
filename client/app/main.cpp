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
#include <string>
#include <vector>

#include "about.h"
#include "client_program.h"
#include "engine_home.h"
#include "program_command_line.h"
#include "signal_route.h"

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
  const std::string clientVersion = orvik::client::VersionText();
  orvik::program::CommandLine commandLine(
      "OvEngLink", "The screen client: draws an application's screens from the engine's markup.",
      QString::fromStdString("OrvikLink " + clientVersion));
  QCommandLineParser& parser = commandLine.Parser();
  const QCommandLineOption home(
      "home",
      "The engine home, which holds OrvikLink.ini (else $ORVIK_HOME, else the program's folder).",
      "DIR");
  parser.addOption(home);
  parser.addPositionalArgument("SETTING", "A client setting, as in OrvikLink.ini.",
                               "[KEY=VALUE...]");
  if (const auto status = commandLine.Read(argc, argv)) return *status;
  std::vector<std::string> settings;
  for (const QString& argument : parser.positionalArguments()) {
    const QByteArray bytes = argument.toLatin1();
    settings.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  }
  if (!DisplayAvailable()) {
    std::fputs("OvEngLink: no display to show the client on (set DISPLAY)\n", stderr);
    return 1;
  }

  QApplication app(argc, argv);
  QCoreApplication::setApplicationName("OvEngLink");
  // A signal that stops the program ends its session first, as the close box does. It is
  // caught from here on and handled once the program has started, so that one arriving
  // during the start-up still ends the session it started.
  orvik::program::SignalRoute route({SIGTERM, SIGINT, SIGHUP});
  if (parser.isSet(home)) orvik::SetEngineHome(parser.value(home).toLocal8Bit().toStdString());
  int code = 0;
  {
    orvik::client::ClientProgram program({orvik::EngineHome(), settings});
    QObject::connect(&program, &orvik::client::ClientProgram::ended, &app, [&code](int status) {
      code = status;
      QCoreApplication::exit(status);
    });
    if (!program.Start()) return 1;
    route.Deliver([&program](int) { program.Stop(); });
    QApplication::exec();
    if (!program.PortFinished()) EndLeavingThreads(code);
  }
  return code;
}
