// The dialect of SQL Server.

#include "dialect.h"
#include "dialect_kinds.h"

namespace orvik {
namespace {

std::string Mark(const std::string& userInst) { return "orvik " + userInst; }

class SqlServer : public Dialect {
 public:
  std::string_view Kind() const override { return "MSSQL"; }
  ConnectParams ConnectParamsFor(const EngineSettings& settings, const std::string& home,
                                 const std::string& account) const override {
    ConnectParams p = Dialect::ConnectParamsFor(settings, home, account);
    p.server = settings.msSqlServer;
    return p;
  }

  // Another account's table is named through its database; a write switches the connection
  // to that database instead.
  std::string TableName(const std::string& account, const std::string& file,
                        const std::string& current) const override {
    return account != current ? account + ".." + file : file;
  }
  bool WritesSwitchAccount() const override { return true; }
  std::string DictionaryName(const std::string& account, const std::string& file) const override {
    return account + ".." + file;
  }
  // The system account's tables are reached with the connection switched to it.
  SystemTableRoute SystemTableOf(std::string_view name) const override {
    return {false, true, std::string(name)};
  }

  SessionNumbering Numbering() const override { return SessionNumbering::kServerSpid; }
  std::string SessionNumberQuery() const override { return "SELECT @@SPID"; }
  std::optional<ProcessListing> ProcessList() const override {
    return ProcessListing{"sp_who", "loginame", "spid", "dbname", "", "Status", "cmd", "Priv   "};
  }
  bool MarksSessions() const override { return true; }
  bool TakeSessionMark(Driver& dm, const std::string& userInst, int waitSeconds) const override {
    const DbValue taken =
        Scalar(dm,
               "DECLARE @r INT; EXEC @r = sp_getapplock @Resource = ?, @LockMode = "
               "'Exclusive', @LockOwner = 'Session', @LockTimeout = " +
                   std::to_string(waitSeconds * 1000) + "; SELECT @r",
               Mark(userInst));
    // 0 granted at once, 1 after a wait.
    return taken == "0" || taken == "1";
  }
  bool SessionMarkFree(Driver& dm, const std::string& userInst) const override {
    return Scalar(dm, "SELECT APPLOCK_TEST('public', ?, 'Exclusive', 'Session')", Mark(userInst)) ==
           "1";
  }

  std::optional<std::string> AccountListQuery() const override {
    return "SELECT name FROM master..sysdatabases";
  }

  ConnectParams AdminConnectParams(const EngineSettings& settings) const override {
    ConnectParams p;
    p.account = "master";
    p.server = settings.msSqlServer;
    return p;
  }
  std::string DatabaseExistsQuery() const override {
    return "SELECT name FROM sys.databases WHERE LOWER(name) = ?";
  }
  std::string LoginExistsQuery() const override {
    return "SELECT name FROM sys.server_principals WHERE name = ?";
  }
  std::vector<std::string> CreateLoginSql(const std::string& user,
                                          const std::string& password) const override {
    return {"CREATE LOGIN [" + user + "] WITH PASSWORD = '" + password + "', CHECK_POLICY = OFF",
            "ALTER SERVER ROLE sysadmin ADD MEMBER [" + user + "]"};
  }
  std::vector<std::string> SetLoginPasswordSql(const std::string& user,
                                               const std::string& password) const override {
    return {"ALTER LOGIN [" + user + "] WITH PASSWORD = '" + password + "'"};
  }

 protected:
  std::string KeyCollation() const override { return "COLLATE SQL_Latin1_General_CP1_CI_AS"; }
  ColumnTypes Types() const override {
    return {"TEXT NOT NULL",         "TEXT NOT NULL", "VARCHAR(255)",
            "VARCHAR(255) NOT NULL", "VARCHAR(255)",  "TEXT"};
  }
};

}  // namespace

const Dialect& SqlServerDialect() {
  static const SqlServer dialect;
  return dialect;
}

}  // namespace orvik
