// How multivalue files and the system account are laid out as SQL tables, per datastore.
//
// A file is a table keyed on A0 (the item id) with one column per attribute (A1..An) or one
// ITEM column holding the whole item; its dictionary is the table <file>_dict with A0 and
// A1..A20; each account has a catalog md of the same shape. The system account "dm" adds
// users, locks and printhold. On the embedded store every column is TEXT (a wider type would
// turn "007" into 7) and keys compare without regard to case, as on the servers.

#ifndef ORVIK_ENGINE_DATASTORE_LAYOUT_H_
#define ORVIK_ENGINE_DATASTORE_LAYOUT_H_

#include <string>
#include <string_view>
#include <vector>

namespace orvik {

inline constexpr std::string_view kSystemAccount = "dm";
inline constexpr std::string_view kControlItemKey = "<&NUM>";

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

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_LAYOUT_H_
