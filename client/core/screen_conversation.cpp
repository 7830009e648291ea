#include "screen_conversation.h"

#include "markup.h"
#include "numbers.h"
#include "string_works.h"
#include "text.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

bool IsOneOf(std::string_view s, std::initializer_list<std::string_view> values) {
  for (std::string_view v : values)
    if (s == v) return true;
  return false;
}

}  // namespace

ControlRecord& ScreenConversation::Entry(std::int32_t index) {
  std::vector<ControlRecord>& entries = p_.controls.entries;
  if (index < 0 || index >= static_cast<std::int32_t>(entries.size()))
    throw VbError(vberr::kSubscriptOutOfRange);
  return entries[static_cast<std::size_t>(index)];
}

// A control's default property: a check box's value, any other control's text.
std::string ScreenConversation::ValueOf(const ControlRecord& control) {
  return control.kind == ControlKind::kCheckBox ? std::to_string(control.value) : control.caption;
}

std::int32_t ScreenConversation::ActionOf(const ControlRecord& control) const {
  return LongOf(p_.model.entrySpec.Get(LongOf(control.tag), 2));
}

void ScreenConversation::Send(const std::string& text) { p_.shell.Send(text); }

void ScreenConversation::FormRXProcessMaster() {
  ScreenStates& st = p_.model.states;
  if (st.msState != state::kMsgBoxYesNo) yesNoCount_ = 0;
  const std::string s = st.msState;
  if (Dispatch(s)) CommonEnd();
}

bool ScreenConversation::Dispatch(const std::string& s) {
  ScreenStates& st = p_.model.states;
  ShellContext& context = p_.shell.Context();
  const ClientSettings& settings = context.settings;
  if (s == state::kFormActive) {
    Draw();
  } else if (s == state::kFormSendActionCode) {
    SendActionCode();
  } else if (s == state::kFormEntryRows) {
    SendEntryRow();
  } else if (s == state::kGridAddOn) {
    if (p_.model.layout.msGridType != "READONLY") {
      st.msState = std::string(state::kGridEscape);
      Send(settings.exitCommand + "\r\n");  // a fixed line end, not EOS
    }
  } else if (IsOneOf(s, {state::kGridUpdateRow, state::kGridUpdateRowEnd, state::kGridInsertRow,
                         state::kGridDeleteRow, state::kGridVertical, state::kGridHorizontal})) {
    return GridStep();
  } else if (s == state::kGridEscape) {
    if (st.msFormState == state::kUpdate) {
      GridEscape();
    } else {
      // Nothing is sent and the states stay, but the keyboard is not left locked.
      context.dialogs.MessageBox(kInvalidProtocolBox, BoxButtons::kOk, BoxIcon::kNone);
    }
  } else if (s == state::kMsgBoxError) {
    MessageBoxError();
  } else if (s == state::kMsgBoxInfo) {
    context.dialogs.MessageBox(p_.model.texts.msDialog, BoxButtons::kOk, BoxIcon::kInformation);
    p_.ProcessEventsOnce();
    RestoreAfterBox();
    Send(settings.eos);
  } else if (s == state::kMsgBoxYesNo) {
    MessageBoxYesNo();
  } else if (s == state::kErrorFunction) {
    st.msState = std::string(state::kFormActive);
    context.dialogs.MessageBox(p_.model.texts.msDialog, BoxButtons::kOk, BoxIcon::kExclamation);
    Send("y" + settings.eos);
  } else if (s == state::kRecovery) {
    st.msState = st.msStatePrevious;
  } else if (s == state::kAppOffOk) {
    context.dialogs.MessageBox(kLoggedOffCleanlyBox, BoxButtons::kOk, BoxIcon::kNone);
    actions_.Unload();
  } else if (s == state::kAppOffError) {
    st.msState = std::string(state::kFormActive);
    if (context.dialogs.MessageBox(kUnfinishedBusinessBox, BoxButtons::kYesNo,
                                   BoxIcon::kExclamation) == BoxAnswer::kNo) {
      actions_.Unload();
    }
  }
  return true;
}

void ScreenConversation::SendActionCode() {
  ScreenModel& m = p_.model;
  const std::string& eos = p_.shell.Context().settings.eos;
  const std::int32_t last = p_.focus.lastSentEntry;
  ControlRecord& sent = Entry(last);
  const std::int32_t row = LongOf(sent.tag);
  if (m.subActions.Get(ActionOf(sent), 1) < 2) {
    m.states.msState = std::string(state::kFormActive);
    m.items.miFormItem = row;
    Send(OneLine(ValueOf(sent)) + eos);
    return;
  }
  m.states.msState = std::string(state::kFormEntryRows);
  entryRowFirst_ = last - LongOf(m.entrySpec.Get(row, 9)) + 1;
  for (std::int32_t k = entryRowFirst_; k <= last - 1; ++k) {
    ControlRecord& control = Entry(k);
    if (ValueOf(control).empty()) control.caption = " ";
  }
  entryRowNext_ = entryRowFirst_;
  ControlRecord& first = Entry(entryRowNext_);
  m.items.miFormItem = LongOf(first.tag);
  Send(OneLine(ValueOf(first)) + eos);
}

void ScreenConversation::SendEntryRow() {
  ScreenModel& m = p_.model;
  ++entryRowNext_;
  const std::int32_t last = p_.focus.lastSentEntry;
  const std::int32_t rows = m.subActions.Get(ActionOf(Entry(last)), 1);
  if (entryRowNext_ - rows + 1 == entryRowFirst_) {
    m.states.msState = std::string(state::kFormActive);
    m.states.msState2 = std::string(state::kRowsEnd);
    m.items.miFormItem = LongOf(Entry(last).tag);
  } else {
    m.items.miFormItem = LongOf(Entry(entryRowNext_).tag);
  }
  Send(OneLine(ValueOf(Entry(entryRowNext_))) + p_.shell.Context().settings.eos);
}

void ScreenConversation::GridEscape() {
  ScreenModel& m = p_.model;
  FormControls& c = p_.controls;
  actions_.GridActionsDraw();
  m.gridCursor.editRow = 1;
  m.gridCursor.editCol = 0;
  GridModel& grid = m.grid;
  grid.scrollBars = 2;
  grid.SetCol(0);
  grid.SetRow(1);
  grid.SetTopRow(1);
  const std::int32_t gridEntry = LongOf(grid.tag);
  ControlRecord& control = Entry(gridEntry);
  control.caption.clear();
  control.left = -9999;  // off the screen
  control.enabled = true;
  control.backColour = QBColor(11);
  p_.focus.focusEntry = gridEntry;
  for (std::int32_t k = 1; k <= gridEntry - 1; ++k) {
    ControlRecord& entry = Entry(k);
    entry.enabled = Val(m.entrySpec.Get(LongOf(entry.tag), 3)) >= 0;
    entry.backColour = QBColor(15);
  }
  for (ControlRecord& button : c.gridRow) button.visible = true;
  c.fnFile.enabled = true;
  c.fnFile.caption = "&File";
  c.fnExit.enabled = false;
  c.fnExit.caption = "E&xit";
  m.gridArea.mnGridRows = 0;
  p_.focus.gridConfirmSkip = true;
  if (p_.focus.formActive) {
    p_.window.FocusEntryControl(gridEntry);
  } else {
    p_.focus.focusOnActivate = 1;
  }
  m.states.msState2 = std::string(state::kGridEscape);
  m.states.msState = std::string(state::kFormActive);
}

void ScreenConversation::RenumberGridRows() {
  GridModel& grid = p_.model.grid;
  for (std::int32_t i = grid.Row(); i <= grid.Rows() - 1; ++i)
    grid.SetTextMatrix(i, 0, std::to_string(i));
}

bool ScreenConversation::GridStep() {
  ScreenModel& m = p_.model;
  ScreenStates& st = m.states;
  GridModel& grid = m.grid;
  FormControls& c = p_.controls;
  if (st.msState2 == state::kMsgBoxYesNo || st.msState2 == state::kMsgBoxCrSent) {
    st.msState2.clear();
  } else if (st.msState2 == state::kExternalChange) {
    actions_.FunctionDraw();
    p_.ProcessEventsOnce();
    p_.focus.gridConfirmSkip = true;
    st.msState2.clear();
  }
  if (st.msState == state::kGridInsertRow) {
    grid.AddItem("", grid.Row());
    ++m.gridArea.mnGridRows;
    grid.SetCellAlignment(kAlignRightCentre);
    RenumberGridRows();
    if (m.layout.mbGuiPlus) {
      // The row is in: the common end frees the keyboard, which nothing else would.
      st.msState = std::string(state::kFormActive);
      return true;
    }
    for (ControlRecord& button : c.gridRow) button.visible = false;
    st.msState = std::string(state::kGridUpdateRow);
  } else if (st.msState == state::kGridDeleteRow) {
    grid.RemoveItem(grid.Row());
    --m.gridArea.mnGridRows;
    grid.SetCellAlignment(kAlignRightCentre);
    RenumberGridRows();
    st.msState = std::string(state::kFormActive);
    p_.shell.SetAwaitingReply(false);
    return false;
  } else if (st.msState == state::kGridVertical || st.msState == state::kGridHorizontal) {
    st.msState += "_CONFIRM";
  } else if (st.msState == state::kGridUpdateRow) {
    for (ControlRecord& button : c.gridRow) button.visible = false;
  }
  actions_.GridActionsDraw();
  if (st.msState == state::kGridUpdateRowEnd) {
    st.msState = std::string(state::kFormActive);
    grid.scrollBars = 2;
    grid.SetCol(0);
    ControlRecord& control = Entry(LongOf(grid.tag));
    control.caption.clear();
    double offset = grid.RowHeight(0);
    for (std::int32_t r = grid.TopRow(); r < grid.Row(); ++r) offset += grid.RowHeight(r);
    control.top = grid.top + offset;
    control.left = grid.left;
    control.width = 2 * p_.shell.Context().cellWidth;
    grid.SetColSel(grid.Cols() - 1);
    for (ControlRecord& button : c.gridRow) button.visible = true;
  }
  return true;
}

void ScreenConversation::MessageBoxError() {
  ScreenModel& m = p_.model;
  ScreenStates& st = m.states;
  ShellContext& context = p_.shell.Context();
  st.msState2 = std::string(state::kMsgBoxCrSent);
  p_.focus.lastSentRefused = true;
  const std::string& dialog = m.texts.msDialog;
  context.dialogs.MessageBox(dialog, BoxButtons::kOk, BoxIcon::kExclamation);
  if (FindNoCase(dialog, "software condition") != std::string::npos) {
    context.dialogs.MessageBox(std::string(kServerStopBox) + "\r\n\r\n\"" + dialog + "\"",
                               BoxButtons::kOk, BoxIcon::kCritical);
    p_.shell.EmergencyExit();
    return;
  }
  if (IsOneOf(st.msStatePrevious,
              {state::kGridInsertRow, state::kFormSendActionCode, state::kGridDeleteRow})) {
    st.msState = std::string(state::kFormActive);
  } else if (st.msFormState == state::kNomNew || st.msFormState == state::kUpdate) {
    // The refused value is forgotten, so that the entry goes out again once corrected; a
    // screen whose entry controls are not laid out has none to forget.
    const std::int32_t focus = p_.focus.focusEntry;
    const bool laidOut =
        focus >= 0 && focus < static_cast<std::int32_t>(p_.controls.entries.size());
    if (st.msStatePrevious.compare(0, 4, "GRID") != 0 && laidOut)
      m.entrySpec.Set(LongOf(Entry(focus).tag), 4, "");
    p_.focus.focusEntry = p_.focus.lastSentEntry;
    st.msState = st.msStatePrevious;
  } else {
    st.msState = st.msStatePrevious;
  }
  Send(context.settings.eos);
  if (st.msFormState == state::kMenu) p_.window.FocusAltSelect(false);
}

void ScreenConversation::MessageBoxYesNo() {
  ScreenStates& st = p_.model.states;
  ShellContext& context = p_.shell.Context();
  const ClientSettings& settings = context.settings;
  if (st.msFormState == state::kNomNew || st.msFormState == state::kUpdate) actions_.FunctionDraw();
  ++yesNoCount_;
  RestoreAfterBox();
  st.msState2 = std::string(state::kMsgBoxYesNo);
  const BoxAnswer answer =
      context.dialogs.MessageBox(p_.model.texts.msDialog, BoxButtons::kYesNo, BoxIcon::kQuestion);
  // A second box in a row is answered without the end of send.
  const std::string end = yesNoCount_ < 2 ? settings.eos : std::string();
  if (answer == BoxAnswer::kYes) {
    if (yesNoCount_ < 2 && context.dataToSend == settings.quitCommand + settings.eos)
      st.msState2 = std::string(state::kQuit);
    Send("Y" + end);
  } else {
    Send("N" + end);
  }
}

// The state before the box comes back (the dispatcher kept it in msStatePrevious), and the
// pending condition moves into msStatePrevious: after two yes/no boxes in a row it reads
// "MSGBOX_YESNO", which tells the entry handlers to let the next validation pass.
void ScreenConversation::RestoreAfterBox() {
  ScreenStates& st = p_.model.states;
  st.msState = st.msStatePrevious;
  st.msStatePrevious = st.msState2;
}

void ScreenConversation::Draw() {
  ScreenModel& m = p_.model;
  ScreenStates& st = m.states;
  const std::string& kind = st.msFormState;
  // A menu or a new data-entry screen is a screen of its own; a refresh or an update
  // redraws the one the guards were set on.
  if (kind == state::kMenu || kind == state::kFunction) st.ForgetEntryGuards();
  if (kind == state::kMenu) {
    if (st.msState2 == state::kPopup) {
      // The popups of the menu before go: none is left open out of reach.
      actions_.PopupsClear();
      actions_.OpenPopup(1);
      st.msState2.clear();
    } else {
      actions_.MenuDraw();
    }
  } else if (kind == state::kFunction || kind == state::kRefresh) {
    if (m.mnPopups > 0) actions_.PopupsClear();
    actions_.FunctionDraw();
    st.msState2.clear();
  } else if (IsOneOf(kind, {state::kUpdate, state::kNomNew, state::kNominate})) {
    actions_.FunctionDraw();
    st.msState2.clear();
  }
}

void ScreenConversation::CommonEnd() {
  p_.shell.SetAwaitingReply(false);
  p_.focus.gridConfirmSkip = false;
  p_.focus.focusByProgram = false;
  p_.shell.SetBusyPointer(false);
}

}  // namespace orvik::client
