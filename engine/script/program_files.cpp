#include "program_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProgramsFolder = "programs";
constexpr std::string_view kScriptExtensions[] = {".js", ".pl", ".pm", ".vbs", ".php"};

// The refusal names what was asked for and nothing that was found.
[[noreturn]] void Refuse(const std::string& name) {
  throw VbError(scripterr::kNotAProgramFile,
                "'" + name +
                    "' is no program file: programs are read only from the engine home and "
                    "its programs folder");
}

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = path.find('/', start);
    std::string part = path.substr(start, slash == std::string::npos ? slash : slash - start);
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    if (slash == std::string::npos) return parts;
    start = slash + 1;
  }
}

bool HasScriptExtension(const std::string& file) {
  const std::size_t dot = file.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  for (std::string_view ext : kScriptExtensions) {
    if (EqualsNoCase(std::string_view(file).substr(dot), ext)) return true;
  }
  return false;
}

// `file` in `folder`, its name matched without regard to case; an exact match wins.
fs::path FindInFolder(const fs::path& folder, const std::string& file) {
  fs::path found;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!EqualsNoCase(name, file)) continue;
    found = it->path();
    if (name == file) break;
  }
  return found;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool IsWithin(const fs::path& path, const fs::path& folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
    if (p == path.end() || *p != *f) return false;
  }
  return p != path.end();
}

// A program file that is not there, or that may not be read: the user who typed its name
// is told which.
[[noreturn]] void Fail(int number, const std::string& name) {
  throw VbError(number, std::string(StandardErrorText(number)) + ": '" + name + "'");
}

}  // namespace

std::string ReadProgramFile(const std::string& home, const std::string& name) {
  std::string written = name;
  for (char& c : written) {
    if (c == '\\') c = '/';
  }
  // Checked as written, before anything is looked up.
  if (written.empty() || written.front() == '/' ||
      written.find_first_of(std::string_view(":\0", 2)) != std::string::npos) {
    Refuse(name);
  }
  const std::vector<std::string> parts = Components(written);
  if (parts.empty() || !HasScriptExtension(parts.back())) Refuse(name);
  for (const std::string& part : parts) {
    if (part == "..") Refuse(name);
  }
  if (parts.size() > 1 && parts.front() != kProgramsFolder) Refuse(name);

  const fs::path homePath(home);
  const fs::path programs = homePath / kProgramsFolder;
  fs::path path;
  if (parts.size() == 1) {
    path = FindInFolder(homePath, parts[0]);
    if (path.empty()) path = FindInFolder(programs, parts[0]);
  } else {
    path = homePath;
    for (const std::string& part : parts) path /= part;
  }

  // Where the file really is, links followed: still where programs live.
  std::error_code ec;
  const fs::path real = path.empty() ? fs::path() : fs::canonical(path, ec);
  if (real.empty() || ec) Fail(vberr::kFileNotFound, name);
  const fs::path realHome = fs::canonical(homePath, ec);
  if (ec) Fail(vberr::kFileNotFound, name);
  const fs::path realPrograms = fs::canonical(programs, ec);
  if (real.parent_path() != realHome && (ec || !IsWithin(real, realPrograms))) Refuse(name);

  // Not blocking: a pipe is refused below rather than waited on.
  const FileDescriptor fd(::open(real.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT) Fail(vberr::kFileNotFound, name);
    if (errno == EACCES) Fail(vberr::kPermissionDenied, name);
    Refuse(name);
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) Refuse(name);
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(vberr::kPermissionDenied, name);
    if (n == 0) return text;
    text.append(buffer, static_cast<std::size_t>(n));
    CheckTextLength(text.size());
  }
}

}  // namespace orvik
