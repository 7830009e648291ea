#include "engine_settings.h"

#include "ini_file.h"
#include "text.h"

namespace orvik {
EngineSettings ReadEngineSettings(const std::string& home) {
  const IniFile ini(home + "/" + kEngineSettingsFile);
  EngineSettings s;
  s.dataStore = UpperCase(TrimBlanks(ini.Read("Global", "DataStore", "JET")));
  s.mySqlServer = ini.Read("MySQL", "Server", "127.0.0.1");
  s.msSqlServer = ini.Read("MsSQL", "Server", "127.0.0.1");
  s.mySqlPort = ini.Read("MySQL", "Port", "3306");
  s.myOdbcOption = ini.Read("MySQL", "Pipes", "0") == "1" ? "24578" : "16386";
  return s;
}

}  // namespace orvik
