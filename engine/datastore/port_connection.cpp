// The port's connection to its account: moving between accounts, the catalog, the table
// list and the record sets that programs open.

#include "driver_factory.h"
#include "port.h"
#include "vb_error.h"

namespace orvik {

void Port::SetLogin(std::string user, std::string password) {
  loginUser_ = std::move(user);
  loginPassword_ = std::move(password);
}

ConnectParams Port::ConnectParamsFor(const std::string& account) const {
  ConnectParams p;
  p.account = account;
  p.home = home_;
  if (settings_.dataStore == "MYSQL") {
    // A server named by a path is reached through its Unix socket.
    if (!settings_.mySqlServer.empty() && settings_.mySqlServer.front() == '/') {
      p.socket = settings_.mySqlServer;
    } else {
      p.server = settings_.mySqlServer;
    }
    p.port = settings_.mySqlPort;
    p.pipes = settings_.myOdbcOption == "24578";
  } else if (settings_.dataStore == "MSSQL") {
    p.server = settings_.msSqlServer;
  }
  p.user = loginUser_;
  p.password = loginPassword_;
  return p;
}

bool Port::ConnectAccount(const std::string& account) {
  const std::string& kind = settings_.dataStore;
  try {
    if (kind == "MYSQL" || kind == "MSSQL") {
      if (connection_ && connection_->IsOpen()) {
        connection_->UseDatabase(account);
      } else {
        std::shared_ptr<Driver> fresh = NewDriver(kind);
        fresh->Connect(ConnectParamsFor(account));
        connection_ = std::move(fresh);
        // A session that lost its connection goes on under its own name on the new one.
        if (!userInst_.empty()) MarkSessionAlive();
      }
    } else if (kind == "JET") {
      // A new connection per account; the old one stays until the new one works, so a
      // failed move leaves the port where it was.
      std::shared_ptr<Driver> fresh = NewDriver(kind);
      fresh->Connect(ConnectParamsFor(account));
      connection_ = std::move(fresh);
    }
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    return false;
  }

  // From here on nothing fails the move.
  catalogOpen_ = false;
  catalog_ = std::make_shared<Recordset>();
  if (connection_) {
    try {
      // Read whole: the catalog lives as long as the account, and a read left open for that
      // long would keep the embedded store's log from ever being written back.
      catalog_->OpenWhole(connection_, "Select * From md");
      catalogOpen_ = true;
    } catch (...) {
    }
  }
  if (kind == "JET" && EqualsNoCase(account, "dm")) dmConnection_ = connection_;
  account_ = account;
  LoadTableList();
  return true;
}

DatabaseSwitch Port::SwitchTo(Driver& driver, const std::string& to, bool active) {
  return DatabaseSwitch(
      driver, to, account_, [this] { ReconnectOwnAccount(); }, active);
}

void Port::ReconnectOwnAccount() {
  if (!connection_) return;
  try {
    // In place, so that record sets holding the connection follow it.
    connection_->Close();
    // A failure on the way (marking the session switches databases on SQL Server) closes
    // the connection rather than trying again from in here.
    if (reconnecting_) throw VbError(dberr::kUnspecified, "reconnecting");
    reconnecting_ = true;
    struct Done {
      bool& flag;
      ~Done() { flag = false; }
    } done{reconnecting_};
    connection_->Connect(ConnectParamsFor(account_));
    // The old connection's mark is freed once the server has seen it go.
    if (!userInst_.empty()) MarkSessionAlive(5);
  } catch (...) {
    // Closed it stays: the next statement fails instead of running in another account.
    try {
      connection_->Close();
    } catch (...) {
    }
  }
  tableShapes_.clear();
}

void Port::LoadTableList() {
  tableList_.clear();
  if (!connection_) return;
  try {
    std::string list;
    for (const TableInfo& t : connection_->ListTables()) {
      if (t.type == "TABLE" || t.type == "LINK") {
        list.push_back(kAttributeMark);
        list.append(t.name);
      }
    }
    list.push_back(kAttributeMark);
    tableList_ = std::move(list);
  } catch (...) {
    tableList_.clear();
  }
}

bool Port::RsOOpen(std::string_view query, std::shared_ptr<Recordset>& rst) {
  errorDetail_.clear();
  rst = std::make_shared<Recordset>();
  if (!query.empty() && query.back() == ';') query.remove_suffix(1);
  try {
    if (!connection_)
      throw VbError(rserr::kObjectClosed, "Operation is not allowed when the object is closed.");
    rst->Open(connection_, std::string(query));
    return true;
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    return false;
  }
}

std::string Port::JetQRef(const std::string& account, std::string_view, std::string_view query,
                          std::shared_ptr<Recordset>& rst) {
  std::shared_ptr<Driver> other = NewDriver("JET");
  other->Connect(ConnectParamsFor(account));
  if (!rst) rst = std::make_shared<Recordset>();
  rst->Open(std::move(other), std::string(query));
  return {};
}

}  // namespace orvik
