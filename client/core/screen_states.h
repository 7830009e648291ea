// The screen form's side of the conversation with the engine: four state strings and the
// values every part of the client gives them.
//
// Plain data of one screen form, used on the GUI thread. The readers of the engine's
// transmissions set the states, the form's state machine acts on them, the input handlers
// set them again; they stay strings because the monitor shows them and the rules compare
// them as the texts below. "MSGBOX_" is followed by whatever TYPE a message-box tag gave
// ("ERROR", "INFO", "YESNO", or any other word).

#ifndef ORVIK_CLIENT_CORE_SCREEN_STATES_H_
#define ORVIK_CLIENT_CORE_SCREEN_STATES_H_

#include <array>
#include <string>
#include <string_view>

namespace orvik::client {

namespace state {
// msState (and, where marked, the other registers)
inline constexpr std::string_view kTerminal = "TERMINAL";  // also msFormState
inline constexpr std::string_view kFormActive = "FORM_ACTIVE";
inline constexpr std::string_view kFormSendActionCode = "FORM_SEND_ACTIONCODE";
inline constexpr std::string_view kFormEntryRows = "FORM_ENTRY_ROWS";
inline constexpr std::string_view kFormEntryErrorCorrection = "FORM_ENTRY_ERROR_CORRECTION";
inline constexpr std::string_view kGridUpdateRow = "GRID_UPDATE_ROW";
inline constexpr std::string_view kGridUpdateRowEnd = "GRID_UPDATE_ROW_END";
inline constexpr std::string_view kGridInsertRow = "GRID_INSERT_ROW";
inline constexpr std::string_view kGridDeleteRow = "GRID_DELETE_ROW";
inline constexpr std::string_view kGridVertical = "GRID_VERTICAL";
inline constexpr std::string_view kGridHorizontal = "GRID_HORIZONTAL";
inline constexpr std::string_view kGridVerticalConfirm = "GRID_VERTICAL_CONFIRM";
inline constexpr std::string_view kGridHorizontalConfirm = "GRID_HORIZONTAL_CONFIRM";
inline constexpr std::string_view kGridAddOn = "GRID_ADDON";
inline constexpr std::string_view kGridEscape = "GRID_ESCAPE";  // also msState2
inline constexpr std::string_view kMsgBoxPrefix = "MSGBOX_";
inline constexpr std::string_view kMsgBoxError = "MSGBOX_ERROR";
inline constexpr std::string_view kMsgBoxInfo = "MSGBOX_INFO";
inline constexpr std::string_view kMsgBoxYesNo = "MSGBOX_YESNO";  // also msState2
inline constexpr std::string_view kErrorFunction = "ERROR_FUNCTION";
inline constexpr std::string_view kRecovery = "RECOVERY";
inline constexpr std::string_view kAppOffRequested = "APPOFF_REQUESTED";
inline constexpr std::string_view kAppOffOk = "APPOFF_OK";
inline constexpr std::string_view kAppOffError = "APPOFF_ERROR";
inline constexpr std::string_view kSearch = "SEARCH";  // also msFormState
inline constexpr std::string_view kMenu = "MENU";      // also msFormState

// msFormState
inline constexpr std::string_view kFunction = "FUNCTION";
inline constexpr std::string_view kFunctionOpen = "FUNCTION_OPEN";
inline constexpr std::string_view kRefresh = "REFRESH";
inline constexpr std::string_view kUpdate = "UPDATE";
inline constexpr std::string_view kNominate = "NOMINATE";
inline constexpr std::string_view kNomNew = "NOM_NEW";

// msState2
inline constexpr std::string_view kRowsEnd = "ROWS_END";
inline constexpr std::string_view kQuit = "QUIT";
inline constexpr std::string_view kMsgBoxCrSent = "MSGBOX_CR_SENT";
inline constexpr std::string_view kExternalChange = "EXTERNAL_CHANGE";
inline constexpr std::string_view kPopup = "POPUP";
inline constexpr std::string_view kPopupFocus = "POPUP_FOCUS";
}  // namespace state

// Every value of msState besides "" and the "MSGBOX_" family.
inline constexpr std::array<std::string_view, 25> kConversationStates = {
    state::kTerminal,
    state::kFormActive,
    state::kFormSendActionCode,
    state::kFormEntryRows,
    state::kFormEntryErrorCorrection,
    state::kGridUpdateRow,
    state::kGridUpdateRowEnd,
    state::kGridInsertRow,
    state::kGridDeleteRow,
    state::kGridVertical,
    state::kGridHorizontal,
    state::kGridVerticalConfirm,
    state::kGridHorizontalConfirm,
    state::kGridAddOn,
    state::kGridEscape,
    state::kErrorFunction,
    state::kRecovery,
    state::kAppOffRequested,
    state::kAppOffOk,
    state::kAppOffError,
    state::kSearch,
    state::kMenu,
    state::kMsgBoxError,
    state::kMsgBoxInfo,
    state::kMsgBoxYesNo,
};

// Every value of msFormState besides "".
inline constexpr std::array<std::string_view, 9> kScreenKinds = {
    state::kTerminal, state::kMenu,     state::kFunction, state::kFunctionOpen, state::kRefresh,
    state::kUpdate,   state::kNominate, state::kNomNew,   state::kSearch,
};

// Every value of msState2 besides "".
inline constexpr std::array<std::string_view, 8> kSecondaryStates = {
    state::kRowsEnd,        state::kQuit,  state::kMsgBoxYesNo, state::kMsgBoxCrSent,
    state::kExternalChange, state::kPopup, state::kPopupFocus,  state::kGridEscape,
};

struct ScreenStates {
  std::string msState;          // the conversation state
  std::string msStatePrevious;  // the state to return to
  std::string msState2;         // a pending condition beside msState
  std::string msFormState;      // the kind of screen on show
  std::string msFormStatePrevious;

  // msStatePrevious "SEARCH" or "MSGBOX_YESNO" lets the screen's next validation pass
  // without sending: the pick list or the box already answered for the entry. Either
  // belongs to the screen it was shown on; a screen drawn anew must not inherit it, or its
  // first edits would go nowhere.
  void ForgetEntryGuards() {
    if (msStatePrevious == state::kSearch || msStatePrevious == state::kMsgBoxYesNo)
      msStatePrevious.clear();
  }
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_SCREEN_STATES_H_
