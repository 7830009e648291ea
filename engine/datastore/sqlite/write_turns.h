// Writers of one database file in this process take turns here, in the order they came, before
// they ask SQLite for its write lock.
//
// SQLite lets one connection write a file at a time, and a connection that finds the file being
// written can only give up and try again later: it never learns when the writer is done. Sessions
// of one process (the console holds all of its users') that all write would spend their time
// asleep, trying again at random, while the file stood free. Waiting here, a writer is woken the
// moment the one before it has finished. Writers of other processes still meet at SQLite's lock,
// and wait for each other as before (sqlite_connection.h); nothing here is needed for
// correctness, only for speed: SQLite's lock decides who writes.
//
// Thread-safe.

#ifndef ORVIK_ENGINE_DATASTORE_SQLITE_WRITE_TURNS_H_
#define ORVIK_ENGINE_DATASTORE_SQLITE_WRITE_TURNS_H_

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>

namespace orvik::sqlite_detail {

class WriteTurns {
 public:
  // The turns of the database file `file`: the same object for every connection of this
  // process to that file, however it was named. nullptr when the file cannot be looked at.
  static std::shared_ptr<WriteTurns> Of(const std::filesystem::path& file);

  // Waits until it is the caller's turn, or until `deadline`; false when the turn did not come
  // by then. Every turn taken is given back with Give.
  bool Take(std::chrono::steady_clock::time_point deadline);
  void Give();

 private:
  std::timed_mutex mutex_;
};

// A statement's turn, for as long as this lives: taken when the statement writes outside a
// transaction (a transaction has SQLite's lock already, or waits for it as a whole), and only
// on a connection that has turns. A turn that did not come within `limit` leaves the
// statement to SQLite's own wait, which reports the file busy in the end.
class WriteTurn {
 public:
  WriteTurn(WriteTurns* turns, sqlite3_stmt* stmt, std::chrono::steady_clock::duration limit);
  ~WriteTurn();
  WriteTurn(const WriteTurn&) = delete;
  WriteTurn& operator=(const WriteTurn&) = delete;

 private:
  WriteTurns* held_ = nullptr;
};

}  // namespace orvik::sqlite_detail

#endif  // ORVIK_ENGINE_DATASTORE_SQLITE_WRITE_TURNS_H_
