// The port's connection to the servers, seen through the recording driver: what is sent,
// and what a failure leaves behind.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "driver_factory.h"
#include "port.h"
#include "recording_driver.h"

namespace orvik {
namespace {

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
    port->SetLogin("alice", "pa;ss'word");
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
  ASSERT_TRUE(port->ConnectAccount("dm")) << port->ErrorDetail();
  ASSERT_EQ(drivers_.size(), 1u);
  const RecordedCall& connect = Last().Calls().front();
  EXPECT_EQ(connect.kind, "Connect");
  EXPECT_EQ(connect.connect.account, "dm");
  EXPECT_EQ(connect.connect.server, "sqlbox");
  EXPECT_EQ(connect.connect.user, "alice");
  EXPECT_EQ(connect.connect.password, "pa;ss'word");  // handed over as it is, never spliced

  ASSERT_TRUE(port->ConnectAccount("sales"));
  EXPECT_EQ(drivers_.size(), 1u);  // no second connection
  EXPECT_EQ(Kinds(Last()), (std::vector<std::string>{"Connect dm", "Query Select * From md",
                                                     "ListTables ", "UseDatabase sales",
                                                     "Query Select * From md", "ListTables "}));
  EXPECT_EQ(port->Account(), "sales");
  EXPECT_EQ(port->DmConnection(), nullptr);  // only the embedded store keeps one
}

TEST_F(RecordedConnectionTest, MySqlConnectionSettings) {
  auto port = MakePort("[Global]\nDataStore=mysql\n[MySQL]\nServer=db1\nPort=3307\nPipes=1\n");
  ASSERT_TRUE(port->ConnectAccount("dm"));
  const ConnectParams& p = Last().Calls().front().connect;
  EXPECT_EQ(p.server, "db1");
  EXPECT_EQ(p.port, "3307");
  EXPECT_TRUE(p.pipes);
  EXPECT_EQ(Last().Kind(), "MYSQL");
}

TEST_F(RecordedConnectionTest, AFailedFirstConnectionLeavesNoDeadConnection) {
  Script(Answer::Error(-2147467259, "Login failed for user 'alice'.", "Connect"));
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  EXPECT_FALSE(port->ConnectAccount("dm"));
  EXPECT_EQ(port->ErrorDetail(), "[-2147467259] Login failed for user 'alice'.");
  EXPECT_EQ(port->Connection(), nullptr);
  EXPECT_EQ(port->Account(), "DM");
  // The next attempt connects afresh.
  ASSERT_TRUE(port->ConnectAccount("dm"));
  EXPECT_EQ(drivers_.size(), 2u);
}

TEST_F(RecordedConnectionTest, AFailedSwitchKeepsTheAccountCatalogAndTables) {
  Script(Answer::Tables({{"orders", "TABLE"}, {"md", "TABLE"}}));
  Script(Answer::Error(-2147217843, "Cannot open database \"nope\".", "UseDatabase"));
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(port->ConnectAccount("sales"));
  const auto catalog = port->Catalog();
  EXPECT_FALSE(port->ConnectAccount("nope"));
  EXPECT_EQ(port->Account(), "sales");
  EXPECT_EQ(port->TableList(), "\xFEorders\xFEmd\xFE");
  EXPECT_EQ(port->Catalog(), catalog);
}

TEST_F(RecordedConnectionTest, TableListKeepsTablesAndLinksInTheirOrder) {
  Script(Answer::Tables({{"zeta", "TABLE"},
                         {"v_orders", "VIEW"},
                         {"remote", "LINK"},
                         {"sysobjects", "SYSTEM TABLE"},
                         {"alpha", "TABLE"}}));
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(port->ConnectAccount("dm"));
  EXPECT_EQ(port->TableList(),
            "\xFEzeta\xFEremote\xFE"
            "alpha\xFE");
}

TEST_F(RecordedConnectionTest, AFailedTableListIsEmptyNotAnEmptyList) {
  Script(Answer::Error(-2147467259, "schema unavailable", "ListTables"));
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(port->ConnectAccount("dm"));
  EXPECT_EQ(port->TableList(), "");
}

TEST_F(RecordedConnectionTest, CatalogMissingIsNotAFailure) {
  Script(Answer::Error(-2147217865, "Invalid object name 'md'.", "Query"));
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(port->ConnectAccount("dm"));
  EXPECT_FALSE(port->CatalogOpen());
}

TEST_F(RecordedConnectionTest, RsOOpenRemovesOnlyTheLastSemicolon) {
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(port->ConnectAccount("dm"));
  std::shared_ptr<Recordset> rs;
  ASSERT_TRUE(port->RsOOpen("select * from users where A0 = 'x';;", rs));
  EXPECT_EQ(Last().Calls().back().text, "select * from users where A0 = 'x';");
  EXPECT_EQ(rs->Source(), "select * from users where A0 = 'x';");
}

TEST_F(RecordedConnectionTest, SqlServerWritesToAnotherAccountInItsDatabase) {
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(port->ConnectAccount("sales"));
  Last().ClearCalls();
  Last().Queue(Answer::Result({"A0", "A1", "A2"}, {}),
               CallMatch::Prefix("SELECT * FROM cust WHERE 1"));
  ASSERT_TRUE(
      port->WriteItemRaw("a\xFE"
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
  ASSERT_TRUE(port->ConnectAccount("sales"));
  Last().ClearCalls();
  Last().Queue(Answer::Error(-2147217900, "Invalid column name 'A3'.", "Execute"),
               CallMatch::Prefix("UPDATE"));
  EXPECT_FALSE(port->WriteAttributeRaw("x", "other.cust", "C1", 3));
  EXPECT_EQ(port->ErrorDetail(), "[-2147217900] Invalid column name 'A3'.");
  EXPECT_EQ(Last().Calls().back().kind + " " + Last().Calls().back().text, "UseDatabase sales");
}

TEST_F(RecordedConnectionTest, SqlServerReadsAnotherAccountThroughItsName) {
  auto port = MakePort("[Global]\nDataStore=MSSQL\n");
  ASSERT_TRUE(port->ConnectAccount("sales"));
  std::string item;
  EXPECT_FALSE(port->ReadItemRaw(item, "other.cust", "O'X"));
  EXPECT_EQ(Last().Calls().back().text, "SELECT * FROM other..cust WHERE A0 = ?");
  EXPECT_EQ(port->ErrorDetail(),
            "[912] ItemID \"O'X\" does not exist in recordset \"SELECT * FROM other..cust WHERE "
            "A0 = 'O''X'\"");
  Last().Queue(
      Answer::Result({"A0", "A1", "A2"}, {{std::string("K"), std::string("x"), DbValue()}}));
  ASSERT_TRUE(port->ReadItemRaw(item, "sales.cust", "K"));
  EXPECT_EQ(item, "x\xFE");  // a Null column reads as empty text
}

}  // namespace
}  // namespace orvik
