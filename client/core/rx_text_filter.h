// The cleaning of received engine text before the screen draws it.
//
// Pure: reads ORVIKENGINE, RXDELIMITER, RXDELIMTERM and the tag separator from the settings
// and changes nothing. Called by the dispatcher on the GUI thread.

#ifndef ORVIK_CLIENT_CORE_RX_TEXT_FILTER_H_
#define ORVIK_CLIENT_CORE_RX_TEXT_FILTER_H_

#include <string>
#include <string_view>

#include "client_settings.h"

namespace orvik::client {

// The ATF code that a received backspace becomes in terminal text.
inline constexpr std::string_view kBackspaceTag = "<ATF @=-9>";

// `mode` is the top screen's state; only "TERMINAL" (exact case) is told apart. Outside it
// the text before the first "<FORM" + tag separator is dropped and line ends vanish; in it a
// CR LF becomes a CR and a CR right before "<POSITION," goes. Without ORVIKENGINE the text
// is rebuilt character by character, keeping only what the mode can draw.
std::string RxTextFilter(std::string_view rx, std::string_view mode,
                         const ClientSettings& settings);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_RX_TEXT_FILTER_H_
