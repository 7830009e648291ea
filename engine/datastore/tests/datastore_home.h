// An engine home set up for tests on one datastore: the system account with a user, and a
// further account of the test's own. On "MYSQL" the accounts live on the private test
// server, which all tests share, so each home names its further account uniquely.

#ifndef ORVIK_ENGINE_DATASTORE_TESTS_DATASTORE_HOME_H_
#define ORVIK_ENGINE_DATASTORE_TESTS_DATASTORE_HOME_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ini_file.h"
#include "port.h"
#include "port_access.h"
#include "setup.h"

#ifdef ORVIK_TEST_MARIADB
#include "mariadb/tests/mariadb_test_server.h"
#endif

// The datastore of a test program: the embedded store unless the program is built for a
// server.
#ifndef ORVIK_TEST_DATASTORE
#define ORVIK_TEST_DATASTORE "JET"
#endif

namespace orvik::test_support {

inline constexpr const char* kTestPassword = "secret";

class DatastoreHome {
 public:
  explicit DatastoreHome(std::string dataStore) : dataStore_(std::move(dataStore)) {
    static std::atomic<int> counter{0};
    const int n = ++counter;
    home_ = std::filesystem::temp_directory_path() /
            ("orvik-home-" + std::to_string(::getpid()) + "-" + std::to_string(n));
    std::filesystem::remove_all(home_);
    std::filesystem::create_directories(home_);
    account_ = "sales_" + std::to_string(::getpid()) + "_" + std::to_string(n);
    // On a shared server every home has a user of its own, so that no test sees another's
    // changes to its row.
    user_ = dataStore_ == "MYSQL" ? "u" + std::to_string(::getpid()) + "_" + std::to_string(n)
                                  : "tester";

    SetupOptions o;
    o.home = home_.string();
    o.dataStore = dataStore_;
    o.user = user_;
    o.password = kTestPassword;
    o.accounts = {account_};
    if (dataStore_ == "MYSQL") ConfigureServer(o);
    std::string error;
    const bool ok = RunSetup(
        o, [](const std::string&) {}, &error);
    EXPECT_TRUE(ok) << error;
  }
  ~DatastoreHome() { std::filesystem::remove_all(home_); }

  std::string home() const { return home_.string(); }
  const std::string& dataStore() const { return dataStore_; }
  // The further account, "sales_...".
  const std::string& account() const { return account_; }
  // The home's user, with the password kTestPassword.
  const std::string& user() const { return user_; }

  // Runs the set-up again on this home with `o` (its home and, on a server, the
  // administrator filled in), as an administrator would to add or change things; `report`
  // is told what it does.
  bool Setup(SetupOptions o, std::string* error,
             const std::function<void(const std::string&)>& report = {}, bool* refused = nullptr) {
    o.home = home_.string();
    if (dataStore_ == "MYSQL") ConfigureServer(o);
    return RunSetup(
        o, report ? report : [](const std::string&) {}, error, refused);
  }

 private:
  // Points the home's settings at the private server, before the set-up reads them.
  void ConfigureServer(SetupOptions& o);

  std::string dataStore_;
  std::filesystem::path home_;
  std::string account_;
  std::string user_;
};

// A port of `home` logged in as its user and moved to its further account.
inline std::shared_ptr<Port> LoggedIn(const DatastoreHome& home) {
  using namespace port_access;
  auto p = Port::Create(home.home());
  SetLogin(*p, home.user(), kTestPassword);
  EXPECT_TRUE(ConnectAccount(*p, "dm")) << p->ErrorDetail();
  EXPECT_TRUE(ValidateLogin(*p)) << p->ErrorDetail();
  EXPECT_TRUE(ConnectAccount(*p, home.account())) << p->ErrorDetail();
  return p;
}

// The holders of `home`'s lock rows (the server's dm is shared by every test), as `p` finds
// them. On a server alone a lock a read for update took is not committed until the write
// that ends it: the rows are read as they stand, committed or not, on a connection of their
// own that leaves `p`'s transactions alone.
inline std::vector<std::string> LockHolders(const DatastoreHome& home, Port& p) {
  using namespace port_access;
  const bool server = home.dataStore() == "MYSQL";
  std::shared_ptr<Driver> d;
  if (server) {
    d = Parts(p).account.SideConnector(10)();
    d->Execute("SET SESSION TRANSACTION ISOLATION LEVEL READ UNCOMMITTED");
  } else {
    d = Parts(p).account.SystemConnection();
  }
  auto cursor = d->Query("SELECT UserInst FROM " + std::string(server ? "dm.locks" : "locks") +
                         " WHERE A0 LIKE '" + home.account() + "%'");
  std::vector<std::string> out;
  while (cursor->Next()) out.push_back(cursor->Row()[0].value_or(""));
  return out;
}

#ifdef ORVIK_TEST_MARIADB
inline void DatastoreHome::ConfigureServer(SetupOptions& o) {
  const mariadb_test::ServerInfo server = mariadb_test::LoadServerInfo();
  IniFile ini((home_ / "OrvikEngine.ini").string());
  ini.Write("Global", "DataStore", "MYSQL");
  ini.Write("MySQL", "Server", server.host);
  ini.Write("MySQL", "Port", server.port);
  o.adminUser = server.user;
  o.adminPassword = server.password;
}
#else
inline void DatastoreHome::ConfigureServer(SetupOptions&) {
  ADD_FAILURE() << "this test program has no database server";
}
#endif

}  // namespace orvik::test_support

#endif  // ORVIK_ENGINE_DATASTORE_TESTS_DATASTORE_HOME_H_
