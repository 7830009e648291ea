// The command line of the system's programs (OvEngConsole, OvEngSetup, OrvikMassage,
// OvEngLink), read with QCommandLineParser so that each answers as a Linux program does:
// --help and --version on standard output with status 0, a usage error on standard error
// with status 2, and the same words for the same options.
//
// Called from main() on the main thread, before any QCoreApplication exists: the console
// chooses its kind of application from what it reads here, and --help must answer on a
// machine whose display cannot be reached. Arguments are read in the local 8-bit encoding.
// Nothing here throws; a failure comes back as the status the program ends with.

#ifndef ORVIK_COMMON_PROGRAM_COMMAND_LINE_H_
#define ORVIK_COMMON_PROGRAM_COMMAND_LINE_H_

#include <QCommandLineParser>
#include <QString>
#include <optional>

namespace orvik::program {

// The status of a command line that cannot be read.
inline constexpr int kUsageStatus = 2;

// The project's version ("0.9.0"), fixed by the build.
QString ProjectVersion();

class CommandLine {
 public:
  // `name` is the program's own name, used in its usage, version and error lines (never the
  // path it was started by); `description` opens the help. `versionNote`, when given, follows
  // the version in the version line: the program's own version text where it has one.
  CommandLine(const QString& name, const QString& description, const QString& versionNote = {});

  // Where the program adds its options and positional arguments before Read.
  QCommandLineParser& Parser() { return parser_; }
  // Text that follows the list of options in the help.
  void SetHelpNotes(const QString& notes) { notes_ = notes; }

  // Reads argv. nullopt: the options are in Parser(). Otherwise the program ends at once
  // with the status returned: 0 after the help or the version, kUsageStatus after a usage
  // error; either has been written.
  std::optional<int> Read(int argc, char** argv);

  // Writes a usage error the program found itself (a value that is no value) and gives the
  // status to end with.
  int UsageError(const QString& problem) const;

  QString HelpText() const;

 private:
  QString name_;
  QString versionNote_;
  QString notes_;
  QCommandLineParser parser_;
  QCommandLineOption help_;
  QCommandLineOption version_;
};

}  // namespace orvik::program

#endif  // ORVIK_COMMON_PROGRAM_COMMAND_LINE_H_
