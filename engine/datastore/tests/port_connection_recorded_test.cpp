// The port's connection to the servers, seen through the recording driver: what is sent,
// and what a failure leaves behind.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "driver_factory.h"
#include "port.h"
#include "port_access.h"
#include "recording_driver.h"

namespace orvik {
namespace {

using namespace port_access;

class RecordedConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = std::filesystem::temp_directory_path() /
            ("orvik-recorded-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(home_);
  }
  void TearDown() override { std::filesystem::remove_all(home_); }

  std::shared_ptr<Port> MakePort(const std::string& ini) {
    std::ofstream(home_ / "OrvikEngine.ini") << ini;
    PortOptions options;
    options.home = home_.string();
    options.drivers = [this](std::string_view kind) -> std::unique_ptr<Driver> {
      auto d = std::make_unique<RecordingDriver>(std::string(kind));
      for (const auto& [answer, match] : script_) d->Queue(answer, match);
      script_.clear();
      drivers_.push_back(d.get());
      return d;
    };
    auto port = Port::Create(std::move(options));
    SetLogin(*port, "alice", "pa;ss'word");
    return port;
  }
  // Answers for the next driver made.
  void Script(Answer a, CallMatch m = CallMatch::Next()) { script_.emplace_back(a, m); }
  RecordingDriver& Last() { return *drivers_.back(); }
  std::vector<std::string> Kinds(const RecordingDriver& d) {
    std::vector<std::string> out;
    for (const auto& c : d.Calls()) out.push_back(c.kind + " " + c.text);
    return out;
  }

  std::filesystem::path home_;
  std::vector<std::pair<Answer, CallMatch>> script_;
  std::vector<RecordingDriver*> drivers_;
};

TEST_F(RecordedConnectionTest, SqlServerConnectsOnceThenSwitchesTheDefaultDatabase) {
  auto port = MakePort("[Global]\nDataStore=MSSQL\n[MSSQL]\nServer=sqlbox\n");
  ASSERT_TRUE(ConnectAccount(*port, "dm")) << port->ErrorDetail();
  ASSERT_EQ(drivers_.size(), 1u);
  const RecordedCall& connect = Last().Calls().front();
  EXPECT_EQ(connect.kind, "Connect");
  EXPECT_EQ(connect.connect.account, "dm");
  EXPECT_EQ(connect.connect.server, "sqlbox");
  EXPECT_EQ(connect.connect.user, "alice");
  EXPECT_EQ(connect.connect.password, "pa;ss'word");  // handed over as it is, never spliced

  ASSERT_TRUE(ConnectAccount(*port, "sales"));
  EXPECT_EQ(drivers_.size(), 1u);  // no second connection
  EXPECT_EQ(Kinds(Last()), (std::vector<std::string>{"Connect dm", "Query Select * From md",
                                                     "ListTables ", "UseDatabase sales",
                                                     "Query Select * From md", "ListTables "}));
  EXPECT_EQ(Parts(*port).account.Account(), "sales");
  EXPECT_EQ(Parts(*port).account.SystemConnection(), nullptr);  // only the embedded store keeps one
}

TEST_F(RecordedConnectionTest, MySqlConnectionSettings) {
  auto port = MakePort("[Global]\nDataStore=mysql\n[MySQL]\nServer=db1\nPort=3307\nPipes=1\n");
  ASSERT_TRUE(ConnectAccount(*port, "dm"));
  const ConnectParams& p = Last().Calls().front().connect;
  EXPECT_EQ(p.server, "db1");
  EXPECT_EQ(p.port, "3307");
  EXPECT_TRUE(p.pipes);
  EXPECT_EQ(Last().Kind(), "MYSQL");
}

TEST_F(RecordedConnectionTest, AFailedFirstConnectionLeavesNoDeadConnection) {
  Script(Answer::Error(-2147467259, "Login failed for user 'alice'.", "Connect"));
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  EXPECT_FALSE(ConnectAccount(*port, "dm"));
  EXPECT_EQ(port->ErrorDetail(), "[-2147467259] Login failed for user 'alice'.");
  EXPECT_EQ(Parts(*port).account.Connection(), nullptr);
  EXPECT_EQ(Parts(*port).account.Account(), "DM");
  // The next attempt connects afresh.
  ASSERT_TRUE(ConnectAccount(*port, "dm"));
  EXPECT_EQ(drivers_.size(), 2u);
}

TEST_F(RecordedConnectionTest, AFailedSwitchKeepsTheAccountCatalogAndTables) {
  Script(Answer::Tables({{"orders", "TABLE"}, {"md", "TABLE"}}));
  Script(Answer::Error(-2147217843, "Cannot open database \"nope\".", "UseDatabase"));
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(ConnectAccount(*port, "sales"));
  const auto catalog = Parts(*port).account.Catalog();
  EXPECT_FALSE(ConnectAccount(*port, "nope"));
  EXPECT_EQ(Parts(*port).account.Account(), "sales");
  EXPECT_EQ(Parts(*port).account.TableList(), "\xFEorders\xFEmd\xFE");
  EXPECT_EQ(Parts(*port).account.Catalog(), catalog);
}

TEST_F(RecordedConnectionTest, TableListKeepsTablesAndLinksInTheirOrder) {
  Script(Answer::Tables({{"zeta", "TABLE"},
                         {"v_orders", "VIEW"},
                         {"remote", "LINK"},
                         {"sysobjects", "SYSTEM TABLE"},
                         {"alpha", "TABLE"}}));
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(ConnectAccount(*port, "dm"));
  EXPECT_EQ(Parts(*port).account.TableList(),
            "\xFEzeta\xFEremote\xFE"
            "alpha\xFE");
}

TEST_F(RecordedConnectionTest, AFailedTableListIsEmptyNotAnEmptyList) {
  Script(Answer::Error(-2147467259, "schema unavailable", "ListTables"));
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(ConnectAccount(*port, "dm"));
  EXPECT_EQ(Parts(*port).account.TableList(), "");
}

TEST_F(RecordedConnectionTest, CatalogMissingIsNotAFailure) {
  Script(Answer::Error(-2147217865, "Invalid object name 'md'.", "Query"));
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(ConnectAccount(*port, "dm"));
  EXPECT_FALSE(Parts(*port).account.CatalogOpen());
}

TEST_F(RecordedConnectionTest, RsOOpenRemovesOnlyTheLastSemicolon) {
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(ConnectAccount(*port, "dm"));
  std::shared_ptr<Recordset> rs;
  ASSERT_TRUE(port->RsOOpen("select * from users where A0 = 'x';;", rs));
  EXPECT_EQ(Last().Calls().back().text, "select * from users where A0 = 'x';");
  EXPECT_EQ(rs->Source(), "select * from users where A0 = 'x';");
}

TEST_F(RecordedConnectionTest, SqlServerWritesToAnotherAccountInItsDatabase) {
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(ConnectAccount(*port, "sales"));
  Last().ClearCalls();
  Last().Queue(Answer::Result({"A0", "A1", "A2"}, {}),
               CallMatch::Prefix("SELECT * FROM cust WHERE 1"));
  ASSERT_TRUE(WriteItemRaw(*port,
                           "a\xFE"
                           "b",
                           "other.cust", "C1"))
      << port->ErrorDetail();
  EXPECT_EQ(Kinds(Last()),
            (std::vector<std::string>{"UseDatabase other", "Query SELECT * FROM cust WHERE 1 = 0",
                                      "Execute UPDATE cust SET A1 = ?, A2 = ? WHERE A0 = ?",
                                      "Execute INSERT INTO cust (A0, A1, A2) VALUES (?, ?, ?)",
                                      "UseDatabase sales"}));
  EXPECT_EQ(Last().Calls()[3].params,
            (std::vector<DbValue>{std::string("C1"), std::string("a"), std::string("b")}));
}

TEST_F(RecordedConnectionTest, AFailedSqlServerWriteStillGoesBackToItsAccount) {
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(ConnectAccount(*port, "sales"));
  Last().ClearCalls();
  Last().Queue(Answer::Error(-2147217900, "Invalid column name 'A3'.", "Execute"),
               CallMatch::Prefix("UPDATE"));
  EXPECT_FALSE(WriteAttributeRaw(*port, "x", "other.cust", "C1", 3));
  EXPECT_EQ(port->ErrorDetail(), "[-2147217900] Invalid column name 'A3'.");
  EXPECT_EQ(Last().Calls().back().kind + " " + Last().Calls().back().text, "UseDatabase sales");
}

TEST_F(RecordedConnectionTest, SqlServerReadsAnotherAccountThroughItsName) {
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(ConnectAccount(*port, "sales"));
  std::string item;
  EXPECT_FALSE(ReadItemRaw(*port, item, "other.cust", "O'X"));
  EXPECT_EQ(Last().Calls().back().text, "SELECT * FROM other..cust WHERE A0 = ?");
  EXPECT_EQ(port->ErrorDetail(),
            "[912] ItemID \"O'X\" does not exist in recordset \"SELECT * FROM other..cust WHERE "
            "A0 = 'O''X'\"");
  Last().Queue(
      Answer::Result({"A0", "A1", "A2"}, {{std::string("K"), std::string("x"), DbValue()}}));
  ASSERT_TRUE(ReadItemRaw(*port, item, "sales.cust", "K"));
  EXPECT_EQ(item, "x\xFE");  // a Null column reads as empty text
}

// A connection whose way back to the port's account fails is made afresh on that account,
// so the next statement never runs in the other one.
TEST_F(RecordedConnectionTest, AFailedWayBackReconnectsToThePortsOwnAccount) {
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(ConnectAccount(*port, "sales"));
  Last().ClearCalls();
  Last().Queue(Answer::Result({"A0", "A1"}, {}), CallMatch::Prefix("SELECT * FROM cust WHERE 1"));
  Last().Queue(Answer::Error(-2147467259, "Communication link failure", "UseDatabase"),
               CallMatch::Prefix("sales"));
  ASSERT_TRUE(WriteItemRaw(*port, "a", "other.cust", "C1")) << port->ErrorDetail();
  std::string item;
  EXPECT_FALSE(ReadItemRaw(*port, item, "sales.cust", "C1"));
  EXPECT_EQ(Kinds(Last()),
            (std::vector<std::string>{"UseDatabase other", "Query SELECT * FROM cust WHERE 1 = 0",
                                      "Execute UPDATE cust SET A1 = ? WHERE A0 = ?",
                                      "Execute INSERT INTO cust (A0, A1) VALUES (?, ?)",
                                      "UseDatabase sales", "Close ", "Connect sales",
                                      "Query SELECT * FROM cust WHERE A0 = ?"}));
  EXPECT_EQ(drivers_.size(), 1u);  // in place: record sets on it follow
  EXPECT_EQ(Parts(*port).account.Connection()->CurrentDatabase(), "sales");
}

TEST_F(RecordedConnectionTest, AConnectionThatCannotGoBackIsClosedNotLeftElsewhere) {
  auto port = MakePort("[Global]\nDataStore=MYSQL\n");
  ASSERT_TRUE(ConnectAccount(*port, "sales"));
  Last().ClearCalls();
  Last().Queue(Answer::Tables({{"cust", "TABLE"}}));
  Last().Queue(Answer::Error(-2147467259, "Lost connection to server", "UseDatabase"),
               CallMatch::Prefix("sales"));
  Last().Queue(Answer::Error(-2147467259, "Can't connect to server", "Connect"));
  Variant fv;
  ASSERT_TRUE(port->OOpen(Variant("other.cust"), fv)) << port->ErrorDetail();
  EXPECT_EQ(Kinds(Last()),
            (std::vector<std::string>{"UseDatabase other", "ListTables ", "UseDatabase sales",
                                      "Close ", "Connect sales", "Close "}));
  EXPECT_FALSE(Parts(*port).account.Connection()->IsOpen());
  // The next read fails rather than reading the other account's table.
  Last().ClearCalls();
  std::string item;
  EXPECT_FALSE(ReadItemRaw(*port, item, "sales.cust", "C1"));
  EXPECT_TRUE(Last().Statements().empty());
  Variant read;
  EXPECT_FALSE(port->RRead(read, Variant("sales.cust"), Variant("C1")));
}

// On SQL Server a session marks itself alive with an application lock in the system account;
// a lock row whose holder's mark is free belongs to a session that is gone and is removed,
// while a held mark keeps the lock where it is.
class RecordedSqlServerLocksTest : public RecordedConnectionTest {
 protected:
  std::shared_ptr<Port> LoggedIn() {
    Script(Answer::Result({"A0"}, {{std::string("alice")}}), CallMatch::Prefix("select * from"));
    Script(Answer::Result({"spid"}, {{std::string("53")}}), CallMatch::Prefix("SELECT @@SPID"));
    Script(Answer::Result({"r"}, {{std::string("0")}}), CallMatch::Contains("sp_getapplock"));
    auto port = MakePort("[Global]\nDataStore=MSSQL\n");
    EXPECT_TRUE(ConnectAccount(*port, "dm"));
    EXPECT_TRUE(ValidateLogin(*port)) << port->ErrorDetail();
    EXPECT_TRUE(ConnectAccount(*port, "sales"));
    return port;
  }
  // The item's lock row is `holder`'s, a live session's when `testAnswer` is "0": the
  // server refuses this port's insert of it.
  void HeldBy(const std::string& holder, const std::string& testAnswer) {
    Last().Queue(Answer::Error(dberr::kIntegrity, "Violation of PRIMARY KEY constraint"),
                 CallMatch::Prefix("INSERT INTO locks"));
    Last().Queue(
        Answer::Result({"A0", "UserInst"}, {{std::string("sales.cust\xFF") + "C1", holder}}),
        CallMatch::Prefix("SELECT A0, UserInst FROM locks"));
    Last().Queue(Answer::Result({"t"}, {{testAnswer}}), CallMatch::Contains("APPLOCK_TEST"));
  }
};

TEST_F(RecordedSqlServerLocksTest, LoginMarksTheSessionAliveInTheSystemAccount) {
  auto port = LoggedIn();
  EXPECT_EQ(port->UserInst(), "alice*53");
  const std::vector<RecordedCall>& calls = Last().Calls();
  std::size_t mark = 0;
  while (mark < calls.size() && calls[mark].text.find("sp_getapplock") == std::string::npos) ++mark;
  ASSERT_LT(mark, calls.size());
  EXPECT_EQ(calls[mark].params, (std::vector<DbValue>{std::string("orvik alice*53")}));
  EXPECT_EQ(calls[mark - 1].kind + " " + calls[mark - 1].text, "UseDatabase dm");
}

TEST_F(RecordedSqlServerLocksTest, AGoneHoldersLockIsRemovedALiveOnesKept) {
  auto port = LoggedIn();
  Last().ClearCalls();
  HeldBy("bob*60", "1");
  Variant item;
  EXPECT_FALSE(port->RReadU(item, Variant("sales.cust"), Variant("C1")));  // taken; no item
  EXPECT_EQ(port->ErrorDetail().substr(0, 6), "[912] ");
  const std::vector<RecordedCall>& calls = Last().Calls();
  std::vector<std::string> statements;
  for (const RecordedCall& c : calls) statements.push_back(c.kind + " " + c.text);
  ASSERT_GE(statements.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(statements.begin(), statements.begin() + 8),
            (std::vector<std::string>{
                "UseDatabase dm", "Execute INSERT INTO locks (A0, UserInst) VALUES (?, ?)",
                "Query SELECT A0, UserInst FROM locks WHERE A0 = ?",
                "Query SELECT APPLOCK_TEST('public', ?, 'Exclusive', 'Session')",
                "Execute DELETE FROM locks WHERE A0 = ? AND UserInst = ?",
                "Query SELECT A0, UserInst FROM locks WHERE A0 = ?",
                "Execute INSERT INTO locks (A0, UserInst) VALUES (?, ?)", "UseDatabase sales"}));
  EXPECT_EQ(calls[3].params, (std::vector<DbValue>{std::string("orvik bob*60")}));
  EXPECT_EQ(calls[4].params,
            (std::vector<DbValue>{std::string("sales.cust\xFF") + "C1", std::string("bob*60")}));
  EXPECT_EQ(calls[6].params,
            (std::vector<DbValue>{std::string("sales.cust\xFF") + "C1", std::string("alice*53")}));

  Last().ClearCalls();
  HeldBy("carol*61", "0");
  EXPECT_FALSE(port->RReadU(item, Variant("sales.cust"), Variant("C1")));
  EXPECT_EQ(port->ErrorDetail(), "[920] Another user has this item locked");
  for (const std::string& s : Last().Statements()) EXPECT_EQ(s.find("DELETE"), std::string::npos);
}

}  // namespace
}  // namespace orvik
