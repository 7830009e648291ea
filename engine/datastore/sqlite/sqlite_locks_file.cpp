#include "sqlite_locks_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "dialect_kinds.h"
#include "layout.h"
#include "sqlite_connection.h"
#include "text.h"
#include "this_boot.h"
#include "vb_error.h"

namespace orvik::sqlite_detail {
namespace {

namespace fs = std::filesystem;

// Holds an exclusive lock of the file system on `file` (made when missing) while it lives.
class TurnTaken {
 public:
  explicit TurnTaken(const fs::path& file)
      : fd_(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666)) {
    if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0) {
      throw VbError(dberr::kUnspecified, "Cannot lock " + Utf8ToLatin1(file.string()));
    }
  }
  ~TurnTaken() { ::close(fd_); }
  TurnTaken(const TurnTaken&) = delete;
  TurnTaken& operator=(const TurnTaken&) = delete;

 private:
  int fd_;
};

void Run(sqlite3* db, const std::string& sql, const std::string& param = {}) {
  sqlite3_stmt* stmt = nullptr;
  const char* tail = sql.c_str();
  // Statement by statement, so that one parameter can serve the one that names it.
  while (*tail != '\0') {
    int rc = sqlite3_prepare_v2(db, tail, -1, &stmt, &tail);
    if (rc != SQLITE_OK) throw StatementError(db, rc);
    if (stmt == nullptr) break;
    if (sqlite3_bind_parameter_count(stmt) == 1)
      sqlite3_bind_text(stmt, 1, param.data(), static_cast<int>(param.size()), SQLITE_TRANSIENT);
    rc = FirstStep(stmt);
    while (rc == SQLITE_ROW) rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE) {
      const VbError error = StatementError(db, rc);
      sqlite3_finalize(stmt);
      throw error;
    }
    sqlite3_finalize(stmt);
  }
}

std::string One(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
  if (rc != SQLITE_OK) throw StatementError(db, rc);
  rc = FirstStep(stmt);
  std::string out;
  if (rc == SQLITE_ROW) {
    out = ColumnValue(stmt, 0).value_or("");
  } else if (rc != SQLITE_DONE) {
    const VbError error = StatementError(db, rc);
    sqlite3_finalize(stmt);
    throw error;
  }
  sqlite3_finalize(stmt);
  return out;
}

// How the attached file's locks table was made: empty where it has none.
std::string MadeLocksTable(sqlite3* db) {
  return One(db, "SELECT sql FROM lk.sqlite_master WHERE type = 'table' AND name = 'locks'");
}

// Whether the table was made by an engine of before, with a collation other tools lack.
bool MadeWithFormerCollation(const std::string& made) {
  return FindNoCase(made, kFormerKeyCollation) != std::string::npos;
}

// Whether the system account still holds a locks table of its own, from a home made before
// the locks had a file of their own.
bool LocksInAccount(sqlite3* db) {
  return !One(db, "SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND name = 'locks'")
              .empty();
}

// Attaches the file and makes its tables; returns the boot it was last used in.
std::string Attach(sqlite3* db, const fs::path& file) {
  // An attached file opens as the account's did, which never creates one; an empty file is
  // an empty database. Only a missing file is touched here: closing a descriptor of a file
  // would drop every lock this process's connections hold on it.
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(file, ec))) {
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST)
      throw VbError(dberr::kUnspecified, "Cannot make " + Utf8ToLatin1(file.string()));
    if (fd >= 0) ::close(fd);
  }
  Run(db, "ATTACH DATABASE ? AS lk", file.string());
  // Small pages (in a file made now): taking or freeing a lock writes one page to the log.
  Run(db,
      "PRAGMA lk.page_size=512; PRAGMA lk.journal_mode=WAL; PRAGMA lk.synchronous=OFF; "
      "CREATE TABLE IF NOT EXISTS lk.boot (id TEXT)");
  // Only one connection at a time gets here (the turn), so the look and the make cannot race.
  const std::string made = MadeLocksTable(db);
  if (made.empty()) {
    Run(db, EmbeddedStoreDialect().LocksTableSql("lk.locks"));
  } else if (MadeWithFormerCollation(made)) {
    // Made again, its rows (this boot's locks) kept. A table's rows are ordered by its key,
    // so the key's collation cannot be changed in place.
    Run(db, "BEGIN IMMEDIATE; " + EmbeddedStoreDialect().LocksTableSql("lk.locks_new") +
                "; INSERT INTO lk.locks_new (A0, UserInst) SELECT A0, UserInst FROM lk.locks; "
                "DROP TABLE lk.locks; ALTER TABLE lk.locks_new RENAME TO locks; COMMIT");
  }
  return One(db, "SELECT id FROM lk.boot");
}

// Attaches the file when it is ready for use in this boot, as nearly every connection finds
// it: started afresh in this boot, its tables there as this engine makes them, no older
// home's locks left to move. Nothing is changed, so no turn is needed; false, with nothing
// attached, otherwise.
bool AttachReady(sqlite3* db, const fs::path& file, const std::string& boot) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(file, ec))) return false;
  try {
    Run(db, "ATTACH DATABASE ? AS lk", file.string());
    Run(db, "PRAGMA lk.synchronous=OFF");
    const std::string made = MadeLocksTable(db);
    if (One(db, "PRAGMA lk.journal_mode") == "wal" && One(db, "SELECT id FROM lk.boot") == boot &&
        !made.empty() && !MadeWithFormerCollation(made) && !LocksInAccount(db))
      return true;
  } catch (const VbError&) {
    // Damaged, missing a table, or busy: the turn below sorts it out.
  }
  sqlite3_exec(db, "DETACH DATABASE lk", nullptr, nullptr, nullptr);
  return false;
}

}  // namespace

void AttachLocksFile(sqlite3* db, const fs::path& folder) {
  const fs::path file = folder / (std::string(kLocksFileStem) + ".db");
  const std::string boot = ThisBoot();
  // Logins that come together would otherwise take the turn one after the other.
  if (AttachReady(db, file, boot)) return;
  const TurnTaken turn(file.string() + ".turn");
  std::string lastBoot;
  try {
    lastBoot = Attach(db, file);
  } catch (const VbError&) {
    // Damaged by a crash of the machine: nobody of this boot has used it yet (the first of
    // them would have found it so and made it anew), so it can go. Any other failure (a
    // busy file, a full disk) is the caller's: the file may be in use.
    const int code = sqlite3_errcode(db);
    if (code != SQLITE_CORRUPT && code != SQLITE_NOTADB) throw;
    sqlite3_exec(db, "DETACH DATABASE lk", nullptr, nullptr, nullptr);
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(file.string() + suffix, ec);
    lastBoot = Attach(db, file);
  }
  try {
    if (lastBoot != boot) {
      // Emptied in place, never removed: a file open elsewhere must stay the one in use.
      Run(db,
          "BEGIN IMMEDIATE; DELETE FROM lk.locks; DELETE FROM lk.boot; "
          "INSERT INTO lk.boot (id) VALUES (?); COMMIT",
          boot);
    }
    // A home made before the locks had a file of their own keeps them in the system
    // account: those rows move, and the table goes, so that "locks" names the file's table.
    if (LocksInAccount(db)) {
      Run(db,
          "BEGIN IMMEDIATE; INSERT OR IGNORE INTO lk.locks (A0, UserInst) SELECT A0, "
          "UserInst FROM main.locks; DROP TABLE main.locks; COMMIT");
    }
  } catch (...) {
    if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

}  // namespace orvik::sqlite_detail
