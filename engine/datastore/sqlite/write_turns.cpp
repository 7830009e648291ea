#include "write_turns.h"

#include "file_shared.h"

namespace orvik::sqlite_detail {

std::shared_ptr<WriteTurns> WriteTurns::Of(const std::filesystem::path& file) {
  return SharedByFile<WriteTurns>(file);
}

bool WriteTurns::Take(std::chrono::steady_clock::time_point deadline) {
  const std::thread::id self = std::this_thread::get_id();
  std::unique_lock lock(mutex_);
  if (holds_ > 0 && holder_ != self &&
      !freed_.wait_until(lock, deadline, [this] { return holds_ == 0; }))
    return false;
  ++holds_;
  holder_ = self;
  return true;
}

void WriteTurns::Give() {
  {
    std::lock_guard lock(mutex_);
    if (--holds_ > 0) return;
    holder_ = {};
  }
  freed_.notify_one();
}

WriteTurn::WriteTurn(WriteTurns* turns, sqlite3_stmt* stmt,
                     std::chrono::steady_clock::duration limit) {
  if (turns == nullptr || sqlite3_stmt_readonly(stmt) ||
      sqlite3_get_autocommit(sqlite3_db_handle(stmt)) == 0)
    return;
  if (turns->Take(std::chrono::steady_clock::now() + limit)) {
    held_ = turns;
  } else {
    missed_ = true;
  }
}

WriteTurn::~WriteTurn() {
  if (held_ != nullptr) held_->Give();
}

}  // namespace orvik::sqlite_detail
