#include "server_guard.h"

#include "sql_words.h"
#include "text.h"

namespace orvik {
namespace {

// The servers' own databases and catalogs.
constexpr std::string_view kServerSchemas[] = {
    "mysql", "information_schema", "performance_schema", "sys", "master", "msdb", "tempdb",
};

// Words that belong only to statements on logins, rights and the server itself.
constexpr std::string_view kServerWords[] = {
    "grant",       "revoke",     "password",    "identified", "role",      "roles",
    "flush",       "shutdown",   "kill",        "install",    "uninstall", "plugin",
    "soname",      "definer",    "global",      "persist",    "sql_mode",  "server",
    "infile",      "outfile",    "dumpfile",    "master",     "slave",     "replica",
    "binlog",      "purge",      "procedure",   "function",   "trigger",   "reconfigure",
    "dbcc",        "bulk",       "backup",      "restore",    "setuser",   "authorization",
    "impersonate", "credential", "certificate", "database",   "databases", "schema",
};

// Words that manage a principal when a statement also holds one of these verbs (CREATE
// USER): alone they are ordinary names (WHERE user = ...). Whatever stands between them, a
// comment the server skips may hold it.
constexpr std::string_view kPrincipalVerbs[] = {"create", "alter", "drop", "rename"};
constexpr std::string_view kPrincipals[] = {"user", "login", "event"};

bool StartsNoCase(std::string_view word, std::string_view prefix) {
  return word.size() > prefix.size() && EqualsNoCase(word.substr(0, prefix.size()), prefix);
}

// The servers' own procedures (sp_addlogin, xp_cmdshell) and catalog views (sysusers),
// a number glued before them or not.
bool NamesServerObject(std::string_view word) {
  while (!word.empty() && IsAsciiDigit(word.front())) word.remove_prefix(1);
  return StartsNoCase(word, "sp_") || StartsNoCase(word, "xp_") || StartsNoCase(word, "sys");
}

}  // namespace

bool MayManageServer(std::string_view sql, std::string_view currentDatabase) {
  for (std::string_view schema : kServerSchemas) {
    if (EqualsNoCase(currentDatabase, schema)) return true;
  }
  bool verb = false, principal = false;
  for (std::string_view word : SqlWords(sql)) {
    if (WordNamesAny(word, kServerSchemas) || WordNamesAny(word, kServerWords) ||
        NamesServerObject(word))
      return true;
    if (WordNamesAny(word, kPrincipalVerbs)) verb = true;
    if (WordNamesAny(word, kPrincipals)) principal = true;
  }
  return verb && principal;
}

}  // namespace orvik
