#include "account_schema.h"

#include "layout.h"
#include "numbers.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

// Within what every datastore allows in one table.
constexpr std::int32_t kMaxAttributeColumns = 1000;

// How many accounts LISTA shows at most.
constexpr std::size_t kListedAccounts = 101;

std::string ValueText(const Recordset& rs, std::string_view field) {
  const DbValue& v = rs.Value(rs.FieldIndex(field));
  return v ? *v : std::string();
}

}  // namespace

void CreateFile(AccountConnection& account, std::string name, const std::string& size,
                bool dictionaryToo, std::string& lastStatement) {
  if (!name.empty() && name.back() == ';') name.pop_back();
  for (char& c : name) {
    if (c == ',') c = '.';
  }
  // A name qualified with an account creates the file there.
  const std::string& current = account.Account();
  std::string where = current, file = name;
  if (const std::size_t dot = name.find('.'); dot != std::string::npos) {
    where = name.substr(0, dot);
    file = name.substr(dot + 1);
  }
  const Dialect& dialect = account.dialect();
  // "MD", however qualified, is the current account's master dictionary.
  const bool masterDictionary = UpperCase(file) == "MD";
  const std::shared_ptr<Driver> driver = account.ConnectionFor(masterDictionary ? current : where);
  const auto run = [&](TableTemplate kind, const std::string& table, int columns = 0) {
    CreateFileTable(*driver, dialect, kind, table, columns, &lastStatement);
  };
  if (masterDictionary) {
    run(TableTemplate::kMasterDictionary, "md");
  } else {
    // A file's table names go into statements as they stand.
    if (!IsPlainIdentifier(file)) {
      throw VbError(dberr::kBadName, "Invalid file name \"" + name + "\"");
    }
    // The account's name reaches the statement, or the connection, that makes the table.
    CheckAccountName(where);
    const std::string table = account.TableName(where, file);
    if (!size.empty() && IsNumeric(Variant(size))) {
      const std::int32_t columns = Variant(size).ToLong();
      if (columns < 1 || columns > kMaxAttributeColumns) {
        throw VbError(vberr::kInvalidProcedureCall,
                      "A file holds 1 to " + std::to_string(kMaxAttributeColumns) + " attributes");
      }
      run(TableTemplate::kDataColumns, table, columns);
      if (dictionaryToo) run(TableTemplate::kDictionary, table);
    } else if (UpperCase(size) == "N") {
      run(TableTemplate::kDataItem, table);
      run(TableTemplate::kDictionary, table);
      run(TableTemplate::kControlItem, table);
    } else {
      run(TableTemplate::kDictionary, table);
    }
  }
  account.ForgetTableShapes();
  if (where == current) account.LoadTableList();
}

std::string CreateAccount(AccountConnection& account, const std::vector<std::string>& words,
                          std::string& statement) {
  const Dialect& dialect = account.dialect();
  std::vector<std::string> rewritten = words;
  rewritten[1] = "DATABASE";
  // Named as connections will name it.
  if (rewritten.size() > 2) rewritten[2] = dialect.StatementName(rewritten[2]);
  statement.clear();
  for (const std::string& w : rewritten) statement += (statement.empty() ? "" : " ") + w;
  const AccountSpace* space = account.Accounts();
  if (!space) return std::to_string(account.Required().Execute(statement));
  return std::to_string(
      space->Create(account.Site(), words.size() > 2 ? words[2] : std::string(), statement));
}

Status ListAccounts(AccountConnection& account, std::string* list) {
  list->clear();
  const AccountSpace* space = account.Accounts();
  if (!space) {
    *list = "ERROR";
    return Status::Ok();
  }
  std::vector<std::string> names;
  if (Status listed = space->List(account.Site(), kListedAccounts, &names); !listed.ok())
    return listed;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) list->push_back(kAttributeMark);
    *list += names[i];
  }
  return Status::Ok();
}

TableDescription DescribeTable(AccountConnection& account, const std::string& table) {
  const Dialect& dialect = account.dialect();
  Driver& connection = account.Required();
  const std::string name = dialect.StatementName(table);
  TableDescription d;
  {
    auto count = connection.Query("SELECT COUNT(*) FROM " + name);
    d.items = count->Next() ? count->Row()[0].value_or("0") : "0";
  }
  // The table's columns: from the server's own listing where it has one, else the schema's.
  if (const std::optional<ColumnListing> listing = dialect.ColumnListingOf(name)) {
    Recordset rs;
    rs.Open(account.Connection(), listing->query);
    for (; !rs.AtEOF(); rs.MoveNext()) {
      d.columns.push_back({ValueText(rs, listing->field), ValueText(rs, listing->type),
                           ValueText(rs, listing->key)});
    }
  } else {
    int i = 0;
    for (const ColumnInfo& c : connection.ListColumns(table)) {
      d.columns.push_back({c.name, c.type, i++ == 0 ? "PRI" : ""});
    }
  }
  if (d.columns.empty())
    throw VbError(dberr::kNoTableInfo, "Table exists but no meaningful info available on it");
  // Rows whose A8 is Null count as empty.
  d.dictionaryQuery = "SELECT A0, A2, A3, A5, A7 FROM " + name +
                      "_dict WHERE (A8 = '' OR A8 IS NULL) AND " + dialect.FirstCharacter("A1") +
                      " = 'A';";
  return d;
}

}  // namespace orvik
