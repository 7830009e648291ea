// The benchmarks' engine homes and their hand-written counterparts.
//
// A BenchHome is an engine home set up on one datastore ("JET", or "MYSQL" on the private
// test server whose folder ORVIK_MARIADB_TEST_DIR names: `make bench` starts and stops it),
// with a port logged in and moved to an account of the benchmark's own, as a user would: by
// the set-up tool and the sentences a port runs. A HandStore reaches
// the same tables with the datastore's own client library and prepared statements, kept for
// the whole run: the plainest code that does the same work, in the same encoding, with the
// same durability. Everything runs on the benchmark's thread; failures throw.

#ifndef ORVIK_BENCH_BENCH_HOME_H_
#define ORVIK_BENCH_BENCH_HOME_H_

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "home.h"
#include "port.h"
#include "setup.h"

namespace orvik::bench {

class BenchHome {
 public:
  // `catalog` is made in the benchmark's own account (the entries' account is not used).
  explicit BenchHome(std::string dataStore, std::vector<CatalogEntry> catalog = {});
  ~BenchHome();
  BenchHome(const BenchHome&) = delete;
  BenchHome& operator=(const BenchHome&) = delete;

  // Whether the MariaDB cases can run (the test server's folder is known).
  static bool ServerKnown();

  const std::string& dataStore() const { return dataStore_; }
  const std::string& home() const { return home_; }
  const std::string& account() const { return account_; }
  const std::string& user() const { return user_; }
  static const char* password() { return "bench"; }
  Port& port() { return *port_; }
  // The opened home, which makes further ports.
  const orvik::Home& engine() const { return *engine_; }
  // "account.table": what programs hand to the item members.
  std::string FileVariable(const std::string& table) const { return account_ + "." + table; }
  // Makes the file `table` in the benchmark's account through the port (CREATE-FILE): with
  // `columns` attribute columns, or 0: one ITEM column for the whole item.
  void CreateFile(const std::string& table, int columns);
  // Runs `sentence` on the port; throws when it does not answer "OK".
  void Run(std::string sentence);

 private:
  std::string dataStore_;
  std::string home_;
  std::string account_;
  std::string user_;
  std::shared_ptr<orvik::Home> engine_;
  std::shared_ptr<Port> port_;
};

// One item's columns after the key.
using Columns = std::vector<std::string>;

// A file's table as the hand-written code names it: the table and its columns after A0.
struct Table {
  std::string name;
  Columns columns;
};

class HandStore {
 public:
  virtual ~HandStore() = default;
  static std::unique_ptr<HandStore> Open(const BenchHome& home);

  // Fills `table` with `count` items in one transaction: item k has id Id(k) (or id(k)),
  // columns make(k).
  virtual void Load(const Table& table, int count, const std::function<Columns(int)>& make,
                    const std::function<std::string(int)>& id = {}) = 0;
  // The item's columns after the key, joined by attribute marks ("" when there is none).
  virtual std::string Read(const Table& table, const std::string& id) = 0;
  // Replaces the item's columns (all of the table's) in one durable statement.
  virtual void Write(const Table& table, const std::string& id, const Columns& values) = 0;
  // The lock row of `key`: whose it is ("" when free), taken, dropped. Lock rows are written
  // without waiting for the disk where the datastore allows it per connection.
  virtual std::string LockHolder(const std::string& key) = 0;
  virtual void TakeLock(const std::string& key, const std::string& owner) = 0;
  virtual void DropLock(const std::string& key, const std::string& owner) = 0;
  // A write of an item nobody locked, with the statements the engine's own such write sends:
  // a look at the lock row `key`, then the write; where the engine takes the lock in the
  // write's own transaction (MariaDB), the lock row taken for `owner`, the item written and
  // the row dropped as one durable statement. False when another holds the lock. `turn`,
  // when given, is held around the write alone: writers of one process sharing a file take
  // turns, as the engine's sessions do.
  virtual bool PlainWrite(const Table& table, const std::string& id, const Columns& values,
                          const std::string& key, const std::string& owner,
                          std::mutex* turn = nullptr);
};

// The id of item k.
std::string Id(int k);
// The key of the lock row of item `id` of the file `fileVariable`, as the engine writes it.
std::string LockKey(const std::string& fileVariable, const std::string& id);

}  // namespace orvik::bench

#endif  // ORVIK_BENCH_BENCH_HOME_H_
