#include "setup.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "driver_factory.h"
#include "engine_settings.h"
#include "password_hash.h"
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

  // The stored password of `user`.
  std::string Password(const std::string& user) {
    std::string row = Query("dm", "select A7 from users where A0 = '" + user + "'");
    return row.substr(0, row.find('|'));
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
  EXPECT_EQ(Query("dm", "select A0, A8 from users"), "admin|5|;");
  // The password is a salted hash of its lower-cased text.
  const std::string hash = Password("admin");
  EXPECT_EQ(hash.rfind("$2b$", 0), 0u) << hash;
  EXPECT_EQ(CheckPassword("secret", hash), PasswordCheck::kMatches);
  EXPECT_EQ(CheckPassword("Secret", hash), PasswordCheck::kWrong);
  EXPECT_EQ(Query("sales", "select count(*) from md"), "0|;");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "created user admin with privilege 5"),
            lines.end());
  // Nobody but its owner reaches a new home, whatever the umask.
  EXPECT_EQ(fs::status(home_).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST_F(SetupTest, AHomeThatExistsKeepsItsPermissions) {
  fs::create_directories(home_);
  const fs::perms shared = fs::perms::owner_all | fs::perms::group_all | fs::perms::set_gid;
  fs::permissions(home_, shared, fs::perm_options::replace);
  ASSERT_TRUE(Run(SetupOptions{})) << error_;
  EXPECT_EQ(fs::status(home_).permissions() & (fs::perms::all | fs::perms::set_gid), shared);
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
  again.accounts = {"sales"};
  std::vector<std::string> lines;
  ASSERT_TRUE(Run(again, &lines)) << error_;
  EXPECT_EQ(CheckPassword("one", Password("admin")), PasswordCheck::kMatches);
  std::ifstream in(home_ / "OrvikEngine.ini");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
            "[Global]\nDataStore=JET\n; mine\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"created account sales", "created table sales.md"}));
}

TEST_F(SetupTest, AUserWhoExistsGetsTheNewPasswordAndKeepsThePrivilege) {
  SetupOptions first;
  first.user = "admin";
  first.password = "one";
  first.privilege = 5;
  ASSERT_TRUE(Run(first)) << error_;
  const std::string before = Password("admin");

  SetupOptions again;
  again.user = "ADMIN";
  again.password = "Two";
  again.privilege = 0;
  std::vector<std::string> lines;
  ASSERT_TRUE(Run(again, &lines)) << error_;
  EXPECT_EQ(lines, std::vector<std::string>{"set the password of user admin"});
  EXPECT_EQ(CheckPassword("two", Password("admin")), PasswordCheck::kMatches);
  EXPECT_EQ(CheckPassword("one", Password("admin")), PasswordCheck::kWrong);
  EXPECT_EQ(Query("dm", "select A0, A8 from users"), "admin|5|;");
  // The same password again is salted anew.
  again.password = "one";
  ASSERT_TRUE(Run(again)) << error_;
  EXPECT_NE(Password("admin"), before);
  EXPECT_EQ(CheckPassword("one", Password("admin")), PasswordCheck::kMatches);
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

// The command line: a password can come from standard input, out of the process list.
TEST_F(SetupTest, ThePasswordCanComeFromStandardInput) {
  const auto setup = [&](const std::string& args, const std::string& input) {
    const std::string command = std::string(ORVIK_SETUP_PROGRAM) + " --home " + home_.string() +
                                " " + args + " >/dev/null 2>&1";
    FILE* p = ::popen(command.c_str(), "w");
    if (p == nullptr) return -1;
    std::fputs(input.c_str(), p);
    const int status = ::pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  ASSERT_EQ(setup("--user clerk --password-stdin --privilege 1", "From Input\n"), 0);
  EXPECT_EQ(CheckPassword("from input", Password("clerk")), PasswordCheck::kMatches);
  EXPECT_EQ(Query("dm", "select A8 from users"), "1|;");
  ASSERT_EQ(setup("--user clerk --password-stdin", "changed\r\n"), 0);
  EXPECT_EQ(CheckPassword("changed", Password("clerk")), PasswordCheck::kMatches);
  EXPECT_EQ(setup("--user clerk --password x --password-stdin", "y\n"), 2);
  EXPECT_EQ(setup("--user clerk --password-stdin", ""), 2);
  EXPECT_EQ(CheckPassword("changed", Password("clerk")), PasswordCheck::kMatches);
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
