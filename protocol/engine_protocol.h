// The engine-client protocol: every marker and tag that the engine writes into a session's
// output and that its hosts and the screen client read, in one place for both sides.
//
// A session's output is one text stream: terminal text, with markup for the screen client
// when the terminal type is VBGUI. A transmission ends with kEndOfTransmission. Tags are "<",
// a tag word, attributes separated by the character after the word (a blank or a comma),
// and ">"; readers find them without regard to case unless they say otherwise. Two markers
// are commands rather than screen text: kEndOfTransmission, and kPortDisconnect, which asks
// the host to hang up. A host served from another thread never reads the stream for the
// latter: the session tells it (HostHooks::hangUp), and the marker goes no further.
//
// Texts are the system's bytes, byte for byte; nothing here may change, since stored
// programs and applications write the same texts themselves. Header only; any thread.

#ifndef ORVIK_PROTOCOL_ENGINE_PROTOCOL_H_
#define ORVIK_PROTOCOL_ENGINE_PROTOCOL_H_

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace orvik::protocol {

// --- Markers -------------------------------------------------------------------------------

// Ends a transmission; the client acts on a screen once it has come.
inline constexpr std::string_view kEndOfTransmission = "</TX>";
// May open a transmission; Execute's framed answer starts after it.
inline constexpr std::string_view kStartOfTransmission = "<TX>";
// Output that asks the host to hang up; also what a waiting IInput receives when its session
// is told to stop.
inline constexpr std::string_view kPortDisconnect = "<&PORT_DISCONNECT>";
// At the very end of an Execute command (blanks after it allowed): sent without CR LF.
inline constexpr std::string_view kNoCr = "{NOCR}";

// --- Screens -------------------------------------------------------------------------------

// Terminal mode, and its drawing: the cursor and attribute tags TTag writes.
inline constexpr std::string_view kTerminal = "<TERMINAL>";
inline constexpr std::string_view kPosition = "<POSITION";
inline constexpr std::string_view kAtf = "<ATF";
// A form; "<FORMHE" begins its "<FORMHEADER>", which is no form of its own.
inline constexpr std::string_view kForm = "<FORM";
inline constexpr std::string_view kFormHeaderStart = "<FORMHE";
// What makes a FUNCTION form a real form.
inline constexpr std::string_view kProgram = "<PROGRAM";
// The form's TYPE attribute, each value after the tag's separator.
inline constexpr std::string_view kTypeMenu = "TYPE=MENU";
inline constexpr std::string_view kTypeFunction = "TYPE=FUNCTION";
inline constexpr std::string_view kTypeSearch = "TYPE=SEARCH";
inline constexpr std::string_view kTypeRefresh = "TYPE=REFRESH";
inline constexpr std::string_view kRefresh = "<REFRESH>";
// Screen forms stacked over the current one, and taken off again.
inline constexpr std::string_view kSubformOpen = "<SUBFORM>";
inline constexpr std::string_view kSubformClose = "</SUBFORM>";

// --- Settings, boxes, popups and grids -------------------------------------------------------

inline constexpr std::string_view kIni = "<INI";
inline constexpr std::string_view kStyle = "<STYLE";
inline constexpr std::string_view kMsgBox = "<MSGBOX";
inline constexpr std::string_view kPopup = "<POPUP";
inline constexpr std::string_view kPopupEnd = "</POPUP>";
// What the client puts in place of a popup block it took out.
inline constexpr std::string_view kDoPopup = "<DO_POPUP";
inline constexpr std::string_view kGridCell = "<GRIDCELL";
inline constexpr std::string_view kGridFill = "<GRIDFILL>";
inline constexpr std::string_view kGridFillEnd = "</GRIDFILL>";
inline constexpr std::string_view kData = "<DATA>";
inline constexpr std::string_view kActionCode = "<ACTIONCODE";
inline constexpr std::string_view kAddOn = "<ADDON>";
// A value the application changed under the user.
inline constexpr std::string_view kChange = "<&CHANGE>";

// --- Leaving --------------------------------------------------------------------------------

// The application's yes to the client's request to log off.
inline constexpr std::string_view kAppOffOk = "<APPOFF_OK>";
inline constexpr std::string_view kLogOffOk = "<LOGOFF_OK>";

// How many bytes at the end of `text` could be the start of the disconnect marker, which a
// session may write in pieces: those wait for the next piece to tell.
inline std::size_t PossibleDisconnectStart(std::string_view text) {
  for (std::size_t n = std::min(text.size(), kPortDisconnect.size() - 1); n > 0; --n) {
    if (text.substr(text.size() - n) == kPortDisconnect.substr(0, n)) return n;
  }
  return 0;
}

}  // namespace orvik::protocol

#endif  // ORVIK_PROTOCOL_ENGINE_PROTOCOL_H_
