// The screen form's own bookkeeping of focus and pending input, shared by its handlers: the
// state machine, the menu, the key and character handlers and the form's life.
//
// Plain data of one screen form, GUI thread only.

#ifndef ORVIK_CLIENT_CORE_FORM_FOCUS_H_
#define ORVIK_CLIENT_CORE_FORM_FOCUS_H_

#include <cstdint>

namespace orvik::client {

struct FormFocus {
  bool formActive = false;            // FormActive: the window is the active one
  std::int32_t focusOnActivate = -1;  // FocusOnActivate: entry to focus at activation
  // FocusEntry: the entry that has (or is to get) the focus; on a menu the highlighted
  // item label.
  std::int32_t focusEntry = 0;
  bool focusByProgram = false;    // FocusByProgram: the focus moves by code, nothing is sent
  bool transmitPending = false;   // TransmitPending: a changed value waits to go out
  bool altSelectByKey = false;    // AltSelectByKey: Tab put a menu code in the selection box
  bool altSelectPending = false;  // AltSelectPending: the selection box was left
  bool gridConfirmSkip = false;   // GridConfirmSkip: the next validate event does nothing
  std::int32_t lastSentEntry = 0;  // LastSentEntry: the entry last transmitted
  // The engine answered the value last transmitted with an error box: it did not take it,
  // so the entry is not marked done, until a value goes out again.
  bool lastSentRefused = false;
};

// What a menu screen keeps between its draws and its handlers.
struct MenuState {
  std::int32_t menuLabelCount = 0;  // MenuLabelCount: item and heading labels in use
  std::int32_t et3LabelCount = 0;   // ET3LabelCount: narrative labels in use
  // SuppressNavigateClick: the navigation list is being changed by the draw, not the user.
  bool suppressNavigateClick = false;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_FORM_FOCUS_H_
