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
// marks 252-254 are no letters. SQLite gets the rule as the collation kKeyCollation, which
// the SQLite driver gives each of its connections; MariaDB gets latin1_general_ci and SQL
// Server SQL_Latin1_General_CP1_CI_AS, the nearest each has. Those two also pair the marks
// (and a few other bytes above 127) with letters, so on the servers the engine checks such
// ids itself (Dialect::KeyCollationIsExact). The statements that create the tables, which
// differ per datastore, are the dialect's (dialect.h).

#ifndef ORVIK_ENGINE_DATASTORE_LAYOUT_H_
#define ORVIK_ENGINE_DATASTORE_LAYOUT_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "dialect.h"

namespace orvik {

inline constexpr std::string_view kSystemAccount = "dm";
inline constexpr std::string_view kControlItemKey = "<&NUM>";
// The width of every key column the engine creates. A longer id is refused, never cut.
inline constexpr std::size_t kItemIdLength = 25;
// The embedded store's collation of keys (registered on every SQLite connection).
inline constexpr std::string_view kKeyCollation = "LATIN1_NOCASE";

// The statement of the dialect of `dataStore` that creates one table of a file
// (Dialect::FileTableSql), for tools and tests that hold the setting alone.
std::string FileTableSql(std::string_view dataStore, TableTemplate kind, std::string_view name,
                         int columns = 0);

// Refuses (VbError kIdTooLong) an id longer than kItemIdLength: a server would cut it, and
// two long ids would then name one item.
void CheckItemId(std::string_view id);

// Whether a key the datastore found for `id` is `id` by the engine's rule. Key columns are
// CHAR on the servers, so blanks at the end do not count.
bool SameKey(std::string_view stored, std::string_view id);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_LAYOUT_H_
