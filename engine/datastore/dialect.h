// What differs from one datastore to another: how statements name tables and quote text,
// the statements that create tables and accounts, where the system account's tables are
// reached from a port, how sessions are numbered and listed, and what the set-up command
// sends a server.
//
// Each datastore kind has a dialect (datastore_kinds.h), and so does a setting that names none
// of them: that one reaches no datastore at all. The engine's per-port parts
// (account_connection.h, item_store.h, lock_table.h, login.h) ask their dialect these
// questions, and where an account lives their account space (account_space.h); no code asks
// which datastore it is on.
//
// Dialects are immutable singletons: any thread may use them. Text is the system's bytes.
// Nothing here runs a statement, except the session marks, which are statements whose
// answers only the dialect can read.

#ifndef ORVIK_ENGINE_DATASTORE_DIALECT_H_
#define ORVIK_ENGINE_DATASTORE_DIALECT_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver.h"
#include "engine_settings.h"

namespace orvik {

// The embedded store's setting and driver kind: other accounts' files on it are read through
// connections of their own (JetQRef).
inline constexpr std::string_view kEmbeddedStore = "JET";

enum class TableTemplate {
  kDataColumns,       // A0 and A1..An
  kDataItem,          // A0 and ITEM
  kDictionary,        // <name>_dict: A0 and A1..A20
  kControlItem,       // the row that marks an item-mode file in its dictionary
  kMasterDictionary,  // md: A0 and A1..A20
};

// A table of the system account, by name, with the statement that creates it.
struct SystemTable {
  std::string name;
  std::string createSql;
  std::string keyIndexSql;  // Dialect::KeyIndexSql, or empty
};

// How a port reaches one of the system account's tables ("locks", "printhold").
struct SystemTableRoute {
  // The port's kept connection to the system account (else its account connection).
  bool systemConnection = false;
  // The account connection is switched to the system account for the statement.
  bool switchToSystem = false;
  // The table as the statement names it.
  std::string table;
};

// A table whose key column lacks its check (Dialect::UncheckedKeysQuery), with the
// character set and collation of that column, which keep how its keys compare.
struct UncheckedKey {
  std::string database, table, charset, collation;
};

// How a logged-in session gets the number in its user instance.
enum class SessionNumbering {
  kRegistry,      // the home's user registry gives it; the engine checks the password
  kServerSpid,    // the server's process id (SessionNumberQuery); not kept as Connection_ID
  kConnectionId,  // the server's connection id (SessionNumberQuery), kept as Connection_ID
  // A row of the system account's sessions table that every node of a cluster sees gives it
  // (session_table.h), kept as Connection_ID; where the home has no such table (a set-up of
  // before made it) or the server takes no changes, kConnectionId.
  kSessionTable,
  kNone,  // no datastore: nobody logs in
};

// The server's list of sessions: its statement and the columns of each line's six values.
struct ProcessListing {
  std::string query;
  std::string user, id, account, time, state, action;  // an empty name gives ""
  std::string timeTitle;                               // the heading of the fourth column in LISTU
};

// The columns of a table as the server lists them (SHOW), by statement.
struct ColumnListing {
  std::string query;
  std::string field, type, key;  // the listing's column names
};

class Dialect {
 public:
  // The dialect of a DataStore setting (trimmed and upper-cased): its kind's in the table of
  // kinds (datastore_kinds.cpp, which defines this), else the one that reaches nothing.
  static const Dialect& Of(std::string_view dataStore);

  virtual ~Dialect() = default;

  // --- Connections ----------------------------------------------------------------------

  // The driver kind that reaches this datastore; empty when the setting names none.
  virtual std::string_view Kind() const = 0;
  bool ReachesDatastore() const { return !Kind().empty(); }
  // Where a port connects for `account` (without the login, which the caller adds).
  virtual ConnectParams ConnectParamsFor(const EngineSettings& settings, const std::string& home,
                                         const std::string& account) const;

  // --- Names and text --------------------------------------------------------------------

  // How a file's or an account's name reaches a statement.
  virtual std::string StatementName(std::string_view name) const { return std::string(name); }
  // The name by which a statement on a connection that is on `current` reads (or creates)
  // `file` of `account`.
  virtual std::string TableName(const std::string& account, const std::string& file,
                                const std::string& current) const = 0;
  // Whether a write to another account's file runs on the connection switched to that
  // account; the statement then names the table by WrittenTableName.
  virtual bool WritesSwitchAccount() const { return false; }
  virtual std::string WrittenTableName(const std::string& account, const std::string& file) const {
    (void)account;
    return file;
  }
  // Whether a whole item is written with one REPLACE rather than an UPDATE, and an INSERT
  // where the UPDATE found no row.
  virtual bool WritesByReplace() const { return false; }
  // Whether the statements below exist on this datastore (they are not empty).
  virtual bool CombinesLocksWithItems() const { return false; }
  // Where the driver runs transactions (Driver::RunsTransactions), the item locks, in a table
  // beside the items on the same connection, are taken and freed in the transactions that
  // read and write the items: a write refused changes nothing, and a lock goes with the write
  // that ends it.
  //
  // One statement that frees this session's lock of an item in `locksTable` and runs `write`,
  // then commits; where `opensTransaction`, it opens its transaction first, else it goes on
  // with the one open (the read that took the lock left it open: Driver::Defer). Its
  // parameters: the lock's key and this session's holder name, then those of `write`. A lock
  // no longer this session's (judged gone meanwhile) refuses it with dberr::kLockedByAnother,
  // and nothing is written; any failure leaves the transaction for the caller to roll back.
  // Empty where the datastore cannot run such statements.
  virtual std::string WriteHoldingLock(std::string_view write, std::string_view locksTable,
                                       bool opensTransaction) const {
    (void)write;
    (void)locksTable;
    (void)opensTransaction;
    return {};
  }
  // One statement that opens a transaction, takes this session's lock of an item in
  // `locksTable` (that nobody holds), runs `write`, frees the lock and commits; or empty
  // (where WriteHoldingLock is). Its parameters: the lock's key and this session's holder
  // name, those of `write`, the key and the holder again. A lock row there already refuses it
  // as a duplicate key (dberr::kIntegrity), one another transaction holds as
  // dberr::kConflict, and nothing is written; the transaction stays open for the caller to
  // roll back.
  virtual std::string WriteClaimingLock(std::string_view write, std::string_view locksTable) const {
    (void)write;
    (void)locksTable;
    return {};
  }
  // One statement that opens a transaction, takes this session's lock of an item in
  // `locksTable` and runs `read`, then commits where `commit`; or empty (where
  // WriteHoldingLock is). Its parameters: the lock's key and this session's holder name, then
  // those of `read`. A lock row there already refuses it as a duplicate key
  // (dberr::kIntegrity), one that another transaction holds as dberr::kConflict, and nothing
  // is read; the transaction stays open for the caller to end.
  virtual std::string TakeThenRead(std::string_view read, std::string_view locksTable,
                                   bool commit) const {
    (void)read;
    (void)locksTable;
    (void)commit;
    return {};
  }
  // The statement that takes a lock (parameters: key, holder) and the one that looks for its
  // holder (parameter: key; rows: A0, UserInst). In `transactional` use, neither waits for a
  // lock another transaction holds open, not yet committed: both fail at once with
  // dberr::kConflict, and the item counts as locked.
  virtual std::string LockTakeSql(std::string_view locksTable, bool transactional) const;
  virtual std::string LockLookSql(std::string_view locksTable, bool transactional) const;
  // The name whose "_dict" table holds a file's dictionary, as OOpen looks for its control
  // item on the connection that sees the file.
  virtual std::string DictionaryName(const std::string& account, const std::string& file) const {
    (void)account;
    return file;
  }
  // Text put between apostrophes in a statement. Values go as bound parameters wherever a
  // statement allows; this is for statements that cannot bind and for statement texts
  // shown in messages.
  virtual std::string QuotedText(std::string_view text) const;
  // A name as the datastore lists it, quoted so that a statement names exactly that table
  // or setting, whatever its case or characters.
  std::string QuotedName(std::string_view name) const;
  // The statement expression of the first character of `column`.
  virtual std::string FirstCharacter(std::string_view column) const;
  // Whether key comparison is exactly the engine's rule (layout.h); where it is not, ids
  // with bytes above 127 are checked against the row the datastore finds.
  virtual bool KeyCollationIsExact() const { return false; }
  bool KeyMayMeetTwin(std::string_view id) const;
  // The condition of a statement on a file's table that finds the row keyed `id` by the
  // engine's rule (layout.h), and the value of the one parameter it takes.
  struct KeyMatch {
    std::string condition;
    DbValue param;
  };
  virtual KeyMatch KeyEquals(std::string_view id) const { return {"A0 = ?", std::string(id)}; }
  // A lock key (the table part, character 255, the id) as the locks table keeps it.
  virtual std::string StoredLockKey(std::string key) const { return key; }

  // --- Tables ---------------------------------------------------------------------------

  // The statement that creates (or, for kControlItem, inserts) one table of a file.
  // `columns` is n for kDataColumns.
  std::string FileTableSql(TableTemplate kind, std::string_view name, int columns = 0) const;
  // The statement that gives the file-shaped `table` the index by which its keys are told
  // apart by the engine's rule, where its key column's collation does not do that alone;
  // else empty. It ends with KeyIndexBody.
  std::string KeyIndexSql(std::string_view table) const;
  // What an index of KeyIndexSql indexes: its column list and condition; empty where none.
  virtual std::string KeyIndexBody() const { return {}; }
  // A query whose one row counts the keys of `table` that have twins by the engine's rule,
  // which would keep its index from being made (where there is one).
  virtual std::string KeyTwinsQuery(std::string_view table) const {
    (void)table;
    return {};
  }
  // FileTableSql and, for a table, its KeyIndexSql: all that makes one table of a file.
  std::vector<std::string> FileTableStatements(TableTemplate kind, std::string_view name,
                                               int columns = 0) const;
  // The tables of the system account, with the statements that create them.
  std::vector<SystemTable> SystemAccountTables() const;
  // What brings the system tables a set-up of before made to what the engine needs now: the
  // set-up runs each change whose query finds a row, and reports it.
  struct SystemTableUpgrade {
    std::string needed;
    std::string change;
    std::string report;
  };
  virtual std::vector<SystemTableUpgrade> SystemTableUpgrades() const { return {}; }
  // The statement that makes the item locks table under the name `table`.
  std::string LocksTableSql(std::string_view table) const;
  // How a port reaches the system account's table `name`.
  virtual SystemTableRoute SystemTableOf(std::string_view name) const;
  // The check by which a key column refuses a key longer than an item id (layout.h), as a
  // column constraint; empty where the datastore refuses a key that does not fit anyway.
  virtual std::string KeyCheck() const { return {}; }
  // Key columns made before they had the check lack it. On a server, the query that lists
  // such tables in every database, a row each as UncheckedKey has them, and the statement that
  // gives one of them the check; empty where there is none to find that way.
  virtual std::string UncheckedKeysQuery() const { return {}; }
  virtual std::string AddKeyCheckSql(const UncheckedKey& key) const {
    (void)key;
    return {};
  }

  // --- Sessions -------------------------------------------------------------------------

  virtual SessionNumbering Numbering() const = 0;
  // The statement that answers the session's number (kServerSpid, kConnectionId).
  virtual std::string SessionNumberQuery() const { return {}; }
  // Where a server cannot answer that, a process list in which the session finds its own
  // line: the one that runs this very statement (empty: none).
  virtual std::string SessionSearchQuery() const { return {}; }
  // The server's process list; none where the home's user registry keeps the sessions. (Where
  // the sessions table lists them, it serves the sessions numbered by their connections.)
  virtual std::optional<ProcessListing> ProcessList() const { return std::nullopt; }
  // Servers mark each connection of a logged-in session, so that other sessions can tell
  // whether its item locks are stale (lock_holders.h).
  virtual bool MarksSessions() const { return false; }
  // The expression of whether the mark of the user instance `userInst` (an expression) is
  // taken on the server the statement runs on: not NULL while it is.
  virtual std::string SessionMarkUsed(std::string_view userInst) const {
    (void)userInst;
    return "NULL";
  }
  // Takes the mark of `userInst` on `dm`, waiting up to `waitSeconds` for a mark its
  // previous connection still holds; whether it was taken.
  virtual bool TakeSessionMark(Driver& dm, const std::string& userInst, int waitSeconds) const;
  // Whether the mark of `userInst` is free, that is the session is gone.
  virtual bool SessionMarkFree(Driver& dm, const std::string& userInst) const;

  // --- Listings -------------------------------------------------------------------------

  // The statement that lists the server's databases (none: accounts are files, or there is
  // no datastore).
  virtual std::optional<std::string> AccountListQuery() const { return std::nullopt; }
  // The statement that lists a table's columns for SHOW; none: the driver's own listing.
  virtual std::optional<ColumnListing> ColumnListingOf(const std::string& name) const {
    (void)name;
    return std::nullopt;
  }

  // --- Set-up on a server -----------------------------------------------------------------

  // The administrator's connection, on the server's own database.
  virtual ConnectParams AdminConnectParams(const EngineSettings& settings) const;
  // A query with one parameter (a lower-cased name) that has a row when that database
  // exists; another that has one when that login exists.
  virtual std::string DatabaseExistsQuery() const { return {}; }
  virtual std::string LoginExistsQuery() const { return {}; }
  virtual std::string CreateDatabaseSql(const std::string& account) const;
  // The statements that create the login `user` with `password`, or give it that password.
  virtual std::vector<std::string> CreateLoginSql(const std::string& user,
                                                  const std::string& password) const;
  virtual std::vector<std::string> SetLoginPasswordSql(const std::string& user,
                                                       const std::string& password) const;

  // --- Rights of the logins on a server ---------------------------------------------------
  //
  // A login holds what the engine's sessions run and no more, through one of two roles:
  // an ordinary user's (his accounts' tables, and on the system account reading the users
  // and md tables, taking and freeing locks, holding print) or an administrator's (all of
  // the system account's tables, and the server's process list for LISTU). Nothing on the
  // server's own schemas, nothing else global. None of these where the datastore keeps no
  // logins, or gives them their rights by other means.

  // The statements that make both roles and give them their rights on the system account's
  // tables, which exist by then; run again, they change nothing.
  virtual std::vector<std::string> LoginRolesSql() const { return {}; }
  // A query with one parameter, the administrator the set-up works as, whose rows name his
  // hosts; and the statements that let him give both roles from `host` too: a server lets
  // only their maker give them, and only from the host he made them from.
  virtual std::string AdministratorHostsQuery() const { return {}; }
  virtual std::vector<std::string> ShareRolesSql(const std::string& administrator,
                                                 const std::string& host) const {
    (void)administrator;
    (void)host;
    return {};
  }
  // The statements that give both roles their rights on the tables of `account`.
  virtual std::vector<std::string> AccountRightsSql(const std::string& account) const {
    (void)account;
    return {};
  }
  // The statements that take every right of its own from the login `user` coming from
  // `host` (a set-up of before gave it all of them) and leave it the role of an
  // administrator or an ordinary user.
  virtual std::vector<std::string> NarrowLoginSql(const std::string& user, const std::string& host,
                                                  bool administrator) const {
    (void)user;
    (void)host;
    (void)administrator;
    return {};
  }
  // The role of an administrator's login, or of an ordinary user's.
  virtual std::string LoginRole(bool administrator) const {
    (void)administrator;
    return {};
  }
  // A query whose rows are (a login's user, its host, the role it holds alone), a login with
  // a right of its own or without a role having an empty role: a login whose rows all name
  // the role its user's privilege calls for is narrowed already. Empty: none to ask.
  virtual std::string LoginRolesQuery() const { return {}; }
  // A query whose rows name the databases on the server that are accounts of the engine
  // (those with a master dictionary).
  virtual std::string EngineAccountsQuery() const { return {}; }

 protected:
  // What follows the locks table's columns where it is made: how its rows are kept. Lock
  // rows are taken and freed around every item update and need not outlive a crash (their
  // holders do not), so the cheapest storage that keeps them atomic will do.
  virtual std::string LocksTableOptions() const { return {}; }
  // Whether the locks table is one of the system account's tables; the embedded store keeps
  // it in a file of its own, which its driver makes.
  virtual bool LocksInSystemAccount() const { return true; }
  // The system account's tables (and views) of the sessions list, where there is one.
  virtual std::vector<SystemTable> SessionTables() const { return {}; }
  // The collation of key columns, and the key column of a file-shaped table (with KeyCheck).
  virtual std::string KeyCollation() const = 0;
  virtual std::string KeyColumn() const;
  // "<name> <type>" for the columns A<from>..A<to>, each after ", ".
  static std::string Columns(int from, int to, std::string_view type);
  // The column types of the tables the engine creates.
  struct ColumnTypes {
    std::string data;        // an attribute column of a file
    std::string item;        // the ITEM column of an item-mode file
    std::string dictionary;  // an attribute column of a dictionary
    std::string master;      // an attribute column of md (whose rows often fill a few)
    std::string text;        // a column of the users table
    std::string memo;        // the text of a held print job
  };
  virtual ColumnTypes Types() const = 0;
  // The character that QuotedName puts around a name.
  virtual char NameQuote() const { return '"'; }
  // What comes between a dictionary's name and its column list.
  virtual std::string_view DictionaryGap() const { return " ("; }
  // The first column of the only row of a query with one parameter; none without a row.
  static DbValue Scalar(Driver& d, const std::string& sql, const std::string& param);
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_DIALECT_H_
