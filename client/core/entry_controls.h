// The entry controls of a data-entry screen: which control an entry gets (CtlEntrySet), how
// a value from the engine is put into it (EntryValueSet, ComboListSet), and the reading of
// a control's value as the entry handlers send it.
//
// GUI thread only, on one screen form's parts. Entry numbers index the form's
// EntryControls; a number outside it is subscript error 9 (VbError), as the form's control
// arrays raised it. Texts are Latin-1 bytes.

#ifndef ORVIK_CLIENT_CORE_ENTRY_CONTROLS_H_
#define ORVIK_CLIENT_CORE_ENTRY_CONTROLS_H_

#include <cstdint>
#include <string>

#include "colours.h"
#include "engine_protocol.h"
#include "entry_state.h"
#include "screen_parts.h"

namespace orvik::client {

// The system's button face, as the client draws it.
inline constexpr std::int32_t kButtonFace = Rgb(212, 208, 200);
// An entry the engine accepted, when the style marks entries done.
inline constexpr std::int32_t kDoneGreen = Rgb(128, 255, 128);
inline constexpr std::int32_t kEntryWhite = Rgb(255, 255, 255);
// A value marked as set by the engine itself.
inline constexpr std::string_view kChangeMark = protocol::kChange;

// EntryControls(entry); VbError 9 outside it.
ControlRecord& EntryControl(FormControls& controls, std::int32_t entry);
bool HasEntryControl(const FormControls& controls, std::int32_t entry);
// Whether the entry is one of the screen's: element 0 is where the form keeps its unused
// controls, unless the screen's first entry (a NOMINATE entry of code 0) is numbered 0.
bool IsScreenEntry(const FormControls& controls, std::int32_t entry);
// The control's default value: a check box's 0, 1 or 2, any other control's text.
std::string ControlValue(const ControlRecord& control);
// The colour of an entry that is neither worked on nor done.
std::int32_t PlainColour(const ControlRecord& control);
// The EntrySpec row of the entry's control (its Tag).
std::int32_t RowOfEntry(const FormControls& controls, std::int32_t entry);

// CtlEntrySet: entry `entry` of EntrySpec row `row` takes the next element of the control
// array of its type; other item types change nothing.
void CtlEntrySet(ScreenParts& p, EntryState& s, std::int32_t row, std::int32_t entry);
// EntryValueSet: a value from the engine into the entry's control; a code-and-description
// value shows its code and, in the description label, its description.
void EntryValueSet(ScreenParts& p, EntryState& s, const std::string& value, std::int32_t entry);
// ComboListSet: a combo's text, or (for a value holding GUIPLUSDELIMITER) its text and
// list.
void ComboListSet(ScreenParts& p, std::string spec, std::int32_t entry);
// The description label (lblET3) of the entry, loaded on first use.
ControlRecord& DescriptionLabel(ScreenParts& p, EntryState& s, std::int32_t entry);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_ENTRY_CONTROLS_H_
