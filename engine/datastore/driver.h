// The one interface the engine has to a datastore.
//
// Each datastore (SQLite for the embedded "JET" kind, MariaDB/MySQL, SQL Server through
// ODBC) has a driver behind it, and tests use a recording driver. A driver is one
// connection: it is used from one thread at a time. Text crosses it as the system's own
// bytes (ISO-8859-1); a driver converts at its edge where its datastore wants another
// encoding. Failures are thrown as VbError with a datastore error number (below) and the
// datastore's own description, which the engine shows as "[number] description".

#ifndef ORVIK_ENGINE_DATASTORE_DRIVER_H_
#define ORVIK_ENGINE_DATASTORE_DRIVER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvik {

// A field value: text, or nullopt for SQL NULL.
using DbValue = std::optional<std::string>;

// Error numbers of datastore failures, in the data-access layer's numbering that
// applications test for.
namespace dberr {
inline constexpr int kUnspecified = -2147467259;      // connection failures and the like
inline constexpr int kErrorsInCommand = -2147217900;  // the statement was refused
inline constexpr int kNoSuchTable = -2147217865;
inline constexpr int kIntegrity = -2147217873;  // a duplicate key, a constraint
// Two sessions met on the same rows (a deadlock, a lock wait that timed out); the statement
// was rolled back and may simply be run again.
inline constexpr int kConflict = -2147217871;
inline constexpr int kNoSuchDatabase = -2147217843;  // an account that does not exist
inline constexpr int kBadName = 913;                 // a name refused before it reached the store
inline constexpr int kTooManyAttributes = 914;       // an item wider than its file's table
inline constexpr int kIdTooLong = 916;               // an id wider than the key column
// An id the datastore's key collation takes for another, stored one that the engine's rule
// tells apart (servers only): writing it would replace that item.
inline constexpr int kKeyTaken = 917;
// Another session holds the lock of the item asked for.
inline constexpr int kLockedByAnother = 920;
// The server takes no changes: a replica, or a server set read-only.
inline constexpr int kReadOnly = 927;
}  // namespace dberr

// What a change refused by a read-only server says.
inline constexpr std::string_view kReadOnlyRefused =
    "This datastore is read-only (a replica): it takes no changes; they go to its primary";

// The error number a MariaDB statement of the engine raises (SIGNAL) when it finds another
// session holding the lock of the item it was to write; no error of the server has it, and
// the driver reads it as dberr::kLockedByAnother.
inline constexpr unsigned kMariaDbLockedByAnother = 6920;

// The rows of one query, read forward once.
class Cursor {
 public:
  virtual ~Cursor() = default;
  virtual const std::vector<std::string>& FieldNames() const = 0;
  // Moves to the next row; false past the last one. Before the first call there is no row.
  virtual bool Next() = 0;
  // The current row, one value per field.
  virtual const std::vector<DbValue>& Row() const = 0;
};

// Rows held in memory: none, or every row of another cursor, read at once (which ends that
// cursor's read).
class RowsCursor : public Cursor {
 public:
  RowsCursor() = default;
  explicit RowsCursor(Cursor& source);
  RowsCursor(std::vector<std::string> names, std::vector<std::vector<DbValue>> rows);

  const std::vector<std::string>& FieldNames() const override { return names_; }
  const std::vector<DbValue>& Row() const override { return row_; }
  bool Next() override;

 private:
  std::vector<std::string> names_;
  std::vector<std::vector<DbValue>> rows_;
  std::size_t next_ = 0;
  std::vector<DbValue> row_;
};

struct TableInfo {
  std::string name;
  std::string type;  // "TABLE", "VIEW", "SYSTEM TABLE", "LINK", ...
};

struct ColumnInfo {
  std::string name;
  std::string type;  // as the datastore declares it, e.g. "TEXT", "CHAR(25)"
};

// Where and as whom to connect. Drivers use the fields that apply to them.
struct ConnectParams {
  std::string account;  // the database
  std::string home;     // the engine home (SQLite: JetMDB/<account>.db under it)
  std::string server;   // host name or address
  std::string port;     // TCP port, as text
  std::string socket;   // a Unix socket, when the server is reached through one
  std::string user;
  std::string password;
  bool pipes = false;  // MySQL: reach the server through its local socket
  // Servers: how long connecting, and each read and write of a statement, may take before
  // the connection counts as lost; 0: the driver's own limits.
  int timeoutSeconds = 0;
};

// What a connection finds its server to be when it is made.
struct ServerFacts {
  // A node of a cluster that certifies every commit with its peers before it is done (Galera).
  bool cluster = false;
  // The server takes no changes (a replica): the connection refuses every one (kReadOnly).
  bool readOnly = false;
  // Tells the server from the other nodes of its cluster.
  std::string node;
  // Where the connection reached it: one of the servers the settings name, as "host:port", or
  // a socket's path.
  std::string reached;
};

class Driver {
 public:
  virtual ~Driver() = default;

  // "JET", "MYSQL", "MSSQL" or "RECORDING".
  virtual std::string Kind() const = 0;

  // Opens the connection to params.account. An account that does not exist is an error:
  // nothing is ever created by connecting.
  virtual void Connect(const ConnectParams& params) = 0;
  virtual bool IsOpen() const = 0;
  // Whether the server runs compound statements (BEGIN NOT ATOMIC ... END) with parameters,
  // as Dialect::WriteHoldingLock and Dialect::TakeThenRead build them.
  virtual bool RunsCompoundStatements() const { return false; }
  // Ends the connection; statements fail from then on, until the next Connect.
  virtual void Close() = 0;
  // The server as the connection found it; nothing known where the driver cannot tell.
  virtual const ServerFacts& Facts() const;

  // Transactions, where the driver runs them: the statements between Begin and Commit or
  // Rollback are one; outside, each statement commits itself. A transaction that a compound
  // statement opened may be left open past it (Defer): the connection's next statement then
  // commits it first, unless Continue has taken it over for the statements that follow.
  // The others throw VbError where RunsTransactions is false.
  virtual bool RunsTransactions() const { return false; }
  virtual void Begin();
  virtual void Commit();
  virtual void Rollback();
  // Ends the open transaction after a failure, which is what the caller tells: a connection
  // that failed the transaction may fail this too, and the server rolls back what a
  // connection left open when it ends.
  void RollbackQuietly() noexcept;
  void Defer();
  // Whether a deferred transaction is open.
  bool Deferred() const { return deferred_; }
  void Continue();
  // Moves the open connection to another account (USE, the default database). A failed move
  // leaves the connection on the account it had.
  virtual void UseDatabase(const std::string& account) = 0;
  virtual std::string CurrentDatabase() const = 0;

  // Runs a statement with "?" placeholders bound to `params` in order; returns the number of
  // rows the statement matched (not only those it changed).
  virtual std::int64_t Execute(std::string_view sql, std::span<const DbValue> params = {}) = 0;
  // Runs a query. The cursor streams: a large result is not read whole into memory.
  virtual std::unique_ptr<Cursor> Query(std::string_view sql,
                                        std::span<const DbValue> params = {}) = 0;
  // Runs a query whose result is a row or a few (a look-up by key), or one the caller reads
  // to its end at once, read whole before this returns: a server then answers it in one
  // exchange, with no cursor of its own to open and close. Drivers whose queries already read
  // a small result at once need not override it.
  virtual std::unique_ptr<Cursor> Lookup(std::string_view sql,
                                         std::span<const DbValue> params = {}) {
    return Query(sql, params);
  }

  // The current account's tables, in the datastore's own order.
  virtual std::vector<TableInfo> ListTables() = 0;
  virtual std::vector<ColumnInfo> ListColumns(const std::string& table) = 0;

  // A number that identifies this connection on the server (0 where there is none).
  virtual std::int64_t ConnectionId() { return 0; }

  // Cancels the statement running on this connection, if any: the one member that may be
  // called from another thread while the owning thread is inside Execute, Query or a
  // cursor's Next. The cancelled call fails as the datastore reports a cancellation; the
  // connection stays usable for the statements that come after it. This is how a session
  // that ends takes back a thread stuck in a statement that would never finish.
  virtual void Interrupt() = 0;
  // Statements a user typed. While the guard is up, Execute and Query refuse, with VbError
  // dberr::kSystemTables and without running it, a statement that could read the password
  // column of the system account's users table or change its users, locks or printhold
  // tables (system_tables.h says how each driver tells); on a server also one that may
  // manage its logins and rights or reach its own schemas (server_guard.h). The engine
  // raises it only around a statement typed by a user without the administrator's
  // privilege; its own statements run with it down. Returns the guard's previous state.
  bool SetSystemTablesGuard(bool up) { return std::exchange(systemTablesGuard_, up); }
  bool SystemTablesGuard() const { return systemTablesGuard_; }

 protected:
  // For drivers that judge statements by their text: throws kSystemTables when the guard is
  // up and `sql` MayReachSystemTables or MayManageServer on the current database.
  void RefuseGuardedText(std::string_view sql) const;
  // The deferred transaction is no longer the driver's to commit: it has ended (Commit,
  // Rollback, a connection closed or made anew), or is about to be committed by the caller.
  // Whether one was open.
  bool EndDeferred() { return std::exchange(deferred_, false); }

 private:
  bool systemTablesGuard_ = false;
  bool deferred_ = false;
};

// Account names reach file paths (SQLite) and USE statements; file names reach statements.
// An account name is 1..64 letters, digits and '_'; a file name may also hold '.' and '-'
// (never ".." and never at either end). Check*Name throws VbError kBadName for anything
// else, quotes, blanks, '/' and NUL included.
bool IsValidAccountName(std::string_view name);
bool IsValidFileName(std::string_view name);
void CheckAccountName(std::string_view name);
void CheckFileName(std::string_view name);
// A multivalue file's table name goes into statements as it stands, so it must be a plain
// identifier: 1..64 letters, digits and '_'.
bool IsPlainIdentifier(std::string_view name);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_DRIVER_H_
