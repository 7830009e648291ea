#include "key_checks.h"

#include <cstdint>
#include <vector>

#include "datastore_kinds.h"
#include "dialect.h"
#include "layout.h"
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

// --- The embedded store: SQLite cannot add a constraint to a table, nor change a column's
// collation, but neither changes how rows are stored, so the table's definition is edited in
// place, as SQLite documents for such changes: in one transaction with the schema's version
// raised, so that every connection reads the new definition. Nothing moves: rows, row ids,
// and the order in which the tables are listed stay as they are; the key's own index is
// rebuilt for its new collation, and the index of folded keys is added.

// The key column as engines of before made it, and as it is made now.
const std::string kFormerKey =
    "A0 CHAR(" + std::to_string(kItemIdLength) + ") COLLATE " + std::string(kFormerKeyCollation);
const std::string kKey =
    "A0 CHAR(" + std::to_string(kItemIdLength) + ") COLLATE " + std::string(kKeyCollation);

bool HasOldKey(Driver& d, const std::string& table) {
  const std::vector<ColumnInfo> columns = d.ListColumns(table);
  return !columns.empty() && EqualsNoCase(columns[0].name, "A0") &&
         EqualsNoCase(columns[0].type, "CHAR(" + std::to_string(kItemIdLength) + ")");
}

bool HoldsComments(const std::string& sql) {
  return sql.find("--") != std::string::npos || sql.find("/*") != std::string::npos;
}

// The definition with the check added as a table constraint.
std::string WithKeyCheck(const std::string& sql, const Dialect& dialect) {
  const std::size_t close = sql.rfind(')');
  if (close == std::string::npos) return {};
  return sql.substr(0, close) + ", " + dialect.KeyCheck() + sql.substr(close);
}

// Whether `table` has the index of folded keys, under whatever name (a table renamed keeps
// the name its index was given).
bool HasKeyIndex(Driver& d, const Dialect& dialect, const std::string& table) {
  const std::string body = " " + dialect.KeyIndexBody();
  const DbValue name{table};
  auto rows = d.Query("SELECT sql FROM sqlite_schema WHERE type = 'index' AND tbl_name = ?",
                      std::span<const DbValue>(&name, 1));
  while (rows->Next()) {
    if (rows->Row()[0].value_or("").ends_with(body)) return true;
  }
  return false;
}

// Whether `table` may be given the index of folded keys: a table made by hand may hold two
// ids of one item by the engine's rule, which only its owner can tell apart.
bool MayBeIndexed(Driver& d, const Dialect& dialect, const std::string& where,
                  const std::string& table, const Report& report) {
  const std::string twins = Text(Rows(d, dialect.KeyTwinsQuery(table)).at(0).at(0));
  if (twins == "0") return true;
  report(where + " holds " + twins +
         " item ids that differ from others only in the case of their letters: the engine "
         "reads one of each; make them one and set up again to give it the index of its keys");
  return false;
}

struct Upgrade {
  std::vector<std::pair<std::string, std::string>> definitions;  // table, its new definition
  std::vector<std::string> checked;                              // given the length check
  std::vector<std::string> recollated;  // moved to kKeyCollation: their key index is rebuilt
  std::vector<std::string> indexed;     // given the index of folded keys
};

// What the account's tables of the engine's shape lack; what cannot be done is reported.
Upgrade Plan(Driver& d, const Dialect& dialect, const std::string& account, const Report& report) {
  Upgrade plan;
  for (const auto& row : Rows(d, "SELECT name, sql FROM sqlite_schema WHERE type = 'table'")) {
    const std::string name = Text(row[0]), sql = Text(row[1]);
    if (!HasOldKey(d, name)) continue;
    const bool former = FindNoCase(sql, kFormerKey) != std::string::npos;
    const bool check = FindNoCase(sql, kKeyLengthCheck) == std::string::npos;
    const bool keyed = former || FindNoCase(sql, kKey) != std::string::npos;
    const std::string where = account + "." + name;
    if (!former && !check) {
      if (keyed && !HasKeyIndex(d, dialect, name) && MayBeIndexed(d, dialect, where, name, report))
        plan.indexed.push_back(name);
      continue;
    }
    // Where a definition holds comments, what is the key column cannot be told from the
    // text alone.
    if (HoldsComments(sql)) {
      report(where +
             " was not made by the engine (its definition holds comments): its key is "
             "left as it is");
      continue;
    }
    std::string edited = sql;
    if (former) {
      const std::size_t at = FindNoCase(edited, kFormerKey);
      edited.replace(at, kFormerKey.size(), kKey);
      plan.recollated.push_back(name);
    }
    if (check) {
      const std::vector<std::vector<DbValue>> longer =
          Rows(d, "SELECT COUNT(*) FROM " + dialect.QuotedName(name) + " WHERE length(A0) > " +
                      std::to_string(kItemIdLength));
      if (const std::string n = Text(longer.at(0).at(0)); n != "0") {
        report(where + " holds " + n + " item ids longer than " + std::to_string(kItemIdLength) +
               " characters, which no program can read: shorten them and set up again to give "
               "its key its length check");
      } else {
        edited = WithKeyCheck(edited, dialect);
        plan.checked.push_back(name);
      }
    }
    // Keys of the former collation are apart by the engine's rule already.
    if (keyed && !HasKeyIndex(d, dialect, name) &&
        (former || MayBeIndexed(d, dialect, where, name, report)))
      plan.indexed.push_back(name);
    if (edited != sql) plan.definitions.emplace_back(name, std::move(edited));
  }
  return plan;
}

void UpgradeEmbeddedKeys(Driver& d, const Dialect& dialect, const std::string& account,
                         const Report& report) {
  Upgrade plan;
  d.Execute("BEGIN IMMEDIATE");
  try {
    plan = Plan(d, dialect, account, report);
    if (!plan.definitions.empty()) {
      const std::string version = Text(Rows(d, "PRAGMA schema_version").at(0).at(0));
      d.Execute("PRAGMA writable_schema = ON");
      for (const auto& [name, sql] : plan.definitions) {
        const DbValue params[] = {sql, name};
        d.Execute("UPDATE sqlite_schema SET sql = ? WHERE type = 'table' AND name = ?", params);
      }
      d.Execute("PRAGMA schema_version = " + std::to_string(std::stoll(version) + 1));
      d.Execute("PRAGMA writable_schema = OFF");
      // The new definitions are read before they are kept: one that SQLite could not read
      // would make the whole account unreadable.
      for (const auto& edit : plan.definitions)
        Rows(d, "SELECT 1 FROM " + dialect.QuotedName(edit.first) + " LIMIT 0");
    }
    // The key's index was ordered by the former collation.
    for (const std::string& name : plan.recollated)
      d.Execute("REINDEX " + dialect.QuotedName(name));
    for (const std::string& name : plan.indexed) d.Execute(dialect.KeyIndexSql(name));
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
  for (const std::string& name : plan.checked)
    report("gave the key of " + account + "." + name + " its length check");
  for (const std::string& name : plan.recollated)
    report("gave the key of " + account + "." + name + " the collation " +
           std::string(kKeyCollation) + ", which every SQLite tool knows");
  for (const std::string& name : plan.indexed)
    report("gave " + account + "." + name + " the index of its keys folded to capitals");
  // What a user made with the former collation: only the engine can search it.
  for (const auto& row : Rows(d, "SELECT type, name, sql FROM sqlite_schema")) {
    if (FindNoCase(Text(row[2]), kFormerKeyCollation) == std::string::npos) continue;
    report("the " + Text(row[0]) + " " + account + "." + Text(row[1]) + " uses the collation " +
           std::string(kFormerKeyCollation) + ", which only the engine knows");
  }
}

}  // namespace

void AddKeyChecks(const std::string& home, const EngineSettings& settings, Driver* admin,
                  const Report& report) {
  const DatastoreKind& kind = *FindDatastoreKind(settings.dataStore);
  // A server's administrator finds them all with one query.
  if (admin) {
    CheckServerKeys(*admin, kind.dialect, report);
    return;
  }
  std::vector<std::string> accounts;
  // A home without accounts has no keys to check.
  (void)kind.accounts.List({home, nullptr}, SIZE_MAX, &accounts);
  for (const std::string& account : accounts) {
    std::unique_ptr<Driver> d = kind.makeDriver();
    d->Connect(kind.dialect.ConnectParamsFor(settings, home, account));
    UpgradeEmbeddedKeys(*d, kind.dialect, account, report);
  }
}

}  // namespace orvik
