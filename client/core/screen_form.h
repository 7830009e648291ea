// The screen form as the transmission readers reach it: its model, and what it does itself
// once a transmission has been read into that model (advance the conversation and redraw,
// draw terminal text, run a search list, close its popups).
//
// Called on the GUI thread from inside the dispatcher. The members may show modal boxes and
// pump events (so the poll timer may run again inside them), and may throw VbError or any
// other exception: the dispatcher catches it and steps the screen down to terminal mode.
// The widget form implements it in client/ui; the core's tests use a recording fake.

#ifndef ORVIK_CLIENT_CORE_SCREEN_FORM_H_
#define ORVIK_CLIENT_CORE_SCREEN_FORM_H_

#include "screen_model.h"

namespace orvik::client {

class ScreenForm {
 public:
  virtual ~ScreenForm() = default;

  virtual ScreenModel& Model() = 0;

  // Acts on the states after a transmission (answers the engine where the state asks for
  // it) and redraws by the kind of screen.
  virtual void FormRXProcessMaster() = 0;
  // Draws the model's msData as character-terminal text with its inline tags.
  virtual void TerminalDraw() = 0;
  // Shows the pick list of the SEARCH transmission in msData and sends the choice.
  virtual void SearchActivate() = 0;
  // Closes every popup window the form has open; mnPopups becomes 0. No other effect.
  virtual void PopupsClear() = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_SCREEN_FORM_H_
