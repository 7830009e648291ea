// Reading a source, cutting it into lines, and writing a result beside it without ever
// touching the source itself.

#ifndef ORVIK_CONVERTER_CORE_SOURCE_FILES_H_
#define ORVIK_CONVERTER_CORE_SOURCE_FILES_H_

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::massage {

// The lines of a text, without their ends. CR LF, LF alone and CR alone each end a line;
// text behind the last line end is a line of its own. An empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);

// Every line end (CR LF, LF or CR) written as CR LF.
std::string WithCrLfLineEnds(std::string_view text);

// The whole file as bytes (or its first `limit` bytes). On failure returns false and says
// why in `error`.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes, std::string& error,
                   std::size_t limit = std::string::npos);

// The largest source or page converted. Sources are a few kilobytes; a larger file (or a
// device that never ends) would only fill the memory while it is read and worked on.
inline constexpr std::size_t kMaxSourceBytes = std::size_t{64} << 20;

// ReadWholeFile for a file to convert: one over kMaxSourceBytes is refused, and said so.
bool ReadSourceFile(const std::filesystem::path& path, std::string& bytes, std::string& error);

// Writes `bytes` to `target` through a temporary file beside it, so that a failure leaves
// no half-written result. Refuses when `target` is the `source` file (also through a link).
// Returns an empty text on success, else why it failed.
std::string WriteResultFile(const std::filesystem::path& target, std::string_view bytes,
                            const std::filesystem::path& source);

// A path as the monitor shows it: the system's own text is Latin-1, file names are UTF-8.
std::string PathText(const std::filesystem::path& path);

// The status line of the window: the input path in apostrophes, two blanks, the status.
std::string StatusText(const std::filesystem::path& input, std::string_view status);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_SOURCE_FILES_H_
