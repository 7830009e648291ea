// A port's way to its datastore: the connection to the account it works in (and, on the
// embedded store, the one to the system account it keeps), moving between accounts, the
// account's catalog and table list, what is known of its tables' columns, and the record sets
// programs open.
//
// Where an account lives, and which connection reaches it, is the account space's
// (account_space.h); how statements name tables and reach the system account's, the
// dialect's (dialect.h).
//
// Used on the port's thread only. Text is the system's bytes. Failures come back as a Status
// where the port reports them in ErrorDetail, and are thrown as VbError where the member that
// asked raises them.

#ifndef ORVIK_ENGINE_DATASTORE_ACCOUNT_CONNECTION_H_
#define ORVIK_ENGINE_DATASTORE_ACCOUNT_CONNECTION_H_

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "account_space.h"
#include "database_switch.h"
#include "dialect.h"
#include "driver.h"
#include "engine_settings.h"
#include "recordset.h"
#include "status.h"

namespace orvik {

class AccountConnection {
 public:
  // Makes a driver of `kind` that the session's stop can interrupt.
  using DriverMaker = std::function<std::shared_ptr<Driver>(std::string_view kind)>;
  // Run when a logged-in session gets a new server connection (its mark goes with every
  // connection: lock_holders.h); `waitSeconds` for a mark the old connection still holds.
  // Throws when the mark cannot be taken.
  using NewConnectionHook = std::function<void(int waitSeconds)>;

  AccountConnection(std::string home, EngineSettings settings, DriverMaker makeDriver);

  const Dialect& dialect() const { return dialect_; }
  // Where the accounts live; nullptr where the settings name no datastore.
  const AccountSpace* Accounts() const { return accounts_; }
  // The home, and the port's connection.
  AccountSite Site() const { return {home_, connection_}; }
  const EngineSettings& Settings() const { return settings_; }
  const std::string& Home() const { return home_; }
  void SetNewConnectionHook(NewConnectionHook hook) { newConnection_ = std::move(hook); }

  // As whom servers are reached: the name and password typed at login, lower case.
  void SetLoginUser(std::string user) { loginUser_ = std::move(user); }
  void SetLoginPassword(std::string password) { loginPassword_ = std::move(password); }
  const std::string& LoginUser() const { return loginUser_; }
  const std::string& LoginPassword() const { return loginPassword_; }

  // --- Accounts -------------------------------------------------------------------------

  // Moves to `account`: the account space's switch (a new connection, or this one moved).
  // On failure nothing changes but what the failure left (a server connection made afresh
  // whose session mark failed stays).
  Status Connect(const std::string& account);
  const std::string& Account() const { return account_; }
  const std::shared_ptr<Driver>& Connection() const { return connection_; }
  // The kept connection to the system account; only where the dialect reaches the system
  // account's tables through it.
  const std::shared_ptr<Driver>& SystemConnection() const { return systemConnection_; }
  const std::string& JetProvider() const { return jetProvider_; }
  // The connection, or VbError 3704 when there is none.
  Driver& Required() const;
  // Keeps every connection the port makes from now on (its own made afresh, and those of
  // its own it opens) on the server `reached` (ServerFacts::reached), out of the several the
  // settings may name: a session stays on the node it logged in through. Empty: any of them.
  void PinServer(std::string reached) { pinned_ = std::move(reached); }
  // What makes connections of their own to the system account, on the server the port's is
  // on, whose connecting and statements may each take `timeoutSeconds` at most. It holds
  // everything it needs: any thread may call it, for as long as it likes.
  std::function<std::shared_ptr<Driver>()> SideConnector(int timeoutSeconds) const;
  // Where a file of `account` is read and written (the account space's Open): the port's
  // connection, or a new connection of its own, whose system tables guard is up when the
  // port's connection has it up.
  std::shared_ptr<Driver> ConnectionFor(const std::string& account);
  // Runs the statements of its scope on `driver` switched to the database `to` (when
  // `active`); it goes back to the port's account on every way out, and a connection that
  // cannot go back is made afresh on the port's account, or closed, so that no statement
  // ever runs in another account by mistake.
  DatabaseSwitch SwitchTo(Driver& driver, const std::string& to, bool active = true);
  // The connection that reaches the system account's table `name` (dialect route), with
  // the table's statement name; nullptr when there is none.
  Driver* SystemTableDriver(std::string_view name, std::string* table) const;
  // Whether statements on that connection run switched to the system account.
  bool SwitchesToSystemAccount(std::string_view name) const {
    return dialect_.SystemTableOf(name).switchToSystem;
  }

  // --- The account's catalog and tables --------------------------------------------------

  bool CatalogOpen() const { return catalogOpen_; }
  // Every row of md, read whole, when CatalogOpen.
  const std::shared_ptr<Recordset>& Catalog() const { return catalog_; }
  // The catalog row of `verb` (the record set stands on it); false when there is none.
  bool FindInCatalog(std::string_view verb);
  // The tables: character 254 before each name and one more at the end; empty after a
  // failed listing.
  const std::string& TableList() const { return tableList_; }
  void LoadTableList();
  // Whether the table list holds the table that statements name `file` by.
  bool TableListHas(std::string_view file) const;
  // Whether `driver`'s account holds that table.
  bool AccountHas(Driver& driver, std::string_view file) const;
  // The name by which a statement on the port's connection reads `file` of `account`.
  std::string TableName(const std::string& account, const std::string& file) const {
    return dialect_.TableName(account, file, account_);
  }

  struct TableShape {
    int attributeColumns = 0;  // A1..An
    bool itemColumn = false;   // A0 and ITEM
  };
  // The columns of the table of `tablePart`, named `name` on `driver`; looked at once.
  TableShape ShapeOf(Driver& driver, const std::string& tablePart, const std::string& name);
  void ForgetShape(const std::string& tablePart);
  // After a table was made, changed or dropped.
  void ForgetTableShapes() { tableShapes_.clear(); }

  // --- Record sets ----------------------------------------------------------------------

  // A new record set on a query (one closing ";" dropped) over the account's connection;
  // with `whole`, read whole at once (Recordset::OpenWhole).
  Status OpenRecordset(std::string_view query, std::shared_ptr<Recordset>& rst, bool whole = false);
  // A query against another embedded account, on a connection of its own; raises.
  void OpenEmbeddedRecordset(const std::string& account, std::string_view query,
                             std::shared_ptr<Recordset>& rst);

 private:
  ConnectParams ParamsFor(const std::string& account) const;
  // A new connection on `account`, made as this port connects.
  std::shared_ptr<Driver> NewConnection(const std::string& account) const;
  void ReconnectOwnAccount();

  std::string home_;
  EngineSettings settings_;
  const Dialect& dialect_;
  const AccountSpace* accounts_;
  DriverMaker makeDriver_;
  NewConnectionHook newConnection_;
  std::string loginUser_;
  std::string loginPassword_;
  std::string pinned_;
  std::string account_ = "DM";
  std::string jetProvider_ = "Microsoft.Jet.OLEDB.3.51";
  std::shared_ptr<Driver> connection_;
  std::shared_ptr<Driver> systemConnection_;
  std::shared_ptr<Recordset> catalog_;
  bool catalogOpen_ = false;
  std::string tableList_;
  std::map<std::string, TableShape> tableShapes_;  // by table part, lower case
  bool reconnecting_ = false;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_ACCOUNT_CONNECTION_H_
