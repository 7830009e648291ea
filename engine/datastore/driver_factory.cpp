#include "driver_factory.h"

#include "mariadb_driver.h"
#include "odbc_driver.h"
#include "sqlite_driver.h"

namespace orvik {

std::unique_ptr<Driver> MakeDriver(std::string_view dataStore) {
  if (dataStore == "JET") return std::make_unique<SqliteDriver>();
  if (dataStore == "MYSQL") return std::make_unique<MariaDbDriver>();
  if (dataStore == "MSSQL") return std::make_unique<OdbcDriver>();
  return nullptr;
}

}  // namespace orvik
