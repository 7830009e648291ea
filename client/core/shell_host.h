// What the client's frame (ClientShell) needs of the program around it: new screen form
// windows, the main window, the bell, the monitor window, the busy pointer, a prompt run of
// the poll tick, and the end of the program.
//
// GUI thread only; nothing here fails or throws. The widgets implement it in client/app;
// tests use a fake that makes screen forms on recording surfaces.

#ifndef ORVIK_CLIENT_CORE_SHELL_HOST_H_
#define ORVIK_CLIENT_CORE_SHELL_HOST_H_

#include <memory>

#include "screen_form_core.h"
#include "shell_services.h"

namespace orvik::client {

// One screen form with its window. Dropping the handle closes the window (its unload) at
// once, but the form itself lives on until control is back in the event loop that was
// running when it was dropped: the shell drops forms from inside ticks, key handlers and
// the form's own calls.
class ScreenFormHandle {
 public:
  virtual ~ScreenFormHandle() = default;
  virtual ScreenFormCore& Core() = 0;
};

class ShellHost {
 public:
  virtual ~ShellHost() = default;

  // A new screen form whose core works with `shell`; its Form_Load has not run yet.
  virtual std::unique_ptr<ScreenFormHandle> NewScreenForm(ShellServices& shell) = 0;
  virtual void HideMainWindow() = 0;
  virtual void Beep() = 0;
  // The traffic monitor's window, not modal.
  virtual void ShowMonitor() = 0;
  // The hourglass pointer over the client's windows, or the normal one.
  virtual void SetBusyPointer(bool busy) = 0;
  // Runs the poll tick (without counting) from the event loop soon, not from inside this
  // call.
  virtual void ScheduleTick() = 0;
  // The port has been released: the program ends with `code` once control is back in its
  // event loop (after the port's thread has finished its clean-up, or given up on it).
  virtual void EndProgram(int code) = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_SHELL_HOST_H_
