// The client's command line:
//
//   OvEngLink [--home DIR] [KEY=value ...]
//
// --home names the engine home, as for the other programs (OrvikLink.ini is read from it);
// the KEY=value arguments are client settings, read after OrvikLink.ini. Pure: parsing
// decides, the caller prints and exits (help and version on standard output with status 0,
// a usage error on standard error with status 2).

#ifndef ORVIK_CLIENT_APP_COMMAND_LINE_H_
#define ORVIK_CLIENT_APP_COMMAND_LINE_H_

#include <QStringList>
#include <string>
#include <vector>

namespace orvik::client {

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kRun;
  std::string home;                   // "" when not given
  std::vector<std::string> settings;  // Latin-1
  std::string text;                   // help, version or error text to print
};

// `arguments` as the program received them, program name first.
CommandLine ParseCommandLine(const QStringList& arguments);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_APP_COMMAND_LINE_H_
