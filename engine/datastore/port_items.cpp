// The item members programs call: reads and writes of whole items and single attributes,
// with the lock test and the optimistic write check.

#include "database_switch.h"
#include "file_variable.h"
#include "layout.h"
#include "port.h"
#include "vb_error.h"

namespace orvik {
namespace {

enum LockMode { kNoLockTest = 0, kTestOnly = 1, kTakeLock = 2 };

}  // namespace

bool Port::ReadMember(Variant& out, const Variant& fileVariable, const Variant& itemId,
                      std::optional<std::int32_t> attribute, int lockMode, bool keepCopy) {
  errorDetail_.clear();
  const std::string fv = fileVariable.ToString();
  const std::string id = itemId.ToString();
  const std::string tablePart(TablePartOf(fv));
  if (lockMode != kNoLockTest && !LockItem(tablePart, id, lockMode == kTakeLock, nullptr)) {
    out = Variant(std::string());
    return false;
  }
  std::string text;
  const bool ok =
      attribute ? ReadAttributeRaw(text, fv, id, *attribute) : ReadItemRaw(text, fv, id);
  out = Variant(ok ? text : std::string());
  if (keepCopy) {
    if (ok) {
      readCopies_[tablePart] = ReadCopy{id, text, fv};
    } else {
      readCopies_.erase(tablePart);
    }
  } else if (ok) {
    readCopies_.erase(tablePart);
  }
  return ok;
}

bool Port::RRead(Variant& item, const Variant& fileVariable, const Variant& itemId) {
  return ReadMember(item, fileVariable, itemId, std::nullopt, kNoLockTest, false);
}

bool Port::RReadTR(Variant& item, const Variant& fileVariable, const Variant& itemId) {
  const Variant before = item;
  try {
    return ReadMember(item, fileVariable, itemId, std::nullopt, kTestOnly, true);
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    item = before;
    return false;
  }
}

bool Port::RReadV(Variant& value, const Variant& fileVariable, const Variant& itemId,
                  const Variant& fieldNumber) {
  return ReadMember(value, fileVariable, itemId, fieldNumber.ToLong(), kNoLockTest, false);
}

bool Port::RReadU(Variant& item, const Variant& fileVariable, const Variant& itemId) {
  return ReadMember(item, fileVariable, itemId, std::nullopt, kTakeLock, false);
}

bool Port::RReadVU(Variant& value, const Variant& fileVariable, const Variant& itemId,
                   const Variant& fieldNumber) {
  return ReadMember(value, fileVariable, itemId, fieldNumber.ToLong(), kTakeLock, false);
}

bool Port::WriteMember(const std::string& fileVariable, const std::string& id, bool update,
                       const std::function<bool()>& write) {
  errorDetail_.clear();
  const std::string tablePart(TablePartOf(fileVariable));
  std::string handBack;
  if (!LockItem(tablePart, id, update, update ? nullptr : &handBack)) return false;
  // A plain write ends this port's hold on the item, whatever became of the write: a
  // statement that fails (and goes to the caller as its error) frees the lock too.
  bool ok;
  try {
    ok = CheckedWrite(tablePart, id, write);
  } catch (...) {
    if (!handBack.empty()) ReleaseKey(handBack);
    throw;
  }
  if (!handBack.empty()) ReleaseKey(handBack);
  return ok;
}

bool Port::WWrite(std::string_view item, std::string_view fileVariable, std::string_view itemId) {
  const std::string fv(fileVariable), id(itemId);
  return WriteMember(fv, id, false, [&] { return WriteItemRaw(item, fv, id); });
}

bool Port::WWriteU(std::string_view item, std::string_view fileVariable, std::string_view itemId) {
  const std::string fv(fileVariable), id(itemId);
  return WriteMember(fv, id, true, [&] { return WriteItemRaw(item, fv, id); });
}

bool Port::WWriteV(std::string_view value, std::string_view fileVariable, std::string_view itemId,
                   std::int32_t fieldId) {
  const std::string fv(fileVariable), id(itemId);
  return WriteMember(fv, id, false, [&] { return WriteAttributeRaw(value, fv, id, fieldId); });
}

bool Port::WWriteVU(std::string_view value, std::string_view fileVariable, std::string_view itemId,
                    std::int32_t fieldId) {
  const std::string fv(fileVariable), id(itemId);
  return WriteMember(fv, id, true, [&] { return WriteAttributeRaw(value, fv, id, fieldId); });
}

bool Port::Delete(const Variant& fileVariable, const Variant& itemId) {
  const std::string fvText = fileVariable.ToString();
  const std::string id = itemId.ToString();
  return WriteMember(fvText, id, false, [&] {
    const FileVariable fv = FileVariable::Parse(fvText);
    std::string account, file;
    if (!fv.Split(&account, &file)) {
      throw VbError(dberr::kBadName, "Invalid file name \"" + fv.tablePart + "\"");
    }
    const bool mysql = settings_.dataStore == "MYSQL";
    const std::shared_ptr<Driver> driver = ConnectionFor(account);
    const DatabaseSwitch away =
        SwitchTo(*driver, account, settings_.dataStore == "MSSQL" && account != account_);
    const std::string name = mysql ? StatementName(settings_.dataStore, fv.tablePart) : file;
    // The item the datastore would find under the id may be another one.
    if (TwinStored(*driver, name, id)) return false;
    const DbValue key{id};
    const std::int64_t n =
        driver->Execute("DELETE FROM " + name + " WHERE A0 = ?", std::span<const DbValue>(&key, 1));
    return n != 0;
  });
}

}  // namespace orvik
