// The dispatcher of received transmissions: decides whether the pending received text is
// complete enough to act on, applies the settings and styles it carries, classifies it by
// its tags and the top screen's state, hands it to the matching reader, sets the screen's
// states and has the screen act on them.
//
// GUI thread; called by the poll loop on every tick with the main form's pending text, and
// by the screen's file replay. The text is left untouched while the dispatcher waits for the
// rest of a transmission (at most TIMEOUT seconds of PollCounter) and emptied when it is
// consumed. It never throws: any error inside the dispatch, the readers or the screen's own
// members is shown in a box, and "<TERMINAL>" is put in front of the pending text, so that
// the next tick steps the screen down to terminal mode.

#ifndef ORVIK_CLIENT_CORE_RX_PROCESS_H_
#define ORVIK_CLIENT_CORE_RX_PROCESS_H_

#include <string>

#include "screen_form.h"
#include "shell_context.h"

namespace orvik::client {

void RXProcess(std::string& msRX, ScreenForm& top, ShellContext& shell);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_RX_PROCESS_H_
