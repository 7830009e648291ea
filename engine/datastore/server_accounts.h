// The account space of a server (account_space.h): each account is one of its databases,
// which only a login sees. One connection serves every account: it is switched between them,
// and reaches another account's tables by naming them (dialect.h).

#ifndef ORVIK_ENGINE_DATASTORE_SERVER_ACCOUNTS_H_
#define ORVIK_ENGINE_DATASTORE_SERVER_ACCOUNTS_H_

#include "account_space.h"
#include "dialect.h"

namespace orvik {

class ServerAccounts : public AccountSpace {
 public:
  // The statements that list, find and make databases are `dialect`'s.
  explicit ServerAccounts(const Dialect& dialect) : dialect_(dialect) {}

  // None without a connection.
  std::optional<bool> Exists(const AccountSite& site, const std::string& account) const override;
  // Sends `statement`, or the dialect's CREATE DATABASE, on the site's connection.
  std::int64_t Create(const AccountSite& site, const std::string& account,
                      const std::string& statement) const override;
  Status List(const AccountSite& site, std::size_t most,
              std::vector<std::string>* names) const override;
  // `current`: statements name the other account's tables.
  std::shared_ptr<Driver> Open(const std::shared_ptr<Driver>& current,
                               const std::string& currentAccount, const std::string& account,
                               const AccountConnector& connect) const override;
  // `current` switched, while it is open; else a new connection.
  std::shared_ptr<Driver> Switch(const std::shared_ptr<Driver>& current, const std::string& account,
                                 const AccountConnector& connect) const override;

 private:
  const Dialect& dialect_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_SERVER_ACCOUNTS_H_
