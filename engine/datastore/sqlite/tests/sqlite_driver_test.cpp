#include "sqlite_driver.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "layout.h"
#include "system_tables.h"
#include "vb_error.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<DbValue>>;
using Values = std::vector<DbValue>;

// The number of the VbError `action` throws; 0 when it throws nothing.
int ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const VbError& e) {
    return e.number();
  }
  return 0;
}

std::string DescriptionOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const VbError& e) {
    return e.description();
  }
  return "";
}

Rows All(Cursor& cursor) {
  Rows rows;
  while (cursor.Next()) rows.push_back(cursor.Row());
  return rows;
}

Rows All(Driver& driver, std::string_view sql, std::vector<DbValue> params = {}) {
  return All(*driver.Query(sql, params));
}

std::string One(Driver& driver, std::string_view sql, std::vector<DbValue> params = {}) {
  const Rows rows = All(driver, sql, std::move(params));
  return rows.size() == 1 && rows[0].size() == 1 ? rows[0][0].value_or("<null>") : "<not one>";
}

class SqliteDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "orvik-sqlite-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    home_ = pattern;
  }
  void TearDown() override { fs::remove_all(home_); }

  ConnectParams Params(const std::string& account) const {
    ConnectParams params;
    params.home = home_;
    params.account = account;
    return params;
  }

  // A driver on a new account.
  std::unique_ptr<SqliteDriver> NewAccount(const std::string& account = "demo") {
    SqliteDriver::CreateAccount(home_, account);
    return Connected(account);
  }
  std::unique_ptr<SqliteDriver> Connected(const std::string& account = "demo") {
    auto driver = std::make_unique<SqliteDriver>();
    driver->Connect(Params(account));
    return driver;
  }

  std::vector<std::string> FilesInHome() const {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(home_)) {
      files.push_back(fs::relative(entry.path(), home_).string());
    }
    return files;
  }

  std::string home_;
};

TEST_F(SqliteDriverTest, CreatedAccountIsAWalDatabaseThatConnects) {
  EXPECT_FALSE(SqliteDriver::AccountExists(home_, "demo"));
  SqliteDriver::CreateAccount(home_, "demo");
  EXPECT_TRUE(SqliteDriver::AccountExists(home_, "demo"));
  EXPECT_FALSE(SqliteDriver::AccountExists(home_, "other"));

  // Bytes 18 and 19 of the header are 2 for a write-ahead-logged file.
  std::ifstream file(fs::path(home_) / "JetMDB" / "demo.db", std::ios::binary);
  char header[20] = {};
  file.read(header, sizeof header);
  EXPECT_EQ(std::string(header, 16), std::string("SQLite format 3\0", 16));
  EXPECT_EQ(header[18], 2);
  EXPECT_EQ(header[19], 2);

  SqliteDriver driver;
  EXPECT_FALSE(driver.IsOpen());
  EXPECT_EQ(driver.CurrentDatabase(), "");
  driver.Connect(Params("demo"));
  EXPECT_TRUE(driver.IsOpen());
  EXPECT_EQ(driver.Kind(), "JET");
  EXPECT_EQ(driver.CurrentDatabase(), "demo");
  EXPECT_TRUE(driver.ListTables().empty());
}

TEST_F(SqliteDriverTest, CreatingAnExistingAccountIsRefusedAndKeepsItsData) {
  auto driver = NewAccount();
  driver->Execute("CREATE TABLE t (k TEXT)");
  driver->Execute("INSERT INTO t VALUES ('kept')");
  EXPECT_EQ(ErrorOf([&] { SqliteDriver::CreateAccount(home_, "demo"); }), dberr::kErrorsInCommand);
  EXPECT_EQ(DescriptionOf([&] { SqliteDriver::CreateAccount(home_, "demo"); }),
            "Account \"demo\" already exists");
  EXPECT_EQ(One(*Connected(), "SELECT k FROM t"), "kept");
}

TEST_F(SqliteDriverTest, MissingAccountIsAnErrorAndCreatesNothing) {
  SqliteDriver driver;
  EXPECT_EQ(ErrorOf([&] { driver.Connect(Params("nobody")); }), dberr::kNoSuchDatabase);
  EXPECT_EQ(DescriptionOf([&] { driver.Connect(Params("nobody")); }),
            "Account \"nobody\" does not exist");
  EXPECT_FALSE(driver.IsOpen());
  EXPECT_TRUE(FilesInHome().empty());

  SqliteDriver::CreateAccount(home_, "demo");
  EXPECT_EQ(ErrorOf([&] { driver.Connect(Params("nobody")); }), dberr::kNoSuchDatabase);
  EXPECT_FALSE(fs::exists(fs::path(home_) / "JetMDB" / "nobody.db"));
}

TEST_F(SqliteDriverTest, BadAccountNamesAreRefusedBeforeTheDiskIsTouched) {
  for (const std::string& name :
       {std::string("../x"), std::string("a/b"), std::string("a'b"), std::string("a\0b", 3),
        std::string(""), std::string("x.db"), std::string("a b")}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ErrorOf([&] { SqliteDriver::CreateAccount(home_, name); }), dberr::kBadName);
    SqliteDriver driver;
    EXPECT_EQ(ErrorOf([&] { driver.Connect(Params(name)); }), dberr::kBadName);
    EXPECT_FALSE(SqliteDriver::AccountExists(home_, name));
  }
  EXPECT_TRUE(FilesInHome().empty());
}

TEST_F(SqliteDriverTest, Latin1RoundTripsThroughParametersAndLiterals) {
  auto driver = NewAccount();
  std::string all;
  for (int c = 1; c <= 255; ++c) all.push_back(static_cast<char>(c));
  std::string quoted;
  for (char c : all) quoted += c == '\'' ? std::string("''") : std::string(1, c);

  driver->Execute("CREATE TABLE t (k INTEGER PRIMARY KEY, v TEXT)");
  EXPECT_EQ(driver->Execute("INSERT INTO t VALUES (1, ?)", Values{{all}}), 1);
  EXPECT_EQ(driver->Execute("INSERT INTO t VALUES (2, '" + quoted + "')"), 1);

  // length() counts characters: 255 proves the file holds proper UTF-8, one character each.
  const Rows rows = All(*driver, "SELECT v, length(v) FROM t ORDER BY k");
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& row : rows) {
    EXPECT_EQ(row[0], all);
    EXPECT_EQ(row[1], "255");
  }
  EXPECT_EQ(All(*driver, "SELECT k FROM t WHERE v = ?", {all}).size(), 2u);
  EXPECT_EQ(One(*driver, "SELECT k FROM t WHERE v = '" + quoted + "' AND k = 2"), "2");

  driver->Execute("CREATE TABLE \"caf\xE9\" (\"n\xE4me\" TEXT)");
  auto cursor = driver->Query("SELECT * FROM \"caf\xE9\"");
  EXPECT_EQ(cursor->FieldNames(), std::vector<std::string>{"n\xE4me"});
  EXPECT_EQ(driver->ListTables().back().name, "caf\xE9");
  EXPECT_EQ(driver->ListColumns("caf\xE9")[0].name, "n\xE4me");
  EXPECT_EQ(DescriptionOf([&] { driver->Query("SELECT * FROM \"d\xE9j\xE0\""); }),
            "no such table: d\xE9j\xE0");
}

TEST_F(SqliteDriverTest, ValuesComeBackAsTextWithNullApart) {
  auto driver = NewAccount();
  driver->Execute("CREATE TABLE v (a, b, c, d, e, f)");
  driver->Execute("INSERT INTO v VALUES (42, 1.5, NULL, X'00FF41', '', -9223372036854775808)");
  driver->Execute("INSERT INTO v VALUES (?, ?, ?, ?, ?, ?)",
                  Values{{"7"}, {""}, std::nullopt, {std::string("a\0b", 3)}, {"x"}, {"\xFE"}});
  const Rows rows = All(*driver, "SELECT * FROM v ORDER BY rowid");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (std::vector<DbValue>{"42", "1.5", std::nullopt,
                                           std::string("\0\xFF"
                                                       "A",
                                                       3),
                                           "", "-9223372036854775808"}));
  EXPECT_EQ(rows[1],
            (std::vector<DbValue>{"7", "", std::nullopt, std::string("a\0b", 3), "x", "\xFE"}));
  EXPECT_EQ(One(*driver, "SELECT count(*) FROM v WHERE b IS NULL"), "0");
}

TEST_F(SqliteDriverTest, ExecuteCountsMatchedRowsOfItsOwnStatementOnly) {
  auto driver = NewAccount();
  EXPECT_EQ(driver->Execute("CREATE TABLE t (k TEXT PRIMARY KEY, v TEXT)"), 0);
  EXPECT_EQ(driver->Execute("INSERT INTO t VALUES ('a', 's'), ('b', 's'), ('c', 's')"), 3);
  EXPECT_EQ(driver->Execute("UPDATE t SET v = 's'"), 3);
  EXPECT_EQ(driver->Execute("UPDATE t SET v = ? WHERE k = ?", Values{{"s"}, {"b"}}), 1);
  EXPECT_EQ(driver->Execute("UPDATE t SET v = 'x' WHERE k = 'none'"), 0);
  // Statements that change no rows must not report the count of the last one that did.
  EXPECT_EQ(driver->Execute("INSERT INTO t VALUES ('d', 's')"), 1);
  EXPECT_EQ(driver->Execute("CREATE TABLE u (x)"), 0);
  EXPECT_EQ(driver->Execute("SELECT * FROM t"), 0);
  EXPECT_EQ(driver->Execute("DELETE FROM t WHERE k = 'a'"), 1);
  EXPECT_EQ(driver->Execute("DELETE FROM t"), 3);
}

TEST_F(SqliteDriverTest, StatementTextIsCheckedBeforeAnythingRuns) {
  auto driver = NewAccount();
  driver->Execute("CREATE TABLE t (k TEXT PRIMARY KEY, v TEXT)");
  driver->Execute("INSERT INTO t VALUES ('a', 'old'), ('b', 'old')");

  EXPECT_EQ(ErrorOf([&] { driver->Execute("UPDATE t SET v = ? WHERE k = ?", Values{{"new"}}); }),
            dberr::kErrorsInCommand);
  EXPECT_EQ(ErrorOf([&] {
              driver->Execute("UPDATE t SET v = ?", Values{{"new"}, {"a"}});
            }),
            dberr::kErrorsInCommand);
  EXPECT_EQ(ErrorOf([&] { driver->Query("SELECT * FROM t WHERE k = ?"); }),
            dberr::kErrorsInCommand);
  // SQLite would stop reading at the NUL and run the statement without its WHERE.
  EXPECT_EQ(ErrorOf([&] { driver->Execute(std::string("DELETE FROM t\0 WHERE k = 'a'", 28)); }),
            dberr::kErrorsInCommand);
  EXPECT_EQ(DescriptionOf([&] { driver->Execute(std::string("DELETE FROM t\0", 14)); }),
            "The statement text holds a NUL character");
  // A second statement is refused, not run and not silently dropped; asking twice does not
  // find it waiting in the statement cache.
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(ErrorOf([&] { driver->Execute("UPDATE t SET v = 'new'; DROP TABLE t"); }),
              dberr::kErrorsInCommand);
  }
  EXPECT_EQ(ErrorOf([&] { driver->Execute(""); }), dberr::kErrorsInCommand);
  EXPECT_EQ(ErrorOf([&] { driver->Query(" ; -- nothing"); }), dberr::kErrorsInCommand);
  EXPECT_EQ(All(*driver, "SELECT v FROM t ORDER BY k"), (Rows{{"old"}, {"old"}}));

  EXPECT_EQ(driver->Execute("UPDATE t SET v = 'new' WHERE k = 'a'; -- done\n ;"), 1);
}

TEST_F(SqliteDriverTest, CursorStreamsALargeResult) {
  auto driver = NewAccount();
  driver->Execute("CREATE TABLE big (k INTEGER PRIMARY KEY, v TEXT)");
  driver->Execute("BEGIN");
  for (int k = 1; k <= 100000; ++k) {
    driver->Execute("INSERT INTO big VALUES (?, ?)",
                    Values{{std::to_string(k)}, {"v" + std::to_string(k)}});
  }
  driver->Execute("COMMIT");

  auto cursor = driver->Query("SELECT k, v FROM big ORDER BY k");
  EXPECT_EQ(cursor->FieldNames(), (std::vector<std::string>{"k", "v"}));
  int expected = 0;
  while (cursor->Next()) {
    ++expected;
    if (cursor->Row()[0] != std::to_string(expected) ||
        cursor->Row()[1] != "v" + std::to_string(expected)) {
      FAIL() << "row " << expected;
    }
  }
  EXPECT_EQ(expected, 100000);
  EXPECT_FALSE(cursor->Next());

  // Rows past the first thousand overflow: a cursor that read ahead would fail at once.
  auto failing = driver->Query(
      "SELECT CASE WHEN k <= 1000 THEN k ELSE abs(-9223372036854775807 - 1) END FROM big "
      "ORDER BY k");
  int read = 0;
  EXPECT_EQ(ErrorOf([&] {
              while (failing->Next()) ++read;
            }),
            dberr::kErrorsInCommand);
  EXPECT_EQ(read, 1000);
  EXPECT_FALSE(failing->Next());
}

TEST_F(SqliteDriverTest, QueriesWhileACursorIsOpenDoNotDisturbIt) {
  auto driver = NewAccount();
  driver->Execute("CREATE TABLE t (k INTEGER PRIMARY KEY, v TEXT)");
  driver->Execute("INSERT INTO t VALUES (1, 'v1'), (2, 'v2'), (3, 'v3'), (4, 'v4'), (5, 'v5')");
  const std::string sql = "SELECT v FROM t WHERE k >= ? ORDER BY k";

  // Outside a transaction and inside one (where every query shares the main connection),
  // with the statement already cached by an earlier run.
  for (const bool in_transaction : {false, true}) {
    SCOPED_TRACE(in_transaction ? "in a transaction" : "outside a transaction");
    if (in_transaction) driver->Execute("BEGIN");
    EXPECT_EQ(All(*driver, sql, {{"5"}}), (Rows{{"v5"}}));

    auto first = driver->Query(sql, Values{{"1"}});
    ASSERT_TRUE(first->Next());
    EXPECT_EQ(first->Row()[0], "v1");
    {
      auto second = driver->Query(sql, Values{{"4"}});
      EXPECT_EQ(All(*second), (Rows{{"v4"}, {"v5"}}));
    }
    ASSERT_TRUE(first->Next());
    EXPECT_EQ(first->Row()[0], "v2");

    // The driver's own write is seen by the next query while the cursor stays open.
    EXPECT_EQ(driver->Execute("INSERT INTO t VALUES (6, 'v6')"), 1);
    EXPECT_EQ(One(*driver, "SELECT count(*) FROM t"), "6");

    ASSERT_TRUE(first->Next());
    EXPECT_EQ(first->Row()[0], "v3");
    first.reset();

    // Reused statements start afresh with the new values.
    EXPECT_EQ(All(*driver, sql, {{"5"}}), (Rows{{"v5"}, {"v6"}}));
    driver->Execute(in_transaction ? "ROLLBACK" : "DELETE FROM t WHERE k = 6");
    EXPECT_EQ(One(*driver, "SELECT count(*) FROM t"), "5");
  }
}

TEST_F(SqliteDriverTest, ListTablesInCreationOrder) {
  auto driver = NewAccount();
  driver->Execute("CREATE TABLE zeta (x)");
  driver->Execute("CREATE TABLE alpha (id INTEGER PRIMARY KEY AUTOINCREMENT)");  // sqlite_sequence
  driver->Execute("INSERT INTO alpha DEFAULT VALUES");
  driver->Execute("CREATE VIEW middle AS SELECT x FROM zeta");
  driver->Execute("CREATE INDEX zeta_x ON zeta (x)");
  driver->Execute("CREATE TABLE beta (y)");
  driver->Execute("CREATE TEMP TABLE scratch (z)");

  std::vector<std::string> listed;
  for (const TableInfo& table : driver->ListTables())
    listed.push_back(table.name + ":" + table.type);
  EXPECT_EQ(listed,
            (std::vector<std::string>{"zeta:TABLE", "alpha:TABLE", "middle:VIEW", "beta:TABLE"}));
}

TEST_F(SqliteDriverTest, ListColumnsGivesDeclaredTypesInOrder) {
  auto driver = NewAccount();
  driver->Execute("CREATE TABLE items (ID TEXT PRIMARY KEY, NAME CHAR(25), QTY INTEGER, NOTE)");
  driver->Execute("CREATE VIEW names AS SELECT NAME FROM items");
  std::vector<std::string> listed;
  for (const ColumnInfo& column : driver->ListColumns("items")) {
    listed.push_back(column.name + ":" + column.type);
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"ID:TEXT", "NAME:CHAR(25)", "QTY:INTEGER", "NOTE:"}));
  EXPECT_EQ(driver->ListColumns("names").at(0).name, "NAME");

  EXPECT_EQ(ErrorOf([&] { driver->ListColumns("nope"); }), dberr::kNoSuchTable);
  EXPECT_EQ(ErrorOf([&] { driver->ListColumns("items'); DROP TABLE items; --"); }),
            dberr::kNoSuchTable);
  EXPECT_EQ(driver->ListColumns("items").size(), 4u);
}

TEST_F(SqliteDriverTest, UseDatabaseMovesOnlyWhenTheOtherAccountOpens) {
  SqliteDriver unopened;
  EXPECT_EQ(ErrorOf([&] { unopened.UseDatabase("a"); }), dberr::kUnspecified);

  auto other = NewAccount("b");
  other->Execute("CREATE TABLE tb (x)");
  other->Execute("INSERT INTO tb VALUES ('in b')");
  auto driver = NewAccount("a");
  driver->Execute("CREATE TABLE ta (x)");
  driver->Execute("INSERT INTO ta VALUES ('a1'), ('a2')");
  auto open_on_a = driver->Query("SELECT x FROM ta ORDER BY x");
  ASSERT_TRUE(open_on_a->Next());

  driver->UseDatabase("b");
  EXPECT_EQ(driver->CurrentDatabase(), "b");
  ASSERT_EQ(driver->ListTables().size(), 1u);
  EXPECT_EQ(driver->ListTables()[0].name, "tb");
  // A cursor begun before the move goes on reading the account it began on.
  ASSERT_TRUE(open_on_a->Next());
  EXPECT_EQ(open_on_a->Row()[0], "a2");

  EXPECT_EQ(ErrorOf([&] { driver->UseDatabase("missing"); }), dberr::kNoSuchDatabase);
  EXPECT_EQ(ErrorOf([&] { driver->UseDatabase("../a"); }), dberr::kBadName);
  EXPECT_EQ(driver->CurrentDatabase(), "b");
  EXPECT_EQ(One(*driver, "SELECT x FROM tb"), "in b");
  EXPECT_EQ(driver->Execute("INSERT INTO tb VALUES ('more')"), 1);

  // A failed Connect leaves the driver where it was, too.
  EXPECT_EQ(ErrorOf([&] { driver->Connect(Params("missing")); }), dberr::kNoSuchDatabase);
  EXPECT_EQ(driver->CurrentDatabase(), "b");
  EXPECT_EQ(One(*driver, "SELECT count(*) FROM tb"), "2");
}

TEST_F(SqliteDriverTest, TwoProcessesShareAnAccount) {
  auto writer = NewAccount();
  auto reader = Connected();
  writer->Execute("CREATE TABLE t (k INTEGER PRIMARY KEY, v TEXT)");
  writer->Execute("BEGIN");
  for (int k = 1; k <= 1000; ++k)
    writer->Execute("INSERT INTO t VALUES (?, 'v')", Values{{std::to_string(k)}});
  writer->Execute("COMMIT");

  auto walking = reader->Query("SELECT k FROM t ORDER BY k");
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(walking->Next());

  // The writer is not held up by the open read, and its commit is seen by the next query.
  EXPECT_EQ(writer->Execute("INSERT INTO t VALUES (1001, 'new')"), 1);
  EXPECT_EQ(One(*reader, "SELECT v FROM t WHERE k = 1001"), "new");
  // Nor is the reader's own write refused for having started its walk before that commit.
  EXPECT_EQ(reader->Execute("UPDATE t SET v = 'seen' WHERE k = 5"), 1);
  EXPECT_EQ(One(*writer, "SELECT v FROM t WHERE k = 5"), "seen");

  // The open cursor reads the rows as they were when it began.
  int rows = 10;
  while (walking->Next()) ++rows;
  EXPECT_EQ(rows, 1000);

  // A writer's open transaction does not block readers; they see its work once committed.
  writer->Execute("BEGIN IMMEDIATE");
  writer->Execute("DELETE FROM t WHERE k > 500");
  EXPECT_EQ(One(*writer, "SELECT count(*) FROM t"), "500");
  EXPECT_EQ(One(*reader, "SELECT count(*) FROM t"), "1001");
  writer->Execute("COMMIT");
  EXPECT_EQ(One(*reader, "SELECT count(*) FROM t"), "500");
}

TEST_F(SqliteDriverTest, QueriesSeeTheConnectionsOwnState) {
  auto driver = NewAccount();
  driver->Execute("CREATE TABLE t (k INTEGER PRIMARY KEY, v TEXT)");

  driver->Execute("BEGIN");
  driver->Execute("INSERT INTO t VALUES (1, 'pending')");
  EXPECT_EQ(One(*driver, "SELECT v FROM t"), "pending");
  driver->Execute("ROLLBACK");
  EXPECT_EQ(One(*driver, "SELECT count(*) FROM t"), "0");

  driver->Execute("INSERT INTO t VALUES (77, 'x'), (78, 'y')");
  EXPECT_EQ(One(*driver, "SELECT last_insert_rowid()"), "78");
  EXPECT_EQ(One(*driver, "SELECT changes()"), "2");

  driver->Execute("CREATE TABLE dup (x)");
  driver->Execute("INSERT INTO dup VALUES ('main')");
  driver->Execute("CREATE TEMP TABLE dup (x)");
  driver->Execute("INSERT INTO dup VALUES ('temp')");
  EXPECT_EQ(One(*driver, "SELECT x FROM dup"), "temp");
  driver->Execute("DROP TABLE temp.dup");
  EXPECT_EQ(One(*driver, "SELECT x FROM dup"), "main");

  // Statements that write go where writes go, whatever they start with.
  EXPECT_EQ(All(*driver, "INSERT INTO t VALUES (90, 'r'), (91, 'r') RETURNING k"),
            (Rows{{"90"}, {"91"}}));
  EXPECT_TRUE(All(*driver, "WITH gone(k) AS (VALUES (90)) DELETE FROM t WHERE k IN gone").empty());
  EXPECT_EQ(One(*driver, "SELECT changes()"), "1");
  EXPECT_EQ(One(*driver, "SELECT k FROM t WHERE k >= 90"), "91");
}

TEST_F(SqliteDriverTest, ErrorsCarryDatastoreNumbersAndMessages) {
  SqliteDriver closed;
  EXPECT_EQ(ErrorOf([&] { closed.Execute("SELECT 1"); }), dberr::kUnspecified);
  EXPECT_EQ(ErrorOf([&] { closed.ListTables(); }), dberr::kUnspecified);

  auto driver = NewAccount();
  driver->Execute("CREATE TABLE t (k TEXT PRIMARY KEY, v TEXT NOT NULL)");
  driver->Execute("INSERT INTO t VALUES ('a', 'x')");

  EXPECT_EQ(ErrorOf([&] { driver->Query("SELECT * FROM nope"); }), dberr::kNoSuchTable);
  EXPECT_EQ(DescriptionOf([&] { driver->Query("SELECT * FROM nope"); }), "no such table: nope");
  EXPECT_EQ(ErrorOf([&] { driver->Execute("DROP TABLE nope"); }), dberr::kNoSuchTable);
  EXPECT_EQ(ErrorOf([&] { driver->Execute("INSERT INTO t VALUES ('a', 'y')"); }),
            dberr::kIntegrity);
  EXPECT_EQ(DescriptionOf([&] { driver->Execute("INSERT INTO t VALUES ('a', 'y')"); }),
            "UNIQUE constraint failed: t.k");
  EXPECT_EQ(ErrorOf([&] {
              driver->Execute("INSERT INTO t VALUES (?, ?)", Values{{"b"}, std::nullopt});
            }),
            dberr::kIntegrity);
  EXPECT_EQ(ErrorOf([&] { driver->Query("SELEC 1"); }), dberr::kErrorsInCommand);
  EXPECT_NE(DescriptionOf([&] { driver->Query("SELEC 1"); }).find("syntax error"),
            std::string::npos);

  std::ofstream(fs::path(home_) / "JetMDB" / "junk.db") << std::string(4096, 'j');
  EXPECT_EQ(ErrorOf([&] { driver->UseDatabase("junk"); }), dberr::kUnspecified);
  EXPECT_EQ(driver->CurrentDatabase(), "demo");
  EXPECT_EQ(One(*driver, "SELECT v FROM t"), "x");
}

// The system account as the set-up makes it, far enough for the guard: users with its
// password in A7, a lock in the locks file, printhold, and a view and a trigger an
// administrator might add.
void MakeSystemTables(Driver& dm) {
  std::string columns = "A0 TEXT PRIMARY KEY";
  for (int i = 1; i <= 20; ++i) columns += ", A" + std::to_string(i) + " TEXT";
  dm.Execute("CREATE TABLE users (" + columns + ")");
  dm.Execute("CREATE TABLE printhold (Queue TEXT, Sequence TEXT, Text TEXT)");
  dm.Execute("CREATE TABLE md (" + columns + ")");
  dm.Execute("CREATE TABLE notes (A0 TEXT)");
  dm.Execute("INSERT INTO users (A0, A7, A8) VALUES ('admin', 'hash', '3')");
  dm.Execute(
      "INSERT INTO locks VALUES ('cust\xFF"
      "1', 'admin*1')");
  dm.Execute("CREATE VIEW who AS SELECT A0, A7 FROM users");
  dm.Execute("CREATE TRIGGER noted AFTER INSERT ON notes BEGIN DELETE FROM printhold; END");
}

TEST_F(SqliteDriverTest, TheGuardKeepsTypedStatementsOutOfTheSystemTables) {
  auto dm = NewAccount("dm");
  MakeSystemTables(*dm);
  const std::string before = One(*dm, "SELECT group_concat(A0 || A7 || A8) FROM users");
  // Compiled once without the guard: the cached statement must not serve a guarded run.
  EXPECT_EQ(One(*dm, "SELECT A7 FROM users"), "hash");
  EXPECT_FALSE(dm->SetSystemTablesGuard(true));
  EXPECT_TRUE(dm->SystemTablesGuard());

  const char* reads[] = {
      "SELECT A7 FROM users",
      "SELECT A0, A7, A8 FROM users",
      "select * from USERS",
      "SELECT `A7` FROM `users`",
      "SELECT \"a7\" FROM \"Users\"",
      "SELECT A0 /* , A8 */ , A7 -- x\n FROM main.users",
      "SELECT A0 FROM md WHERE A0 IN (SELECT A7 FROM users)",
      "SELECT count(*) FROM users WHERE A7 LIKE 'h%'",
      "SELECT u.A0 FROM users u ORDER BY u.A7",
      "SELECT * FROM who",
      "SELECT Text FROM printhold",
      "SELECT * FROM PrintHold WHERE Queue = '0'",
  };
  for (const char* sql : reads) {
    EXPECT_EQ(ErrorOf([&] { dm->Query(sql); }), dberr::kSystemTables) << sql;
  }
  EXPECT_EQ(DescriptionOf([&] { dm->Query("SELECT A7 FROM users"); }),
            "Only the administrator may read the password column or held print, or change the "
            "users, locks, sessions and printhold tables");
  const char* changes[] = {
      "REPLACE INTO users (A0, A7, A8) VALUES ('admin', 'mine', '9')",
      "INSERT INTO users (A0, A8) VALUES ('me', '9')",
      "UPDATE users SET A8 = '9'",
      "DELETE FROM locks",
      "DELETE FROM \"LOCKS\"",
      "INSERT INTO printhold VALUES ('0', '1', 'x')",
      "DROP TABLE printhold",
      "ALTER TABLE users ADD COLUMN x TEXT",
      "ALTER TABLE locks RENAME TO gone",
      "CREATE TABLE stolen AS SELECT A0, A7 FROM users",
      "INSERT INTO md (A0, A1) SELECT A0, A7 FROM users",
      "CREATE TABLE temp.locks (A0 TEXT, UserInst TEXT)",
      "CREATE INDEX byName ON users (A1)",
      "CREATE TRIGGER mine AFTER INSERT ON md BEGIN DELETE FROM locks; END",
      "INSERT INTO notes VALUES ('fires the trigger')",
      "ATTACH DATABASE 'JetMDB/other.db' AS other",
      "DELETE FROM lk.boot",
      "DROP TABLE lk.boot",
      "CREATE TABLE lk.mine (A0 TEXT)",
      "PRAGMA writable_schema = ON",
      // The new name of a rename is not the authorizer's to see: "locks" in main would
      // hide the locks file's table.
      "ALTER TABLE notes RENAME TO locks",
      "ALTER TABLE md ADD COLUMN A21 TEXT",
  };
  for (const char* sql : changes) {
    EXPECT_EQ(ErrorOf([&] { dm->Execute(sql); }), dberr::kSystemTables) << sql;
  }
  // A TEMP table renamed after a guarded one would stand in its place on this connection.
  dm->Execute("CREATE TABLE temp.scratch (A0 TEXT)");
  EXPECT_EQ(ErrorOf([&] { dm->Execute("ALTER TABLE temp.scratch RENAME TO locks"); }),
            dberr::kSystemTables);
  dm->Execute("DROP TABLE temp.scratch");

  // Everything else stays open: other columns of users, reading locks, the account's files.
  EXPECT_EQ(All(*dm, "SELECT A0, A8 FROM users"), (Rows{{"admin", "3"}}));
  EXPECT_EQ(One(*dm, "SELECT count(*) FROM users"), "1");
  EXPECT_EQ(One(*dm, "SELECT UserInst FROM locks"), "admin*1");
  EXPECT_EQ(All(*dm, "SELECT name FROM pragma_table_info('md') WHERE cid = 0"), (Rows{{"A0"}}));
  EXPECT_EQ(dm->Execute("INSERT INTO md (A0, A1) VALUES ('HELLO', 'JScript')"), 1);
  dm->Execute("CREATE TABLE mine AS SELECT A0, A8 FROM users");
  EXPECT_EQ(dm->Execute("DELETE FROM md"), 1);

  // Nothing was read or changed; the engine's own statements run with the guard down.
  EXPECT_TRUE(dm->SetSystemTablesGuard(false));
  EXPECT_EQ(One(*dm, "SELECT group_concat(A0 || A7 || A8) FROM users"), before);
  EXPECT_EQ(One(*dm, "SELECT count(*) FROM locks"), "1");
  EXPECT_EQ(ErrorOf([&] { dm->Query("SELECT * FROM stolen"); }), dberr::kNoSuchTable);
  EXPECT_EQ(One(*dm, "SELECT A7 FROM who"), "hash");
  EXPECT_EQ(dm->Execute("DELETE FROM locks"), 1);
}

TEST_F(SqliteDriverTest, TheGuardLeavesAnotherAccountsOwnTablesOpen) {
  auto sales = NewAccount("sales");
  sales->Execute("CREATE TABLE users (A0 TEXT, A7 TEXT)");
  sales->Execute("INSERT INTO users VALUES ('x', 'own')");
  sales->SetSystemTablesGuard(true);
  EXPECT_EQ(One(*sales, "SELECT A7 FROM users"), "own");
  EXPECT_EQ(sales->Execute("DELETE FROM users"), 1);
  EXPECT_EQ(sales->Execute("ALTER TABLE users RENAME TO people"), 0);
  // Other database files stay out of reach: the system account's among them.
  NewAccount("dm");
  EXPECT_EQ(ErrorOf([&] { sales->Execute("ATTACH DATABASE '" + home_ + "/JetMDB/dm.db' AS dm"); }),
            dberr::kSystemTables);
}

TEST_F(SqliteDriverTest, TheLocksFileBesideTheAccountsIsNoAccount) {
  NewAccount("dm");  // makes JetMDB/locks.db
  ASSERT_TRUE(fs::is_regular_file(fs::path(home_) / "JetMDB" / "locks.db"));
  for (const std::string name : {"locks", "Locks"}) {
    EXPECT_FALSE(SqliteDriver::AccountExists(home_, name)) << name;
    EXPECT_EQ(ErrorOf([&] { Connected(name); }), dberr::kBadName) << name;
    EXPECT_EQ(ErrorOf([&] { SqliteDriver::CreateAccount(home_, name); }), dberr::kBadName) << name;
  }
  auto dm = Connected("dm");
  dm->UseDatabase("dm");
  EXPECT_EQ(ErrorOf([&] { dm->UseDatabase("locks"); }), dberr::kBadName);
  EXPECT_EQ(dm->CurrentDatabase(), "dm");
}

TEST_F(SqliteDriverTest, CursorMayOutliveItsDriver) {
  auto driver = NewAccount();
  driver->Execute("CREATE TABLE t (k)");
  driver->Execute("INSERT INTO t VALUES (1), (2), (3)");
  auto cursor = driver->Query("SELECT k FROM t ORDER BY k");
  ASSERT_TRUE(cursor->Next());
  auto in_transaction = (driver->Execute("BEGIN"), driver->Query("SELECT k FROM t ORDER BY k"));
  driver.reset();
  EXPECT_EQ(All(*cursor), (Rows{{"2"}, {"3"}}));
  EXPECT_EQ(All(*in_transaction).size(), 3u);
}

TEST_F(SqliteDriverTest, AStatementThatRunsForeverIsInterruptedFromAnotherThread) {
  auto driver = NewAccount();
  driver->Execute("CREATE TABLE t (a TEXT)");
  driver->Interrupt();  // nothing runs: later statements are not affected
  driver->Execute("INSERT INTO t VALUES ('kept')");
  const std::string endless =
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT COUNT(*) FROM c";
  for (const bool asQuery : {true, false}) {
    std::thread stopper([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      driver->Interrupt();
    });
    const std::string why = DescriptionOf([&] {
      if (asQuery) {
        driver->Query(endless)->Next();
      } else {
        driver->Execute("INSERT INTO t " + endless.substr(0, endless.rfind("SELECT")) +
                        "SELECT x FROM c");
      }
    });
    stopper.join();
    EXPECT_NE(why.find("interrupted"), std::string::npos)
        << (asQuery ? "a read: " : "a write: ") << why;
  }
  // The connection goes on, and the interrupted write left nothing behind.
  auto rows = driver->Query("SELECT a FROM t");
  ASSERT_TRUE(rows->Next());
  EXPECT_EQ(rows->Row()[0], "kept");
  EXPECT_FALSE(rows->Next());
}

// Keys are told apart by the engine's rule: letters without regard to case (Latin-1 ones
// too), every other difference kept, the marks 252-254 included; on every connection of the
// driver and on a plain SQLite handle that knows nothing of the engine.
TEST_F(SqliteDriverTest, KeysCompareWithoutRegardToCaseOnly) {
  auto driver = NewAccount();
  CreateFileTable(*driver, "JET", TableTemplate::kDataColumns, "people", 1);
  const auto insert = [&](Driver& d, const std::string& key) {
    return ErrorOf([&] { d.Execute("INSERT INTO people VALUES (?, 'x')", Values{{key}}); });
  };
  for (const char* key : {"M\xDCLLER", "MYLLER", "M\xFCLLER", "MULLER", "\xC4PFEL", "STRASSE",
                          "STRA\xDF"
                          "E",
                          "\xFE", "\xDE"}) {
    EXPECT_EQ(insert(*driver, key), 0) << key;
  }
  EXPECT_EQ(insert(*driver, "m\xDCller"), dberr::kIntegrity);
  EXPECT_EQ(insert(*driver, "\xE4pfel"), dberr::kIntegrity);  // äpfel
  const auto find = [&](Driver& d, const std::string& id) {
    const Dialect::KeyMatch key = Dialect::Of("JET").KeyEquals(id);
    return One(d, "SELECT A0 FROM people WHERE " + key.condition, {key.param});
  };
  EXPECT_EQ(find(*driver, "\xE4PFEL"), "\xC4PFEL");
  EXPECT_EQ(find(*driver, "m\xDCller"), "M\xDCLLER");
  EXPECT_EQ(find(*driver, "m\xFCller"), "M\xFCLLER");
  EXPECT_EQ(find(*driver, "\xFE"), "\xFE");
  EXPECT_EQ(find(*driver, "strasse"), "STRASSE");
  EXPECT_EQ(One(*driver, "SELECT count(*) FROM people WHERE A0 = ?", {{"strasse"}}), "1");
  // Another driver (another process, as far as the file knows) compares the same way.
  auto other = Connected();
  EXPECT_EQ(find(*other, "myller"), "MYLLER");
  EXPECT_EQ(insert(*other, "muller"), dberr::kIntegrity);
  EXPECT_EQ(insert(*other, "\xE4PFEL"), dberr::kIntegrity);

  // So does SQLite alone, as every other tool has it.
  sqlite3* plain = nullptr;
  ASSERT_EQ(sqlite3_open_v2((fs::path(home_) / "JetMDB" / "demo.db").c_str(), &plain,
                            SQLITE_OPEN_READWRITE, nullptr),
            SQLITE_OK);
  const auto run = [&](const std::string& sql) {
    char* error = nullptr;
    std::string out;
    const int rc = sqlite3_exec(
        plain, sql.c_str(),
        [](void* text, int, char** values, char**) {
          *static_cast<std::string*>(text) += values[0] ? values[0] : "NULL";
          return 0;
        },
        &out, &error);
    if (rc != SQLITE_OK) out = "error " + std::to_string(rc & 0xFF) + ": " + error;
    sqlite3_free(error);
    return out;
  };
  EXPECT_EQ(run("SELECT A0 FROM people WHERE A0 = 'myller'"), "MYLLER");
  EXPECT_EQ(run("INSERT INTO people VALUES ('\xC3\xA4pfel', 'y')"),
            "error 19: UNIQUE constraint failed: index 'people key'");
  EXPECT_EQ(run("INSERT INTO people VALUES ('Muller', 'y')"),
            "error 19: UNIQUE constraint failed: people.A0");
  EXPECT_EQ(run("INSERT INTO people VALUES ('\xC3\xA9mile', 'y')"), "");  // émile
  EXPECT_EQ(run("PRAGMA integrity_check"), "ok");
  sqlite3_close(plain);
  EXPECT_EQ(find(*driver, "\xC9MILE"), "\xE9mile");
  EXPECT_EQ(insert(*driver, "\xC9mile"), dberr::kIntegrity);
}

// A cursor on a small result has read it whole before the first row is taken, so keeping it
// holds no read open: the log can be written back in full while it lives.
TEST_F(SqliteDriverTest, ACursorKeptOnASmallResultHoldsNoReadOpen) {
  auto driver = NewAccount();
  driver->Execute("CREATE TABLE md (k TEXT PRIMARY KEY, v TEXT)");
  driver->Execute("INSERT INTO md VALUES ('HELLO', 'x'), ('BYE', 'y')");
  auto kept = driver->Query("SELECT k FROM md ORDER BY k");
  ASSERT_TRUE(kept->Next());
  auto writer = Connected();
  for (int i = 0; i < 50; ++i) writer->Execute("UPDATE md SET v = ?", Values{{std::to_string(i)}});
  // busy, frames in the log, frames written back
  const Rows checkpoint = All(*writer, "PRAGMA wal_checkpoint(PASSIVE)");
  ASSERT_EQ(checkpoint.size(), 1u);
  EXPECT_EQ(checkpoint[0][0], "0");
  EXPECT_EQ(checkpoint[0][1], checkpoint[0][2]);
  EXPECT_EQ(All(*kept), (Rows{{"HELLO"}}));
}

// A write that finds another connection writing waits for it, well past SQLite's own usual
// few seconds, rather than failing.
TEST_F(SqliteDriverTest, AWriteWaitsForALongTransactionOfAnotherProcess) {
  auto driver = NewAccount();
  driver->Execute("CREATE TABLE t (k TEXT)");
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open((fs::path(home_) / "JetMDB" / "demo.db").c_str(), &raw), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(raw, "BEGIN IMMEDIATE; INSERT INTO t VALUES ('first')", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  std::thread holder([raw] {
    std::this_thread::sleep_for(std::chrono::seconds(6));
    sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
  });
  int error = ErrorOf([&] { driver->Execute("INSERT INTO t VALUES ('second')"); });
  holder.join();
  sqlite3_close(raw);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(All(*driver, "SELECT k FROM t ORDER BY rowid"), (Rows{{"first"}, {"second"}}));
}

// Item locks live in a file of their own whose commits never wait for the disk; the system
// account's connections find its table under the plain name.
TEST_F(SqliteDriverTest, TheLocksFileIsSharedLazyAndStartedAfreshAfterABootOrDamage) {
  auto dm = NewAccount("dm");
  NewAccount("other");
  EXPECT_EQ(One(*dm, "PRAGMA lk.synchronous"), "0");
  // The account's own writes are synced after each commit by the writers, together.
  EXPECT_EQ(One(*dm, "PRAGMA synchronous"), "1");
  dm->Execute(
      "INSERT INTO locks (A0, UserInst) VALUES ('cust\xFF"
      "1', 'me*1')");
  // One table for every connection of every process: seen at once, a second holder refused
  // (keys compare as item ids do, without regard to case).
  auto second = Connected("dm");
  EXPECT_EQ(One(*second, "SELECT UserInst FROM locks"), "me*1");
  EXPECT_EQ(ErrorOf([&] {
              second->Execute(
                  "INSERT INTO locks VALUES ('CUST\xFF"
                  "1', 'you')");
            }),
            dberr::kIntegrity);
  // Another account's connection has no locks table to mistake for it.
  EXPECT_EQ(ErrorOf([&] { Connected("other")->Query("SELECT * FROM locks"); }),
            dberr::kNoSuchTable);
  // Reading connections of the driver (a query while another is open) see the same table.
  auto open = second->Query("SELECT A0 FROM locks");
  EXPECT_EQ(One(*second, "SELECT count(*) FROM locks"), "1");
  open.reset();

  // Marked by another boot: every holder is gone, so the next connection empties it.
  dm->Execute("UPDATE lk.boot SET id = 'a boot before this one'");
  auto afterBoot = Connected("dm");
  EXPECT_EQ(One(*afterBoot, "SELECT count(*) FROM locks"), "0");
  EXPECT_NE(One(*afterBoot, "SELECT id FROM lk.boot"), "a boot before this one");
  // Emptied in place: the connection that was open before uses the same file still.
  second->Execute("INSERT INTO locks VALUES ('k', 'me*2')");
  EXPECT_EQ(One(*afterBoot, "SELECT UserInst FROM locks"), "me*2");

  // Damaged (a crash of the machine while it was written): made anew.
  dm.reset();
  second.reset();
  afterBoot.reset();
  const fs::path file = fs::path(home_) / "JetMDB" / "locks.db";
  for (const char* suffix : {"-wal", "-shm"}) fs::remove(file.string() + suffix);
  std::ofstream(file, std::ios::binary | std::ios::trunc) << std::string(8192, '\x5A');
  auto repaired = Connected("dm");
  EXPECT_EQ(One(*repaired, "SELECT count(*) FROM locks"), "0");
  repaired->Execute("INSERT INTO locks VALUES ('k', 'me*3')");
  EXPECT_EQ(One(*Connected("dm"), "SELECT UserInst FROM locks"), "me*3");
}

// A home made when the locks lived in the system account's own file.
TEST_F(SqliteDriverTest, AnOlderHomesLocksMoveIntoTheLocksFile) {
  SqliteDriver::CreateAccount(home_, "dm");
  {
    sqlite3* db = nullptr;
    const std::string file = (fs::path(home_) / "JetMDB" / "dm.db").string();
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE locks (A0 TEXT PRIMARY KEY, UserInst TEXT); "
                           "INSERT INTO locks VALUES ('held', 'me*1')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  auto dm = Connected("dm");
  EXPECT_EQ(One(*dm, "SELECT UserInst FROM lk.locks WHERE A0 = 'held'"), "me*1");
  EXPECT_EQ(One(*dm, "SELECT count(*) FROM main.sqlite_master WHERE name = 'locks'"), "0");
}

}  // namespace
}  // namespace orvik
