#include "command_line.h"

#include <QCommandLineParser>

#include "about.h"

namespace orvik::client {

CommandLine ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "OrvikLink: the screen client of the Orvik engine. It runs an engine session of its own\n"
      "on the engine home and shows its screens; KEY=value arguments are client settings, as\n"
      "in OrvikLink.ini in the engine home, which they follow.");
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption home(
      "home", "The engine home (default: $ORVIK_HOME, else the program's folder).", "DIR");
  parser.addOption(home);
  parser.addPositionalArgument("settings", "Client settings, such as MONITOR=False.",
                               "[KEY=value ...]");

  CommandLine line;
  const QString usage = parser.helpText().replace("<executable_name>", "OvEngLink");
  if (!parser.parse(arguments)) {
    line.action = CommandLine::Action::kUsageError;
    line.text = "OvEngLink: " + parser.errorText().toStdString() + "\n" + usage.toStdString();
    return line;
  }
  if (parser.isSet(help) || parser.isSet("help-all")) {
    line.action = CommandLine::Action::kHelp;
    line.text = usage.toStdString();
    return line;
  }
  if (parser.isSet(version)) {
    line.action = CommandLine::Action::kVersion;
    line.text = "OvEngLink " + VersionText() + "\n";
    return line;
  }
  line.home = parser.value(home).toLocal8Bit().toStdString();
  for (const QString& setting : parser.positionalArguments()) {
    const QByteArray bytes = setting.toLatin1();
    line.settings.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  }
  return line;
}

}  // namespace orvik::client
