#include "startup_settings.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "text.h"

namespace orvik::client {
namespace {

// A line with a blank and no double quote: its value is put between quotes.
std::string QuotedLine(std::string_view line) {
  std::string out(line);
  if (out.find(' ') == std::string::npos || out.find('"') != std::string::npos) return out;
  const std::size_t equals = out.find('=');
  if (equals != std::string::npos) out.insert(equals + 1, 1, '"');
  out += '"';
  return out;
}

}  // namespace

std::string SettingsFileText(std::string_view contents) {
  std::string text = "INI";
  std::size_t from = 0;
  while (from < contents.size()) {
    std::size_t end = contents.find_first_of("\r\n", from);
    if (end == std::string_view::npos) end = contents.size();
    const std::string_view line = TrimBlanks(contents.substr(from, end - from));
    // A CR LF pair ends one line, not two.
    from = end + (contents.substr(end, 2) == "\r\n" ? 2 : 1);
    if (line.empty() || line[0] == '#' || line[0] == '*') continue;
    text += ' ';
    text += QuotedLine(line);
  }
  return text;
}

std::optional<std::string> ReadSettingsFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  const std::string contents((std::istreambuf_iterator<char>(file)),
                             std::istreambuf_iterator<char>());
  if (file.bad() || contents.empty()) return std::nullopt;
  return SettingsFileText(contents);
}

std::string CommandLineText(std::span<const std::string> args) {
  std::string text = "INI";
  for (const std::string& arg : args) {
    text += ' ';
    text += QuotedLine(TrimBlanks(arg));
  }
  return text;
}

void LoadStartupSettings(ClientSettings& settings, std::span<const std::string> args,
                         const ShellOutlets& outlets) {
  if (const std::optional<std::string> fileText =
          ReadSettingsFile(settings.pathHome + kSettingsFileName)) {
    SettingsParse(*fileText, settings, outlets);
  }
  if (!args.empty()) {
    const std::string commandLine = CommandLineText(args);
    if (commandLine.find(',') != std::string::npos) settings.tagSeparator = ',';
    SettingsParse(commandLine, settings, outlets);
  }
  settings.displayMode = "TERMINAL";
}

}  // namespace orvik::client
