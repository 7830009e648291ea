// The texts the tool's window shows, kept apart from the window so that they can be built
// and checked without one.

#ifndef ORVIK_CONVERTER_CORE_WINDOW_TEXTS_H_
#define ORVIK_CONVERTER_CORE_WINDOW_TEXTS_H_

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orvik::massage {

inline constexpr std::string_view kProgramName = "OrvikMassage";
inline constexpr std::string_view kNoFileMessage = "No file selected - starting again";
inline constexpr std::string_view kClipboardMessage =
    "The clipboard is now loaded with your nicely massaged page, ready to paste in to a "
    "script or program.";
inline constexpr int kPreviewLines = 10;

std::string WelcomeHeader();
// The monitor's text at the start: how to use the tool.
std::string WelcomeText();

// The monitor's text after a file was selected: the introduction and the file's first lines,
// or nothing when the file cannot be read or has no line at all.
std::optional<std::string> SelectionText(const std::filesystem::path& input);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_WINDOW_TEXTS_H_
