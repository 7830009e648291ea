#include "console_settings.h"

#include <cmath>
#include <optional>

#include "datastore_kinds.h"
#include "engine_settings.h"
#include "ini_file.h"
#include "numbers.h"
#include "text.h"

namespace orvik::console {
namespace {

constexpr std::string_view kCrLf = "\r\n";

constexpr std::string_view kBadPortCount =
    "Invalid Value: Number of Ports needs to be an integer between 1 and 50 with values above "
    "20 not recommended except on high-spec machines running Linux.";
constexpr std::string_view kManyPortsWarning =
    "WARNING: More than 20 Ports may produce errors under heavy load.  You can push it further "
    "if you are on a high-spec Linux machine ";
constexpr std::string_view kManyPortsQuestion = "Do you still want to continue ... ?";
constexpr std::string_view kBadListenPort =
    "Invalid Value: TCP/IP port needs to be an integer between 1 and 65535";
constexpr std::string_view kSaved = "Settings Saved";

std::string WholeText(double n) { return std::to_string(static_cast<long long>(n)); }

// The setting of an option button; none selected keeps the embedded store, the default.
std::string DataStoreName(int option) {
  const std::span<const DatastoreKind> kinds = DatastoreKinds();
  if (option < 0 || static_cast<std::size_t>(option) >= kinds.size())
    return std::string(kEmbeddedStore);
  return std::string(kinds[option].name);
}

// The check box's value for a "Pipes" text: a whole number 0 to 2, anything else clear.
int PipesValue(std::string_view text) {
  const std::optional<double> n = ParseNumber(text);
  if (!n) return 0;
  const double v = RoundHalfEven(*n);
  return v >= 0 && v <= 2 ? static_cast<int>(v) : 0;
}

}  // namespace

std::string SettingsPath(const std::string& home) {
  std::string path = home;
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path + kEngineSettingsFile;
}

std::string ReadSetting(const std::string& iniPath, std::string_view section, std::string_view key,
                        std::string_view fallback) {
  return IniFile(iniPath).Read(section, key, fallback);
}

bool WriteSetting(const std::string& iniPath, std::string_view section, std::string_view key,
                  std::string_view value, std::string* error) {
  // A line break would end the entry and start another: the file would say something else.
  if (value.find_first_of("\r\n") != std::string_view::npos) {
    if (error) *error = "a value cannot hold a line break";
    return false;
  }
  return IniFile(iniPath).Write(section, key, value, error);
}

double WholeNumber(std::string_view text) { return RoundHalfEven(Val(text)); }

SettingsEditor::SettingsEditor(std::string iniPath) : iniPath_(std::move(iniPath)) {
  writer_ = [this](std::string_view section, std::string_view key, std::string_view value,
                   std::string* error) {
    return WriteSetting(iniPath_, section, key, value, error);
  };
}

void SettingsEditor::Load() {
  const auto read = [this](std::string_view section, std::string_view key,
                           std::string_view fallback) {
    return ReadSetting(iniPath_, section, key, fallback);
  };
  held_.tcpPorts = read("Global", "TCPPorts", "5");
  controls_.ports = held_.tcpPorts;
  held_.tcpPortStart = read("Global", "TCPPortStart", "23");
  controls_.portStart = held_.tcpPortStart;
  held_.tcpPortsVisible = read("Global", "TCPPortsVisible", "1");

  held_.dataStore = read("Global", "DataStore", "JET");
  const std::string store = UpperCase(TrimBlanks(held_.dataStore));
  const DatastoreKind* kind = FindDatastoreKind(store);
  controls_.dataStore =
      kind ? static_cast<int>(kind - DatastoreKinds().data()) : static_cast<int>(kNoDataStore);

  held_.mySqlServer = read("MySQL", "Server", "127.0.0.1");
  controls_.mySqlServer = held_.mySqlServer;
  held_.mySqlPort = read("MySQL", "Port", "3306");
  controls_.mySqlPort = held_.mySqlPort;
  held_.msSqlServer = read("MSSQL", "Server", "(local)");
  controls_.msSqlServer = held_.msSqlServer;
  held_.mySqlPipes = read("MySQL", "Pipes", "0");
  controls_.pipes = PipesValue(held_.mySqlPipes);
  PipesClicked();
}

void SettingsEditor::PipesClicked() { controls_.mySqlPortEnabled = controls_.pipes == 0; }

bool SettingsEditor::Store(std::string& held, std::string_view section, std::string_view key,
                           const std::string& value, ConsoleDialogs& dialogs) {
  std::string before = std::move(held);
  held = value;
  std::string error;
  if (writer_(section, key, value, &error)) return true;
  held = std::move(before);
  dialogs.Message("ERROR: Settings could not be saved to " + iniPath_ + ": " +
                  (error.empty() ? std::string("write failed") : error));
  return false;
}

bool SettingsEditor::Save(bool& starting, ConsoleDialogs& dialogs) {
  const auto stop = [&starting] {
    starting = false;
    return false;
  };

  const double n = WholeNumber(controls_.ports);
  if (!(n >= 1 && n <= kMaxTcpPorts)) {
    dialogs.Message(std::string(kBadPortCount));
    return stop();
  }
  if (n > kConfirmTcpPortsAbove &&
      !dialogs.Confirm(std::string(kManyPortsWarning) + std::string(kCrLf) + std::string(kCrLf) +
                       std::string(kManyPortsQuestion))) {
    return stop();
  }
  if (const std::string text = WholeText(n); text != held_.tcpPorts) {
    if (!Store(held_.tcpPorts, "Global", "TCPPorts", text, dialogs)) return stop();
  }

  const double p = WholeNumber(controls_.portStart);
  if (!(p >= 1 && p <= 65535)) {
    dialogs.Message(std::string(kBadListenPort));
    return stop();
  }
  if (controls_.portStart != held_.tcpPortStart) {
    if (!Store(held_.tcpPortStart, "Global", "TCPPortStart", WholeText(p), dialogs)) return stop();
  }

  if (const std::string store = DataStoreName(controls_.dataStore); store != held_.dataStore) {
    if (!Store(held_.dataStore, "Global", "DataStore", store, dialogs)) return stop();
  }
  if (controls_.mySqlServer != held_.mySqlServer) {
    if (!Store(held_.mySqlServer, "MySQL", "Server", controls_.mySqlServer, dialogs)) return stop();
  }
  if (controls_.mySqlPort != held_.mySqlPort) {
    if (!Store(held_.mySqlPort, "MySQL", "Port", controls_.mySqlPort, dialogs)) return stop();
  }
  if (const std::string pipes = std::to_string(controls_.pipes); pipes != held_.mySqlPipes) {
    if (!Store(held_.mySqlPipes, "MySQL", "Pipes", pipes, dialogs)) return stop();
  }
  if (controls_.msSqlServer != held_.msSqlServer) {
    if (!Store(held_.msSqlServer, "MSSQL", "Server", controls_.msSqlServer, dialogs)) return stop();
  }

  if (!starting) dialogs.Message(std::string(kSaved));
  return true;
}

}  // namespace orvik::console
