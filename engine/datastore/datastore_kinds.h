// The datastores the engine reaches, one row each: the DataStore setting that names it, its
// dialect (dialect.h), its driver and its account space (account_space.h). This table is the
// one place that lists them; the settings window shows them in its order.
//
// Immutable: any thread may read it.

#ifndef ORVIK_ENGINE_DATASTORE_DATASTORE_KINDS_H_
#define ORVIK_ENGINE_DATASTORE_DATASTORE_KINDS_H_

#include <memory>
#include <span>
#include <string_view>

#include "account_space.h"
#include "dialect.h"
#include "driver.h"

namespace orvik {

struct DatastoreKind {
  std::string_view name;   // the DataStore setting: "JET", "MYSQL", "MSSQL"
  std::string_view title;  // its caption in the console's settings
  const Dialect& dialect;
  std::unique_ptr<Driver> (*makeDriver)();
  const AccountSpace& accounts;
};

std::span<const DatastoreKind> DatastoreKinds();

// The kind a DataStore setting (trimmed and upper-cased) names; nullptr for none.
const DatastoreKind* FindDatastoreKind(std::string_view name);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_DATASTORE_KINDS_H_
