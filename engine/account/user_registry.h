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
// One object per port, used on the port's thread; all objects of a home share the lines
// through registry.db. Failures are thrown as VbError.

#ifndef ORVIK_ENGINE_DATASTORE_USER_REGISTRY_H_
#define ORVIK_ENGINE_DATASTORE_USER_REGISTRY_H_

#include <cstdint>
#include <memory>
#include <string>

#include "vb_error.h"

struct sqlite3;
struct sqlite3_stmt;

namespace orvik {

namespace sqlite_detail {
class WriteTurns;
}  // namespace sqlite_detail

class UserRegistry {
 public:
  // Opens (and on first use creates) registry.db in `home`. Throws VbError on failure.
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
  void Exec(const char* sql);
  // Steps a statement that writes, in its turn among the sessions of this process.
  int StepWrite(sqlite3_stmt* stmt);
  // What a failed step `rc` says, for the caller.
  VbError Failure(int rc) const;
  // Adds a text column that registries made before it lack.
  void AddColumn(const char* name);
  sqlite3* db_ = nullptr;
  std::shared_ptr<sqlite_detail::WriteTurns> turns_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_USER_REGISTRY_H_
