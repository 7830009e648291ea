// Popup extraction: each POPUP block of a transmission ("<POPUP" through "</POPUP>") moves
// into the screen's popup slots, and a reference "<DO_POPUP INDEX=n>" takes its place, so
// the item parsers see where the block stood but never read the block's own tags.
//
// GUI thread; called by the dispatcher before a form or terminal text is parsed. A block
// without its "</POPUP>" is reported in a box and taken up to the end of the transmission.

#ifndef ORVIK_CLIENT_CORE_RX_POPUPS_EXTRACT_H_
#define ORVIK_CLIENT_CORE_RX_POPUPS_EXTRACT_H_

#include <string>

#include "dialogs.h"
#include "screen_model.h"

namespace orvik::client {

// Takes at most five blocks, in order, into slots 1 to 5; a sixth block stays in the text.
void RXPopupsExtract(std::string& text, PopupSlots& popups, Dialogs& dialogs);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_RX_POPUPS_EXTRACT_H_
