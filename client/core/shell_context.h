// What the transmission readers use of the client shell: the settings, the styles, the
// function library, the message boxes and the monitor's log, and the three values of the
// main form they read or write (the pending time of received text, the last text sent, and
// the raster's cell width).
//
// GUI thread only. The referenced objects belong to the shell and outlive every reader call;
// the monitor and the search's windows may be absent. Boxes go through the dialogs, which block
// until answered.

#ifndef ORVIK_CLIENT_CORE_SHELL_CONTEXT_H_
#define ORVIK_CLIENT_CORE_SHELL_CONTEXT_H_

#include <string>
#include <string_view>

#include "client_settings.h"
#include "dialogs.h"
#include "functions.h"
#include "monitor_log.h"
#include "styles.h"

namespace orvik::client {

class PickListWindow;
class SearchChoiceDialog;

struct ShellContext {
  ClientSettings& settings;
  StylesDictionary& styles;
  Functions& fns;
  Dialogs& dialogs;
  MonitorLog* monitor = nullptr;
  float cellWidth = 0;     // CellWidth: one cell of the 80 x 26 raster, in twips
  float pollCounter = 0;   // PollCounter: seconds the received text has been pending
  std::string dataToSend;  // DataToSend: the last text sent to the engine
  // The search's windows, one for the program (absent: every search answers as cancelled).
  PickListWindow* pickList = nullptr;
  SearchChoiceDialog* searchChoice = nullptr;

  // A decision line in the monitor's log, while MONITOR is on.
  void Log(std::string_view line) {
    if (monitor && settings.monitor) monitor->Monitor(line, MonitorKind::kDirect);
  }
  // A box that is always shown (a malformed transmission), OK button.
  void Box(const std::string& text, BoxIcon icon = BoxIcon::kNone) {
    dialogs.MessageBox(text, BoxButtons::kOk, icon);
  }
  // A developer's warning, OK button: shown only while DEVMSG is on.
  void DevBox(const std::string& text, BoxIcon icon = BoxIcon::kNone) {
    if (settings.devMsg) Box(text, icon);
  }
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_SHELL_CONTEXT_H_
