// The settings the client starts with: its defaults, then OrvikLink.ini in PATHHOME, then
// the command line, all read as one settings text each.
//
// Called once by start-up on the GUI thread. A missing, empty or unreadable settings file is
// passed over silently (the defaults stay); nothing here fails.

#ifndef ORVIK_CLIENT_CORE_STARTUP_SETTINGS_H_
#define ORVIK_CLIENT_CORE_STARTUP_SETTINGS_H_

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "client_settings.h"
#include "settings_parse.h"

namespace orvik::client {

// The settings text of a settings file's contents: "INI" and then, each after a blank, the
// lines that are neither empty nor comments ("#" or "*" first), trimmed. A line with a blank
// and no double quote has its value quoted (its first "=" becomes "=" and a quote, and a
// quote ends it), so a value of several words arrives whole.
std::string SettingsFileText(std::string_view contents);

// The settings text of a settings file, or nullopt when it cannot be read or is empty.
std::optional<std::string> ReadSettingsFile(const std::string& path);

// The settings text of the command-line arguments (the program name left out): "INI" and
// each argument after a blank, quoted as a settings-file line is, since the shell has
// already taken away the quotes the user typed. The tag word comes first so that the first
// argument is read as a setting like the rest.
std::string CommandLineText(std::span<const std::string> args);

// Start-up: the settings file, then the command line (a ',' in it makes ',' the tag
// separator), then DisplayMode "TERMINAL" whatever either said.
void LoadStartupSettings(ClientSettings& settings, std::span<const std::string> args,
                         const ShellOutlets& outlets = {});

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_STARTUP_SETTINGS_H_
