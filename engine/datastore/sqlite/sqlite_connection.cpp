#include "sqlite_connection.h"

#include <charconv>
#include <climits>
#include <optional>
#include <random>
#include <thread>
#include <utility>

#include "layout.h"
#include "sqlite_driver.h"
#include "sqlite_locks_file.h"
#include "system_tables.h"
#include "text.h"

namespace orvik::sqlite_detail {

namespace {

// Whether nothing but blanks, comments and empty statements follow the first statement.
// Running only the first of several would drop the rest without a word, and a caller that
// pasted text into its statement must not get a second one run.
bool OnlyBlanksFollow(sqlite3* db, const char* tail, const char* end) {
  while (tail < end) {
    sqlite3_stmt* extra = nullptr;
    const char* next = nullptr;
    const int rc = sqlite3_prepare_v3(db, tail, static_cast<int>(end - tail), 0, &extra, &next);
    if (extra != nullptr) {
      sqlite3_finalize(extra);
      return false;
    }
    if (rc != SQLITE_OK || next == nullptr || next <= tail) return false;
    tail = next;
  }
  return true;
}

[[noreturn]] void ThrowOutOfMemory() { throw VbError(vberr::kOutOfMemory); }

// By default SQLite counts every allocation of the process under one mutex: the sessions of a
// console, a thread each, would all queue there for every statement they compile or run, and
// every connection they open. Nothing reads the counts. Set as the library loads, before
// SQLite is first used, when the setting can still be changed.
[[maybe_unused]] const int kNoAllocationCounts = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);

using Clock = std::chrono::steady_clock;

// The largest log file (bytes) kept after the log has been written back into the database.
constexpr int kJournalSizeLimit = 4 * 1024 * 1024;

bool IsBusy(int rc) { return (rc & 0xFF) == SQLITE_BUSY; }

// A pause of random length, longer the longer the wait has lasted: waiting processes then
// take turns instead of waking together, and none sleeps long past the moment it could go.
void PauseWhileBusy(Clock::duration waited) {
  thread_local std::minstd_rand random(std::random_device{}());
  const auto waitedUs = std::chrono::duration_cast<std::chrono::microseconds>(waited).count();
  const long upper = std::min<long>(10000, 1000 + static_cast<long>(waitedUs / 50));
  std::this_thread::sleep_for(
      std::chrono::microseconds(100 + static_cast<long>(random() % static_cast<unsigned>(upper))));
}

// One character of UTF-8 text made from Latin-1; a byte that starts no valid sequence stands
// for itself.
unsigned NextCodePoint(const unsigned char*& p, const unsigned char* end) {
  const unsigned c = *p++;
  if (c < 0x80) return c;
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
  if (extra == 0 || end - p < extra) return c;
  unsigned cp = c & (0x3F >> extra);
  for (int i = 0; i < extra; ++i) {
    if ((p[i] & 0xC0) != 0x80) return c;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  p += extra;
  return cp;
}

// The collation keys had before (kFormerKeyCollation): the engine's case folding of Latin-1
// letters, every other character as it is, so that accents and the marks 252-254 always
// count.
int CompareKeys(void*, int lengthA, const void* a, int lengthB, const void* b) {
  const auto* pa = static_cast<const unsigned char*>(a);
  const auto* pb = static_cast<const unsigned char*>(b);
  const unsigned char* endA = pa + lengthA;
  const unsigned char* endB = pb + lengthB;
  const auto fold = [](unsigned cp) {
    return cp <= 0xFF ? static_cast<unsigned char>(UpperChar(static_cast<char>(cp))) : cp;
  };
  while (pa < endA && pb < endB) {
    unsigned ca = *pa, cb = *pb;
    if ((ca | cb) < 0x80) {
      // Both ASCII, as nearly every key is: a look-up compares a key a score of times, and
      // decoding each character costs more than the comparison.
      ++pa;
      ++pb;
      if (ca == cb) continue;
      if (ca - 'a' < 26) ca -= 'a' - 'A';
      if (cb - 'a' < 26) cb -= 'a' - 'A';
    } else {
      ca = fold(NextCodePoint(pa, endA));
      cb = fold(NextCodePoint(pb, endB));
    }
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (pa < endA) return 1;
  if (pb < endB) return -1;
  return 0;
}

bool Is(const char* name, std::string_view wanted) {
  return name != nullptr && EqualsNoCase(name, wanted);
}

bool Guarded(const StatementGuard& guard, const char* table) {
  return guard.systemAccount && table != nullptr && IsGuardedTable(table);
}

// Pragmas that only describe the schema; every other one may change the connection.
bool DescribesOnly(const char* pragma) {
  for (std::string_view name : {"table_info", "table_xinfo", "index_list", "index_info",
                                "index_xinfo", "foreign_key_list"}) {
    if (Is(pragma, name)) return true;
  }
  return false;
}

// SQLite's authorizer: called for every table, column and action a statement touches while
// it compiles, through views, subqueries and triggers too.
int Authorize(void* data, int action, const char* a, const char* b, const char* database,
              const char*) {
  const auto& guard = *static_cast<const StatementGuard*>(data);
  // Whatever is in the locks file is the engine's: its boot mark emptied would free every
  // session's locks at the next connection.
  const bool locksFile = guard.systemAccount && Is(database, kLocksSchema);
  bool deny = false;
  switch (action) {
    case SQLITE_READ:  // a = table, b = column
      // Held print is each user's own; the password column is the administrator's.
      deny = guard.systemAccount &&
             (Is(a, "printhold") ||
              (Is(a, "users") && (Is(b, kPasswordColumn) || Is(b, guard.passwordColumn))));
      break;
    case SQLITE_INSERT:  // a = table
    case SQLITE_DELETE:
    case SQLITE_UPDATE:
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_TEMP_TABLE:
    case SQLITE_DROP_TABLE:
    case SQLITE_DROP_TEMP_TABLE:
    case SQLITE_CREATE_VIEW:  // a view of a guarded name would hide the table
    case SQLITE_CREATE_TEMP_VIEW:
    case SQLITE_CREATE_VTABLE:
      deny = Guarded(guard, a) || locksFile;
      break;
    case SQLITE_CREATE_INDEX:  // b = table
    case SQLITE_CREATE_TEMP_INDEX:
    case SQLITE_DROP_INDEX:
    case SQLITE_DROP_TEMP_INDEX:
    case SQLITE_DROP_TRIGGER:
    case SQLITE_DROP_TEMP_TRIGGER:
      deny = Guarded(guard, b) || locksFile;
      break;
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_CREATE_TEMP_TRIGGER:
      // A trigger's body is checked when it fires, not when it is made: it would run later
      // as whoever writes the table, the engine and the administrator included.
      deny = true;
      break;
    case SQLITE_ALTER_TABLE:  // a = schema, b = table
      // A TEMP table renamed after a guarded one would stand in its place on this
      // connection, where the engine keeps its own locks. The new name is not shown here: in
      // the system account a table renamed "locks" would hide the locks file's table.
      deny = Guarded(guard, b) || Is(a, "temp") || Is(a, kLocksSchema) || guard.systemAccount;
      break;
    case SQLITE_ATTACH:  // another database file, the system account's among them
    case SQLITE_DETACH:
      deny = true;
      break;
    case SQLITE_PRAGMA:
      deny = !DescribesOnly(a);
      break;
    default:
      break;
  }
  return deny ? SQLITE_DENY : SQLITE_OK;
}

// Keeps the authorizer on `db` for as long as it lives.
class AuthorizerScope {
 public:
  AuthorizerScope(sqlite3* db, const StatementGuard& guard) : db_(db) {
    sqlite3_set_authorizer(db_, Authorize, const_cast<StatementGuard*>(&guard));
  }
  ~AuthorizerScope() { sqlite3_set_authorizer(db_, nullptr, nullptr); }
  AuthorizerScope(const AuthorizerScope&) = delete;
  AuthorizerScope& operator=(const AuthorizerScope&) = delete;

 private:
  sqlite3* db_;
};

// Connection-wide counters of the writing connection, answered on a reading one.
void WriterLastInsertRowid(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_int64(ctx,
                       sqlite3_last_insert_rowid(static_cast<sqlite3*>(sqlite3_user_data(ctx))));
}
void WriterChanges(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_int64(ctx, sqlite3_changes64(static_cast<sqlite3*>(sqlite3_user_data(ctx))));
}
void WriterTotalChanges(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_int64(ctx, sqlite3_total_changes64(static_cast<sqlite3*>(sqlite3_user_data(ctx))));
}

}  // namespace

VbError StatementError(sqlite3* db, int rc) {
  // A busy answer given before SQLite was asked (a write turn that did not come) has no
  // message on the handle.
  const bool own = db != nullptr && sqlite3_extended_errcode(db) == rc;
  std::string text = Utf8ToLatin1(own ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
  int number = dberr::kErrorsInCommand;
  if ((rc & 0xFF) == SQLITE_CONSTRAINT) {
    if (text == "CHECK constraint failed: " + std::string(kKeyLengthCheck)) return KeyTooLong();
    number = dberr::kIntegrity;
  } else if (IsBusy(rc)) {
    number = dberr::kConflict;
  } else if (text.starts_with("no such table") || text.starts_with("no such view")) {
    number = dberr::kNoSuchTable;
  }
  return VbError(number, std::move(text));
}

int AddKeyCollation(sqlite3* db) {
  return sqlite3_create_collation_v2(db, std::string(kFormerKeyCollation).c_str(), SQLITE_UTF8,
                                     nullptr, CompareKeys, nullptr);
}

int FirstStep(sqlite3_stmt* stmt) {
  const Clock::time_point start = Clock::now();
  sqlite3* db = sqlite3_db_handle(stmt);
  for (;;) {
    const int rc = sqlite3_step(stmt);
    if (!IsBusy(rc) || sqlite3_get_autocommit(db) == 0) return rc;
    const Clock::duration waited = Clock::now() - start;
    if (waited >= kBusyLimit) return rc;
    sqlite3_reset(stmt);  // the bindings stay
    PauseWhileBusy(waited);
  }
}

void BindParams(sqlite3_stmt* stmt, std::span<const DbValue> params) {
  const int expected = sqlite3_bind_parameter_count(stmt);
  if (params.size() != static_cast<std::size_t>(expected)) {
    throw VbError(dberr::kErrorsInCommand, "The statement has " + std::to_string(expected) +
                                               " parameters; " + std::to_string(params.size()) +
                                               " values were given");
  }
  for (int i = 0; i < expected; ++i) {
    const DbValue& value = params[static_cast<std::size_t>(i)];
    int rc;
    if (value) {
      const std::string utf8 = Latin1ToUtf8(*value);
      rc =
          sqlite3_bind_text64(stmt, i + 1, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    } else {
      rc = sqlite3_bind_null(stmt, i + 1);
    }
    if (rc != SQLITE_OK) throw StatementError(sqlite3_db_handle(stmt), rc);
  }
}

DbValue ColumnValue(sqlite3_stmt* stmt, int i) {
  switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL:
      return std::nullopt;
    case SQLITE_INTEGER: {
      char digits[24];
      const auto end = std::to_chars(digits, digits + sizeof digits, sqlite3_column_int64(stmt, i));
      return std::string(digits, end.ptr);
    }
    case SQLITE_BLOB: {
      const void* bytes = sqlite3_column_blob(stmt, i);
      const int size = sqlite3_column_bytes(stmt, i);
      if (bytes == nullptr) {
        if (size > 0 || sqlite3_errcode(sqlite3_db_handle(stmt)) == SQLITE_NOMEM) {
          ThrowOutOfMemory();
        }
        return std::string();
      }
      return std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size));
    }
    default: {  // text, and reals in SQLite's own decimal form
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
      const int size = sqlite3_column_bytes(stmt, i);
      if (text == nullptr) ThrowOutOfMemory();
      return Utf8ToLatin1(std::string_view(text, static_cast<std::size_t>(size)));
    }
  }
}

Lease::Lease(std::shared_ptr<Connection> conn, std::string sql, sqlite3_stmt* stmt)
    : conn_(std::move(conn)), sql_(std::move(sql)), stmt_(stmt) {}

Lease::Lease(Lease&& other) noexcept
    : conn_(std::move(other.conn_)),
      sql_(std::move(other.sql_)),
      stmt_(std::exchange(other.stmt_, nullptr)) {}

Lease& Lease::operator=(Lease&& other) noexcept {
  if (this != &other) {
    GiveBack();
    conn_ = std::move(other.conn_);
    sql_ = std::move(other.sql_);
    stmt_ = std::exchange(other.stmt_, nullptr);
  }
  return *this;
}

Lease::~Lease() { GiveBack(); }

sqlite3* Lease::db() const { return conn_->db(); }

int Lease::FirstStep() {
  if (!conn_->AwaitTurn(stmt_)) return SQLITE_BUSY;
  return sqlite_detail::FirstStep(stmt_);
}

void Lease::GiveBack() { Finish(); }

int Lease::Finish() {
  if (stmt_ == nullptr) return SQLITE_OK;
  const int rc = conn_->GiveBack(std::move(sql_), std::exchange(stmt_, nullptr));
  conn_.reset();
  return rc;
}

std::shared_ptr<Connection> Connection::Open(const std::filesystem::path& file, bool set_wal) {
  const std::string name = file.string();
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(name.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string text = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    throw VbError(dberr::kUnspecified, Utf8ToLatin1(text + ": " + name));
  }
  std::shared_ptr<Connection> conn(new Connection(db, WriteTurns::Of(file)));
  sqlite3_extended_result_codes(db, 1);
  // Other ports and processes write the same account; wait for them rather than fail.
  sqlite3_busy_handler(db, &Connection::WaitWhileBusy, conn.get());
  rc = AddKeyCollation(db);
  const std::string pragmas = std::string(set_wal ? "PRAGMA journal_mode=WAL; " : "") +
                              "PRAGMA journal_size_limit=" + std::to_string(kJournalSizeLimit) +
                              "; PRAGMA mmap_size=" + std::to_string(SqliteDriver::kMemoryMap);
  // Asked after the switch: a file system without shared memory keeps the file's old mode,
  // where SQLite must go on syncing each commit itself.
  const std::string logged = set_wal ? "; PRAGMA journal_mode" : "";
  std::string mode;
  const auto keepMode = [](void* out, int, char** values, char**) {
    if (values[0] != nullptr) *static_cast<std::string*>(out) = values[0];
    return 0;
  };
  const Clock::time_point start = Clock::now();
  while (rc == SQLITE_OK) {
    rc = sqlite3_exec(db, (pragmas + logged).c_str(), keepMode, &mode, nullptr);
    if (!IsBusy(rc) || Clock::now() - start >= kBusyLimit) break;
    PauseWhileBusy(Clock::now() - start);
  }
  // Without write turns no commit would pass through the shared sync.
  if (rc == SQLITE_OK && mode == "wal" && conn->turns_ != nullptr) {
    conn->syncs_ = LogSyncs::Of(file);
    if (conn->syncs_ != nullptr)
      rc = sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  }
  if (rc != SQLITE_OK) {
    throw VbError(dberr::kUnspecified, Utf8ToLatin1(std::string(sqlite3_errmsg(db)) + ": " + name));
  }
  return conn;
}

Connection::~Connection() {
  if (holdsTurn_) turns_->Give();
  for (const Idle& idle : idle_) sqlite3_finalize(idle.stmt);
  // Every leased statement holds this connection alive, so none is left; close_v2 would
  // still defer the close safely if one were.
  sqlite3_close_v2(db_);
}

Lease Connection::Prepare(std::string_view sql, const StatementGuard* guard) {
  for (auto it = idle_.rbegin(); guard == nullptr && it != idle_.rend(); ++it) {
    if (it->sql == sql) {
      Lease lease(shared_from_this(), std::move(it->sql), it->stmt);
      idle_.erase(std::next(it).base());
      ++leased_;
      return lease;
    }
  }
  // SQLite stops reading at a NUL: "DELETE FROM t\0 WHERE ..." would lose its WHERE.
  if (sql.find('\0') != std::string_view::npos) {
    throw VbError(dberr::kErrorsInCommand, "The statement text holds a NUL character");
  }
  const std::string utf8 = Latin1ToUtf8(sql);
  if (utf8.size() > static_cast<std::size_t>(INT_MAX)) {
    throw VbError(dberr::kErrorsInCommand, "The statement text is too long");
  }
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  {
    std::optional<AuthorizerScope> authorizer;
    if (guard != nullptr) authorizer.emplace(db_, *guard);
    // Reading the schema may meet a busy database too.
    const Clock::time_point start = Clock::now();
    int rc;
    while (IsBusy(rc = sqlite3_prepare_v3(db_, utf8.data(), static_cast<int>(utf8.size()),
                                          SQLITE_PREPARE_PERSISTENT, &stmt, &tail)) &&
           Clock::now() - start < kBusyLimit) {
      PauseWhileBusy(Clock::now() - start);
    }
    if ((rc & 0xFF) == SQLITE_AUTH && guard != nullptr)
      throw VbError(dberr::kSystemTables, std::string(kSystemTablesRefused));
    if (rc != SQLITE_OK) throw StatementError(db_, rc);
    if (stmt == nullptr) throw VbError(dberr::kErrorsInCommand, "The statement is empty");
    if (!OnlyBlanksFollow(db_, tail, utf8.data() + utf8.size())) {
      sqlite3_finalize(stmt);
      throw VbError(dberr::kErrorsInCommand, "Only one statement may be run at a time");
    }
  }
  ++leased_;
  return Lease(shared_from_this(), std::string(sql), stmt);
}

bool Connection::AwaitTurn(sqlite3_stmt* stmt) {
  if (holdsTurn_ || turns_ == nullptr || sqlite3_stmt_readonly(stmt)) return true;
  holdsTurn_ = turns_->Take(Clock::now() + kBusyLimit);
  if (holdsTurn_ && syncs_ != nullptr) versionAtTurn_ = DataVersion();
  return holdsTurn_;
}

unsigned Connection::DataVersion() const {
  unsigned version = 0;
  sqlite3_file_control(db_, "main", SQLITE_FCNTL_DATA_VERSION, &version);
  return version;
}

int Connection::GiveTurnWhenDone() {
  if (!holdsTurn_ || sqlite3_txn_state(db_, nullptr) == SQLITE_TXN_WRITE) return SQLITE_OK;
  holdsTurn_ = false;
  turns_->Give();
  // Only the main database's log is synced here: the locks file, attached beside it, is
  // not kept across a crash.
  if (syncs_ == nullptr || DataVersion() == versionAtTurn_) return SQLITE_OK;
  return syncs_->Sync(db_);
}

int Connection::GiveBack(std::string sql, sqlite3_stmt* stmt) {
  --leased_;
  sqlite3_reset(stmt);
  const int synced = GiveTurnWhenDone();
  sqlite3_clear_bindings(stmt);
  idle_.push_back({std::move(sql), stmt});
  if (idle_.size() > kCacheSize) {
    sqlite3_finalize(idle_.front().stmt);
    idle_.erase(idle_.begin());
  }
  return synced;
}

int Connection::WaitWhileBusy(void* self, int count) {
  auto* conn = static_cast<Connection*>(self);
  const Clock::time_point now = Clock::now();
  if (count == 0) conn->busySince_ = now;
  if (now - conn->busySince_ >= kBusyLimit) return 0;
  PauseWhileBusy(now - conn->busySince_);
  return 1;
}

void Connection::AnswerFor(std::shared_ptr<Connection> writer) {
  writer_ = std::move(writer);
  sqlite3* target = writer_->db();
  sqlite3_create_function_v2(db_, "last_insert_rowid", 0, SQLITE_UTF8, target,
                             WriterLastInsertRowid, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db_, "changes", 0, SQLITE_UTF8, target, WriterChanges, nullptr,
                             nullptr, nullptr);
  sqlite3_create_function_v2(db_, "total_changes", 0, SQLITE_UTF8, target, WriterTotalChanges,
                             nullptr, nullptr, nullptr);
}

}  // namespace orvik::sqlite_detail
