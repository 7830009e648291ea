#include "terminal_keys.h"

namespace orvik::console {
namespace {

constexpr unsigned char kBel = 7;
constexpr unsigned char kBs = 8;
constexpr unsigned char kTab = 9;
constexpr unsigned char kLf = 10;
constexpr unsigned char kCr = 13;
constexpr unsigned char kCtrlC = 3;
constexpr unsigned char kCtrlX = 24;
constexpr unsigned char kEsc = 27;
constexpr unsigned char kDel = 127;

bool IsIntermediate(unsigned char c) { return c >= 0x20 && c <= 0x2f; }
bool IsParameter(unsigned char c) { return c >= 0x30 && c <= 0x3f; }

}  // namespace

std::vector<TerminalKeys::Piece> TerminalKeys::Translate(std::string_view chunk) {
  std::vector<Piece> pieces(1);
  for (const char ch : chunk) {
    const auto c = static_cast<unsigned char>(ch);
    switch (state_) {
      case State::kText:
        Text(c, pieces);
        break;
      case State::kEscape:
        if (c == '[' || c == 'O') {
          state_ = State::kControlSequence;  // CSI, or SS3 (which may carry parameters too)
        } else if (c == ']' || c == 'P' || c == 'X' || c == '^' || c == '_') {
          state_ = State::kString;
        } else if (IsIntermediate(c)) {
          state_ = State::kIntermediate;
        } else if (c == kEsc) {
          // A sequence begins again (Alt with a key that sends one).
        } else if (c > 0x2f && c < kDel) {
          state_ = State::kText;  // ESC and one character: Alt with a key
        } else {
          state_ = State::kText;  // not a sequence: the ESC alone goes
          Text(c, pieces);
        }
        break;
      case State::kIntermediate:
        if (IsIntermediate(c)) break;
        state_ = State::kText;
        if (c < 0x30 || c >= kDel) Text(c, pieces);
        break;
      case State::kControlSequence:
        if (IsParameter(c) || IsIntermediate(c)) break;
        state_ = State::kText;
        // A byte that cannot be part of the sequence ends it and is itself taken.
        if (c < 0x40 || c >= kDel) Text(c, pieces);
        break;
      case State::kString:
        if (c == kEsc) {
          state_ = State::kStringEscape;
        } else if (c == kBel) {
          state_ = State::kText;
        } else if (c == kCr || c == kLf) {
          // No terminal's answer holds a line end: a user typed this, and his Enter counts.
          state_ = State::kText;
          Text(c, pieces);
        }
        break;
      case State::kStringEscape:
        state_ = c == '\\' ? State::kText : State::kString;
        break;
    }
  }
  if (pieces.back().text.empty() && !pieces.back().stop) pieces.pop_back();
  return pieces;
}

void TerminalKeys::Text(unsigned char c, std::vector<Piece>& pieces) {
  if (c == kEsc) {
    state_ = State::kEscape;
    return;
  }
  if (c == kCtrlC || c == kCtrlX) {
    pieces.back().stop = true;
    pieces.emplace_back();
    afterCr_ = false;
    return;
  }
  const unsigned char received = c;
  if (c == kLf) {
    if (afterCr_) {
      afterCr_ = false;
      return;  // the CR before it ended the line
    }
    c = kCr;
  } else if (c == kDel) {
    c = kBs;
  } else if (c < 0x20 && c != kCr && c != kBs && c != kTab) {
    return;  // NUL (of CR NUL) and the control keys nobody means as text
  }
  afterCr_ = received == kCr;
  pieces.back().text.push_back(static_cast<char>(c));
}

}  // namespace orvik::console
