// The screen form's side of the conversation with the engine after each transmission
// (FormRXProcessMaster): it looks at msState once, does what the state asks (sends an
// entry's value or the rows of a multi-row entry, asks a message box and sends its answer,
// edits the grid, leaves the grid, recovers, logs off), and then redraws the screen by its
// kind in msFormState. Every reply goes through the frame's Send.
//
// One per screen form, GUI thread, called by the dispatcher through the form. Message boxes
// are modal and the information box lets pending events run, so the poll tick may run
// meanwhile; the busy flag stays set until the common end. Model errors (an entry control
// or action code outside its table) are thrown as VbError to the dispatcher, which steps
// the screen down to terminal mode. A server message naming a "software condition" ends
// the program, its engine port released first.

#ifndef ORVIK_CLIENT_CORE_SCREEN_CONVERSATION_H_
#define ORVIK_CLIENT_CORE_SCREEN_CONVERSATION_H_

#include <cstdint>

#include "screen_parts.h"

namespace orvik::client {

inline constexpr const char* kInvalidProtocolBox =
    "INVALID PROTOCOL = OrvikLink and Server conversation is not making sense.  WARNING, "
    "unstable state, suggest QUIT";
inline constexpr const char* kServerStopBox = "PROGRAM STOPPING due to server error:";
inline constexpr const char* kLoggedOffCleanlyBox =
    "You have neatly and cleanly logged off\r\nfrom your server.  TTFN";
inline constexpr const char* kUnfinishedBusinessBox =
    "Sorry, you can't leave yet as you have unfinished business still in the system.\r\n\r\n"
    "Can you go back and tidy up please?\r\n\r\n"
    "(Answering \"No\" below will crash you out and require supervisor help to get you going "
    "again)";

// What the state machine has the screen form do.
class ScreenActions {
 public:
  virtual ~ScreenActions() = default;
  virtual void MenuDraw() = 0;
  // The data-entry screen's layout.
  virtual void FunctionDraw() = 0;
  // The grid cell records applied to the grid.
  virtual void GridActionsDraw() = 0;
  // Opens a popup window for popup slot `slot` (not a terminal popup).
  virtual void OpenPopup(std::int32_t slot) = 0;
  virtual void PopupsClear() = 0;
  // The form unloads (the first screen form's unload ends the program).
  virtual void Unload() = 0;
};

class ScreenConversation {
 public:
  ScreenConversation(ScreenParts& parts, ScreenActions& actions) : p_(parts), actions_(actions) {}

  void FormRXProcessMaster();

  std::int32_t YesNoCount() const { return yesNoCount_; }

 private:
  // False when the method returns at once, without the common end.
  bool Dispatch(const std::string& s);
  void SendActionCode();
  void SendEntryRow();
  void GridEscape();
  bool GridStep();
  void MessageBoxError();
  void MessageBoxYesNo();
  void RestoreAfterBox();
  void Draw();
  void CommonEnd();

  ControlRecord& Entry(std::int32_t index);
  static std::string ValueOf(const ControlRecord& control);
  std::int32_t ActionOf(const ControlRecord& control) const;
  void Send(const std::string& text);
  void RenumberGridRows();

  ScreenParts& p_;
  ScreenActions& actions_;
  std::int32_t yesNoCount_ = 0;  // passes in a row that began in "MSGBOX_YESNO"
  std::int32_t entryRowFirst_ = 0;
  std::int32_t entryRowNext_ = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_SCREEN_CONVERSATION_H_
