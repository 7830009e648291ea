// The screen form's key handler (Form_KeyDown) for everything but the grid's own keys:
// function keys and the cursor and paging keys through the user's key definitions, Ctrl and
// a letter as a control character on the terminal (elsewhere the focused control's), Alt and
// a digit as a jump to an entry, Tab on a menu, and Tab and Enter on a data-entry screen
// (move to the next entry and transmit the one left).
//
// GUI thread only. Key codes are the original's (F1 = 112, arrows 37 to 40, Enter 13, Tab 9;
// Shift+Tab is Tab with Shift 1); the modifier state is 0, 1 Shift, 2 Ctrl or 4 Alt, any
// combination matching none. Sends go through the frame; nothing throws to the caller.

#ifndef ORVIK_CLIENT_CORE_FORM_KEYS_H_
#define ORVIK_CLIENT_CORE_FORM_KEYS_H_

#include <cstdint>
#include <functional>

#include "entry_state.h"
#include "entry_transmit.h"
#include "grid_keys.h"
#include "menu_input.h"
#include "screen_parts.h"
#include "terminal_typing.h"

namespace orvik::client {

namespace vbkey {
inline constexpr std::int32_t kTab = 9;
inline constexpr std::int32_t kEnter = 13;
inline constexpr std::int32_t kEsc = 27;
inline constexpr std::int32_t kPageUp = 33;
inline constexpr std::int32_t kPageDown = 34;
inline constexpr std::int32_t kEnd = 35;
inline constexpr std::int32_t kHome = 36;
inline constexpr std::int32_t kLeft = 37;
inline constexpr std::int32_t kUp = 38;
inline constexpr std::int32_t kRight = 39;
inline constexpr std::int32_t kDown = 40;
inline constexpr std::int32_t kF1 = 112;
inline constexpr std::int32_t kF2 = 113;
inline constexpr std::int32_t kF3 = 114;
inline constexpr std::int32_t kF10 = 121;
inline constexpr std::int32_t kF11 = 122;
inline constexpr std::int32_t kF12 = 123;
inline constexpr std::int32_t kMinus = 189;
inline constexpr std::int32_t kEquals = 187;
}  // namespace vbkey

class FormKeys {
 public:
  struct Actions {
    std::function<void()> popupsClear;
    std::function<void()> showMonitor;
    std::function<void()> printForm;     // F11 without a definition
    std::function<void()> searchButton;  // F2 without a definition
    // The developer's replay: a file's text handed to the transmission dispatcher as if the
    // engine had sent it.
    std::function<void()> replay;
  };

  FormKeys(ScreenParts& parts, EntryState& state, EntryTransmit& transmit, MenuInput& menu,
           TerminalTyping& typing, Actions actions)
      : p_(parts),
        s_(state),
        tx_(transmit),
        menu_(menu),
        typing_(typing),
        actions_(std::move(actions)) {}

  // Form_KeyDown: true when the key was consumed (KeyCode = 0).
  bool KeyDown(std::int32_t keyCode, std::int32_t shift);
  // The screen's grid keys, asked at the grid stages; none until attached.
  void AttachGrid(GridKeys* grid) { grid_ = grid; }

 private:
  enum class Next { kDone, kConsumed, kStage2 };
  void Send(const std::string& text) { p_.shell.Send(text); }
  Next ArrowVertical(std::int32_t& keyCode, std::int32_t& shift, const std::string& definition);
  Next ArrowHorizontal(std::int32_t& keyCode, std::int32_t& shift, const std::string& definition);
  bool AltJump(std::int32_t keyCode);
  bool TabEnter(std::int32_t keyCode, std::int32_t shift);
  std::int32_t Step(std::int32_t from, std::int32_t direction);

  ScreenParts& p_;
  EntryState& s_;
  EntryTransmit& tx_;
  MenuInput& menu_;
  TerminalTyping& typing_;
  Actions actions_;
  GridKeys* grid_ = nullptr;
  bool inGuiPlusGrid_ = false;  // this key walks a GUIPLUS grid's row
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_FORM_KEYS_H_
