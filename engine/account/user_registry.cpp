#include "user_registry.h"

#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "driver.h"
#include "sqlite_connection.h"
#include "text.h"
#include "this_boot.h"
#include "vb_error.h"

namespace orvik {
namespace {

// The start time of a process in clock ticks since boot: with the pid it names one process
// for good, since a pid is reused only by a later process. -1 for a process that has ended,
// including one that has died but that its parent has not yet collected (a zombie).
std::int64_t ProcessStart(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(in, stat)) return -1;
  // The command name (field 2) may hold blanks; the fields after it start past its ')'.
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream rest(stat.substr(close + 2));
  std::string field;
  for (int i = 3; i <= 22; ++i) {
    if (!(rest >> field)) return -1;
    if (i == 3 && (field == "Z" || field == "X")) return -1;
  }
  return std::stoll(field);
}

bool ProcessRuns(pid_t pid, std::int64_t start) {
  if (::kill(pid, 0) != 0 && errno == ESRCH) return false;
  return ProcessStart(pid) == start;
}

std::string ThisHost() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

// Whether a line's process is gone for certain, from what the line recorded. Lines made
// before machines were recorded (no host) are judged as this machine's.
bool LineProcessGone(sqlite3_stmt* row, int first) {
  const auto text = [&](int i) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(row, first + i));
    return std::string(t ? t : "");
  };
  const std::string host = text(2), boot = text(3);
  static const std::string thisHost = ThisHost(), thisBoot = ThisBoot();
  if (!host.empty() && host != thisHost) return false;
  if (!boot.empty() && !thisBoot.empty() && boot != thisBoot) return true;
  return !ProcessRuns(static_cast<pid_t>(sqlite3_column_int64(row, first)),
                      sqlite3_column_int64(row, first + 1));
}

struct StatementDeleter {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

// Connections left idle beyond these are closed: a console keeps a few for its sessions'
// next calls, not one for every session that ever logged in at once.
constexpr std::size_t kIdleConnections = 4;

void Exec(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string why = message ? message : "unknown error";
    sqlite3_free(message);
    throw VbError(dberr::kErrorsInCommand, "User registry: " + why);
  }
}

// Adds a text column that registries made before it lack.
void AddColumn(sqlite3* db, const char* name) {
  {
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(db, "SELECT 1 FROM pragma_table_info('lines') WHERE name = ?", -1, &raw,
                       nullptr);
    Statement s(raw);
    sqlite3_bind_text(s.get(), 1, name, -1, SQLITE_STATIC);
    if (sqlite3_step(s.get()) == SQLITE_ROW) return;
  }
  // Another process may add it at the same moment: a column that is there is no failure.
  char* message = nullptr;
  const std::string sql = std::string("ALTER TABLE lines ADD COLUMN ") + name + " TEXT";
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string why = message ? message : "";
    sqlite3_free(message);
    if (why.find("duplicate column") == std::string::npos)
      throw VbError(dberr::kErrorsInCommand, "User registry: " + why);
  }
}

// What a failed step `rc` on `db` says, for the caller.
VbError Failure(sqlite3* db, int rc) {
  // A write whose turn did not come was never given to SQLite: the handle has no message.
  const bool own = sqlite3_extended_errcode(db) == rc;
  return VbError(dberr::kErrorsInCommand,
                 std::string("User registry: ") + (own ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
}

}  // namespace

UserRegistry::UserRegistry(const std::string& home) : path_(home + "/registry.db") {}

UserRegistry::~UserRegistry() {
  for (sqlite3* db : idle_) sqlite3_close(db);
}

sqlite3* UserRegistry::OpenConnection() {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    const std::string why = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw VbError(dberr::kUnspecified, "Cannot open the user registry " + path_ + ": " + why);
  }
  sqlite3_busy_timeout(db, 5000);
  try {
    // The list of sessions logged in now dies with the machine anyway: a status line need not
    // wait for the disk (a crashed process loses nothing; a power cut only the last lines).
    Exec(db, "PRAGMA synchronous=NORMAL");
  } catch (...) {
    sqlite3_close(db);
    throw;
  }
  return db;
}

void UserRegistry::MakeTable(sqlite3* db) {
  Exec(db, "PRAGMA journal_mode=WAL");
  // AUTOINCREMENT: a number once given is never given again, even after its line is gone.
  Exec(db,
       "CREATE TABLE IF NOT EXISTS lines (number INTEGER PRIMARY KEY AUTOINCREMENT, "
       "line TEXT NOT NULL, pid INTEGER NOT NULL, started INTEGER NOT NULL, host TEXT, "
       "boot TEXT)");
  AddColumn(db, "host");
  AddColumn(db, "boot");
}

UserRegistry::Borrowed UserRegistry::Borrow() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!idle_.empty()) {
      sqlite3* db = idle_.back();
      idle_.pop_back();
      return Borrowed(*this, db);
    }
  }
  sqlite3* db = OpenConnection();
  // Until the table has been made once, each new connection tries: one that failed (a disk
  // full for a moment) does not leave the registry unusable.
  bool made;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    made = tableMade_;
  }
  if (!made) {
    try {
      MakeTable(db);
    } catch (...) {
      sqlite3_close(db);
      throw;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    tableMade_ = true;
    // Fifty sessions logging in at once all add their lines: they wait for each other's end
    // rather than SQLite's sleeps of up to a tenth of a second.
    if (!turns_) turns_ = sqlite_detail::WriteTurns::Of(path_);
  }
  return Borrowed(*this, db);
}

void UserRegistry::GiveBack(sqlite3* db) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (idle_.size() < kIdleConnections) {
      idle_.push_back(db);
      return;
    }
  }
  sqlite3_close(db);
}

int UserRegistry::StepWrite(sqlite3_stmt* stmt) {
  sqlite_detail::WriteTurns* turns;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    turns = turns_.get();
  }
  const sqlite_detail::WriteTurn turn(turns, stmt, sqlite_detail::kBusyLimit);
  return turn.held() ? sqlite3_step(stmt) : SQLITE_BUSY;
}

std::int32_t UserRegistry::RegisterLine(const std::string& line) {
  const Borrowed db = Borrow();
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db.get(),
                     "INSERT INTO lines (line, pid, started, host, boot) VALUES (?, ?, ?, ?, ?)",
                     -1, &raw, nullptr);
  Statement s(raw);
  const std::string text = Latin1ToUtf8(line);
  const pid_t pid = ::getpid();
  const std::string host = ThisHost(), boot = ThisBoot();
  sqlite3_bind_text(s.get(), 1, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  sqlite3_bind_int64(s.get(), 2, pid);
  sqlite3_bind_int64(s.get(), 3, ProcessStart(pid));
  sqlite3_bind_text(s.get(), 4, host.c_str(), static_cast<int>(host.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(s.get(), 5, boot.c_str(), static_cast<int>(boot.size()), SQLITE_TRANSIENT);
  if (const int rc = StepWrite(s.get()); rc != SQLITE_DONE) throw Failure(db.get(), rc);
  return static_cast<std::int32_t>(sqlite3_last_insert_rowid(db.get()));
}

void UserRegistry::UpdateLine(std::int32_t number, const std::string& line) {
  const Borrowed db = Borrow();
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db.get(), "UPDATE lines SET line = ? WHERE number = ?", -1, &raw, nullptr);
  Statement s(raw);
  const std::string text = Latin1ToUtf8(line);
  sqlite3_bind_text(s.get(), 1, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  sqlite3_bind_int64(s.get(), 2, number);
  if (const int rc = StepWrite(s.get()); rc != SQLITE_DONE) throw Failure(db.get(), rc);
}

std::string UserRegistry::ListLines() {
  const Borrowed db = Borrow();
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db.get(), "SELECT line FROM lines ORDER BY number", -1, &raw, nullptr);
  Statement s(raw);
  std::string out;
  bool first = true;
  int rc;
  while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
    if (!first) out.push_back(kAttributeMark);
    first = false;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
    out += Utf8ToLatin1(text ? text : "");
  }
  if (rc != SQLITE_DONE) throw Failure(db.get(), rc);
  return out;
}

void UserRegistry::RemoveLine(std::int32_t number) {
  const Borrowed db = Borrow();
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db.get(), "DELETE FROM lines WHERE number = ?", -1, &raw, nullptr);
  Statement s(raw);
  sqlite3_bind_int64(s.get(), 1, number);
  StepWrite(s.get());
}

void UserRegistry::PruneDead() {
  // Each process is looked at once, however many sessions it holds (a console holds all of
  // its users'): a login costs one look per process, not one per line.
  const Borrowed db = Borrow();
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db.get(), "SELECT DISTINCT pid, started, host, boot FROM lines", -1, &raw,
                     nullptr);
  Statement processes(raw);
  raw = nullptr;
  sqlite3_prepare_v2(db.get(),
                     "DELETE FROM lines WHERE pid = ?1 AND started = ?2 AND host IS ?3 AND "
                     "boot IS ?4",
                     -1, &raw, nullptr);
  Statement remove(raw);
  // The deletes wait until the look-ups are done: the read must not see its own changes.
  struct Process {
    std::int64_t pid, started;
    std::optional<std::string> host, boot;
  };
  std::vector<Process> dead;
  const auto text = [&](int i) -> std::optional<std::string> {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(processes.get(), i));
    if (t == nullptr) return std::nullopt;
    return std::string(t);
  };
  while (sqlite3_step(processes.get()) == SQLITE_ROW) {
    if (LineProcessGone(processes.get(), 0))
      dead.push_back({sqlite3_column_int64(processes.get(), 0),
                      sqlite3_column_int64(processes.get(), 1), text(2), text(3)});
  }
  sqlite3_reset(processes.get());
  for (const Process& p : dead) {
    sqlite3_bind_int64(remove.get(), 1, p.pid);
    sqlite3_bind_int64(remove.get(), 2, p.started);
    const auto bind = [&](int i, const std::optional<std::string>& v) {
      if (v) {
        sqlite3_bind_text(remove.get(), i, v->data(), static_cast<int>(v->size()),
                          SQLITE_TRANSIENT);
      } else {
        sqlite3_bind_null(remove.get(), i);
      }
    };
    bind(3, p.host);
    bind(4, p.boot);
    StepWrite(remove.get());
    sqlite3_reset(remove.get());
  }
}

bool UserRegistry::LineGone(std::int32_t number) {
  const Borrowed db = Borrow();
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db.get(), "SELECT pid, started, host, boot FROM lines WHERE number = ?", -1,
                     &raw, nullptr);
  Statement s(raw);
  sqlite3_bind_int64(s.get(), 1, number);
  const int rc = sqlite3_step(s.get());
  if (rc == SQLITE_DONE) return true;
  if (rc != SQLITE_ROW) throw Failure(db.get(), rc);
  return LineProcessGone(s.get(), 0);
}

}  // namespace orvik
