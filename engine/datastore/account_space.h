// Where a home's accounts live on its datastore, and how a connection reaches one. As SQLite
// keeps the operating system behind its VFS, the engine keeps each datastore's account layout
// behind an AccountSpace: the embedded store keeps an account as a file of the home with a
// connection of its own, a server as one of its databases, reached by moving one connection
// between them. Each datastore kind has its space (datastore_kinds.h); nothing else knows the
// layout.
//
// Spaces are immutable singletons: any thread may use them, each call with connections of
// its own. Account names are the system's bytes, checked by the space where they reach a
// path. Failures are thrown as VbError, except where a Status is returned.

#ifndef ORVIK_ENGINE_DATASTORE_ACCOUNT_SPACE_H_
#define ORVIK_ENGINE_DATASTORE_ACCOUNT_SPACE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver.h"
#include "status.h"

namespace orvik {

namespace dberr {
inline constexpr int kNoAccounts = 909;
}  // namespace dberr

// What a space is looked at from: the engine home, and a connection open on the datastore
// (none before a login, or where nobody has logged in).
struct AccountSite {
  std::string home;
  std::shared_ptr<Driver> connection;
};

// Makes a new connection on an account: a driver of the space's kind, connected as its
// caller connects.
using AccountConnector = std::function<std::shared_ptr<Driver>(const std::string& account)>;

class AccountSpace {
 public:
  virtual ~AccountSpace() = default;

  // Whether `account` exists; none where only a connection can tell and `site` has none.
  virtual std::optional<bool> Exists(const AccountSite& site, const std::string& account) const = 0;
  // Makes `account`. `statement` is how a sentence asked for it (CREATE DATABASE name ...),
  // which a server is sent as it stands; empty: the datastore's own. `account` empty: the
  // sentence named none. What the datastore counted.
  virtual std::int64_t Create(const AccountSite& site, const std::string& account,
                              const std::string& statement = {}) const = 0;
  // The accounts, in the datastore's order: a server's listing whole, each row's columns
  // joined by tabs; where the space looks through the home, the first `most` it finds, and
  // kNoAccounts where it finds none.
  virtual Status List(const AccountSite& site, std::size_t most,
                      std::vector<std::string>* names) const = 0;
  // The connection on which statements reach the tables of `account` while a port stays on
  // `current`, a connection on `currentAccount` (or none): `current` itself, or a new one.
  virtual std::shared_ptr<Driver> Open(const std::shared_ptr<Driver>& current,
                                       const std::string& currentAccount,
                                       const std::string& account,
                                       const AccountConnector& connect) const = 0;
  // The connection that serves a port that moves to `account` from `current` (or none):
  // `current` switched there, or a new one. A failure leaves `current` where it was.
  virtual std::shared_ptr<Driver> Switch(const std::shared_ptr<Driver>& current,
                                         const std::string& account,
                                         const AccountConnector& connect) const = 0;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_ACCOUNT_SPACE_H_
