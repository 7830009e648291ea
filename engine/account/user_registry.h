// The list of logged-in ports on the embedded datastore, shared by every process of the
// machine that uses the same engine home.
//
// Each logged-in port has one numbered line. Numbers are never used twice, so a port's number
// (part of its user instance, the owner of its item locks) can never be mistaken for an
// older session's. Lines go when their port ends; lines left by a process that died are
// pruned when the next port registers. A line records its process (pid and start time) and
// the machine and boot it ran in, so that whether it still runs is known for certain on
// this machine, and never guessed for another machine sharing the home.
//
// The home holds one object and hands it to every port it makes; ports call it from their own
// threads at once. Each call borrows a connection of its own to registry.db (SQLite's
// connections serve one thread at a time), opened the first time one is wanted: a home that
// never numbers a session by the registry (one on a server) never opens the file. Objects of
// other processes, and of other homes, share the lines through the file. Failures are thrown
// as VbError.

#ifndef ORVIK_ENGINE_DATASTORE_USER_REGISTRY_H_
#define ORVIK_ENGINE_DATASTORE_USER_REGISTRY_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace orvik {

namespace sqlite_detail {
class WriteTurns;
}  // namespace sqlite_detail

class UserRegistry {
 public:
  // The registry of `home`; registry.db is opened (and on first use created) when a call first
  // needs it.
  explicit UserRegistry(const std::string& home);
  ~UserRegistry();
  UserRegistry(const UserRegistry&) = delete;
  UserRegistry& operator=(const UserRegistry&) = delete;

  // Adds a line for this process and returns its number.
  std::int32_t RegisterLine(const std::string& line);
  void UpdateLine(std::int32_t number, const std::string& line);
  // Every current line, in number order, joined by character 254.
  std::string ListLines();
  void RemoveLine(std::int32_t number);
  // Removes the lines of processes that no longer run.
  void PruneDead();
  // Whether the session of line `number` is gone for certain: the line is not there (its port
  // ended, or its process died and the line was pruned), or its process, on this machine,
  // no longer runs. A line of another machine is never gone.
  bool LineGone(std::int32_t number);

 private:
  // A connection borrowed for one call, given back to the idle ones when the call ends.
  class Borrowed {
   public:
    Borrowed(UserRegistry& owner, sqlite3* db) : owner_(owner), db_(db) {}
    ~Borrowed() { owner_.GiveBack(db_); }
    Borrowed(const Borrowed&) = delete;
    Borrowed& operator=(const Borrowed&) = delete;
    sqlite3* get() const { return db_; }

   private:
    UserRegistry& owner_;
    sqlite3* db_;
  };
  // An idle connection, or a new one; the first one opened makes the table.
  Borrowed Borrow();
  void GiveBack(sqlite3* db);
  sqlite3* OpenConnection();
  // Makes the lines table, or brings one made by an older engine up to date.
  void MakeTable(sqlite3* db);
  // Steps a statement that writes, in its turn among the sessions of this process.
  int StepWrite(sqlite3_stmt* stmt);

  const std::string path_;
  std::shared_ptr<sqlite_detail::WriteTurns> turns_;
  std::mutex mutex_;
  std::vector<sqlite3*> idle_;
  bool tableMade_ = false;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_USER_REGISTRY_H_
