#include "rx_process.h"

#include <new>
#include <stdexcept>

#include "engine_protocol.h"
#include "form_items.h"
#include "markup.h"
#include "rx_form_parse.h"
#include "rx_grid_process.h"
#include "rx_popups_extract.h"
#include "rx_text_filter.h"
#include "settings_parse.h"
#include "style_parse.h"
#include "tag_attribute.h"
#include "text.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

using protocol::kActionCode;
using protocol::kAddOn;
using protocol::kAppOffOk;
using protocol::kEndOfTransmission;
using protocol::kForm;
using protocol::kFormHeaderStart;
using protocol::kGridCell;
using protocol::kIni;
using protocol::kLogOffOk;
using protocol::kMsgBox;
using protocol::kPopup;
using protocol::kPopupEnd;
using protocol::kPosition;
using protocol::kProgram;
using protocol::kRefresh;
using protocol::kStyle;
using protocol::kTerminal;
using protocol::kTypeFunction;
using protocol::kTypeMenu;
using protocol::kTypeRefresh;
using protocol::kTypeSearch;

bool Has(std::string_view text, std::string_view what) {
  return FindNoCase(text, what) != std::string_view::npos;
}
bool HasExact(std::string_view text, std::string_view what) {
  return FindExact(text, what) != std::string_view::npos;
}

class Dispatcher {
 public:
  Dispatcher(std::string& msRX, ScreenForm& top, ShellContext& shell)
      : msRX_(msRX),
        top_(top),
        m_(top.Model()),
        s_(top.Model().states),
        shell_(shell),
        settings_(shell.settings),
        text_(msRX) {}

  // True when the text was left whole to wait for the rest of its transmission.
  bool Run() {
    if (s_.msState == state::kTerminal && TerminalWait()) return true;
    if (Has(msRX_, kTerminal)) {
      s_.msState = state::kTerminal;
      s_.msFormState = state::kTerminal;
    }
    if (s_.msState == state::kTerminal) return !TerminalPath();
    if (!CompleteOrTimedOut()) return waiting_;
    msRX_.clear();
    shell_.pollCounter = 0;
    SettingsAndStyles();
    if (!FormTag()) return false;
    ByContent();
    return false;
  }

 private:
  bool MayWait() const { return shell_.pollCounter <= settings_.timeout; }
  void Finish() { shell_.pollCounter = 0; }

  // In terminal state: true when the text is to wait for its end. A form that announces
  // itself (a search, a menu or a program's form) is taken at once, out of terminal state.
  bool TerminalWait() {
    m_.texts.msDialog.clear();
    s_.msStatePrevious = state::kTerminal;
    const std::size_t form = FindNoCase(text_, kForm);
    if (form != std::string::npos) {
      settings_.tagSeparator = SeparatorAfter(text_, form, 5);
      const std::string separator(1, settings_.tagSeparator);
      std::size_t found = FindExact(text_, separator + std::string(kTypeSearch));
      if (found == std::string::npos) found = FindExact(text_, separator + std::string(kTypeMenu));
      if (found == std::string::npos) found = FindExact(text_, kProgram);
      if (found != std::string::npos && found > form) {
        s_.msState.clear();
        return false;
      }
    }
    if (Has(text_, kEndOfTransmission) || !MayWait()) return false;
    if (form == std::string::npos) {
      // An unclosed tag at the end.
      const std::size_t lastOpen = text_.rfind('<');
      const std::size_t lastClose = text_.rfind('>');
      return lastOpen != std::string::npos &&
             (lastClose == std::string::npos || lastOpen > lastClose);
    }
    return text_.find('>', form) == std::string::npos;
  }

  // False when an unclosed popup block waits for its end.
  bool TerminalPath() {
    const std::size_t popup = FindExact(text_, kPopup);
    if (popup != std::string::npos && FindExact(text_, kPopupEnd, popup) == std::string::npos &&
        shell_.pollCounter < settings_.timeout) {
      return false;
    }
    std::string text = RxTextFilter(msRX_, s_.msState, settings_);
    msRX_.clear();
    shell_.Log("PROCESS: continuing with State=TERMINAL:");
    TerminalFinish(text);
    return true;
  }

  void TerminalFinish(std::string& text) {
    RXPopupsExtract(text, m_.popups, shell_.dialogs);
    RXFormParse(text, m_, shell_);
    top_.TerminalDraw();
    Finish();
  }

  // Outside terminal state: true when the text is to be dispatched now.
  bool CompleteOrTimedOut() {
    if (MayWait()) {
      const std::string& appOff = settings_.appOffResponse;
      if ((!appOff.empty() && Has(text_, appOff)) || Has(text_, kAppOffOk) ||
          Has(text_, kLogOffOk)) {
        // The log-off is confirmed even before the end of the transmission. The text is
        // taken: left pending, the confirmation would come again on every tick, and once a
        // sub-form had gone it would log the form beneath it off too.
        msRX_.clear();
        s_.msState = state::kAppOffOk;
        top_.FormRXProcessMaster();
        Finish();
        return false;
      }
      waiting_ = !Has(text_, kEndOfTransmission);
      return !waiting_;
    }
    if (!Has(text_, kPosition) || Has(text_, kProgram)) {
      const std::string& st = s_.msState;
      if (st == state::kFormSendActionCode || st == state::kFormActive ||
          st == state::kFormEntryRows) {
        shell_.Box("Timeout ERROR.  Could you please try re-doing this?", BoxIcon::kExclamation);
        s_.msStatePrevious = state::kFormActive;
        s_.msState = state::kRecovery;
        msRX_.clear();
        top_.FormRXProcessMaster();
        Finish();
        return false;
      }
      return true;
    }
    // Terminal text that never ended: show it as terminal text.
    s_.msState = state::kTerminal;
    s_.msFormState = state::kTerminal;
    msRX_.clear();
    std::string text = RxTextFilter(text_, s_.msState, settings_);
    shell_.Log("PROCESS: switched to STATE=TERMINAL on FUNCTION timeout:");
    TerminalFinish(text);
    return false;
  }

  // The tag's body (between "<" and the next ">", or to the end) is taken out of the text.
  std::string TakeTag(std::size_t at) {
    const std::size_t close = text_.find('>', at);
    const std::size_t end = close == std::string::npos ? text_.size() : close + 1;
    std::string body = text_.substr(at + 1, (close == std::string::npos ? end : close) - at - 1);
    text_.erase(at, end - at);
    return body;
  }

  // The first INI tag and every STYLE tag, applied and removed.
  void SettingsAndStyles() {
    const std::size_t ini = FindNoCase(text_, kIni);
    if (ini != std::string::npos) {
      const std::string body = TakeTag(ini);
      settings_.tagSeparator = SeparatorAfter(body, 0, 3);
      SettingsParse(body, settings_, ShellOutlets{&shell_.dialogs, shell_.monitor});
    }
    for (std::size_t style = FindNoCase(text_, kStyle); style != std::string::npos;
         style = FindNoCase(text_, kStyle)) {
      const std::string body = TakeTag(style);
      settings_.tagSeparator = SeparatorAfter(body, 0, 5);
      StyleParse(body, shell_.styles, settings_.tagSeparator, shell_.cellWidth);
    }
  }

  // Filter, popups, form parser and state machine for a form or a menu.
  void FormFinish() {
    text_ = RxTextFilter(text_, s_.msState, settings_);
    RXPopupsExtract(text_, m_.popups, shell_.dialogs);
    RXFormParse(text_, m_, shell_);
    top_.FormRXProcessMaster();
  }

  // The FORM tag. False when the text has been dealt with.
  bool FormTag() {
    const std::size_t p = FindNoCase(text_, kForm);
    if (p == std::string::npos ||
        EqualsNoCase(std::string_view(text_).substr(p, kFormHeaderStart.size()),
                     kFormHeaderStart)) {
      if (s_.msFormState != state::kMenu) return true;
      if (Has(text_, kPopup)) {
        RXPopupsExtract(text_, m_.popups, shell_.dialogs);
        s_.msState2 = state::kPopup;
        top_.FormRXProcessMaster();
        return false;
      }
      if (Has(text_, kMsgBox)) return true;
      if (Has(text_, kPosition)) {
        s_.msState = state::kTerminal;
        s_.msFormState = state::kTerminal;
        return true;
      }
      return false;  // nothing on a menu screen changes
    }

    settings_.tagSeparator = SeparatorAfter(text_, p, 5);
    const std::string separator(1, settings_.tagSeparator);
    if (HasExact(text_, separator + std::string(kTypeFunction)) && !Has(text_, kProgram)) {
      // A form that names no program is shown as terminal text.
      const bool wasTerminal = s_.msState == state::kTerminal;
      s_.msStatePrevious = s_.msState;
      s_.msState = state::kTerminal;
      if (!wasTerminal) s_.msFormState = state::kTerminal;
      return true;
    }
    const std::size_t menu = FindNoCase(text_, separator + std::string(kTypeMenu));
    if (menu != std::string::npos) {
      const std::size_t next = FindNoCase(text_, kForm, p + 1);
      if (next != std::string::npos && next < menu) UnjamMenu(menu);
      s_.msState = state::kFormActive;
      s_.msFormState = state::kMenu;
      FormFinish();
      return false;
    }
    if (Has(text_, separator + std::string(kTypeFunction))) {
      s_.msState = state::kFormActive;
      s_.msFormState = state::kFunction;
      FormFinish();
      return false;
    }
    if (s_.msState == state::kTerminal) {
      s_.msStatePrevious = state::kTerminal;
      s_.msState.clear();
      s_.msFormState.clear();
    }
    return true;
  }

  // A form and a menu in one response: the menu wins.
  void UnjamMenu(std::size_t menu) {
    std::size_t last = 0;
    for (std::size_t at = FindNoCase(text_, kForm); at != std::string::npos && at < menu;
         at = FindNoCase(text_, kForm, at + 1)) {
      last = at;
    }
    text_.erase(0, last);
    shell_.DevBox(
        "DEVELOPERS' WARNING: Detected FORM and separate MENU  \"jammed together\" in the one "
        "response.  Automatic correction made, now menu only with preceding material chopped "
        "off.");
    shell_.Log("NOTE: Detected FORM and separate MENU  \"jammed together\" in the one response");
  }

  void ByContent() {
    if (s_.msState == state::kTerminal) {
      TerminalDisplay();
      return;
    }
    if (HasExact(text_, kMsgBox)) {
      MessageBox();
      return;
    }
    if (Has(text_, kTypeSearch) && Has(text_, kForm)) {
      m_.texts.msData = RxTextFilter(text_, s_.msState, settings_);
      if (!(s_.msStatePrevious == state::kTerminal && s_.msState.empty())) {
        s_.msStatePrevious = s_.msState;
      }
      s_.msState = state::kSearch;
      top_.SearchActivate();
      return;
    }
    text_ = RxTextFilter(text_, s_.msState, settings_);
    RXPopupsExtract(text_, m_.popups, shell_.dialogs);
    if (Refresh()) {
      s_.msFormState = s_.msState == state::kSearch ? state::kUpdate : state::kRefresh;
      RXFormParse(text_, m_, shell_);
      s_.msState = state::kFormActive;
      top_.FormRXProcessMaster();
    } else {
      ByState();
    }
    shell_.Log("FORMSTATE=" + s_.msFormState + ",  STATE=" + s_.msState);
  }

  void MessageBox() {
    const std::size_t at = FindExact(text_, kMsgBox);
    const std::size_t close = text_.find('>', at);
    const std::size_t bodyEnd = close == std::string::npos ? text_.size() : close;
    const std::string body = text_.substr(at + 1, bodyEnd - at - 1);
    const std::string separator(1, SeparatorAfter(text_, at, 7));
    std::string type = TagAttribute(body, "TYPE", separator);
    if (type.empty() || type == "OKONLY") type = "ERROR";
    m_.texts.msDialogType = type;
    std::string message;
    if (close != std::string::npos) {
      const std::size_t next = text_.find('<', close + 1);
      message =
          text_.substr(close + 1, (next == std::string::npos ? text_.size() : next) - close - 1);
    }
    m_.texts.msDialog = message + "\n";
    s_.msStatePrevious = s_.msState;
    s_.msState = std::string(state::kMsgBoxPrefix) + type;
    if ((type == "INFO" || type == "ERROR") &&
        (s_.msFormState == state::kUpdate || s_.msFormState == state::kNomNew)) {
      // The form is refreshed under the box.
      RXFormParse(text_, m_, shell_);
    }
    shell_.Log("PROCESS: GUI MESSAGEBOX TRAP activating");
    top_.FormRXProcessMaster();
  }

  // A refresh keeps the form and renews its contents: "<REFRESH>", or a tag with
  // TYPE=REFRESH, which becomes "<REFRESH>" when it is the tag that holds it.
  bool Refresh() {
    const std::size_t refresh = FindNoCase(text_, kRefresh);
    if (refresh != std::string::npos) {
      text_.erase(0, refresh);
      return true;
    }
    const std::size_t type = FindNoCase(text_, kTypeRefresh);
    if (type == std::string::npos) return false;
    const std::size_t close = text_.find('>', type);
    if (close == std::string::npos) return false;
    const std::size_t open = text_.find('<', type);
    if (open == std::string::npos || open > close) text_.replace(0, close + 1, kRefresh);
    return true;
  }

  void ByState() {
    const std::string& st = s_.msState;
    const bool gridState = st.starts_with("GRID");
    if (st == state::kAppOffRequested) {
      // The engine answered the log-off request with something else.
      s_.msState = state::kAppOffError;
      top_.FormRXProcessMaster();
    } else if (m_.layout.mbGuiPlus && !gridState && !Has(text_, kGridCell)) {
      RXFormParse(text_, m_, shell_);
      top_.FormRXProcessMaster();
    } else if (st == state::kFormSendActionCode) {
      FormItemsFunction(text_, m_, shell_);
      top_.FormRXProcessMaster();
    } else if (st == state::kFormEntryRows) {
      if (Has(text_, kActionCode)) {
        s_.msState = state::kFormActive;
        s_.msFormState = state::kUpdate;
        RXFormParse(text_, m_, shell_);
      }
      top_.FormRXProcessMaster();
    } else if (st == state::kGridEscape) {
      if (Has(text_, kActionCode)) s_.msFormState = state::kUpdate;
      top_.FormRXProcessMaster();
    } else if (st == state::kGridInsertRow) {
      RXGridProcess(text_, m_, shell_);
      top_.FormRXProcessMaster();
    } else if (st == state::kGridDeleteRow) {
      top_.FormRXProcessMaster();
    } else if (m_.layout.msGridType != "READONLY" &&
               (Has(text_, kGridCell) || st == state::kGridUpdateRow)) {
      GridTransmission();
    } else if (st == state::kFormActive) {
      RXFormParse(text_, m_, shell_);
      top_.FormRXProcessMaster();
    } else if (!gridState) {
      if (HasExact(text_, kPosition)) {
        RXFormParse(text_, m_, shell_);
        s_.msState = state::kFormActive;
        top_.FormRXProcessMaster();
      }
    } else if (s_.msState2 == state::kMsgBoxCrSent ||
               (s_.msState2 == state::kMsgBoxYesNo &&
                UpperCase(shell_.dataToSend) == "N" + settings_.eos)) {
      top_.FormRXProcessMaster();
    }
  }

  void GridTransmission() {
    const std::string& kind = s_.msFormState;
    if (kind == state::kNominate || kind == state::kNomNew || HasExact(text_, kAddOn)) {
      s_.msStatePrevious = s_.msState;
      s_.msState = state::kGridAddOn;
    }
    RXGridProcess(text_, m_, shell_);
    if (s_.msState2 == state::kExternalChange) {
      // The fields the engine changed are redrawn from the text before the grid cells.
      const std::size_t cell = FindNoCase(text_, kGridCell);
      if (cell != std::string::npos && cell > 0)
        text_ = text_.substr(0, cell) + std::string(kEndOfTransmission);
      RXFormParse(text_, m_, shell_);
    }
    top_.FormRXProcessMaster();
  }

  // Text that reached a form state but is terminal text after all. Popup blocks stay in it.
  void TerminalDisplay() {
    std::string shown = RxTextFilter(text_, s_.msState, settings_);
    const std::size_t end = FindNoCase(shown, kEndOfTransmission);
    if (end != std::string::npos)
      shown.resize(std::min(shown.size(), end + kEndOfTransmission.size() + 1));
    shell_.Log("PROCESS: Partially converted RX will display as TERMINAL:");
    RXFormParse(shown, m_, shell_);
    top_.TerminalDraw();
  }

  std::string& msRX_;
  ScreenForm& top_;
  ScreenModel& m_;
  ScreenStates& s_;
  ShellContext& shell_;
  ClientSettings& settings_;
  std::string text_;      // the working copy of msRX
  bool waiting_ = false;  // a form's transmission waits for its end
};

struct CaughtError {
  int number;
  std::string description;
};

// What the dispatch threw, as a number and a description. Call only inside a catch block.
CaughtError CurrentError() {
  try {
    throw;
  } catch (const VbError& e) {
    return {e.number(), e.description()};
  } catch (const std::bad_alloc&) {
    return {vberr::kOutOfMemory, std::string(StandardErrorText(vberr::kOutOfMemory))};
  } catch (const std::length_error&) {
    return {vberr::kOutOfStringSpace, std::string(StandardErrorText(vberr::kOutOfStringSpace))};
  } catch (const std::exception& e) {
    return {440, e.what()};
  } catch (...) {
    return {440, std::string(StandardErrorText(440))};
  }
}

}  // namespace

bool RXWaitsForRest(std::string_view msRX, std::size_t checked, const ScreenStates& states,
                    const ShellContext& shell) {
  const auto foundFrom = [&](std::string_view tag) {
    const std::size_t from = checked >= tag.size() ? checked - tag.size() + 1 : 0;
    return FindNoCase(msRX, tag, from) != std::string_view::npos;
  };
  if (states.msState == state::kTerminal) {
    // The terminal rule looks at the whole text, so only a wait the dispatcher itself decided
    // is carried on: it can end only by a ">" (which closes a tag, the popup block or the
    // transmission), a form or program tag, a form's TYPE, or the time-out.
    if (checked == 0 || shell.pollCounter >= shell.settings.timeout) return false;
    if (msRX.find('>', checked) != std::string_view::npos) return false;
    return !foundFrom(kForm) && !foundFrom(kProgram) && !foundFrom("TYPE=");
  }
  // As the dispatcher decides outside terminal state (Run and CompleteOrTimedOut).
  if (shell.pollCounter > shell.settings.timeout) return false;
  for (const std::string_view tag : {kTerminal, std::string_view(shell.settings.appOffResponse),
                                     kAppOffOk, kLogOffOk, kEndOfTransmission}) {
    if (!tag.empty() && foundFrom(tag)) return false;
  }
  return true;
}

bool RXProcess(std::string& msRX, ScreenForm& top, ShellContext& shell) {
  // The text as this run received it: the dispatch empties msRX before it parses.
  const std::string received = msRX;
  try {
    return Dispatcher(msRX, top, shell).Run();
  } catch (...) {
    const CaughtError error = CurrentError();
    shell.dialogs.MessageBox(
        "ERROR in processing a server transmission.  To prevent 'freezing' "
        "the screen will now step down to simple terminal mode. "
        "Please try to recover from there by navigating back to a home menu "
        "or other home screen with your Quit and/or Exit keys/codes/characters.  "
        "Close this App only as a last resort.\r\n\r\nSystem message is:\r\n" +
            std::to_string(error.number) + ", " + error.description +
            "\r\n\r\nOffending transmission begins with:\r\n" + received.substr(0, 50),
        BoxButtons::kOk, BoxIcon::kExclamation);
    msRX.insert(0, kTerminal);
    return false;
  }
}

}  // namespace orvik::client
