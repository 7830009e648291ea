#include "layout.h"

#include "driver.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {

void CreateFileTable(Driver& driver, const Dialect& dialect, TableTemplate kind,
                     std::string_view name, int columns, std::string* lastStatement) {
  // A table without its key index would take two ids of one item.
  RunAsOne(driver, dialect.FileTableStatements(kind, name, columns), lastStatement);
}

void RunAsOne(Driver& driver, const std::vector<std::string>& statements,
              std::string* lastStatement) {
  // A savepoint, as the session may be inside a transaction of its own.
  const bool together = statements.size() > 1;
  if (together) driver.Execute("SAVEPOINT run_as_one");
  try {
    for (const std::string& statement : statements) {
      if (lastStatement) *lastStatement = statement;
      driver.Execute(statement);
    }
    if (together) driver.Execute("RELEASE run_as_one");
  } catch (...) {
    if (together) {
      try {
        driver.Execute("ROLLBACK TO run_as_one");
        driver.Execute("RELEASE run_as_one");
      } catch (...) {
        // The failure reported is the statement's; a savepoint that cannot be rolled back
        // is gone with its transaction already.
      }
    }
    throw;
  }
}

void CheckItemId(std::string_view id) {
  if (id.size() > kItemIdLength) {
    throw VbError(dberr::kIdTooLong, "ItemID \"" + std::string(id) + "\" is longer than " +
                                         std::to_string(kItemIdLength) + " characters");
  }
}

VbError KeyTooLong() {
  return VbError(dberr::kIdTooLong,
                 "An ItemID is longer than " + std::to_string(kItemIdLength) + " characters");
}

bool SameKey(std::string_view stored, std::string_view id) {
  const auto trimmed = [](std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
  };
  return EqualsNoCase(trimmed(stored), trimmed(id));
}

}  // namespace orvik
