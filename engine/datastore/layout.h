// How multivalue files and the system account are laid out as SQL tables, per datastore.
//
// A file is a table keyed on A0 (the item id) with one column per attribute (A1..An) or one
// ITEM column holding the whole item; its dictionary is the table <file>_dict with A0 and
// A1..A20; each account has a catalog md of the same shape. The system account "dm" adds
// users, locks and printhold. On the embedded store every column is TEXT (a wider type would
// turn "007" into 7).
//
// Keys compare by one rule on every datastore: without regard to case (ASCII and Latin-1
// letters), but every other difference counts: "MÜLLER" and "MYLLER" are two items, and the
// marks 252-254 are no letters. SQLite's files are the users' data, which any SQLite tool
// must be able to search and change: their key columns compare by the built-in collation
// NOCASE, which is the rule for ASCII, and a unique index on the keys folded by built-in
// functions tells apart the keys with other characters (Dialect::KeyIndexSql,
// Dialect::KeyEquals). MariaDB gets latin1_general_ci and SQL Server
// SQL_Latin1_General_CP1_CI_AS, the nearest each has. Those two also pair the marks (and a
// few other bytes above 127) with letters, so on the servers the engine checks such ids
// itself (Dialect::KeyCollationIsExact). The statements that create the tables, which
// differ per datastore, are the dialect's (dialect.h).
//
// A key longer than kItemIdLength is refused by the table itself, whoever writes: the key
// column carries a check (Dialect::KeyCheck). The engine's own writes never get that far
// (CheckItemId), but SQL a user types and other tools do, and a server without strict mode
// would otherwise cut the key, and so replace the item whose id the cut one is. On MariaDB
// the key column is therefore wider than the check: what the server cuts a long key to is
// still too long for it. It is VARCHAR, since a CHAR column drops the blanks at its end and
// a long key cut just after its 25th character and blanks would pass; its collation pads
// with blanks, so keys compare as they did in CHAR(25).

#ifndef ORVIK_ENGINE_DATASTORE_LAYOUT_H_
#define ORVIK_ENGINE_DATASTORE_LAYOUT_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "dialect.h"
#include "vb_error.h"

namespace orvik {

inline constexpr std::string_view kSystemAccount = "dm";
inline constexpr std::string_view kControlItemKey = "<&NUM>";
// The length of an item id. A longer id is refused, never cut.
inline constexpr std::size_t kItemIdLength = 25;
// The name of the key columns' check on the embedded store, which reports it by name.
inline constexpr std::string_view kKeyLengthCheck = "ItemIDLength";
// The embedded store's collation of key columns: SQLite's own.
inline constexpr std::string_view kKeyCollation = "NOCASE";
// The collation key columns of homes made before had, which only the engine knows. It is
// still given to every SQLite connection of the engine, for what a user made with it (a
// view, a query of a program); the set-up moves the key columns to kKeyCollation.
inline constexpr std::string_view kFormerKeyCollation = "LATIN1_NOCASE";

// Makes one table of a file (Dialect::FileTableStatements) on `driver`, in one transaction
// where that takes more than one statement, for tools and tests that hold the setting alone.
// Defined with the table of kinds (datastore_kinds.cpp), which finds the setting's dialect.
void CreateFileTable(Driver& driver, std::string_view dataStore, TableTemplate kind,
                     std::string_view name, int columns = 0);
// The same for a dialect; `lastStatement`, when given, is each statement as it is sent.
void CreateFileTable(Driver& driver, const Dialect& dialect, TableTemplate kind,
                     std::string_view name, int columns = 0, std::string* lastStatement = nullptr);
// Runs `statements` in order, all or none of them where they are more than one (a savepoint,
// which serves inside a transaction too). `lastStatement` as for CreateFileTable.
void RunAsOne(Driver& driver, const std::vector<std::string>& statements,
              std::string* lastStatement = nullptr);

// Refuses (VbError kIdTooLong) an id longer than kItemIdLength: a server would cut it, and
// two long ids would then name one item.
void CheckItemId(std::string_view id);
// What a driver raises for a statement that a key column's check refused: kIdTooLong, as
// CheckItemId, though the statement's id is not known.
VbError KeyTooLong();

// Whether a key the datastore found for `id` is `id` by the engine's rule. The servers'
// key collations pad with blanks, so blanks at the end do not count.
bool SameKey(std::string_view stored, std::string_view id);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_LAYOUT_H_
