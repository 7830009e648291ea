// The private MariaDB server tests run against, and scratch databases on it.
//
// CTest starts the server (scripts/mariadb-test-server, the "mariadb" fixture) and gives
// the tests its folder in ORVIK_MARIADB_TEST_DIR; register a test program with
// orvik_requires_mariadb() to get both. Tests never skip when the server is missing: every
// failure here throws, which fails the test that asked.
//
//   orvik::mariadb_test::ScratchDatabase db;          // a fresh, empty database
//   MariaDbDriver driver;
//   driver.Connect(db.Params());                     // over TCP; db.SocketParams() too
//   db.Admin("CREATE USER ...");                     // as the server's root, anywhere

#ifndef ORVIK_ENGINE_DATASTORE_MARIADB_TESTS_MARIADB_TEST_SERVER_H_
#define ORVIK_ENGINE_DATASTORE_MARIADB_TESTS_MARIADB_TEST_SERVER_H_

#include <mysql.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

#include "driver.h"
#include "test_server_address.h"

namespace orvik::mariadb_test {

// How to reach the test server, as scripts/mariadb-test-server wrote it.
struct ServerInfo : ServerAddress {
  // Settings for a connection to `account` over TCP, or through the server's socket.
  ConnectParams Params(const std::string& account) const {
    ConnectParams params;
    params.account = account;
    params.server = host;
    params.port = port;
    params.user = user;
    params.password = password;
    return params;
  }
  ConnectParams SocketParams(const std::string& account) const {
    ConnectParams params = Params(account);
    params.socket = socket;
    return params;
  }
};

inline ServerInfo LoadServerInfo() { return {LoadServerAddress()}; }

// A connection as the server's root, through its socket, for setting up what tests need.
class AdminSession {
 public:
  explicit AdminSession(const ServerInfo& info) {
    mysql_ = mysql_init(nullptr);
    if (mysql_ == nullptr) throw std::runtime_error("mysql_init failed");
    mysql_optionsv(mysql_, MYSQL_SET_CHARSET_NAME, "latin1");
    if (mysql_real_connect(mysql_, "localhost", info.user.c_str(), info.password.c_str(), nullptr,
                           0, info.socket.c_str(), 0) == nullptr) {
      std::string error = mysql_error(mysql_);
      mysql_close(mysql_);
      throw std::runtime_error("cannot reach the test server as " + info.user + ": " + error);
    }
  }
  ~AdminSession() { mysql_close(mysql_); }
  AdminSession(const AdminSession&) = delete;
  AdminSession& operator=(const AdminSession&) = delete;

  // Runs one statement; any rows it returns are dropped.
  void Run(std::string_view sql) {
    if (mysql_real_query(mysql_, sql.data(), sql.size()) != 0) {
      throw std::runtime_error("test server refused \"" + std::string(sql) +
                               "\": " + mysql_error(mysql_));
    }
    if (mysql_field_count(mysql_) > 0) mysql_free_result(mysql_store_result(mysql_));
  }

  // `text` as a quoted SQL string literal.
  std::string Quote(std::string_view text) {
    std::string out(text.size() * 2 + 1, '\0');
    unsigned long n = mysql_real_escape_string(mysql_, out.data(), text.data(), text.size());
    out.resize(n);
    return "'" + out + "'";
  }

  // The first column of the first row of a query, "" when there is none or it is NULL.
  std::string Value(std::string_view sql) {
    if (mysql_real_query(mysql_, sql.data(), sql.size()) != 0) {
      throw std::runtime_error("test server refused \"" + std::string(sql) +
                               "\": " + mysql_error(mysql_));
    }
    MYSQL_RES* result = mysql_store_result(mysql_);
    if (result == nullptr) return "";
    std::string value;
    MYSQL_ROW row = mysql_fetch_row(result);
    if (row != nullptr && mysql_num_fields(result) > 0 && row[0] != nullptr) {
      value.assign(row[0], mysql_fetch_lengths(result)[0]);
    }
    mysql_free_result(result);
    return value;
  }

 private:
  MYSQL* mysql_ = nullptr;
};

// A name no other test, in this process or another running at the same time, has:
// `prefix`, the process, a count and a random part, in lower case (the server folds names).
inline std::string UniqueName(std::string_view prefix) {
  static std::atomic<unsigned> counter{0};
  static const unsigned salt = std::random_device{}() & 0xFFFFFF;
  return std::string(prefix) + std::to_string(::getpid()) + "_" + std::to_string(++counter) + "_" +
         std::to_string(salt);
}

// An empty database of its own for one test, dropped when the test is done.
class ScratchDatabase {
 public:
  explicit ScratchDatabase(std::string_view prefix = "scratch_")
      : info_(LoadServerInfo()),
        admin_(std::make_unique<AdminSession>(info_)),
        name_(UniqueName(prefix)) {
    admin_->Run("CREATE DATABASE `" + name_ + "`");
  }
  ~ScratchDatabase() {
    try {
      admin_->Run("DROP DATABASE IF EXISTS `" + name_ + "`");
    } catch (...) {
      // A database left behind goes with the server's folder.
    }
  }
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;

  const std::string& name() const { return name_; }
  const ServerInfo& server() const { return info_; }
  ConnectParams Params() const { return info_.Params(name_); }
  ConnectParams SocketParams() const { return info_.SocketParams(name_); }

  // As the server's root, outside this database unless the statement names it.
  AdminSession& admin() { return *admin_; }
  void Admin(std::string_view sql) { admin_->Run(sql); }

 private:
  ServerInfo info_;
  std::unique_ptr<AdminSession> admin_;
  std::string name_;
};

}  // namespace orvik::mariadb_test

#endif  // ORVIK_ENGINE_DATASTORE_MARIADB_TESTS_MARIADB_TEST_SERVER_H_
