#include "driver_factory.h"

#include <mutex>

#include "mariadb_driver.h"
#include "odbc_driver.h"
#include "sqlite_driver.h"

namespace orvik {
namespace {

std::mutex gMutex;
DriverFactory gFactory;

std::unique_ptr<Driver> BuiltIn(std::string_view dataStore) {
  if (dataStore == "JET") return std::make_unique<SqliteDriver>();
  if (dataStore == "MYSQL") return std::make_unique<MariaDbDriver>();
  if (dataStore == "MSSQL") return std::make_unique<OdbcDriver>();
  return nullptr;
}

}  // namespace

std::unique_ptr<Driver> MakeDriver(std::string_view dataStore) {
  DriverFactory factory;
  {
    std::lock_guard lock(gMutex);
    factory = gFactory;
  }
  return factory ? factory(dataStore) : BuiltIn(dataStore);
}

void SetDriverFactory(DriverFactory factory) {
  std::lock_guard lock(gMutex);
  gFactory = std::move(factory);
}

}  // namespace orvik
