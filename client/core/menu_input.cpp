#include "menu_input.h"

#include "markup.h"
#include "numbers.h"
#include "style_values.h"
#include "text.h"
#include "typed_text.h"

namespace orvik::client {
namespace {

constexpr std::int32_t kConsumed = 0;

}  // namespace

std::int32_t MenuInput::RowOf(std::int32_t label) const {
  const ControlRecord* item = p_.controls.menu.Item(label);
  if (item == nullptr) return 0;
  const std::int32_t row = LongOf(item->tag);
  return row >= 1 && row <= kEntryRows ? row : 0;
}

bool MenuInput::IsChoice(std::int32_t label) const {
  const std::int32_t row = RowOf(label);
  return row != 0 && p_.model.entrySpec.Get(row, 1) == "C";
}

void MenuInput::Request(const std::string& text) {
  p_.shell.SetAwaitingReply(true);
  p_.shell.Send(text + p_.shell.Context().settings.eos);
}

void MenuInput::ItemClick(std::int32_t label) {
  // A second click before the answer would be taken as the next screen's input.
  if (p_.shell.AwaitingReply()) return;
  const ControlRecord* item = p_.controls.menu.Item(label);
  if (item == nullptr) return;
  if (LongOf(item->tag) == 0) {
    p_.window.FocusAltSelect(false);
    return;
  }
  if (!IsChoice(label)) return;
  p_.controls.menu.altSelect.caption.clear();
  Request(p_.model.entrySpec.Get(RowOf(label), 2));
  p_.window.ControlsChanged();
}

void MenuInput::ItemHover(std::int32_t label) {
  if (!IsChoice(label)) return;
  MenuControls& menu = p_.controls.menu;
  for (ControlRecord& item : menu.items) item.opaque = false;
  ControlRecord& item = *menu.Item(label);
  item.opaque = true;
  item.backColour = StyleColour(p_.model.items.styleFields[13]);
  p_.focus.focusEntry = label;
  if (p_.focus.altSelectByKey) {
    menu.altSelect.caption.clear();
    p_.focus.altSelectByKey = false;
  }
  p_.window.ControlsChanged();
}

void MenuInput::BackgroundHover() {
  if (p_.model.states.msFormState != state::kMenu || !p_.focus.altSelectByKey) return;
  p_.controls.menu.altSelect.caption.clear();
  p_.focus.altSelectByKey = false;
  p_.window.ControlsChanged();
}

bool MenuInput::Tab(std::int32_t shift) {
  if (p_.model.states.msFormState != state::kMenu) return false;
  const std::int32_t n = p_.menu.menuLabelCount;
  std::int32_t k = p_.focus.focusEntry;
  if (shift == 0 || shift == 1) {
    // At most one round: a menu without a choice keeps its highlight.
    for (std::int32_t step = 0; step < n; ++step) {
      k = shift == 1 ? (k - 1 < 1 ? n : k - 1) : (k + 1 > n ? 1 : k + 1);
      if (IsChoice(k)) break;
    }
  }
  if (!IsChoice(k)) return true;
  ItemHover(k);
  p_.controls.menu.altSelect.caption = std::string(TrimBlanks(p_.model.entrySpec.Get(RowOf(k), 2)));
  p_.window.FocusAltSelect(true);
  p_.focus.altSelectByKey = true;
  p_.window.ControlsChanged();
  return true;
}

std::int32_t MenuInput::KeyPress(std::int32_t key) {
  ControlRecord& altSelect = p_.controls.menu.altSelect;
  if (key >= 32 && key <= 255 && p_.focus.transmitPending) {
    // Typing goes on in the selection box the user left, which takes no mark there either.
    if (TypedCharacterOf(static_cast<std::uint32_t>(key)) == TypedCharacter::kRefused) {
      TellMarksRefused(p_.shell.Context());
      return kConsumed;
    }
    altSelect.caption += static_cast<char>(key);
    p_.window.FocusAltSelect(false);
    p_.window.ControlsChanged();
    key = kConsumed;
  }
  if (key >= '0' && key <= '9') {
    p_.focus.altSelectByKey = false;
    if (ControlRecord* item = p_.controls.menu.Item(p_.focus.focusEntry)) item->opaque = false;
    p_.focus.focusEntry = LongOf(Val(altSelect.caption));
    p_.window.ControlsChanged();
  }
  return key;
}

void MenuInput::AltSelectEdited(const std::string& text) {
  p_.controls.menu.altSelect.caption = text;
}

void MenuInput::AltSelectFocus(bool got) {
  p_.focus.transmitPending = !got;
  p_.focus.altSelectPending = !got;
}

void MenuInput::AltOk() {
  if (p_.shell.AwaitingReply()) return;
  ControlRecord& altSelect = p_.controls.menu.altSelect;
  const std::string text(TrimBlanks(altSelect.caption));
  if (LowerCase(text) == "sa") {
    ControlRecord& showCodes = p_.controls.menu.showCodes;
    ShowCodesClicked(showCodes.value == 0 ? 1 : 0);
    return;
  }
  if (text.empty()) {
    ItemClick(p_.focus.focusEntry);
    return;
  }
  Request(text);
  altSelect.caption.clear();
  p_.window.ControlsChanged();
}

void MenuInput::AltCancel() {
  if (p_.shell.AwaitingReply()) {
    p_.shell.SetAwaitingReply(false);
    return;
  }
  p_.model.states.msState = std::string(state::kAppOffRequested);
  Request(p_.shell.Context().settings.appOff);
}

// Start, Back and Forward wait for the screen they asked for like every other request: a
// second press meanwhile would move the history again for a screen that never came.
void MenuInput::AltStart() {
  if (p_.shell.AwaitingReply()) return;
  const std::string code(NavigationCode(p_.history.StartEntry()));
  p_.controls.menu.altSelect.caption = code;
  Request(code);
  p_.window.ControlsChanged();
}

void MenuInput::Back() { HistoryStep(&ProgramHistory::Back); }

void MenuInput::Forward() { HistoryStep(&ProgramHistory::Forward); }

void MenuInput::HistoryStep(HistoryMove move) {
  if (p_.shell.AwaitingReply()) return;
  MenuControls& menu = p_.controls.menu;
  if (const auto entry = (p_.history.*move)(menu.back, menu.forward))
    Request(std::string(NavigationCode(*entry)));
  p_.window.ControlsChanged();
}

void MenuInput::NavigateChosen(const std::string& entry) {
  if (p_.menu.suppressNavigateClick) {
    p_.menu.suppressNavigateClick = false;
    return;
  }
  if (p_.shell.AwaitingReply()) return;
  p_.controls.menu.navigate.caption = entry;
  const std::string code(NavigationCode(entry));
  Request(UpperCase(entry).starts_with('M') ? code : "do " + code);
}

void MenuInput::ShowCodesClicked(std::int32_t value) {
  p_.controls.menu.showCodes.value = value;
  if (p_.model.states.msFormState == state::kMenu) redraw_();
  p_.window.ControlsChanged();
}

void MenuInput::FnExit() {
  if (p_.shell.AwaitingReply()) {
    p_.shell.SetAwaitingReply(false);
    return;
  }
  const ClientSettings& settings = p_.shell.Context().settings;
  p_.shell.Send(settings.exitCommand + settings.eos);
}

void MenuInput::FnQuit() {
  if (p_.shell.AwaitingReply()) {
    p_.shell.SetAwaitingReply(false);
    return;
  }
  p_.focus.transmitPending = false;
  const ClientSettings& settings = p_.shell.Context().settings;
  p_.shell.Send(settings.quitCommand + settings.eos);
}

}  // namespace orvik::client
