#include "datastore_kinds.h"

#include "dialect_kinds.h"
#include "layout.h"
#include "mariadb_driver.h"
#include "odbc_driver.h"
#include "server_accounts.h"
#include "sqlite_accounts.h"
#include "sqlite_driver.h"

namespace orvik {
namespace {

template <typename D>
std::unique_ptr<Driver> Make() {
  return std::make_unique<D>();
}

}  // namespace

std::span<const DatastoreKind> DatastoreKinds() {
  static const ServerAccounts mariaDbAccounts(MariaDbDialect());
  static const ServerAccounts sqlServerAccounts(SqlServerDialect());
  static const DatastoreKind kinds[] = {
      {"MYSQL", "MySQL", MariaDbDialect(), Make<MariaDbDriver>, mariaDbAccounts},
      {"JET", "Access/Jet", EmbeddedStoreDialect(), Make<SqliteDriver>, SqliteAccounts()},
      {"MSSQL", "MSSQL", SqlServerDialect(), Make<OdbcDriver>, sqlServerAccounts},
  };
  return kinds;
}

const DatastoreKind* FindDatastoreKind(std::string_view name) {
  for (const DatastoreKind& kind : DatastoreKinds()) {
    if (kind.name == name) return &kind;
  }
  return nullptr;
}

const Dialect& Dialect::Of(std::string_view dataStore) {
  const DatastoreKind* kind = FindDatastoreKind(dataStore);
  return kind ? kind->dialect : NoDatastoreDialect();
}

void CreateFileTable(Driver& driver, std::string_view dataStore, TableTemplate kind,
                     std::string_view name, int columns) {
  CreateFileTable(driver, Dialect::Of(dataStore), kind, name, columns);
}

}  // namespace orvik
