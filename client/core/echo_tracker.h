// The engine's echo of what the client sent while a screen form shows a menu or a form.
//
// The client switches the session's echo on, so every reply it sends comes back as text
// before the application's answer. Where the application answers with a transmission, the
// echo is dropped with the text before its first tag; but where it answers nothing (the
// CR that acknowledges a message box, say), the echo stands alone, without the end of a
// transmission, and the dispatcher would wait for the rest and then report a time-out that
// is no error. This keeps what was sent in those states, so that text which is nothing but
// its echo can be recognised and passed over.
//
// Line ends are compared loosely: the engine echoes a lone CR as CR LF and leaves the end
// of a line out where a program asks for input without one. A text sent with a backspace or
// a "<" is not followed (its echo is not a copy of it). GUI thread only.

#ifndef ORVIK_CLIENT_CORE_ECHO_TRACKER_H_
#define ORVIK_CLIENT_CORE_ECHO_TRACKER_H_

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace orvik::client {

class EchoTracker {
 public:
  // A text sent while a menu or form is on show.
  void Sent(std::string_view text);
  // Forgets everything sent.
  void Clear() { sent_.clear(); }

  // Whether `received` is only (the rest of) the echo of what was sent: no tag, and a copy of
  // the sent texts' characters that are not yet echoed. When it is, those are marked echoed.
  bool TakeEcho(std::string_view received);

  // A point in the order of sends; ForgetBefore drops what was sent before it. A transmission
  // that has been dispatched came after the echo of everything sent before it began.
  std::uint64_t Mark() const { return next_; }
  void ForgetBefore(std::uint64_t mark);

 private:
  struct Piece {
    std::uint64_t order;
    std::string text;       // without line ends, from the first character not yet echoed
    std::int32_t lineEnds;  // not yet echoed
  };
  std::deque<Piece> sent_;
  std::uint64_t next_ = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_ECHO_TRACKER_H_
