// The console's view of OrvikEngine.ini: the relay's slot count and listening port, and the
// datastore keys the engine reads when it makes a port.
//
// The editor keeps two copies of every key: what the settings controls show (Controls) and
// the value last loaded or saved (Held). A save validates the controls, then writes only the
// keys whose text differs from the held one, in a fixed order.

#ifndef ORVIK_CONSOLE_CONSOLE_SETTINGS_H_
#define ORVIK_CONSOLE_CONSOLE_SETTINGS_H_

#include <functional>
#include <string>
#include <string_view>

#include "console_dialogs.h"

namespace orvik::console {

inline constexpr int kMaxTcpPorts = 50;
inline constexpr int kConfirmTcpPortsAbove = 20;

// The full path of OrvikEngine.ini in `home`.
std::string SettingsPath(const std::string& home);

// One key of the settings file, or `fallback` when the file or the key is missing.
std::string ReadSetting(const std::string& iniPath, std::string_view section, std::string_view key,
                        std::string_view fallback);
// Writes one key, creating the file, section or key as needed. False, with the reason in
// `error`, when the file could not be written (it is then left as it was).
bool WriteSetting(const std::string& iniPath, std::string_view section, std::string_view key,
                  std::string_view value, std::string* error);

// The whole-number value of a box's text: its leading number, rounded half to even.
double WholeNumber(std::string_view text);

// The option buttons of the datastore group, one for each datastore kind at its place in the
// table of kinds (datastore_kinds.h); none selected is kNoDataStore.
enum DataStoreOption : int { kNoDataStore = -1, kMySql = 0, kJet = 1, kMsSql = 2 };

// What the settings controls hold.
struct SettingsControls {
  std::string ports;      // "Number of Ports"
  std::string portStart;  // "TCP Port Number:"
  int dataStore = kNoDataStore;
  std::string mySqlServer;
  std::string mySqlPort;
  int pipes = 0;  // the "Named Pipes" check box: 0 clear, 1 ticked, 2 greyed
  std::string msSqlServer;
  // The MySQL port box follows the check box on each of its clicks, and is enabled with
  // every other settings control regardless of the check box.
  bool mySqlPortEnabled = true;
};

// The values last loaded or saved, as text.
struct HeldSettings {
  std::string tcpPorts;
  std::string tcpPortStart;
  std::string tcpPortsVisible;  // read and kept; nothing uses it
  std::string dataStore;
  std::string mySqlServer;
  std::string mySqlPort;
  std::string mySqlPipes;
  std::string msSqlServer;
};

class SettingsEditor {
 public:
  // Writes one key; the default writes to the file. Replaceable so that callers can see
  // exactly which keys a save writes, and in which order.
  using Writer = std::function<bool(std::string_view section, std::string_view key,
                                    std::string_view value, std::string* error)>;

  explicit SettingsEditor(std::string iniPath);

  const std::string& IniPath() const { return iniPath_; }
  void SetWriter(Writer writer) { writer_ = std::move(writer); }

  // Reads every key into the held values and the controls.
  void Load();
  // Validates the controls and writes the keys that changed. `starting` is true when the
  // save is the first step of a start: no "Settings Saved" box is shown then, and a save
  // that ends early (a rejected value, a declined warning, a failed write) clears it.
  // Returns true when every step ran.
  bool Save(bool& starting, ConsoleDialogs& dialogs);
  // The named-pipes check box was clicked (or set): the MySQL port box follows it.
  void PipesClicked();

  SettingsControls& Controls() { return controls_; }
  const SettingsControls& Controls() const { return controls_; }
  const HeldSettings& Held() const { return held_; }

 private:
  // Holds `value` in `held` and writes it; on failure the held value is put back, so that
  // the next save tries again, and the user is told.
  bool Store(std::string& held, std::string_view section, std::string_view key,
             const std::string& value, ConsoleDialogs& dialogs);

  std::string iniPath_;
  Writer writer_;
  SettingsControls controls_;
  HeldSettings held_;
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_CONSOLE_SETTINGS_H_
