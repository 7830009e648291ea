#include "odbc_diagnostics.h"

#include "driver.h"

namespace orvik {

namespace {

// SQL Server: 4060 "Cannot open database ... requested by the login", 911 "Database '...'
// does not exist" (USE).
bool NamesAMissingDatabase(const OdbcDiagnostic& record) {
  return record.native == 4060 || record.native == 911 ||
         record.message.find("Cannot open database") != std::string::npos;
}

int NumberForState(std::string_view state, int fallback) {
  if (state == "42S02") return dberr::kNoSuchTable;
  if (state == "23000") return dberr::kIntegrity;
  // Connection failures, login failures and timeouts: the statement itself was not judged.
  if (state.starts_with("08") || state == "28000" || state.starts_with("HYT")) {
    return dberr::kUnspecified;
  }
  return fallback;
}

}  // namespace

std::string_view StripComponentTags(std::string_view message) {
  while (message.starts_with('[')) {
    const auto close = message.find(']');
    if (close == std::string_view::npos) break;
    message.remove_prefix(close + 1);
  }
  return message;
}

VbError OdbcFailure(const std::vector<OdbcDiagnostic>& records, int fallback) {
  for (const auto& record : records) {
    if (NamesAMissingDatabase(record)) {
      return VbError(dberr::kNoSuchDatabase, std::string(StripComponentTags(record.message)));
    }
  }
  const OdbcDiagnostic* decisive = nullptr;
  for (const auto& record : records) {
    if (!record.state.starts_with("01")) {
      decisive = &record;
      break;
    }
  }
  if (decisive == nullptr && !records.empty()) decisive = &records.front();
  if (decisive == nullptr) return VbError(fallback, "The ODBC driver reported no diagnostics");
  return VbError(NumberForState(decisive->state, fallback),
                 std::string(StripComponentTags(decisive->message)));
}

}  // namespace orvik
