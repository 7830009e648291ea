#include "html_massage.h"

#include "source_files.h"
#include "string_works.h"
#include "text_rules.h"

namespace orvik::massage {

namespace fs = std::filesystem;

namespace {

constexpr auto npos = std::string::npos;
constexpr std::string_view kMassageStart = "Response.Write \"<html>\"\r\n";
constexpr std::string_view kFourSpaces = "&nbsp;&nbsp;&nbsp;&nbsp;";

// The first of the three break points that changes the line.
std::string BreakLine(const std::string& line) {
  std::string broken = ReplaceAll(line, kFourSpaces, "&nbsp;&nbsp;\r\n&nbsp;&nbsp;");
  if (broken == line) broken = ReplaceAll(line, ",", ",\r\n");
  if (broken == line) broken = ReplaceAll(line, "><", ">\r\n<");
  return broken;
}

// Long lines outside script blocks broken. The scan goes on from where the line end stood
// before the break, so the pieces of a broken line are looked at again: it resumes inside
// the broken text, two characters past the old line's length.
//
// Nothing in front of the scan's position is ever changed again, so the finished part is
// appended to `done` and the part still to scan is held back to front in `ahead` (its next
// character last): a break pushes the unscanned end of the broken line onto `ahead` instead
// of rebuilding the whole text, and the work stays linear in the page's size.
std::string BreakLongLines(const std::string& text) {
  std::size_t p = text.find(kCrLf);
  if (p == npos) return text;
  std::string done = text.substr(0, p + 2);
  done.reserve(text.size() + text.size() / 8);
  std::string ahead(text.rbegin(), text.rend() - static_cast<std::ptrdiff_t>(p + 2));
  bool script = false;
  for (;;) {
    // The next CR LF ahead is an LF CR pair in the reversed text, the nearest one last.
    const std::size_t q = ahead.rfind("\n\r");
    if (q == npos) break;
    const std::string line(ahead.rbegin(), ahead.rend() - static_cast<std::ptrdiff_t>(q + 2));
    ahead.resize(q + 2);  // the line is taken; its CR LF is still ahead
    if (FindNoCase(line, "<script") != npos) {
      script = true;
    } else if (FindNoCase(line, "</script>") != npos) {
      script = false;
    }
    const std::string broken = line.size() > kLongestPageLine && !script ? BreakLine(line) : line;
    if (broken.size() == line.size()) {
      done += line;
      done += kCrLf;
      ahead.resize(q);
    } else {
      // Every break point adds a line end, so the broken text is at least 2 longer.
      done.append(broken, 0, line.size() + 2);
      ahead.append(broken.rbegin(), broken.rend() - static_cast<std::ptrdiff_t>(line.size() + 2));
    }
  }
  done.append(ahead.rbegin(), ahead.rend());
  return done;
}

}  // namespace

std::optional<std::string> HtmlToAsp(std::string_view page) {
  std::string text = WithCrLfLineEnds(page);
  std::size_t body = FindNoCase(text, "<body");
  if (body == npos) return std::nullopt;
  text.erase(0, body);
  text = ReplaceAll(text, "\"", "\"\"");
  text = ReplaceAll(text, "<!--", "\r\n<!--");
  text = BreakLongLines(text);
  text = ReplaceAll(text, kCrLf, "\" & vbCrLf\r\nResponse.Write \"");
  return std::string(kMassageStart) + "Response.Write \"" + text + "\"";
}

namespace {

// The page's name without its extension. Only the file's own name is cut: a "." in a folder
// name is not its extension.
std::string PageStem(const fs::path& input) {
  std::string name = input.filename().native();
  std::size_t dot = name.rfind('.');
  return dot == npos ? name : name.substr(0, dot);
}

}  // namespace

fs::path HtmlOutputPath(const fs::path& input) {
  fs::path output = input.parent_path() / (PageStem(input) + ".txt");
  if (output == input) output = HtmlOtherOutputPath(input);
  return output;
}

fs::path HtmlOtherOutputPath(const fs::path& input) {
  return input.parent_path() / (PageStem(input) + "_asp.txt");
}

bool IsMassagedPage(const fs::path& path) { return FileBeginsWith(path, kMassageStart); }

std::string HtmlMonitorText(const fs::path& output, std::string_view massaged) {
  const std::string crlf(kCrLf);
  return "The first few lines of the massaged code are given below: " + crlf +
         "The result is also stored in file \"" + PathText(output) + "\"" + crlf + crlf +
         std::string(massaged.substr(0, kMassagePreview));
}

MassageResult MassageHtmlFile(const fs::path& input, OutputNames& names) {
  MassageResult result;
  std::string page;
  if (!ReadSourceFile(input, page, result.error)) return result;
  std::optional<std::string> massaged = HtmlToAsp(page);
  if (!massaged) {
    result.noBody = true;
    result.error = std::string(kNoBodyMessage);
    return result;
  }
  result.massaged = std::move(*massaged);
  ClaimedName claimed =
      names.Claim(HtmlOutputPath(input), HtmlOtherOutputPath(input), IsMassagedPage);
  result.passedOver = claimed.passedOver;
  result.output = claimed.path;
  if (result.output.empty()) {
    result.error = "no free name for the result beside it; nothing written";
    return result;
  }
  result.error = WriteResultFile(result.output, result.massaged + std::string(kCrLf), input);
  result.ok = result.error.empty();
  return result;
}

bool IsHtmlPage(const fs::path& path) {
  std::string name = path.filename().native();
  return EndsWithNoCase(name, ".htm") || EndsWithNoCase(name, ".html");
}

}  // namespace orvik::massage
