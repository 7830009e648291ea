#include "ini_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include <unistd.h>

#include "text.h"

namespace orvik {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

std::vector<std::string> ReadLines(const std::string& path, bool* exists) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  *exists = static_cast<bool>(in);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// The section name of a "[Section]" line, or false.
bool SectionHeader(std::string_view line, std::string_view* name) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[') return false;
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos) return false;
  *name = Trim(line.substr(1, close - 1));
  return true;
}

// The key and value of a "key=value" line, or false for blanks and comments.
bool KeyLine(std::string_view line, std::string_view* key, std::string_view* value) {
  const std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';') return false;
  const std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return false;
  *key = Trim(t.substr(0, eq));
  *value = Trim(t.substr(eq + 1));
  return true;
}

}  // namespace

std::string IniFile::Read(std::string_view section, std::string_view key,
                          std::string_view fallback) const {
  bool exists = false;
  const std::vector<std::string> lines = ReadLines(path_, &exists);
  bool inSection = false;
  for (const std::string& line : lines) {
    std::string_view name, k, v;
    if (SectionHeader(line, &name)) {
      inSection = EqualsNoCase(name, section);
      continue;
    }
    if (!inSection || !KeyLine(line, &k, &v) || !EqualsNoCase(k, key)) continue;
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
      v = v.substr(1, v.size() - 2);
    return std::string(v.substr(0, kMaxSettingLength));
  }
  return std::string(fallback.substr(0, kMaxSettingLength));
}

bool IniFile::Write(std::string_view section, std::string_view key, std::string_view value,
                    std::string* error) {
  bool exists = false;
  std::vector<std::string> lines = ReadLines(path_, &exists);
  const std::string entry = std::string(key) + "=" + std::string(value);

  // Find the section, and within it the key or the place after its last entry.
  std::ptrdiff_t sectionAt = -1, keyAt = -1, insertAt = -1;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view name, k, v;
    if (SectionHeader(lines[i], &name)) {
      if (sectionAt >= 0 && keyAt < 0) break;
      if (EqualsNoCase(name, section) && sectionAt < 0) {
        sectionAt = static_cast<std::ptrdiff_t>(i);
        insertAt = sectionAt + 1;
      }
      continue;
    }
    if (sectionAt < 0) continue;
    if (KeyLine(lines[i], &k, &v)) {
      insertAt = static_cast<std::ptrdiff_t>(i) + 1;
      if (EqualsNoCase(k, key)) {
        keyAt = static_cast<std::ptrdiff_t>(i);
        break;
      }
    }
  }
  if (keyAt >= 0) {
    lines[keyAt] = entry;
  } else if (sectionAt >= 0) {
    lines.insert(lines.begin() + insertAt, entry);
  } else {
    if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(entry);
  }

  const std::string temp = path_ + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) out << line << '\n';
    out.flush();
    if (!out) {
      if (error) *error = std::strerror(errno);
      std::remove(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), path_.c_str()) != 0) {
    if (error) *error = std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace orvik
