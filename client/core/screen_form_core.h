// A screen form's core: its model, its control records, the character terminal and the
// typing on it, the conversation with the engine after each transmission, the menu screen
// and its input, the popup windows it has open, and the form's own life (loading,
// activation, the option menu, the close-box question, unloading), behind the window and
// drawing surface of the widget form that owns it.
//
// GUI thread only. The widget form turns its window events into the calls below and
// mirrors the control records after each (the core also tells it through ControlsChanged).
// Calls may show modal boxes and pump events, so the poll loop may run inside them. The
// dispatcher's calls (ScreenForm) may throw; the others do not.

#ifndef ORVIK_CLIENT_CORE_SCREEN_FORM_CORE_H_
#define ORVIK_CLIENT_CORE_SCREEN_FORM_CORE_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "entry_state.h"
#include "entry_transmit.h"
#include "form_controls.h"
#include "form_focus.h"
#include "form_keys.h"
#include "form_layout.h"
#include "grid_entry.h"
#include "grid_keys.h"
#include "menu_input.h"
#include "program_history.h"
#include "screen_conversation.h"
#include "screen_form.h"
#include "screen_parts.h"
#include "screen_window.h"
#include "search_list.h"
#include "shell_services.h"
#include "terminal_renderer.h"
#include "terminal_surface.h"
#include "terminal_typing.h"

namespace orvik::client {

// The question of the developer's replay (Ctrl+F12).
inline constexpr const char* kReplayPrompt = "File to analyse";

// The question of the close box.
extern const char* const kEmergencyExitQuestion;

// What the option menu shows when it opens.
struct OptionMenuState {
  bool monitorChecked = false;      // mnuMonitorActivate
  bool monitorViewEnabled = false;  // mnuMonitorView
  bool devMsgChecked = false;       // mnuDevMsg
};

// Keys as the form's key handler sees them (the platform's codes are mapped to these).
inline constexpr std::int32_t kKeyTab = 9;
inline constexpr std::int32_t kKeyF2 = 113;
inline constexpr std::int32_t kKeyF11 = 122;
inline constexpr std::int32_t kKeyF12 = 123;
inline constexpr std::int32_t kShiftMask = 1;

class ScreenFormCore final : public ScreenForm,
                             private TerminalEvents,
                             private ScreenActions,
                             private SearchEntries {
 public:
  ScreenFormCore(ScreenWindow& window, TerminalSurface& surface, ShellServices& shell);

  // Form_Load: run once, right after the window is made.
  void Load();
  void Show() { window_.Show(); }

  // ScreenForm, for the dispatcher.
  ScreenModel& Model() override { return model_; }
  void FormRXProcessMaster() override;
  void TerminalDraw() override;
  void SearchActivate() override;
  void PopupsClear() override;

  // Window events.
  void Activate();
  void Deactivate();
  void MouseMove();
  // Form_KeyDown: true when the key was consumed.
  bool KeyDown(std::int32_t keyCode, std::int32_t shift);
  // Form_KeyPress: the character code the focused control receives (0: consumed).
  std::int32_t KeyPress(std::int32_t key);
  // Form_QueryUnload: false cancels the close. `closeBox` when the user closes the window
  // with its close control; closing by code passes without a question.
  bool QueryUnload(bool closeBox);

  // The menu screen's controls and the fixed buttons.
  MenuInput& Menu() { return menuInput_; }
  // The data-entry screen's entry controls and its File and screen-print buttons.
  EntryTransmit& Entries() { return transmit_; }
  // The data-entry screen's grid: its click, scroll and row buttons.
  GridEntry& Grid() { return grid_; }
  const EntryState& EntryWork() const { return entryState_; }

  // A popup window's OK button, its close box, a key pressed on it.
  void PopupOk(std::int32_t id);
  void PopupCloseBox(std::int32_t id);
  void PopupKeyDown(std::int32_t keyCode, std::int32_t shift);
  // The ids of the popup windows open, oldest first.
  std::vector<std::int32_t> OpenPopups() const;

  // A mark was typed or pasted into a text box of the screen and left out: the user is told.
  void MarksRefused();

  // The search button (cmdFnSearch), and the screen print (F11 and the print buttons): the
  // form's image on the printer, or a box that says why it could not be printed.
  void FnSearchClick() { SearchButtonPress(model_, *this, shell_); }
  void FnScreenPrintClick();
  void ScreenPrint();

  // The option menu (right button over the form).
  OptionMenuState OptionMenu() const;
  void OptionAbout();
  void OptionDevMsg();
  void OptionMonitorActivate();
  void OptionMonitorView();
  // The text that "copy grid" puts on the clipboard.
  std::string OptionGridText() const;

  // The shell's sub-form steps: a sub-form opened over this form, or this form is the top
  // again after one closed.
  void CoveredBySubform();
  void UncoveredBySubform();

  const FormControls& Controls() const { return controls_; }
  // The data-entry layout fills the entry controls through this.
  FormControls& Controls() { return controls_; }
  const FormFocus& Focus() const { return focus_; }
  FormFocus& Focus() { return focus_; }
  const MenuState& MenuCounts() const { return menuState_; }
  const ProgramHistory& History() const { return history_; }
  const ScreenConversation& Conversation() const { return conversation_; }
  const TextRaster& Raster() const { return renderer_.Raster(); }
  const TerminalRenderer& Terminal() const { return renderer_; }
  const TerminalTyping& Typing() const { return typing_; }
  bool IsSubform() const { return isSubform_; }
  bool FormActive() const { return focus_.formActive; }

 private:
  struct PopupEntry {
    std::int32_t id;
    bool terminal;  // opened by the terminal: its OK closes every popup of the form
  };

  // TerminalEvents
  void EnterTerminalMode() override;
  void OpenTerminalPopup(std::int32_t index, const std::string& block) override;
  void LoggedOff() override;
  // ScreenActions
  void MenuDraw() override;
  void FunctionDraw() override;
  void GridActionsDraw() override;
  void OpenPopup(std::int32_t slot) override;
  void Unload() override;

  void ShowPopup(const std::string& block, bool terminal);
  std::array<ControlRecord*, 5> FunctionButtons();
  // The menu's panels and labels leave the screen (the terminal or a form takes it).
  void HideMenu();
  void ReplayFile();
  void ProcessEventsOnce() { parts_.ProcessEventsOnce(); }

  // SearchEntries
  std::int32_t LastFocusedEntry() const override { return focus_.focusEntry; }
  std::int32_t PendingEntry() const override { return entryState_.pendingEntry; }
  std::int32_t EntryRow(std::int32_t entry) const override;
  void FocusEntry(std::int32_t entry) override;
  void PutSearchValue(std::int32_t entry, const std::string& value) override;

  ScreenWindow& window_;
  TerminalSurface& surface_;
  ShellServices& shell_;
  ScreenModel model_;
  FormControls controls_;
  FormFocus focus_;
  MenuState menuState_;
  ProgramHistory history_;
  ScreenParts parts_;
  TerminalRenderer renderer_;
  TerminalTyping typing_;
  ScreenConversation conversation_;
  MenuInput menuInput_;
  EntryState entryState_;
  EntryTransmit transmit_;
  FunctionLayout layout_;
  FormKeys keys_;
  GridEntry grid_;
  GridKeys gridKeys_;
  // The popup windows open: a list, not a count, so that closing them in any order leaves
  // none behind that the form can no longer reach.
  std::vector<PopupEntry> popups_;
  std::int32_t nextPopupId_ = 1;
  SearchList search_;
  bool isSubform_ = false;
  // Which of the function buttons showed when a sub-form came over the form.
  std::array<bool, 5> buttonsShownUnderSubform_{};
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_SCREEN_FORM_CORE_H_
