#include "recording_driver.h"

#include <stdexcept>
#include <utility>

#include "vb_error.h"

namespace orvik {

namespace {

class ScriptedCursor : public Cursor {
 public:
  ScriptedCursor(std::vector<std::string> fields, std::vector<std::vector<DbValue>> rows)
      : fields_(std::move(fields)), rows_(std::move(rows)) {}

  const std::vector<std::string>& FieldNames() const override { return fields_; }
  bool Next() override {
    if (next_ >= rows_.size()) {
      current_.clear();
      return false;
    }
    current_ = std::move(rows_[next_++]);
    return true;
  }
  const std::vector<DbValue>& Row() const override { return current_; }

 private:
  std::vector<std::string> fields_;
  std::vector<std::vector<DbValue>> rows_;
  std::size_t next_ = 0;
  std::vector<DbValue> current_;
};

// The kind of call an answer can stand for; errors fit any.
bool Fits(const Answer& answer, std::string_view kind) {
  switch (answer.type) {
    case Answer::Type::kRowCount:
      return kind == "Execute";
    case Answer::Type::kResult:
      return kind == "Query";
    case Answer::Type::kTables:
      return kind == "ListTables";
    case Answer::Type::kColumns:
      return kind == "ListColumns";
    case Answer::Type::kError:
      return answer.error_for.empty() || answer.error_for == kind;
  }
  return false;
}

bool TextMatches(const CallMatch& match, std::string_view text) {
  switch (match.how) {
    case CallMatch::How::kNext:
      return true;
    case CallMatch::How::kPrefix:
      return text.starts_with(match.text);
    case CallMatch::How::kContains:
      return text.find(match.text) != std::string_view::npos;
  }
  return false;
}

}  // namespace

Answer Answer::RowCount(std::int64_t count) {
  Answer a;
  a.type = Type::kRowCount;
  a.row_count = count;
  return a;
}

Answer Answer::Result(std::vector<std::string> fields, std::vector<std::vector<DbValue>> rows) {
  for (const auto& row : rows) {
    if (row.size() != fields.size()) {
      throw std::invalid_argument("scripted row has " + std::to_string(row.size()) +
                                  " values for " + std::to_string(fields.size()) + " fields");
    }
  }
  Answer a;
  a.type = Type::kResult;
  a.fields = std::move(fields);
  a.rows = std::move(rows);
  return a;
}

Answer Answer::Tables(std::vector<TableInfo> tables) {
  Answer a;
  a.type = Type::kTables;
  a.tables = std::move(tables);
  return a;
}

Answer Answer::Columns(std::vector<ColumnInfo> columns) {
  Answer a;
  a.type = Type::kColumns;
  a.columns = std::move(columns);
  return a;
}

Answer Answer::Error(int number, std::string description, std::string only_for_kind) {
  Answer a;
  a.type = Type::kError;
  a.error_number = number;
  a.error_description = std::move(description);
  a.error_for = std::move(only_for_kind);
  return a;
}

RecordingDriver::RecordingDriver(std::string kind) : kind_(std::move(kind)) {}

void RecordingDriver::Queue(Answer answer, CallMatch match) {
  answers_.push_back({std::move(answer), std::move(match)});
}

std::vector<std::string> RecordingDriver::Statements() const {
  std::vector<std::string> out;
  for (const auto& call : calls_) {
    if (call.kind == "Execute" || call.kind == "Query" || call.kind == "Transaction")
      out.push_back(call.text);
  }
  return out;
}

Answer RecordingDriver::Take(std::string_view kind, std::string_view text,
                             std::span<const DbValue> params, const ConnectParams* connect) {
  RecordedCall call;
  call.kind = kind;
  call.text = text;
  call.params.assign(params.begin(), params.end());
  if (connect != nullptr) call.connect = *connect;
  calls_.push_back(std::move(call));

  // A rule about the text is more specific than "the next call", so it wins whatever the
  // order the two were queued in.
  auto chosen = answers_.end();
  for (auto it = answers_.begin(); it != answers_.end(); ++it) {
    if (it->match.how != CallMatch::How::kNext && Fits(it->answer, kind) &&
        TextMatches(it->match, text)) {
      chosen = it;
      break;
    }
  }
  if (chosen == answers_.end()) {
    for (auto it = answers_.begin(); it != answers_.end(); ++it) {
      if (it->match.how == CallMatch::How::kNext && Fits(it->answer, kind)) {
        chosen = it;
        break;
      }
    }
  }
  if (chosen == answers_.end()) return {};
  Answer answer = std::move(chosen->answer);
  answers_.erase(chosen);
  if (answer.type == Answer::Type::kError) {
    throw VbError(answer.error_number, answer.error_description);
  }
  return answer;
}

void RecordingDriver::RequireOpen() const {
  if (!open_) throw VbError(dberr::kUnspecified, "The connection is not open");
}

void RecordingDriver::Settle() {
  if (!EndDeferred()) return;
  Take("Transaction", "COMMIT", {});
}

void RecordingDriver::Begin() {
  RequireOpen();
  Settle();
  Take("Transaction", "START TRANSACTION", {});
}

void RecordingDriver::Commit() {
  RequireOpen();
  EndDeferred();
  Take("Transaction", "COMMIT", {});
}

void RecordingDriver::Rollback() {
  RequireOpen();
  EndDeferred();
  Take("Transaction", "ROLLBACK", {});
}

void RecordingDriver::Close() {
  calls_.push_back({"Close", "", {}, {}});
  EndDeferred();
  open_ = false;
  database_.clear();
}

void RecordingDriver::Connect(const ConnectParams& params) {
  CheckAccountName(params.account);
  open_ = false;
  database_.clear();
  Take("Connect", params.account, {}, &params);
  open_ = true;
  database_ = params.account;
}

void RecordingDriver::UseDatabase(const std::string& account) {
  CheckAccountName(account);
  RequireOpen();
  Settle();
  Take("UseDatabase", account, {});
  database_ = account;
}

std::int64_t RecordingDriver::Execute(std::string_view sql, std::span<const DbValue> params) {
  RequireOpen();
  RefuseGuardedText(sql);
  Settle();
  const Answer answer = Take("Execute", sql, params);
  return answer.type == Answer::Type::kRowCount ? answer.row_count : 0;
}

std::unique_ptr<Cursor> RecordingDriver::Query(std::string_view sql,
                                               std::span<const DbValue> params) {
  RequireOpen();
  RefuseGuardedText(sql);
  Settle();
  Answer answer = Take("Query", sql, params);
  return std::make_unique<ScriptedCursor>(std::move(answer.fields), std::move(answer.rows));
}

std::vector<TableInfo> RecordingDriver::ListTables() {
  RequireOpen();
  return Take("ListTables", "", {}).tables;
}

std::vector<ColumnInfo> RecordingDriver::ListColumns(const std::string& table) {
  CheckFileName(table);
  RequireOpen();
  return Take("ListColumns", table, {}).columns;
}

}  // namespace orvik
