// One open SQLite database handle and its cache of prepared statements. Internal to the
// SQLite driver: the engine sees only SqliteDriver.

#ifndef ORVIK_ENGINE_DATASTORE_SQLITE_SQLITE_CONNECTION_H_
#define ORVIK_ENGINE_DATASTORE_SQLITE_SQLITE_CONNECTION_H_

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver.h"
#include "log_syncs.h"
#include "vb_error.h"
#include "write_turns.h"

namespace orvik::sqlite_detail {

// How long a statement that finds the database busy (another connection writing, a
// checkpoint, a recovery) keeps trying before the conflict is reported (kConflict).
inline constexpr std::chrono::seconds kBusyLimit{30};

// The error for a failed call on `db`, numbered by what went wrong and described by SQLite's
// own message (in the system's Latin-1). Read it before the statement is reset. A database
// still busy after kBusyLimit is kConflict: the statement may simply be run again.
VbError StatementError(sqlite3* db, int rc);

// The first step of a statement. While the database is busy and no transaction is open,
// the statement starts over after a short, random pause, until kBusyLimit has passed:
// SQLite's own wait is not called for every kind of busy (a stale snapshot, a recovery),
// and is not fair between many waiting processes. Inside a transaction a busy statement
// is reported at once, since only the whole transaction can be run again.
int FirstStep(sqlite3_stmt* stmt);

// Registers the collation keys had before (kFormerKeyCollation in layout.h) on `db`.
int AddKeyCollation(sqlite3* db);

// Binds `params` to the statement's placeholders in order; a count that does not match the
// placeholders is an error rather than a silent NULL or a dropped value.
void BindParams(sqlite3_stmt* stmt, std::span<const DbValue> params);

// Column `i` of the current row: text, numbers as SQLite writes them, blobs as their bytes,
// NULL as nullopt.
DbValue ColumnValue(sqlite3_stmt* stmt, int i);

class Connection;

// What a statement typed by a user may not touch (system_tables.h): checked by SQLite's
// authorizer while the statement compiles.
struct StatementGuard {
  // The connection is on the system account, whose guarded tables are in reach.
  bool systemAccount = false;
  // The users table's password column: A7, and the name of its eighth column.
  std::string passwordColumn = "A7";
};

// A prepared statement on loan from its connection's cache. Giving it back (explicitly or on
// destruction) resets it, ending any read it had open, so the connection may use it again.
// The lease keeps the connection alive: a statement is never used after its handle closes.
class Lease {
 public:
  Lease() = default;
  Lease(std::shared_ptr<Connection> conn, std::string sql, sqlite3_stmt* stmt);
  Lease(Lease&& other) noexcept;
  Lease& operator=(Lease&& other) noexcept;
  ~Lease();

  sqlite3_stmt* stmt() const { return stmt_; }
  sqlite3* db() const;
  explicit operator bool() const { return stmt_ != nullptr; }
  void GiveBack();
  // Gives the statement back and, when that ended a write, returns once the write is on the
  // disk: SQLITE_OK, or the sync's failure. A statement given back otherwise (on destruction)
  // is made durable all the same, but a failure to sync it is not heard of.
  int Finish();

  // The statement's first step (FirstStep), after the connection's write turn when the
  // statement writes (Connection::AwaitTurn). A turn that does not come is SQLITE_BUSY at
  // once.
  int FirstStep();

 private:
  std::shared_ptr<Connection> conn_;
  std::string sql_;
  sqlite3_stmt* stmt_ = nullptr;
};

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  // Opens an existing database file for reading and writing; never creates one. With
  // `set_wal` the file is switched to write-ahead logging (a no-op when it already is),
  // which also proves it is a database, and the connection's commits are synced together
  // with those of the process's other connections to the file (log_syncs.h). Failures are
  // kUnspecified. The connection knows the former key collation (kFormerKeyCollation in layout.h),
  // waits while another connection writes (up to kBusyLimit), and keeps the log file from growing
  // past a few megabytes once it has been written back.
  static std::shared_ptr<Connection> Open(const std::filesystem::path& file, bool set_wal);

  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  sqlite3* db() const { return db_; }

  // A statement for `sql` (system text), ready for binding: an idle one from the cache when
  // there is one, else newly prepared. A statement some cursor still holds is never handed
  // out twice. Empty text, text holding NUL and text of more than one statement are refused.
  // With a `guard` the statement is always compiled afresh under it (a cached one may have
  // been compiled without), and one that touches what the guard keeps is refused with
  // dberr::kSystemTables.
  Lease Prepare(std::string_view sql, const StatementGuard* guard = nullptr);

  // Whether a statement is on loan, that is, a cursor of this connection is still reading.
  bool busy() const { return leased_ > 0; }
  // Takes this connection's write turn (write_turns.h) when `stmt` writes and the connection
  // holds none; the turn is kept while a write transaction stays open on the connection, that
  // is until the statement has been given back, or until the transaction it opened has ended.
  // False when the turn did not come within kBusyLimit.
  bool AwaitTurn(sqlite3_stmt* stmt);

  // Makes last_insert_rowid(), changes() and total_changes() on this connection answer for
  // `writer`: a reading connection must report what the driver's writes did.
  void AnswerFor(std::shared_ptr<Connection> writer);

 private:
  friend class Lease;
  Connection(sqlite3* db, std::shared_ptr<WriteTurns> turns) : db_(db), turns_(std::move(turns)) {}
  // Returns what GiveTurnWhenDone does.
  int GiveBack(std::string sql, sqlite3_stmt* stmt);
  // Gives the write turn back once no write transaction is open, then syncs the log when the
  // turn changed the main database: SQLITE_OK or the sync's failure.
  int GiveTurnWhenDone();
  // SQLite's count of the changes to the main database, by any connection.
  unsigned DataVersion() const;
  // SQLite's busy handler: pauses briefly and asks for another try until kBusyLimit.
  static int WaitWhileBusy(void* self, int count);

  // Enough for the statements a port repeats (item reads and writes of a few files) without
  // holding on to every one-off query.
  static constexpr std::size_t kCacheSize = 32;

  struct Idle {
    std::string sql;
    sqlite3_stmt* stmt;
  };

  sqlite3* db_;
  std::shared_ptr<WriteTurns> turns_;
  bool holdsTurn_ = false;
  std::shared_ptr<LogSyncs> syncs_;  // null: SQLite syncs each commit itself
  unsigned versionAtTurn_ = 0;
  std::vector<Idle> idle_;  // least recently used first
  int leased_ = 0;
  std::shared_ptr<Connection> writer_;
  std::chrono::steady_clock::time_point busySince_;
};

}  // namespace orvik::sqlite_detail

#endif  // ORVIK_ENGINE_DATASTORE_SQLITE_SQLITE_CONNECTION_H_
