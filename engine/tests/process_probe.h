// What a test reads of another process from /proc: whether it still runs, and the files and
// sockets its descriptors hold.

#ifndef ORVIK_ENGINE_TESTS_PROCESS_PROBE_H_
#define ORVIK_ENGINE_TESTS_PROCESS_PROBE_H_

#include <sys/types.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace orvik::test_support {

// Whether `pid` has ended: gone, or a zombie nobody has reaped yet.
inline bool ProcessEnded(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const std::size_t close = line.rfind(')');
  return close == std::string::npos || line.compare(close, 3, ") Z") == 0;
}

// Each open descriptor of `pid` and what it refers to ("socket:[123]", a path ...).
inline std::map<int, std::string> DescriptorsOf(pid_t pid) {
  std::map<int, std::string> fds;
  std::error_code ec;
  const std::filesystem::path dir = "/proc/" + std::to_string(pid) + "/fd";
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::filesystem::path target = std::filesystem::read_symlink(entry.path(), ec);
    if (!ec) fds[std::stoi(entry.path().filename().string())] = target.string();
  }
  return fds;
}

}  // namespace orvik::test_support

#endif  // ORVIK_ENGINE_TESTS_PROCESS_PROBE_H_
