#include "form_keys.h"

#include "entry_controls.h"
#include "markup.h"
#include "numbers.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

bool IsAltForm(const std::string& definition) { return definition.starts_with(kAltPrefix); }
std::string AltText(const std::string& definition) { return definition.substr(kAltPrefix.size()); }

}  // namespace

bool FormKeys::KeyDown(std::int32_t keyCode, std::int32_t shift) {
  if (p_.shell.AwaitingReply()) return false;
  s_.enterPressed = false;
  inGuiPlusGrid_ = false;
  const ClientSettings& settings = p_.shell.Context().settings;
  const KeyDefinitions& keys = settings.keyDefinitions;
  const ScreenStates& st = p_.model.states;
  // Stage 1: the key table.
  if (keyCode >= vbkey::kF3 && keyCode <= vbkey::kF10) {
    const std::string& text = keys.functionKeys[static_cast<std::size_t>(keyCode - vbkey::kF1)];
    if (!text.empty()) Send(text);
    return false;
  }
  if (keyCode == vbkey::kF12) {
    if (shift == 1) {
      if (actions_.showMonitor) actions_.showMonitor();
      return true;
    }
    if (shift == 2) {
      // Replaying a file into the live session is a developer's tool only.
      if (settings.devMsg && actions_.replay) actions_.replay();
      return false;
    }
    if (actions_.popupsClear) actions_.popupsClear();
    return false;
  }
  if (keyCode == vbkey::kF11 || keyCode == vbkey::kF2 || keyCode == vbkey::kF1) {
    const std::string& text = keys.functionKeys[static_cast<std::size_t>(keyCode - vbkey::kF1)];
    if (!text.empty()) {
      Send(text);
    } else if (keyCode == vbkey::kF11) {
      if (actions_.printForm) actions_.printForm();
    } else if (keyCode == vbkey::kF2) {
      if ((!settings.searchTextAny.empty() || !settings.searchCustom.empty()) &&
          actions_.searchButton)
        actions_.searchButton();
    }
    return false;
  }
  Next next = Next::kStage2;
  if (keyCode == vbkey::kDown || keyCode == vbkey::kUp) {
    next = ArrowVertical(keyCode, shift,
                         keys[keyCode == vbkey::kDown ? KeySlot::kDown : KeySlot::kUp]);
  } else if (keyCode == vbkey::kLeft || keyCode == vbkey::kRight) {
    next = ArrowHorizontal(keyCode, shift,
                           keys[keyCode == vbkey::kLeft ? KeySlot::kLeft : KeySlot::kRight]);
  } else if (keyCode == vbkey::kEsc) {
    if (st.msState == state::kTerminal && !keys[KeySlot::kEsc].empty()) {
      Send(keys[KeySlot::kEsc]);
      return false;
    }
  } else if (keyCode >= vbkey::kPageUp && keyCode <= vbkey::kHome) {
    const KeySlot slot = keyCode == vbkey::kPageUp     ? KeySlot::kPageUp
                         : keyCode == vbkey::kPageDown ? KeySlot::kPageDown
                         : keyCode == vbkey::kHome     ? KeySlot::kHome
                                                       : KeySlot::kEnd;
    const std::string& definition = keys[slot];
    if (IsAltForm(definition)) {
      if (shift == 4) Send(AltText(definition));
    } else if (!definition.empty()) {
      Send(definition);
    }
    return false;
  }
  if (next == Next::kDone) return false;
  if (next == Next::kConsumed) return true;
  // Stage 2: modifiers.
  // Only the terminal's line takes control characters. Elsewhere the engine is reading a value
  // for the screen, which a stray control character would become part of: the key is left
  // to the focused control (Ctrl+A selects a text box's text, Ctrl+C copies it).
  if (shift == 2 && keyCode >= 65 && keyCode <= 91 && st.msState == state::kTerminal) {
    Send(std::string(1, static_cast<char>(keyCode - 64)));
    return true;
  }
  if (shift == 4) {
    if (st.msFormState == state::kMenu || st.msState == state::kTerminal) return false;
    if (AltJump(keyCode)) return true;
    const bool named =
        (keyCode >= '0' && keyCode <= '9') || keyCode == vbkey::kMinus || keyCode == vbkey::kEquals;
    if (!named) return false;
  }
  // Stage 3: the grid's keys; stage 4: menu Tab.
  if (st.msFormState != state::kMenu && grid_ && grid_->InEntry()) {
    try {
      const GridKeys::Next grid = grid_->RowKeys(keyCode, shift, inGuiPlusGrid_);
      if (grid == GridKeys::Next::kDone) return false;
      if (grid == GridKeys::Next::kConsumed) {
        typing_.keyHandedOn = keyCode;
        return true;
      }
    } catch (const VbError&) {
      return true;  // a grid that no longer holds its cursor: the key goes nowhere
    }
  }
  if (st.msFormState == state::kMenu) {
    if (keyCode == vbkey::kTab && menu_.Tab(shift)) {
      typing_.keyHandedOn = vbkey::kTab;
      return true;
    }
  }
  return TabEnter(keyCode, shift);
}

FormKeys::Next FormKeys::ArrowVertical(std::int32_t& keyCode, std::int32_t& shift,
                                       const std::string& definition) {
  if (p_.controls.gridRow[0].visible) return Next::kStage2;
  if (IsAltForm(definition)) {
    if (shift == 4) {
      Send(AltText(definition));
      return Next::kDone;
    }
  } else if (grid_ && grid_->InGuiPlusEntry()) {
    if (grid_->VerticalArrow(keyCode, shift)) return Next::kDone;
    inGuiPlusGrid_ = true;  // the changed cell goes out as Tab sends it
  } else if (!definition.empty()) {
    Send(definition);
    return Next::kDone;
  }
  const ScreenStates& st = p_.model.states;
  if (st.msFormState != state::kMenu && st.msState != state::kTerminal &&
      HasEntryControl(p_.controls, p_.focus.focusEntry) &&
      p_.model.entrySpec.Get(RowOfEntry(p_.controls, p_.focus.focusEntry), 1) == "COMBO")
    return Next::kDone;  // the combo box's own list moves
  shift = keyCode == vbkey::kDown ? 0 : 1;
  keyCode = vbkey::kTab;
  return Next::kStage2;
}

FormKeys::Next FormKeys::ArrowHorizontal(std::int32_t& keyCode, std::int32_t& shift,
                                         const std::string& definition) {
  if (shift == 0 && p_.model.states.msState != state::kTerminal) return Next::kStage2;
  if (IsAltForm(definition)) {
    if (shift == 4) {
      Send(AltText(definition));
      return Next::kDone;
    }
    return Next::kStage2;
  }
  if (grid_ && grid_->InGuiPlusEntry()) {
    if (grid_->HorizontalArrow(keyCode, shift)) return Next::kDone;
    keyCode = vbkey::kEnter;  // the changed cell goes out first
    shift = 0;
    inGuiPlusGrid_ = true;
    return Next::kStage2;
  }
  if (!definition.empty()) {
    Send(definition);
    return Next::kDone;
  }
  return Next::kStage2;
}

bool FormKeys::AltJump(std::int32_t keyCode) {
  std::int32_t n;
  if (keyCode >= '1' && keyCode <= '9') {
    n = keyCode - '0';
  } else if (keyCode == '0') {
    n = 10;
  } else if (keyCode == vbkey::kMinus) {
    n = 11;
  } else if (keyCode == vbkey::kEquals) {
    n = 12;
  } else {
    return false;
  }
  // Entry i's own control names its row, whatever kind of control the entries before it are.
  for (std::int32_t i = 1; i <= p_.model.items.lastEntryNumber; ++i) {
    if (!HasEntryControl(p_.controls, i)) continue;
    const ControlRecord& control = EntryControl(p_.controls, i);
    const std::string& action = p_.model.entrySpec.Get(LongOf(control.tag), 2);
    if (action.empty() || Val(action) != n || !control.enabled || !control.visible) continue;
    if (p_.focus.formActive) {
      p_.window.FocusEntryControl(i);
    } else {
      p_.focus.focusOnActivate = i;
    }
    return true;
  }
  return false;
}

std::int32_t FormKeys::Step(std::int32_t from, std::int32_t direction) {
  const std::int32_t last = p_.model.items.lastEntryNumber;
  const auto next = [&](std::int32_t k) {
    k += direction;
    if (k < 1) return last;
    if (k > last) return 1;
    return k;
  };
  std::int32_t k = from;
  for (std::int32_t step = 0; step <= last; ++step) {
    k = next(k);
    if (HasEntryControl(p_.controls, k)) {
      const ControlRecord& control = EntryControl(p_.controls, k);
      if (control.enabled && control.visible) return k;
    }
  }
  return next(from);
}

bool FormKeys::TabEnter(std::int32_t keyCode, std::int32_t shift) {
  const ScreenStates& st = p_.model.states;
  // A menu rests in FORM_ACTIVE too, but has no entries: its Enter is the selection's OK.
  if (!((keyCode == vbkey::kTab || keyCode == vbkey::kEnter) &&
        (st.msState.starts_with("FORM") || st.msState == "MSGBOX_OKONLY")) ||
      st.msFormState == state::kMenu) {
    typing_.keyHandedOn = 0;
    return false;
  }
  FormFocus& focus = p_.focus;
  try {
    if (st.msFormState == state::kNominate || st.msFormState == state::kNomNew) {
      tx_.EntryValidate(RowOfEntry(p_.controls, focus.focusEntry));
      tx_.TxtTX();
      focus.gridConfirmSkip = true;
      typing_.keyHandedOn = 0;
      return true;
    }
    std::int32_t target = focus.focusEntry;
    const bool back = keyCode == vbkey::kTab && shift == 1;
    const bool forward = !back && (keyCode == vbkey::kEnter || shift == 0);
    if (inGuiPlusGrid_ && grid_ && (back || forward)) {
      // Within a GUIPLUS row an unchanged cell passes the cursor on; a changed one is sent.
      if (grid_->Across(back ? -1 : +1)) {
        typing_.keyHandedOn = 0;
        return true;
      }
    } else if (back) {
      target = Step(focus.focusEntry, -1);
    } else if (forward) {
      target = Step(focus.focusEntry, +1);
    }
    tx_.EntryValidate(RowOfEntry(p_.controls, focus.focusEntry));
    if (focus.formActive) {
      if (!p_.window.FocusEntryControl(target)) return true;
    } else {
      focus.focusOnActivate = target;
    }
    if (p_.model.entrySpec.Get(RowOfEntry(p_.controls, target), 1) != "COMMAND" ||
        keyCode == vbkey::kEnter) {
      s_.enterPressed = keyCode == vbkey::kEnter;
      tx_.TxtTX();
      s_.enterPressed = false;
    }
    focus.focusEntry = target;
  } catch (const VbError&) {
    // From the move on, errors are ignored: the key stays consumed.
  }
  typing_.keyHandedOn = 0;
  return true;
}

}  // namespace orvik::client
