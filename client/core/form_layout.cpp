#include "form_layout.h"

#include <cmath>

#include "colours.h"
#include "entry_controls.h"
#include "grid_fill.h"
#include "grid_layout.h"
#include "markup.h"
#include "numbers.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

constexpr const char* kDrawErrorRepeat =
    "Additional problem of repeating error, maybe stuck in a loop.  \r\nNow on repeat no. ";
constexpr const char* kDrawErrorRepeatEnd =
    ".  If repeat no. gets up to 3, this program will do an escape which may result in an "
    "incomplete screen display.";
constexpr const char* kDrawErrorDeveloper =
    "\r\n\r\nADDITIONAL INFO FOR DEVELOPERS: OrvikLink is temporarily delaying a probable crash "
    "to give you a chance to look at the direct monitor window (SHIFT+F12).";
constexpr int kLastError = 3;

}  // namespace

const std::string& FunctionLayout::Style(std::size_t position) const {
  static const std::string kNone;
  const StyleFields& fields = p_.model.items.styleFields;
  return position < fields.size() ? fields[position] : kNone;
}

bool FunctionLayout::Step(const std::function<void()>& statement) {
  if (errors_ >= kLastError) return false;
  try {
    statement();
    return true;
  } catch (const VbError& e) {
    ++errors_;
    ShellContext& context = p_.shell.Context();
    std::string text = errors_ == 1 ? "ERROR: " + std::to_string(e.number()) + ", " +
                                          e.description() + "\r\n\r\n" + kDrawErrorFirst
                                    : std::string(kDrawErrorRepeat) + std::to_string(errors_) +
                                          kDrawErrorRepeatEnd;
    if (context.settings.devMsg) text += kDrawErrorDeveloper;
    context.dialogs.MessageBox(text, BoxButtons::kOk, BoxIcon::kExclamation);
    return errors_ < kLastError;
  }
}

void FunctionLayout::FunctionDraw() {
  ScreenStates& st = p_.model.states;
  errors_ = 0;
  p_.focus.focusByProgram = true;
  const bool newScreen = st.msFormState == state::kFunction || st.msFormState == state::kRefresh;
  if (!newScreen) {
    if (st.msFormState == state::kUpdate && p_.controls.fnFile.caption != "&File")
      p_.controls.fnFile.caption = "&File";
  } else {
    Reset();
  }
  if (errors_ >= kLastError) return;
  gridColumnPlaced_ = false;
  ItemPass();
  if (errors_ >= kLastError) return;
  if (gridColumnPlaced_ && !Step([&] { CloseGridColumns(p_); })) return;
  // The grid entry's text boxes beyond those this screen handed out stay hidden.
  if (st.msFormState == state::kFunction) {
    for (std::int32_t k = 0; k <= p_.model.items.lastEntryNumber; ++k) {
      if (HasEntryControl(p_.controls, k)) EntryControl(p_.controls, k).tabIndex = k;
    }
  }
  FirstTransition();
  if (!p_.model.items.gridFillText.empty() &&
      !Step([&] { GridFillLoad(p_.model, p_.shell.Context()); }))
    return;
  p_.focus.focusByProgram = false;
  if (!Step([&] { EntryProgress(); })) return;
  if (st.msState2 == state::kMsgBoxCrSent) st.msState2.clear();
  p_.model.items.focusRequest = false;
  if (st.msState.compare(0, 4, "GRID") != 0) st.msState = std::string(state::kFormActive);
  s_.navBusy = true;
  if (!Step([&] { NavigationHistory(); })) return;
  SecondTransition();
  st.msFormStatePrevious = st.msFormState;
  p_.model.layout.msProgramPrevious = p_.model.layout.msPickProgram;
  p_.window.ControlsChanged();
  p_.ProcessEventsOnce();
  s_.navBusy = false;
  s_.newFormStarted = false;
}

void FunctionLayout::Reset() {
  ScreenModel& m = p_.model;
  FormControls& c = p_.controls;
  ShellContext& context = p_.shell.Context();
  const double cellWidth = context.cellWidth;
  const double cellHeight = p_.shell.CellHeight();
  m.items.lastEntryNumber = 0;
  p_.focus.focusEntry = 0;
  m.gridCursor.editRow = m.gridCursor.editCol = 0;
  s_.lastHighlighted = -1;
  s_.focusedEntry = -1;
  s_.newFormStarted = true;
  // Every entry control of the screen before goes: element 0 stays, hidden, and is no
  // entry of this screen until one is numbered 0.
  for (ControlRecord& control : c.entries) control.visible = false;
  c.entries.resize(1);
  c.entries[0].kind = ControlKind::kTextBox;
  c.entries[0].tag.clear();
  if (m.states.msFormState == state::kFunction) {
    Step([&] { c.backColour = LongOf(Val(Style(5))); });
    p_.surface.SetCursor(0, 0, 0, 0, false);  // the terminal's cursor
    if (m.layout.msFormScreen == "BOX") {
      p_.window.SetBoxGeometry(m.layout.mnBoxLeft * cellWidth, m.layout.mnBoxTop * cellHeight,
                               m.layout.mnBoxWidth * cellWidth, m.layout.mnBoxHeight * cellHeight);
    } else {
      p_.window.SetMaximized();
    }
  }
  s_.descLabelIndex.assign(31, 0);
  m.items.textEntriesUsed = 0;
  s_.commandUsed = s_.comboUsed = s_.checkUsed = 0;
  for (ControlRecord& label : c.menu.narratives) label.visible = false;
  s_.descLabelsLoaded = 0;
  m.grid.visible = false;
  Step([&] { GridReset(p_); });
  Step([&] { c.backColour = LongOf(Val(Style(5))); });
  // A new back colour clears what the terminal or the menu drew on the form.
  p_.surface.Clear(c.backColour);
  c.picture.clear();
  p_.window.ClearBackgroundPicture();
  p_.ProcessEventsOnce();
  MenuControls& menu = c.menu;
  menu.header.visible = menu.altPanel.visible = false;
  menu.header.enabled = menu.altPanel.enabled = false;
  for (ControlRecord& title : c.titles) title.visible = false;
  PlaceFunctionButtons(m.items.autoHeaderDone ? std::round(cellHeight * 1.3) : 0);
  for (ControlRecord& header : c.formHeader) {
    header.visible = false;
    header.opaque = true;
    Step([&] { header.backColour = LongOf(Val(Style(4))); });
    header.foreColour = QBColor(15);
  }
  for (ControlRecord& label : menu.items) label.visible = false;
  p_.ProcessEventsOnce();
  // The background picture in 7 x 5 tiles, each a little larger than its step.
  const double stepX = 76 * cellWidth / 6;
  const double stepY = 25 * cellHeight / 4;
  for (int i = 0; i <= 6; ++i) {
    for (int j = 0; j <= 4; ++j)
      p_.window.PaintBackgroundTile(i * stepX, j * stepY, 80 * cellWidth / 6, 26 * cellHeight / 4);
  }
  m.states.msState2.clear();
}

void FunctionLayout::PlaceFunctionButtons(double top) {
  FormControls& c = p_.controls;
  const ClientSettings& settings = p_.shell.Context().settings;
  const double width = p_.surface.ScaleWidth();
  const double buttonWidth = width * 0.08;
  const double height = p_.shell.CellHeight() * 1.2;
  for (ControlRecord* button : {&c.fnExit, &c.fnQuit, &c.fnFile, &c.fnScreenPrint, &c.fnSearch}) {
    button->top = top;
    button->width = buttonWidth;
    button->height = height;
    button->kind = ControlKind::kButton;
  }
  c.fnScreenPrint.visible = true;
  c.fnScreenPrint.caption = "Sc &Pr(F11)";
  c.fnSearch.visible = !settings.searchTextAny.empty() || !settings.searchCustom.empty();
  c.fnSearch.caption = "&Search";
  c.fnFile.visible = true;
  c.fnFile.enabled = false;
  if (c.fnFile.caption.empty()) c.fnFile.caption = "&File";
  c.fnQuit.visible = true;
  c.fnQuit.enabled = false;
  c.fnQuit.caption = "&Quit";
  c.fnExit.visible = true;
  c.fnExit.enabled = true;
  c.fnExit.isCancel = true;
  c.fnQuitIsCancel = false;
  c.fnExit.caption = "E&xit";
  // Right to left, with no gap.
  c.fnExit.left = width - 1.5 * buttonWidth;
  c.fnQuit.left = c.fnExit.left - buttonWidth;
  c.fnFile.left = c.fnQuit.left - buttonWidth;
  c.fnScreenPrint.left = c.fnFile.left - buttonWidth;
  c.fnSearch.left = c.fnScreenPrint.left - buttonWidth;
}

void FunctionLayout::ItemPass() {
  EntrySpecTable& spec = p_.model.entrySpec;
  for (std::int32_t row = 1; row <= kEntryRows; ++row) {
    const std::string type = spec.Get(row, 12) == "Y" ? spec.Get(row, 1) : "IGNORE";
    if (type == "/TX") break;
    bool go = true;
    if (type == "LABEL") {
      go = Step([&] { PlaceLabel(row); });
    } else if (type == "TEXTBOX" || type == "COMMAND" || type == "COMBO" || type == "CHECK") {
      go = Step([&] { PlaceEntry(row); });
    } else if (type == "FORMHEADER") {
      go = Step([&] { PlaceFormHeader(row); });
    } else if (type == "GRID") {
      go = Step([&] { PlaceGrid(p_, s_, row); });
    } else if (type == "GRIDCOL") {
      go = Step([&] { PlaceGridColumn(p_, row); });
      gridColumnPlaced_ = true;
    } else if (type == "DO_POPUP") {
      go = Step([&] {
        const std::int32_t slot = LongOf(Val(spec.Get(row, 2)));
        p_.model.popups.Get(slot);  // a slot outside 1..5 is subscript error 9
        openPopup_(slot);
      });
    }
    if (!go) return;
  }
}

void FunctionLayout::FirstTransition() {
  ScreenStates& st = p_.model.states;
  const std::string kind = st.msFormState;
  if (p_.model.items.mbActionCode) {
    if (kind == state::kFunction || kind == state::kRefresh) {
      st.msFormState = std::string(state::kFunctionOpen);
      st.msFormStatePrevious = std::string(state::kFunction);
    } else {
      st.msFormState = std::string(state::kUpdate);
      st.msFormStatePrevious = kind;
    }
  } else if (st.msState2 != state::kExternalChange &&
             (kind == state::kUpdate || kind == state::kNominate)) {
    if (kind == state::kUpdate && st.msState2 == state::kMsgBoxCrSent) s_.newFormStarted = true;
    st.msFormState = std::string(state::kNomNew);
    st.msFormStatePrevious = kind;
  }
}

void FunctionLayout::SecondTransition() {
  ScreenStates& st = p_.model.states;
  if (st.msFormState == state::kFunctionOpen) {
    st.msFormState = std::string(state::kUpdate);
  } else if (st.msFormState == state::kFunction || st.msFormState == state::kRefresh) {
    st.msFormState = std::string(state::kNominate);
  }
}

}  // namespace orvik::client
