#include "entry_transmit.h"

#include <chrono>

#include "entry_controls.h"
#include "markup.h"
#include "numbers.h"
#include "search_list.h"
#include "string_works.h"
#include "text.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

// Engine output polled at this step while the File button waits.
constexpr auto kFileWaitStep = std::chrono::milliseconds(20);

}  // namespace

bool EntryTransmit::IsGridEntry(std::int32_t entry) const {
  return p_.model.grid.tag == std::to_string(entry);
}

void EntryTransmit::EntryValidate(std::int32_t row) {
  ScreenModel& m = p_.model;
  ScreenStates& st = m.states;
  FormFocus& focus = p_.focus;
  const std::int32_t n = LongOf(m.entrySpec.Get(row, 10));
  focus.transmitPending = false;
  if (focus.focusByProgram || st.msState2 == state::kPopupFocus) return;
  if (st.msState2 == state::kMsgBoxCrSent && st.msFormState != state::kUpdate) return;
  if (st.msState2 == state::kGridEscape && IsGridEntry(n)) {
    st.msState2.clear();
    focus.gridConfirmSkip = false;
    return;
  }
  if (focus.gridConfirmSkip) {
    focus.gridConfirmSkip = false;
    return;
  }
  if (st.msState == state::kSearch || st.msStatePrevious == state::kSearch ||
      st.msStatePrevious == state::kMsgBoxYesNo) {
    // The guard lets one validation pass, the one the pick list or the box stood for; kept,
    // it would swallow every edit after it.
    st.ForgetEntryGuards();
    focus.transmitPending = false;
    return;
  }
  focus.transmitPending = true;
  s_.pendingEntry = n;
}

void EntryTransmit::EntryGotFocus(std::int32_t row) {
  ScreenModel& m = p_.model;
  ScreenStates& st = m.states;
  FormFocus& focus = p_.focus;
  if (st.msFormState == state::kFunctionOpen || focus.focusByProgram || st.msState2 == state::kQuit)
    return;
  const std::int32_t n = LongOf(m.entrySpec.Get(row, 10));
  if (!HasEntryControl(p_.controls, n)) return;
  if (focus.transmitPending) TxtTX();
  s_.pendingEntry = n;
  if (st.msState != state::kFormActive && st.msState != state::kFormSendActionCode) {
    const std::int32_t gridEntry = LongOf(m.grid.tag);
    if (st.msState.compare(0, 4, "GRID") != 0 || n == gridEntry || focus.gridConfirmSkip ||
        !HasEntryControl(p_.controls, gridEntry) || !EntryControl(p_.controls, gridEntry).visible)
      return;
    if (st.msState2 == state::kPopupFocus) {
      st.msState2.clear();
    } else if (st.msState2 != state::kMsgBoxCrSent) {
      p_.shell.Context().dialogs.MessageBox(kCompleteGridRowBox, BoxButtons::kOk,
                                            BoxIcon::kExclamation);
    }
    focus.focusByProgram = true;
    if (!focus.formActive) {
      focus.focusOnActivate = gridEntry;
      return;
    }
    p_.window.FocusEntryControl(gridEntry);
    p_.ProcessEventsOnce();
    focus.focusByProgram = false;
    return;
  }
  focus.focusEntry = n;
  // Whole-text selection and the grid's own cell entry belong to the widgets and the grid.
  ControlRecord& control = EntryControl(p_.controls, n);
  control.selectAll = true;
  FormControls& c = p_.controls;
  if (m.entrySpec.Get(row, 1) == "GRID" && gridEntryFocused) gridEntryFocused();
  if (m.entrySpec.Get(row, 1) != "GRID" && c.gridRow[0].visible) {
    for (ControlRecord& button : c.gridRow) button.visible = false;
  }
}

void EntryTransmit::SendValue(const std::string& text, bool busy) {
  if (busy) {
    p_.shell.SetAwaitingReply(true);
    p_.shell.SetBusyPointer(true);
  }
  p_.focus.lastSentRefused = false;
  p_.shell.Send(text);
}

void EntryTransmit::TxtTX() {
  ScreenModel& m = p_.model;
  ScreenStates& st = m.states;
  FormFocus& focus = p_.focus;
  const ClientSettings& settings = p_.shell.Context().settings;
  EntrySpecTable& spec = m.entrySpec;
  focus.transmitPending = false;
  const std::int32_t entry = s_.pendingEntry;
  if (entry > m.items.lastEntryNumber || !HasEntryControl(p_.controls, entry)) return;
  ControlRecord& control = EntryControl(p_.controls, entry);
  const std::int32_t r = LongOf(control.tag);
  std::string v = ControlValue(control);
  const std::string type = spec.Get(r, 1);
  const bool gridEntry = type == "GRID";
  const bool guiPlus = gridEntry ? m.layout.msGridType == "GUIPLUS" : m.layout.mbGuiPlus;
  const std::string stored = spec.Get(r, 4);
  const std::string& sep = settings.guiPlusDelimiter;
  const std::string& rx = settings.rxDelimiter;
  const auto holds = [](const std::string& text, const std::string& what) {
    return !what.empty() && text.find(what) != std::string::npos;
  };
  std::string current;
  bool changed = false;
  if (type == "COMMAND") {
    current = v;
  } else if (type == "COMBO") {
    if (holds(stored, sep)) {
      current = std::string(TextBefore(stored, sep));
      changed = current != v;
      if (changed) spec.Set(r, 4, v + sep + std::string(TextAfter(stored, sep)));
    } else if (holds(stored, rx)) {
      current = std::string(TextBefore(stored, rx));
      changed = current != v;
      // The narrative stays behind RXDELIMITER, where it came from: behind GUIPLUSDELIMITER
      // the next transmission would read it back as a list.
      if (changed) spec.Set(r, 4, v + rx + std::string(TextAfter(stored, rx)));
    } else {
      current = stored;
      changed = current != v;
      if (changed) spec.Set(r, 4, v);
    }
  } else {
    current = holds(stored, rx) ? std::string(TextBefore(stored, rx)) : stored;
    changed = current != v;
    if (changed) spec.Set(r, 4, v);
    if (type == "CHECK" && !settings.check.empty()) {
      if (v == "1") {
        v = std::string(TextBefore(settings.check, sep));
      } else if (v == "0") {
        v = std::string(TextAfter(settings.check, sep));
      }
    }
  }
  const std::string& eos = settings.eos;
  if (!guiPlus) {
    // A non-GUIPLUS send waits for its answer: while one is awaited the entry stays pending
    // (File or the next focus move sends it), so a handler that fires twice sends once.
    const bool awaiting = p_.shell.AwaitingReply();
    if (st.msState == state::kFormActive && st.msFormState == state::kUpdate) {
      if (!(Val(spec.Get(r, 3)) > 0 && changed)) return;
      if (!m.items.openType.empty() && !s_.enterPressed && current == std::string(kChangeMark) + v)
        return;
      if (awaiting) {
        focus.transmitPending = true;
        return;
      }
      focus.lastSentEntry = entry;
      m.items.miFormItem = r;
      st.msState = std::string(state::kFormSendActionCode);
      SendValue(std::string(TrimBlanks(spec.Get(r, 2))) + eos, true);
    } else if (st.msFormState == state::kNominate || st.msFormState == state::kNomNew) {
      if (awaiting) {
        focus.transmitPending = true;
        return;
      }
      focus.lastSentEntry = entry;
      m.items.miFormItem = r;
      SendValue(OneLine(v) + eos, true);
    } else if (st.msState == state::kFormEntryErrorCorrection && entry == focus.lastSentEntry) {
      st.msState = st.msStatePrevious;
      m.items.miFormItem = r;
      SendValue(OneLine(v) + eos, true);
    }
    return;
  }
  bool forced = false;
  if (!m.items.openType.empty() && !changed && !gridEntry &&
      LongOf(spec.Get(r, 10)) == m.items.openCount)
    forced = true;
  if (!changed && !forced) return;
  if (forced && !s_.enterPressed) return;
  if (forced && m.items.openType == "ACK") v.clear();
  const bool nominate = st.msFormState == state::kNominate || st.msFormState == state::kNomNew;
  if (!(nominate || (!gridEntry && Val(spec.Get(r, 3)) > 0) || (gridEntry && !control.locked)))
    return;
  focus.lastSentEntry = entry;
  m.items.miFormItem = r;
  SendValue(GuiPlusTx(entry, OneLine(v) + eos), false);
}

std::string EntryTransmit::GuiPlusTx(std::int32_t entry, const std::string& text) {
  return ::orvik::client::GuiPlusTx(p_.model, RowOfEntry(p_.controls, entry),
                                    p_.shell.Context().settings.guiPlusDelimiter, text);
}

void EntryTransmit::FocusMoved(std::int32_t entry) {
  const std::int32_t before = s_.focusedEntry;
  s_.focusedEntry = entry;
  try {
    if (before >= 0 && before != entry && HasEntryControl(p_.controls, before)) {
      ControlRecord& left = EntryControl(p_.controls, before);
      EntryValidate(LongOf(left.tag));
      if (left.kind == ControlKind::kCheckBox) left.backColour = s_.savedCheckBackColour;
    }
    if (entry >= 0 && entry != before && HasEntryControl(p_.controls, entry)) {
      ControlRecord& control = EntryControl(p_.controls, entry);
      EntryGotFocus(LongOf(control.tag));
      if (control.kind == ControlKind::kCheckBox) {
        s_.savedCheckBackColour = control.backColour;
        control.backColour = Rgb(0, 0, 127);
      }
    }
  } catch (const VbError&) {
    // A control whose row is not a number ends its handler quietly.
  }
  p_.window.ControlsChanged();
}

void EntryTransmit::EntryEdited(std::int32_t entry, const std::string& text) {
  if (!HasEntryControl(p_.controls, entry)) return;
  ControlRecord& control = EntryControl(p_.controls, entry);
  if (control.kind == ControlKind::kCheckBox) {
    control.value = LongOf(text);
    return;
  }
  control.caption = text;
  if (control.kind == ControlKind::kTextBox) {
    if (p_.model.states.msState != state::kTerminal && control.backColour == kDoneGreen)
      control.backColour = IsGridEntry(entry) ? Rgb(0, 255, 255) : kEntryWhite;
  } else if (control.kind == ControlKind::kComboBox) {
    if (s_.DescLabel(entry) > 0) p_.controls.menu.Narrative(s_.DescLabel(entry)).visible = false;
  }
  p_.window.ControlsChanged();
}

std::int32_t EntryTransmit::NextOpenEntry(std::int32_t from) {
  const std::int32_t last = p_.model.items.lastEntryNumber;
  std::int32_t k = from;
  for (std::int32_t step = 0; step <= last; ++step) {
    k = k + 1 > last ? 1 : k + 1;
    if (HasEntryControl(p_.controls, k)) {
      const ControlRecord& control = EntryControl(p_.controls, k);
      if (control.enabled && control.visible) break;
    }
  }
  return k;
}

void EntryTransmit::CommandClick(std::int32_t entry) {
  // A second click before the engine answered the first is not a second command.
  if (p_.shell.AwaitingReply() || !HasEntryControl(p_.controls, entry)) return;
  ControlRecord& button = EntryControl(p_.controls, entry);
  const std::int32_t r = LongOf(button.tag);
  const EntrySpecTable& spec = p_.model.entrySpec;
  const ClientSettings& settings = p_.shell.Context().settings;
  s_.pendingEntry = entry;
  p_.focus.lastSentEntry = entry;
  p_.focus.transmitPending = false;
  p_.focus.focusEntry = NextOpenEntry(entry);
  std::string text;
  if (p_.model.layout.mbGuiPlus) {
    text = spec.Get(r, 2) + settings.guiPlusDelimiter;
    if (Val(spec.Get(r, 9)) > 0) text += spec.Get(r, 9) + settings.guiPlusDelimiter;
    text += button.caption + settings.eos;
  } else {
    text = spec.Get(r, 2) + settings.eos;
  }
  SendValue(text, true);
}

void EntryTransmit::FnFile() {
  if (p_.shell.AwaitingReply()) return;
  p_.ProcessEventsOnce();
  if (p_.focus.transmitPending) TxtTX();
  if (p_.controls.fnFile.caption == "OK") return;
  ShellContext& context = p_.shell.Context();
  const ScreenStates& st = p_.model.states;
  if (st.msState != state::kTerminal) {
    EventPump& pump = p_.shell.Pump();
    const SteadyClock::time_point deadline = DeadlineAfter(context.settings.timeout * 1.7, pump);
    // The port thread answers meanwhile; the poll loop runs inside this wait.
    while (st.msState2 == state::kRowsEnd || st.msState != state::kFormActive) {
      if (pump.Now() >= deadline) {
        context.dialogs.MessageBox(kFilingRefusedBox, BoxButtons::kOk, BoxIcon::kExclamation);
        return;
      }
      pump.ProcessEventsUntil(std::min(deadline, pump.Now() + kFileWaitStep));
    }
  }
  p_.shell.Send("F" + context.settings.eos);
}

void EntryTransmit::FnScreenPrint() {
  if (p_.shell.AwaitingReply()) return;
  if (printForm) printForm();
}

}  // namespace orvik::client
