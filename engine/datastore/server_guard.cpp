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

// Words that manage a principal when they follow one of these verbs (CREATE USER): alone
// they are ordinary names (a file called USER).
constexpr std::string_view kPrincipalVerbs[] = {"create", "alter", "drop", "rename"};
constexpr std::string_view kPrincipals[] = {"user", "login", "event"};
// What may come between the verb and the principal.
constexpr std::string_view kBetween[] = {"or", "replace"};

bool IsNumber(std::string_view word) {
  for (char c : word) {
    if (!IsAsciiDigit(c)) return false;
  }
  return true;
}

bool StartsNoCase(std::string_view word, std::string_view prefix) {
  return word.size() > prefix.size() && EqualsNoCase(word.substr(0, prefix.size()), prefix);
}

// The servers' own procedures (sp_addlogin, xp_cmdshell) and catalog views (sysusers).
bool NamesServerObject(std::string_view word) {
  return StartsNoCase(word, "sp_") || StartsNoCase(word, "xp_") || StartsNoCase(word, "sys");
}

}  // namespace

bool MayManageServer(std::string_view sql, std::string_view currentDatabase) {
  for (std::string_view schema : kServerSchemas) {
    if (EqualsNoCase(currentDatabase, schema)) return true;
  }
  bool afterVerb = false;
  for (std::string_view word : SqlWords(sql)) {
    // A version number of "/*!50000 ... */" stands between words the server reads as one.
    if (IsNumber(word)) continue;
    if (WordNamesAny(word, kServerSchemas) || WordNamesAny(word, kServerWords) ||
        NamesServerObject(word))
      return true;
    if (afterVerb && WordNamesAny(word, kPrincipals)) return true;
    if (WordNamesAny(word, kPrincipalVerbs)) {
      afterVerb = true;
    } else if (!WordNamesAny(word, kBetween)) {
      afterVerb = false;
    }
  }
  return false;
}

}  // namespace orvik
