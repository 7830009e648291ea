#include "engine_home.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace orvik {
namespace {

std::mutex gMutex;
std::string gHome;  // set by SetEngineHome

std::string WithoutTrailingSlash(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

// Made absolute once, where it is chosen: a program that changes the process's working
// folder (a Perl chdir) must not move every session's accounts, settings and programs.
std::string Absolute(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return WithoutTrailingSlash(ec ? path : absolute.string());
}

std::string ProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec).string();
  return exe.parent_path().string();
}

}  // namespace

std::string EngineHome() {
  {
    std::lock_guard lock(gMutex);
    if (!gHome.empty()) return gHome;
  }
  if (const char* env = std::getenv("ORVIK_HOME"); env && *env) return Absolute(env);
  return ProgramFolder();
}

void SetEngineHome(std::string path) {
  std::lock_guard lock(gMutex);
  gHome = path.empty() ? std::string() : Absolute(path);
}

std::string EngineHomePath(const std::string& name) { return EngineHome() + "/" + name; }

}  // namespace orvik
