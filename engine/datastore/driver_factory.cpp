#include "driver_factory.h"

#include "datastore_kinds.h"

namespace orvik {

std::unique_ptr<Driver> MakeDriver(std::string_view dataStore) {
  const DatastoreKind* kind = FindDatastoreKind(dataStore);
  return kind ? kind->makeDriver() : nullptr;
}

}  // namespace orvik
