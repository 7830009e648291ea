// Opening and closing files: the name forms, the table list, catalog pointers and the
// dictionary's control item.

#include "file_variable.h"
#include "item_store.h"
#include "layout.h"
#include "text.h"
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

std::string TextOf(const Variant& v) { return v.IsNull() ? std::string() : v.ToString(); }

}  // namespace

std::string ItemStore::FileVariableFor(Driver& driver, const std::string& tablePart,
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

Status ItemStore::Open(const Variant& file, Variant& fileVariable) {
  const std::string& account = account_.Account();
  try {
    FileName name = ReadNameForm(file.ToString(), account);
    std::string tablePart = name.tablePart;
    const bool plain = IsValidAccountName(name.account) && IsPlainIdentifier(name.file);
    bool found = false;
    std::shared_ptr<Driver> where = account_.Connection();  // the connection that sees it

    if (plain && name.account == account) {
      found = account_.TableListHas(name.file);
      if (!found) {
        account_.LoadTableList();
        found = account_.TableListHas(name.file);
      }
      // A catalog row of kind Q points at a file of any account.
      if (!found && account_.FindInCatalog(name.file)) {
        Recordset& catalog = *account_.Catalog();
        const std::string kind = catalog.FieldCount() >= 4 ? TextOf(catalog.FieldValue(1)) : "";
        if (!kind.empty() && LowerChar(kind[0]) == 'q') {
          name.account = TextOf(catalog.FieldValue(2));
          name.file = TextOf(catalog.FieldValue(3));
          name.tablePart = name.account + "." + name.file;
          tablePart = name.tablePart;
          found = true;
        }
      }
    } else if (plain) {
      // Another account: look at its tables without moving the port.
      try {
        where = account_.ConnectionFor(name.account);
        // The port's own connection looks from the other account and comes back.
        const DatabaseSwitch look =
            account_.SwitchTo(*where, name.account, where == account_.Connection());
        found = account_.AccountHas(*where, name.file);
      } catch (...) {
        // An account that cannot be reached holds no file for this port.
        found = false;
      }
    }

    if (!found) {
      fileVariable = Variant(std::string());
      return Status::Error(dberr::kFileMissing, "File '" + tablePart + "' not found.");
    }
    // The control item, when the file's dictionary has one. A pointer's target is not checked.
    const std::string dictName = account_.dialect().DictionaryName(name.account, name.file);
    if (name.account != account && where == account_.Connection()) {
      try {
        where = account_.ConnectionFor(name.account);
      } catch (...) {
        // The pointer's account cannot be reached: the file variable is the table part alone.
        where.reset();
      }
    }
    const bool nameOk = IsValidAccountName(name.account) && IsPlainIdentifier(name.file);
    fileVariable =
        Variant(where && nameOk ? FileVariableFor(*where, tablePart, dictName) : tablePart);
    return Status::Ok();
  } catch (...) {
    fileVariable = Variant(std::string());
    return Status::OfCurrentException();
  }
}

Status ItemStore::Close(std::string_view fileVariable) {
  return locks_.Release(std::string(TablePartOf(fileVariable)), {});
}

}  // namespace orvik
