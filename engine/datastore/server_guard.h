// How a statement a user typed is kept from managing the server it runs on.
//
// On a server, what a session may do is bounded twice: by the rights of its login, which
// the set-up narrows to what the engine itself runs (setup.cpp), and, for the SQL a user
// below the administrator's privilege types, by this guard, which refuses what it can see
// in the text before the server sees it. It runs with the system tables' guard
// (system_tables.h, Driver::SetSystemTablesGuard) and refuses with the same error 984, in
// words of its own.
//
// Judged by its words (sql_words.h), and conservative: a statement is refused when it may
// manage logins, users, roles or rights (USER, LOGIN or EVENT with CREATE, ALTER, DROP or
// RENAME anywhere in the statement, GRANT,
// REVOKE, SET PASSWORD, any ROLE, the servers' procedures sp_... and xp_...), run the
// server's own commands (FLUSH, SHUTDOWN, KILL, INSTALL PLUGIN, SONAME, SET GLOBAL, a
// DEFINER, replication, files of the server's host), make a database or drop one, or names
// one of the server's own schemas (mysql, information_schema, performance_schema, sys and
// the sys... catalog views, master, msdb, tempdb), or runs on a connection that is on one of
// them. Some harmless statements are refused with them: a column named "role" or "global",
// a table named USER made or dropped.

#ifndef ORVIK_ENGINE_DATASTORE_SERVER_GUARD_H_
#define ORVIK_ENGINE_DATASTORE_SERVER_GUARD_H_

#include <string_view>

namespace orvik {

inline constexpr std::string_view kServerManagementRefused =
    "Only the administrator may manage the server's logins and rights or reach its own "
    "schemas";

bool MayManageServer(std::string_view sql, std::string_view currentDatabase);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_SERVER_GUARD_H_
