#include "user_registry.h"

#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "driver.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

// The start time of a process in clock ticks since boot: with the pid it names one process
// for good, since a pid is reused only by a later process.
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
  }
  return std::stoll(field);
}

bool ProcessRuns(pid_t pid, std::int64_t start) {
  if (::kill(pid, 0) != 0 && errno == ESRCH) return false;
  return ProcessStart(pid) == start;
}

struct StatementDeleter {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

}  // namespace

UserRegistry::UserRegistry(const std::string& home) {
  const std::string path = home + "/registry.db";
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw VbError(dberr::kUnspecified, "Cannot open the user registry " + path + ": " + why);
  }
  sqlite3_busy_timeout(db_, 5000);
  Exec("PRAGMA journal_mode=WAL");
  // The list of sessions logged in now dies with the machine anyway: a status line need not
  // wait for the disk (a crashed process loses nothing; a power cut only the last lines).
  Exec("PRAGMA synchronous=NORMAL");
  // AUTOINCREMENT: a number once given is never given again, even after its line is gone.
  Exec(
      "CREATE TABLE IF NOT EXISTS lines (number INTEGER PRIMARY KEY AUTOINCREMENT, "
      "line TEXT NOT NULL, pid INTEGER NOT NULL, started INTEGER NOT NULL)");
}

UserRegistry::~UserRegistry() { sqlite3_close(db_); }

void UserRegistry::Exec(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string why = message ? message : "unknown error";
    sqlite3_free(message);
    throw VbError(dberr::kErrorsInCommand, "User registry: " + why);
  }
}

std::int32_t UserRegistry::RegisterLine(const std::string& line) {
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db_, "INSERT INTO lines (line, pid, started) VALUES (?, ?, ?)", -1, &raw,
                     nullptr);
  Statement s(raw);
  const std::string text = Latin1ToUtf8(line);
  const pid_t pid = ::getpid();
  sqlite3_bind_text(s.get(), 1, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  sqlite3_bind_int64(s.get(), 2, pid);
  sqlite3_bind_int64(s.get(), 3, ProcessStart(pid));
  if (sqlite3_step(s.get()) != SQLITE_DONE) {
    throw VbError(dberr::kErrorsInCommand, std::string("User registry: ") + sqlite3_errmsg(db_));
  }
  return static_cast<std::int32_t>(sqlite3_last_insert_rowid(db_));
}

void UserRegistry::UpdateLine(std::int32_t number, const std::string& line) {
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db_, "UPDATE lines SET line = ? WHERE number = ?", -1, &raw, nullptr);
  Statement s(raw);
  const std::string text = Latin1ToUtf8(line);
  sqlite3_bind_text(s.get(), 1, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  sqlite3_bind_int64(s.get(), 2, number);
  if (sqlite3_step(s.get()) != SQLITE_DONE) {
    throw VbError(dberr::kErrorsInCommand, std::string("User registry: ") + sqlite3_errmsg(db_));
  }
}

std::string UserRegistry::ListLines() {
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db_, "SELECT line FROM lines ORDER BY number", -1, &raw, nullptr);
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
  if (rc != SQLITE_DONE) {
    throw VbError(dberr::kErrorsInCommand, std::string("User registry: ") + sqlite3_errmsg(db_));
  }
  return out;
}

void UserRegistry::RemoveLine(std::int32_t number) {
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db_, "DELETE FROM lines WHERE number = ?", -1, &raw, nullptr);
  Statement s(raw);
  sqlite3_bind_int64(s.get(), 1, number);
  sqlite3_step(s.get());
}

void UserRegistry::PruneDead() {
  std::vector<std::int32_t> dead;
  {
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(db_, "SELECT number, pid, started FROM lines", -1, &raw, nullptr);
    Statement s(raw);
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
      const auto pid = static_cast<pid_t>(sqlite3_column_int64(s.get(), 1));
      if (!ProcessRuns(pid, sqlite3_column_int64(s.get(), 2)))
        dead.push_back(static_cast<std::int32_t>(sqlite3_column_int64(s.get(), 0)));
    }
  }
  for (std::int32_t n : dead) RemoveLine(n);
}

}  // namespace orvik
