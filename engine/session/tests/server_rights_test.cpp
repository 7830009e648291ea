// An ordinary user against the server itself, on the private MariaDB server: at the prompt
// of a session, and with his own login straight to the server as anyone who knows his
// password can. He takes over no login, reads no password hash, and the logins the set-up
// makes (and those an earlier set-up made with every right) hold only their role's rights.

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "datastore_home.h"
#include "mariadb/tests/mariadb_test_server.h"
#include "mariadb_driver.h"
#include "session_test_support.h"
#include "vb_error.h"

namespace orvik {
namespace {

using test_support::Terminal;

const std::string kCrLf = "\r\n";
const std::string kRefused =
    "[984] Only the administrator may manage the server's logins and rights or reach its own "
    "schemas";
// Quotes and backslashes reach CREATE USER as text.
const std::string kClerkPassword = "it's\\\"clerk\"";

class ServerRightsTest : public ::testing::Test {
 protected:
  ServerRightsTest()
      : home_("MYSQL"), server_(mariadb_test::LoadServerInfo()), clerk_(home_.user() + "c") {
    SetupOptions o;
    o.user = clerk_;
    o.password = kClerkPassword;
    o.privilege = 0;
    std::string error;
    EXPECT_TRUE(home_.Setup(o, &error)) << error;
  }

  std::unique_ptr<Terminal> LoggedIn(const std::string& user, const std::string& password) {
    auto t = std::make_unique<Terminal>(home_.home());
    t->LogIn(user, password);
    EXPECT_EQ(t->port().State(), "TCL") << user;
    return t;
  }
  static std::string Type(Terminal& t, const std::string& line) { return t.Send(line + "\r"); }

  // A connection of `user` straight to the server, on `account`.
  std::unique_ptr<MariaDbDriver> Direct(const std::string& user, const std::string& password,
                                        const std::string& account) {
    auto d = std::make_unique<MariaDbDriver>();
    ConnectParams p = server_.Params(account);
    p.user = user;
    p.password = password;
    d->Connect(p);
    return d;
  }
  // SHOW GRANTS of a login at both its hosts, or of a role, as the server's root sees them.
  std::vector<std::string> Grants(const std::string& who) {
    auto root = Direct(server_.user, server_.password, "dm");
    std::vector<std::string> out;
    for (auto rows = root->Query("SHOW GRANTS FOR " + who); rows->Next();)
      out.push_back(rows->Row()[0].value_or(""));
    return out;
  }
  std::vector<std::string> LoginGrants(const std::string& login,
                                       const std::vector<std::string>& hosts = {"localhost", "%"}) {
    std::vector<std::string> out;
    for (const std::string& host : hosts) {
      for (std::string g : Grants("'" + login + "'@'" + host + "'")) {
        // The server's hash of the password is no right.
        if (const std::size_t at = g.find(" IDENTIFIED BY PASSWORD"); at != std::string::npos)
          g.resize(at);
        out.push_back(g);
      }
    }
    return out;
  }
  static std::vector<std::string> RoleGrants(const std::string& login, const std::string& role) {
    std::vector<std::string> out;
    for (const char* host : {"localhost", "%"}) {
      const std::string who = "`" + login + "`@`" + host + "`";
      out.push_back("GRANT `" + role + "` TO " + who);
      out.push_back("GRANT USAGE ON *.* TO " + who);
      out.push_back("SET DEFAULT ROLE `" + role + "` FOR " + who);
    }
    return out;
  }
  // A grant with its column list in order, as the server may list columns in any.
  static std::string SortedColumns(const std::string& grant) {
    const std::size_t open = grant.find(" ("), close = grant.find(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return grant;
    std::vector<std::string> columns;
    std::string column;
    for (char c : grant.substr(open + 2, close - open - 2)) {
      if (c == '`' || c == ' ') continue;
      if (c == ',') {
        columns.push_back(std::move(column));
        column.clear();
      } else {
        column.push_back(c);
      }
    }
    columns.push_back(column);
    std::sort(columns.begin(), columns.end());
    std::string joined;
    for (const std::string& c : columns) joined += (joined.empty() ? "" : ", ") + c;
    return grant.substr(0, open + 2) + joined + grant.substr(close);
  }
  // Every grant of a role is one of `allowed`, or the account rights on a database that is
  // none of the server's own; `account`'s among them.
  void ExpectRoleHolds(const std::string& role, const std::set<std::string>& allowed,
                       const std::string& account) {
    const std::string accountRights =
        "GRANT SELECT, INSERT, UPDATE, DELETE, CREATE, DROP, ALTER ON `";
    bool found = false;
    for (const std::string& g : Grants(role)) {
      if (allowed.count(SortedColumns(g)) > 0) continue;
      ASSERT_EQ(g.rfind(accountRights, 0), 0u) << role << ": " << g;
      const std::string database =
          g.substr(accountRights.size(), g.find('`', accountRights.size()) - accountRights.size());
      for (const char* own : {"mysql", "information_schema", "performance_schema", "sys"})
        EXPECT_NE(database, own) << g;
      found = found || database == account;
    }
    EXPECT_TRUE(found) << role << " has no rights on " << account;
  }
  void ExpectNarrow() {
    const std::string user = "orvik_engine_ordinary_user", admin = "orvik_engine_administrator";
    EXPECT_EQ(LoginGrants(clerk_), RoleGrants(clerk_, user));
    EXPECT_EQ(LoginGrants(home_.user()), RoleGrants(home_.user(), admin));
    ExpectRoleHolds(
        user,
        {"GRANT USAGE ON *.* TO `" + user + "`", "GRANT SELECT ON `dm`.`users` TO `" + user + "`",
         "GRANT SELECT ON `dm`.`md` TO `" + user + "`",
         "GRANT SELECT, INSERT, DELETE ON `dm`.`locks` TO `" + user + "`",
         "GRANT SELECT (Beat, Lease, LoginUser, Node, Number), INSERT, UPDATE, DELETE ON "
         "`dm`.`sessions` TO `" +
             user + "`",
         "GRANT SELECT ON `dm`.`own_sessions` TO `" + user + "`",
         "GRANT SELECT, INSERT ON `dm`.`printhold` TO `" + user + "`"},
        home_.account());
    ExpectRoleHolds(admin, {"GRANT PROCESS ON *.* TO `" + admin + "`"}, home_.account());
  }

  test_support::DatastoreHome home_;
  mariadb_test::ServerInfo server_;
  std::string clerk_;
};

TEST_F(ServerRightsTest, AnOrdinaryUserTakesOverNoLoginAndReadsNoHash) {
  const std::string admin = home_.user();
  auto clerk = LoggedIn(clerk_, kClerkPassword);
  for (const std::string& sql : std::vector<std::string>{
           "ALTER USER '" + admin + "'@'localhost' IDENTIFIED BY 'owned'",
           "ALTER USER '" + admin + "'@'%' IDENTIFIED BY 'owned'",
           "DROP USER '" + admin + "'@'%'",
           "ALTER /**/USER `" + admin + "`@`%` IDENTIFIED BY 'owned'",
           "DROP /*!50000 USER */ '" + admin + "'@'localhost'",
           "alter /* the server skips this */ user \"" + admin + "\"@'%' identified by 'owned'",
       }) {
    EXPECT_EQ(Type(*clerk, sql), "ERROR: " + kRefused + kCrLf + ":") << sql;
  }
  for (const std::string sql : {
           "SELECT User, authentication_string FROM mysql.user",
           "select * from `MYSQL`.`global_priv`",
           "SELECT 1 FROM md /*! UNION SELECT authentication_string FROM mysql.user */",
           "SELECT * FROM information_schema.USER_PRIVILEGES",
       }) {
    const std::string out = Type(*clerk, sql);
    EXPECT_EQ(out, kCrLf + kRefused + kCrLf + ":" + kCrLf + ":") << sql;
    EXPECT_EQ(out.find("*"), std::string::npos) << out;
  }
  Type(*clerk, "LOGTO " + home_.account());
  EXPECT_NE(Type(*clerk, "CREATE TABLE t1 AS SELECT * FROM mysql.global_priv").find(kRefused),
            std::string::npos);
  EXPECT_EQ(clerk->port().State(), "TCL");

  // His login straight to the server, past every guard of the engine: the server refuses.
  auto direct = Direct(clerk_, kClerkPassword, home_.account());
  for (const std::string& sql : std::vector<std::string>{
           "ALTER USER '" + admin + "'@'%' IDENTIFIED BY 'owned'",
           "DROP USER '" + admin + "'@'localhost'",
           "SELECT User, authentication_string FROM mysql.user",
           "CREATE TABLE t1 AS SELECT * FROM mysql.global_priv",
           "GRANT ALL PRIVILEGES ON *.* TO '" + clerk_ + "'@'%'",
           "SET GLOBAL general_log = 1",
           "CREATE DATABASE " + home_.account() + "_mine",
           "UPDATE dm.users SET A8 = '9' WHERE A0 = '" + clerk_ + "'",
           "DELETE FROM dm.users",
       }) {
    EXPECT_THROW(direct->Execute(sql), VbError) << sql;
  }

  // The administrator's password is his still, and his session does what it did.
  auto boss = LoggedIn(admin, test_support::kTestPassword);
  EXPECT_NE(Type(*boss, "SELECT A0, A8 FROM users WHERE A0 = '" + clerk_ + "'").find("0"),
            std::string::npos);
  EXPECT_NO_THROW(Direct(admin, test_support::kTestPassword, "dm"));
}

TEST_F(ServerRightsTest, LoginsHoldOnlyTheirRolesRightsAndBothKindsStillWork) {
  ExpectNarrow();

  // An account made later is open to both logins.
  const std::string later = home_.account() + "_l";
  SetupOptions o;
  o.accounts = {later};
  std::string error;
  ASSERT_TRUE(home_.Setup(o, &error)) << error;
  auto clerk = LoggedIn(clerk_, kClerkPassword);
  EXPECT_EQ(Type(*clerk, "LOGTO " + later),
            kCrLf + "OK - you are now working in account \"" + later + "\"" + kCrLf + kCrLf + ":");
  EXPECT_EQ(Type(*clerk, "CREATE-FILE LEDGER 2"), kCrLf + "OK" + kCrLf + ":" + kCrLf + ":");
  Variant file, item;
  Port& port = clerk->port();
  ASSERT_TRUE(port.OOpen(Variant("LEDGER"), file)) << port.ErrorDetail();
  ASSERT_TRUE(
      port.WWrite("a\xFE"
                  "b",
                  file.ToString(), "L1"))
      << port.ErrorDetail();
  ASSERT_TRUE(port.RReadU(item, file, Variant("L1"))) << port.ErrorDetail();
  EXPECT_EQ(item.ToString(),
            "a\xFE"
            "b");
  EXPECT_TRUE(port.WWrite("c", file.ToString(), "L1")) << port.ErrorDetail();  // frees the lock
  EXPECT_EQ(Type(*clerk, "DROP TABLE LEDGER"),
            kCrLf + "OK: 0 records affected" + kCrLf + ":" + kCrLf + ":");

  // The administrator lists every session, the ordinary user's too.
  auto boss = LoggedIn(home_.user(), test_support::kTestPassword);
  const std::string listed = Type(*boss, "LISTU");
  EXPECT_NE(listed.find(clerk->port().UserInst()), std::string::npos) << listed;
  // An ordinary user's program lists his own sessions; what the others do is not his to see,
  // neither there nor straight on the server.
  std::string sentence = "LISTU";
  const std::string own = clerk->port().ExecutePS(sentence);
  EXPECT_NE(own.find(clerk->port().UserInst()), std::string::npos) << own;
  EXPECT_EQ(own.find(boss->port().UserInst()), std::string::npos) << own;
  auto direct = Direct(clerk_, kClerkPassword, "dm");
  EXPECT_THROW(direct->Query("SELECT Action FROM sessions"), VbError);
  EXPECT_NO_THROW(direct->Query("SELECT Number, Beat FROM sessions"));
}

// An ordinary user's login beats its session's row itself, on the connection it works on,
// before its prompt: the lease renews first a quarter of the lease later (fifteen seconds
// here), so that a crowd of logins commits once each, not twice.
TEST_F(ServerRightsTest, ALoginBeatsItsRowOnItsOwnConnectionBeforeItsPrompt) {
  auto clerk = LoggedIn(clerk_, kClerkPassword);
  const std::string inst = clerk->port().UserInst();
  const std::string number = inst.substr(inst.find('*') + 1);
  auto root = Direct(server_.user, server_.password, "dm");
  const auto beat = [&] {
    auto row = root->Query("SELECT Beat FROM sessions WHERE Number = " + number);
    return row->Next() ? row->Row()[0] : DbValue("none");
  };
  EXPECT_EQ(beat(), DbValue("1")) << inst;
  // Not the lease's renewal at once: the beat stands until it is due.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(beat(), DbValue("1"));
  // The session goes on as ever.
  EXPECT_EQ(Type(*clerk, "WHO"), kCrLf + inst + " dm" + kCrLf + ":");
}

TEST_F(ServerRightsTest, ASetUpNarrowsTheLoginsAnEarlierOneGaveEveryRight) {
  // As the set-up of before left them.
  mariadb_test::AdminSession root(server_);
  for (const std::string& login : {clerk_, home_.user()}) {
    for (const char* host : {"localhost", "%"}) {
      const std::string who = "'" + login + "'@'" + host + "'";
      root.Run("REVOKE ALL PRIVILEGES, GRANT OPTION FROM " + who);
      root.Run("SET DEFAULT ROLE NONE FOR " + who);
      root.Run("GRANT ALL PRIVILEGES ON *.* TO " + who);
    }
  }
  // And one made by hand, at one host only.
  const std::string byHand = home_.user() + "h";
  root.Run("CREATE USER '" + byHand + "'@'%' IDENTIFIED BY 'pw'");
  root.Run("GRANT ALL PRIVILEGES ON *.* TO '" + byHand + "'@'%'");
  root.Run("INSERT INTO dm.users (A0, A8) VALUES ('" + byHand + "', '0')");
  std::string error;
  ASSERT_TRUE(home_.Setup(SetupOptions{}, &error)) << error;
  ExpectNarrow();
  const std::string role = "orvik_engine_ordinary_user";
  const std::string who = "`" + byHand + "`@`%`";
  EXPECT_EQ(
      LoginGrants(byHand, {"%"}),
      (std::vector<std::string>{"GRANT `" + role + "` TO " + who, "GRANT USAGE ON *.* TO " + who,
                                "SET DEFAULT ROLE `" + role + "` FOR " + who}));
  auto clerk = LoggedIn(clerk_, kClerkPassword);
  EXPECT_EQ(Type(*clerk, "LOGTO " + home_.account()).find("OK"), 2u);
}

TEST_F(ServerRightsTest, TheAdministratorGivesTheRolesFromEachOfHisHosts) {
  // The roles were made over TCP; now the set-up comes through the server's socket.
  IniFile((std::filesystem::path(home_.home()) / "OrvikEngine.ini").string())
      .Write("MySQL", "Server", server_.socket);
  SetupOptions o;
  o.home = home_.home();
  o.adminUser = server_.user;
  o.adminPassword = server_.password;
  o.user = home_.user() + "s";
  o.password = "pw";
  o.privilege = 0;
  std::string error;
  ASSERT_TRUE(RunSetup(
      o, [](const std::string&) {}, &error))
      << error;
  EXPECT_EQ(LoginGrants(o.user), RoleGrants(o.user, "orvik_engine_ordinary_user"));
}

}  // namespace
}  // namespace orvik
