#include "recording_driver.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "server_guard.h"
#include "system_tables.h"
#include "vb_error.h"

namespace orvik {
namespace {

class RecordingDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ConnectParams params;
    params.account = "SALES";
    driver_.Connect(params);
    driver_.ClearCalls();
  }

  // The number of a VbError thrown by `call`, or 0 when it did not throw one.
  template <typename F>
  static int ErrorNumber(F call, std::string* description = nullptr) {
    try {
      call();
    } catch (const VbError& e) {
      if (description != nullptr) *description = e.description();
      return e.number();
    }
    return 0;
  }

  RecordingDriver driver_{"MSSQL"};
};

TEST(RecordingDriverConnect, RecordsTheParametersAsGivenAndOpens) {
  RecordingDriver driver("MSSQL");
  EXPECT_EQ(driver.Kind(), "MSSQL");
  EXPECT_EQ(RecordingDriver().Kind(), "RECORDING");
  EXPECT_FALSE(driver.IsOpen());

  ConnectParams params;
  params.account = "SALES";
  params.server = "127.0.0.1";
  params.user = "sa";
  params.password = "p;w}d=\"x\xFE";
  driver.Connect(params);

  EXPECT_TRUE(driver.IsOpen());
  EXPECT_EQ(driver.CurrentDatabase(), "SALES");
  ASSERT_EQ(driver.Calls().size(), 1u);
  const RecordedCall& call = driver.Calls()[0];
  EXPECT_EQ(call.kind, "Connect");
  EXPECT_EQ(call.text, "SALES");
  EXPECT_EQ(call.connect.user, "sa");
  EXPECT_EQ(call.connect.password, "p;w}d=\"x\xFE");
  EXPECT_EQ(call.connect.server, "127.0.0.1");
}

TEST(RecordingDriverConnect, ScriptedFailureLeavesItClosed) {
  RecordingDriver driver;
  driver.Queue(Answer::Error(dberr::kNoSuchDatabase, "Cannot open database", "Connect"));
  ConnectParams params;
  params.account = "NOPE";
  try {
    driver.Connect(params);
    FAIL() << "Connect succeeded";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), dberr::kNoSuchDatabase);
    EXPECT_EQ(e.description(), "Cannot open database");
  }
  EXPECT_FALSE(driver.IsOpen());
  EXPECT_EQ(driver.CurrentDatabase(), "");
  ASSERT_EQ(driver.Calls().size(), 1u);  // the attempt is recorded
  EXPECT_THROW(driver.Execute("DELETE FROM T"), VbError);
}

TEST(RecordingDriverConnect, BadAccountNamesAreRefusedAndNotRecorded) {
  RecordingDriver driver;
  ConnectParams params;
  params.account = "x'; DROP DATABASE y";
  try {
    driver.Connect(params);
    FAIL() << "Connect accepted a bad name";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), dberr::kBadName);
  }
  EXPECT_TRUE(driver.Calls().empty());
  EXPECT_FALSE(driver.IsOpen());
}

TEST_F(RecordingDriverTest, RecordsEveryCallInOrderWithParameters) {
  const std::vector<DbValue> params = {std::string("A\xFD"
                                                   "B"),
                                       std::nullopt, std::string()};
  driver_.Execute("UPDATE T SET X = ? WHERE K = ? OR K = ?", params);
  driver_.Query("SELECT * FROM T");
  driver_.UseDatabase("OTHER");
  driver_.ListTables();
  driver_.ListColumns("T");

  const auto& calls = driver_.Calls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].kind, "Execute");
  EXPECT_EQ(calls[0].text, "UPDATE T SET X = ? WHERE K = ? OR K = ?");
  EXPECT_EQ(calls[0].params, params);
  EXPECT_EQ(calls[1].kind, "Query");
  EXPECT_TRUE(calls[1].params.empty());
  EXPECT_EQ(calls[2].kind, "UseDatabase");
  EXPECT_EQ(calls[2].text, "OTHER");
  EXPECT_EQ(calls[3].kind, "ListTables");
  EXPECT_EQ(calls[4].kind, "ListColumns");
  EXPECT_EQ(calls[4].text, "T");
  EXPECT_EQ(
      driver_.Statements(),
      (std::vector<std::string>{"UPDATE T SET X = ? WHERE K = ? OR K = ?", "SELECT * FROM T"}));
  EXPECT_EQ(driver_.CurrentDatabase(), "OTHER");
}

// A server parses on its own side, so its drivers judge a typed statement by its words: every
// spelling of the guarded tables is caught, inside quotes and comments too.
TEST(SystemTablesText, EverySpellingOfTheGuardedTablesIsCaught) {
  const char* refusedInDm[] = {
      "SELECT A0,A7,A8 FROM users",
      "select * from DM.users",
      "SELECT A0 FROM `users`",
      "SELECT \"A7\" FROM \"USERS\"",
      "SELECT [A7] FROM [dm]..[users]",
      "SELECT A0 FROM md WHERE A0 IN (SELECT A7 FROM users)",
      "SELECT A0 FROM md /*! UNION SELECT A7 FROM users */",
      "SELECT A0 FROM md -- users",
      "SELECT 1users",
      "REPLACE INTO users (A0, A7, A8) VALUES ('x', 'y', '9')",
      "DELETE FROM locks",
      "DELETE FROM `locks` WHERE 1",
      "INSERT INTO printhold VALUES (0, 1, 'x', 'y', 'z', 0, 't')",
      "SELECT 1 DELETE FROM locks",
      "DROP TABLE printhold",
      "ALTER TABLE locks ENGINE = MEMORY",
      "CREATE TABLE t AS SELECT * FROM locks",
  };
  for (const char* sql : refusedInDm) {
    EXPECT_TRUE(MayReachSystemTables(sql, "dm")) << sql;
    EXPECT_TRUE(MayReachSystemTables(sql, "DM")) << sql;
  }
  // From another account the system account must be named to be reached.
  EXPECT_TRUE(MayReachSystemTables("SELECT A7 FROM dm.users", "sales"));
  EXPECT_TRUE(MayReachSystemTables("SELECT A7 FROM `dm`.`users`", "sales"));
  EXPECT_TRUE(MayReachSystemTables("DELETE FROM dm . locks", "sales"));
  EXPECT_TRUE(MayReachSystemTables("SELECT 1 USE dm DELETE FROM locks", "sales"));
  EXPECT_TRUE(MayReachSystemTables("DROP DATABASE dm", "sales"));
  EXPECT_TRUE(MayReachSystemTables("ALTER SCHEMA `dm` CHARACTER SET utf8", "sales"));
  EXPECT_FALSE(MayReachSystemTables("DROP DATABASE dm2", "sales"));
  EXPECT_FALSE(MayReachSystemTables("CREATE DATABASE sales2", "dm"));
  EXPECT_FALSE(MayReachSystemTables("SELECT A7 FROM users", "sales"));
  EXPECT_FALSE(MayReachSystemTables("DELETE FROM locks", "sales"));
  // Text run at run time, and the servers' files, are never judged harmless.
  EXPECT_TRUE(MayReachSystemTables("SELECT 1 EXEC('DEL' + 'ETE FROM dm..lo' + 'cks')", "sales"));
  EXPECT_TRUE(MayReachSystemTables("SELECT LOAD_FILE('/etc/passwd')", "sales"));
  EXPECT_TRUE(MayReachSystemTables("SELECT * FROM t INTO OUTFILE '/tmp/x'", "sales"));
  // Nor are the named locks that mark the sessions holding item locks.
  EXPECT_TRUE(MayReachSystemTables("SELECT GET_LOCK(CONCAT('orvik ', MD5('x*1')), 0)", "sales"));
  EXPECT_TRUE(MayReachSystemTables("SELECT get_lock ('m', 1)", "sales"));
  EXPECT_FALSE(MayReachSystemTables("SELECT IS_USED_LOCK('m')", "sales"));

  // Held print is each user's own, whatever the statement does with it.
  EXPECT_TRUE(MayReachSystemTables("SELECT Queue, Sequence FROM dm.printhold", "sales"));
  EXPECT_TRUE(MayReachSystemTables("SELECT COUNT(*) FROM `PrintHold`", "dm"));
  EXPECT_FALSE(MayReachSystemTables("SELECT * FROM printhold", "sales"));  // the user's own file

  // Reading locks, and everything that names no guarded table, stays open.
  EXPECT_FALSE(MayReachSystemTables("SELECT * FROM locks", "dm"));
  EXPECT_FALSE(MayReachSystemTables("SELECT * FROM md", "dm"));
  EXPECT_FALSE(MayReachSystemTables("DELETE FROM md WHERE A0 = 'x'", "dm"));
  EXPECT_FALSE(MayReachSystemTables("SELECT * FROM superusers", "dm"));
  EXPECT_FALSE(MayReachSystemTables("INSERT INTO blocks VALUES (1)", "dm"));
}

// What manages a server, or reads its own schemas, in every spelling the server reads it
// (quotes, comments it runs, version numbers glued on, mixed case), on MariaDB and SQL
// Server alike; and what an ordinary user's typed SQL does in his own account is left alone.
TEST(ServerGuardText, EverySpellingOfServerManagementIsCaught) {
  const char* refused[] = {
      // Logins and their passwords.
      "ALTER USER 'mary'@'localhost' IDENTIFIED BY 'owned'",
      "alter/**/user mary@'%' identified by 'x'",
      "ALTER /*!50000 USER */ mary@'%' ACCOUNT LOCK",
      "ALTER /*!50000USER*/ mary@'%' ACCOUNT LOCK",
      "DROP /*M!100000 USER*/ 'mary'@'%'",
      "DROP USER IF EXISTS mary",
      "DrOp\nUsEr `mary`@`%`",
      "CREATE OR REPLACE USER x@'%'",
      "DROP /* a comment the server skips */ USER mary",
      "RENAME USER mary TO m2",
      "SET PASSWORD FOR mary = PASSWORD('x')",
      "GRANT ALL ON *.* TO clerk",
      "REVOKE SELECT ON x.* FROM mary",
      "CREATE ROLE r",
      "SET DEFAULT ROLE ALL TO clerk",
      "CREATE LOGIN evil WITH PASSWORD = 'x'",
      "ALTER LOGIN [sa] ENABLE",
      "ALTER SERVER ROLE sysadmin ADD MEMBER evil",
      "EXEC sp_addlogin 'evil', 'x'",
      "EXEC sp_addsrvrolemember 'evil', 'sysadmin'",
      "EXEC master..xp_cmdshell 'id'",
      // The server's own schemas and catalogs.
      "SELECT User, authentication_string FROM mysql.user",
      "CREATE TABLE t1 AS SELECT * FROM `mysql`.`global_priv`",
      "SELECT * FROM \"MYSQL\".db",
      "SELECT 1 FROM md /*! UNION SELECT Password FROM mysql.user */",
      "SELECT * FROM INFORMATION_SCHEMA.USER_PRIVILEGES",
      "SELECT * FROM performance_schema.threads",
      "SELECT * FROM sys.sql_logins",
      "SELECT name, password_hash FROM [master].[sys].[sql_logins]",
      "SELECT * FROM syslogins",
      "SELECT * FROM /*!50000syslogins*/",
      "SELECT * FROM msdb..backupset",
      // The server itself.
      "FLUSH PRIVILEGES",
      "SHUTDOWN",
      "KILL 5",
      "INSTALL PLUGIN server_audit SONAME 'server_audit'",
      "UNINSTALL SONAME 'x'",
      "CREATE FUNCTION f RETURNS STRING SONAME 'evil.so'",
      "CREATE DEFINER=root@localhost PROCEDURE p() SELECT 1",
      "CREATE DEFINER = CURRENT_USER EVENT e ON SCHEDULE EVERY 1 SECOND DO SELECT 1",
      "CREATE EVENT e ON SCHEDULE EVERY 1 SECOND DO SELECT 1",
      "SET GLOBAL general_log = 1",
      "SELECT @@global.secure_file_priv",
      "SELECT * FROM t INTO DUMPFILE '/tmp/x'",
      "LOAD DATA LOCAL INFILE '/etc/passwd' INTO TABLE t",
      "DROP DATABASE sales",
      // Words in quotes count too, what a quote is depending on the server's settings.
      "INSERT INTO ledger (A0, A1) VALUES ('1', 'drop user later')",
      "CREATE SCHEMA s2",
  };
  for (const char* sql : refused) EXPECT_TRUE(MayManageServer(sql, "sales")) << sql;
  // A connection moved onto one of the server's own schemas reaches it by any name.
  EXPECT_TRUE(MayManageServer("SELECT * FROM user", "mysql"));
  EXPECT_TRUE(MayManageServer("SELECT * FROM plugins", "INFORMATION_SCHEMA"));

  const char* open[] = {
      "SELECT * FROM orders WHERE A0 = 'x'",   "CREATE TABLE user_notes (A0 CHAR(25))",
      "SELECT A1 FROM users_archive",          "DROP TABLE ledger",
      "ALTER TABLE ledger ADD COLUMN A9 TEXT", "SELECT CURRENT_USER()",
      "DELETE FROM ledger WHERE A3 = USER()",
  };
  for (const char* sql : open) EXPECT_FALSE(MayManageServer(sql, "sales")) << sql;
}

TEST_F(RecordingDriverTest, TheGuardRefusesBeforeAnythingRuns) {
  driver_.UseDatabase("dm");
  driver_.ClearCalls();
  EXPECT_FALSE(driver_.SetSystemTablesGuard(true));
  std::string description;
  EXPECT_EQ(ErrorNumber([&] { driver_.Query("SELECT A7 FROM users"); }, &description),
            dberr::kSystemTables);
  EXPECT_EQ(description,
            "Only the administrator may read the password column or held print, or change the "
            "users, locks, sessions and printhold tables");
  EXPECT_EQ(ErrorNumber([&] { driver_.Execute("DELETE FROM locks"); }), dberr::kSystemTables);
  EXPECT_EQ(ErrorNumber([&] { driver_.Execute("DROP USER mary"); }, &description),
            dberr::kSystemTables);
  EXPECT_EQ(description,
            "Only the administrator may manage the server's logins and rights or reach its own "
            "schemas");
  EXPECT_TRUE(driver_.Calls().empty());
  driver_.Query("SELECT * FROM locks");
  EXPECT_TRUE(driver_.SetSystemTablesGuard(false));
  driver_.Execute("DELETE FROM locks");
  EXPECT_EQ(driver_.Statements(),
            (std::vector<std::string>{"SELECT * FROM locks", "DELETE FROM locks"}));
}

TEST_F(RecordingDriverTest, UnscriptedCallsSucceedWithNothing) {
  EXPECT_EQ(driver_.Execute("DELETE FROM T"), 0);
  auto cursor = driver_.Query("SELECT * FROM T");
  EXPECT_TRUE(cursor->FieldNames().empty());
  EXPECT_FALSE(cursor->Next());
  EXPECT_TRUE(driver_.ListTables().empty());
  EXPECT_TRUE(driver_.ListColumns("T").empty());
}

TEST_F(RecordingDriverTest, NextCallAnswersAreUsedOnceInQueueOrderByKind) {
  driver_.Queue(Answer::Result({"K", "V"}, {{std::string("1"), std::nullopt}}));
  driver_.Queue(Answer::RowCount(3));
  driver_.Queue(Answer::RowCount(7));

  // The query answer is skipped by Execute: it does not fit.
  EXPECT_EQ(driver_.Execute("UPDATE T SET V = 1"), 3);
  EXPECT_EQ(driver_.Execute("UPDATE T SET V = 2"), 7);
  EXPECT_EQ(driver_.Execute("UPDATE T SET V = 3"), 0);

  auto cursor = driver_.Query("SELECT K, V FROM T");
  EXPECT_EQ(cursor->FieldNames(), (std::vector<std::string>{"K", "V"}));
  ASSERT_TRUE(cursor->Next());
  EXPECT_EQ(cursor->Row(), (std::vector<DbValue>{std::string("1"), std::nullopt}));
  EXPECT_FALSE(cursor->Next());
  EXPECT_EQ(driver_.PendingAnswers(), 0u);

  EXPECT_TRUE(driver_.Query("SELECT K, V FROM T")->FieldNames().empty());
}

TEST_F(RecordingDriverTest, TextRulesWinOverNextCallAnswers) {
  driver_.Queue(Answer::Result({"N"}, {{std::string("next")}}));
  driver_.Queue(Answer::Result({"N"}, {{std::string("customers")}}),
                CallMatch::Contains("FROM CUSTOMERS"));
  driver_.Queue(Answer::RowCount(42), CallMatch::Prefix("DELETE"));

  auto first = driver_.Query("SELECT N FROM CUSTOMERS WHERE 1 = 1");
  ASSERT_TRUE(first->Next());
  EXPECT_EQ(first->Row()[0], "customers");

  auto second = driver_.Query("SELECT N FROM CUSTOMERS");
  ASSERT_TRUE(second->Next());
  EXPECT_EQ(second->Row()[0], "next");

  // A prefix rule does not fire on text that merely contains it.
  EXPECT_EQ(driver_.Execute("UPDATE T SET X = 'DELETE'"), 0);
  EXPECT_EQ(driver_.Execute("DELETE FROM T"), 42);
}

TEST_F(RecordingDriverTest, ScriptedErrorsAreThrownAndStillRecorded) {
  driver_.Queue(Answer::Error(dberr::kNoSuchTable, "Invalid object name 'T'."),
                CallMatch::Contains("FROM T"));
  driver_.Queue(Answer::Error(dberr::kIntegrity, "Duplicate key", "Execute"));

  std::string description;
  EXPECT_EQ(ErrorNumber([&] { driver_.Query("SELECT * FROM U"); }), 0);
  EXPECT_EQ(ErrorNumber([&] { driver_.Query("SELECT * FROM T"); }, &description),
            dberr::kNoSuchTable);
  EXPECT_EQ(description, "Invalid object name 'T'.");
  // The error kept for Execute is not taken by a query.
  EXPECT_EQ(ErrorNumber([&] { driver_.Query("SELECT 1"); }), 0);
  EXPECT_EQ(ErrorNumber([&] { driver_.Execute("INSERT INTO U VALUES (1)"); }), dberr::kIntegrity);
  EXPECT_EQ(driver_.Calls().size(), 4u);
}

TEST_F(RecordingDriverTest, FailedUseDatabaseKeepsTheDatabase) {
  driver_.Queue(Answer::Error(dberr::kNoSuchDatabase, "Database 'NOPE' does not exist."),
                CallMatch::Prefix("NOPE"));
  EXPECT_EQ(ErrorNumber([&] { driver_.UseDatabase("NOPE"); }), dberr::kNoSuchDatabase);
  EXPECT_EQ(driver_.CurrentDatabase(), "SALES");
  EXPECT_EQ(ErrorNumber([&] { driver_.UseDatabase("bad name"); }), dberr::kBadName);
  EXPECT_EQ(ErrorNumber([&] { driver_.ListColumns("../T"); }), dberr::kBadName);
  EXPECT_EQ(driver_.Calls().size(), 1u);
}

TEST_F(RecordingDriverTest, TablesAndColumnsAreScripted) {
  driver_.Queue(Answer::Columns({{"K", "varchar(25)"}}), CallMatch::Prefix("T1"));
  driver_.Queue(Answer::Tables({{"T1", "TABLE"}, {"V1", "VIEW"}}));
  const auto tables = driver_.ListTables();
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_EQ(tables[1].name, "V1");
  EXPECT_EQ(tables[1].type, "VIEW");
  EXPECT_TRUE(driver_.ListColumns("T2").empty());
  const auto columns = driver_.ListColumns("T1");
  ASSERT_EQ(columns.size(), 1u);
  EXPECT_EQ(columns[0].type, "varchar(25)");
}

TEST(RecordingDriverScript, RowsMustMatchTheFields) {
  EXPECT_THROW(Answer::Result({"A", "B"}, {{std::string("1")}}), std::invalid_argument);
}

TEST(RecordingDriverScript, CursorOutlivesTheDriver) {
  std::unique_ptr<Cursor> cursor;
  {
    RecordingDriver driver;
    ConnectParams params;
    params.account = "A";
    driver.Connect(params);
    driver.Queue(Answer::Result({"X"}, {{std::string("1")}, {std::string("2")}}));
    cursor = driver.Query("SELECT X FROM T");
  }
  ASSERT_TRUE(cursor->Next());
  ASSERT_TRUE(cursor->Next());
  EXPECT_EQ(cursor->Row()[0], "2");
  EXPECT_FALSE(cursor->Next());
}

}  // namespace
}  // namespace orvik
