#include "rx_popups_extract.h"

#include <algorithm>

#include "engine_protocol.h"
#include "text.h"

namespace orvik::client {
namespace {

using protocol::kDoPopup;
using protocol::kEndOfTransmission;
using protocol::kPopup;
using protocol::kPopupEnd;

// Where a block that starts at `start` ends (one past its last character). Without its
// "</POPUP>" it stops two characters before the next "</TX>" (so the character just before
// "</TX>" stays in the text), or one before the end of the text. The end is looked for after
// the block's start, so the block always holds at least its own tag.
std::size_t BlockEnd(std::string_view text, std::size_t start, Dialogs& dialogs) {
  const std::size_t close = FindExact(text, kPopupEnd, start);
  if (close != std::string_view::npos) return close + kPopupEnd.size();
  dialogs.MessageBox("ERROR: Warning, missing end of transmission signal \"</POPUP>\"",
                     BoxButtons::kOk, BoxIcon::kExclamation);
  const std::size_t tx = FindNoCase(text, kEndOfTransmission, start);
  const std::size_t end = tx != std::string_view::npos ? tx - 1 : text.size() - 1;
  return std::max(end, start + kPopup.size());
}

}  // namespace

void RXPopupsExtract(std::string& text, PopupSlots& popups, Dialogs& dialogs) {
  std::size_t from = 0;
  for (std::int32_t i = 1; i <= PopupSlots::kSlots; ++i) {
    const std::size_t start = FindNoCase(text, kPopup, from);
    if (start == std::string::npos) return;
    const std::size_t end = BlockEnd(text, start, dialogs);
    popups.Set(i, text.substr(start, end - start));
    text.replace(start, end - start, std::string(kDoPopup) + " INDEX=" + std::to_string(i) + ">");
    from = start;
  }
}

}  // namespace orvik::client
