// The data-entry screen's draw (FunctionDraw): a new screen (FUNCTION, REFRESH) is reset to
// an empty page with its button row and background, an update keeps what is on the form;
// then every EntrySpec row flagged as changed is placed on the 80 x 26 raster (labels, entry
// controls, the form header, popups), the entries are opened step by step, coloured and
// focused, the function buttons set, the screen recorded in the navigation history, and the
// screen kind moved on so that the next transmission reads as an update of this screen.
//
// GUI thread only, called by the state machine through the form; it sends nothing. A
// failing statement (a VbError of the model or controls) is reported in a box and the draw
// goes on with the next; the third failure in one draw ends it there. Boxes are modal, so
// the poll loop may run inside the draw: FocusByProgram and NavBusy tell the handlers.

#ifndef ORVIK_CLIENT_CORE_FORM_LAYOUT_H_
#define ORVIK_CLIENT_CORE_FORM_LAYOUT_H_

#include <cstdint>
#include <functional>
#include <string>

#include "entry_state.h"
#include "screen_parts.h"

namespace orvik::client {

inline constexpr const char* kDrawErrorFirst =
    "This form is now in an unstable state and you should try to quit or exit.  If you "
    "attempt to continue data entry, proceed carefully and do NOT repeat your last action, "
    "your data should be OK if it survives the next 3 or 4 entry steps.";
inline constexpr const char* kNominateLockWarning =
    "DEVELOPER's WARNING: Contradiction here, don't go locking your NOMINATE entry with an "
    "ETYPE=0, these specs are incompatible and OrvikLink is now rejecting your ETYPE=0 and "
    "unlocking the first entry field.";

class FunctionLayout {
 public:
  // `openPopup` opens a popup window for a popup slot; `isSubform` tells whether this form
  // is a sub-form (the history records only the bottom form's screens).
  FunctionLayout(ScreenParts& parts, EntryState& state, std::function<void(std::int32_t)> openPopup,
                 std::function<bool()> isSubform)
      : p_(parts), s_(state), openPopup_(std::move(openPopup)), isSubform_(std::move(isSubform)) {}

  void FunctionDraw();
  // GridCellEnter, for a GUIPLUS screen whose focus goes to a grid cell.
  std::function<void()> gridCellEnter;

  // LinePitch: one line of a data-entry screen, in twips.
  double LinePitch() const { return p_.shell.CellHeight() * 1.1; }

 private:
  // Runs one statement of the draw under its error handler; false when the draw must end.
  bool Step(const std::function<void()>& statement);
  void Reset();
  void PlaceFunctionButtons(double top);
  void ItemPass();
  void PlaceLabel(std::int32_t row);
  void PlaceEntry(std::int32_t row);
  void PlaceEntryValue(std::int32_t row, std::int32_t entry, const std::string& value);
  void PlaceFormHeader(std::int32_t row);
  void FirstTransition();
  void SecondTransition();
  // Entry progress after the items are placed.
  void EntryProgress();
  void StepOpen();
  void DoneMarks();
  void FocusOpenScreen();
  void FocusNewScreen();
  void GiveFocus(std::int32_t entry);
  void NavigationHistory();
  bool Enterable(std::int32_t entry);
  std::int32_t EntryType(std::int32_t entry);
  const std::string& Style(std::size_t position) const;

  ScreenParts& p_;
  EntryState& s_;
  std::function<void(std::int32_t)> openPopup_;
  std::function<bool()> isSubform_;
  int errors_ = 0;
  bool firstOpenFound_ = false;
  std::int32_t firstOpen_ = 0;
  bool gridColumnPlaced_ = false;  // the item pass placed a GRIDCOL: the grid gets closed
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_FORM_LAYOUT_H_
