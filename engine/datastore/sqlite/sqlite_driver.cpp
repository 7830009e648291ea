#include "sqlite_driver.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <system_error>
#include <utility>

#include "layout.h"
#include "sqlite_connection.h"
#include "sqlite_locks_file.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {

namespace fs = std::filesystem;
using sqlite_detail::BindParams;
using sqlite_detail::ColumnValue;
using sqlite_detail::Connection;
using sqlite_detail::Lease;
using sqlite_detail::StatementError;

namespace {

// A query's rows. The first kReadAhead rows are read at once: a result that small is read
// whole and its statement given back before the caller sees a row, so a cursor the caller
// keeps (a catalog, a list a user pages through) holds no read open. SQLite keeps the log
// from being written back past an open read, so one left open lets the log grow for as long
// as others write. Larger results stream from there.
class SqliteCursor : public Cursor {
 public:
  static constexpr std::size_t kReadAhead = 256;

  explicit SqliteCursor(Lease lease) : lease_(std::move(lease)) {
    sqlite3_stmt* stmt = lease_.stmt();
    const int count = sqlite3_column_count(stmt);
    names_.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
      const char* name = sqlite3_column_name(stmt, i);
      if (name == nullptr) throw VbError(vberr::kOutOfMemory);
      names_.push_back(Utf8ToLatin1(name));
    }
    row_.assign(names_.size(), std::nullopt);
    // Moved, not copied: a row's values are strings of their own.
    for (bool first = true; ahead_.size() < kReadAhead && Step(first); first = false) {
      ahead_.push_back(std::exchange(row_, std::vector<DbValue>(names_.size())));
    }
  }

  const std::vector<std::string>& FieldNames() const override { return names_; }

  bool Next() override {
    if (!ahead_.empty()) {
      row_ = std::move(ahead_.front());
      ahead_.pop_front();
      return true;
    }
    if (Step(false)) return true;
    std::fill(row_.begin(), row_.end(), std::nullopt);
    return false;
  }

  const std::vector<DbValue>& Row() const override { return row_; }

 private:
  // Reads the next row into row_; false at the end.
  bool Step(bool first) {
    if (!lease_) return false;
    sqlite3_stmt* stmt = lease_.stmt();
    const int rc = first ? lease_.FirstStep() : sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
      for (std::size_t i = 0; i < row_.size(); ++i)
        row_[i] = ColumnValue(stmt, static_cast<int>(i));
      return true;
    }
    // Giving the statement back as soon as the rows end closes the read, whether or not the
    // caller keeps the cursor.
    if (rc == SQLITE_DONE) {
      if (const int synced = lease_.Finish(); synced != SQLITE_OK)
        throw StatementError(nullptr, synced);
      return false;
    }
    VbError error = StatementError(lease_.db(), rc);
    lease_.GiveBack();
    throw error;
  }

  Lease lease_;
  std::vector<std::string> names_;
  std::vector<DbValue> row_;
  std::deque<std::vector<DbValue>> ahead_;
};

// Whether the statement starts with SELECT, WITH or VALUES, after blanks, comments and
// opening parentheses. Only such statements may go to a reading connection, and then only
// when SQLite also finds them read-only (WITH may lead an UPDATE).
bool StartsAsQuery(std::string_view sql) {
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == '(') {
      ++i;
    } else if (sql.substr(i, 2) == "--") {
      i = sql.find('\n', i);
      if (i == std::string_view::npos) return false;
    } else if (sql.substr(i, 2) == "/*") {
      i = sql.find("*/", i + 2);
      if (i == std::string_view::npos) return false;
      i += 2;
    } else {
      break;
    }
  }
  std::size_t end = i;
  while (end < sql.size() && IsAsciiLetter(sql[end])) ++end;
  const std::string_view word = sql.substr(i, end - i);
  return EqualsNoCase(word, "SELECT") || EqualsNoCase(word, "WITH") || EqualsNoCase(word, "VALUES");
}

std::string Shown(const fs::path& path) { return Utf8ToLatin1(path.string()); }

}  // namespace

SqliteDriver::SqliteDriver() = default;
SqliteDriver::~SqliteDriver() = default;

fs::path SqliteDriver::AccountFile(const std::string& home, const std::string& account) {
  CheckAccountName(account);
  // Every session's item locks: as an account, any statement typed there would reach them.
  if (EqualsNoCase(account, sqlite_detail::kLocksFileStem))
    throw VbError(dberr::kBadName, "Invalid account name \"" + account + "\"");
  // Account names ignore case, as on the servers: "DM" and "dm" are one account.
  const fs::path file = fs::path(home) / "JetMDB" / (LowerCase(account) + ".db");
  std::error_code ec;
  fs::path absolute = fs::absolute(file, ec);
  // Never hand SQLite a relative name: one beginning "file:" would be read as a URI.
  if (ec) return fs::path(".") / file;
  return absolute;
}

bool SqliteDriver::AccountExists(const std::string& home, const std::string& account) {
  if (!IsValidAccountName(account) || EqualsNoCase(account, sqlite_detail::kLocksFileStem))
    return false;
  std::error_code ec;
  return fs::is_regular_file(AccountFile(home, account), ec);
}

void SqliteDriver::CreateAccount(const std::string& home, const std::string& account) {
  const fs::path file = AccountFile(home, account);
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  if (ec) {
    throw VbError(dberr::kUnspecified, "Cannot create the folder " + Shown(file.parent_path()) +
                                           ": " + Utf8ToLatin1(ec.message()));
  }
  // O_EXCL makes "already exists" exact even when two set-ups race, and never follows a
  // link planted in the account's place.
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    if (error == EEXIST) {
      throw VbError(dberr::kErrorsInCommand, "Account \"" + account + "\" already exists");
    }
    throw VbError(dberr::kUnspecified,
                  "Cannot create " + Shown(file) + ": " + Utf8ToLatin1(std::strerror(error)));
  }
  ::close(fd);
  try {
    Connection::Open(file, /*set_wal=*/true);
  } catch (...) {
    // A file left half made would pass for an account that exists.
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(file.string() + suffix, ec);
    throw;
  }
}

SqliteDriver::ConnectionPtr SqliteDriver::OpenAccount(const std::string& home,
                                                      const std::string& account) {
  const fs::path file = AccountFile(home, account);
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    throw VbError(dberr::kNoSuchDatabase, "Account \"" + account + "\" does not exist");
  }
  return OpenFile(file, account, /*set_wal=*/true);
}

SqliteDriver::ConnectionPtr SqliteDriver::OpenFile(const fs::path& file, const std::string& account,
                                                   bool set_wal) {
  ConnectionPtr conn = Connection::Open(file, set_wal);
  // The system account's connections reach the item locks, which live in a file of their own.
  if (EqualsNoCase(account, kSystemAccount))
    sqlite_detail::AttachLocksFile(conn->db(), file.parent_path());
  return conn;
}

void SqliteDriver::Connect(const ConnectParams& params) {
  ConnectionPtr conn = OpenAccount(params.home, params.account);
  home_ = params.home;
  account_ = params.account;
  std::lock_guard lock(handlesMutex_);
  main_ = std::move(conn);
  readers_.clear();
}

bool SqliteDriver::IsOpen() const { return main_ != nullptr; }

void SqliteDriver::Close() {
  main_.reset();
  readers_.clear();
  account_.clear();
}

void SqliteDriver::UseDatabase(const std::string& account) {
  RequireOpen();
  ConnectionPtr conn = OpenAccount(home_, account);
  account_ = account;
  std::lock_guard lock(handlesMutex_);
  main_ = std::move(conn);
  readers_.clear();
}

void SqliteDriver::Interrupt() {
  std::lock_guard lock(handlesMutex_);
  if (main_) sqlite3_interrupt(main_->db());
  for (const ConnectionPtr& reader : readers_) sqlite3_interrupt(reader->db());
}

std::string SqliteDriver::CurrentDatabase() const { return main_ ? account_ : std::string(); }

void SqliteDriver::RequireOpen() const {
  if (!main_) throw VbError(dberr::kUnspecified, "The datastore connection is not open");
}

SqliteDriver::ConnectionPtr SqliteDriver::IdleReader() {
  for (const ConnectionPtr& reader : readers_) {
    if (!reader->busy()) return reader;
  }
  ConnectionPtr reader = OpenFile(AccountFile(home_, account_), account_, /*set_wal=*/false);
  reader->AnswerFor(main_);
  std::lock_guard lock(handlesMutex_);
  readers_.push_back(reader);
  return reader;
}

bool SqliteDriver::MainHasTemp() {
  Lease lease = main_->Prepare("SELECT 1 FROM temp.sqlite_master LIMIT 1");
  const int rc = lease.FirstStep();
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) throw StatementError(lease.db(), rc);
  return rc == SQLITE_ROW;
}

std::optional<sqlite_detail::StatementGuard> SqliteDriver::Guard() {
  if (!SystemTablesGuard()) return std::nullopt;
  sqlite_detail::StatementGuard guard;
  guard.systemAccount = EqualsNoCase(account_, kSystemAccount);
  if (guard.systemAccount) {
    // The password is the users table's eighth column, whatever its name.
    Lease lease = main_->Prepare("SELECT name FROM pragma_table_info('users') WHERE cid = 7");
    if (sqlite3_step(lease.stmt()) == SQLITE_ROW)
      guard.passwordColumn = ColumnValue(lease.stmt(), 0).value_or(guard.passwordColumn);
  }
  return guard;
}

std::int64_t SqliteDriver::Execute(std::string_view sql, std::span<const DbValue> params) {
  RequireOpen();
  const auto guard = Guard();
  Lease lease = main_->Prepare(sql, guard ? &*guard : nullptr);
  BindParams(lease.stmt(), params);
  sqlite3* db = main_->db();
  // sqlite3_changes64 keeps the count of the last INSERT, UPDATE or DELETE through any other
  // statement; only a statement that moved the running total has a count of its own.
  const std::int64_t before = sqlite3_total_changes64(db);
  int rc = lease.FirstStep();
  while (rc == SQLITE_ROW) rc = sqlite3_step(lease.stmt());
  if (rc != SQLITE_DONE) throw StatementError(db, rc);
  const std::int64_t count = sqlite3_total_changes64(db) != before ? sqlite3_changes64(db) : 0;
  // The write is answered only once it is on the disk.
  if (const int synced = lease.Finish(); synced != SQLITE_OK) throw StatementError(nullptr, synced);
  return count;
}

std::unique_ptr<Cursor> SqliteDriver::Query(std::string_view sql, std::span<const DbValue> params) {
  RequireOpen();
  const auto guard = Guard();
  const sqlite_detail::StatementGuard* rules = guard ? &*guard : nullptr;
  Lease lease;
  // Inside a transaction only the main connection sees the transaction's own changes, and
  // only it has the TEMP tables (which may hide a main table of the same name).
  if (sqlite3_get_autocommit(main_->db()) != 0 && StartsAsQuery(sql) && !MainHasTemp()) {
    try {
      lease = IdleReader()->Prepare(sql, rules);
      if (!sqlite3_stmt_readonly(lease.stmt())) lease = Lease();
    } catch (const VbError&) {
      // A fault in the statement is reported from the main connection, as when it runs there.
      lease = Lease();
    }
  }
  if (!lease) lease = main_->Prepare(sql, rules);
  BindParams(lease.stmt(), params);
  return std::make_unique<SqliteCursor>(std::move(lease));
}

std::unique_ptr<Cursor> SqliteDriver::Lookup(std::string_view sql,
                                             std::span<const DbValue> params) {
  RequireOpen();
  const auto guard = Guard();
  // A look-up reads its row or few at once and leaves nothing open, so it runs where the
  // writes run: a reading connection finds its snapshot stale after every write of the main
  // one and reads its pages again.
  Lease lease = main_->Prepare(sql, guard ? &*guard : nullptr);
  BindParams(lease.stmt(), params);
  return std::make_unique<SqliteCursor>(std::move(lease));
}

std::vector<TableInfo> SqliteDriver::ListTables() {
  RequireOpen();
  Lease lease = main_->Prepare(
      "SELECT name, type FROM sqlite_master WHERE type IN ('table', 'view') "
      "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid");
  std::vector<TableInfo> tables;
  for (int rc = lease.FirstStep();; rc = sqlite3_step(lease.stmt())) {
    if (rc != SQLITE_ROW) {
      if (rc != SQLITE_DONE) throw StatementError(lease.db(), rc);
      break;
    }
    const DbValue name = ColumnValue(lease.stmt(), 0);
    const DbValue type = ColumnValue(lease.stmt(), 1);
    tables.push_back({name.value_or(""), type == "view" ? "VIEW" : "TABLE"});
  }
  return tables;
}

std::vector<ColumnInfo> SqliteDriver::ListColumns(const std::string& table) {
  RequireOpen();
  // Bound, not pasted: any name is safe, including ones only other tools could create.
  Lease lease = main_->Prepare("SELECT name, type FROM pragma_table_info(?)");
  const DbValue param[] = {table};
  BindParams(lease.stmt(), param);
  std::vector<ColumnInfo> columns;
  for (int rc = lease.FirstStep();; rc = sqlite3_step(lease.stmt())) {
    if (rc != SQLITE_ROW) {
      if (rc != SQLITE_DONE) throw StatementError(lease.db(), rc);
      break;
    }
    columns.push_back(
        {ColumnValue(lease.stmt(), 0).value_or(""), ColumnValue(lease.stmt(), 1).value_or("")});
  }
  if (columns.empty()) throw VbError(dberr::kNoSuchTable, "no such table: " + table);
  return columns;
}

}  // namespace orvik
