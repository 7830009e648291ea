// The system account's guarded tables, and how a statement a user typed is kept out of them.
//
// The users table of the system account is the key to every account: its password column
// (A7, the eighth column) and its rows, with the privileges, are the administrator's alone;
// so are the locks, sessions and printhold tables, which the engine writes for every session,
// and the held print, which is every user's own. SQL a user types at the prompt runs under the
// datastore's guard (Driver::SetSystemTablesGuard) unless the user has the administrator's
// privilege: a statement that could read the password column or the held print, or change one
// of those tables, is refused with error 984 and nothing runs.
//
// How a driver tells. SQLite reports every table and column a statement touches, views,
// subqueries and triggers included, while it compiles the statement (its authorizer), so
// the embedded store refuses exactly those statements. A server parses on its own side,
// where no such report reaches the engine, so the servers' drivers judge the text with
// MayReachSystemTables below: conservative, so that no spelling gets through, at the price
// of refusing some statements that would have been harmless.

#ifndef ORVIK_ENGINE_DATASTORE_SYSTEM_TABLES_H_
#define ORVIK_ENGINE_DATASTORE_SYSTEM_TABLES_H_

#include <string_view>

namespace orvik {

namespace dberr {
// A statement typed by a user that reaches into the system account's guarded tables.
inline constexpr int kSystemTables = 984;
}  // namespace dberr

inline constexpr std::string_view kSystemTablesRefused =
    "Only the administrator may read the password column or held print, or change the users, "
    "locks, sessions and printhold tables";

// The guarded tables: `users` (its password column read, or any change), `printhold` (any
// read or change), `locks` and `sessions` (any change).
bool IsGuardedTable(std::string_view table);
// The password column of the users table, by its name in the A0..An layout.
inline constexpr std::string_view kPasswordColumn = "A7";

// Whether a statement, judged by its text alone, may read the users or printhold table or
// change a guarded table, on a server whose connection is on `currentDatabase`.
//
// The text is read as words: the longest runs of ASCII letters, digits and '_'. Words are
// taken everywhere, inside quotes, brackets and comments too: a server runs some comments
// (MariaDB's "/*! ... */"), and what counts as a quote depends on its settings, so nothing
// is skipped. A guarded table is named by a word equal to its name (without regard to case),
// or by a word that starts with a digit and ends with it (a number glued to the name). The
// system account is in play when the connection is on it or a word names it ("dm"): then a
// statement naming `users` or `printhold` is refused whatever it does, and one naming `locks`
// or `sessions` when it also holds a word that writes (INSERT, UPDATE, DELETE, REPLACE, INTO,
// DROP, ...), since a server may run several statements in one text; so is a writing
// statement that names the system account and a DATABASE or SCHEMA (DROP DATABASE dm). Words
// that run text built at run time or reach the server's files (EXEC, EXECUTE, LOAD_FILE,
// OUTFILE, OPENROWSET, ...) are refused in any account: what they run cannot be judged; so
// are the servers' named locks (GET_LOCK, sp_getapplock), by which a session shows that its
// item locks are alive: another session's mark, taken, would keep those locks for ever.
bool MayReachSystemTables(std::string_view sql, std::string_view currentDatabase);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_SYSTEM_TABLES_H_
