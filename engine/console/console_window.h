// The console window: start, stop, status, help, about and the settings panel.
//
// The controls carry the names the console's commands speak of ("cmdStart", "txtPorts0",
// "optDataStore1", ...), so that they can be found by name.

#ifndef ORVIK_CONSOLE_CONSOLE_WINDOW_H_
#define ORVIK_CONSOLE_CONSOLE_WINDOW_H_

#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "console.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace orvik::console {

// Message boxes, questions and the help page through Qt Widgets.
class WidgetDialogs : public ConsoleDialogs {
 public:
  explicit WidgetDialogs(QWidget* owner) : owner_(owner) {}
  void Message(const std::string& text) override;
  bool Confirm(const std::string& text) override;
  bool OpenDocument(const std::string& path) override;
  void SetBusy(bool busy) override;

 private:
  QWidget* owner_;
};

class ConsoleWindow : public QWidget {
 public:
  // `dialogs` answers the window's questions; null: real message boxes.
  explicit ConsoleWindow(std::shared_ptr<Home> home, ConsoleDialogs* dialogs = nullptr,
                         QWidget* parent = nullptr);
  ~ConsoleWindow() override;

  // The window's load: settings into the controls; with `start` the server starts at once.
  void Load(bool start);

  Console& GetConsole() { return *console_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  // The settings as the model holds them into the controls, and back.
  void ShowSettings();
  void TakeSettings();
  // Status text and enabled states from the model.
  void Refresh();
  void StartClicked();
  void StopClicked();

  std::unique_ptr<WidgetDialogs> ownDialogs_;
  std::unique_ptr<Console> console_;
  bool closeAfterStop_ = false;

  QPlainTextEdit* txtStatus_ = nullptr;
  QPushButton* cmdStart_ = nullptr;
  QPushButton* cmdStop_ = nullptr;
  QPushButton* cmdSave_ = nullptr;
  QPushButton* cmdStatus_ = nullptr;
  QPushButton* cmdHelp_ = nullptr;
  QPushButton* cmdAbout_ = nullptr;
  std::array<QLineEdit*, 2> txtPorts_{};
  std::vector<QRadioButton*> optDataStore_;  // one for each datastore kind, in its order
  QButtonGroup* dataStoreGroup_ = nullptr;
  std::array<QLineEdit*, 2> txtMySQL_{};
  QLineEdit* txtMSSQL_ = nullptr;
  QCheckBox* chkPipes_ = nullptr;
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_CONSOLE_WINDOW_H_
