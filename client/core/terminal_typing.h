// The screen form's character handler while it is a terminal: every typed character goes
// to the engine at once, as a send of its own, and the engine's echo is what the screen
// shows. Enter and Tab send the end-of-send text, Backspace sends character 8 and blanks
// the cell left of the cursor, and the first character typed at an application's password
// prompt carries the "<VBGUI>" prefix (with DECLAREGUI).
//
// One per screen form, on the GUI thread. KeyPress may pump events once (so the echo is
// drawn between keys) and must tolerate being re-entered from them. Nothing here throws.

#ifndef ORVIK_CLIENT_CORE_TERMINAL_TYPING_H_
#define ORVIK_CLIENT_CORE_TERMINAL_TYPING_H_

#include <cstdint>
#include <string>

#include "screen_form.h"
#include "shell_services.h"
#include "terminal_renderer.h"

namespace orvik::client {

// The prefix that tells an application the password comes from a graphical client.
inline constexpr std::string_view kGuiPasswordPrefix = "<VBGUI>";

class TerminalTyping {
 public:
  TerminalTyping(ScreenForm& form, TerminalRenderer& renderer, ShellServices& shell)
      : form_(form), model_(form.Model()), renderer_(renderer), shell_(shell) {}

  // Form_KeyPress: `key` is the character's code (Latin-1). Returns the code the focused
  // control should receive: 0 when the character was consumed here.
  std::int32_t KeyPress(std::int32_t key);

  // The line typed since the last Enter or Tab: the user's own characters only.
  const std::string& TypedLine() const { return typedLine_; }
  // The terminal starts afresh (the form enters terminal mode).
  void Reset();

  // KeyHandedOn: the key code (Tab or Enter) the key dispatch already acted on; its
  // character is swallowed once.
  std::int32_t keyHandedOn = 0;

 private:
  ScreenForm& form_;
  ScreenModel& model_;
  TerminalRenderer& renderer_;
  ShellServices& shell_;
  std::string typedLine_;
  // The password prefix went with this line already: it is sent once per line, and being
  // no typed character it is never rubbed out.
  bool prefixSent_ = false;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TERMINAL_TYPING_H_
