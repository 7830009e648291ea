// The embedded store's accounts as the engine's sentences and the set-up see them: files of
// the home, the item locks' file among them but none of them.

#include "sqlite_accounts.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "sqlite_driver.h"
#include "vb_error.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;

class SqliteAccountsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "orvik-accounts-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    site_.home = pattern;
  }
  void TearDown() override { fs::remove_all(site_.home); }

  std::vector<std::string> Listed(std::size_t most = 100) {
    std::vector<std::string> names;
    EXPECT_TRUE(SqliteAccounts().List(site_, most, &names).ok());
    std::sort(names.begin(), names.end());
    return names;
  }

  AccountSite site_;
};

TEST_F(SqliteAccountsTest, AccountsAreMadeFoundAndListedAsFilesOfTheHome) {
  const AccountSpace& accounts = SqliteAccounts();
  std::vector<std::string> names;
  const Status none = accounts.List(site_, 100, &names);
  EXPECT_EQ(none.number(), dberr::kNoAccounts);
  EXPECT_EQ(accounts.Exists(site_, "dm"), false);

  EXPECT_EQ(accounts.Create(site_, "DM", "CREATE DATABASE DM"), 0);
  EXPECT_EQ(accounts.Exists(site_, "dm"), true);
  accounts.Create(site_, "sales");
  try {
    accounts.Create(site_, "Sales");
    ADD_FAILURE() << "made twice";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), dberr::kErrorsInCommand);
  }
  // A sentence that names no account.
  try {
    accounts.Create(site_, "");
    ADD_FAILURE() << "made without a name";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), vberr::kSubscriptOutOfRange);
  }

  // The system account's connection makes the locks' file beside the accounts.
  SqliteDriver dm;
  ConnectParams p;
  p.home = site_.home;
  p.account = "dm";
  dm.Connect(p);
  ASSERT_TRUE(fs::exists(fs::path(site_.home) / "JetMDB" / "locks.db"));
  EXPECT_EQ(Listed(), (std::vector<std::string>{"dm", "sales"}));
  EXPECT_EQ(Listed(1).size(), 1u);
  EXPECT_EQ(accounts.Exists(site_, "locks"), false);
}

TEST_F(SqliteAccountsTest, APortOnAnAccountReachesAnotherByAConnectionOfItsOwn) {
  const AccountSpace& accounts = SqliteAccounts();
  std::vector<std::string> asked;
  const auto connect = [&](const std::string& account) {
    asked.push_back(account);
    return std::make_shared<SqliteDriver>();
  };
  const std::shared_ptr<Driver> current = std::make_shared<SqliteDriver>();
  EXPECT_EQ(accounts.Open(current, "dm", "dm", connect), current);
  EXPECT_NE(accounts.Open(current, "dm", "sales", connect), current);
  EXPECT_NE(accounts.Switch(current, "sales", connect), current);
  EXPECT_EQ(asked, (std::vector<std::string>{"sales", "sales"}));
}

}  // namespace
}  // namespace orvik
