// The port's datastore members: the account, record sets, files and items, as the item
// store, the lock table and the login (datastore/) carry them out. Each member leaves its
// outcome in ErrorDetail as it always has.

#include "port.h"

namespace orvik {

bool Port::Report(const Status& outcome) {
  errorDetail_ = outcome.Message();
  return outcome.ok();
}

bool Port::Note(const Status& outcome) {
  if (!outcome.ok()) errorDetail_ = outcome.Message();
  return outcome.ok();
}

void Port::SetLogin(std::string user, std::string password) {
  account_.SetLoginUser(std::move(user));
  account_.SetLoginPassword(std::move(password));
}

bool Port::ConnectAccount(const std::string& account) { return Note(account_.Connect(account)); }

bool Port::RsOOpen(std::string_view query, std::shared_ptr<Recordset>& rst) {
  return Report(account_.OpenRecordset(query, rst));
}

std::string Port::JetQRef(const std::string& account, std::string_view, std::string_view query,
                          std::shared_ptr<Recordset>& rst) {
  account_.OpenEmbeddedRecordset(account, query, rst);
  return {};
}

bool Port::OOpen(const Variant& file, Variant& fileVariable) {
  return Report(items_.Open(file, fileVariable));
}

bool Port::CClose(Variant& fileVariable) {
  std::string text;
  try {
    text = fileVariable.ToString();
  } catch (...) {
    // A file variable that is no text was never opened: it says why it cannot be closed.
    errorDetail_ = CurrentExceptionMessage();
    return false;
  }
  Note(items_.Close(text));
  fileVariable = Variant(std::string());
  return true;
}

bool Port::ReadItemRaw(std::string& item, std::string_view fileVariable, std::string_view id) {
  return Report(items_.ReadItemRaw(item, fileVariable, id));
}

bool Port::ReadAttributeRaw(std::string& value, std::string_view fileVariable, std::string_view id,
                            std::int32_t attribute) {
  return Report(items_.ReadAttributeRaw(value, fileVariable, id, attribute));
}

bool Port::WriteItemRaw(std::string_view item, std::string_view fileVariable, std::string_view id) {
  return Report(items_.WriteItemRaw(item, fileVariable, id));
}

bool Port::WriteAttributeRaw(std::string_view value, std::string_view fileVariable,
                             std::string_view id, std::int32_t attribute) {
  return Report(items_.WriteAttributeRaw(value, fileVariable, id, attribute));
}

bool Port::RRead(Variant& item, const Variant& fileVariable, const Variant& itemId) {
  errorDetail_.clear();
  return Report(
      items_.Read(item, fileVariable, itemId, std::nullopt, ItemStore::LockTest::kNone, false));
}

bool Port::RReadTR(Variant& item, const Variant& fileVariable, const Variant& itemId) {
  const Variant before = item;
  errorDetail_.clear();
  try {
    return Report(items_.Read(item, fileVariable, itemId, std::nullopt,
                              ItemStore::LockTest::kTestOnly, true));
  } catch (...) {
    item = before;
    return Report(Status::OfCurrentException());
  }
}

bool Port::RReadV(Variant& value, const Variant& fileVariable, const Variant& itemId,
                  const Variant& fieldNumber) {
  const std::int32_t attribute = fieldNumber.ToLong();
  errorDetail_.clear();
  return Report(
      items_.Read(value, fileVariable, itemId, attribute, ItemStore::LockTest::kNone, false));
}

bool Port::RReadU(Variant& item, const Variant& fileVariable, const Variant& itemId) {
  errorDetail_.clear();
  return Report(
      items_.Read(item, fileVariable, itemId, std::nullopt, ItemStore::LockTest::kTake, false));
}

bool Port::RReadVU(Variant& value, const Variant& fileVariable, const Variant& itemId,
                   const Variant& fieldNumber) {
  const std::int32_t attribute = fieldNumber.ToLong();
  errorDetail_.clear();
  return Report(
      items_.Read(value, fileVariable, itemId, attribute, ItemStore::LockTest::kTake, false));
}

bool Port::WWrite(std::string_view item, std::string_view fileVariable, std::string_view itemId) {
  errorDetail_.clear();
  return Report(items_.WriteItem(item, fileVariable, itemId, false));
}

bool Port::WWriteU(std::string_view item, std::string_view fileVariable, std::string_view itemId) {
  errorDetail_.clear();
  return Report(items_.WriteItem(item, fileVariable, itemId, true));
}

bool Port::WWriteV(std::string_view value, std::string_view fileVariable, std::string_view itemId,
                   std::int32_t fieldId) {
  errorDetail_.clear();
  return Report(items_.WriteAttribute(value, fileVariable, itemId, fieldId, false));
}

bool Port::WWriteVU(std::string_view value, std::string_view fileVariable, std::string_view itemId,
                    std::int32_t fieldId) {
  errorDetail_.clear();
  return Report(items_.WriteAttribute(value, fileVariable, itemId, fieldId, true));
}

bool Port::Delete(const Variant& fileVariable, const Variant& itemId) {
  const std::string fv = fileVariable.ToString();
  const std::string id = itemId.ToString();
  errorDetail_.clear();
  return Report(items_.Delete(fv, id));
}

bool Port::Release(const Variant& fileVariable, const Variant& itemId) {
  return Note(items_.Release(fileVariable, itemId));
}

bool Port::ValidateLogin() {
  errorDetail_.clear();
  return Report(login_.Validate(msState()));
}

void Port::UpdateUserRegistry(std::string& line) { login_.UpdateRegistry(line); }

std::string Port::ListProcesses() {
  std::string list;
  Note(login_.ListProcesses(&list));
  return list;
}

}  // namespace orvik
