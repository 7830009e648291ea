#include "echo_tracker.h"

#include <algorithm>

namespace orvik::client {
namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';

bool IsLineEnd(char c) { return c == kCr || c == kLf; }

// CR, LF and CR LF each become one CR.
std::string LineEndsAsCr(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (IsLineEnd(s[i])) {
      out += kCr;
      if (s[i] == kCr && i + 1 < s.size() && s[i + 1] == kLf) ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

void EchoTracker::Sent(std::string_view text) {
  if (text.find('\b') != std::string_view::npos) {
    Clear();
    return;
  }
  const std::string shape = LineEndsAsCr(text);
  expected_ += shape;
  sent_.push_back({next_++, shape.size()});
}

void EchoTracker::Clear() {
  expected_.clear();
  sent_.clear();
  afterCr_ = false;
}

std::size_t EchoTracker::TakeLeadingEcho(std::string_view received) {
  std::size_t in = 0;   // in `received`
  std::size_t out = 0;  // in `expected_`
  // The LF of a CR LF whose CR ended the last echo.
  if (afterCr_ && !received.empty() && received[0] == kLf) in = 1;
  afterCr_ = false;
  // Where a difference shows, what came before it is an echo only up to the end of the last
  // reply echoed whole: within a reply it was the application's text all along.
  std::size_t wholeIn = in;
  std::size_t wholeOut = 0;
  while (in < received.size()) {
    const char c = received[in];
    // Line ends a program did not echo are passed over once a later character is echoed.
    std::size_t next = out;
    if (!IsLineEnd(c)) {
      while (next < expected_.size() && expected_[next] == kCr) ++next;
    }
    if (next == expected_.size() || (expected_[next] == kCr) != IsLineEnd(c) ||
        (!IsLineEnd(c) && expected_[next] != c)) {
      if (EndsReply(out)) break;
      Consume(wholeOut);
      return wholeIn;
    }
    out = next + 1;
    if (c == kCr && in + 1 < received.size() && received[in + 1] == kLf) ++in;
    ++in;
    if (EndsReply(out)) {
      wholeIn = in;
      wholeOut = out;
    }
  }
  Consume(out);
  afterCr_ = in > 0 && in == received.size() && received[in - 1] == kCr;
  return in;
}

bool EchoTracker::EndsReply(std::size_t at) const {
  std::size_t end = 0;
  for (const Piece& piece : sent_) {
    end += piece.left;
    if (end < at) continue;
    return std::all_of(expected_.begin() + static_cast<std::ptrdiff_t>(at),
                       expected_.begin() + static_cast<std::ptrdiff_t>(end),
                       [](char c) { return c == kCr; });
  }
  return true;
}

void EchoTracker::Consume(std::size_t bytes) {
  expected_.erase(0, bytes);
  while (!sent_.empty() && bytes > 0) {
    const std::size_t take = std::min(bytes, sent_.front().left);
    sent_.front().left -= take;
    bytes -= take;
    if (sent_.front().left == 0) sent_.pop_front();
  }
}

void EchoTracker::ForgetBefore(std::uint64_t mark) {
  std::size_t bytes = 0;
  while (!sent_.empty() && sent_.front().order < mark) {
    bytes += sent_.front().left;
    sent_.pop_front();
  }
  expected_.erase(0, bytes);
}

}  // namespace orvik::client
