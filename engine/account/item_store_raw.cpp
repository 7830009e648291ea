// Raw item storage: one item, or one attribute of it, between a file's table and a dynamic
// array, in column mode (A1..An) or item mode (one ITEM column).
//
// Values always travel as bound parameters. The statement texts in messages are written as a
// reader would type them, values quoted for the datastore.

#include <optional>

#include "file_variable.h"
#include "item_store.h"
#include "layout.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

std::string FieldText(const DbValue& v) { return v ? *v : std::string(); }

// Splits an item at its attribute marks; the empty item has no attributes.
std::vector<std::string> Attributes(std::string_view item) {
  if (item.empty()) return {};
  return SplitAt(item, kAttributeMark);
}

// "A<from>, ..., A<to>".
std::string Columns(int from, int to) {
  std::string out;
  for (int i = from; i <= to; ++i) {
    if (i > from) out += ", ";
    out += "A" + std::to_string(i);
  }
  return out;
}

std::string Marks(int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += i ? ", ?" : "?";
  return out;
}

// Storing the id would replace the item the datastore's collation takes it for.
VbError KeyTaken(std::string_view id) {
  return VbError(dberr::kKeyTaken, "ItemID \"" + std::string(id) +
                                       "\" cannot be stored: the datastore takes it for the id "
                                       "of another item");
}

[[noreturn]] void NoAttribute(std::string_view tablePart, std::int32_t attribute) {
  throw VbError(dberr::kTooManyAttributes, "File '" + std::string(tablePart) +
                                               "' has no attribute " + std::to_string(attribute));
}

// The file variable's parts, its account and file checked.
struct Target {
  FileVariable fv;
  std::string account;
  std::string file;
};

// The file variable, for an id that may be stored.
FileVariable ParsedFor(std::string_view fileVariable, std::string_view id) {
  CheckItemId(id);
  return FileVariable::Parse(fileVariable);
}

Target TargetOf(std::string_view fileVariable, std::string_view id) {
  Target t{ParsedFor(fileVariable, id), {}, {}};
  if (!t.fv.Split(&t.account, &t.file)) {
    if (t.fv.tablePart.find('.') == std::string::npos) throw VbError(vberr::kSubscriptOutOfRange);
    throw VbError(dberr::kBadName, "Invalid file name \"" + t.fv.tablePart + "\"");
  }
  return t;
}

Status Missing(std::string_view id, const std::string& shown) {
  return Status::Error(dberr::kItemMissing, "ItemID \"" + std::string(id) +
                                                "\" does not exist in recordset \"" + shown + "\"");
}

// A numeric attribute list applies to attribute k of the text read.
std::string Numeric(const NumericAttributes& numeric, int k, std::string text) {
  return numeric.Contains(k) ? NormaliseNumericAttribute(text) : text;
}

// Attribute k of an item being put together, after its mark, as Numeric has it.
void AppendAttribute(std::string& item, const NumericAttributes& numeric, int k,
                     std::string_view text) {
  if (k > 1) item.push_back(kAttributeMark);
  if (numeric.Contains(k)) {
    item += NormaliseNumericAttribute(text);
  } else {
    item += text;
  }
}

}  // namespace

bool ItemStore::TwinStored(Driver& driver, const std::string& name, std::string_view id) {
  if (!account_.dialect().KeyMayMeetTwin(id)) return false;
  const DbValue key{std::string(id)};
  auto cursor =
      driver.Lookup("SELECT A0 FROM " + name + " WHERE A0 = ?", std::span<const DbValue>(&key, 1));
  return cursor->Next() && !SameKey(cursor->Row()[0].value_or(""), id);
}

Status ItemStore::ReadItemRaw(std::string& item, std::string_view fileVariable, std::string_view id,
                              bool* lockTaken) {
  item.clear();
  if (lockTaken) *lockTaken = true;  // or tried, and the statement's failure is the answer
  try {
    const Target t = TargetOf(fileVariable, id);
    const Dialect& dialect = account_.dialect();
    const std::string name = account_.TableName(t.account, t.file);
    const std::shared_ptr<Driver> driver = account_.ConnectionFor(t.account);
    const Dialect::KeyMatch key = dialect.KeyEquals(id);
    const std::string select = "SELECT * FROM " + name + " WHERE " + key.condition;
    const std::span<const DbValue> params(&key.param, 1);
    std::unique_ptr<Cursor> cursor =
        lockTaken ? locks_.TakeAndRead(*driver, t.fv.tablePart, std::string(id), select, params)
                  : driver->Lookup(select, params);
    if (!cursor) {
      *lockTaken = false;
      return Status::Ok();
    }
    // A server's collation may find another item under this id (layout.h): then this one is
    // not stored.
    if (!cursor->Next() ||
        (dialect.KeyMayMeetTwin(id) && !SameKey(cursor->Row()[0].value_or(""), id))) {
      return Missing(id, "SELECT * FROM " + name + " WHERE A0 = '" + dialect.QuotedText(id) + "'");
    }
    const auto& row = cursor->Row();
    const int n = static_cast<int>(row.size());
    const NumericAttributes numeric(t.fv.numericList);
    if (t.fv.ItemMode() || n == 2) {
      item = FieldText(row[1]);
      if (!numeric.empty() && item.find(kAttributeMark) != std::string::npos) {
        std::string out;
        int k = 1;
        for (const std::string& a : Attributes(item)) AppendAttribute(out, numeric, k++, a);
        item = std::move(out);
      }
      return Status::Ok();
    }
    std::string out;
    for (int i = 1; i < n; ++i)
      AppendAttribute(out, numeric, i, row[i] ? std::string_view(*row[i]) : std::string_view());
    item = std::move(out);
    return Status::Ok();
  } catch (...) {
    const Status failed = Status::OfCurrentException();
    item = "ERROR: " + failed.Message();
    return failed;
  }
}

Status ItemStore::ReadAttributeRaw(std::string& value, std::string_view fileVariable,
                                   std::string_view id, std::int32_t attribute) {
  try {
    const FileVariable fv = ParsedFor(fileVariable, id);
    if (fv.ItemMode()) {
      std::string item;
      const Status read = ReadItemRaw(item, fileVariable, id);
      if (!read.ok()) {
        value = item;
        return read;
      }
      value = Numeric(NumericAttributes(fv.numericList), attribute,
                      fns_.Extract(item, attribute).ToString());
      return Status::Ok();
    }
    const Target t = TargetOf(fileVariable, id);
    const Dialect& dialect = account_.dialect();
    const std::string name = account_.TableName(t.account, t.file);
    const std::string column = "A" + std::to_string(attribute);
    const std::shared_ptr<Driver> driver = account_.ConnectionFor(t.account);
    const Dialect::KeyMatch key = dialect.KeyEquals(id);
    // The key comes too where a server's collation may find another item under this id.
    const bool checkKey = dialect.KeyMayMeetTwin(id);
    auto cursor = driver->Lookup("SELECT " + (checkKey ? "A0, " + column : column) + " FROM " +
                                     name + " WHERE " + key.condition,
                                 std::span<const DbValue>(&key.param, 1));
    if (!cursor->Next() || (checkKey && !SameKey(cursor->Row()[0].value_or(""), id))) {
      return Missing(id, "SELECT " + column + " FROM " + name + " WHERE A0 = '" +
                             dialect.QuotedText(id) + "'");
    }
    value = Numeric(NumericAttributes(fv.numericList), attribute,
                    FieldText(cursor->Row()[checkKey ? 1 : 0]));
    return Status::Ok();
  } catch (...) {
    const Status failed = Status::OfCurrentException();
    value = "ERROR: " + failed.Message();
    return failed;
  }
}

Status ItemStore::WriteItemRaw(std::string_view item, std::string_view fileVariable,
                               std::string_view id, const std::string* releasing, bool claim) {
  try {
    const Target t = TargetOf(fileVariable, id);
    const WritePlace place(account_, t.account, t.file);
    Driver& driver = *place.driver;
    const std::string& name = place.name;
    if (TwinStored(driver, name, id)) throw KeyTaken(id);

    // One retry after a failed statement, with the table's columns read afresh: the table
    // may have changed since they were last looked at.
    for (int attempt = 0;; ++attempt) {
      try {
        const AccountConnection::TableShape shape = account_.ShapeOf(driver, t.fv.tablePart, name);
        // The id and the item's columns, each value moved once from the item's text.
        std::vector<DbValue> row{std::string(id)};
        std::string names = "A0", sets;
        const auto addColumn = [&](std::string column, std::string value) {
          names += ", " + column;
          sets += (sets.empty() ? "" : ", ") + column + " = ?";
          row.emplace_back(std::move(value));
        };
        if (t.fv.ItemMode() || shape.itemColumn) {
          // A table with an ITEM column holds whole items, control item or not.
          addColumn("ITEM", std::string(item));
        } else {
          std::vector<std::string> attributes = Attributes(item);
          const int m = static_cast<int>(attributes.size());
          const int n = shape.attributeColumns;
          if (m > n) {
            throw VbError(dberr::kTooManyAttributes, "Item \"" + std::string(id) + "\" has " +
                                                         std::to_string(m) + " attributes; file '" +
                                                         t.fv.tablePart + "' holds " +
                                                         std::to_string(n));
          }
          // Every column is written: a shorter item clears what a longer one left behind.
          row.reserve(static_cast<std::size_t>(n) + 1);
          for (int k = 1; k <= n; ++k) {
            addColumn("A" + std::to_string(k),
                      k <= m ? std::move(attributes[k - 1]) : std::string());
          }
        }
        const std::string insert =
            " (" + names + ") VALUES (" + Marks(static_cast<int>(row.size())) + ")";
        if (releasing != nullptr) {
          locks_.WriteAndRelease(driver, "REPLACE INTO " + name + insert, row, *releasing, claim);
          return Status::Ok();
        }
        if (account_.dialect().WritesByReplace()) {
          driver.Execute("REPLACE INTO " + name + insert, row);
          return Status::Ok();
        }
        std::vector<DbValue> values(row.begin() + 1, row.end());  // for the columns after A0
        const Dialect::KeyMatch key = account_.dialect().KeyEquals(id);
        values.push_back(key.param);  // the key of the UPDATE's WHERE
        const std::string update = "UPDATE " + name + " SET " + sets + " WHERE " + key.condition;
        if (!sets.empty() && driver.Execute(update, values) > 0) return Status::Ok();
        driver.Execute("INSERT INTO " + name + insert, row);
        return Status::Ok();
      } catch (const VbError& e) {
        // A write that frees its lock ended its transaction, and so did a collision with
        // another session's: tried again, the write would run outside it.
        if (attempt > 0 || releasing != nullptr || e.number() == dberr::kTooManyAttributes ||
            e.number() == dberr::kLockedByAnother || e.number() == dberr::kConflict)
          throw;
        account_.ForgetShape(t.fv.tablePart);
      }
    }
  } catch (...) {
    return Status::OfCurrentException();
  }
}

Status ItemStore::WriteAttributeRaw(std::string_view value, std::string_view fileVariable,
                                    std::string_view id, std::int32_t attribute) {
  try {
    const FileVariable fv = ParsedFor(fileVariable, id);
    if (fv.ItemMode()) {
      std::string item;
      if (const Status read = ReadItemRaw(item, fileVariable, id); !read.ok()) {
        if (!read.Is(dberr::kItemMissing)) return read;
        item.clear();  // a new item
      }
      item = fns_.RReplace(item, attribute, Variant(std::string(value)));
      return WriteItemRaw(item, fileVariable, id);
    }
    const Target t = TargetOf(fileVariable, id);
    const WritePlace place(account_, t.account, t.file);
    Driver& driver = *place.driver;
    const std::string& name = place.name;
    // A0 is the item id: writing it would rename the item past the new id's lock.
    if (attribute < 1) NoAttribute(t.fv.tablePart, attribute);
    if (TwinStored(driver, name, id)) throw KeyTaken(id);
    const std::string column = "A" + std::to_string(attribute);

    const Dialect::KeyMatch key = account_.dialect().KeyEquals(id);
    const DbValue update[] = {std::string(value), key.param};
    if (driver.Execute("UPDATE " + name + " SET " + column + " = ? WHERE " + key.condition,
                       update) > 0)
      return Status::Ok();
    // A new item: every attribute column gets a value, so that no column is left NULL.
    const AccountConnection::TableShape shape = account_.ShapeOf(driver, t.fv.tablePart, name);
    if (attribute > shape.attributeColumns) NoAttribute(t.fv.tablePart, attribute);
    std::vector<DbValue> values{std::string(id)};
    for (int k = 1; k <= shape.attributeColumns; ++k)
      values.emplace_back(k == attribute ? std::string(value) : std::string());
    driver.Execute("INSERT INTO " + name + " (A0, " + Columns(1, shape.attributeColumns) +
                       ") VALUES (" + Marks(static_cast<int>(values.size())) + ")",
                   values);
    return Status::Ok();
  } catch (...) {
    return Status::OfCurrentException();
  }
}

}  // namespace orvik
