#include "engine_settings.h"

#include <algorithm>
#include <charconv>

#include "ini_file.h"
#include "text.h"

namespace orvik {
namespace {

// A whole number of seconds within the bounds, or the default for anything else.
int Seconds(std::string_view text, int fallback, int least, int most) {
  text = TrimBlanks(text);
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return fallback;
  return std::clamp(value, least, most);
}

}  // namespace

EngineSettings ReadEngineSettings(const std::string& home) {
  const IniFile ini(home + "/" + kEngineSettingsFile);
  EngineSettings s;
  s.dataStore = UpperCase(TrimBlanks(ini.Read("Global", "DataStore", "JET")));
  s.mySqlServer = ini.Read("MySQL", "Server", "127.0.0.1");
  s.msSqlServer = ini.Read("MsSQL", "Server", "127.0.0.1");
  s.mySqlPort = ini.Read("MySQL", "Port", "3306");
  s.myOdbcOption = ini.Read("MySQL", "Pipes", "0") == "1" ? "24578" : "16386";
  s.sessionLease = Seconds(ini.Read("MySQL", "SessionLease", "60"), 60, 2, 3600);
  return s;
}

}  // namespace orvik
