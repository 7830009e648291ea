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
// ids itself (KeyCollationIsExact).

#ifndef ORVIK_ENGINE_DATASTORE_LAYOUT_H_
#define ORVIK_ENGINE_DATASTORE_LAYOUT_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

inline constexpr std::string_view kSystemAccount = "dm";
inline constexpr std::string_view kControlItemKey = "<&NUM>";
// The width of every key column the engine creates. A longer id is refused, never cut.
inline constexpr std::size_t kItemIdLength = 25;
// The embedded store's collation of keys (registered on every SQLite connection).
inline constexpr std::string_view kKeyCollation = "LATIN1_NOCASE";

enum class TableTemplate {
  kDataColumns,       // A0 and A1..An
  kDataItem,          // A0 and ITEM
  kDictionary,        // <name>_dict: A0 and A1..A20
  kControlItem,       // the row that marks an item-mode file in its dictionary
  kMasterDictionary,  // md: A0 and A1..A20
};

// The statement that creates (or, for kControlItem, inserts) one table of a file, in the
// dialect of `dataStore` ("JET", "MYSQL", "MSSQL"). `columns` is n for kDataColumns.
std::string FileTableSql(std::string_view dataStore, TableTemplate kind, std::string_view name,
                         int columns = 0);

// The tables of the system account, by name, with the statements that create them.
struct SystemTable {
  std::string name;
  std::string createSql;
};
std::vector<SystemTable> SystemAccountTables(std::string_view dataStore);

// Text put between apostrophes in a statement of `dataStore`: the embedded store and SQL
// Server double each apostrophe; MySQL puts a backslash before backslash, apostrophe and
// double quote. Values go as bound parameters wherever a statement allows; this is for the
// places that cannot bind (DDL) and for statement texts shown in messages.
std::string EscapeSqlText(std::string_view dataStore, std::string_view text);

// How a file's or an account's name reaches a statement of `dataStore`. A MariaDB server
// whose lower_case_table_names is 0 tells "ORDERS" from "orders", so there every name goes
// in lower case, as the other servers store it: the engine works whatever that setting is.
std::string StatementName(std::string_view dataStore, std::string_view name);

// Refuses (VbError kIdTooLong) an id longer than kItemIdLength: a server would cut it, and
// two long ids would then name one item.
void CheckItemId(std::string_view id);

// Whether the datastore's key comparison is exactly the engine's rule (above). Where it is
// not, ids with bytes above 127 are checked against the row the datastore finds.
bool KeyCollationIsExact(std::string_view dataStore);
// Whether the datastore may take `id` for another id that the engine's rule tells apart.
bool KeyMayMeetTwin(std::string_view dataStore, std::string_view id);
// Whether a key the datastore found for `id` is `id` by the engine's rule. Key columns are
// CHAR on the servers, so blanks at the end do not count.
bool SameKey(std::string_view stored, std::string_view id);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_LAYOUT_H_
