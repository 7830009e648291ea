// Settings files of the INI kind: "[Section]" headers and "key=value" lines.
//
// Section and key names compare without regard to case, values come back trimmed and cut to
// 99 characters (what the platform's profile-string reader delivered through its buffer of
// 100), and a value between matching quotes loses them. Writes keep every other line as it
// was and replace the file in one rename, so a reader never sees half a file.

#ifndef ORVIK_ENGINE_SETTINGS_INI_FILE_H_
#define ORVIK_ENGINE_SETTINGS_INI_FILE_H_

#include <string>
#include <string_view>

namespace orvik {

inline constexpr std::size_t kMaxSettingLength = 99;

class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}

  const std::string& path() const { return path_; }

  // The value, or `fallback` when the file, the section or the key is missing.
  std::string Read(std::string_view section, std::string_view key,
                   std::string_view fallback) const;

  // Sets one key, adding the section and the key where they are missing. False (with the
  // reason in `error`) when the file cannot be written; the old file is then unchanged.
  bool Write(std::string_view section, std::string_view key, std::string_view value,
             std::string* error = nullptr);

 private:
  std::string path_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_SETTINGS_INI_FILE_H_
