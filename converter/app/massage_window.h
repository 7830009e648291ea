// The tool's window: select a file, preview it, convert it (PICK BASIC to Visual Basic or
// HTML to ASP), copy the massaged page to the clipboard, end.

#ifndef ORVIK_CONVERTER_APP_MASSAGE_WINDOW_H_
#define ORVIK_CONVERTER_APP_MASSAGE_WINDOW_H_

#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <string>

#include "output_names.h"
#include "statement_translator.h"

class QCloseEvent;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace orvik::massage {

class frmOrvikMassage : public QWidget {
 public:
  explicit frmOrvikMassage(QWidget* parent = nullptr);

  // How the window asks for a file and shows a message; replaceable so that the window can
  // be driven without a person in front of it.
  std::function<QString()> chooseFile;
  std::function<void(QMessageBox::Icon, const QString&)> showMessage;

  // The steps, as the buttons run them.
  void Start();
  void Select();
  void PBtoVB();
  void HtmlMassage();
  void CopyToClipboard();

  QLabel* lblHeader;
  QPlainTextEdit* txtMon;
  QPushButton* cmd1;
  std::array<QPushButton*, 2> cmd2;  // 1: DATABASIC to VB, 0: HTML massage
  QPushButton* cmd3;
  QPushButton* cmd4;

  const std::filesystem::path& InputPath() const { return inputPath_; }
  const std::filesystem::path& OutputPath() const { return outputPath_; }
  const std::string& MassagedText() const { return massaged_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QString ChooseFileWithDialog();
  void SetMonitor(const std::string& text);
  void AppendToMonitor(const std::string& text);
  void SetBusy(bool busy);
  // Tells the user when a result went to another name than the usual one.
  void TellOtherName(const std::string& passedOver, const std::filesystem::path& output);

  std::filesystem::path inputPath_;
  std::filesystem::path outputPath_;
  std::string massaged_;
  // The window's life is one run: no result is written over a file selected in it.
  OutputNames names_;
  bool busy_ = false;
  std::array<bool, 5> enabledBeforeBusy_{};
};

// The monitor's Latin-1 text with CR LF line ends, as Qt shows it.
QString MonitorQString(const std::string& text);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_APP_MASSAGE_WINDOW_H_
