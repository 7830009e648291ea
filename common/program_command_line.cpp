#include "program_command_line.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace orvik::program {
namespace {

void Write(std::FILE* stream, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
  std::fflush(stream);
}

}  // namespace

QString ProjectVersion() { return QStringLiteral(ORVIK_VERSION); }

CommandLine::CommandLine(const QString& name, const QString& description,
                         const QString& versionNote)
    : name_(name),
      versionNote_(versionNote),
      help_(QStringList{"h", "help"}, "Shows this help and ends."),
      version_(QStringList{"v", "version"}, "Shows the version and ends.") {
  QCoreApplication::setApplicationName(name);
  QCoreApplication::setApplicationVersion(ProjectVersion());
  parser_.setApplicationDescription(description);
  // Qt's own help option also offers Qt's options, which these programs do not take.
  parser_.addOption(help_);
  parser_.addOption(version_);
}

std::optional<int> CommandLine::Read(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  if (!parser_.parse(arguments)) return UsageError(parser_.errorText());
  if (parser_.isSet(help_)) {
    Write(stdout, HelpText());
    return 0;
  }
  if (parser_.isSet(version_)) {
    QString line = name_ + ' ' + ProjectVersion();
    if (!versionNote_.isEmpty()) line += " (" + versionNote_ + ')';
    Write(stdout, line + '\n');
    return 0;
  }
  return std::nullopt;
}

int CommandLine::UsageError(const QString& problem) const {
  Write(stderr, name_ + ": " + problem + "\nTry '" + name_ + " --help' for more information.\n");
  return kUsageStatus;
}

QString CommandLine::HelpText() const {
  // Without an application object the parser names the program "<executable_name>".
  QString text = parser_.helpText();
  const qsizetype lineEnd = text.indexOf('\n');
  const qsizetype options = text.indexOf(" [options]");
  if (text.startsWith("Usage: ") && options > 0 && options < lineEnd)
    text.replace(0, options, "Usage: " + name_);
  if (!notes_.isEmpty()) text += '\n' + notes_ + (notes_.endsWith('\n') ? "" : "\n");
  return text;
}

}  // namespace orvik::program
