// Writers of one database file in this process take turns here before they ask SQLite for its
// write lock, and keep their turn for as long as they hold that lock: to the end of the
// statement, or of the transaction it opened.
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
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

namespace orvik::sqlite_detail {

class WriteTurns {
 public:
  // The turns of the database file `file`: the same object for every connection of this
  // process to that file, however it was named. nullptr when the file cannot be looked at.
  static std::shared_ptr<WriteTurns> Of(const std::filesystem::path& file);

  // Waits until it is the caller's turn, or until `deadline`; false when the turn did not come
  // by then. A thread that holds the turn already has it again at once: a session whose
  // account and system connections reach one file never waits for itself. Every turn taken is
  // given back with Give, from any thread.
  bool Take(std::chrono::steady_clock::time_point deadline);
  void Give();

 private:
  std::mutex mutex_;
  std::condition_variable freed_;
  int holds_ = 0;
  std::thread::id holder_;
};

// A statement's turn, for as long as this lives: taken when the statement writes outside a
// transaction, and only on a connection that has turns. A turn that did not come within
// `limit` leaves held() false: the caller reports the file busy at once rather than wait as
// long again for SQLite's lock.
class WriteTurn {
 public:
  WriteTurn(WriteTurns* turns, sqlite3_stmt* stmt, std::chrono::steady_clock::duration limit);
  ~WriteTurn();
  WriteTurn(const WriteTurn&) = delete;
  WriteTurn& operator=(const WriteTurn&) = delete;

  // False only when a turn was wanted and did not come.
  bool held() const { return !missed_; }

 private:
  WriteTurns* held_ = nullptr;
  bool missed_ = false;
};

}  // namespace orvik::sqlite_detail

#endif  // ORVIK_ENGINE_DATASTORE_SQLITE_WRITE_TURNS_H_
