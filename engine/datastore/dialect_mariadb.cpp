// The dialect of MariaDB and MySQL servers.

#include "dialect.h"
#include "dialect_kinds.h"
#include "layout.h"
#include "text.h"

namespace orvik {
namespace {

// A MariaDB lock name holds at most 64 characters; a user instance may be longer.
std::string SessionMark(std::string_view userInst) {
  return "CONCAT('orvik ', MD5(" + std::string(userInst) + "))";
}

// Before a statement that must not wait for a row lock another transaction holds.
constexpr std::string_view kNoWait = "SET STATEMENT innodb_lock_wait_timeout=0 FOR ";

// The width of key columns: wider than an item id, so that what a server without strict mode
// cuts a long key to still fails the key's check (layout.h).
constexpr int kKeyColumnWidth = 255;

// A server named by a path is reached through its Unix socket.
void LocateServer(const EngineSettings& settings, ConnectParams& p) {
  if (!settings.mySqlServer.empty() && settings.mySqlServer.front() == '/') {
    p.socket = settings.mySqlServer;
  } else {
    p.server = settings.mySqlServer;
  }
  p.port = settings.mySqlPort;
}

// The roles through which logins hold their rights. Longer than a user name may be, so
// that no user's login takes one's name.
constexpr std::string_view kUserRole = "orvik_engine_ordinary_user";
constexpr std::string_view kAdminRole = "orvik_engine_administrator";
// What sessions run on an account's tables: items, files made and dropped, typed SQL.
constexpr std::string_view kAccountRights = "SELECT, INSERT, UPDATE, DELETE, CREATE, DROP, ALTER";

// A login is one user of the server for each host he comes from.
std::vector<std::string> Logins(const std::string& user) {
  return {"'" + user + "'@'localhost'", "'" + user + "'@'%'"};
}

class MariaDb : public Dialect {
 public:
  std::string_view Kind() const override { return "MYSQL"; }
  ConnectParams ConnectParamsFor(const EngineSettings& settings, const std::string& home,
                                 const std::string& account) const override {
    ConnectParams p = Dialect::ConnectParamsFor(settings, home, account);
    LocateServer(settings, p);
    p.pipes = settings.myOdbcOption == "24578";
    return p;
  }

  // A server whose lower_case_table_names is 0 tells "ORDERS" from "orders": every name
  // goes in lower case, as the other servers store it, so the engine works whatever that
  // setting is.
  std::string StatementName(std::string_view name) const override { return LowerCase(name); }
  // Every file is named with its account, whichever database the connection is on.
  std::string TableName(const std::string& account, const std::string& file,
                        const std::string&) const override {
    return StatementName(account + "." + file);
  }
  std::string WrittenTableName(const std::string& account, const std::string& file) const override {
    return StatementName(account + "." + file);
  }
  bool WritesByReplace() const override { return true; }
  // Compound statements: the lock, the item and the transaction's end in one round trip to
  // the server, where each would take one.
  bool CombinesLocksWithItems() const override { return true; }
  std::string TakeThenRead(std::string_view read, std::string_view locks,
                           bool commit) const override {
    return "BEGIN NOT ATOMIC START TRANSACTION; " + LockTakeSql(locks, true) + "; " +
           std::string(read) + "; " + (commit ? "COMMIT; " : "") + "END";
  }
  std::string WriteHoldingLock(std::string_view write, std::string_view locks,
                               bool opensTransaction) const override {
    return "BEGIN NOT ATOMIC " + std::string(opensTransaction ? "START TRANSACTION; " : "") +
           "DELETE FROM " + std::string(locks) +
           " WHERE A0 = ? AND UserInst = ?; IF ROW_COUNT() = 0 THEN SIGNAL SQLSTATE '45000' SET "
           "MYSQL_ERRNO = " +
           std::to_string(kMariaDbLockedByAnother) +
           ", MESSAGE_TEXT = 'Another user has this item locked'; END IF; " + std::string(write) +
           "; COMMIT; END";
  }
  std::string WriteClaimingLock(std::string_view write, std::string_view locks) const override {
    return "BEGIN NOT ATOMIC START TRANSACTION; " + LockTakeSql(locks, true) + "; " +
           std::string(write) + "; DELETE FROM " + std::string(locks) +
           " WHERE A0 = ? AND UserInst = ?; COMMIT; END";
  }
  // A lock that a transaction holds, not yet committed, is only seen by a statement that
  // waits for it: these do not.
  std::string LockTakeSql(std::string_view locks, bool transactional) const override {
    return (transactional ? std::string(kNoWait) : std::string()) +
           Dialect::LockTakeSql(locks, transactional);
  }
  std::string LockLookSql(std::string_view locks, bool transactional) const override {
    if (!transactional) return Dialect::LockLookSql(locks, false);
    return std::string(kNoWait) + Dialect::LockLookSql(locks, true) + " LOCK IN SHARE MODE";
  }
  std::string DictionaryName(const std::string& account, const std::string& file) const override {
    return StatementName(account + "." + file);
  }
  std::string QuotedText(std::string_view text) const override {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
      if (c == '\\' || c == '\'' || c == '"') out.push_back('\\');
      out.push_back(c);
    }
    return out;
  }
  SystemTableRoute SystemTableOf(std::string_view name) const override {
    return {false, false, "dm." + std::string(name)};
  }
  // The server names it after its column (`<table>.A0`), which is how its driver tells it.
  std::string KeyCheck() const override {
    return "CHECK (CHAR_LENGTH(A0) <= " + std::to_string(kItemIdLength) + ")";
  }
  // Key columns as they were made before: CHAR(25), whatever their collation.
  std::string UncheckedKeysQuery() const override {
    return "SELECT c.TABLE_SCHEMA, c.TABLE_NAME, c.CHARACTER_SET_NAME, c.COLLATION_NAME "
           "FROM information_schema.COLUMNS c JOIN information_schema.TABLES t "
           "ON t.TABLE_SCHEMA = c.TABLE_SCHEMA AND t.TABLE_NAME = c.TABLE_NAME "
           "WHERE t.TABLE_TYPE = 'BASE TABLE' AND c.ORDINAL_POSITION = 1 AND c.COLUMN_NAME = 'A0' "
           "AND c.DATA_TYPE = 'char' AND c.CHARACTER_MAXIMUM_LENGTH = " +
           std::to_string(kItemIdLength) +
           " AND c.TABLE_SCHEMA NOT IN ('mysql', 'information_schema', 'performance_schema', "
           "'sys')";
  }
  std::string AddKeyCheckSql(const UncheckedKey& key) const override {
    // The primary key stays as it is; so do the rows, which CHAR(25) kept short enough.
    return "ALTER TABLE " + QuotedName(key.database) + "." + QuotedName(key.table) +
           " MODIFY A0 VARCHAR(" + std::to_string(kKeyColumnWidth) + ") CHARACTER SET " +
           QuotedName(key.charset) + " COLLATE " + QuotedName(key.collation) + " NOT NULL " +
           KeyCheck();
  }

  SessionNumbering Numbering() const override { return SessionNumbering::kSessionTable; }
  std::string SessionNumberQuery() const override { return "SELECT connection_id()"; }
  std::string SessionSearchQuery() const override { return "show processlist"; }
  std::optional<ProcessListing> ProcessList() const override {
    return ProcessListing{"SHOW PROCESSLIST", "User", "Id",     "db", "Time",
                          "Command",          "Info", "TimeEl "};
  }
  bool MarksSessions() const override { return true; }
  bool TakeSessionMark(Driver& dm, const std::string& userInst, int waitSeconds) const override {
    return Scalar(dm,
                  "SELECT GET_LOCK(" + SessionMark("?") + ", " + std::to_string(waitSeconds) + ")",
                  userInst) == "1";
  }
  bool SessionMarkFree(Driver& dm, const std::string& userInst) const override {
    return !Scalar(dm, "SELECT " + SessionMarkUsed("?"), userInst);
  }
  std::string SessionMarkUsed(std::string_view userInst) const override {
    return "IS_USED_LOCK(" + SessionMark(userInst) + ")";
  }

  std::optional<std::string> AccountListQuery() const override { return "show databases"; }
  std::optional<ColumnListing> ColumnListingOf(const std::string& name) const override {
    return ColumnListing{"SHOW COLUMNS FROM " + name, "Field", "Type", "Key"};
  }

  ConnectParams AdminConnectParams(const EngineSettings& settings) const override {
    ConnectParams p;
    p.account = "mysql";
    LocateServer(settings, p);
    return p;
  }
  std::string DatabaseExistsQuery() const override {
    return "SELECT SCHEMA_NAME FROM information_schema.SCHEMATA WHERE LOWER(SCHEMA_NAME) = ?";
  }
  std::string LoginExistsQuery() const override {
    return "SELECT User FROM mysql.user WHERE User = ?";
  }
  // Tables made by hand in the account compare keys as the engine's do (layout.h).
  std::string CreateDatabaseSql(const std::string& account) const override {
    return "CREATE DATABASE " + StatementName(account) +
           " CHARACTER SET latin1 COLLATE latin1_general_ci";
  }
  // A login's rights come from NarrowLoginSql, after its row in the users table tells its
  // privilege.
  std::vector<std::string> CreateLoginSql(const std::string& user,
                                          const std::string& password) const override {
    std::vector<std::string> out;
    for (const std::string& who : Logins(user)) {
      out.push_back("CREATE USER IF NOT EXISTS " + who + " IDENTIFIED BY '" + password + "'");
    }
    return out;
  }
  std::vector<std::string> SetLoginPasswordSql(const std::string& user,
                                               const std::string& password) const override {
    std::vector<std::string> out;
    for (const std::string& who : Logins(user)) {
      out.push_back("ALTER USER IF EXISTS " + who + " IDENTIFIED BY '" + password + "'");
    }
    return out;
  }

  std::vector<std::string> LoginRolesSql() const override {
    const std::string user = std::string(kUserRole), admin = std::string(kAdminRole);
    return {
        "CREATE ROLE IF NOT EXISTS " + user,
        "CREATE ROLE IF NOT EXISTS " + admin,
        "GRANT SELECT ON dm.users TO " + user,
        "GRANT SELECT ON dm.md TO " + user,
        "GRANT SELECT, INSERT, DELETE ON dm.locks TO " + user,
        // Every session keeps its own row and judges the others' by what tells whether they
        // live; what they do is the administrator's to see (LISTU), and each user's own.
        "GRANT SELECT (Number, LoginUser, Node, Lease, Beat), INSERT, UPDATE, DELETE ON "
        "dm.sessions TO " +
            user,
        "GRANT SELECT ON dm.own_sessions TO " + user,
        "GRANT SELECT, INSERT ON dm.printhold TO " + user,
        "GRANT " + std::string(kAccountRights) + " ON dm.* TO " + admin,
        "GRANT PROCESS ON *.* TO " + admin,
    };
  }
  std::string AdministratorHostsQuery() const override {
    return "SELECT Host FROM mysql.user WHERE User = ? AND is_role = 'N'";
  }
  std::vector<std::string> ShareRolesSql(const std::string& administrator,
                                         const std::string& host) const override {
    const std::string to =
        " TO '" + QuotedText(administrator) + "'@'" + QuotedText(host) + "' WITH ADMIN OPTION";
    return {"GRANT " + std::string(kUserRole) + to, "GRANT " + std::string(kAdminRole) + to};
  }
  std::vector<std::string> AccountRightsSql(const std::string& account) const override {
    std::string name;  // a database made by hand may hold any character
    for (char c : StatementName(account)) name += c == '`' ? "``" : std::string(1, c);
    const std::string on = "GRANT " + std::string(kAccountRights) + " ON `" + name + "`.* TO ";
    return {on + std::string(kUserRole), on + std::string(kAdminRole)};
  }
  std::vector<std::string> NarrowLoginSql(const std::string& user, const std::string& host,
                                          bool administrator) const override {
    const std::string role = LoginRole(administrator);
    const std::string who = "'" + QuotedText(user) + "'@'" + QuotedText(host) + "'";
    // Roles granted before go with the rest.
    return {"REVOKE ALL PRIVILEGES, GRANT OPTION FROM " + who, "GRANT " + role + " TO " + who,
            "SET DEFAULT ROLE " + role + " FOR " + who};
  }
  std::string LoginRole(bool administrator) const override {
    return std::string(administrator ? kAdminRole : kUserRole);
  }
  std::string LoginRolesQuery() const override {
    const std::string ours =
        "('" + std::string(kUserRole) + "', '" + std::string(kAdminRole) + "')";
    return "SELECT User, Host, IF(COALESCE(JSON_VALUE(Priv, '$.access'), '0') = '0', "
           "COALESCE(JSON_VALUE(Priv, '$.default_role'), ''), '') FROM mysql.global_priv "
           "WHERE JSON_VALUE(Priv, '$.is_role') IS NULL "
           "UNION ALL SELECT User, Host, '' FROM mysql.db UNION ALL SELECT User, Host, '' FROM "
           "mysql.tables_priv UNION ALL SELECT User, Host, '' FROM mysql.columns_priv UNION ALL "
           "SELECT User, Host, '' FROM mysql.procs_priv UNION ALL SELECT User, Host, '' FROM "
           "mysql.roles_mapping WHERE Role NOT IN " +
           ours;
  }
  std::string EngineAccountsQuery() const override {
    return "SELECT DISTINCT TABLE_SCHEMA FROM information_schema.TABLES WHERE TABLE_NAME = 'md' "
           "AND TABLE_SCHEMA <> 'dm'";
  }

  // Locks made by a set-up of before lived in a MEMORY table, which a cluster replicates to
  // none of its nodes (and one in strict mode refuses).
  std::vector<SystemTableUpgrade> SystemTableUpgrades() const override {
    return {{"SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = 'dm' AND "
             "TABLE_NAME = 'locks' AND ENGINE <> 'InnoDB'",
             "ALTER TABLE dm.locks ENGINE=InnoDB", "made table dm.locks transactional"}};
  }

 protected:
  // Every node of a cluster sees the locks: a lock is taken in the transaction of the read
  // for update and freed in that of the write that ends it.
  std::string LocksTableOptions() const override { return " ENGINE=InnoDB"; }
  // One row per logged-in session: its number (unique across a cluster's nodes, which hand
  // out numbers in steps of their count), its node, the lease it renews (Beat, Renewed) and
  // what it does, for LISTU. Users see their own rows whole through own_sessions.
  std::vector<SystemTable> SessionTables() const override {
    return {{"sessions",
             "CREATE TABLE sessions (Number BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY, "
             "LoginUser VARCHAR(255) NOT NULL, Node VARCHAR(255) NOT NULL, Lease INT NOT NULL, "
             "Beat BIGINT NOT NULL DEFAULT 0, Renewed DATETIME NOT NULL, "
             "Account VARCHAR(255) NOT NULL DEFAULT '', Privilege VARCHAR(255) NOT NULL DEFAULT '', "
             "State VARCHAR(255) NOT NULL DEFAULT '', Action VARCHAR(255) NOT NULL DEFAULT '', "
             "Changed DATETIME NOT NULL) ENGINE=InnoDB",
             {}},
            {"own_sessions",
             "CREATE SQL SECURITY DEFINER VIEW own_sessions AS SELECT * FROM sessions WHERE "
             "LoginUser = SUBSTRING_INDEX(USER(), '@', 1)",
             {}}};
  }
  std::string KeyCollation() const override {
    return "CHARACTER SET latin1 COLLATE latin1_general_ci";
  }
  std::string KeyColumn() const override {
    return "A0 VARCHAR(" + std::to_string(kKeyColumnWidth) + ") " + KeyCollation() +
           " PRIMARY KEY " + KeyCheck();
  }
  // TEXT holds 64 KiB and a non-strict server cuts longer values without a word: items,
  // dictionaries and md (whose entries a user writes as items) are LONGTEXT. A LONGTEXT
  // column takes no more room in a row than a TEXT one.
  ColumnTypes Types() const override {
    return {"LONGTEXT NOT NULL", "LONGTEXT NOT NULL", "LONGTEXT", "LONGTEXT NOT NULL", "TEXT",
            "LONGTEXT"};
  }
  std::string_view DictionaryGap() const override { return "  ("; }
  char NameQuote() const override { return '`'; }
};

}  // namespace

const Dialect& MariaDbDialect() {
  static const MariaDb dialect;
  return dialect;
}

}  // namespace orvik
