// The user's side of a menu screen and of the screen's fixed buttons: choosing an item
// (a click on its line, its code typed into the selection box, Tab through the choices),
// the highlight under the mouse, the second-codes switch, the navigation list, the history
// buttons Back and Forward, Start, log-off, exit and quit.
//
// One per screen form, GUI thread; the widgets call these from their events and mirror the
// records afterwards. Senders that expect an answer set the busy flag (AwaitingReply, with
// the hourglass) and are ignored while it is set; log-off, exit and quit pressed while busy
// cancel the wait instead. Nothing here throws: an item label that names no EntrySpec row
// is no choice.

#ifndef ORVIK_CLIENT_CORE_MENU_INPUT_H_
#define ORVIK_CLIENT_CORE_MENU_INPUT_H_

#include <cstdint>
#include <functional>
#include <string>

#include "screen_parts.h"

namespace orvik::client {

class MenuInput {
 public:
  // `redraw` draws the menu again (the second-codes switch changed).
  MenuInput(ScreenParts& parts, std::function<void()> redraw)
      : p_(parts), redraw_(std::move(redraw)) {}

  // lblItem_Click, lblItem_MouseMove: the item label of index `label` (1..).
  void ItemClick(std::int32_t label);
  void ItemHover(std::int32_t label);
  // Form_MouseMove on a menu: a code Tab put into the selection box goes.
  void BackgroundHover();
  // Tab (shift 0) or Shift+Tab (shift 1) on a menu: the next or previous choice is
  // highlighted and its code put, selected, into the selection box. False when the screen
  // is no menu (the key is not taken).
  bool Tab(std::int32_t shift);
  // A character typed on a menu screen; returns the code the focused control receives (0:
  // consumed here).
  std::int32_t KeyPress(std::int32_t key);

  // The selection box: its text as the user edits it, its focus coming and going.
  void AltSelectEdited(const std::string& text);
  void AltSelectFocus(bool got);
  // Another of the menu's own controls took the focus: the selection box was not left for
  // an entry, so nothing waits to be sent from it.
  void MenuControlFocus() { p_.focus.altSelectPending = false; }

  void AltOk();
  void AltCancel();
  void AltStart();
  void Back();
  void Forward();
  // The user picked `entry` from the navigation list.
  void NavigateChosen(const std::string& entry);
  // The second-codes switch, now `value` (0 or 1).
  void ShowCodesClicked(std::int32_t value);
  void FnExit();
  void FnQuit();

 private:
  // The EntrySpec row an item label stands for; 0 when none.
  std::int32_t RowOf(std::int32_t label) const;
  bool IsChoice(std::int32_t label) const;
  // Sends `text` & EOS as a request that awaits its answer.
  void Request(const std::string& text);
  using HistoryMove = std::optional<std::string> (ProgramHistory::*)(ControlRecord&,
                                                                     ControlRecord&);
  // Back or Forward: ignored while a reply is awaited, else the screen the history moved to
  // is asked for.
  void HistoryStep(HistoryMove move);

  ScreenParts& p_;
  std::function<void()> redraw_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_MENU_INPUT_H_
