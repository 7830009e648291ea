// The traffic monitor's window: the log of what the client sent and received and of its
// decisions, a command line with its history that sends to the engine, character 24 (the
// cancel character), connect (the connection dialog's values), copy, print and exit. Closing
// it only hides it; the log stays.
//
// GUI thread only. The window follows the log (monitor_log.h) as it changes; sending goes
// through the shell like every other send; printing through the print backend, whose
// answer the window reports as it is.

#ifndef ORVIK_CLIENT_UI_MONITOR_WINDOW_H_
#define ORVIK_CLIENT_UI_MONITOR_WINDOW_H_

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "client_shell.h"
#include "connection_dialog.h"
#include "event_pump.h"
#include "monitor_log.h"
#include "print_backend.h"

namespace orvik::client {

// What the log shows before the first screen form exists.
extern const char* const kMonitorHelpText;

class MonitorWindow final : public QWidget {
  Q_OBJECT

 public:
  MonitorWindow(ClientShell& shell, EventPump& pump, PrintBackend& printer,
                QWidget* parent = nullptr);
  ~MonitorWindow() override;

  QPlainTextEdit* Log() const { return log_; }
  QComboBox* Entry() const { return entry_; }
  QPushButton* SendButton() const { return send_; }
  QPushButton* ConnectButton() const { return connect_; }
  QPushButton* Chr24Button() const { return chr24_; }
  QPushButton* CopyButton() const { return copy_; }
  QPushButton* PrintButton() const { return print_; }
  QPushButton* ExitButton() const { return exit_; }

  // Shown maximised, activated.
  void ShowWindow();

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Activated();
  void Refresh();
  void Send();
  void Connect();
  void Copy();
  void Print();
  // Selects the whole log, with the focus on it, unless part of it is selected; the text
  // that is selected.
  QString SelectedOrAll();
  void Exit();
  bool Forms() const;

  ClientShell& shell_;
  MonitorLog& monitor_;
  EventPump& pump_;
  PrintBackend& printer_;
  std::unique_ptr<ConnectionWidget> connection_;  // made on first use
  QPlainTextEdit* log_;
  QComboBox* entry_;
  QPushButton* send_;
  QPushButton* connect_;
  QPushButton* chr24_;
  QPushButton* copy_;
  QPushButton* print_;
  QPushButton* exit_;
  QPushButton* default_ = nullptr;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_MONITOR_WINDOW_H_
