#include "massage_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

#include "html_massage.h"
#include "source_files.h"
#include "translation_driver.h"
#include "window_texts.h"

namespace orvik::massage {

namespace {

QString FromText(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void SetMonitorFont(QPlainTextEdit* monitor, const QString& family, bool fixedPitch) {
  QFont font(family);
  if (fixedPitch) font.setStyleHint(QFont::TypeWriter);
  monitor->setFont(font);
}

}  // namespace

QString MonitorQString(const std::string& text) {
  std::string lf;
  lf.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lf += text[i];
  }
  return FromText(lf);
}

frmOrvikMassage::frmOrvikMassage(QWidget* parent) : QWidget(parent) {
  setWindowTitle(FromText(kProgramName));
  lblHeader = new QLabel(this);
  txtMon = new QPlainTextEdit(this);
  txtMon->setReadOnly(true);
  txtMon->setLineWrapMode(QPlainTextEdit::NoWrap);
  cmd1 = new QPushButton("1. Select", this);
  cmd2[1] = new QPushButton("2.  DATABASIC to VB", this);
  cmd2[0] = new QPushButton("OR HTML Massage", this);
  cmd3 = new QPushButton("3. Clipboard (Optional)", this);
  cmd4 = new QPushButton("4. End", this);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {cmd1, cmd2[1], cmd2[0], cmd3, cmd4}) buttons->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblHeader);
  layout->addWidget(txtMon, 1);
  layout->addLayout(buttons);
  resize(720, 480);

  chooseFile = [this] { return ChooseFileWithDialog(); };
  showMessage = [this](QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, FromText(kProgramName), text, QMessageBox::Ok, this);
    // The texts carry tags and paths as they are ("<body>", a folder named "<x>"): rich text
    // would swallow them.
    box.setTextFormat(Qt::PlainText);
    box.exec();
  };

  connect(cmd1, &QPushButton::clicked, this, [this] { Select(); });
  connect(cmd2[1], &QPushButton::clicked, this, [this] { PBtoVB(); });
  connect(cmd2[0], &QPushButton::clicked, this, [this] { HtmlMassage(); });
  connect(cmd3, &QPushButton::clicked, this, [this] { CopyToClipboard(); });
  connect(cmd4, &QPushButton::clicked, this, [this] { close(); });

  Start();
}

void frmOrvikMassage::Start() {
  cmd1->setEnabled(true);
  cmd4->setEnabled(true);
  cmd2[0]->setEnabled(false);
  cmd2[1]->setEnabled(false);
  cmd3->setEnabled(false);
  cmd1->setDefault(true);
  QDir::setCurrent(QCoreApplication::applicationDirPath());
  lblHeader->setText(FromText(WelcomeHeader()));
  SetMonitor(WelcomeText());
}

QString frmOrvikMassage::ChooseFileWithDialog() {
  return QFileDialog::getOpenFileName(this, FromText(kProgramName),
                                      QCoreApplication::applicationDirPath(),
                                      "All files (*);;Internet documents (*.htm *.html)");
}

void frmOrvikMassage::Select() {
  QString chosen = chooseFile ? chooseFile() : QString();
  std::filesystem::path input(chosen.toLocal8Bit().toStdString());
  std::optional<std::string> text;
  if (!chosen.isEmpty()) text = SelectionText(input);
  if (!text) {
    showMessage(QMessageBox::NoIcon, FromText(kNoFileMessage));
    Start();
    return;
  }
  inputPath_ = input;
  names_.AddInput(input);
  cmd2[0]->setEnabled(true);
  cmd2[1]->setEnabled(true);
  lblHeader->setText(FromText(StatusText(inputPath_, "Ready for Step 2")));
  SetMonitorFont(txtMon, "arial", false);
  SetMonitor(*text);
}

void frmOrvikMassage::PBtoVB() {
  SetMonitorFont(txtMon, "terminal", true);
  SetBusy(true);
  lblHeader->setText(FromText(StatusText(inputPath_, "VB Conversion starting")));
  StatementTranslator translator;
  translator.yield = [] { QCoreApplication::processEvents(); };
  TranslationMonitor monitor;
  monitor.onReplace = [this](const std::string& text) { SetMonitor(text); };
  monitor.onAppend = [this](const std::string& text) { AppendToMonitor(text); };
  ConversionResult result = massage::PBtoVB(inputPath_, translator, monitor, names_);
  SetBusy(false);
  if (!result.ok) {
    lblHeader->setText(FromText(StatusText(inputPath_, "VB Conversion failed")));
    showMessage(QMessageBox::Critical, FromText(PathText(inputPath_) + ": " + result.error));
    return;
  }
  outputPath_ = result.output;
  lblHeader->setText(FromText(StatusText(inputPath_, "VB Conversion complete")));
  cmd3->setEnabled(true);
  TellOtherName(result.passedOver, outputPath_);
}

void frmOrvikMassage::HtmlMassage() {
  SetMonitorFont(txtMon, "courier new", true);
  SetBusy(true);
  MassageResult result = MassageHtmlFile(inputPath_, names_);
  SetBusy(false);
  if (result.noBody) {
    showMessage(QMessageBox::Critical, FromText(kNoBodyMessage));
    cmd2[0]->setEnabled(false);
    cmd2[1]->setEnabled(false);
    return;
  }
  if (!result.ok) {
    showMessage(QMessageBox::Critical, FromText(PathText(inputPath_) + ": " + result.error));
    return;
  }
  massaged_ = std::move(result.massaged);
  outputPath_ = result.output;
  lblHeader->setText(FromText(StatusText(inputPath_, "Massage complete")));
  SetMonitor(HtmlMonitorText(outputPath_, massaged_));
  cmd3->setEnabled(true);
  TellOtherName(result.passedOver, outputPath_);
}

void frmOrvikMassage::TellOtherName(const std::string& passedOver,
                                    const std::filesystem::path& output) {
  if (passedOver.empty()) return;
  // File names are the file system's bytes (UTF-8), not the system's Latin-1 text.
  showMessage(QMessageBox::Information,
              QString::fromStdString(passedOver + ": not written over. The result is in " +
                                     output.native()));
}

void frmOrvikMassage::CopyToClipboard() {
  QGuiApplication::clipboard()->setText(FromText(massaged_));
  showMessage(QMessageBox::Information, FromText(kClipboardMessage));
}

void frmOrvikMassage::closeEvent(QCloseEvent* event) {
  // A conversion in progress pumps events; the window must outlive it.
  if (busy_) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

void frmOrvikMassage::SetMonitor(const std::string& text) {
  txtMon->setPlainText(MonitorQString(text));
  txtMon->moveCursor(QTextCursor::End);
}

void frmOrvikMassage::AppendToMonitor(const std::string& text) {
  txtMon->moveCursor(QTextCursor::End);
  txtMon->insertPlainText(MonitorQString(text));
  txtMon->moveCursor(QTextCursor::End);
}

void frmOrvikMassage::SetBusy(bool busy) {
  busy_ = busy;
  // While a conversion runs the window stays responsive, but no step may start meanwhile.
  QPushButton* all[] = {cmd1, cmd2[1], cmd2[0], cmd3, cmd4};
  for (std::size_t i = 0; i < enabledBeforeBusy_.size(); ++i) {
    if (busy) {
      enabledBeforeBusy_[i] = all[i]->isEnabled();
      all[i]->setEnabled(false);
    } else {
      all[i]->setEnabled(enabledBeforeBusy_[i]);
    }
  }
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

}  // namespace orvik::massage
