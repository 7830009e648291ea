#include "driver.h"

#include "server_guard.h"
#include "system_tables.h"
#include "vb_error.h"

namespace orvik {

namespace {

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

[[noreturn]] void Refuse(std::string_view what, std::string_view name) {
  std::string shown;
  for (char c : name) shown.push_back(c == '\0' ? '?' : c);
  throw VbError(dberr::kBadName, "Invalid " + std::string(what) + " name \"" + shown + "\"");
}

}  // namespace

RowsCursor::RowsCursor(Cursor& source) : names_(source.FieldNames()) {
  while (source.Next()) rows_.push_back(source.Row());
  row_.assign(names_.size(), std::nullopt);
}

RowsCursor::RowsCursor(std::vector<std::string> names, std::vector<std::vector<DbValue>> rows)
    : names_(std::move(names)), rows_(std::move(rows)), row_(names_.size()) {}

bool RowsCursor::Next() {
  if (next_ >= rows_.size()) {
    row_.assign(names_.size(), std::nullopt);
    return false;
  }
  row_ = std::move(rows_[next_++]);
  return true;
}

bool IsValidAccountName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name) {
    if (!IsWordChar(c)) return false;
  }
  return true;
}

bool IsValidFileName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  if (!IsWordChar(name.front()) || !IsWordChar(name.back())) return false;
  if (name.find("..") != std::string_view::npos) return false;
  for (char c : name) {
    if (!IsWordChar(c) && c != '.' && c != '-') return false;
  }
  return true;
}

bool IsPlainIdentifier(std::string_view name) { return IsValidAccountName(name); }

void CheckAccountName(std::string_view name) {
  if (!IsValidAccountName(name)) Refuse("account", name);
}

void CheckFileName(std::string_view name) {
  if (!IsValidFileName(name)) Refuse("file", name);
}

namespace {

[[noreturn]] void NoTransactions() {
  throw VbError(dberr::kUnspecified, "This datastore runs no transactions");
}

}  // namespace

const ServerFacts& Driver::Facts() const {
  static const ServerFacts unknown;
  return unknown;
}

void Driver::Begin() { NoTransactions(); }
void Driver::Commit() { NoTransactions(); }
void Driver::Rollback() { NoTransactions(); }

void Driver::RollbackQuietly() noexcept {
  try {
    Rollback();
  } catch (...) {
    // Told by the failure that came first.
  }
}

void Driver::Defer() {
  if (!RunsTransactions()) NoTransactions();
  deferred_ = true;
}

void Driver::Continue() {
  if (!RunsTransactions()) NoTransactions();
  deferred_ = false;
}

void Driver::RefuseGuardedText(std::string_view sql) const {
  if (!systemTablesGuard_) return;
  if (MayReachSystemTables(sql, CurrentDatabase()))
    throw VbError(dberr::kSystemTables, std::string(kSystemTablesRefused));
  if (MayManageServer(sql, CurrentDatabase()))
    throw VbError(dberr::kSystemTables, std::string(kServerManagementRefused));
}

}  // namespace orvik
