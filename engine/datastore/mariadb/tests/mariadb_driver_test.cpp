#include "mariadb_driver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "mariadb_test_server.h"
#include "vb_error.h"

namespace orvik {
namespace {

using mariadb_test::ScratchDatabase;
using mariadb_test::UniqueName;
using Rows = std::vector<std::vector<DbValue>>;

// The error number `action` throws, 0 when it throws nothing.
int ErrorOf(const std::function<void()>& action, std::string* description = nullptr) {
  try {
    action();
  } catch (const VbError& e) {
    if (description != nullptr) *description = e.description();
    return e.number();
  }
  return 0;
}

Rows ReadAll(Cursor& cursor) {
  Rows rows;
  while (cursor.Next()) rows.push_back(cursor.Row());
  return rows;
}

Rows QueryAll(Driver& driver, std::string_view sql, std::vector<DbValue> params = {}) {
  std::unique_ptr<Cursor> cursor = driver.Query(sql, params);
  return ReadAll(*cursor);
}

DbValue QueryValue(Driver& driver, std::string_view sql, std::vector<DbValue> params = {}) {
  Rows rows = QueryAll(driver, sql, std::move(params));
  if (rows.empty() || rows[0].empty()) return std::nullopt;
  return rows[0][0];
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

// A driver connected to a fresh database of its own.
class MariaDbTest : public ::testing::Test {
 protected:
  void SetUp() override { driver_.Connect(db_.Params()); }

  ScratchDatabase db_;
  MariaDbDriver driver_;
};

// An account on the test server, dropped with the test.
class ScratchUser {
 public:
  ScratchUser(ScratchDatabase& db, const std::string& password) : db_(db), name_(UniqueName("u")) {
    for (const char* host : {"localhost", "127.0.0.1"}) {
      std::string account = "'" + name_ + "'@'" + host + "'";
      db_.Admin("CREATE USER " + account + " IDENTIFIED BY " + db_.admin().Quote(password));
      db_.Admin("GRANT ALL PRIVILEGES ON `" + db_.name() + "`.* TO " + account);
    }
  }
  ~ScratchUser() {
    try {
      db_.Admin("DROP USER IF EXISTS '" + name_ + "'@'localhost', '" + name_ + "'@'127.0.0.1'");
    } catch (...) {
    }
  }
  const std::string& name() const { return name_; }

 private:
  ScratchDatabase& db_;
  std::string name_;
};

// ---- Connecting ----

TEST_F(MariaDbTest, ConnectsOverTcpAndThroughTheSocket) {
  EXPECT_EQ(driver_.Kind(), "MYSQL");
  EXPECT_TRUE(driver_.IsOpen());
  EXPECT_EQ(driver_.CurrentDatabase(), db_.name());
  EXPECT_EQ(QueryValue(driver_, "SELECT DATABASE()"), db_.name());
  EXPECT_GT(driver_.ConnectionId(), 0);
  EXPECT_EQ(QueryValue(driver_, "SELECT CONNECTION_ID()"), std::to_string(driver_.ConnectionId()));
  EXPECT_EQ(QueryValue(driver_, "SELECT @@SESSION.sql_mode"), "NO_ENGINE_SUBSTITUTION");
  EXPECT_EQ(QueryValue(driver_, "SELECT @@character_set_client"), "latin1");

  MariaDbDriver local;
  local.Connect(db_.SocketParams());
  EXPECT_EQ(QueryValue(local, "SELECT DATABASE()"), db_.name());
  EXPECT_NE(local.ConnectionId(), driver_.ConnectionId());
  local.Close();
  EXPECT_FALSE(local.IsOpen());
  EXPECT_EQ(local.ConnectionId(), 0);
  EXPECT_EQ(ErrorOf([&] { local.Execute("SELECT 1"); }), dberr::kUnspecified);
}

std::set<std::string> SocketsOfThisProcess() {
  std::set<std::string> sockets;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    const std::string target = std::filesystem::read_symlink(fd.path(), ec).string();
    if (!ec && target.rfind("socket:", 0) == 0) sockets.insert(target);
  }
  return sockets;
}

TEST_F(MariaDbTest, ACommandStartedBesideConnectionsHoldsNoneOfThem) {
  const std::set<std::string> before = SocketsOfThisProcess();
  MariaDbDriver tcp;
  tcp.Connect(db_.Params());
  MariaDbDriver local;
  local.Connect(db_.SocketParams());
  std::set<std::string> connections;
  for (const std::string& s : SocketsOfThisProcess())
    if (before.count(s) == 0) connections.insert(s);
  ASSERT_EQ(connections.size(), 2u);
  FILE* command = popen("for fd in /proc/self/fd/*; do readlink \"$fd\"; done", "r");
  ASSERT_NE(command, nullptr);
  char line[256];
  while (std::fgets(line, sizeof line, command) != nullptr) {
    std::string target(line);
    if (!target.empty() && target.back() == '\n') target.pop_back();
    EXPECT_EQ(connections.count(target), 0u) << target;
  }
  pclose(command);
}

TEST_F(MariaDbTest, UnknownDatabaseIsAnErrorAndIsNotCreated) {
  std::string absent = UniqueName("absent_");
  MariaDbDriver other;
  std::string description;
  EXPECT_EQ(ErrorOf([&] { other.Connect(db_.server().Params(absent)); }, &description),
            dberr::kNoSuchDatabase);
  EXPECT_NE(description.find("Unknown database"), std::string::npos) << description;
  EXPECT_FALSE(other.IsOpen());
  EXPECT_EQ(db_.admin().Value("SELECT COUNT(*) FROM information_schema.SCHEMATA "
                              "WHERE SCHEMA_NAME = '" +
                              absent + "'"),
            "0");
}

TEST_F(MariaDbTest, BadNamesAreRefusedBeforeReachingTheServer) {
  MariaDbDriver other;
  for (std::string bad : {"", "a;DROP DATABASE x", "a b", "a`b", "a'b", "x/../y", "a.b"}) {
    EXPECT_EQ(ErrorOf([&] { other.Connect(db_.server().Params(bad)); }), dberr::kBadName) << bad;
    EXPECT_EQ(ErrorOf([&] { driver_.UseDatabase(bad); }), dberr::kBadName) << bad;
  }
  EXPECT_FALSE(other.IsOpen());
  for (std::string bad : {"t`; DROP TABLE x; --", "a..b", "t x", ".t", ""}) {
    EXPECT_EQ(ErrorOf([&] { driver_.ListColumns(bad); }), dberr::kBadName) << bad;
  }
  EXPECT_EQ(driver_.CurrentDatabase(), db_.name());
  EXPECT_EQ(QueryValue(driver_, "SELECT DATABASE()"), db_.name());
}

TEST_F(MariaDbTest, WrongPasswordIsRefused) {
  ScratchUser user(db_, "right");
  for (bool socket : {false, true}) {
    ConnectParams params = socket ? db_.SocketParams() : db_.Params();
    params.user = user.name();
    params.password = "wrong";
    MariaDbDriver other;
    std::string description;
    EXPECT_EQ(ErrorOf([&] { other.Connect(params); }, &description), dberr::kUnspecified);
    EXPECT_NE(description.find("Access denied"), std::string::npos) << description;
    params.password = "";
    EXPECT_EQ(ErrorOf([&] { other.Connect(params); }), dberr::kUnspecified);
    params.password = "right";
    EXPECT_EQ(ErrorOf([&] { other.Connect(params); }), 0) << (socket ? "socket" : "tcp");
  }
}

TEST_F(MariaDbTest, PasswordWithQuotesSemicolonsAndBracesWorks) {
  const std::string password = "a'b\"c;d{e}f\\g`h=i}j;Pwd={x} ";
  ScratchUser user(db_, password);
  for (bool socket : {false, true}) {
    ConnectParams params = socket ? db_.SocketParams() : db_.Params();
    params.user = user.name();
    params.password = password;
    MariaDbDriver other;
    ASSERT_EQ(ErrorOf([&] { other.Connect(params); }), 0) << (socket ? "socket" : "tcp");
    DbValue current = QueryValue(other, "SELECT CURRENT_USER()");
    ASSERT_TRUE(current);
    EXPECT_EQ(current->substr(0, user.name().size() + 1), user.name() + "@");
    // A prefix of the password must not do.
    params.password = password.substr(0, 5);
    EXPECT_EQ(ErrorOf([&] { other.Connect(params); }), dberr::kUnspecified);
  }
  ConnectParams with_nul = db_.Params();
  with_nul.user = user.name();
  with_nul.password = std::string("a'b\0rest", 8);
  MariaDbDriver other;
  EXPECT_EQ(ErrorOf([&] { other.Connect(with_nul); }), dberr::kUnspecified);
}

TEST_F(MariaDbTest, UnreachableServerAndBadPortAreConnectionErrors) {
  MariaDbDriver other;
  ConnectParams params = db_.Params();
  params.port = "1";
  std::string description;
  EXPECT_EQ(ErrorOf([&] { other.Connect(params); }, &description), dberr::kUnspecified);
  EXPECT_FALSE(description.empty());
  params.socket = "/nonexistent/mysqld.sock";
  EXPECT_EQ(ErrorOf([&] { other.Connect(params); }), dberr::kUnspecified);
  for (std::string port : {"abc", "70000", "0", "33x"}) {
    params = db_.Params();
    params.port = port;
    EXPECT_EQ(ErrorOf([&] { other.Connect(params); }), dberr::kUnspecified) << port;
  }
  EXPECT_FALSE(other.IsOpen());
}

TEST_F(MariaDbTest, FailedReconnectKeepsTheOpenConnection) {
  driver_.Execute("CREATE TABLE t (n INT)");
  ConnectParams params = db_.Params();
  params.account = UniqueName("absent_");
  EXPECT_EQ(ErrorOf([&] { driver_.Connect(params); }), dberr::kNoSuchDatabase);
  EXPECT_TRUE(driver_.IsOpen());
  EXPECT_EQ(driver_.CurrentDatabase(), db_.name());
  EXPECT_EQ(driver_.Execute("INSERT INTO t VALUES (1)"), 1);
}

TEST_F(MariaDbTest, CursorOfAClosedConnectionFailsInsteadOfCrashing) {
  std::unique_ptr<Cursor> cursor = driver_.Query("SELECT seq FROM seq_1_to_1000");
  ASSERT_TRUE(cursor->Next());
  driver_.Close();
  EXPECT_EQ(ErrorOf([&] { cursor->Next(); }), dberr::kUnspecified);

  auto other = std::make_unique<MariaDbDriver>();
  other->Connect(db_.Params());
  cursor = other->Query("SELECT seq FROM seq_1_to_1000");
  ASSERT_TRUE(cursor->Next());
  other.reset();
  EXPECT_EQ(ErrorOf([&] { cursor->Next(); }), dberr::kUnspecified);
  cursor.reset();
}

// ---- Values ----

TEST_F(MariaDbTest, Latin1BytesRoundTripThroughParameters) {
  std::string all;
  for (int c = 1; c <= 255; ++c) all.push_back(static_cast<char>(c));
  driver_.Execute(
      "CREATE TABLE t (id INT PRIMARY KEY, a TEXT, u TEXT CHARACTER SET utf8mb4) "
      "DEFAULT CHARSET=latin1");
  EXPECT_EQ(driver_.Execute("INSERT INTO t VALUES (?, ?, ?)", {{DbValue("1"), all, all}}), 1);

  Rows rows = QueryAll(driver_, "SELECT a, u, HEX(a) FROM t WHERE id = ?", {DbValue("1")});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], all);
  EXPECT_EQ(rows[0][1], all);
  // Stored as the bytes themselves, not re-encoded on the way in.
  EXPECT_EQ(rows[0][2], Hex(all));
  EXPECT_EQ(QueryValue(driver_, "SELECT id FROM t WHERE a = ? AND u = ?", {all, all}), "1");

  // Marks and accented letters through a plain statement, too.
  std::string marks =
      "caf\xE9\xFE"
      "1\xFD"
      "2\xFC"
      "3";
  driver_.Execute("INSERT INTO t (id, a) VALUES (2, '" + marks + "')");
  EXPECT_EQ(QueryValue(driver_, "SELECT a FROM t WHERE id = 2"), marks);
  EXPECT_EQ(QueryValue(driver_, "SELECT HEX(a) FROM t WHERE id = 2"), Hex(marks));
}

TEST_F(MariaDbTest, NullAndEmptyStayApart) {
  driver_.Execute("CREATE TABLE t (id INT, v TEXT)");
  driver_.Execute("INSERT INTO t VALUES (?, ?), (?, ?)",
                  {{DbValue("1"), std::nullopt, DbValue("2"), DbValue("")}});
  Rows rows = QueryAll(driver_, "SELECT id, v FROM t ORDER BY id");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], std::nullopt);
  EXPECT_EQ(rows[1][1], DbValue(""));
  EXPECT_EQ(QueryValue(driver_, "SELECT COUNT(*) FROM t WHERE v IS NULL"), "1");
  EXPECT_EQ(QueryValue(driver_, "SELECT ?", {std::nullopt}), std::nullopt);
  EXPECT_EQ(QueryValue(driver_, "SELECT NULL"), std::nullopt);
}

TEST_F(MariaDbTest, LongValuesAreFetchedWhole) {
  driver_.Execute("CREATE TABLE t (id INT PRIMARY KEY, v LONGTEXT)");
  std::vector<std::string> values;
  for (std::size_t size : {255u, 256u, 257u, 4096u, 300000u}) {
    std::string v;
    for (std::size_t i = 0; i < size; ++i) v.push_back(static_cast<char>(i * 7 % 256));
    values.push_back(v);
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    driver_.Execute("INSERT INTO t VALUES (?, ?)", {{DbValue(std::to_string(i)), values[i]}});
  }
  // Short columns beside the long one keep their own values.
  Rows rows = QueryAll(driver_, "SELECT id, v, LENGTH(v), 'x' FROM t ORDER BY id");
  ASSERT_EQ(rows.size(), values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(rows[i][0], std::to_string(i));
    ASSERT_TRUE(rows[i][1]);
    EXPECT_EQ(rows[i][1]->size(), values[i].size());
    EXPECT_TRUE(*rows[i][1] == values[i]) << "row " << i;
    EXPECT_EQ(rows[i][2], std::to_string(values[i].size()));
    EXPECT_EQ(rows[i][3], "x");
  }
}

TEST_F(MariaDbTest, OtherTypesComeAsTextWithFieldNames) {
  std::unique_ptr<Cursor> cursor = driver_.Query(
      "SELECT 42 AS Whole, 1.50 AS Amount, -7 AS Neg, CAST('2024-01-02' AS DATE) AS Day, "
      "CAST('2024-01-02 03:04:05' AS DATETIME) AS Moment, NULL AS Nothing");
  EXPECT_EQ(cursor->FieldNames(),
            (std::vector<std::string>{"Whole", "Amount", "Neg", "Day", "Moment", "Nothing"}));
  ASSERT_TRUE(cursor->Next());
  EXPECT_EQ(cursor->Row(), (std::vector<DbValue>{"42", "1.50", "-7", "2024-01-02",
                                                 "2024-01-02 03:04:05", std::nullopt}));
  EXPECT_FALSE(cursor->Next());
  EXPECT_FALSE(cursor->Next());
}

// ---- Statements ----

TEST_F(MariaDbTest, ExecuteCountsMatchedRowsNotOnlyChangedOnes) {
  driver_.Execute("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(10))");
  EXPECT_EQ(driver_.Execute("INSERT INTO t VALUES (1, 'x'), (2, 'x'), (3, 'y')"), 3);
  EXPECT_EQ(driver_.Execute("UPDATE t SET v = 'x' WHERE id = 1"), 1);
  EXPECT_EQ(driver_.Execute("UPDATE t SET v = ? WHERE id = ?", {{DbValue("x"), DbValue("2")}}), 1);
  EXPECT_EQ(driver_.Execute("UPDATE t SET v = 'x'"), 3);
  EXPECT_EQ(driver_.Execute("UPDATE t SET v = 'z' WHERE id = 99"), 0);
  EXPECT_EQ(driver_.Execute("DELETE FROM t WHERE v = ?", {{DbValue("x")}}), 3);
  // Rows returned to Execute are read and counted, and the connection goes on.
  driver_.Execute("INSERT INTO t VALUES (1, 'a'), (2, 'b')");
  EXPECT_EQ(driver_.Execute("SELECT * FROM t"), 2);
  EXPECT_EQ(driver_.Execute("SELECT * FROM t WHERE id = ?", {{DbValue("2")}}), 1);
  EXPECT_EQ(QueryValue(driver_, "SELECT COUNT(*) FROM t"), "2");
}

TEST_F(MariaDbTest, NoStrictMode) {
  driver_.Execute("CREATE TABLE t (c CHAR(3), n INT)");
  EXPECT_EQ(driver_.Execute("INSERT INTO t VALUES (?, ?)", {{DbValue("abcdef"), DbValue("12x")}}),
            1);
  Rows rows = QueryAll(driver_, "SELECT c, n FROM t");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (std::vector<DbValue>{"abc", "12"}));
}

TEST_F(MariaDbTest, ProcedureCallLeavesTheConnectionUsable) {
  driver_.Execute("CREATE TABLE t (n INT)");
  driver_.Execute("CREATE PROCEDURE fill(IN k INT) BEGIN INSERT INTO t VALUES (k); END");
  driver_.Execute("CALL fill(1)");
  driver_.Execute("CALL fill(?)", {{DbValue("2")}});
  EXPECT_EQ(QueryValue(driver_, "SELECT SUM(n) FROM t"), "3");

  driver_.Execute("CREATE PROCEDURE listing() BEGIN SELECT n FROM t ORDER BY n; END");
  std::unique_ptr<Cursor> listed = driver_.Query("CALL listing()");
  EXPECT_EQ(driver_.Execute("CALL fill(3)"), 1);
  EXPECT_EQ(ReadAll(*listed), (Rows{{DbValue("1")}, {DbValue("2")}}));
  EXPECT_EQ(driver_.Execute("CALL listing()"), 3);
  EXPECT_EQ(QueryValue(driver_, "SELECT SUM(n) FROM t"), "6");
}

TEST_F(MariaDbTest, OnlyOneStatementPerCall) {
  driver_.Execute("CREATE TABLE t (n INT)");
  EXPECT_EQ(ErrorOf([&] { driver_.Execute("INSERT INTO t VALUES (1); DROP TABLE t"); }),
            dberr::kErrorsInCommand);
  EXPECT_EQ(ErrorOf([&] { driver_.Query("SELECT 1; DROP TABLE t"); }), dberr::kErrorsInCommand);
  EXPECT_EQ(QueryValue(driver_, "SELECT COUNT(*) FROM t"), "0");
}

TEST_F(MariaDbTest, ParameterCountMustMatch) {
  driver_.Execute("CREATE TABLE t (a INT, b INT)");
  std::string description;
  EXPECT_EQ(ErrorOf([&] { driver_.Execute("INSERT INTO t VALUES (?, ?)", {{DbValue("1")}}); },
                    &description),
            dberr::kErrorsInCommand);
  EXPECT_NE(description.find("2 parameter"), std::string::npos) << description;
  EXPECT_EQ(ErrorOf([&] { driver_.Query("SELECT a FROM t", {{DbValue("1")}}); }),
            dberr::kErrorsInCommand);
  EXPECT_EQ(driver_.Execute("INSERT INTO t VALUES (1, 2)"), 1);
}

// ---- Cursors ----

TEST_F(MariaDbTest, CursorStreamsWhileOtherStatementsRunOnTheSameConnection) {
  constexpr int kRows = 100000;
  driver_.Execute("CREATE TABLE big (id INT PRIMARY KEY, v VARCHAR(20))");
  driver_.Execute("CREATE TABLE counter (n INT)");
  driver_.Execute("INSERT INTO counter VALUES (0)");
  EXPECT_EQ(driver_.Execute("INSERT INTO big SELECT seq, CONCAT('row', seq) FROM seq_1_to_" +
                            std::to_string(kRows)),
            kRows);
  std::string fetches_before =
      QueryAll(driver_, "SHOW SESSION STATUS LIKE 'Com_stmt_fetch'").at(0).at(1).value_or("");

  std::unique_ptr<Cursor> cursor =
      driver_.Query("SELECT id, v FROM big WHERE id > ? ORDER BY id", {{DbValue("0")}});
  EXPECT_EQ(cursor->FieldNames(), (std::vector<std::string>{"id", "v"}));
  int seen = 0;
  while (cursor->Next()) {
    ++seen;
    const std::vector<DbValue>& row = cursor->Row();
    ASSERT_EQ(row[0], std::to_string(seen));
    ASSERT_EQ(row[1], "row" + std::to_string(seen));
    if (seen % 1000 == 0) {
      ASSERT_EQ(driver_.Execute("UPDATE counter SET n = n + 1"), 1);
      ASSERT_EQ(driver_.Execute("UPDATE big SET v = ? WHERE id = ?",
                                {{DbValue("changed"), DbValue(std::to_string(seen))}}),
                1);
      ASSERT_EQ(QueryValue(driver_, "SELECT n FROM counter"), std::to_string(seen / 1000));
    }
  }
  EXPECT_EQ(seen, kRows);
  EXPECT_EQ(QueryValue(driver_, "SELECT COUNT(*) FROM big WHERE v = 'changed'"), "100");

  // The rows came through the server's cursor, a prefetch batch per round trip, not at once.
  std::string fetches_after =
      QueryAll(driver_, "SHOW SESSION STATUS LIKE 'Com_stmt_fetch'").at(0).at(1).value_or("");
  EXPECT_GE(std::stoll(fetches_after) - std::stoll(fetches_before), kRows / 256);
}

TEST_F(MariaDbTest, TwoCursorsInterleave) {
  driver_.Execute("CREATE TABLE t (n INT)");
  driver_.Execute("INSERT INTO t SELECT seq FROM seq_1_to_600");
  std::unique_ptr<Cursor> up = driver_.Query("SELECT n FROM t ORDER BY n");
  std::unique_ptr<Cursor> down = driver_.Query("SELECT n FROM t ORDER BY n DESC");
  for (int i = 1; i <= 600; ++i) {
    ASSERT_TRUE(up->Next());
    ASSERT_TRUE(down->Next());
    ASSERT_EQ(up->Row()[0], std::to_string(i));
    ASSERT_EQ(down->Row()[0], std::to_string(601 - i));
  }
  EXPECT_FALSE(up->Next());
  EXPECT_FALSE(down->Next());
}

TEST_F(MariaDbTest, StatementsWithoutCursorsStillLeaveTheConnectionFree) {
  driver_.Execute("CREATE TABLE a_table (n INT)");
  driver_.Execute("CREATE TABLE b_table (n INT)");
  // SHOW is prepared but gets no server cursor; EXECUTE cannot be prepared at all.
  std::unique_ptr<Cursor> shown = driver_.Query("SHOW TABLES");
  driver_.Execute("PREPARE pick FROM 'SELECT seq, ''s'' FROM seq_1_to_3'");
  std::unique_ptr<Cursor> picked = driver_.Query("EXECUTE pick");
  EXPECT_EQ(driver_.Execute("INSERT INTO a_table VALUES (1)"), 1);
  EXPECT_EQ(ReadAll(*shown), (Rows{{DbValue("a_table")}, {DbValue("b_table")}}));
  EXPECT_EQ(picked->FieldNames().size(), 2u);
  EXPECT_EQ(ReadAll(*picked), (Rows{{DbValue("1"), DbValue("s")},
                                    {DbValue("2"), DbValue("s")},
                                    {DbValue("3"), DbValue("s")}}));
  // A statement without rows gives an empty cursor, and is carried out.
  std::unique_ptr<Cursor> none = driver_.Query("UPDATE a_table SET n = 5");
  EXPECT_TRUE(none->FieldNames().empty());
  EXPECT_FALSE(none->Next());
  EXPECT_EQ(QueryValue(driver_, "SELECT n FROM a_table"), "5");
}

// ---- Catalog ----

TEST_F(MariaDbTest, ListTablesInServerOrderWithViews) {
  EXPECT_TRUE(driver_.ListTables().empty());
  driver_.Execute("CREATE TABLE b_second (n INT)");
  driver_.Execute("CREATE TABLE a_first (n INT)");
  driver_.Execute("CREATE VIEW c_view AS SELECT n FROM a_first");
  std::vector<TableInfo> tables = driver_.ListTables();
  ASSERT_EQ(tables.size(), 3u);
  EXPECT_EQ(tables[0].name, "a_first");
  EXPECT_EQ(tables[0].type, "TABLE");
  EXPECT_EQ(tables[1].name, "b_second");
  EXPECT_EQ(tables[1].type, "TABLE");
  EXPECT_EQ(tables[2].name, "c_view");
  EXPECT_EQ(tables[2].type, "VIEW");
}

TEST_F(MariaDbTest, ListColumnsInDeclaredOrder) {
  driver_.Execute("CREATE TABLE `my-file.v2` (id INT, name VARCHAR(25), memo TEXT, k CHAR(8))");
  std::vector<ColumnInfo> columns = driver_.ListColumns("my-file.v2");
  ASSERT_EQ(columns.size(), 4u);
  EXPECT_EQ(columns[0].name, "id");
  EXPECT_EQ(columns[0].type.substr(0, 3), "int");
  EXPECT_EQ(columns[1].name, "name");
  EXPECT_EQ(columns[1].type, "varchar(25)");
  EXPECT_EQ(columns[2].name, "memo");
  EXPECT_EQ(columns[2].type, "text");
  EXPECT_EQ(columns[3].name, "k");
  EXPECT_EQ(columns[3].type, "char(8)");
  EXPECT_EQ(ErrorOf([&] { driver_.ListColumns("missing"); }), dberr::kNoSuchTable);
}

TEST_F(MariaDbTest, TableNamesAreFoldedToLowerCase) {
  EXPECT_EQ(QueryValue(driver_, "SELECT @@lower_case_table_names"), "1");
  driver_.Execute("CREATE TABLE MixedCase (n INT)");
  EXPECT_EQ(driver_.Execute("INSERT INTO MIXEDCASE VALUES (1)"), 1);
  EXPECT_EQ(QueryValue(driver_, "SELECT n FROM mixedcase"), "1");
  ASSERT_EQ(driver_.ListTables().size(), 1u);
  EXPECT_EQ(driver_.ListTables()[0].name, "mixedcase");
  EXPECT_EQ(driver_.ListColumns("MIXEDcase").size(), 1u);
}

TEST_F(MariaDbTest, UseDatabaseMovesOnlyWhenTheDatabaseExists) {
  ScratchDatabase second;
  second.Admin("CREATE TABLE `" + second.name() + "`.t (n INT)");
  second.Admin("INSERT INTO `" + second.name() + "`.t VALUES (7)");
  driver_.Execute("CREATE TABLE t (n INT)");
  driver_.Execute("INSERT INTO t VALUES (1)");

  driver_.UseDatabase(second.name());
  EXPECT_EQ(driver_.CurrentDatabase(), second.name());
  EXPECT_EQ(QueryValue(driver_, "SELECT n FROM t"), "7");

  std::string absent = UniqueName("absent_");
  EXPECT_EQ(ErrorOf([&] { driver_.UseDatabase(absent); }), dberr::kNoSuchDatabase);
  EXPECT_EQ(driver_.CurrentDatabase(), second.name());
  EXPECT_EQ(QueryValue(driver_, "SELECT n FROM t"), "7");
  EXPECT_EQ(db_.admin().Value("SELECT COUNT(*) FROM information_schema.SCHEMATA "
                              "WHERE SCHEMA_NAME = '" +
                              absent + "'"),
            "0");

  driver_.UseDatabase(db_.name());
  EXPECT_EQ(QueryValue(driver_, "SELECT n FROM t"), "1");
}

// ---- Errors ----

TEST_F(MariaDbTest, ErrorsCarryTheServersNumberMapping) {
  driver_.Execute("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(5) NOT NULL)");
  driver_.Execute("INSERT INTO t VALUES (1, 'a')");
  std::string description;

  EXPECT_EQ(ErrorOf([&] { driver_.Execute("SELECT * FROM missing"); }, &description),
            dberr::kNoSuchTable);
  EXPECT_NE(description.find("missing' doesn't exist"), std::string::npos) << description;
  EXPECT_EQ(ErrorOf([&] { driver_.Query("SELECT * FROM missing WHERE a = ?", {{DbValue("1")}}); }),
            dberr::kNoSuchTable);

  EXPECT_EQ(ErrorOf([&] { driver_.Execute("INSERT INTO t VALUES (1, 'b')"); }, &description),
            dberr::kIntegrity);
  EXPECT_NE(description.find("Duplicate entry"), std::string::npos) << description;
  EXPECT_EQ(ErrorOf([&] {
              driver_.Execute("INSERT INTO t VALUES (?, ?)", {{DbValue("1"), DbValue("c")}});
            }),
            dberr::kIntegrity);
  EXPECT_EQ(ErrorOf([&] {
              driver_.Execute("INSERT INTO t VALUES (?, ?)", {{DbValue("2"), std::nullopt}});
            }),
            dberr::kIntegrity);

  EXPECT_EQ(ErrorOf([&] { driver_.Execute("SELEKT 1"); }, &description), dberr::kErrorsInCommand);
  EXPECT_NE(description.find("SQL syntax"), std::string::npos) << description;
  EXPECT_EQ(ErrorOf([&] { driver_.Query("SELEKT ?", {{DbValue("1")}}); }), dberr::kErrorsInCommand);
  EXPECT_EQ(ErrorOf([&] { driver_.Execute("SELECT nosuchcolumn FROM t"); }),
            dberr::kErrorsInCommand);

  // After all of these the connection still works.
  EXPECT_EQ(QueryValue(driver_, "SELECT v FROM t WHERE id = 1"), "a");
}

TEST(MariaDbClosedTest, ADriverNeverConnectedRefusesWork) {
  MariaDbDriver driver;
  EXPECT_FALSE(driver.IsOpen());
  EXPECT_EQ(driver.CurrentDatabase(), "");
  EXPECT_EQ(driver.ConnectionId(), 0);
  EXPECT_EQ(ErrorOf([&] { driver.Execute("SELECT 1"); }), dberr::kUnspecified);
  EXPECT_EQ(ErrorOf([&] { driver.Query("SELECT 1"); }), dberr::kUnspecified);
  EXPECT_EQ(ErrorOf([&] { driver.ListTables(); }), dberr::kUnspecified);
  EXPECT_EQ(ErrorOf([&] { driver.UseDatabase("mysql"); }), dberr::kUnspecified);
}

// ---- Cancelling ----

TEST_F(MariaDbTest, AStatementThatRunsForeverIsCancelledFromAnotherThreadAndTheConnectionLives) {
  driver_.Interrupt();  // nothing runs: nothing happens
  EXPECT_EQ(QueryValue(driver_, "SELECT 1"), "1");
  const auto t0 = std::chrono::steady_clock::now();
  std::thread stopper([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    driver_.Interrupt();
  });
  std::string why;
  const int number =
      ErrorOf([&] { QueryAll(driver_, "SELECT MAX(MD5(seq)) FROM seq_1_to_100000000000"); }, &why);
  stopper.join();
  EXPECT_NE(number, 0) << "a cancelled statement fails";
  EXPECT_NE(why.find("interrupted"), std::string::npos) << why;
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
  EXPECT_EQ(QueryValue(driver_, "SELECT 2"), "2");
}

// ---- Kept statements and look-ups ----

Rows LookupAll(Driver& driver, std::string_view sql, std::vector<DbValue> params) {
  std::unique_ptr<Cursor> cursor = driver.Lookup(sql, params);
  return ReadAll(*cursor);
}

TEST_F(MariaDbTest, LookupsReadWholeRowsAndKeptStatementsFollowTheirTables) {
  driver_.Execute("CREATE TABLE items (A0 VARCHAR(20) PRIMARY KEY, A1 LONGTEXT)");
  const std::string wide(70000, '\xFD');
  for (const auto& [id, value] : {std::pair<std::string, std::string>{"a", "1"}, {"b", wide}})
    driver_.Execute("INSERT INTO items VALUES (?, ?)", std::vector<DbValue>{id, value});
  const std::string byKey = "SELECT * FROM items WHERE A0 = ?";
  // The same text again and again, a value longer than a column buffer among them.
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(LookupAll(driver_, byKey, {"a"}), (Rows{{"a", "1"}}));
    EXPECT_EQ(LookupAll(driver_, byKey, {"b"}), (Rows{{"b", wide}}));
    EXPECT_TRUE(LookupAll(driver_, byKey, {"none"}).empty());
  }
  // A changed table: the kept statement answers with its new columns.
  driver_.Execute("ALTER TABLE items ADD COLUMN A2 TEXT");
  driver_.Execute("UPDATE items SET A2 = ? WHERE A0 = ?", std::vector<DbValue>{"two", "a"});
  EXPECT_EQ(LookupAll(driver_, byKey, {"a"}), (Rows{{"a", "1", "two"}}));
  // A dropped table fails the look-up; made again, the same text finds the new rows.
  driver_.Execute("DROP TABLE items");
  EXPECT_EQ(ErrorOf([&] { LookupAll(driver_, byKey, {"a"}); }), dberr::kNoSuchTable);
  driver_.Execute("CREATE TABLE items (A0 VARCHAR(20) PRIMARY KEY, A1 TEXT)");
  driver_.Execute("INSERT INTO items VALUES (?, ?)", std::vector<DbValue>{"a", "again"});
  EXPECT_EQ(LookupAll(driver_, byKey, {"a"}), (Rows{{"a", "again"}}));
}

// A one-off look-up (a login's reads of its user, the catalog, the sessions) is sent with its
// execution at once: it reads what a cursor reads, value for value, and its failures are the
// same failures, after which the connection goes on.
TEST_F(MariaDbTest, OneOffLookupsReadWhatACursorReads) {
  driver_.Execute("CREATE TABLE t (k INT PRIMARY KEY, v LONGTEXT, d DOUBLE, m DATETIME(3))");
  for (int k = 1; k <= 300; ++k)
    driver_.Execute("INSERT INTO t VALUES (?, ?, ?, ?)",
                    std::vector<DbValue>{std::to_string(k),
                                         k == 7 ? DbValue() : DbValue(std::string(k * 3, 'x')),
                                         std::to_string(k) + ".25", "2024-01-02 03:04:05.125"});
  for (const char* sql : {"SELECT * FROM t ORDER BY k", "SELECT COUNT(*), MAX(d) FROM t",
                          "SELECT * FROM t WHERE k = 0", "SHOW TABLES"}) {
    EXPECT_EQ(LookupAll(driver_, sql, {}), QueryAll(driver_, sql)) << sql;
  }
  EXPECT_EQ(driver_.Lookup("SELECT k AS Key1, v FROM t")->FieldNames(),
            (std::vector<std::string>{"Key1", "v"}));
  EXPECT_EQ(ErrorOf([&] { LookupAll(driver_, "SELECT * FROM missing", {}); }), dberr::kNoSuchTable);
  EXPECT_EQ(ErrorOf([&] { LookupAll(driver_, "SELEC 1", {}); }), dberr::kErrorsInCommand);
  EXPECT_EQ(LookupAll(driver_, "SELECT k FROM t WHERE k = 2", {}), (Rows{{"2"}}));
  // A keyed look-up reads a floating-point number as a cursor does too.
  EXPECT_EQ(LookupAll(driver_, "SELECT d, d * 2 FROM t WHERE k = ?", {"3"}),
            (Rows{{"3.25", "6.5"}}));
}

TEST_F(MariaDbTest, KeptStatementsRunInTheDatabaseTheyAreUsedIn) {
  ScratchDatabase second;
  second.Admin("CREATE TABLE `" + second.name() + "`.t (k INT, n INT)");
  second.Admin("INSERT INTO `" + second.name() + "`.t VALUES (1, 7)");
  driver_.Execute("CREATE TABLE t (k INT, n INT)");
  driver_.Execute("INSERT INTO t VALUES (1, 1)");
  const std::string sql = "SELECT n FROM t WHERE k = ?";
  const std::string bump = "UPDATE t SET n = n + 1 WHERE k = ?";
  EXPECT_EQ(LookupAll(driver_, sql, {"1"}), (Rows{{"1"}}));
  driver_.Execute(bump, std::vector<DbValue>{"1"});
  driver_.UseDatabase(second.name());
  EXPECT_EQ(LookupAll(driver_, sql, {"1"}), (Rows{{"7"}}));
  EXPECT_EQ(driver_.Execute(bump, std::vector<DbValue>{"1"}), 1);
  EXPECT_EQ(LookupAll(driver_, sql, {"1"}), (Rows{{"8"}}));
  driver_.UseDatabase(db_.name());
  EXPECT_EQ(LookupAll(driver_, sql, {"1"}), (Rows{{"2"}}));
}

TEST_F(MariaDbTest, LookupsAndWritesRunWhileACursorOfTheSameTextStreams) {
  driver_.Execute("CREATE TABLE t (k INT PRIMARY KEY, n INT)");
  for (int k = 1; k <= 600; ++k)
    driver_.Execute("INSERT INTO t VALUES (?, ?)",
                    std::vector<DbValue>{std::to_string(k), std::to_string(k)});
  const std::string sql = "SELECT k, n FROM t WHERE k >= ? ORDER BY k";
  std::unique_ptr<Cursor> listing = driver_.Query(sql, std::vector<DbValue>{"1"});
  int seen = 0;
  while (listing->Next()) {
    ++seen;
    const std::string k = *listing->Row()[0];
    EXPECT_EQ(LookupAll(driver_, sql, {"600"}), (Rows{{"600", "600"}}));
    EXPECT_EQ(driver_.Execute("UPDATE t SET n = n WHERE k = ?", std::vector<DbValue>{k}), 1);
  }
  EXPECT_EQ(seen, 600);
  // Many different texts: the oldest kept ones go, every one still runs.
  for (int i = 0; i < 80; ++i) {
    const std::string text = "SELECT n + " + std::to_string(i) + " FROM t WHERE k = ?";
    EXPECT_EQ(LookupAll(driver_, text, {"1"}), (Rows{{std::to_string(1 + i)}}));
  }
  // A closed and reopened connection prepares afresh.
  driver_.Close();
  driver_.Connect(db_.Params());
  EXPECT_EQ(LookupAll(driver_, sql, {"600"}), (Rows{{"600", "600"}}));
}

}  // namespace
}  // namespace orvik
