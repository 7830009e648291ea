// The client's run-time settings: one object per client process, written from three
// sources in the same KEY=value form (OrvikLink.ini and the command line at start-up, and
// every INI tag the application sends) and read by every other part of the client.
//
// Everything here runs on the GUI thread. The parser (settings_parse.h) is the only writer
// of most fields; the few that other parts change while the client runs (the option menu's
// MONITOR and DEVMSG switches, the monitor's connect setting TIMEOUT, the form parser's
// DisplayMode, DECLAREGUI and APPPASSWORDPROMPT, the dispatcher's separators) are plain
// fields as well. Text is Latin-1 bytes, as everywhere in the client's core.

#ifndef ORVIK_CLIENT_CORE_CLIENT_SETTINGS_H_
#define ORVIK_CLIENT_CORE_CLIENT_SETTINGS_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvik::client {

// The keys besides F1 to F12 that a settings text can bind to a text sent to the engine.
enum class KeySlot { kUp, kDown, kLeft, kRight, kEsc, kPageUp, kPageDown, kHome, kEnd };
inline constexpr std::size_t kKeySlotCount = 9;
inline constexpr std::size_t kFunctionKeyCount = 12;

// What a key definition holds: "" (the key has no definition), the text to send (end-of-send
// text included), or kAltPrefix followed by that text (the definition applies only while Alt
// is held).
inline constexpr std::string_view kAltPrefix = "{ALT}+";

struct KeyDefinitions {
  std::array<std::string, kFunctionKeyCount> functionKeys;  // F1 is [0]
  std::array<std::string, kKeySlotCount> keys;

  std::string& operator[](KeySlot slot) { return keys[static_cast<std::size_t>(slot)]; }
  const std::string& operator[](KeySlot slot) const { return keys[static_cast<std::size_t>(slot)]; }
};

// The fields carry the settings' start-up values. Comments name the settings keys.
struct ClientSettings {
  // PATHHOME starts as `homeFolder` with '/' appended when it has none.
  explicit ClientSettings(std::string homeFolder = {});

  // The engine home the client's own session runs on, as given (no setting changes it).
  std::string engineHome;
  bool orvikEngine = true;          // ORVIKENGINE: the engine's CR/LF handling of received text
  std::string pathHome;             // PATHHOME: folder of OrvikLink.ini and the screen pictures
  std::string displayMode = "GUI";  // GUIMODE, upper-cased; start-up ends it as "TERMINAL"
  bool monitor = true;              // MONITOR: log the traffic
  bool devMsg = true;               // DEVMSG: show developer warning boxes
  // TIMEOUT, seconds: the longest wait for the rest of a transmission, and the base of the
  // screen's confirmation waits. It starts at the connection dialog's 4 seconds: at 0 every
  // form transmission would be taken as timed out.
  float timeout = 4.0f;
  bool trueColor = false;           // TRUECOLOR, TRUECOLOUR
  bool declareGui = false;          // DECLAREGUI
  std::string appPasswordPrompt;    // APPPASSWORDPROMPT
  std::string appPasswordError;     // APPPASSWORDERROR (kept, read nowhere)
  std::int32_t dialogLine = 23;     // DIALOGLINE: the terminal line of prompts and messages
  std::string searchTextAny;        // SEARCHTEXTANY
  std::string searchCustom;         // SEARCHCUSTOM
  std::string searchCustomCaption;  // SEARCHCUSTOMCAPTION
  std::string quitCommand = "Q";    // QUITCOMMAND
  std::string exitCommand = "X";    // EXITCOMMAND
  std::string appOff = "LO";        // APPOFF: the log-off command
  std::string appOffResponse = "< logged off at";  // APPOFFRESPONSE
  std::string rxDelimiter = "\\";                  // RXDELIMITER
  std::string rxDelimTerm = " - ";                 // RXDELIMTERM
  std::string guiPlusDelimiter = "|";              // GUIPLUSDELIMITER
  std::string eos = "\r";                          // EOS: end-of-send text of every reply
  bool vortel = false;                             // VORTEL (kept, read nowhere)
  std::string pageModel = "BALANCE";  // PAGEMODEL, GRIDPAGEMODEL, upper-cased (read nowhere)
  std::string check;                  // CHECK: ticked and unticked texts of a check box
  KeyDefinitions keyDefinitions;      // F1..F12, the cursor keys and their ALT+ forms

  // Not settings keys, but kept with them because the parsers read them: the separator of
  // tag attributes (a blank or ',') and the one inside POSITION and ATF tags.
  char tagSeparator = ' ';
  char positionSeparator = ' ';
};

// A folder as PATHHOME holds it: with a trailing '/' ("" gives "/").
std::string FolderWithSlash(std::string folder);

// The settings file, in PATHHOME.
inline constexpr const char* kSettingsFileName = "OrvikLink.ini";

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_CLIENT_SETTINGS_H_
