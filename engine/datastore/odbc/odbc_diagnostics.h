// How ODBC diagnostic records become the engine's datastore errors.

#ifndef ORVIK_ENGINE_DATASTORE_ODBC_ODBC_DIAGNOSTICS_H_
#define ORVIK_ENGINE_DATASTORE_ODBC_ODBC_DIAGNOSTICS_H_

#include <string>
#include <string_view>
#include <vector>

#include "vb_error.h"

namespace orvik {

// One record from SQLGetDiagRec.
struct OdbcDiagnostic {
  std::string state;  // the five-character SQLSTATE
  int native = 0;     // the server's own error number (SQL Server's, or FreeTDS's 20xxx)
  std::string message;
};

// The message without the "[vendor][component]" tags the driver manager and the driver put
// in front of it: those name the plumbing, not the failure.
std::string_view StripComponentTags(std::string_view message);

// The error for a failed call. A database that cannot be opened wins wherever it appears
// (SQL Server reports it next to the login failure it causes); otherwise the first record
// that is not a mere warning decides. `fallback` is the number for states that say nothing
// more specific: a refused statement, or a failed connection.
VbError OdbcFailure(const std::vector<OdbcDiagnostic>& records, int fallback);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_ODBC_ODBC_DIAGNOSTICS_H_
