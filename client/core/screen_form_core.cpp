#include "screen_form_core.h"

#include "about.h"
#include "colours.h"
#include "grid_clipboard.h"
#include "styles.h"

namespace orvik::client {

const char* const kEmergencyExitQuestion =
    "WARNING !  This action will CRASH STOP the program.  The sudden "
    "disconnection from your data server may cause problems "
    "for getting you back on again later.  If at all possible "
    "you should work through the program \"quit\", \"exit\" "
    "or \"lo\" commands to be tidy about logging off.  "
    "\r\n\r\n"
    "ARE YOU SURE you want this kind of EMERGENCY EXIT ?";

namespace {

constexpr const char* kFunctionBackground = "functionbg.gif";

}  // namespace

ScreenFormCore::ScreenFormCore(ScreenWindow& window, TerminalSurface& surface, ShellServices& shell)
    : window_(window),
      shell_(shell),
      renderer_(surface, model_, controls_, shell, *this),
      typing_(*this, renderer_, shell) {}

void ScreenFormCore::ProcessEventsOnce() {
  EventPump& pump = shell_.Pump();
  pump.ProcessEventsUntil(pump.Now());
}

void ScreenFormCore::Load() {
  ShellContext& context = shell_.Context();
  renderer_.CursorSize();
  model_.grid.font.size = context.cellWidth / 15;
  model_.grid.tag = "-1";
  window_.SetCaption("Connected to " + shell_.RemoteHost() + ":" +
                     std::to_string(shell_.RemotePort()));
  window_.SetMaximized();
  focusOnActivate_ = -1;
  window_.LoadFunctionBackground(context.settings.pathHome + kFunctionBackground);
  isSubform_ = shell_.SubformTop() != 0;
  if (!isSubform_) {
    // The built-in styles are made once, with the first screen form.
    if (!context.styles.Exists("mdefault")) StyleDefaultsSet(context.styles, context.cellWidth);
    window_.Show();
    ProcessEventsOnce();
  }
  if (isSubform_) {
    window_.SetCaption("SubForm");
  } else if (context.settings.displayMode == state::kTerminal) {
    model_.states.msState = std::string(state::kTerminal);
    model_.states.msFormState = std::string(state::kTerminal);
    ProcessEventsOnce();
  }
  window_.ControlsChanged();
}

// The conversation state machine and the drawing of menus, data-entry forms and grids come
// with those screens; until then a transmission of theirs is read into the model, and the
// wait for it ends so that the keyboard works.
void ScreenFormCore::FormRXProcessMaster() { shell_.SetAwaitingReply(false); }

void ScreenFormCore::TerminalDraw() {
  renderer_.Draw();
  window_.ControlsChanged();
}

void ScreenFormCore::SearchActivate() { search_.Activate(model_, *this, shell_); }

// The entry controls come with the data-entry screens; until then no entry holds a search,
// and the search answers the application directly.
std::int32_t ScreenFormCore::EntryRow(std::int32_t) const { return 0; }

void ScreenFormCore::FocusEntry(std::int32_t entry) {
  focusByProgram_ = true;
  window_.FocusEntryControl(entry);
  focusByProgram_ = false;
  focusEntry_ = entry;
}

// With entry controls the value goes into the control here; until then EntryRow answers
// that there is none, and no search comes this way.
void ScreenFormCore::PutSearchValue(std::int32_t entry, const std::string&) {
  focusByProgram_ = true;
  window_.FocusEntryControl(entry);
  ProcessEventsOnce();
  focusByProgram_ = false;
  focusEntry_ = entry;
}

void ScreenFormCore::FnScreenPrintClick() {
  if (!shell_.AwaitingReply()) ScreenPrint();
}

void ScreenFormCore::ScreenPrint() {
  std::string error;
  if (!window_.PrintForm(&error)) {
    shell_.Context().Box("The screen could not be printed: " + error, BoxIcon::kExclamation);
  }
}

void ScreenFormCore::PopupsClear() {
  window_.ClosePopups();
  model_.mnPopups = 0;
}

void ScreenFormCore::EnterTerminalMode() {
  GridModel& grid = model_.grid;
  grid.visible = false;
  grid.Clear();
  grid.tag = "-1";
  focusEntry_ = 0;
  model_.items.lastEntryNumber = 0;
  model_.items.gridFillText.clear();
  typing_.Reset();
  transmitPending_ = false;
  altSelectByKey_ = true;
  window_.ClearBackgroundPicture();
}

void ScreenFormCore::OpenTerminalPopup(std::int32_t index, const std::string& block) {
  window_.OpenPopup(index, block, true);
}

void ScreenFormCore::LoggedOff() { shell_.ScreenFormUnloaded(*this); }

void ScreenFormCore::Activate() {
  if (!formActive_ && focusOnActivate_ >= 0) {
    // Giving the focus back transmits nothing, not even a value left pending.
    focusByProgram_ = true;
    window_.FocusEntryControl(focusOnActivate_);
    ProcessEventsOnce();
    focusByProgram_ = false;
    transmitPending_ = false;
  }
  formActive_ = true;
  focusOnActivate_ = -1;
}

void ScreenFormCore::Deactivate() {
  focusOnActivate_ = focusEntry_;
  formActive_ = false;
}

void ScreenFormCore::MouseMove() {
  if (model_.states.msFormState == state::kMenu && altSelectByKey_) altSelectByKey_ = false;
}

bool ScreenFormCore::KeyDown(std::int32_t keyCode, std::int32_t shift) {
  if (shell_.AwaitingReply()) return false;
  const ClientSettings& settings = shell_.Context().settings;
  if (keyCode == kKeyF11 || keyCode == kKeyF2) {
    const std::string& definition = settings.keyDefinitions.functionKeys[keyCode - kKeyF1];
    if (!definition.empty()) {
      shell_.Send(definition);
    } else if (keyCode == kKeyF11) {
      ScreenPrint();
    } else if (!settings.searchTextAny.empty() || !settings.searchCustom.empty()) {
      FnSearchClick();
    }
    return true;
  }
  if (keyCode == kKeyF12) {
    if (shift == kShiftMask) {
      shell_.ShowMonitor();
      return true;
    }
    PopupsClear();
    return false;
  }
  return false;
}

bool ScreenFormCore::QueryUnload(bool closeBox) {
  if (!closeBox) return true;
  const BoxAnswer answer = shell_.Context().dialogs.MessageBox(kEmergencyExitQuestion,
                                                               BoxButtons::kYesNo, BoxIcon::kNone);
  if (answer != BoxAnswer::kYes) return false;
  shell_.EmergencyExit();
  return true;
}

OptionMenuState ScreenFormCore::OptionMenu() const {
  const ClientSettings& settings = shell_.Context().settings;
  return {settings.monitor, settings.monitor, settings.devMsg};
}

void ScreenFormCore::OptionAbout() { AboutText(shell_.Context().dialogs); }

void ScreenFormCore::OptionDevMsg() {
  bool& devMsg = shell_.Context().settings.devMsg;
  devMsg = !devMsg;
}

void ScreenFormCore::OptionMonitorActivate() {
  bool& monitor = shell_.Context().settings.monitor;
  monitor = !monitor;
}

void ScreenFormCore::OptionMonitorView() { shell_.ShowMonitor(); }

std::string ScreenFormCore::OptionGridText() const {
  return GridClipboardText(model_.grid, model_.layout.msGridType);
}

void ScreenFormCore::CoveredBySubform() {
  window_.ClearBackgroundPicture();
  for (ControlRecord& label : controls_.formHeader) label.backColour = QBColor(7);
  for (ControlRecord* button : {&controls_.fnExit, &controls_.fnQuit, &controls_.fnFile,
                                &controls_.fnScreenPrint, &controls_.fnSearch}) {
    button->visible = false;
  }
  window_.SetEnabled(false);
  window_.ControlsChanged();
}

void ScreenFormCore::UncoveredBySubform() {
  window_.SetEnabled(true);
  window_.Show();
  // The background picture again, in tiles that overlap a little.
  const double cellWidth = shell_.Context().cellWidth;
  const double cellHeight = shell_.CellHeight();
  const double stepX = 76 * cellWidth / 6;
  const double stepY = 25 * cellHeight / 4;
  for (int i = 0; i <= 6; ++i) {
    for (int j = 0; j <= 4; ++j) {
      window_.PaintBackgroundTile(i * stepX, j * stepY, 80 * cellWidth / 6, 26 * cellHeight / 4);
    }
  }
  for (ControlRecord& label : controls_.formHeader) label.backColour = QBColor(4);
  for (ControlRecord* button :
       {&controls_.fnExit, &controls_.fnQuit, &controls_.fnFile, &controls_.fnScreenPrint}) {
    button->visible = true;
  }
  const ClientSettings& settings = shell_.Context().settings;
  controls_.fnSearch.visible = !settings.searchTextAny.empty() || !settings.searchCustom.empty();
  window_.ControlsChanged();
}

}  // namespace orvik::client
