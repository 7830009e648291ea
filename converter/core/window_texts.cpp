#include "window_texts.h"

#include <vector>

#include "source_files.h"
#include "text_rules.h"

namespace orvik::massage {

namespace {
constexpr std::size_t kPreviewBytes = 1 << 20;
}  // namespace

std::string WelcomeHeader() { return "Welcome to \"" + std::string(kProgramName) + "\""; }

std::string WelcomeText() {
  const std::string crlf(kCrLf);
  return "Click \"1. Select\", to get an Open File box." + crlf +
         "Use it to select your file to convert." + crlf + crlf +
         "For DATABASIC-to-VB this is the exported, Type 1 or " + crlf +
         "super-q-pointered windows-readable file of code text." + crlf + crlf +
         "For HTML massaging, select the .htm file " + crlf +
         "that you should have just created using \"Frontpage\" " + crlf +
         "or similar and that you now need to massage into text " + crlf +
         "that will be easy to paste into an ASP script." + crlf;
}

std::optional<std::string> SelectionText(const std::filesystem::path& input) {
  std::string bytes;
  std::string error;
  // A preview needs the beginning only, whatever the size of the file.
  if (input.empty() || !ReadWholeFile(input, bytes, error, kPreviewBytes)) return std::nullopt;
  std::vector<std::string> lines = SplitLines(bytes);
  if (lines.empty()) return std::nullopt;

  const std::string crlf(kCrLf);
  std::string text = std::string(kProgramName) + " has now found \"" + PathText(input) +
                     "\" and its " + crlf + "first 10 lines are displayed below." + crlf +
                     "If intending to \"massage\" HTML for ASP code, confirm that" + crlf +
                     "the \"<title>\" is as expected before running Step 2." + crlf +
                     "If you have any problem, you can repeat step 1 to look for another file." +
                     crlf;
  for (std::size_t i = 0; i < lines.size() && i < std::size_t{kPreviewLines}; ++i)
    text += crlf + lines[i];
  return text;
}

}  // namespace orvik::massage
