// SettingsParse: a settings text (the built text of OrvikLink.ini, the command line, or the
// body of an INI tag) into the client's settings.
//
// GUI thread. Never fails: a pair whose value does not decode or convert leaves its setting
// as it was, an unknown key is ignored, and the rest of the text is still read. A bad key
// definition is shown as a developer warning box (while DEVMSG is on) and logged (while
// MONITOR is on) through the outlets, either of which may be absent.

#ifndef ORVIK_CLIENT_CORE_SETTINGS_PARSE_H_
#define ORVIK_CLIENT_CORE_SETTINGS_PARSE_H_

#include <string_view>

#include "client_settings.h"

namespace orvik::client {

class Dialogs;
class MonitorLog;

// Where the core's parsers show warnings. Not owned.
struct ShellOutlets {
  Dialogs* dialogs = nullptr;
  MonitorLog* monitor = nullptr;
};

// Reads `text` (tag word first, then KEY=value pairs; see pair_scanner.h) with the tag
// separator in force. Boolean keys take "True"/"False" or a number; TIMEOUT a number;
// DIALOGLINE the leading number, rounded; GUIMODE, PAGEMODEL and GRIDPAGEMODEL are kept
// upper-cased; PATHHOME gets a trailing '/'; key definitions are parsed with the EOS in
// force when they are read, so EOS must come before the definitions that rely on it.
void SettingsParse(std::string_view text, ClientSettings& settings,
                   const ShellOutlets& outlets = {});

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_SETTINGS_PARSE_H_
