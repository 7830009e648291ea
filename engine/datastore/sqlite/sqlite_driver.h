// The embedded datastore ("JET"): one SQLite file per account, <home>/JetMDB/<account>.db.
//
// Accounts are files that the set-up command or the CREATE-ACCOUNT sentence made with
// CreateAccount; connecting never creates one. Files run in write-ahead-log mode, so several
// ports and processes share an account: readers never block the writer, and a statement
// that finds the database busy tries again for up to kBusyLimit (30 seconds) before it
// fails with kConflict. Keys compare by the engine's rule (layout.h) with what SQLite has
// built in, so that any SQLite tool can search and change the files.
//
// Connections. Writes, and everything inside an explicit transaction, run on the driver's
// main connection. A plain query (SELECT, WITH, VALUES that only reads) runs outside a
// transaction on a reading connection of its own while its cursor is open. In SQLite a
// connection with an open cursor keeps the snapshot the cursor started from, and a write on
// it fails once another process has committed since; a port that walks a list and writes
// its items would then fail whenever another port wrote. Reading connections take a fresh
// snapshot for every query once their previous cursor has finished, so each query sees
// every committed write, the driver's own included. last_insert_rowid(), changes() and
// total_changes() answer for the main connection wherever the query runs. While the main
// connection holds TEMP tables or views, which are its own, every query runs on it.
// Connection settings changed with PRAGMA apply to the main connection only.
//
// Statements a user typed (Driver::SetSystemTablesGuard): while the guard is up every
// statement is compiled afresh under SQLite's authorizer, which refuses the password column,
// the held print, changes of the system account's guarded tables, ATTACH, triggers and pragmas
// that set.
//
// Lifetime: a cursor holds the connection it reads alive, so it may outlive UseDatabase
// (it goes on reading the account it began on) and even the driver. A cursor reads its
// first 256 rows at once and so holds no read open on a result that small; a cursor on a
// larger result keeps its read open until its last row, holding back the writing back of
// the log, so finish or destroy those promptly.

#ifndef ORVIK_ENGINE_DATASTORE_SQLITE_SQLITE_DRIVER_H_
#define ORVIK_ENGINE_DATASTORE_SQLITE_SQLITE_DRIVER_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver.h"

struct sqlite3;

namespace orvik {

namespace sqlite_detail {
class Connection;
struct StatementGuard;
}  // namespace sqlite_detail

class SqliteDriver : public Driver {
 public:
  // How much of a file a connection reads through a memory map (PRAGMA mmap_size): none. A
  // connection whose snapshot is out of date (another connection has written since its last
  // read, which under load is every read) drops its whole map and maps the file afresh; in a
  // process of many sessions each such unmapping stops every processor the process runs on,
  // and costs more than all the reads it saved. The benchmarks' hand-written code, which opens
  // the files itself, reads without a map too.
  static constexpr long long kMemoryMap = 0;

  SqliteDriver();
  ~SqliteDriver() override;
  SqliteDriver(const SqliteDriver&) = delete;
  SqliteDriver& operator=(const SqliteDriver&) = delete;

  std::string Kind() const override { return "JET"; }

  // Uses params.home and params.account. A bad account name is kBadName; an account whose
  // file does not exist is kNoSuchDatabase; a file that cannot be opened as a database is
  // kUnspecified. A failed Connect leaves an open driver on the account it had.
  void Connect(const ConnectParams& params) override;
  bool IsOpen() const override;
  // Cursors still open go on reading the account they began on.
  void Close() override;
  // Opens another account of the same home.
  void UseDatabase(const std::string& account) override;
  // The account name as given to Connect or UseDatabase; empty when not open.
  std::string CurrentDatabase() const override;

  // Runs exactly one statement (several in one text are refused). Returns the rows an
  // INSERT, UPDATE or DELETE matched, counting rows it set to the values they had; 0 for
  // any other statement.
  std::int64_t Execute(std::string_view sql, std::span<const DbValue> params = {}) override;
  // Integers come back as plain decimals, reals in SQLite's decimal form, blobs as their
  // bytes, NULL as nullopt.
  std::unique_ptr<Cursor> Query(std::string_view sql,
                                std::span<const DbValue> params = {}) override;
  // On the main connection, read whole at once.
  std::unique_ptr<Cursor> Lookup(std::string_view sql,
                                 std::span<const DbValue> params = {}) override;

  // Tables ("TABLE") and views ("VIEW") in the order they were created; SQLite's own
  // sqlite_* tables are left out.
  std::vector<TableInfo> ListTables() override;
  // Column names and declared types in table order; a table or view that does not exist is
  // kNoSuchTable.
  std::vector<ColumnInfo> ListColumns(const std::string& table) override;

  // sqlite3_interrupt on every connection of the driver.
  void Interrupt() override;

  // <home>/JetMDB/<account>.db, made absolute. A bad account name, or the name of the locks
  // file that lies beside the accounts, is kBadName.
  static std::filesystem::path AccountFile(const std::string& home, const std::string& account);
  // Whether the account's file exists; false for a bad name.
  static bool AccountExists(const std::string& home, const std::string& account);
  // Creates JetMDB/ when needed and the account's empty database in write-ahead-log mode.
  // A bad name is kBadName and creates nothing; an account that already exists is
  // kErrorsInCommand ("Account "x" already exists") and is left untouched; a file system
  // failure is kUnspecified.
  static void CreateAccount(const std::string& home, const std::string& account);

 private:
  using ConnectionPtr = std::shared_ptr<sqlite_detail::Connection>;

  void RequireOpen() const;
  static ConnectionPtr OpenAccount(const std::string& home, const std::string& account);
  static ConnectionPtr OpenFile(const std::filesystem::path& file, const std::string& account,
                                bool set_wal);
  // A reading connection with no cursor open on it, opened when every one is busy.
  ConnectionPtr IdleReader();
  // Whether the main connection holds TEMP tables or views.
  bool MainHasTemp();
  // What the statements of a user must keep out of, while the guard is up.
  std::optional<sqlite_detail::StatementGuard> Guard();

  std::string home_;
  std::string account_;
  // Written on the owning thread only, and under the lock, so Interrupt may read them from
  // another thread.
  mutable std::mutex handlesMutex_;
  ConnectionPtr main_;
  std::vector<ConnectionPtr> readers_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_SQLITE_SQLITE_DRIVER_H_
