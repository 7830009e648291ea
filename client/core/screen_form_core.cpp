#include "screen_form_core.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "typed_text.h"
#include "about.h"
#include "colours.h"
#include "entry_controls.h"
#include "grid_clipboard.h"
#include "menu_draw.h"
#include "rx_process.h"
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
      surface_(surface),
      shell_(shell),
      parts_{model_, controls_, focus_, menuState_, history_, window, surface, shell},
      renderer_(surface, model_, controls_, shell, *this),
      typing_(*this, renderer_, shell),
      conversation_(parts_, *this),
      menuInput_(parts_, [this] { MenuDraw(); }),
      transmit_(parts_, entryState_),
      layout_(
          parts_, entryState_, [this](std::int32_t slot) { OpenPopup(slot); },
          [this] { return isSubform_; }),
      keys_(parts_, entryState_, transmit_, menuInput_, typing_,
            {[this] { PopupsClear(); }, [this] { shell_.ShowMonitor(); }, [this] { ScreenPrint(); },
             [this] { FnSearchClick(); }, [this] { ReplayFile(); }}),
      grid_(parts_, entryState_,
            {[this](std::int32_t slot) { OpenPopup(slot); },
             [this] { keys_.KeyDown(vbkey::kEnter, 0); }}),
      gridKeys_(parts_, grid_, [this] { menuInput_.FnQuit(); }) {
  transmit_.printForm = [this] { ScreenPrint(); };
  keys_.AttachGrid(&gridKeys_);
  layout_.gridCellEnter = [this] { grid_.GridCellEnter(); };
  transmit_.gridEntryFocused = [this] { grid_.EntryGotFocus(); };
}

void ScreenFormCore::Load() {
  ShellContext& context = shell_.Context();
  renderer_.CursorSize();
  model_.grid.font.size = context.cellWidth / 15;
  model_.grid.tag = "-1";
  // The host the monitor's connect chose; else the engine home the session runs on, which
  // tells the client's windows apart when several homes are served on one desktop.
  const std::string& home = context.settings.engineHome;
  window_.SetCaption("Connected to " + (shell_.RemoteHost().empty() && !home.empty()
                                            ? home
                                            : shell_.RemoteHost() + ":" +
                                                  std::to_string(shell_.RemotePort())));
  window_.SetMaximized();
  focus_.focusOnActivate = -1;
  controls_.PlaceMenuPanels(surface_.ScaleWidth(), surface_.ScaleHeight(), shell_.CellHeight());
  window_.LoadFunctionBackground(context.settings.pathHome + kFunctionBackground);
  // The grid's font grows with the window; its rows grow with the entries laid over them.
  model_.grid.SetRowHeightMin(static_cast<std::int32_t>(std::lround(layout_.LinePitch())));
  isSubform_ = shell_.SubformTop() != 0;
  if (!isSubform_) {
    // The built-in styles are made once, with the first screen form.
    if (!context.styles.Exists("mdefault")) StyleDefaultsSet(context.styles, context.cellWidth);
    window_.Show();
    ProcessEventsOnce();
  }
  if (isSubform_) window_.SetCaption("SubForm");
  // Every new form starts as the display mode says, a sub-form too: terminal text sent to
  // it is drawn, not taken for an update of a form it never had.
  if (context.settings.displayMode == state::kTerminal) {
    model_.states.msState = std::string(state::kTerminal);
    model_.states.msFormState = std::string(state::kTerminal);
    ProcessEventsOnce();
  }
  window_.ControlsChanged();
}

void ScreenFormCore::FormRXProcessMaster() {
  conversation_.FormRXProcessMaster();
  window_.ControlsChanged();
}

void ScreenFormCore::TerminalDraw() {
  renderer_.Draw();
  window_.ControlsChanged();
}

void ScreenFormCore::SearchActivate() { search_.Activate(model_, *this, shell_); }

std::int32_t ScreenFormCore::EntryRow(std::int32_t entry) const {
  return HasEntryControl(controls_, entry) ? RowOfEntry(controls_, entry) : 0;
}

void ScreenFormCore::FocusEntry(std::int32_t entry) {
  focus_.focusByProgram = true;
  window_.FocusEntryControl(entry);
  focus_.focusByProgram = false;
  focus_.focusEntry = entry;
}

// The picked value is the control's text as if typed; the entry's own handlers are held off
// while it goes in, and the caller sends it.
void ScreenFormCore::PutSearchValue(std::int32_t entry, const std::string& value) {
  focus_.focusByProgram = true;
  if (HasEntryControl(controls_, entry)) EntryControl(controls_, entry).caption = value;
  window_.ControlsChanged();
  window_.FocusEntryControl(entry);
  ProcessEventsOnce();
  focus_.focusByProgram = false;
  focus_.focusEntry = entry;
}

void ScreenFormCore::MarksRefused() { TellMarksRefused(shell_.Context()); }

void ScreenFormCore::FnScreenPrintClick() {
  if (!shell_.AwaitingReply()) ScreenPrint();
}

void ScreenFormCore::ScreenPrint() {
  std::string error;
  if (!window_.PrintForm(&error)) {
    shell_.Context().Box("The screen could not be printed: " + error, BoxIcon::kExclamation);
  }
}

// A captured transmission, read from a file, goes to the dispatcher as the engine's own. A
// cancelled question or a file that cannot be read does nothing.
void ScreenFormCore::ReplayFile() {
  const std::string name = window_.AskText(kReplayPrompt);
  if (name.empty()) return;
  std::ifstream file(name, std::ios::binary);
  if (!file) return;
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  RXProcess(text, *this, shell_.Context());
}

void ScreenFormCore::PopupsClear() {
  std::vector<PopupEntry> open;
  open.swap(popups_);
  for (const PopupEntry& popup : open) window_.ClosePopup(popup.id);
  model_.mnPopups = 0;
}

std::vector<std::int32_t> ScreenFormCore::OpenPopups() const {
  std::vector<std::int32_t> ids;
  for (const PopupEntry& popup : popups_) ids.push_back(popup.id);
  return ids;
}

void ScreenFormCore::ShowPopup(const std::string& block, bool terminal) {
  const ShellContext& context = shell_.Context();
  PopupSetting setting;
  setting.cellWidth = context.cellWidth;
  setting.cellHeight = shell_.CellHeight();
  setting.formWidth = surface_.ScaleWidth();
  setting.formHeight = surface_.ScaleHeight();
  setting.commas =
      context.settings.tagSeparator == ',' || context.settings.positionSeparator == ',';
  setting.trueColour = context.settings.trueColor;
  const PopupPicture picture = DrawPopup(block, setting);  // VbError 5 for a broken block
  const std::int32_t id = nextPopupId_++;
  popups_.push_back({id, terminal});
  model_.mnPopups = static_cast<std::int32_t>(popups_.size());
  window_.OpenPopup(id, picture);
}

void ScreenFormCore::PopupOk(std::int32_t id) {
  const auto it = std::find_if(popups_.begin(), popups_.end(),
                               [id](const PopupEntry& popup) { return popup.id == id; });
  if (it == popups_.end()) {
    window_.ClosePopup(id);
    return;
  }
  if (it->terminal) {
    PopupsClear();
    return;
  }
  popups_.erase(it);
  model_.mnPopups = static_cast<std::int32_t>(popups_.size());
  window_.ClosePopup(id);
}

void ScreenFormCore::PopupCloseBox(std::int32_t id) {
  const auto it = std::find_if(popups_.begin(), popups_.end(),
                               [id](const PopupEntry& popup) { return popup.id == id; });
  if (it == popups_.end()) return;
  if (it->terminal) {
    PopupsClear();
    return;
  }
  popups_.erase(it);
  model_.mnPopups = static_cast<std::int32_t>(popups_.size());
}

void ScreenFormCore::PopupKeyDown(std::int32_t keyCode, std::int32_t shift) {
  if (keyCode == kKeyF12 && shift == kShiftMask) shell_.ShowMonitor();
}

void ScreenFormCore::EnterTerminalMode() {
  GridModel& grid = model_.grid;
  grid.visible = false;
  grid.Clear();
  grid.tag = "-1";
  // Nothing of the screen before stays over the terminal, nor takes the keys typed on it:
  // its entries and the grid's row buttons go, and the keyboard comes back to the form.
  for (ControlRecord& entry : controls_.entries) entry.visible = false;
  for (ControlRecord& button : controls_.gridRow) button.visible = false;
  entryState_.focusedEntry = -1;
  window_.FocusForm();
  focus_.focusEntry = 0;
  model_.items.lastEntryNumber = 0;
  model_.items.gridFillText.clear();
  typing_.Reset();
  focus_.transmitPending = false;
  focus_.altSelectByKey = true;
  HideMenu();
  // The header labels as the terminal shows them, after a menu made them transparent.
  for (ControlRecord& label : controls_.formHeader) {
    label.opaque = true;
    label.foreColour = kWhite;
  }
  controls_.backColour = kWhite;
  controls_.picture.clear();
  window_.ClearBackgroundPicture();
}

void ScreenFormCore::OpenTerminalPopup(std::int32_t, const std::string& block) {
  ShowPopup(block, true);
}

void ScreenFormCore::LoggedOff() { shell_.ScreenFormUnloaded(*this); }

void ScreenFormCore::MenuDraw() { ::orvik::client::MenuDraw(parts_); }

void ScreenFormCore::FunctionDraw() {
  layout_.FunctionDraw();
  grid_.ApplyFreshCells();
  window_.ControlsChanged();
}

void ScreenFormCore::HideMenu() {
  MenuControls& menu = controls_.menu;
  menu.header.visible = menu.altPanel.visible = false;
  for (ControlRecord& label : menu.items) label.visible = false;
  for (ControlRecord& label : menu.narratives) label.visible = false;
}

void ScreenFormCore::GridActionsDraw() { grid_.GridActionsDraw(); }

void ScreenFormCore::OpenPopup(std::int32_t slot) { ShowPopup(model_.popups.Get(slot), false); }

void ScreenFormCore::Unload() { shell_.ScreenFormUnloaded(*this); }

void ScreenFormCore::Activate() {
  const bool wasActive = focus_.formActive;
  const std::int32_t entry = focus_.focusOnActivate;
  // The form counts as active before the focus is given back: the events processed meanwhile
  // include the click that activated the window, whose own focus (a grid cell's entry) must
  // neither wait for an activation that has already come nor be forgotten after it.
  focus_.formActive = true;
  focus_.focusOnActivate = -1;
  if (wasActive || entry < 0) return;
  if (model_.states.msFormState == state::kMenu) {
    // On a menu the focus entry is the highlighted item, a label: the keys belong to the
    // selection box.
    window_.FocusAltSelect(false);
    return;
  }
  // Giving the focus back transmits nothing, not even a value left pending.
  focus_.focusByProgram = true;
  window_.FocusEntryControl(entry);
  ProcessEventsOnce();
  focus_.focusByProgram = false;
  focus_.transmitPending = false;
}

void ScreenFormCore::Deactivate() {
  focus_.focusOnActivate = focus_.focusEntry;
  focus_.formActive = false;
}

void ScreenFormCore::MouseMove() { menuInput_.BackgroundHover(); }

bool ScreenFormCore::KeyDown(std::int32_t keyCode, std::int32_t shift) {
  const bool consumed = keys_.KeyDown(keyCode, shift);
  window_.ControlsChanged();
  return consumed;
}

std::int32_t ScreenFormCore::KeyPress(std::int32_t key) {
  const std::int32_t passed = typing_.KeyPress(key);
  if (passed == 0) return passed;
  if (model_.states.msFormState == state::kMenu) return menuInput_.KeyPress(passed);
  return grid_.RowUpdateCharacter(passed) ? 0 : passed;
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

std::array<ControlRecord*, 5> ScreenFormCore::FunctionButtons() {
  return {&controls_.fnExit, &controls_.fnQuit, &controls_.fnFile, &controls_.fnScreenPrint,
          &controls_.fnSearch};
}

void ScreenFormCore::CoveredBySubform() {
  window_.ClearBackgroundPicture();
  for (ControlRecord& label : controls_.formHeader) label.backColour = QBColor(7);
  std::size_t k = 0;
  for (ControlRecord* button : FunctionButtons()) {
    buttonsShownUnderSubform_[k++] = button->visible;
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
  // The buttons come back as the form showed them: a menu has none of its own.
  std::size_t k = 0;
  for (ControlRecord* button : FunctionButtons()) button->visible = buttonsShownUnderSubform_[k++];
  const ClientSettings& settings = shell_.Context().settings;
  if (settings.searchTextAny.empty() && settings.searchCustom.empty())
    controls_.fnSearch.visible = false;
  window_.ControlsChanged();
}

}  // namespace orvik::client
