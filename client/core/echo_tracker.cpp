#include "echo_tracker.h"

#include <algorithm>

namespace orvik::client {
namespace {

struct Shape {
  std::string text;  // without line ends
  std::int32_t lineEnds = 0;
};

// CR, LF and CR LF each count as one line end.
Shape ShapeOf(std::string_view s) {
  Shape shape;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' || s[i] == '\n') {
      ++shape.lineEnds;
      if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      shape.text += s[i];
    }
  }
  return shape;
}

}  // namespace

void EchoTracker::Sent(std::string_view text) {
  if (text.find_first_of("\b<") != std::string_view::npos) {
    Clear();
    return;
  }
  Shape shape = ShapeOf(text);
  sent_.push_back({next_++, std::move(shape.text), shape.lineEnds});
}

bool EchoTracker::TakeEcho(std::string_view received) {
  if (received.empty() || received.find('<') != std::string_view::npos) return false;
  const Shape echo = ShapeOf(received);
  // Walk the sent pieces as one text; the echo must be a prefix of what is still expected.
  std::string expected;
  std::int32_t lineEnds = 0;
  for (const Piece& piece : sent_) {
    expected += piece.text;
    lineEnds += piece.lineEnds;
  }
  if (echo.lineEnds > lineEnds || !expected.starts_with(echo.text)) return false;
  if (echo.text.empty() && echo.lineEnds == 0) return false;

  std::size_t chars = echo.text.size();
  std::int32_t ends = echo.lineEnds;
  while (!sent_.empty() && (chars > 0 || ends > 0)) {
    Piece& piece = sent_.front();
    const std::size_t take = std::min(chars, piece.text.size());
    piece.text.erase(0, take);
    chars -= take;
    const std::int32_t endsTaken = std::min(ends, piece.lineEnds);
    piece.lineEnds -= endsTaken;
    ends -= endsTaken;
    // Line ends a program did not echo are passed over once later characters are echoed.
    if (!piece.text.empty() || (piece.lineEnds > 0 && chars == 0)) break;
    sent_.pop_front();
  }
  return true;
}

void EchoTracker::ForgetBefore(std::uint64_t mark) {
  while (!sent_.empty() && sent_.front().order < mark) sent_.pop_front();
}

}  // namespace orvik::client
