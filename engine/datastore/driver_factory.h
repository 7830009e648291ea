// Makes the driver for a DataStore setting ("JET", "MYSQL", "MSSQL"). Tests put their own
// factory in place to reach a recording driver or a fake.

#ifndef ORVIK_ENGINE_DATASTORE_DRIVER_FACTORY_H_
#define ORVIK_ENGINE_DATASTORE_DRIVER_FACTORY_H_

#include <functional>
#include <memory>
#include <string_view>

#include "driver.h"

namespace orvik {

using DriverFactory = std::function<std::unique_ptr<Driver>(std::string_view dataStore)>;

// nullptr for a DataStore value that names no datastore.
std::unique_ptr<Driver> MakeDriver(std::string_view dataStore);
// Replaces the factory for the whole process; an empty one restores the built-in drivers.
void SetDriverFactory(DriverFactory factory);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_DRIVER_FACTORY_H_
