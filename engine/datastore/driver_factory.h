// The built-in driver of each datastore setting ("JET", "MYSQL", "MSSQL"), and the type of a
// factory that a port is given instead (tests give one that makes a recording driver).

#ifndef ORVIK_ENGINE_DATASTORE_DRIVER_FACTORY_H_
#define ORVIK_ENGINE_DATASTORE_DRIVER_FACTORY_H_

#include <functional>
#include <memory>
#include <string_view>

namespace orvik {

class Driver;

using DriverFactory = std::function<std::unique_ptr<Driver>(std::string_view dataStore)>;

// nullptr for a DataStore value that names no datastore.
std::unique_ptr<Driver> MakeDriver(std::string_view dataStore);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_DRIVER_FACTORY_H_
