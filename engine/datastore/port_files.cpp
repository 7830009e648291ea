// Opening and closing files: the name forms, the table list, catalog pointers and the
// dictionary's control item.

#include "driver_factory.h"
#include "file_variable.h"
#include "layout.h"
#include "port.h"
#include "vb_error.h"

namespace orvik {
namespace {

// "A,F," and "A.F" name another account's file; "F" one of the current account.
struct FileName {
  std::string tablePart;
  std::string account;
  std::string file;
};

FileName ReadNameForm(const std::string& text, const std::string& currentAccount) {
  FileName n;
  if (!text.empty() && text.back() == ',') {
    const std::string body = text.substr(0, text.size() - 1);
    const std::size_t comma = body.find(',');
    if (comma == std::string::npos) throw VbError(vberr::kSubscriptOutOfRange);
    n.account = body.substr(0, comma);
    n.file = body.substr(comma + 1);
    n.tablePart = n.account + "." + n.file;
  } else if (const std::size_t dot = text.find('.'); dot != std::string::npos) {
    n.tablePart = text;
    // Split at the first "." as every other reader of the table part does: "A.B.C" names
    // the file "B.C", which is no plain table name and so is not found.
    n.account = text.substr(0, dot);
    n.file = text.substr(dot + 1);
  } else {
    n.account = currentAccount;
    n.file = text;
    n.tablePart = currentAccount + "." + text;
  }
  return n;
}

// Whether a table list holds the table that statements name `file` by. Where statements
// name tables in lower case (StatementName), only that exact name will do: a server that tells
// names apart by case may also hold an "ORDERS" that they never reach.
bool ListHas(const std::string& list, std::string_view file, std::string_view dataStore) {
  const std::string wanted = std::string(1, kAttributeMark) + std::string(file) + kAttributeMark;
  const std::string name = StatementName(dataStore, wanted);
  if (name != wanted) return list.find(name) != std::string::npos;
  return LowerCase(list).find(LowerCase(wanted)) != std::string::npos;
}

std::string TableListOf(Driver& driver) {
  std::string list;
  for (const TableInfo& t : driver.ListTables()) {
    if (t.type == "TABLE" || t.type == "LINK") {
      list.push_back(kAttributeMark);
      list.append(t.name);
    }
  }
  list.push_back(kAttributeMark);
  return list;
}

}  // namespace

bool Port::TableListHas(std::string_view file) const {
  return ListHas(tableList_, file, settings_.dataStore);
}

std::string Port::FileVariableFor(Driver& driver, const std::string& tablePart,
                                  const std::string& dictName) {
  try {
    const DbValue key{std::string(kControlItemKey)};
    auto cursor = driver.Query("SELECT A3, A7, A8 FROM " + dictName + "_dict WHERE A0 = ?",
                               std::span<const DbValue>(&key, 1));
    if (!cursor->Next()) return tablePart;
    std::string fv = tablePart;
    for (const DbValue& v : cursor->Row()) {
      fv.push_back(kAttributeMark);
      if (v) fv.append(*v);
    }
    return fv;
  } catch (...) {
    // No dictionary, or no control item in it: the file is in column mode.
    return tablePart;
  }
}

bool Port::OOpen(const Variant& file, Variant& fileVariable) {
  errorDetail_.clear();
  std::string tablePart;
  try {
    FileName name = ReadNameForm(file.ToString(), account_);
    tablePart = name.tablePart;
    const bool plain = IsValidAccountName(name.account) && IsPlainIdentifier(name.file);
    const std::string& kind = settings_.dataStore;
    bool found = false;
    std::shared_ptr<Driver> where = connection_;  // the connection that sees the table

    if (plain && name.account == account_) {
      found = TableListHas(name.file);
      if (!found) {
        LoadTableList();
        found = TableListHas(name.file);
      }
      if (!found && catalogOpen_ && catalog_) {
        // A catalog row of kind Q points at a file of any account.
        catalog_->MoveFirst();
        if (!catalog_->AtEOF()) {
          std::string quoted;
          for (char c : name.file) quoted += c == '\'' ? "''" : std::string(1, c);
          catalog_->Find(catalog_->FieldName(0) + " = '" + quoted + "'");
          if (!catalog_->AtEOF() && catalog_->FieldCount() >= 4) {
            const std::string kindText =
                catalog_->FieldValue(1).IsNull() ? "" : catalog_->FieldValue(1).ToString();
            if (!kindText.empty() && LowerChar(kindText[0]) == 'q') {
              name.account =
                  catalog_->FieldValue(2).IsNull() ? "" : catalog_->FieldValue(2).ToString();
              name.file =
                  catalog_->FieldValue(3).IsNull() ? "" : catalog_->FieldValue(3).ToString();
              name.tablePart = name.account + "." + name.file;
              tablePart = name.tablePart;
              found = true;
            }
          }
        }
      }
    } else if (plain) {
      // Another account: look at its tables without moving the port.
      try {
        if (kind == "JET") {
          where = NewDriver("JET");
          where->Connect(ConnectParamsFor(name.account));
          found = ListHas(TableListOf(*where), name.file, kind);
        } else if ((kind == "MYSQL" || kind == "MSSQL") && connection_) {
          const DatabaseSwitch look = SwitchTo(*connection_, name.account);
          found = ListHas(TableListOf(*connection_), name.file, kind);
        }
      } catch (...) {
        found = false;
      }
    }

    if (!found) {
      errorDetail_ = "[911] File '" + tablePart + "' not found.";
      fileVariable = Variant(std::string());
      return false;
    }
    // The control item, when the file's dictionary has one. A pointer's target is not checked.
    std::string dictName;
    if (kind == "MYSQL") {
      dictName = StatementName(kind, name.tablePart);
    } else if (kind == "MSSQL") {
      dictName = name.account + ".." + name.file;
    } else {
      dictName = name.file;
      if (name.account != account_ && where == connection_) {
        try {
          where = NewDriver("JET");
          where->Connect(ConnectParamsFor(name.account));
        } catch (...) {
          where.reset();
        }
      }
    }
    const bool nameOk = IsValidAccountName(name.account) && IsPlainIdentifier(name.file);
    fileVariable =
        Variant(where && nameOk ? FileVariableFor(*where, tablePart, dictName) : tablePart);
    return true;
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    fileVariable = Variant(std::string());
    return false;
  }
}

bool Port::CClose(Variant& fileVariable) {
  try {
    const std::string text = fileVariable.ToString();
    Release(Variant(std::string(TablePartOf(text))), Variant(std::string()));
    fileVariable = Variant(std::string());
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace orvik
