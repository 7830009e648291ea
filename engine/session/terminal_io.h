// What the session machine (session.h) needs of its terminal: the session state that hosts
// read, the one output sink, the echo switch, and the type-ahead it takes its lines from.
//
// The port's Terminal (terminal.h) is the real one; tests drive the session machine through
// a fake. Called on the port's thread; text is the system's bytes; lines end in CR alone once
// filed.

#ifndef ORVIK_ENGINE_SESSION_TERMINAL_IO_H_
#define ORVIK_ENGINE_SESSION_TERMINAL_IO_H_

#include <optional>
#include <string>
#include <string_view>

#include "session_state.h"

namespace orvik {

class TerminalIo {
 public:
  virtual ~TerminalIo() = default;

  virtual SessionState State() const = 0;
  // The state's name as hosts and scripts read it (msState).
  virtual std::string StateText() const = 0;
  virtual void SetState(SessionState state) = 0;

  // Output, exactly as given.
  virtual void Send(std::string_view text) = 0;

  // Whether typed input is echoed; and whether a waiting IInput wants no new line echoed.
  virtual bool EchoOn() const = 0;
  virtual void SetEcho(bool on) = 0;
  virtual bool NoNewLine() const = 0;

  // The typed input not yet taken.
  virtual std::string TypeAhead() const = 0;
  virtual void ClearTypeAhead() = 0;
  // Files typed input (Backspace rubs out, CR LF becomes CR); false when a line grew past
  // what a line may hold and was thrown away.
  virtual bool FileInput(std::string_view text) = 0;
  // The next complete line of the type-ahead, without its CR.
  virtual std::optional<std::string> TakeLine() = 0;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_SESSION_TERMINAL_IO_H_
