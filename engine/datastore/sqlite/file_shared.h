// One object per database file for the whole process, found by the file itself: two names
// of one file (a link, a path with "./" in it) share it, and a file made anew under an old
// name is another file.

#ifndef ORVIK_ENGINE_DATASTORE_SQLITE_FILE_SHARED_H_
#define ORVIK_ENGINE_DATASTORE_SQLITE_FILE_SHARED_H_

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace orvik::sqlite_detail {

// The T of `file`, made on first use and kept while anyone holds it. nullptr when the file
// cannot be looked at. Thread-safe.
template <class T>
std::shared_ptr<T> SharedByFile(const std::filesystem::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return nullptr;
  using Identity = std::pair<dev_t, ino_t>;
  static std::mutex mutex;
  static std::map<Identity, std::weak_ptr<T>> all;
  std::lock_guard lock(mutex);
  std::shared_ptr<T> shared = all[{info.st_dev, info.st_ino}].lock();
  if (!shared) {
    std::erase_if(all, [](const auto& e) { return e.second.expired(); });
    shared = std::make_shared<T>();
    all[{info.st_dev, info.st_ino}] = shared;
  }
  return shared;
}

}  // namespace orvik::sqlite_detail

#endif  // ORVIK_ENGINE_DATASTORE_SQLITE_FILE_SHARED_H_
