// The client's link to its one engine port, which runs on a thread of its own.
//
// Called on the GUI thread only, and none of the calls waits for the port. Send hands the
// text to the session as typed input, in call order, with nothing added; the session echoes
// it only when `echoed` (and its echo is on). What the session writes is collected until
// TakeOutput, which returns each piece exactly once (the empty text when nothing is
// waiting); the program around the shell tells it when output is waiting, and when the
// session hung up. HungUp is true once the session has asked its host to hang up (the
// disconnect marker, which never reaches TakeOutput); what it wrote before is taken first.
// Release ends the session: a running program is stopped, and the port ends on its own
// thread, removing its item locks and its line in the user registry. After Release, Send
// does nothing and TakeOutput returns "". Text is Latin-1 bytes both ways. Failures inside
// the session are the session's: nothing is reported here.

#ifndef ORVIK_CLIENT_CORE_ENGINE_LINK_H_
#define ORVIK_CLIENT_CORE_ENGINE_LINK_H_

#include <string>

namespace orvik::client {

class EngineLink {
 public:
  virtual ~EngineLink() = default;

  virtual void Send(const std::string& text, bool echoed) = 0;
  virtual std::string TakeOutput() = 0;
  virtual bool HungUp() const = 0;
  virtual void Release() = 0;
  virtual bool Released() const = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_ENGINE_LINK_H_
