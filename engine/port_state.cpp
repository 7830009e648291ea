// The session's state behind the published face, for the engine's tools and their callers:
// each member forwards to the part that owns what it reads or does.

#include "engine_settings.h"
#include "port.h"
#include "port_parts.h"

namespace orvik {

Functions& Port::Fns() { return parts_->programs.Fns(); }
const EngineSettings& Port::Settings() const { return parts_->account.Settings(); }
const std::string& Port::Home() const { return parts_->home; }
bool Port::EchoOn() const { return parts_->terminal.EchoOn(); }

bool Port::ConnectAccount(const std::string& account) {
  return parts_->session.Note(parts_->account.Connect(account));
}
const std::string& Port::Account() const { return parts_->account.Account(); }
const std::string& Port::TableList() const { return parts_->account.TableList(); }
bool Port::CatalogOpen() const { return parts_->account.CatalogOpen(); }
const std::shared_ptr<Recordset>& Port::Catalog() const { return parts_->account.Catalog(); }
const std::shared_ptr<Driver>& Port::Connection() const { return parts_->account.Connection(); }
const std::shared_ptr<Driver>& Port::DmConnection() const {
  return parts_->account.SystemConnection();
}
const std::string& Port::JetProvider() const { return parts_->account.JetProvider(); }

void Port::SetLogin(std::string user, std::string password) {
  parts_->account.SetLoginUser(std::move(user));
  parts_->account.SetLoginPassword(std::move(password));
}

bool Port::ReadItemRaw(std::string& item, std::string_view fileVariable, std::string_view id) {
  return parts_->session.Report(parts_->items.ReadItemRaw(item, fileVariable, id));
}
bool Port::ReadAttributeRaw(std::string& value, std::string_view fileVariable, std::string_view id,
                            std::int32_t attribute) {
  return parts_->session.Report(parts_->items.ReadAttributeRaw(value, fileVariable, id, attribute));
}
bool Port::WriteItemRaw(std::string_view item, std::string_view fileVariable, std::string_view id) {
  return parts_->session.Report(parts_->items.WriteItemRaw(item, fileVariable, id));
}
bool Port::WriteAttributeRaw(std::string_view value, std::string_view fileVariable,
                             std::string_view id, std::int32_t attribute) {
  return parts_->session.Report(
      parts_->items.WriteAttributeRaw(value, fileVariable, id, attribute));
}
void Port::ForgetTableShapes() { parts_->account.ForgetTableShapes(); }

bool Port::ProgramRunning() const { return parts_->programs.Running(); }
const std::string& Port::RunError() const { return parts_->programs.RunError(); }

const std::vector<std::string>& Port::UserRow() const { return parts_->login.UserRow(); }
bool Port::ValidateLogin() {
  return parts_->session.Report(parts_->login.Validate(parts_->terminal.StateText()));
}
void Port::UpdateUserRegistry(std::string& line) { parts_->login.UpdateRegistry(line); }
std::string Port::ListProcesses() {
  std::string list;
  parts_->session.Note(parts_->login.ListProcesses(&list));
  return list;
}

}  // namespace orvik
