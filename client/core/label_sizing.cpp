#include <string>
#include <string_view>

#include "screen_parts.h"

namespace orvik::client {
namespace {

// The lines `text` wraps to in `width`: words are kept whole (a word wider than the line
// stands on a line of its own), line breaks in the text break the line. Each word is
// measured once and a line's width is the sum of its words and blanks, so that a long
// caption costs no more than its length.
int WrappedLines(const ScreenWindow& window, const FormFont& font, std::string_view text,
                 double width) {
  int lines = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    const std::string_view paragraph = text.substr(start, end - start);
    ++lines;
    double lineWidth = -1;  // none yet
    std::size_t at = 0;
    while (at < paragraph.size()) {
      std::size_t blank = paragraph.find(' ', at);
      if (blank == std::string_view::npos) blank = paragraph.size();
      const std::string_view word = paragraph.substr(at, blank - at);
      const double wordWidth = window.MeasureText(font, word).width;
      if (lineWidth < 0) {
        lineWidth = wordWidth;
      } else {
        const double joined = lineWidth + window.MeasureText(font, " ").width + wordWidth;
        if (joined > width) {
          ++lines;
          lineWidth = wordWidth;
        } else {
          lineWidth = joined;
        }
      }
      at = blank + 1;
    }
    if (end == text.size()) break;
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

}  // namespace

void SizeLabelToText(ControlRecord& label, const ScreenWindow& window) {
  const CharMetrics one = window.MeasureText(label.font, label.caption);
  if (!label.wordWrap) {
    label.width = one.width;
    label.height = one.height;
    return;
  }
  label.height = one.height * WrappedLines(window, label.font, label.caption, label.width);
}

}  // namespace orvik::client
