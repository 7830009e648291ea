#include "sqlite_accounts.h"

#include <filesystem>

#include "sqlite_driver.h"
#include "vb_error.h"

namespace orvik {
namespace {

class SqliteAccountFiles : public AccountSpace {
 public:
  // The home's files tell, with or without a connection.
  std::optional<bool> Exists(const AccountSite& site, const std::string& account) const override {
    return SqliteDriver::AccountExists(site.home, account);
  }
  // A file; a sentence's statement has nothing to say to it.
  std::int64_t Create(const AccountSite& site, const std::string& account,
                      const std::string&) const override {
    if (account.empty()) throw VbError(vberr::kSubscriptOutOfRange);
    SqliteDriver::CreateAccount(site.home, account);
    return 0;
  }
  // In the order the folder gives them, each file's name cut before its first ".".
  Status List(const AccountSite& site, std::size_t most,
              std::vector<std::string>* names) const override {
    names->clear();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(site.home + "/JetMDB", ec)) {
      if (names->size() >= most) break;
      const std::string file = entry.path().filename().string();
      if (entry.path().extension() != ".db") continue;
      const std::string name = file.substr(0, file.find('.'));
      if (!SqliteDriver::AccountExists(site.home, name)) continue;
      names->push_back(name);
    }
    if (names->empty()) return Status::Error(dberr::kNoAccounts, "No Accounts/Databases found");
    return Status::Ok();
  }
  // A connection of the account's own, unless it is the port's.
  std::shared_ptr<Driver> Open(const std::shared_ptr<Driver>& current,
                               const std::string& currentAccount, const std::string& account,
                               const AccountConnector& connect) const override {
    return account != currentAccount ? connect(account) : current;
  }
  std::shared_ptr<Driver> Switch(const std::shared_ptr<Driver>&, const std::string& account,
                                 const AccountConnector& connect) const override {
    return connect(account);
  }
};

}  // namespace

const AccountSpace& SqliteAccounts() {
  static const SqliteAccountFiles space;
  return space;
}

}  // namespace orvik
