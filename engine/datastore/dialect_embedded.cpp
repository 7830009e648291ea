// The embedded store's dialect (SQLite, one database file per account), and the dialect of
// a DataStore setting that names no datastore, which keeps the embedded store's text rules
// but reaches nothing.

#include "dialect.h"
#include "dialect_kinds.h"
#include "layout.h"

namespace orvik {
namespace {

class EmbeddedStore : public Dialect {
 public:
  std::string_view Kind() const override { return kEmbeddedStore; }
  bool ConnectionPerAccount() const override { return true; }
  std::string TableName(const std::string&, const std::string& file,
                        const std::string&) const override {
    return file;
  }
  std::string FirstCharacter(std::string_view column) const override {
    return "SUBSTR(" + std::string(column) + ",1,1)";
  }
  // The engine gives every connection its own collation (layout.h).
  bool KeyCollationIsExact() const override { return true; }
  SessionNumbering Numbering() const override { return SessionNumbering::kRegistry; }
  // SQLite keeps a key whole, whatever its declared width. Named, so that the driver can tell
  // its failure; the same text serves as a table constraint.
  std::string KeyCheck() const override {
    return "CONSTRAINT " + std::string(kKeyLengthCheck) +
           " CHECK (length(A0) <= " + std::to_string(kItemIdLength) + ")";
  }

 protected:
  std::string KeyCollation() const override { return "COLLATE " + std::string(kKeyCollation); }
  // Rows kept in the key's own tree: taking or freeing a lock writes one page, not two.
  std::string LocksTableOptions() const override { return " WITHOUT ROWID"; }
  bool LocksInSystemAccount() const override { return false; }
  // A wider type would turn "007" into 7. Rows of md are often written with a few columns
  // only: the others default to empty text, as the servers' non-strict mode gives them.
  ColumnTypes Types() const override {
    return {"TEXT", "TEXT", "TEXT", "TEXT NOT NULL DEFAULT ''", "TEXT", "TEXT"};
  }
};

class NoDatastore : public EmbeddedStore {
 public:
  std::string_view Kind() const override { return {}; }
  bool ConnectionPerAccount() const override { return false; }
  std::string FirstCharacter(std::string_view column) const override {
    return Dialect::FirstCharacter(column);
  }
  SessionNumbering Numbering() const override { return SessionNumbering::kNone; }
};

}  // namespace

const Dialect& EmbeddedStoreDialect() {
  static const EmbeddedStore dialect;
  return dialect;
}

const Dialect& NoDatastoreDialect() {
  static const NoDatastore dialect;
  return dialect;
}

}  // namespace orvik
