// The parts of one screen form that its drawers and handlers work on together: the model,
// the control records, the focus bookkeeping, the menu's state and program history, the
// window, the terminal's drawing surface and the client's frame.
//
// References only, owned by the screen form's core, GUI thread only.

#ifndef ORVIK_CLIENT_CORE_SCREEN_PARTS_H_
#define ORVIK_CLIENT_CORE_SCREEN_PARTS_H_

#include "form_controls.h"
#include "form_focus.h"
#include "program_history.h"
#include "screen_model.h"
#include "screen_window.h"
#include "shell_services.h"
#include "terminal_surface.h"

namespace orvik::client {

struct ScreenParts {
  ScreenModel& model;
  FormControls& controls;
  FormFocus& focus;
  MenuState& menu;
  ProgramHistory& history;
  ScreenWindow& window;
  TerminalSurface& surface;
  ShellServices& shell;

  // Lets the window system's pending events run once.
  void ProcessEventsOnce() {
    EventPump& pump = shell.Pump();
    pump.ProcessEventsUntil(pump.Now());
  }
};

// A label sized to its text, as a label that grows to fit it is: with word wrap its width
// stays and its height becomes that of the lines its caption wraps to (one line at least);
// without, it is one line high and as wide as its caption.
void SizeLabelToText(ControlRecord& label, const ScreenWindow& window);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_SCREEN_PARTS_H_
