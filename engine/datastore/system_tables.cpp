#include "system_tables.h"

#include <vector>

#include "layout.h"
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

bool IsWordChar(char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_'; }

std::vector<std::string_view> Words(std::string_view sql) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < sql.size()) {
    while (i < sql.size() && !IsWordChar(sql[i])) ++i;
    const std::size_t start = i;
    while (i < sql.size() && IsWordChar(sql[i])) ++i;
    if (i > start) words.push_back(sql.substr(start, i - start));
  }
  return words;
}

// The word names `name`: equal to it, or a number glued to it ("1users").
bool Names(std::string_view word, std::string_view name) {
  if (EqualsNoCase(word, name)) return true;
  return word.size() > name.size() && IsAsciiDigit(word.front()) &&
         EqualsNoCase(word.substr(word.size() - name.size()), name);
}

template <std::size_t N>
bool NamesAny(std::string_view word, const std::string_view (&names)[N]) {
  for (std::string_view name : names) {
    if (Names(word, name)) return true;
  }
  return false;
}

}  // namespace

bool IsGuardedTable(std::string_view table) {
  return EqualsNoCase(table, "users") || EqualsNoCase(table, "locks") ||
         EqualsNoCase(table, "printhold");
}

bool MayReachSystemTables(std::string_view sql, std::string_view currentDatabase) {
  bool named = false, unreadable = false, locks = false, database = false, writes = false;
  for (std::string_view word : Words(sql)) {
    if (NamesAny(word, kOpaqueWords)) return true;
    if (Names(word, kSystemAccount)) named = true;
    if (Names(word, "users") || Names(word, "printhold")) unreadable = true;
    if (Names(word, "locks")) locks = true;
    if (Names(word, "database") || Names(word, "schema")) database = true;
    if (NamesAny(word, kWritingWords)) writes = true;
  }
  const bool systemAccount = named || EqualsNoCase(currentDatabase, kSystemAccount);
  // A statement on the whole database (DROP DATABASE dm) changes every table in it.
  return (systemAccount && (unreadable || (locks && writes))) || (named && database && writes);
}

}  // namespace orvik
