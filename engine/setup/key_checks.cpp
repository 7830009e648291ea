#include "key_checks.h"

#include <filesystem>
#include <vector>

#include "dialect.h"
#include "driver_factory.h"
#include "layout.h"
#include "sqlite_driver.h"
#include "text.h"

namespace orvik {
namespace {

using Report = std::function<void(const std::string&)>;

// Every row of a query, read before the next statement runs.
std::vector<std::vector<DbValue>> Rows(Driver& d, const std::string& sql) {
  std::vector<std::vector<DbValue>> rows;
  auto cursor = d.Query(sql);
  while (cursor->Next()) rows.push_back(cursor->Row());
  return rows;
}

std::string Text(const DbValue& v) { return v.value_or(""); }

// --- Servers: one ALTER TABLE a table, which the server runs whole or not at all. ----------

std::vector<UncheckedKey> UncheckedKeys(Driver& admin, const Dialect& dialect) {
  std::vector<UncheckedKey> keys;
  for (const auto& row : Rows(admin, dialect.UncheckedKeysQuery()))
    keys.push_back({Text(row[0]), Text(row[1]), Text(row[2]), Text(row[3])});
  return keys;
}

void CheckServerKeys(Driver& admin, const Dialect& dialect, const Report& report) {
  if (dialect.UncheckedKeysQuery().empty()) return;
  for (const UncheckedKey& key : UncheckedKeys(admin, dialect)) {
    try {
      admin.Execute(dialect.AddKeyCheckSql(key));
    } catch (...) {
      // Another set-up may have changed it meanwhile.
      bool still = false;
      for (const UncheckedKey& k : UncheckedKeys(admin, dialect))
        still = still || (k.database == key.database && k.table == key.table);
      if (still) throw;
      continue;
    }
    report("gave the key of " + key.database + "." + key.table + " its length check");
  }
}

// --- The embedded store: SQLite cannot add a constraint to a table, but a check changes
// nothing of how rows are stored, so the table's definition is edited in place, as SQLite
// documents for such changes: in one transaction with the schema's version raised, so that
// every connection reads the new definition. Nothing moves: rows, row ids, indexes, and the
// order in which the tables are listed stay as they are.

bool HasOldKey(Driver& d, const std::string& table) {
  const std::vector<ColumnInfo> columns = d.ListColumns(table);
  return !columns.empty() && EqualsNoCase(columns[0].name, "A0") &&
         EqualsNoCase(columns[0].type, "CHAR(" + std::to_string(kItemIdLength) + ")");
}

// The definition with the check added as a table constraint, or empty when it holds comments,
// where the end of its column list cannot be told from the text alone.
std::string WithKeyCheck(const std::string& sql, const Dialect& dialect) {
  const std::size_t close = sql.rfind(')');
  if (close == std::string::npos || sql.find("--") != std::string::npos ||
      sql.find("/*") != std::string::npos)
    return {};
  return sql.substr(0, close) + ", " + dialect.KeyCheck() + sql.substr(close);
}

// The definitions of the account's tables that lack the check, edited; what cannot be edited
// is reported.
std::vector<std::pair<std::string, std::string>> Edits(Driver& d, const Dialect& dialect,
                                                       const std::string& account,
                                                       const Report& report) {
  std::vector<std::pair<std::string, std::string>> edits;
  for (const auto& row : Rows(d, "SELECT name, sql FROM sqlite_schema WHERE type = 'table'")) {
    const std::string name = Text(row[0]), sql = Text(row[1]);
    if (FindNoCase(sql, kKeyLengthCheck) != std::string::npos || !HasOldKey(d, name)) continue;
    const std::string where = account + "." + name;
    const std::vector<std::vector<DbValue>> longer =
        Rows(d, "SELECT COUNT(*) FROM " + dialect.QuotedName(name) + " WHERE length(A0) > " +
                    std::to_string(kItemIdLength));
    if (const std::string n = Text(longer.at(0).at(0)); n != "0") {
      report(where + " holds " + n + " item ids longer than " + std::to_string(kItemIdLength) +
             " characters, which no program can read: shorten them and set up again to give "
             "its key its length check");
      continue;
    }
    std::string edited = WithKeyCheck(sql, dialect);
    if (edited.empty()) {
      report(where +
             " was not made by the engine (its definition holds comments): its key "
             "is given no length check");
      continue;
    }
    edits.emplace_back(name, std::move(edited));
  }
  return edits;
}

void CheckEmbeddedKeys(Driver& d, const Dialect& dialect, const std::string& account,
                       const Report& report) {
  std::vector<std::pair<std::string, std::string>> edits;
  d.Execute("BEGIN IMMEDIATE");
  try {
    edits = Edits(d, dialect, account, report);
    if (!edits.empty()) {
      const std::string version = Text(Rows(d, "PRAGMA schema_version").at(0).at(0));
      d.Execute("PRAGMA writable_schema = ON");
      for (const auto& [name, sql] : edits) {
        const DbValue params[] = {sql, name};
        d.Execute("UPDATE sqlite_schema SET sql = ? WHERE type = 'table' AND name = ?", params);
      }
      d.Execute("PRAGMA schema_version = " + std::to_string(std::stoll(version) + 1));
      d.Execute("PRAGMA writable_schema = OFF");
      // The new definitions are read before they are kept: one that SQLite could not read
      // would make the whole account unreadable.
      for (const auto& edit : edits)
        Rows(d, "SELECT 1 FROM " + dialect.QuotedName(edit.first) + " LIMIT 0");
    }
    d.Execute("COMMIT");
  } catch (...) {
    // Should the rollback fail, the connection is dropped with the transaction open, which
    // rolls it back all the same.
    for (const char* undo : {"PRAGMA writable_schema = OFF", "ROLLBACK"}) {
      try {
        d.Execute(undo);
      } catch (...) {
      }
    }
    throw;
  }
  for (const auto& edit : edits)
    report("gave the key of " + account + "." + edit.first + " its length check");
}

}  // namespace

void AddKeyChecks(const std::string& home, const EngineSettings& settings, Driver* admin,
                  const Report& report) {
  const Dialect& dialect = Dialect::Of(settings.dataStore);
  if (!dialect.ConnectionPerAccount()) {
    if (admin) CheckServerKeys(*admin, dialect, report);
    return;
  }
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(home + "/JetMDB", ec)) {
    if (entry.path().extension() != ".db") continue;
    const std::string account = entry.path().stem().string();
    // The locks file lies among the accounts but is none of them.
    if (!SqliteDriver::AccountExists(home, account)) continue;
    std::unique_ptr<Driver> d = MakeDriver(dialect.Kind());
    d->Connect(dialect.ConnectParamsFor(settings, home, account));
    CheckEmbeddedKeys(*d, dialect, account, report);
  }
}

}  // namespace orvik
