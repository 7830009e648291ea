#include "account_connection.h"

#include "datastore_kinds.h"
#include "layout.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

// The tables and links of `driver`'s account, in the datastore's order: character 254 before
// each name and one more at the end.
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

// Whether a table list holds the table that statements name `file` by. Where statements
// name tables otherwise than as given (in lower case: Dialect::StatementName), only that
// exact name will do: a server that tells names apart by case may also hold an "ORDERS"
// that they never reach.
bool ListHas(const std::string& list, std::string_view file, const Dialect& dialect) {
  const std::string wanted = std::string(1, kAttributeMark) + std::string(file) + kAttributeMark;
  const std::string name = dialect.StatementName(wanted);
  if (name != wanted) return list.find(name) != std::string::npos;
  return LowerCase(list).find(LowerCase(wanted)) != std::string::npos;
}

// A value for a record set criterion between apostrophes.
std::string CriterionText(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '\'') out.push_back('\'');
    out.push_back(c);
  }
  return out;
}

[[noreturn]] void Closed() {
  throw VbError(rserr::kObjectClosed, "Operation is not allowed when the object is closed.");
}

}  // namespace

AccountConnection::AccountConnection(std::string home, EngineSettings settings,
                                     DriverMaker makeDriver)
    : home_(std::move(home)),
      settings_(std::move(settings)),
      dialect_(Dialect::Of(settings_.dataStore)),
      accounts_([this]() -> const AccountSpace* {
        const DatastoreKind* kind = FindDatastoreKind(settings_.dataStore);
        return kind ? &kind->accounts : nullptr;
      }()),
      makeDriver_(std::move(makeDriver)) {}

ConnectParams AccountConnection::ParamsFor(const std::string& account) const {
  ConnectParams p = dialect_.ConnectParamsFor(settings_, home_, account);
  p.user = loginUser_;
  p.password = loginPassword_;
  if (!pinned_.empty()) {
    if (pinned_.front() == '/') {
      p.socket = pinned_;
      p.server.clear();
    } else if (p.socket.empty() && !p.pipes) {
      p.server = pinned_;
    }
  }
  return p;
}

std::function<std::shared_ptr<Driver>()> AccountConnection::SideConnector(
    int timeoutSeconds) const {
  ConnectParams p = ParamsFor(std::string(kSystemAccount));
  p.timeoutSeconds = timeoutSeconds;
  return [p, make = makeDriver_, kind = std::string(dialect_.Kind())] {
    std::shared_ptr<Driver> side = make(kind);
    side->Connect(p);
    return side;
  };
}

std::shared_ptr<Driver> AccountConnection::NewConnection(const std::string& account) const {
  std::shared_ptr<Driver> fresh = makeDriver_(dialect_.Kind());
  fresh->Connect(ParamsFor(account));
  return fresh;
}

Status AccountConnection::Connect(const std::string& account) {
  try {
    // A setting that names no datastore: the port goes on without a connection. Else the
    // old connection stays until the new one works, so a failed move leaves the port where
    // it was.
    std::shared_ptr<Driver> next =
        accounts_ ? accounts_->Switch(connection_, account,
                                      [this](const std::string& a) { return NewConnection(a); })
                  : connection_;
    if (next != connection_) {
      connection_ = std::move(next);
      // A session that lost its connection goes on under its own name on the new one.
      if (newConnection_) newConnection_(0);
    }
  } catch (...) {
    return Status::OfCurrentException();
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
      // An account without a catalog is an account all the same (CatalogOpen says so).
    }
  }
  // Kept where the dialect reaches the system account's tables through it.
  if (dialect_.SystemTableOf("locks").systemConnection && EqualsNoCase(account, kSystemAccount))
    systemConnection_ = connection_;
  account_ = account;
  LoadTableList();
  return Status::Ok();
}

Driver& AccountConnection::Required() const {
  if (!connection_) Closed();
  return *connection_;
}

std::shared_ptr<Driver> AccountConnection::ConnectionFor(const std::string& account) {
  std::shared_ptr<Driver> other =
      accounts_ ? accounts_->Open(connection_, account_, account,
                                  [this](const std::string& a) { return NewConnection(a); })
                : connection_;
  if (!other) Closed();
  // A sentence typed by a user reaches the other account with no more right than it has on
  // the port's own: CREATE-FILE of the system account's "locks" would hide the item locks
  // and stop every login.
  if (other != connection_ && connection_ && connection_->SystemTablesGuard())
    other->SetSystemTablesGuard(true);
  return other;
}

DatabaseSwitch AccountConnection::SwitchTo(Driver& driver, const std::string& to, bool active) {
  return DatabaseSwitch(
      driver, to, account_, [this] { ReconnectOwnAccount(); }, active);
}

void AccountConnection::ReconnectOwnAccount() {
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
    connection_->Connect(ParamsFor(account_));
    // The old connection's mark is freed once the server has seen it go.
    if (newConnection_) newConnection_(5);
  } catch (...) {
    // Closed it stays: the next statement fails, and says why, instead of running in another
    // account.
    try {
      connection_->Close();
    } catch (...) {
      // Closing a connection that failed cannot fail in a way that matters more.
    }
  }
  tableShapes_.clear();
}

Driver* AccountConnection::SystemTableDriver(std::string_view name, std::string* table) const {
  const SystemTableRoute route = dialect_.SystemTableOf(name);
  if (table) *table = route.table;
  return route.systemConnection ? systemConnection_.get() : connection_.get();
}

bool AccountConnection::FindInCatalog(std::string_view verb) {
  if (!catalogOpen_ || !catalog_ || !catalog_->IsOpen()) return false;
  catalog_->MoveFirst();
  if (catalog_->AtEOF()) return false;
  catalog_->Find(catalog_->FieldName(0) + " = '" + CriterionText(verb) + "'");
  return !catalog_->AtEOF();
}

void AccountConnection::LoadTableList() {
  tableList_.clear();
  if (!connection_) return;
  try {
    tableList_ = TableListOf(*connection_);
  } catch (...) {
    // An empty list, not a list of no tables: LISTF and OOpen say what they cannot find.
    tableList_.clear();
  }
}

bool AccountConnection::TableListHas(std::string_view file) const {
  return ListHas(tableList_, file, dialect_);
}

bool AccountConnection::AccountHas(Driver& driver, std::string_view file) const {
  return ListHas(TableListOf(driver), file, dialect_);
}

AccountConnection::TableShape AccountConnection::ShapeOf(Driver& driver,
                                                         const std::string& tablePart,
                                                         const std::string& name) {
  const std::string key = LowerCase(tablePart);
  if (const auto it = tableShapes_.find(key); it != tableShapes_.end()) return it->second;
  auto cursor = driver.Query("SELECT * FROM " + name + " WHERE 1 = 0");
  TableShape shape;
  for (const std::string& f : cursor->FieldNames()) {
    if (EqualsNoCase(f, "ITEM")) shape.itemColumn = true;
  }
  shape.attributeColumns = static_cast<int>(cursor->FieldNames().size()) - 1;
  tableShapes_[key] = shape;
  return shape;
}

void AccountConnection::ForgetShape(const std::string& tablePart) {
  tableShapes_.erase(LowerCase(tablePart));
}

Status AccountConnection::OpenRecordset(std::string_view query, std::shared_ptr<Recordset>& rst,
                                        bool whole) {
  rst = std::make_shared<Recordset>();
  if (!query.empty() && query.back() == ';') query.remove_suffix(1);
  try {
    if (!connection_) Closed();
    if (whole) {
      rst->OpenWhole(connection_, std::string(query));
    } else {
      rst->Open(connection_, std::string(query));
    }
    return Status::Ok();
  } catch (...) {
    return Status::OfCurrentException();
  }
}

void AccountConnection::OpenEmbeddedRecordset(const std::string& account, std::string_view query,
                                              std::shared_ptr<Recordset>& rst) {
  std::shared_ptr<Driver> other = makeDriver_(kEmbeddedStore);
  other->Connect(ParamsFor(account));
  if (!rst) rst = std::make_shared<Recordset>();
  rst->Open(std::move(other), std::string(query));
}

}  // namespace orvik
