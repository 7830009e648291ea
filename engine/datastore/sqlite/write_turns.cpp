#include "write_turns.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <utility>

namespace orvik::sqlite_detail {

std::shared_ptr<WriteTurns> WriteTurns::Of(const std::filesystem::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return nullptr;
  // By the file itself: two names of one file must share its turns, and a file made anew
  // under an old name is another file.
  using Identity = std::pair<dev_t, ino_t>;
  static std::mutex mutex;
  static std::map<Identity, std::weak_ptr<WriteTurns>> all;
  std::lock_guard lock(mutex);
  std::weak_ptr<WriteTurns>& entry = all[{info.st_dev, info.st_ino}];
  std::shared_ptr<WriteTurns> turns = entry.lock();
  if (!turns) {
    std::erase_if(all, [](const auto& e) { return e.second.expired(); });
    turns = std::make_shared<WriteTurns>();
    all[{info.st_dev, info.st_ino}] = turns;
  }
  return turns;
}

bool WriteTurns::Take(std::chrono::steady_clock::time_point deadline) {
  return mutex_.try_lock_until(deadline);
}

void WriteTurns::Give() { mutex_.unlock(); }

WriteTurn::WriteTurn(WriteTurns* turns, sqlite3_stmt* stmt,
                     std::chrono::steady_clock::duration limit) {
  if (turns == nullptr || sqlite3_stmt_readonly(stmt) ||
      sqlite3_get_autocommit(sqlite3_db_handle(stmt)) == 0)
    return;
  if (turns->Take(std::chrono::steady_clock::now() + limit)) held_ = turns;
}

WriteTurn::~WriteTurn() {
  if (held_ != nullptr) held_->Give();
}

}  // namespace orvik::sqlite_detail
