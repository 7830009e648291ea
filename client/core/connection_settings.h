// The connection values the monitor connects with (server, port, time-out), kept per user
// in the platform's settings store: application "OrvikLink", section "Connection", keys
// "Server", "Port" and "TimeOut", with the defaults "", "23" and "4"; and the connection
// dialog that edits them.
//
// GUI thread only. The store is QSettings in INI form in the user's configuration folder
// (QSettings::setPath moves it, as tests do); a store that cannot be read gives the
// defaults, a failed write leaves the old values and says so. ConnectionDialog is
// implemented by the widgets and by a scripted fake in tests; ShowModal blocks in the
// dialog's own event loop. Texts are Latin-1 bytes.

#ifndef ORVIK_CLIENT_CORE_CONNECTION_SETTINGS_H_
#define ORVIK_CLIENT_CORE_CONNECTION_SETTINGS_H_

#include <cstdint>
#include <string>

namespace orvik::client {

inline constexpr const char* kConnectionOk = "OK";
inline constexpr const char* kConnectionCancel = "CANCEL";

struct ConnectionValues {
  std::string server;
  std::string port = "23";
  std::string timeOut = "4";

  bool operator==(const ConnectionValues&) const = default;
};

// The stored values, each key's default where it is absent.
ConnectionValues LoadConnectionValues();
// False when the store could not be written.
bool SaveConnectionValues(const ConnectionValues& values);

// What the monitor takes from the values: the host, the port rounded to a whole number, the
// time-out in seconds.
struct ConnectionTarget {
  std::string host;
  std::int32_t port = 0;
  float timeOut = 0;
};
ConnectionTarget ConnectionTargetOf(const ConnectionValues& values);

struct ConnectionAnswer {
  std::string result;  // kConnectionOk, kConnectionCancel, or "" (closed by its close box)
  ConnectionValues values;
};

class ConnectionDialog {
 public:
  virtual ~ConnectionDialog() = default;
  virtual ConnectionAnswer ShowModal() = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_CONNECTION_SETTINGS_H_
