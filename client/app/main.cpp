// OvEngLink, the client program. It hosts no engine port and draws no screen yet: those come
// with the later parts of the client. Until then it reads its command line as the finished
// client will, says that it cannot run, and fails, so that nothing mistakes it for a working
// client.

#include <cstdio>

#include "about.h"
#include "program_command_line.h"

int main(int argc, char** argv) {
  const std::string clientVersion = orvik::client::VersionText();
  orvik::program::CommandLine commandLine(
      "OvEngLink", "The screen client: draws an application's screens from the engine's markup.",
      QString::fromStdString("OrvikLink " + clientVersion));
  QCommandLineParser& parser = commandLine.Parser();
  parser.addOption(QCommandLineOption(
      "home",
      "The engine home, which holds OrvikLink.ini (else $ORVIK_HOME, else the program's folder).",
      "DIR"));
  parser.addPositionalArgument("SETTING", "A client setting, as in OrvikLink.ini.",
                               "[KEY=VALUE...]");
  if (const auto status = commandLine.Read(argc, argv)) return *status;

  std::fprintf(stderr, "OvEngLink %s: the client cannot run yet.\n", clientVersion.c_str());
  return 1;
}
