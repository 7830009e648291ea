// The dialects of dialect.h, for the table of datastore kinds and the driver of each.

#ifndef ORVIK_ENGINE_DATASTORE_DIALECT_KINDS_H_
#define ORVIK_ENGINE_DATASTORE_DIALECT_KINDS_H_

#include "dialect.h"

namespace orvik {

const Dialect& EmbeddedStoreDialect();
const Dialect& NoDatastoreDialect();
const Dialect& MariaDbDialect();
const Dialect& SqlServerDialect();

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_DIALECT_KINDS_H_
