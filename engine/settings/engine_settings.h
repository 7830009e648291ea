// The keys of OrvikEngine.ini that a port is made with (its Home reads them and hands them
// on). The console writes the same file; a changed setting reaches only ports made after the
// change.

#ifndef ORVIK_ENGINE_SETTINGS_ENGINE_SETTINGS_H_
#define ORVIK_ENGINE_SETTINGS_ENGINE_SETTINGS_H_

#include <string>

namespace orvik {

inline constexpr const char* kEngineSettingsFile = "OrvikEngine.ini";

struct EngineSettings {
  std::string dataStore = "JET";  // trimmed and upper-cased
  std::string mySqlServer = "127.0.0.1";
  std::string msSqlServer = "127.0.0.1";
  std::string mySqlPort = "3306";
  std::string myOdbcOption = "16386";  // "24578" when the server is reached by pipes
  // Seconds after which a server session that no longer renews its row of the sessions
  // table counts as gone, with its locks (key SessionLease of section MySQL; 2 to 3600).
  int sessionLease = 60;
};

// Reads the keys, in the engine's order, from OrvikEngine.ini in `home`.
EngineSettings ReadEngineSettings(const std::string& home);

}  // namespace orvik

#endif  // ORVIK_ENGINE_SETTINGS_ENGINE_SETTINGS_H_
