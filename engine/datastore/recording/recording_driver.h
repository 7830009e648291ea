// A driver that records every call and answers from a script.
//
// It stands in for a datastore that cannot run in the test environment, and lets engine tests
// see the exact statements the engine sends. Tests queue answers; each answer is used once.
// An answer is either for "the next call" of the kind it fits, or for calls whose text (the
// SQL, the account, the table) starts with or contains a given string. When a call comes, the
// first queued answer whose text matches wins; failing that, the first "next call" answer
// that fits; failing that, the call succeeds with nothing: Execute matches 0 rows, Query
// gives no fields and no rows, the lists are empty.
//
// Like the real drivers it refuses bad account and file names before anything is "sent"
// (such calls are not recorded) and refuses statements before Connect.

#ifndef ORVIK_ENGINE_DATASTORE_RECORDING_RECORDING_DRIVER_H_
#define ORVIK_ENGINE_DATASTORE_RECORDING_RECORDING_DRIVER_H_

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver.h"

namespace orvik {

// One call as the driver saw it.
struct RecordedCall {
  // "Connect", "Close", "UseDatabase", "Execute", "Query", "ListTables", "ListColumns" or
  // "Transaction" (its text "START TRANSACTION", "COMMIT" or "ROLLBACK").
  std::string kind;
  // The SQL; the account for Connect and UseDatabase; the table for ListColumns.
  std::string text;
  std::vector<DbValue> params;
  ConnectParams connect;  // what Connect was given; empty for other calls
};

// Which calls an answer is for.
struct CallMatch {
  enum class How { kNext, kPrefix, kContains };
  How how = How::kNext;
  std::string text;

  static CallMatch Next() { return {}; }
  static CallMatch Prefix(std::string text) { return {How::kPrefix, std::move(text)}; }
  static CallMatch Contains(std::string text) { return {How::kContains, std::move(text)}; }
};

// What one call is answered with.
struct Answer {
  enum class Type { kRowCount, kResult, kTables, kColumns, kError };
  Type type = Type::kRowCount;
  std::int64_t row_count = 0;
  std::vector<std::string> fields;
  std::vector<std::vector<DbValue>> rows;
  std::vector<TableInfo> tables;
  std::vector<ColumnInfo> columns;
  int error_number = 0;
  std::string error_description;
  std::string error_for;  // an error only for calls of this kind; empty: any kind

  // For Execute.
  static Answer RowCount(std::int64_t count);
  // For Query. Throws std::invalid_argument when a row's width differs from the fields'.
  static Answer Result(std::vector<std::string> fields, std::vector<std::vector<DbValue>> rows);
  static Answer Tables(std::vector<TableInfo> tables);
  static Answer Columns(std::vector<ColumnInfo> columns);
  // Thrown as VbError(number, description) from the call it answers, Connect included.
  static Answer Error(int number, std::string description, std::string only_for_kind = "");
};

class RecordingDriver : public Driver {
 public:
  explicit RecordingDriver(std::string kind = "RECORDING");

  // Scripting.
  void Queue(Answer answer, CallMatch match = CallMatch::Next());
  // Answers not used yet.
  std::size_t PendingAnswers() const { return answers_.size(); }
  void set_connection_id(std::int64_t id) { connection_id_ = id; }
  // Answers RunsCompoundStatements and RunsTransactions, as a MariaDB server from 10.5 on
  // does (false unless set).
  void set_compound_statements(bool on) { compound_ = on; }
  // What Facts answers.
  void set_facts(ServerFacts facts) { facts_ = std::move(facts); }

  // Recording.
  const std::vector<RecordedCall>& Calls() const { return calls_; }
  // The SQL of the Execute, Query and Transaction calls, in order.
  std::vector<std::string> Statements() const;
  void ClearCalls() { calls_.clear(); }

  // Driver.
  std::string Kind() const override { return kind_; }
  void Connect(const ConnectParams& params) override;
  bool IsOpen() const override { return open_; }
  bool RunsCompoundStatements() const override { return compound_; }
  const ServerFacts& Facts() const override { return facts_; }
  // Recorded as "Transaction" calls; a deferred transaction is committed (recorded so) before
  // the next call, unless continued. An answer queued for one is thrown from it.
  bool RunsTransactions() const override { return compound_; }
  void Begin() override;
  void Commit() override;
  void Rollback() override;
  // Recorded as "Close".
  void Close() override;
  void UseDatabase(const std::string& account) override;
  std::string CurrentDatabase() const override { return database_; }
  std::int64_t Execute(std::string_view sql, std::span<const DbValue> params = {}) override;
  std::unique_ptr<Cursor> Query(std::string_view sql,
                                std::span<const DbValue> params = {}) override;
  std::vector<TableInfo> ListTables() override;
  std::vector<ColumnInfo> ListColumns(const std::string& table) override;
  std::int64_t ConnectionId() override { return connection_id_; }
  // Counts the calls (from any thread): nothing a recording runs can be cancelled.
  void Interrupt() override { ++interrupts_; }
  int Interrupts() const { return interrupts_.load(); }

 private:
  struct Queued {
    Answer answer;
    CallMatch match;
  };

  // Records the call, then takes the answer for it (throwing a scripted error).
  Answer Take(std::string_view kind, std::string_view text, std::span<const DbValue> params,
              const ConnectParams* connect = nullptr);
  void RequireOpen() const;
  void Settle();

  std::string kind_;
  std::vector<RecordedCall> calls_;
  bool compound_ = false;
  ServerFacts facts_;
  std::deque<Queued> answers_;
  bool open_ = false;
  std::string database_;
  std::int64_t connection_id_ = 0;
  std::atomic<int> interrupts_{0};
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_RECORDING_RECORDING_DRIVER_H_
