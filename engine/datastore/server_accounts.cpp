#include "server_accounts.h"

#include "recordset.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

Driver& Required(const AccountSite& site) {
  if (!site.connection)
    throw VbError(rserr::kObjectClosed, "Operation is not allowed when the object is closed.");
  return *site.connection;
}

}  // namespace

std::optional<bool> ServerAccounts::Exists(const AccountSite& site,
                                           const std::string& account) const {
  if (!site.connection) return std::nullopt;
  const DbValue name = LowerCase(account);
  return site.connection->Query(dialect_.DatabaseExistsQuery(), std::span<const DbValue>(&name, 1))
      ->Next();
}

std::int64_t ServerAccounts::Create(const AccountSite& site, const std::string& account,
                                    const std::string& statement) const {
  return Required(site).Execute(statement.empty() ? dialect_.CreateDatabaseSql(account)
                                                  : statement);
}

Status ServerAccounts::List(const AccountSite& site, std::size_t,
                            std::vector<std::string>* names) const {
  names->clear();
  const std::optional<std::string> query = dialect_.AccountListQuery();
  Required(site);
  Recordset rs;
  rs.Open(site.connection, query.value_or(std::string()));
  for (; !rs.AtEOF(); rs.MoveNext()) {
    std::string row;
    for (int i = 0; i < rs.FieldCount(); ++i) {
      if (i > 0) row += '\t';
      const DbValue& v = rs.Value(i);
      if (v) row += *v;
    }
    names->push_back(std::move(row));
  }
  return Status::Ok();
}

std::shared_ptr<Driver> ServerAccounts::Open(const std::shared_ptr<Driver>& current,
                                             const std::string&, const std::string&,
                                             const AccountConnector&) const {
  return current;
}

std::shared_ptr<Driver> ServerAccounts::Switch(const std::shared_ptr<Driver>& current,
                                               const std::string& account,
                                               const AccountConnector& connect) const {
  if (current && current->IsOpen()) {
    current->UseDatabase(account);
    return current;
  }
  return connect(account);
}

}  // namespace orvik
