#include "layout.h"

#include "driver.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

bool IsEmbedded(std::string_view dataStore) { return dataStore != "MYSQL" && dataStore != "MSSQL"; }

// The collation of a key column, as each datastore names it.
std::string KeyCollation(std::string_view dataStore) {
  if (dataStore == "MYSQL") return "CHARACTER SET latin1 COLLATE latin1_general_ci";
  if (dataStore == "MSSQL") return "COLLATE SQL_Latin1_General_CP1_CI_AS";
  return "COLLATE " + std::string(kKeyCollation);
}

// The key column as each datastore declares it.
std::string KeyColumn(std::string_view dataStore) {
  const std::string type =
      "A0 CHAR(" + std::to_string(kItemIdLength) + ") " + KeyCollation(dataStore);
  if (dataStore == "MYSQL") return type + " PRIMARY KEY";
  return type + " CONSTRAINT idxItemID PRIMARY KEY";
}

std::string Columns(int from, int to, std::string_view type) {
  std::string out;
  for (int i = from; i <= to; ++i) {
    out += ", A" + std::to_string(i) + " ";
    out += type;
  }
  return out;
}

}  // namespace

std::string FileTableSql(std::string_view dataStore, TableTemplate kind, std::string_view name,
                         int columns) {
  const std::string table(name);
  const bool mysql = dataStore == "MYSQL";
  const bool mssql = dataStore == "MSSQL";
  switch (kind) {
    // MySQL's TEXT holds 64 KiB and a non-strict server cuts longer values without a word:
    // items there are LONGTEXT.
    case TableTemplate::kDataColumns:
      return "CREATE TABLE " + table + "(" + KeyColumn(dataStore) +
             Columns(1, columns,
                     mysql   ? "LONGTEXT NOT NULL"
                     : mssql ? "TEXT NOT NULL"
                             : "TEXT") +
             ")";
    case TableTemplate::kDataItem:
      return "CREATE TABLE " + table + "(" + KeyColumn(dataStore) +
             (mysql   ? ", ITEM LONGTEXT NOT NULL)"
              : mssql ? ", ITEM TEXT NOT NULL)"
                      : ", ITEM TEXT)");
    case TableTemplate::kDictionary:
      if (mysql)
        return "CREATE TABLE " + table + "_dict  (" + KeyColumn(dataStore) +
               Columns(1, 20, "TEXT") + ")";
      return "CREATE TABLE " + table + "_dict (" + KeyColumn(dataStore) +
             Columns(1, 20, mssql ? "VARCHAR(255)" : "TEXT") + ")";
    case TableTemplate::kControlItem:
      return "INSERT INTO " + table + "_dict(A0, A7) VALUES('<&NUM>', 'N')";
    case TableTemplate::kMasterDictionary:
      // Rows are often written with a few columns only: on the embedded store the others
      // default to empty text, as the servers' non-strict mode gives them.
      return "CREATE TABLE md (" + KeyColumn(dataStore) +
             Columns(1, 20,
                     mysql   ? "TEXT NOT NULL"
                     : mssql ? "VARCHAR(255) NOT NULL"
                             : "TEXT NOT NULL DEFAULT ''") +
             ")";
  }
  return {};
}

std::vector<SystemTable> SystemAccountTables(std::string_view dataStore) {
  const bool embedded = IsEmbedded(dataStore);
  const std::string text = embedded ? "TEXT" : dataStore == "MYSQL" ? "TEXT" : "VARCHAR(255)";
  const std::string key = "VARCHAR(255) " + KeyCollation(dataStore) + " PRIMARY KEY";
  const std::string memo = dataStore == "MSSQL" ? "TEXT" : embedded ? "TEXT" : "LONGTEXT";
  std::vector<SystemTable> out;
  out.push_back(
      {"users", "CREATE TABLE users (" + KeyColumn(dataStore) + Columns(1, 20, text) + ")"});
  // A lock key is the table part, character 255 and the item id: longer than an item id.
  out.push_back({"locks", "CREATE TABLE locks (A0 " + key + ", UserInst VARCHAR(255) NOT NULL)"});
  // The key makes two ports that pick the same next sequence fail visibly instead of
  // storing two jobs under one number.
  out.push_back({"printhold",
                 "CREATE TABLE printhold (Queue INTEGER NOT NULL, Sequence INTEGER NOT NULL, "
                 "UserID VARCHAR(255), Account VARCHAR(255), PrintTime VARCHAR(32), "
                 "Flag INTEGER, PrintText " +
                     memo + ", PRIMARY KEY (Queue, Sequence))"});
  out.push_back({"md", FileTableSql(dataStore, TableTemplate::kMasterDictionary, "md")});
  return out;
}

std::string EscapeSqlText(std::string_view dataStore, std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  const bool mysql = dataStore == "MYSQL";
  for (char c : text) {
    if (mysql && (c == '\\' || c == '\'' || c == '"')) {
      out.push_back('\\');
    } else if (!mysql && c == '\'') {
      out.push_back('\'');
    }
    out.push_back(c);
  }
  return out;
}

std::string StatementName(std::string_view dataStore, std::string_view name) {
  return dataStore == "MYSQL" ? LowerCase(name) : std::string(name);
}

void CheckItemId(std::string_view id) {
  if (id.size() > kItemIdLength) {
    throw VbError(dberr::kIdTooLong, "ItemID \"" + std::string(id) + "\" is longer than " +
                                         std::to_string(kItemIdLength) + " characters");
  }
}

bool KeyCollationIsExact(std::string_view dataStore) { return IsEmbedded(dataStore); }

bool KeyMayMeetTwin(std::string_view dataStore, std::string_view id) {
  if (KeyCollationIsExact(dataStore)) return false;
  for (const char c : id) {
    if (static_cast<unsigned char>(c) > 127) return true;
  }
  return false;
}

bool SameKey(std::string_view stored, std::string_view id) {
  const auto trimmed = [](std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
  };
  return EqualsNoCase(trimmed(stored), trimmed(id));
}

}  // namespace orvik
