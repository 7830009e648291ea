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

#include <cstddef>
#include <string>
#include <string_view>

#include "screen_form.h"
#include "shell_context.h"

namespace orvik::client {

// True when it left `msRX` whole to wait for the rest of its transmission.
bool RXProcess(std::string& msRX, ScreenForm& top, ShellContext& shell);

// True when RXProcess would leave `msRX` as it is and change nothing, waiting for the rest of
// a transmission. Its first `checked` bytes are known to leave the wait as it is, and only
// the text from there on (and what a tag may straddle) is searched: the poll loop asks on
// every piece that arrives, and a large transmission in small pieces searched from its start
// each time would hold the client up for minutes. Out of terminal state the text must hold
// none of the tags that end a form's wait. In terminal state, whose rule looks at the whole
// text, the first `checked` bytes must be what RXProcess last left waiting (none checked: the
// answer is false), and what came since must hold nothing that could end that wait.
bool RXWaitsForRest(std::string_view msRX, std::size_t checked, const ScreenStates& states,
                    const ShellContext& shell);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_RX_PROCESS_H_
