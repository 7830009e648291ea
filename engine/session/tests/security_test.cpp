// What an ordinary user (privilege below the administrator's) can and cannot reach from the
// prompt, tried as an attacker would; passwords kept as hashes; stored markers shown, not
// obeyed. Typed at a terminal, on the embedded store and on the private MariaDB server.

#include <unistd.h>

#include "datastore_home.h"
#include "lock_holders.h"
#include "password_hash.h"
#include "port.h"
#include "port_access.h"
#include "session_test_support.h"

namespace orvik {
namespace {

using namespace port_access;

using test_support::Terminal;

const std::string kCrLf = "\r\n";
const std::string kRefused =
    "[984] Only the administrator may read the password column or held print, or change the "
    "users, locks, sessions and printhold tables";

class SecurityTest : public ::testing::Test {
 protected:
  SecurityTest() : home_(ORVIK_TEST_DATASTORE) {}

  bool Embedded() const { return home_.dataStore() == "JET"; }
  // A statement in the system account, as the engine's own code would run it.
  std::vector<std::string> Rows(const std::string& sql) {
    auto port = Port::Create(home_.home());
    SetLogin(*port, home_.user(), password_);
    EXPECT_TRUE(ConnectAccount(*port, "dm")) << port->ErrorDetail();
    if (!Parts(*port).account.Connection()) return {};
    std::vector<std::string> rows;
    auto cursor = Parts(*port).account.Connection()->Query(sql);
    while (cursor->Next()) {
      std::string row;
      for (const DbValue& v : cursor->Row()) row += (row.empty() ? "" : "|") + v.value_or("");
      rows.push_back(row);
    }
    return rows;
  }
  void Run(const std::string& sql, const std::string& account = "dm") {
    auto port = Port::Create(home_.home());
    SetLogin(*port, home_.user(), password_);
    ASSERT_TRUE(ConnectAccount(*port, account)) << port->ErrorDetail();
    Parts(*port).account.Connection()->Execute(sql);
  }
  std::string UserRow() {
    const auto rows = Rows("SELECT A0, A7, A8 FROM users WHERE A0 = '" + home_.user() + "'");
    return rows.size() == 1 ? rows[0] : "<none>";
  }
  std::string StoredPassword() {
    const std::string row = UserRow();
    const std::size_t first = row.find('|');
    return row.substr(first + 1, row.rfind('|') - first - 1);
  }
  // A session of the home's user, logged in while the user's privilege is `privilege`.
  std::unique_ptr<Terminal> LoggedIn(const std::string& privilege,
                                     const std::string& password = "secret") {
    Run("UPDATE users SET A8 = '" + privilege + "' WHERE A0 = '" + home_.user() + "'");
    auto t = std::make_unique<Terminal>(home_.home());
    t->LogIn(home_.user(), password);
    EXPECT_EQ(t->port().State(), "TCL");
    return t;
  }
  static std::string Type(Terminal& t, const std::string& line) { return t.Send(line + "\r"); }

  test_support::DatastoreHome home_;
  // The home user's password, with which the helpers reach the datastore.
  std::string password_ = test_support::kTestPassword;
};

TEST_F(SecurityTest, AnOrdinaryUserCannotReadPasswordsNorChangeTheSystemTables) {
  auto admin = LoggedIn("3");
  auto clerk = LoggedIn("0");
  const std::string row = UserRow();
  // A server checks passwords itself and its users table keeps none; the embedded store keeps
  // a hash, which must not be shown either.
  const std::string hash = StoredPassword();
  if (Embedded()) {
    ASSERT_EQ(hash.rfind("$2b$", 0), 0u) << row;
  } else {
    ASSERT_EQ(hash, "") << row;
  }
  // Names of this test's own: a server's system account is shared by every test.
  const std::string me = home_.user();
  const std::string lock = "security\xFF" + me;
  // Other tests' logins on a shared server remove the locks of holders that are gone: this
  // holder is alive while a connection of the test holds its mark.
  std::shared_ptr<Port> holder;
  if (!Embedded()) {
    holder = Port::Create(home_.home());
    SetLogin(*holder, me, password_);
    ASSERT_TRUE(ConnectAccount(*holder, "dm")) << holder->ErrorDetail();
    MarkSessionAlive(*Parts(*holder).account.Connection(), Parts(*holder).account.dialect(),
                     "other*9");
  }
  Run("INSERT INTO locks (A0, UserInst) VALUES ('" + lock + "', 'other*9')");

  // Reads of the password column, in every spelling: the error, and not a byte of it.
  for (const std::string sql : {
           "SELECT A0,A7,A8 FROM users",
           "select * from users",
           "SELECT `A7` FROM `users`",
           "SELECT A0 /* A8 */ , A7 -- no\n FROM users",
           "SELECT A0 FROM md WHERE A0 NOT IN (SELECT A7 FROM users)",
       }) {
    const std::string out = Type(*clerk, sql);
    EXPECT_EQ(out, kCrLf + kRefused + kCrLf + ":" + kCrLf + ":") << sql;
    if (!hash.empty()) {
      EXPECT_EQ(out.find(hash.substr(0, 12)), std::string::npos);
    }
  }
  // Another user's held print: not a line of it.
  const std::string sequence = std::to_string(::getpid());
  const std::string held = "payroll of " + me;
  Run("INSERT INTO printhold (Queue, Sequence, UserID, Account, PrintTime, Flag, PrintText) "
      "VALUES (-7, " +
      sequence + ", 'other', 'sales', 'now', 0, '" + held + "')");
  for (const std::string sql : {
           "SELECT PrintText FROM printhold WHERE Queue = -7",
           "select * from PRINTHOLD",
           "SELECT UserID FROM printhold WHERE PrintText LIKE 'payroll%'",
       }) {
    const std::string out = Type(*clerk, sql);
    EXPECT_EQ(out, kCrLf + kRefused + kCrLf + ":" + kCrLf + ":") << sql;
    EXPECT_EQ(out.find("payroll"), std::string::npos);
  }
  EXPECT_NE(Type(*admin, "SELECT PrintText FROM printhold WHERE Queue = -7").find(held),
            std::string::npos);
  Run("DELETE FROM printhold WHERE Queue = -7 AND Sequence = " + sequence);

  // Changes to the users, locks and printhold tables.
  for (const std::string& sql : std::vector<std::string>{
           "REPLACE INTO users (A0, A7, A8) VALUES ('" + me + "', 'mine', '9')",
           "INSERT INTO users (A0, A7, A8) VALUES ('" + me + "x', 'x', '9')",
           "DELETE FROM locks",
           "DROP TABLE printhold",
           "ALTER TABLE users ADD COLUMN A99 TEXT",
       }) {
    EXPECT_EQ(Type(*clerk, sql), "ERROR: " + kRefused + kCrLf + ":") << sql;
  }
  EXPECT_EQ(Type(*clerk, "CREATE TABLE stolen_" + me + " AS SELECT A0, A7 FROM users"),
            kCrLf + "ERROR" + kRefused + kCrLf + ":" + kCrLf + ":");
  // A table name shown by SHOW goes into statements: it must be a name and nothing more.
  EXPECT_EQ(Type(*clerk, "SHOW (SELECT A7 FROM users)").rfind("ERROR: [913] Invalid file name", 0),
            0u);
  EXPECT_EQ(clerk->port().State(), "TCL");

  // Nothing was read into a table, changed or dropped.
  EXPECT_EQ(UserRow(), row);
  EXPECT_TRUE(Rows("SELECT A0 FROM users WHERE A0 = '" + me + "x'").empty());
  EXPECT_EQ(Rows("SELECT UserInst FROM locks WHERE A0 = '" + lock + "'"),
            std::vector<std::string>{"other*9"});
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM printhold WHERE Queue = -1"), std::vector<std::string>{"0"});
  const std::string stolen = Type(*clerk, "SELECT * FROM stolen_" + me);
  EXPECT_EQ(stolen.rfind(kCrLf + "[", 0), 0u) << stolen;
  EXPECT_EQ(stolen.find(kRefused), std::string::npos) << stolen;

  // Everything else stays open: the lock list, and the user's own files.
  EXPECT_NE(Type(*clerk, "SELECT * FROM locks WHERE A0 = '" + lock + "'").find("other*9"),
            std::string::npos);
  EXPECT_EQ(Type(*clerk, "LOGTO " + home_.account()).find("OK"), 2u);
  EXPECT_EQ(Type(*clerk, "CREATE-FILE LEDGER 2"), kCrLf + "OK" + kCrLf + ":" + kCrLf + ":");
  EXPECT_EQ(Type(*clerk, "INSERT INTO LEDGER (A0, A1, A2) VALUES ('L1', 'a', 'b')"),
            kCrLf + "OK: 1 records affected" + kCrLf + ":" + kCrLf + ":");
  EXPECT_NE(Type(*clerk, "SELECT * FROM LEDGER").find("L1"), std::string::npos);
  EXPECT_EQ(Type(*clerk, "DROP TABLE LEDGER"),
            kCrLf + "OK: 0 records affected" + kCrLf + ":" + kCrLf + ":");

  // The administrator still does each of them.
  EXPECT_NE(Type(*admin, "SELECT A0,A7,A8 FROM users WHERE A0 = '" + me + "'").find(hash),
            std::string::npos);
  EXPECT_EQ(Type(*admin, "DELETE FROM locks WHERE A0 = '" + lock + "'"),
            kCrLf + "OK: 1 records affected" + kCrLf + ":" + kCrLf + ":");
  const std::string copied =
      Type(*admin, "CREATE TABLE stolen_" + me + " AS SELECT A0, A7 FROM users");
  EXPECT_EQ(copied.find("["), std::string::npos) << copied;
  EXPECT_EQ(Type(*admin, "DROP TABLE stolen_" + me).find("OK"), 2u);
  EXPECT_EQ(Type(*admin, "REPLACE INTO users (A0, A7, A8) VALUES ('" + me + "x', 'x', '0')"),
            kCrLf + "OK: 1 records affected" + kCrLf + ":" + kCrLf + ":");
  EXPECT_EQ(Type(*admin, "DELETE FROM users WHERE A0 = '" + me + "x'"),
            kCrLf + "OK: 1 records affected" + kCrLf + ":" + kCrLf + ":");
}

TEST_F(SecurityTest, TheSystemAccountIsGuardedFromOtherAccountsToo) {
  auto clerk = LoggedIn("1");
  Type(*clerk, "LOGTO " + home_.account());
  ASSERT_EQ(Parts(clerk->port()).account.Account(), home_.account());
  if (Embedded()) {
    // The system account is another file, out of reach of the account's statements; a view
    // an administrator made over the users table does not open it either.
    Run("CREATE VIEW who AS SELECT A0, A7 FROM users");
    Type(*clerk, "LOGTO dm");
    EXPECT_EQ(Type(*clerk, "SELECT * FROM who"), kCrLf + kRefused + kCrLf + ":" + kCrLf + ":");
    EXPECT_NE(Type(*clerk, "SELECT A0, A8 FROM users").find(home_.user()), std::string::npos);
    return;
  }
  for (const std::string sql : {"select * from DM.users", "SELECT A7 FROM `dm`.`users`",
                                "SELECT A0 FROM dm.md UNION SELECT A7 FROM dm.users"}) {
    EXPECT_EQ(Type(*clerk, sql), kCrLf + kRefused + kCrLf + ":" + kCrLf + ":") << sql;
  }
  EXPECT_EQ(Type(*clerk, "DELETE FROM dm . locks"), "ERROR: " + kRefused + kCrLf + ":");
  EXPECT_EQ(Type(*clerk, "DROP DATABASE dm"), "ERROR: " + kRefused + kCrLf + ":");
  // A table of the account's own that happens to share a guarded name is the account's.
  Type(*clerk, "CREATE-FILE users 7");
  EXPECT_EQ(Type(*clerk, "REPLACE INTO users (A0, A7) VALUES ('x', 'y')"),
            kCrLf + "OK: 1 records affected" + kCrLf + ":" + kCrLf + ":");
  Type(*clerk, "DROP TABLE users");
}

TEST_F(SecurityTest, NoTableOfTheSystemAccountTakesTheLocksName) {
  auto clerk = LoggedIn("0");
  Type(*clerk, "LOGTO " + home_.account());
  ASSERT_EQ(Parts(clerk->port()).account.Account(), home_.account());
  // A table of the system account's that hid the engine's locks would leave items
  // lockable twice, and on the embedded store no session could log in any more.
  for (const std::string line : {"CREATE-FILE dm.locks 3", "CREATE-FILE DM,LOCKS N"}) {
    EXPECT_EQ(Type(*clerk, line), kCrLf + "ERROR" + kRefused + kCrLf + ":" + kCrLf + ":") << line;
  }
  // Nor may a table of the system account take the name by a rename.
  const std::string scratch = "scratch_" + home_.user();
  Type(*clerk, "LOGTO dm");
  EXPECT_EQ(Type(*clerk, "CREATE TABLE " + scratch + " (A0 TEXT)"),
            kCrLf + "0" + kCrLf + ":" + kCrLf + ":");
  EXPECT_EQ(Type(*clerk, "ALTER TABLE " + scratch + " RENAME TO locks"),
            "ERROR: " + kRefused + kCrLf + ":");
  Run("DROP TABLE " + scratch);
  auto next = LoggedIn("0");
  EXPECT_EQ(Type(*next, "LOGTO " + home_.account()).find("OK"), 2u);
  // Files of the system account under other names are the account's as ever.
  Type(*clerk, "LOGTO " + home_.account());
  const std::string made = Type(*clerk, "CREATE-FILE dm.ledger_" + home_.user() + " 2");
  EXPECT_EQ(made, kCrLf + "OK" + kCrLf + ":" + kCrLf + ":");
  Run("DROP TABLE ledger_" + home_.user());
}

// The embedded store's own (a server keeps its locks in the system account).
#ifndef ORVIK_TEST_MARIADB
TEST_F(SecurityTest, TheLocksFileIsNoAccount) {
  auto clerk = LoggedIn("0");
  // (after the login, which frees locks whose holders are gone)
  const std::string lock =
      "security\xFF"
      "held";
  Run("INSERT INTO locks (A0, UserInst) VALUES ('" + lock + "', 'other*9')");
  // The embedded store keeps every session's item locks in a file beside the accounts':
  // reached as an account, it would be open to any statement typed there.
  for (const std::string name : {"locks", "LOCKS"}) {
    const std::string moved = Type(*clerk, "LOGTO " + name);
    EXPECT_EQ(
        moved.rfind(kCrLf + "LOGTO request failed:" + kCrLf + "[913] Invalid account name", 0), 0u)
        << moved;
    EXPECT_EQ(Parts(clerk->port()).account.Account(), "dm");
  }
  EXPECT_EQ(Type(*clerk, "CREATE ACCOUNT locks"),
            kCrLf + "ERROR[913] Invalid account name \"locks\"" + kCrLf + ":" + kCrLf + ":");
  EXPECT_EQ(Type(*clerk, "DELETE FROM locks"), "ERROR: " + kRefused + kCrLf + ":");
  EXPECT_EQ(Rows("SELECT UserInst FROM locks WHERE A0 = '" + lock + "'"),
            std::vector<std::string>{"other*9"});
  EXPECT_EQ(Type(*clerk, "LISTA").find("locks"), std::string::npos);
}
#endif

// A server's own (the embedded store's sessions are marked in its registry).
#ifdef ORVIK_TEST_MARIADB
TEST_F(SecurityTest, NobodyTakesTheMarkOfAnotherSession) {
  // A server's sessions hold a named lock while they live, and a lock row whose holder's
  // mark is free is taken back. Held by a clerk, the mark of a session that has gone would
  // keep its items locked; that of a session yet to come would stop its login.
  auto clerk = LoggedIn("0");
  const std::string gone = "gone" + home_.user() + "*1";
  const std::string lock = "security\xFF" + home_.user();
  Run("INSERT INTO locks (A0, UserInst) VALUES ('" + lock + "', '" + gone + "')");
  for (const std::string call : {"GET_LOCK", "get_lock"}) {
    EXPECT_EQ(Type(*clerk, "SELECT " + call + "(CONCAT('orvik ', MD5('" + gone + "')), 0)"),
              kCrLf + kRefused + kCrLf + ":" + kCrLf + ":")
        << call;
  }
  auto other = LoggedIn("0");  // a login takes back the locks of sessions that have gone
  EXPECT_TRUE(Rows("SELECT UserInst FROM locks WHERE A0 = '" + lock + "'").empty());
}
#endif

TEST_F(SecurityTest, AChangedPasswordLogsInAndTheOldOneNoLonger) {
  SetupOptions o;
  o.user = home_.user();
  o.password = "NewPass";
  std::string error;
  ASSERT_TRUE(home_.Setup(o, &error)) << error;
  password_ = "newpass";

  Terminal old(home_.home());
  const std::string refusal = old.LogIn(home_.user(), "secret");
  EXPECT_NE(old.port().State(), "TCL") << refusal;
  Terminal renewed(home_.home());
  renewed.LogIn(home_.user(), "NEWPASS");  // without regard to case, as always
  EXPECT_EQ(renewed.port().State(), "TCL");
  if (Embedded()) {
    EXPECT_EQ(CheckPassword("newpass", StoredPassword()), PasswordCheck::kMatches);
  } else {
    EXPECT_EQ(StoredPassword(), "");
  }
}

// A server's own (the embedded store checks the hash it keeps).
#ifdef ORVIK_TEST_MARIADB
// Every login of a server home may read the users table with his own login, straight from
// the server: a hash kept there, which a set-up of before wrote, would let him guess the
// others' passwords at leisure. The next set-up removes it, and the login still works.
TEST_F(SecurityTest, AServerHomesUsersTableKeepsNoPassword) {
  Run("UPDATE users SET A7 = '" + HashPassword("secret") + "' WHERE A0 = '" + home_.user() + "'");
  SetupOptions o;
  o.accounts = {home_.account()};
  std::string error;
  ASSERT_TRUE(home_.Setup(o, &error)) << error;
  EXPECT_EQ(UserRow(), home_.user() + "||3");
  Terminal t(home_.home());
  t.LogIn(home_.user(), "secret");
  EXPECT_EQ(t.port().State(), "TCL");
}
#endif

// The embedded store's own (a server checks passwords itself).
#ifndef ORVIK_TEST_MARIADB
// A home made before passwords were hashed, or before they were hashed as now, keeps logging
// in: what the users table held is replaced by a hash made now, once.
TEST_F(SecurityTest, APasswordInClearOrHashedTheOldWayLogsInAndIsHashedAnew) {
  // "secret" as yescrypt hashed it before.
  const std::string kOldHash =
      "$y$j7T$tfzQNJEiZ4LfrczQBmYjF/$cofZzdMbjB9rOryzwklE.9M.656E9Wq8MZQSeLZIc90";
  for (const std::string& held : {std::string("SeCret"), kOldHash}) {
    SCOPED_TRACE(held);
    Run("UPDATE users SET A7 = '" + held + "' WHERE A0 = '" + home_.user() + "'");
    Terminal wrong(home_.home());
    wrong.LogIn(home_.user(), "other");
    EXPECT_NE(wrong.port().State(), "TCL");
    EXPECT_EQ(UserRow(), home_.user() + "|" + held + "|3");

    Terminal first(home_.home());
    first.LogIn(home_.user(), "secret");
    ASSERT_EQ(first.port().State(), "TCL");
    const std::string row = UserRow();
    const std::string stored = StoredPassword();
    EXPECT_EQ(stored.rfind("$2b$", 0), 0u) << row;
    EXPECT_EQ(CheckPassword("secret", stored), PasswordCheck::kMatches);
    EXPECT_EQ(Parts(first.port()).login.UserRow().at(7), stored);

    Terminal again(home_.home());
    again.LogIn(home_.user(), "SECRET");
    EXPECT_EQ(again.port().State(), "TCL");
    EXPECT_EQ(UserRow(), row);  // hashed once, not at every login
  }
}
#endif

TEST_F(SecurityTest, MarkersInStoredNamesAreShownNotObeyed) {
  auto admin = LoggedIn("3");
  Run(std::string("CREATE TABLE ") +
          (Embedded() ? "\"x<&PORT_DISCONNECT></TX>\"" : "`x<&PORT_DISCONNECT></TX>`") +
          " (A0 TEXT)",
      home_.account());
  Type(*admin, "LOGTO " + home_.account());
  const std::string files = Type(*admin, "LISTF");
  EXPECT_EQ(files.find("<&PORT_DISCONNECT>"), std::string::npos) << files;
  EXPECT_EQ(files.find("</TX>"), std::string::npos) << files;
  // (a server may keep table names in lower case)
  EXPECT_NE(LowerCase(files).find("x< &port_disconnect>< /tx>"), std::string::npos) << files;
  if (!Embedded()) return;  // a server's process list holds no status lines of ours

  // A status line holds what its user typed; LISTU shows it to the administrator.
  auto clerk = LoggedIn("0");
  Type(*clerk, "SWRITE k <&PORT_DISCONNECT></TX>");
  const std::string users = Type(*admin, "LISTU");
  EXPECT_EQ(users.find("<&PORT_DISCONNECT>"), std::string::npos) << users;
  EXPECT_NE(users.find("OK: SWRITE K < &PORT_DISCONNECT>< /TX>"), std::string::npos) << users;
  admin->port().SetTermType("VBGUI");
  const std::string framed = Type(*admin, "LISTU");
  EXPECT_EQ(framed.find("</TX>"), framed.rfind("</TX>")) << framed;  // the frame's own only
}

}  // namespace
}  // namespace orvik
