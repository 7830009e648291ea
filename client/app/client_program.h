// OvEngLink as a whole: the main window with its splash, the one engine port on a thread of
// its own (terminal type "VBGUI", echo on), the settings of OrvikLink.ini and the command
// line, the client's frame with its 165 ms timer and its tick on every output of the port,
// the screen forms, the monitor window, and the end of the program.
//
// Made and used on the GUI thread, with a QApplication. Start runs the start-up; the program
// then lives in the event loop until `ended` is emitted with the exit status (0 for every
// end the user or the engine chose), by which time the port has been released and its
// thread has finished its clean-up (or been given up on after a few seconds).

#ifndef ORVIK_CLIENT_APP_CLIENT_PROGRAM_H_
#define ORVIK_CLIENT_APP_CLIENT_PROGRAM_H_

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "client_settings.h"
#include "client_shell.h"
#include "event_pump.h"
#include "main_window.h"
#include "monitor_log.h"
#include "monitor_window.h"
#include "pick_list_window.h"
#include "port_host.h"
#include "port_host_link.h"
#include "print_backend.h"
#include "screen_form_widget.h"
#include "search_choice_dialog.h"
#include "shell_host.h"
#include "widget_dialogs.h"

namespace orvik::client {

struct ClientOptions {
  std::string home;                   // the engine home, without a trailing '/'
  std::vector<std::string> settings;  // KEY=value arguments, Latin-1
};

class ClientProgram final : public QObject, private ShellHost {
  Q_OBJECT

 public:
  explicit ClientProgram(ClientOptions options, QObject* parent = nullptr);
  ~ClientProgram() override;

  // Start-up. False when no engine port could be made (a box has said why); the program
  // should then end with status 1.
  bool Start();
  // The program is told to stop from outside (a signal): the session ends, then the
  // program, without a question, wherever the user is. Once ending, nothing more happens.
  void Stop();

  ClientShell& Shell() { return *shell_; }
  ClientSettings& Settings() { return settings_; }
  MainWindow& Main() { return main_; }
  MonitorWindow& Monitor() { return *monitorWindow_; }
  PickListWidget& PickList() { return pickList_; }
  SearchChoiceWidget& SearchChoice() { return searchChoice_; }
  // The widget of the top screen form, or nullptr before the first.
  ScreenFormWidget* TopForm();
  // Whether the port's thread has ended (a program that ignored every stop may keep it).
  bool PortFinished() const { return !port_ || port_->IsFinished(); }
  // One character cell of the raster, in twips.
  float CellWidth() const { return cellWidth_; }
  float CellHeight() const { return cellHeight_; }

 signals:
  void ended(int code);

 private:
  // ShellHost
  std::unique_ptr<ScreenFormHandle> NewScreenForm(ShellServices& shell) override;
  void HideMainWindow() override;
  void Beep() override;
  void ShowMonitor() override;
  void SetBusyPointer(bool busy) override;
  void ScheduleTick() override;
  void EndProgram(int code) override;

  void Finish(int code);

  ClientOptions options_;
  MainWindow main_;
  WidgetDialogs dialogs_;
  QtEventPump pump_;
  ClientSettings settings_;
  std::unique_ptr<Functions> fns_;
  MonitorLog monitorLog_;
  std::unique_ptr<PortHost> port_;
  std::unique_ptr<PortHostLink> link_;
  std::unique_ptr<ClientShell> shell_;
  std::unique_ptr<PrintBackend> printer_;
  PickListWidget pickList_;  // frmSearch and frmSearchDialog: one of each for the program
  SearchChoiceWidget searchChoice_;
  std::unique_ptr<MonitorWindow> monitorWindow_;
  std::vector<QPointer<ScreenFormWidget>> forms_;
  QTimer timer_;
  float cellWidth_ = 0;
  float cellHeight_ = 0;
  bool busy_ = false;
  bool ending_ = false;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_APP_CLIENT_PROGRAM_H_
