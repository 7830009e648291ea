#include "plugin_host.h"

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

#include "orvik_plugin.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

constexpr int kCannotCreate = 429;

[[noreturn]] void CannotCreate(std::string_view progId, const std::string& why) {
  throw VbError(kCannotCreate,
                "ActiveX component can't create object '" + std::string(progId) + "': " + why);
}

struct Library {
  OrvikCreateObjectFn create = nullptr;
};

// Libraries stay loaded once opened: objects and anything they handed out may still point
// into them.
Library Load(const std::string& path, std::string_view progId) {
  static std::mutex mutex;
  static std::map<std::string, Library> loaded;
  std::lock_guard lock(mutex);
  if (const auto it = loaded.find(path); it != loaded.end()) return it->second;
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    CannotCreate(progId, why != nullptr ? why : "the library cannot be loaded");
  }
  auto version =
      reinterpret_cast<OrvikPluginAbiVersionFn>(::dlsym(handle, "OrvikPluginAbiVersion"));
  Library lib;
  lib.create = reinterpret_cast<OrvikCreateObjectFn>(::dlsym(handle, "OrvikCreateObject"));
  if (version == nullptr || lib.create == nullptr) {
    ::dlclose(handle);
    CannotCreate(progId, path + " is not a plugin library");
  }
  if (version() != ORVIK_PLUGIN_ABI_VERSION) {
    ::dlclose(handle);
    CannotCreate(progId, path + " was built for another plugin interface");
  }
  loaded.emplace(path, lib);
  return lib;
}

}  // namespace

std::string PluginLibraryPath(const std::string& home, std::string_view progId) {
  std::ifstream in(std::filesystem::path(home) / "plugins.ini", std::ios::binary);
  if (!in) return {};
  const std::string_view wanted = TrimBlanks(progId);
  bool inSection = false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string_view text = TrimBlanks(line);
    if (text.empty() || text[0] == ';' || text[0] == '#') continue;
    if (text.front() == '[') {
      const std::size_t close = text.find(']');
      inSection = close != std::string_view::npos &&
                  EqualsNoCase(TrimBlanks(text.substr(1, close - 1)), "Plugins");
      continue;
    }
    if (!inSection) continue;
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    if (!EqualsNoCase(TrimBlanks(text.substr(0, equals)), wanted)) continue;
    const std::string_view value = TrimBlanks(text.substr(equals + 1));
    if (value.empty()) return {};
    std::filesystem::path path(value);
    // An absolute path: the loader never searches its own folders for the library.
    if (path.is_relative()) path = std::filesystem::path(home) / path;
    return path.lexically_normal().string();
  }
  return {};
}

std::shared_ptr<Dispatch> CreatePluginObject(const std::string& home, std::string_view progId) {
  if (TrimBlanks(progId).empty()) CannotCreate(progId, "no ProgID was given");
  const std::string path = PluginLibraryPath(home, progId);
  if (path.empty()) CannotCreate(progId, "it is not registered in plugins.ini");
  const Library lib = Load(path, progId);
  Dispatch* object = nullptr;
  try {
    object = lib.create(std::string(TrimBlanks(progId)).c_str());
  } catch (...) {
    object = nullptr;
  }
  if (object == nullptr) CannotCreate(progId, path + " made no object for it");
  return std::shared_ptr<Dispatch>(object);
}

}  // namespace orvik
