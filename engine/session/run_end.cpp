// The end of a program's run: the prompt again (with the run's first error), or the end of
// the session for a user who may not use TCL; the program's locks, print job and engines go.

#include "numbers.h"
#include "screen_markup.h"
#include "session.h"

namespace orvik {

void Session::EndRun() {
  TerminalIo& terminal = parts_.terminal;
  ProgramRunner& programs = parts_.programs;
  const std::string crlf(kCrLf);
  const std::string privilege = parts_.login.Privilege();
  bool disconnect = false;
  try {
    terminal.SetState(SessionState::kTcl);
    std::string status = StatusLine(SessionState::kTcl, "OK: Exit from app");
    parts_.login.UpdateRegistry(status);
    programs.SetRunning(false);
    if (const Status released = parts_.locks.Release({}, {}); !released.ok()) {
      errorDetail_ = released.Message();
      throw released.ToError();
    }
    if (Val(privilege) > 2) {
      std::string screen = TTag(-1) + TTag(1, 1);
      if (programs.RunError().empty()) {
        screen += ":";
      } else {
        errorDetail_ = programs.RunError();
        screen += crlf + programs.RunError() + crlf + ":";
      }
      terminal.Send(termType_ == "VBGUI" ? TerminalFrame(screen) : screen);
    } else {
      // A user without TCL leaves with the program.
      terminal.Send(protocol::kPortDisconnect);
      disconnect = true;
    }
    std::string close = "PRINTER CLOSE";
    ExecutePS(close);
    // The sentence starts by clearing the detail; the run's error is what it must keep.
    if (!programs.RunError().empty()) errorDetail_ = programs.RunError();
    // Input during the steps above may have started the next program already.
    if (!programs.Running()) programs.Close();
  } catch (...) {
    EndRunFailed(CurrentExceptionMessage());
    return;
  }
  if (!disconnect) TakeWaitingLines();
}

void Session::EndRunFailed(const std::string& message) {
  TerminalIo& terminal = parts_.terminal;
  ProgramRunner& programs = parts_.programs;
  const std::string crlf(kCrLf);
  const std::string privilege = parts_.login.Privilege();
  try {
    terminal.Send(TTag(-1) + TTag(1, 1) + crlf + message + crlf + ":");
  } catch (...) {
    // A host that fails to take the message must not keep the run's end from freeing what
    // the program held; the message stays in ErrorDetail.
  }
  terminal.SetState(SessionState::kTcl);
  std::string close = "PRINTER CLOSE";
  ExecutePS(close);
  programs.SetRunning(false);
  errorDetail_ = message;
  // The program's locks and engines go on this path too.
  Note(parts_.locks.Release({}, {}));
  if (!programs.Running()) programs.Close();
  if (Val(privilege) <= 2) {
    terminal.Send(protocol::kPortDisconnect);
    return;
  }
  TakeWaitingLines();
}

}  // namespace orvik
