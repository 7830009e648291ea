// The closing steps of a data-entry draw: which entries are open, which is marked done and
// which gets the focus, what the function buttons offer, and the navigation history.

#include "colours.h"
#include "entry_controls.h"
#include "form_layout.h"
#include "markup.h"
#include "numbers.h"

namespace orvik::client {

std::int32_t FunctionLayout::EntryType(std::int32_t entry) {
  return LongOf(p_.model.entrySpec.Get(RowOfEntry(p_.controls, entry), 3));
}

bool FunctionLayout::Enterable(std::int32_t entry) {
  const std::int32_t row = RowOfEntry(p_.controls, entry);
  return Val(p_.model.entrySpec.Get(row, 3)) >= 0 && Val(p_.model.entrySpec.Get(row, 9)) < 80;
}

void FunctionLayout::EntryProgress() {
  ScreenModel& m = p_.model;
  ScreenStates& st = m.states;
  FormControls& c = p_.controls;
  FormFocus& focus = p_.focus;
  if (st.msState2 == state::kMsgBoxCrSent) {
    if (HasEntryControl(c, focus.lastSentEntry))
      EntryControl(c, focus.lastSentEntry).backColour = QBColor(14);
    if (!m.items.focusRequest) m.items.miEntryNew = focus.lastSentEntry;
  }
  const bool open = st.msFormState == state::kUpdate || st.msFormState == state::kFunctionOpen;
  if (open) {
    if (st.msFormState == state::kFunctionOpen || st.msFormStatePrevious == state::kUpdate) {
      c.fnExit.enabled = false;
      c.fnExit.isCancel = false;
      c.fnQuit.enabled = true;
      c.fnQuitIsCancel = true;
      c.fnFile.enabled = true;
      c.fnFile.caption = "&File";
    }
    StepOpen();
  }
  if (st.msFormState == state::kNomNew && st.msFormStatePrevious != state::kNomNew) {
    c.fnQuit.enabled = true;
    c.fnFile.enabled = true;
    c.fnFile.caption = "OK";
    c.fnExit.enabled = false;
  }
  DoneMarks();
  if (open) {
    FocusOpenScreen();
  } else if (st.msFormState == state::kFunction || st.msFormState == state::kRefresh ||
             st.msFormState == state::kNomNew) {
    FocusNewScreen();
  }
}

void FunctionLayout::StepOpen() {
  ScreenModel& m = p_.model;
  ItemParserState& items = m.items;
  ScreenStates& st = m.states;
  const std::int32_t last = items.lastEntryNumber;
  const auto disableAll = [&] {
    if (st.msFormState != state::kFunctionOpen) return;
    for (std::int32_t k = 0; k <= last; ++k) {
      if (HasEntryControl(p_.controls, k)) EntryControl(p_.controls, k).enabled = false;
    }
  };
  if (items.openType.empty()) {
    items.openCount = last;
  } else if (items.focusRequest) {
    disableAll();
    if (items.miEntryNew > items.openCount) items.openCount = items.miEntryNew;
  } else if (p_.focus.lastSentEntry == last) {
    items.openType.clear();
  } else if (p_.focus.lastSentEntry >= items.openCount) {
    disableAll();
    bool found = false;
    while (items.openCount < last) {
      ++items.openCount;
      if (HasEntryControl(p_.controls, items.openCount) && Enterable(items.openCount)) {
        found = true;
        break;
      }
    }
    if (found) {
      items.miEntryNew = items.openCount;
      items.focusRequest = true;
    } else {
      items.openCount = last;
    }
  }
  firstOpenFound_ = false;
  firstOpen_ = 0;
  for (std::int32_t k = 1; k <= items.openCount && k <= last; ++k) {
    if (!HasEntryControl(p_.controls, k)) continue;
    ControlRecord& control = EntryControl(p_.controls, k);
    control.enabled = EntryType(k) >= 0 && Val(m.entrySpec.Get(LongOf(control.tag), 3)) >= 0;
    if (control.enabled && !firstOpenFound_) {
      firstOpenFound_ = true;
      firstOpen_ = k;
    }
  }
  if (st.msFormStatePrevious == state::kNomNew && !s_.newFormStarted) {
    for (std::int32_t k = 1; k <= last; ++k) {
      if (!HasEntryControl(p_.controls, k)) continue;
      ControlRecord& control = EntryControl(p_.controls, k);
      control.backColour = PlainColour(control);
    }
    s_.lastHighlighted = -1;
  }
  if (st.msFormState == state::kUpdate && st.msFormStatePrevious == state::kNominate) {
    if (HasEntryControl(p_.controls, p_.focus.focusEntry))
      EntryControl(p_.controls, p_.focus.focusEntry).enabled = false;
    p_.focus.focusEntry = firstOpen_;
  }
}

// Only a value the engine took is marked done: none on a screen just begun, where the entry
// last transmitted belongs to the screen before, and not one the engine refused.
void FunctionLayout::DoneMarks() {
  const std::string& mode = Style(2);
  if (mode != "STEP" && mode != "TRAIL") return;
  if (s_.newFormStarted || p_.focus.lastSentRefused) return;
  FormControls& c = p_.controls;
  if (mode == "STEP" && s_.lastHighlighted >= 0 && HasEntryControl(c, s_.lastHighlighted)) {
    ControlRecord& before = EntryControl(c, s_.lastHighlighted);
    before.backColour = PlainColour(before);
  }
  const std::int32_t current = p_.focus.lastSentEntry;
  if (!HasEntryControl(c, current)) return;
  EntryControl(c, current).backColour = kDoneGreen;
  s_.lastHighlighted = current;
}

void FunctionLayout::FocusOpenScreen() {
  ScreenModel& m = p_.model;
  FormFocus& focus = p_.focus;
  ItemParserState& items = m.items;
  if (m.layout.mbGuiPlus && items.focusRequest && LongOf(m.grid.tag) == items.miEntryNew) {
    focus.focusEntry = items.miEntryNew;
    if (gridCellEnter) gridCellEnter();
    return;
  }
  if (m.states.msState != state::kGridUpdateRowEnd && items.focusRequest) {
    focus.focusEntry = items.miEntryNew;
    items.focusRequest = false;
  }
  if (!IsScreenEntry(p_.controls, focus.focusEntry)) return;
  EntryControl(p_.controls, focus.focusEntry).visible = true;
  p_.window.ControlsChanged();
  GiveFocus(focus.focusEntry);
}

// The keyboard goes to the entry whenever the screen is drawn: a window that is active
// already gets no activation that would bring it later, and one that is not takes it to the
// entry when it becomes active.
void FunctionLayout::GiveFocus(std::int32_t entry) {
  p_.window.FocusEntryControl(entry);
  if (!p_.focus.formActive) p_.focus.focusOnActivate = entry;
}

void FunctionLayout::FocusNewScreen() {
  ScreenModel& m = p_.model;
  FormFocus& focus = p_.focus;
  const std::int32_t target = m.items.miEntryNew;
  focus.focusEntry = target;
  if (!IsScreenEntry(p_.controls, target)) return;
  if (m.layout.mbGuiPlus && m.items.focusRequest && LongOf(m.grid.tag) == target) {
    if (gridCellEnter) gridCellEnter();
  } else {
    focus.focusByProgram = true;
    ControlRecord& control = EntryControl(p_.controls, target);
    control.enabled = true;
    control.visible = true;
    p_.window.ControlsChanged();
    focus.focusByProgram = false;
  }
  if (m.states.msState2 != state::kExternalChange) GiveFocus(target);
  if (m.states.msFormState == state::kFunction || m.states.msFormState == state::kRefresh)
    focus.lastSentEntry = focus.focusEntry;
}

void FunctionLayout::NavigationHistory() {
  const ScreenStates& st = p_.model.states;
  if (!(st.msFormState == state::kFunction ||
        (st.msFormState == state::kFunctionOpen && !isSubform_())))
    return;
  const std::string text = p_.controls.formHeader[1].caption + ", " + p_.model.layout.msPickProgram;
  MenuControls& menu = p_.controls.menu;
  p_.history.ScreenShown(text, menu.navigate, menu.back, menu.forward);
}

}  // namespace orvik::client
