// A screen form's core: its model, its fixed controls, the character terminal and the
// typing on it, and the form's own life (loading, activation, the option menu, the
// close-box question, unloading), behind the window and drawing surface of the widget form
// that owns it.
//
// GUI thread only. The widget form turns its window events into the calls below and
// mirrors the control records after each (the core also tells it through ControlsChanged).
// Calls may show modal boxes and pump events, so the poll loop may run inside them. The
// dispatcher's calls (ScreenForm) may throw; the others do not.

#ifndef ORVIK_CLIENT_CORE_SCREEN_FORM_CORE_H_
#define ORVIK_CLIENT_CORE_SCREEN_FORM_CORE_H_

#include <cstdint>
#include <string>

#include "form_controls.h"
#include "screen_form.h"
#include "screen_window.h"
#include "search_list.h"
#include "shell_services.h"
#include "terminal_renderer.h"
#include "terminal_surface.h"
#include "terminal_typing.h"

namespace orvik::client {

// The question of the close box.
extern const char* const kEmergencyExitQuestion;

// What the option menu shows when it opens.
struct OptionMenuState {
  bool monitorChecked = false;      // mnuMonitorActivate
  bool monitorViewEnabled = false;  // mnuMonitorView
  bool devMsgChecked = false;       // mnuDevMsg
};

// Keys as the form's key handler sees them (the platform's codes are mapped to these).
inline constexpr std::int32_t kKeyF1 = 112;
inline constexpr std::int32_t kKeyF2 = 113;
inline constexpr std::int32_t kKeyF11 = 122;
inline constexpr std::int32_t kKeyF12 = 123;
inline constexpr std::int32_t kShiftMask = 1;

class ScreenFormCore final : public ScreenForm, private TerminalEvents, private SearchEntries {
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
  std::int32_t KeyPress(std::int32_t key) { return typing_.KeyPress(key); }
  // Form_QueryUnload: false cancels the close. `closeBox` when the user closes the window
  // with its close control; closing by code passes without a question.
  bool QueryUnload(bool closeBox);

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
  const TextRaster& Raster() const { return renderer_.Raster(); }
  const TerminalRenderer& Terminal() const { return renderer_; }
  const TerminalTyping& Typing() const { return typing_; }
  bool IsSubform() const { return isSubform_; }
  bool FormActive() const { return formActive_; }

 private:
  // TerminalEvents
  void EnterTerminalMode() override;
  void OpenTerminalPopup(std::int32_t index, const std::string& block) override;
  void LoggedOff() override;

  // SearchEntries
  std::int32_t LastFocusedEntry() const override { return focusEntry_; }
  std::int32_t PendingEntry() const override { return focusEntry_; }
  std::int32_t EntryRow(std::int32_t entry) const override;
  void FocusEntry(std::int32_t entry) override;
  void PutSearchValue(std::int32_t entry, const std::string& value) override;

  void ProcessEventsOnce();

  ScreenWindow& window_;
  ShellServices& shell_;
  ScreenModel model_;
  FormControls controls_;
  TerminalRenderer renderer_;
  TerminalTyping typing_;
  SearchList search_;

  // The focus bookkeeping of the form.
  bool formActive_ = false;
  std::int32_t focusOnActivate_ = -1;
  std::int32_t focusEntry_ = 0;
  bool focusByProgram_ = false;
  bool transmitPending_ = false;
  bool altSelectByKey_ = false;
  bool isSubform_ = false;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_SCREEN_FORM_CORE_H_
