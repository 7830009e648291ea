// The MariaDB/MySQL datastore, over MariaDB Connector/C.
//
// Accounts are databases named in lower case, so that a server that tells names apart by
// their case (lower_case_table_names=0) finds the same database as one that does not; the
// engine names tables the same way (Dialect::StatementName in dialect.h).
//
// The connection speaks latin1, so the system's bytes reach the server's latin1 columns
// unchanged (and are converted by the server for columns of other character sets), and
// runs without strict mode. Rows of a query come through a read-only server-side cursor a
// few hundred at a time, so a cursor may stay open while other statements run on the same
// connection; a look-up (Lookup) reads its rows whole with the answer instead, and one without
// parameters is prepared in the same exchange as it runs (MariaDB only). Statements
// with parameters run by Execute and Lookup stay prepared on the connection for their next
// run (up to 16 of them, the least used dropped first; all of them when the server's limit
// on prepared statements is reached).

#ifndef ORVIK_ENGINE_DATASTORE_MARIADB_MARIADB_DRIVER_H_
#define ORVIK_ENGINE_DATASTORE_MARIADB_MARIADB_DRIVER_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "driver.h"

namespace orvik {

namespace mariadb_internal {
struct Connection;
}  // namespace mariadb_internal

class MariaDbDriver : public Driver {
 public:
  MariaDbDriver();
  ~MariaDbDriver() override;
  MariaDbDriver(const MariaDbDriver&) = delete;
  MariaDbDriver& operator=(const MariaDbDriver&) = delete;

  std::string Kind() const override { return "MYSQL"; }

  // Reaches params.socket when it is set; otherwise the server's default local socket when
  // params.pipes is set, or over TCP each server params.server names (server_list.h, on
  // params.port unless it names its own) in turn, until one answers and serves: a cluster's
  // node must be in its cluster's primary component. A connection already open is replaced
  // only once the new one is made. On a read-only server the connection refuses every change
  // (dberr::kReadOnly); the server's own refusals of one say so too.
  void Connect(const ConnectParams& params) override;
  const ServerFacts& Facts() const override { return facts_; }
  bool IsOpen() const override;
  // MariaDB from 10.5 on: MySQL has no compound statements outside stored programs.
  bool RunsCompoundStatements() const override { return compound_; }
  // Closes the connection. Cursors still open fail from then on.
  void Close() override;
  void UseDatabase(const std::string& account) override;
  std::string CurrentDatabase() const override;

  std::int64_t Execute(std::string_view sql, std::span<const DbValue> params = {}) override;
  std::unique_ptr<Cursor> Query(std::string_view sql,
                                std::span<const DbValue> params = {}) override;
  std::unique_ptr<Cursor> Lookup(std::string_view sql,
                                 std::span<const DbValue> params = {}) override;

  std::vector<TableInfo> ListTables() override;
  std::vector<ColumnInfo> ListColumns(const std::string& table) override;

  std::int64_t ConnectionId() override;

  // Transactions on MariaDB from 10.5 on, which the engine's lock statements need (they are
  // compound statements); statements read what is committed when they run.
  bool RunsTransactions() const override { return compound_; }
  void Begin() override;
  void Commit() override;
  void Rollback() override;

  // While a statement runs, asks the server from a connection of its own to kill it
  // ("KILL QUERY"): the connection stays, the statement fails as interrupted.
  void Interrupt() override;

 private:
  mariadb_internal::Connection& Open() const;
  // A look-up without parameters, prepared and run at once and not kept.
  std::unique_ptr<Cursor> LookupOnce(std::string_view sql);
  // Commits the deferred transaction, if one is open, before another statement runs.
  void Settle();

  std::shared_ptr<mariadb_internal::Connection> connection_;
  std::string database_;
  bool compound_ = false;
  ServerFacts facts_;

  // What Interrupt needs to reach the server again; written by Connect under the lock.
  std::mutex killMutex_;
  ConnectParams killParams_;
  unsigned long killThreadId_ = 0;
  std::vector<std::thread> killers_;
  // Statements in progress on the owning thread.
  std::atomic<int> running_{0};
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_MARIADB_MARIADB_DRIVER_H_
