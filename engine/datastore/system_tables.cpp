#include "system_tables.h"

#include "layout.h"
#include "sql_words.h"
#include "text.h"

namespace orvik {
namespace {

constexpr std::string_view kWritingWords[] = {
    "insert",   "update", "delete", "replace", "merge",   "drop", "alter", "create",
    "truncate", "rename", "into",   "call",    "handler", "load", "grant", "revoke",
};

// Words whose effect the text does not show: run-time SQL, the servers' file access, and
// their named locks, which mark the sessions that hold item locks (lock_holders.h).
constexpr std::string_view kOpaqueWords[] = {
    "exec",     "execute",    "sp_executesql", "prepare",        "load_file", "outfile",
    "dumpfile", "openrowset", "openquery",     "opendatasource", "get_lock",  "sp_getapplock",
};

}  // namespace

bool IsGuardedTable(std::string_view table) {
  return EqualsNoCase(table, "users") || EqualsNoCase(table, "locks") ||
         EqualsNoCase(table, "sessions") || EqualsNoCase(table, "printhold");
}

bool MayReachSystemTables(std::string_view sql, std::string_view currentDatabase) {
  bool named = false, unreadable = false, locks = false, database = false, writes = false;
  for (std::string_view word : SqlWords(sql)) {
    if (WordNamesAny(word, kOpaqueWords)) return true;
    if (WordNames(word, kSystemAccount)) named = true;
    if (WordNames(word, "users") || WordNames(word, "printhold")) unreadable = true;
    if (WordNames(word, "locks") || WordNames(word, "sessions")) locks = true;
    if (WordNames(word, "database") || WordNames(word, "schema")) database = true;
    if (WordNamesAny(word, kWritingWords)) writes = true;
  }
  const bool systemAccount = named || EqualsNoCase(currentDatabase, kSystemAccount);
  // A statement on the whole database (DROP DATABASE dm) changes every table in it.
  return (systemAccount && (unreadable || (locks && writes))) || (named && database && writes);
}

}  // namespace orvik
