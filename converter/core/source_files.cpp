#include "source_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

namespace orvik::massage {

namespace fs = std::filesystem;

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string WithCrLfLineEnds(std::string_view text) {
  std::string r;
  r.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      r += "\r\n";
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      r += c;
    }
  }
  return r;
}

bool ReadWholeFile(const fs::path& path, std::string& bytes, std::string& error,
                   std::size_t limit) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    error = "is a folder, not a file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = std::string("cannot be opened: ") + std::strerror(errno);
    return false;
  }
  bytes.clear();
  char buffer[65536];
  while (bytes.size() < limit && in) {
    std::size_t want = std::min(sizeof buffer, limit - bytes.size());
    in.read(buffer, static_cast<std::streamsize>(want));
    bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) {
    error = "cannot be read";
    return false;
  }
  return true;
}

bool ReadSourceFile(const fs::path& path, std::string& bytes, std::string& error) {
  if (!ReadWholeFile(path, bytes, error, kMaxSourceBytes + 1)) return false;
  if (bytes.size() <= kMaxSourceBytes) return true;
  bytes.clear();
  bytes.shrink_to_fit();
  error = "is larger than " + std::to_string(kMaxSourceBytes >> 20) + " MiB: too large to convert";
  return false;
}

std::string WriteResultFile(const fs::path& target, std::string_view bytes,
                            const fs::path& source) {
  std::error_code ec;
  if (target == source || (fs::exists(target, ec) && fs::equivalent(target, source, ec))) {
    return "the result would replace the file being converted; nothing written";
  }
  // A new file beside the target, created with the user's usual permissions.
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temp = target.string() + ".part" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return "cannot create " + target.string() + ": " + std::strerror(errno);
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      std::string why = std::strerror(errno);
      ::close(fd);
      ::unlink(temp.c_str());
      return "cannot write " + target.string() + ": " + why;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0 || std::rename(temp.c_str(), target.c_str()) != 0) {
    std::string why = std::strerror(errno);
    ::unlink(temp.c_str());
    return "cannot write " + target.string() + ": " + why;
  }
  return "";
}

std::string PathText(const fs::path& path) {
  const std::string& s = path.native();
  std::string r;
  for (std::size_t i = 0; i < s.size(); ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      r += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < s.size() &&
               (static_cast<unsigned char>(s[i + 1]) & 0xC0) == 0x80) {
      r += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(s[++i]) & 0x3F));
    } else if (c >= 0xC4) {
      // A character outside Latin-1: one "?" for the whole sequence.
      r += '?';
      while (i + 1 < s.size() && (static_cast<unsigned char>(s[i + 1]) & 0xC0) == 0x80) ++i;
    } else {
      r += static_cast<char>(c);  // not UTF-8: the byte as it is
    }
  }
  return r;
}

std::string StatusText(const fs::path& input, std::string_view status) {
  return "'" + PathText(input) + "'  " + std::string(status);
}

}  // namespace orvik::massage
