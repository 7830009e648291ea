#include "setup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "driver_factory.h"
#include "engine_settings.h"
#include "sqlite_driver.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;

class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = fs::temp_directory_path() /
            ("orvik-setup-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(home_);
  }
  void TearDown() override { fs::remove_all(home_); }

  bool Run(SetupOptions o, std::vector<std::string>* lines = nullptr) {
    o.home = home_.string();
    std::vector<std::string> sink;
    const bool ok = RunSetup(
        o, [&](const std::string& l) { (lines ? *lines : sink).push_back(l); }, &error_);
    return ok;
  }
  std::string Query(const std::string& account, const std::string& sql) {
    auto d = MakeDriver("JET");
    ConnectParams p;
    p.home = home_.string();
    p.account = account;
    d->Connect(p);
    auto c = d->Query(sql);
    std::string out;
    while (c->Next()) {
      for (const DbValue& v : c->Row()) out += (v ? *v : "<null>") + "|";
      out += ";";
    }
    return out;
  }

  fs::path home_;
  std::string error_;
};

TEST_F(SetupTest, MakesAWholeHome) {
  SetupOptions o;
  o.user = "Admin";
  o.password = "Secret";
  o.privilege = 5;
  o.accounts = {"sales", "stock"};
  std::vector<std::string> lines;
  ASSERT_TRUE(Run(o, &lines)) << error_;
  EXPECT_EQ(ReadEngineSettings(home_.string()).dataStore, "JET");
  EXPECT_TRUE(SqliteDriver::AccountExists(home_.string(), "dm"));
  EXPECT_TRUE(SqliteDriver::AccountExists(home_.string(), "stock"));
  EXPECT_EQ(Query("dm", "select A0, A7, A8 from users"), "admin|secret|5|;");
  EXPECT_EQ(Query("sales", "select count(*) from md"), "0|;");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "created user admin with privilege 5"),
            lines.end());
}

TEST_F(SetupTest, CompletesWithoutTouchingWhatExists) {
  SetupOptions first;
  first.user = "admin";
  first.password = "one";
  ASSERT_TRUE(Run(first)) << error_;
  fs::create_directories(home_);
  std::ofstream(home_ / "OrvikEngine.ini") << "[Global]\nDataStore=JET\n; mine\n";

  SetupOptions again;
  again.dataStore = "MYSQL";  // only for a new settings file
  again.user = "admin";
  again.password = "two";
  again.accounts = {"sales"};
  std::vector<std::string> lines;
  ASSERT_TRUE(Run(again, &lines)) << error_;
  EXPECT_EQ(Query("dm", "select A7 from users"), "one|;");
  std::ifstream in(home_ / "OrvikEngine.ini");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
            "[Global]\nDataStore=JET\n; mine\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"created account sales", "created table sales.md"}));
}

TEST_F(SetupTest, CataloguesPrograms) {
  SetupOptions o;
  o.accounts = {"sales"};
  o.catalog = {{"sales", "HELLO", "JScript", "hello.js HELLO"}, {"dm", "APP", "ACTIVEX", "A.B"}};
  ASSERT_TRUE(Run(o)) << error_;
  EXPECT_EQ(Query("sales", "SELECT A0, A1, A2, A4 FROM md"), "HELLO|JScript||hello.js HELLO|;");
  EXPECT_EQ(Query("dm", "SELECT A0, A1, A4 FROM md"), "APP|ACTIVEX|A.B|;");
  // A verb already catalogued is left as it is.
  o.catalog = {{"sales", "HELLO", "Perl", "other.pl"}};
  std::vector<std::string> lines;
  ASSERT_TRUE(Run(o, &lines)) << error_;
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(Query("sales", "SELECT A1 FROM md"), "JScript|;");
  o.catalog = {{"sales", "TWO WORDS", "JScript", "x.js"}};
  EXPECT_FALSE(Run(o));
}

TEST_F(SetupTest, RefusesBadInput) {
  SetupOptions badAccount;
  badAccount.accounts = {"../../etc"};
  EXPECT_FALSE(Run(badAccount));
  EXPECT_EQ(error_, "[913] Invalid account name \"../../etc\"");
  EXPECT_FALSE(fs::exists(home_));

  SetupOptions badUser;
  badUser.user = "x'; drop table users; --";
  badUser.password = "p";
  EXPECT_FALSE(Run(badUser));
  EXPECT_EQ(error_.rfind("[913] Invalid user name", 0), 0u);

  SetupOptions half;
  half.user = "bob";
  EXPECT_FALSE(Run(half));

  SetupOptions store;
  store.dataStore = "ORACLE";
  EXPECT_FALSE(Run(store));
}

}  // namespace
}  // namespace orvik
