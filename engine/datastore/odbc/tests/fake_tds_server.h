// A stand-in for SQL Server on 127.0.0.1 that speaks just enough TDS 7.4 for FreeTDS.
//
// No SQL Server runs here, so the driver is tested through the real driver manager and the
// real FreeTDS against this server: it answers the pre-login, records the login (user,
// password, database as FreeTDS sent them), and answers each later request with the tokens a
// test scripted for it, or with "done, 0 rows" when nothing was scripted. It serves one
// client connection at a time.

#ifndef ORVIK_ENGINE_DATASTORE_ODBC_TESTS_FAKE_TDS_SERVER_H_
#define ORVIK_ENGINE_DATASTORE_ODBC_TESTS_FAKE_TDS_SERVER_H_

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace orvik::tds {

// Token streams, as bytes.
std::string Done(std::int64_t count, bool more = false, bool error = false);
// The end of one statement inside a procedure call (prepared statements run as one), and the
// end of the call itself: how the server answers what FreeTDS sends for a statement.
std::string DoneInProc(std::int64_t count, bool error = false);
std::string ProcEnd();
std::string Error(int number, std::string_view message, int severity = 16);
std::string DatabaseChanged(std::string_view now, std::string_view before);

struct Column {
  enum class Type { kNVarChar, kVarChar, kInt, kSmallInt, kNVarCharMax };
  std::string name;
  Type type = Type::kNVarChar;
  int length = 100;  // characters, for kNVarChar and kVarChar
};
std::string Columns(const std::vector<Column>& columns);
// Values as ISO-8859-1 text (numbers in decimal); nullopt for NULL.
std::string Row(const std::vector<Column>& columns,
                const std::vector<std::optional<std::string>>& values);

struct Login {
  std::string user;
  std::string password;
  std::string database;
  std::string app;
};

class FakeServer {
 public:
  FakeServer();
  ~FakeServer();
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  int port() const { return port_; }

  // Answers the next login with `tokens` instead of accepting it.
  void RefuseNextLogin(std::string tokens);
  // Answers the next request whose text holds `needle` (sent as UCS-2) with `tokens`.
  void Reply(std::string needle, std::string tokens);

  std::vector<Login> logins() const;
  // Each request's payload, as received.
  std::vector<std::string> requests() const;
  int connections() const { return connections_; }

 private:
  struct Script {
    std::string needle;
    std::string tokens;
  };

  void Serve();
  void Session(int client);
  std::string AnswerFor(const std::string& payload);

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::optional<std::string> login_refusal_;
  std::vector<Script> scripts_;
  std::vector<Login> logins_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// `text` (ISO-8859-1) as UCS-2, the way requests carry SQL.
std::string Ucs2(std::string_view text);

}  // namespace orvik::tds

#endif  // ORVIK_ENGINE_DATASTORE_ODBC_TESTS_FAKE_TDS_SERVER_H_
