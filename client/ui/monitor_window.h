// The traffic monitor's window: the log of what the client sent and received and of its
// decisions, a command line with its history that sends to the engine, character 24 (the
// cancel character), connect, copy and exit. Closing it only hides it; the log stays.
//
// GUI thread only. The window follows the log (monitor_log.h) as it changes; sending goes
// through the shell like every other send.

#ifndef ORVIK_CLIENT_UI_MONITOR_WINDOW_H_
#define ORVIK_CLIENT_UI_MONITOR_WINDOW_H_

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include "client_shell.h"
#include "event_pump.h"
#include "monitor_log.h"

namespace orvik::client {

// What the log shows before the first screen form exists.
extern const char* const kMonitorHelpText;

class MonitorWindow final : public QWidget {
  Q_OBJECT

 public:
  MonitorWindow(ClientShell& shell, EventPump& pump, QWidget* parent = nullptr);
  ~MonitorWindow() override;

  QPlainTextEdit* Log() const { return log_; }
  QComboBox* Entry() const { return entry_; }
  QPushButton* SendButton() const { return send_; }
  QPushButton* ConnectButton() const { return connect_; }
  QPushButton* Chr24Button() const { return chr24_; }
  QPushButton* CopyButton() const { return copy_; }
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
  void Exit();
  bool Forms() const;

  ClientShell& shell_;
  MonitorLog& monitor_;
  EventPump& pump_;
  QPlainTextEdit* log_;
  QComboBox* entry_;
  QPushButton* send_;
  QPushButton* connect_;
  QPushButton* chr24_;
  QPushButton* copy_;
  QPushButton* exit_;
  QPushButton* default_ = nullptr;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_MONITOR_WINDOW_H_
