// Raw item storage: one item, or one attribute of it, between a file's table and a dynamic
// array, in column mode (A1..An) or item mode (one ITEM column).
//
// Values always travel as bound parameters. The statement texts in messages are written as a
// reader would type them, values quoted and escaped for the datastore.

#include <optional>

#include "database_switch.h"
#include "driver_factory.h"
#include "engine_fns.h"
#include "file_variable.h"
#include "layout.h"
#include "port.h"
#include "vb_error.h"

namespace orvik {
namespace {

std::string FieldText(const DbValue& v) { return v ? *v : std::string(); }

// Splits an item at its attribute marks; the empty item has no attributes.
std::vector<std::string> Attributes(std::string_view item) {
  std::vector<std::string> out;
  if (item.empty()) return out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = item.find(kAttributeMark, start);
    out.emplace_back(
        item.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return out;
    start = end + 1;
  }
}

// Joins `a`, `b`, ... with ", ".
std::string Columns(int from, int to, std::string_view suffix = {}) {
  std::string out;
  for (int i = from; i <= to; ++i) {
    if (i > from) out += ", ";
    out += "A" + std::to_string(i);
    out.append(suffix);
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

[[noreturn]] void BadTablePart(std::string_view tablePart) {
  if (tablePart.find('.') == std::string_view::npos) throw VbError(vberr::kSubscriptOutOfRange);
  throw VbError(dberr::kBadName, "Invalid file name \"" + std::string(tablePart) + "\"");
}

[[noreturn]] void NoAttribute(std::string_view tablePart, std::int32_t attribute) {
  throw VbError(dberr::kTooManyAttributes, "File '" + std::string(tablePart) +
                                               "' has no attribute " + std::to_string(attribute));
}

}  // namespace

std::shared_ptr<Driver> Port::ConnectionFor(const std::string& account) {
  if (settings_.dataStore == "JET" && account != account_) {
    std::shared_ptr<Driver> other = NewDriver("JET");
    other->Connect(ConnectParamsFor(account));
    return other;
  }
  if (!connection_) {
    throw VbError(rserr::kObjectClosed, "Operation is not allowed when the object is closed.");
  }
  return connection_;
}

std::string Port::ReadName(const std::string& account, const std::string& file) const {
  if (settings_.dataStore == "MYSQL") return StatementName("MYSQL", account + "." + file);
  if (settings_.dataStore == "MSSQL" && account != account_) return account + ".." + file;
  return file;
}

bool Port::TwinStored(Driver& driver, const std::string& name, std::string_view id) {
  if (!KeyMayMeetTwin(settings_.dataStore, id)) return false;
  const DbValue key{std::string(id)};
  auto cursor =
      driver.Query("SELECT A0 FROM " + name + " WHERE A0 = ?", std::span<const DbValue>(&key, 1));
  return cursor->Next() && !SameKey(cursor->Row()[0].value_or(""), id);
}

Port::TableShape Port::ShapeOf(Driver& driver, const std::string& tablePart,
                               const std::string& readName) {
  const std::string key = LowerCase(tablePart);
  if (const auto it = tableShapes_.find(key); it != tableShapes_.end()) return it->second;
  auto cursor = driver.Query("SELECT * FROM " + readName + " WHERE 1 = 0");
  TableShape shape;
  for (const std::string& f : cursor->FieldNames()) {
    if (EqualsNoCase(f, "ITEM")) shape.itemColumn = true;
  }
  shape.attributeColumns = static_cast<int>(cursor->FieldNames().size()) - 1;
  tableShapes_[key] = shape;
  return shape;
}

bool Port::ReadItemRaw(std::string& item, std::string_view fileVariable, std::string_view id) {
  errorDetail_.clear();
  item.clear();
  try {
    CheckItemId(id);
    const FileVariable fv = FileVariable::Parse(fileVariable);
    std::string account, file;
    if (!fv.Split(&account, &file)) BadTablePart(fv.tablePart);
    const std::string name = ReadName(account, file);
    const std::string shown =
        "SELECT * FROM " + name + " WHERE A0 = '" + EscapeSqlText(settings_.dataStore, id) + "'";
    if (settings_.dataStore != "JET" && settings_.dataStore != "MYSQL" &&
        settings_.dataStore != "MSSQL")
      throw VbError(rserr::kObjectClosed, "Operation is not allowed when the object is closed.");
    const std::shared_ptr<Driver> driver = ConnectionFor(account);
    const DbValue key{std::string(id)};
    auto cursor =
        driver->Query("SELECT * FROM " + name + " WHERE A0 = ?", std::span<const DbValue>(&key, 1));
    // A server's collation may find another item under this id (layout.h): then this one is
    // not stored.
    if (!cursor->Next() ||
        (KeyMayMeetTwin(settings_.dataStore, id) && !SameKey(cursor->Row()[0].value_or(""), id))) {
      errorDetail_ =
          "[912] ItemID \"" + std::string(id) + "\" does not exist in recordset \"" + shown + "\"";
      return false;
    }
    const auto& row = cursor->Row();
    const int n = static_cast<int>(row.size());
    if (fv.ItemMode() || n == 2) {
      item = FieldText(row[1]);
      if (!fv.numericList.empty() && item.find(kAttributeMark) != std::string::npos) {
        std::string out;
        int k = 1;
        for (const std::string& a : Attributes(item)) {
          if (k > 1) out.push_back(kAttributeMark);
          out += NumericListContains(fv.numericList, k) ? NormaliseNumericAttribute(a) : a;
          ++k;
        }
        item = std::move(out);
      }
      return true;
    }
    std::string out;
    for (int i = 1; i < n; ++i) {
      if (i > 1) out.push_back(kAttributeMark);
      const std::string text = FieldText(row[i]);
      out += NumericListContains(fv.numericList, i) ? NormaliseNumericAttribute(text) : text;
    }
    item = std::move(out);
    return true;
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    item = "ERROR: " + errorDetail_;
    return false;
  }
}

bool Port::ReadAttributeRaw(std::string& value, std::string_view fileVariable, std::string_view id,
                            std::int32_t attribute) {
  errorDetail_.clear();
  try {
    CheckItemId(id);
    const FileVariable fv = FileVariable::Parse(fileVariable);
    if (fv.ItemMode()) {
      std::string item;
      if (!ReadItemRaw(item, fileVariable, id)) {
        value = item;
        return false;
      }
      value = EngineFns().Extract(item, attribute).ToString();
      if (NumericListContains(fv.numericList, attribute)) value = NormaliseNumericAttribute(value);
      return true;
    }
    std::string account, file;
    if (!fv.Split(&account, &file)) BadTablePart(fv.tablePart);
    const std::string name = ReadName(account, file);
    const std::string column = "A" + std::to_string(attribute);
    const std::string shown = "SELECT " + column + " FROM " + name + " WHERE A0 = '" +
                              EscapeSqlText(settings_.dataStore, id) + "'";
    const std::shared_ptr<Driver> driver = ConnectionFor(account);
    const DbValue key{std::string(id)};
    // The key comes too where a server's collation may find another item under this id.
    const bool checkKey = KeyMayMeetTwin(settings_.dataStore, id);
    auto cursor = driver->Query(
        "SELECT " + (checkKey ? "A0, " + column : column) + " FROM " + name + " WHERE A0 = ?",
        std::span<const DbValue>(&key, 1));
    if (!cursor->Next() || (checkKey && !SameKey(cursor->Row()[0].value_or(""), id))) {
      errorDetail_ =
          "[912] ItemID \"" + std::string(id) + "\" does not exist in recordset \"" + shown + "\"";
      return false;
    }
    value = FieldText(cursor->Row()[checkKey ? 1 : 0]);
    if (NumericListContains(fv.numericList, attribute)) value = NormaliseNumericAttribute(value);
    return true;
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    value = "ERROR: " + errorDetail_;
    return false;
  }
}

bool Port::WriteItemRaw(std::string_view item, std::string_view fileVariable, std::string_view id) {
  errorDetail_.clear();
  try {
    CheckItemId(id);
    const FileVariable fv = FileVariable::Parse(fileVariable);
    std::string account, file;
    if (!fv.Split(&account, &file)) BadTablePart(fv.tablePart);
    const std::string& kind = settings_.dataStore;
    const bool mysql = kind == "MYSQL";
    if (!mysql && kind != "MSSQL" && kind != "JET") {
      throw VbError(rserr::kObjectClosed, "Operation is not allowed when the object is closed.");
    }
    const std::shared_ptr<Driver> driver = ConnectionFor(account);
    // On SQL Server a write to another account runs in that account's database.
    const DatabaseSwitch away = SwitchTo(*driver, account, kind == "MSSQL" && account != account_);
    // Writes name the table as the connection sees it now.
    const std::string name = mysql ? StatementName(kind, fv.tablePart) : file;
    if (TwinStored(*driver, name, id)) throw KeyTaken(id);

    // One retry after a failed statement, with the table's columns read afresh: the table
    // may have changed since they were last looked at.
    for (int attempt = 0;; ++attempt) {
      try {
        const TableShape shape = ShapeOf(*driver, fv.tablePart, name);
        std::vector<std::string> columns;  // after A0
        std::vector<DbValue> values;       // for those columns
        if (fv.ItemMode() || shape.itemColumn) {
          // A table with an ITEM column holds whole items, control item or not.
          columns.push_back("ITEM");
          values.emplace_back(std::string(item));
        } else {
          const std::vector<std::string> attributes = Attributes(item);
          const int m = static_cast<int>(attributes.size());
          const int n = shape.attributeColumns;
          if (m > n) {
            throw VbError(dberr::kTooManyAttributes, "Item \"" + std::string(id) + "\" has " +
                                                         std::to_string(m) + " attributes; file '" +
                                                         fv.tablePart + "' holds " +
                                                         std::to_string(n));
          }
          // Every column is written: a shorter item clears what a longer one left behind.
          for (int k = 1; k <= n; ++k) {
            columns.push_back("A" + std::to_string(k));
            values.emplace_back(k <= m ? attributes[k - 1] : std::string());
          }
        }
        std::string names = "A0", sets;
        for (const std::string& c : columns) {
          names += ", " + c;
          sets += (sets.empty() ? "" : ", ") + c + " = ?";
        }
        std::vector<DbValue> row{std::string(id)};
        row.insert(row.end(), values.begin(), values.end());
        const std::string insert =
            " (" + names + ") VALUES (" + Marks(static_cast<int>(row.size())) + ")";
        if (mysql) {
          driver->Execute("REPLACE INTO " + name + insert, row);
          return true;
        }
        values.emplace_back(std::string(id));  // the key of the UPDATE's WHERE
        if (!sets.empty() &&
            driver->Execute("UPDATE " + name + " SET " + sets + " WHERE A0 = ?", values) > 0)
          return true;
        driver->Execute("INSERT INTO " + name + insert, row);
        return true;
      } catch (const VbError& e) {
        if (attempt > 0 || e.number() == dberr::kTooManyAttributes) throw;
        tableShapes_.erase(LowerCase(fv.tablePart));
      }
    }
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    return false;
  }
}

bool Port::WriteAttributeRaw(std::string_view value, std::string_view fileVariable,
                             std::string_view id, std::int32_t attribute) {
  errorDetail_.clear();
  try {
    CheckItemId(id);
    const FileVariable fv = FileVariable::Parse(fileVariable);
    if (fv.ItemMode()) {
      std::string item;
      if (!ReadItemRaw(item, fileVariable, id)) {
        if (errorDetail_.rfind("[912] ", 0) != 0) return false;
        item.clear();  // a new item
      }
      item = EngineFns().RReplace(item, attribute, Variant(std::string(value)));
      return WriteItemRaw(item, fileVariable, id);
    }
    std::string account, file;
    if (!fv.Split(&account, &file)) BadTablePart(fv.tablePart);
    const std::string& kind = settings_.dataStore;
    const bool mysql = kind == "MYSQL";
    const std::shared_ptr<Driver> driver = ConnectionFor(account);
    // On SQL Server a write to another account runs in that account's database.
    const DatabaseSwitch away = SwitchTo(*driver, account, kind == "MSSQL" && account != account_);
    const std::string name = mysql ? StatementName(kind, fv.tablePart) : file;
    // A0 is the item id: writing it would rename the item past the new id's lock.
    if (attribute < 1) NoAttribute(fv.tablePart, attribute);
    if (TwinStored(*driver, name, id)) throw KeyTaken(id);
    const std::string column = "A" + std::to_string(attribute);

    const DbValue update[] = {std::string(value), std::string(id)};
    if (driver->Execute("UPDATE " + name + " SET " + column + " = ? WHERE A0 = ?", update) > 0)
      return true;
    // A new item: every attribute column gets a value, so that no column is left NULL.
    const TableShape shape = ShapeOf(*driver, fv.tablePart, name);
    if (attribute > shape.attributeColumns) NoAttribute(fv.tablePart, attribute);
    std::vector<DbValue> values{std::string(id)};
    for (int k = 1; k <= shape.attributeColumns; ++k)
      values.emplace_back(k == attribute ? std::string(value) : std::string());
    driver->Execute("INSERT INTO " + name + " (A0, " + Columns(1, shape.attributeColumns) +
                        ") VALUES (" + Marks(static_cast<int>(values.size())) + ")",
                    values);
    return true;
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    return false;
  }
}

}  // namespace orvik
