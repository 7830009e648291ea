// What each datastore's dialect answers: names, quoting, the statements that differ, and
// where a port reaches the system account's tables.

#include "dialect.h"

#include <gtest/gtest.h>

#include "datastore_kinds.h"

namespace orvik {
namespace {

const Dialect& Embedded() { return Dialect::Of("JET"); }
const Dialect& MariaDb() { return Dialect::Of("MYSQL"); }
const Dialect& SqlServer() { return Dialect::Of("MSSQL"); }

TEST(DialectTest, EachSettingHasOneAndAnUnknownOneReachesNothing) {
  EXPECT_EQ(Embedded().Kind(), "JET");
  EXPECT_EQ(MariaDb().Kind(), "MYSQL");
  EXPECT_EQ(SqlServer().Kind(), "MSSQL");
  for (const char* other : {"", "ORACLE", "jet"}) {
    const Dialect& none = Dialect::Of(other);
    EXPECT_FALSE(none.ReachesDatastore()) << other;
    EXPECT_EQ(FindDatastoreKind(other), nullptr);
    EXPECT_EQ(none.Numbering(), SessionNumbering::kNone);
  }
  for (const DatastoreKind& kind : DatastoreKinds())
    EXPECT_EQ(&Dialect::Of(kind.name), &kind.dialect);
  // Another account is reached by a connection of its own on the embedded store, by the one
  // connection on a server.
  int made = 0;
  const AccountConnector connect = [&](const std::string&) {
    ++made;
    return std::shared_ptr<Driver>();
  };
  FindDatastoreKind("JET")->accounts.Open(nullptr, "dm", "sales", connect);
  EXPECT_EQ(made, 1);
  FindDatastoreKind("MYSQL")->accounts.Open(nullptr, "dm", "sales", connect);
  EXPECT_EQ(made, 1);
  // Only a login sees a server's accounts.
  EXPECT_FALSE(
      FindDatastoreKind("MYSQL")->accounts.Exists({"/nowhere", nullptr}, "dm").has_value());
}

TEST(DialectTest, TablesAreNamedAsEachServerReachesThem) {
  EXPECT_EQ(Embedded().TableName("Sales", "Cust", "DM"), "Cust");
  EXPECT_EQ(MariaDb().TableName("Sales", "Cust", "Sales"), "sales.cust");
  EXPECT_EQ(SqlServer().TableName("Sales", "Cust", "Sales"), "Cust");
  EXPECT_EQ(SqlServer().TableName("Sales", "Cust", "dm"), "Sales..Cust");
  // Writes to another account switch the connection on SQL Server alone.
  EXPECT_TRUE(SqlServer().WritesSwitchAccount());
  EXPECT_FALSE(MariaDb().WritesSwitchAccount());
  EXPECT_EQ(SqlServer().WrittenTableName("Sales", "Cust"), "Cust");
  EXPECT_EQ(MariaDb().WrittenTableName("Sales", "Cust"), "sales.cust");
  EXPECT_EQ(SqlServer().DictionaryName("Sales", "Cust"), "Sales..Cust");
  EXPECT_EQ(Embedded().DictionaryName("Sales", "Cust"), "Cust");
  EXPECT_EQ(MariaDb().StatementName("ORDERS"), "orders");
  EXPECT_EQ(SqlServer().StatementName("ORDERS"), "ORDERS");
}

TEST(DialectTest, TextIsQuotedForEachServer) {
  EXPECT_EQ(Embedded().QuotedText("O'X"), "O''X");
  EXPECT_EQ(SqlServer().QuotedText("O'X\\"), "O''X\\");
  EXPECT_EQ(MariaDb().QuotedText("O'X\\\""), "O\\'X\\\\\\\"");
  EXPECT_EQ(Embedded().FirstCharacter("A1"), "SUBSTR(A1,1,1)");
  EXPECT_EQ(MariaDb().FirstCharacter("A1"), "LEFT(A1,1)");
}

TEST(DialectTest, TheStatementsThatMakeTables) {
  EXPECT_EQ(Embedded().FileTableSql(TableTemplate::kDataColumns, "t", 2),
            "CREATE TABLE t(A0 CHAR(25) COLLATE NOCASE CONSTRAINT idxItemID PRIMARY KEY "
            "CONSTRAINT ItemIDLength CHECK (length(A0) <= 25), A1 TEXT, A2 TEXT)");
  // The embedded store's tables come with the index of their folded keys; the servers'
  // collations do without.
  const auto dictionary = Embedded().FileTableStatements(TableTemplate::kDictionary, "t");
  ASSERT_EQ(dictionary.size(), 2u);
  EXPECT_EQ(dictionary[1].substr(0, 46), "CREATE UNIQUE INDEX \"t_dict key\" ON \"t_dict\" (");
  EXPECT_EQ(Embedded().FileTableStatements(TableTemplate::kControlItem, "t").size(), 1u);
  EXPECT_EQ(MariaDb().FileTableStatements(TableTemplate::kDataColumns, "s.t", 1).size(), 1u);
  EXPECT_EQ(MariaDb().FileTableSql(TableTemplate::kDataItem, "s.t"),
            "CREATE TABLE s.t(A0 VARCHAR(255) CHARACTER SET latin1 COLLATE latin1_general_ci "
            "PRIMARY KEY CHECK (CHAR_LENGTH(A0) <= 25), ITEM LONGTEXT NOT NULL)");
  EXPECT_EQ(SqlServer().FileTableSql(TableTemplate::kControlItem, "t"),
            "INSERT INTO t_dict(A0, A7) VALUES('<&NUM>', 'N')");
  EXPECT_EQ(MariaDb().FileTableSql(TableTemplate::kDictionary, "t").substr(0, 22),
            "CREATE TABLE t_dict  (");
  EXPECT_NE(Embedded()
                .FileTableSql(TableTemplate::kMasterDictionary, "md")
                .find("A20 TEXT NOT "
                      "NULL DEFAULT ''"),
            std::string::npos);
  const auto tables = SqlServer().SystemAccountTables();
  ASSERT_EQ(tables.size(), 4u);
  EXPECT_EQ(tables[0].name, "users");
  EXPECT_NE(tables[0].createSql.find("A1 VARCHAR(255)"), std::string::npos);
  EXPECT_NE(tables[2].createSql.find("PrintText TEXT, PRIMARY KEY (Queue, Sequence)"),
            std::string::npos);
}

TEST(DialectTest, TheSystemAccountsTablesAreReachedThreeWays) {
  const SystemTableRoute embedded = Embedded().SystemTableOf("locks");
  EXPECT_TRUE(embedded.systemConnection);
  EXPECT_EQ(embedded.table, "locks");
  const SystemTableRoute maria = MariaDb().SystemTableOf("printhold");
  EXPECT_FALSE(maria.systemConnection);
  EXPECT_FALSE(maria.switchToSystem);
  EXPECT_EQ(maria.table, "dm.printhold");
  const SystemTableRoute server = SqlServer().SystemTableOf("locks");
  EXPECT_FALSE(server.systemConnection);
  EXPECT_TRUE(server.switchToSystem);
  EXPECT_EQ(server.table, "locks");
}

TEST(DialectTest, SessionsAreNumberedAndListedByEachServer) {
  EXPECT_EQ(Embedded().Numbering(), SessionNumbering::kRegistry);
  EXPECT_FALSE(Embedded().ProcessList());
  EXPECT_EQ(MariaDb().SessionNumberQuery(), "SELECT connection_id()");
  EXPECT_EQ(SqlServer().SessionNumberQuery(), "SELECT @@SPID");
  EXPECT_EQ(MariaDb().ProcessList()->query, "SHOW PROCESSLIST");
  EXPECT_EQ(SqlServer().ProcessList()->time, "");
  EXPECT_TRUE(MariaDb().MarksSessions());
  EXPECT_FALSE(Embedded().MarksSessions());
  // Keys: only the servers may take one id for another.
  EXPECT_FALSE(Embedded().KeyMayMeetTwin("M\xDCLLER"));
  EXPECT_TRUE(MariaDb().KeyMayMeetTwin("M\xDCLLER"));
  EXPECT_FALSE(SqlServer().KeyMayMeetTwin("MULLER"));
}

TEST(DialectTest, WhatTheSetUpSendsAServer) {
  EngineSettings s;
  s.mySqlServer = "/run/mysqld.sock";
  EXPECT_EQ(MariaDb().AdminConnectParams(s).socket, "/run/mysqld.sock");
  EXPECT_EQ(MariaDb().AdminConnectParams(s).account, "mysql");
  EXPECT_EQ(SqlServer().AdminConnectParams(s).account, "master");
  EXPECT_EQ(MariaDb().CreateDatabaseSql("Sales"),
            "CREATE DATABASE sales CHARACTER SET latin1 COLLATE latin1_general_ci");
  EXPECT_EQ(SqlServer().CreateDatabaseSql("Sales"), "CREATE DATABASE Sales");
  // A new login holds no right until the set-up gives it its role.
  EXPECT_EQ(MariaDb().CreateLoginSql("u", "p"),
            (std::vector<std::string>{"CREATE USER IF NOT EXISTS 'u'@'localhost' IDENTIFIED BY 'p'",
                                      "CREATE USER IF NOT EXISTS 'u'@'%' IDENTIFIED BY 'p'"}));
  EXPECT_EQ(SqlServer().SetLoginPasswordSql("u", "p"),
            std::vector<std::string>{"ALTER LOGIN [u] WITH PASSWORD = 'p'"});
  // A port's connection to a server named by a path goes through its socket, with pipes
  // when the settings ask for them.
  s.myOdbcOption = "24578";
  const ConnectParams p = MariaDb().ConnectParamsFor(s, "/home", "sales");
  EXPECT_EQ(p.socket, "/run/mysqld.sock");
  EXPECT_TRUE(p.pipes);
  EXPECT_EQ(p.account, "sales");
}

}  // namespace
}  // namespace orvik
