#include "terminal_typing.h"

namespace orvik::client {
namespace {

constexpr std::int32_t kBackspace = 8;
constexpr std::int32_t kTab = 9;
constexpr std::int32_t kEnter = 13;
constexpr std::int32_t kEsc = 27;
constexpr std::int32_t kConsumed = 0;

}  // namespace

void TerminalTyping::Reset() {
  typedLine_.clear();
  prefixSent_ = false;
}

std::int32_t TerminalTyping::KeyPress(std::int32_t key) {
  if (shell_.AwaitingReply()) {
    // Esc is the keyboard's only way out of a wait.
    if (key == kEsc) shell_.SetAwaitingReply(false);
    return kConsumed;
  }
  const ScreenStates& states = model_.states;
  if ((states.msState.starts_with("FORM") && (key == kTab || key == kEnter)) ||
      key == keyHandedOn) {
    keyHandedOn = 0;
    return kConsumed;
  }
  if (key == kEnter && model_.mnPopups >= 1) {
    form_.PopupsClear();
    return kConsumed;
  }
  if (states.msFormState == state::kMenu || states.msState != state::kTerminal) return key;

  if (key == kTab || key == kEnter) {
    Reset();
    shell_.Send(shell_.Context().settings.eos);
    return kConsumed;
  }
  if (key == kBackspace) {
    if (!typedLine_.empty()) {
      typedLine_.pop_back();
      renderer_.RubOutLeft();
    }
    shell_.Send(std::string(1, '\b'));
    return kConsumed;
  }
  if (key < 32 || key > 255) return key;

  const char c = static_cast<char>(key);
  const ClientSettings& settings = shell_.Context().settings;
  if (settings.declareGui && states.msState2 == "APPPASSWORD" && !prefixSent_ &&
      typedLine_.empty()) {
    prefixSent_ = true;
    typedLine_ = c;
    shell_.Send(std::string(kGuiPasswordPrefix) + c);
  } else {
    typedLine_ += c;
    shell_.Send(std::string(1, c));
  }
  // The engine's echo is drawn before the next key.
  EventPump& pump = shell_.Pump();
  pump.ProcessEventsUntil(pump.Now());
  return kConsumed;
}

}  // namespace orvik::client
