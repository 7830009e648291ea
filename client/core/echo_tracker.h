// The engine's echo of what the client sent while a screen form shows a menu or a form.
//
// The client switches the session's echo on, so every reply it sends comes back as a copy,
// whatever characters it holds, as soon as the engine takes it: before the application's
// answer, and after any transmission the application wrote before the reply came. Read as received
// text, a value typed as "Spring<MSGBOX>" would be taken for the application's markup, and where
// the application answers nothing (the CR that acknowledges a message box, say) the echo would
// stand alone and the dispatcher would wait for the end of a transmission that never comes.
// This keeps what was sent in those states, so that the echo can be cut from what arrives
// where it stands, before anything reads it.
//
// Line ends are compared loosely: the engine echoes a lone CR as CR LF and leaves the end
// of a line out where a program asks for input without one. A text sent with a backspace is
// not followed (a lone one is rubbed out on the screen, not echoed as itself). GUI thread
// only.

#ifndef ORVIK_CLIENT_CORE_ECHO_TRACKER_H_
#define ORVIK_CLIENT_CORE_ECHO_TRACKER_H_

#include <cstddef>
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
  void Clear();

  // How many bytes at the front of `received` are (the rest of) the echo of what was sent, in
  // the order it was sent; those are marked echoed. A text that differs from a reply partway
  // through it is not that reply's echo; one that ends partway is its echo cut by the link.
  std::size_t TakeLeadingEcho(std::string_view received);

  // A point in the order of sends; ForgetBefore drops what was sent before it, so that a reply
  // whose echo never came (or came where it was not looked for) does not stand in the way of
  // the echoes of the replies after it.
  std::uint64_t Mark() const { return next_; }
  void ForgetBefore(std::uint64_t mark);

 private:
  struct Piece {
    std::uint64_t order;
    std::size_t left;  // bytes of `expected_` that are this piece's, not yet echoed
  };
  // Whether only line ends a program may leave unechoed lie between `at` in `expected_`
  // and the end of a reply.
  bool EndsReply(std::size_t at) const;
  void Consume(std::size_t bytes);

  std::string expected_;  // what is not yet echoed, every line end as one CR
  std::deque<Piece> sent_;
  std::uint64_t next_ = 0;
  bool afterCr_ = false;  // the last echo ended with a CR whose LF may come next
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_ECHO_TRACKER_H_
