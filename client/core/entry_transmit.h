// When an entry's value goes to the engine and the exact text sent: the validation of the
// entry left (EntryValidate), the got-focus of the next (EntryGotFocus), the transmission
// by screen kind (TxtTX, GuiPlusTx), command buttons, the change feedback of the controls,
// and the data-entry screen's File and screen-print buttons.
//
// GUI thread only. The widget form delivers a focus move as one call (FocusMoved), made
// from the event loop after the move, so the old control's validation runs before the new
// one's got-focus, as the original's message pump ran them. Every reply goes through the
// frame's Send; nothing here throws to the caller except the model's VbError for an entry
// outside EntryControls (the handlers that may meet one catch it).

#ifndef ORVIK_CLIENT_CORE_ENTRY_TRANSMIT_H_
#define ORVIK_CLIENT_CORE_ENTRY_TRANSMIT_H_

#include <cstdint>
#include <functional>
#include <string>

#include "entry_state.h"
#include "screen_parts.h"

namespace orvik::client {

inline constexpr const char* kCompleteGridRowBox = "Please complete grid row entry";
inline constexpr const char* kFilingRefusedBox =
    "Your information is not complete enough for filing or there is some other error "
    "preventing you from proceeding.  Check your entries and try again, or, as a last resort, "
    "quit.";

class EntryTransmit {
 public:
  EntryTransmit(ScreenParts& parts, EntryState& state) : p_(parts), s_(state) {}

  void EntryValidate(std::int32_t row);
  void EntryGotFocus(std::int32_t row);
  void TxtTX();
  std::string GuiPlusTx(std::int32_t entry, const std::string& text);

  // The focus reached entry `entry` (-1: a control that is no entry): the entry that had it
  // is validated, then the new one gets its got-focus.
  void FocusMoved(std::int32_t entry);
  // The user edited an entry's control: its value is now `text` (a check box: "0", "1").
  void EntryEdited(std::int32_t entry, const std::string& text);
  // cmdEntry_Click.
  void CommandClick(std::int32_t entry);

  // The function buttons of a data-entry screen.
  void FnFile();
  void FnScreenPrint();
  // Prints the form's image; empty until the printer is connected.
  std::function<void()> printForm;
  // The grid's entry got the focus (the grid decides which cell it enters).
  std::function<void()> gridEntryFocused;

 private:
  bool IsGridEntry(std::int32_t entry) const;
  void SendValue(const std::string& text, bool busy);
  std::int32_t NextOpenEntry(std::int32_t from);

  ScreenParts& p_;
  EntryState& s_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_ENTRY_TRANSMIT_H_
