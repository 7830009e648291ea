// The embedded store's dialect (SQLite, one database file per account), and the dialect of
// a DataStore setting that names no datastore, which keeps the embedded store's text rules
// but reaches nothing.

#include "dialect.h"
#include "dialect_kinds.h"
#include "layout.h"
#include "text.h"

namespace orvik {
namespace {

// Keys made of ASCII alone are told apart by the key column's collation NOCASE, which every
// SQLite tool knows and which is the engine's rule for them. A key with any other character
// also goes into a partial index on its letters folded to capitals, with the built-in
// functions alone: upper() would not do, as a build of SQLite with ICU folds more letters
// with it (the marks 252-254, which are no letters here, among them) and would then find
// other keys in the index than the engine put there. The fold is written character by
// character, since SQLite's parser refuses functions nested deeper than a score or so.
std::string FoldedCharacter(int position) {
  const std::string c = "substr(A0," + std::to_string(position) + ",1)";
  // The small letters of Latin-1 that have capitals in it: a-z, 224-246 and 248-251.
  return "CASE WHEN " + c + " GLOB '[a-z\xE0-\xF6\xF8-\xFB]' THEN char(unicode(" + c +
         ")-32) ELSE " + c + " END";
}

const std::string& FoldedKey() {
  static const std::string folded = [] {
    std::string out = "(";
    for (std::size_t i = 1; i <= kItemIdLength; ++i)
      out += FoldedCharacter(static_cast<int>(i)) + " || ";
    // A longer key (a table made before they were refused) keeps the rest as it is.
    return out + "substr(A0," + std::to_string(kItemIdLength + 1) + "))";
  }();
  return folded;
}

// The keys the partial index holds: those with a character beyond ASCII, whose UTF-8 text
// is longer in bytes than in characters.
constexpr std::string_view kKeyBeyondAscii = "length(A0) < length(CAST(A0 AS BLOB))";

bool AsciiOnly(std::string_view id) {
  for (const char c : id) {
    if (static_cast<unsigned char>(c) > 127) return false;
  }
  return true;
}

// The id as FoldedKey folds a stored key.
std::string FoldedId(std::string_view id) {
  const std::size_t folded = std::min(id.size(), kItemIdLength);
  return UpperCase(id.substr(0, folded)) + std::string(id.substr(folded));
}

class EmbeddedStore : public Dialect {
 public:
  std::string_view Kind() const override { return kEmbeddedStore; }
  std::string TableName(const std::string&, const std::string& file,
                        const std::string&) const override {
    return file;
  }
  std::string FirstCharacter(std::string_view column) const override {
    return "SUBSTR(" + std::string(column) + ",1,1)";
  }
  // NOCASE and the index of folded keys together are the engine's rule (layout.h).
  bool KeyCollationIsExact() const override { return true; }
  KeyMatch KeyEquals(std::string_view id) const override {
    if (AsciiOnly(id)) return Dialect::KeyEquals(id);
    return {FoldedKey() + " = ? AND " + std::string(kKeyBeyondAscii), FoldedId(id)};
  }
  std::string KeyTwinsQuery(std::string_view table) const override {
    return "SELECT COUNT(*) FROM (SELECT 1 FROM " + QuotedName(table) + " WHERE " +
           std::string(kKeyBeyondAscii) + " GROUP BY " + FoldedKey() + " HAVING COUNT(*) > 1)";
  }
  std::string KeyIndexBody() const override {
    return "(" + FoldedKey() + ") WHERE " + std::string(kKeyBeyondAscii);
  }
  // Lock keys are the engine's own: kept folded, NOCASE alone tells them apart.
  std::string StoredLockKey(std::string key) const override { return UpperCase(key); }
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
