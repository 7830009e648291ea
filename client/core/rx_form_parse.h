// The form tag parser: prepares the top screen form for a received form, menu or terminal
// text. It clears the item table when a new screen starts, reads the FORM tag's attributes
// into the form's layout, and then turns a menu's tags into item rows itself, hands any
// other form to the form item parser, or, in terminal state, hands the text over for
// terminal drawing.
//
// GUI thread; called by the dispatcher after the popup blocks have been taken out. It sets
// the shell's tag and position separators, and a real form ends the application's password
// dialogue (APPPASSWORDPROMPT is cleared, DECLAREGUI switched off). Errors of the item
// parser reach the caller.

#ifndef ORVIK_CLIENT_CORE_RX_FORM_PARSE_H_
#define ORVIK_CLIENT_CORE_RX_FORM_PARSE_H_

#include <string_view>

#include "screen_model.h"
#include "shell_context.h"

namespace orvik::client {

// The first "<FORM" of `text` that is a FORM tag (not the start of "<FORMHEADER"), found
// without regard to case; npos when there is none.
std::size_t FindFormTag(std::string_view text);

// `text` is not changed.
void RXFormParse(std::string_view text, ScreenModel& model, ShellContext& shell);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_RX_FORM_PARSE_H_
