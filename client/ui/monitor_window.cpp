#include "monitor_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>

#include "log_print.h"
#include "string_works.h"
#include "widget_look.h"

namespace orvik::client {

const char* const kMonitorHelpText =
    "Start by clicking the \"Connect\" button or pressing \"Enter\".\r\n"
    "\r\n"
    "After entering or confirming your Server details you can\r\n"
    "enter commands and requests into the field above.\r\n"
    "The \"Enter\" key then acts as the shortcut alternative\r\n"
    "to clicking on \"Send\".\r\n"
    "\r\n"
    "The entry field above also has a \"drop down\" arrow which reveals\r\n"
    "a list of your previous commands for reference or re-use.";

MonitorWindow::MonitorWindow(ClientShell& shell, EventPump& pump, PrintBackend& printer,
                             QWidget* parent)
    : QWidget(parent, Qt::Window),
      shell_(shell),
      monitor_(shell.Monitor()),
      pump_(pump),
      printer_(printer) {
  setWindowTitle("OrvikLink Monitor");
  log_ = new QPlainTextEdit(this);
  log_->setReadOnly(true);
  log_->setFont(QtFont(FormFont{"Courier New", 9.75, false}));
  entry_ = new QComboBox(this);
  entry_->setEditable(true);
  entry_->setInsertPolicy(QComboBox::NoInsert);
  entry_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  send_ = new QPushButton("Send", this);
  connect_ = new QPushButton("Connect", this);
  chr24_ = new QPushButton("Chr 24", this);
  copy_ = new QPushButton("Copy", this);
  print_ = new QPushButton("Print", this);
  exit_ = new QPushButton("Exit", this);

  auto* top = new QHBoxLayout;
  top->addWidget(entry_);
  for (QPushButton* b : {send_, connect_, chr24_, copy_, print_, exit_}) top->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(log_);

  connect(send_, &QPushButton::clicked, this, &MonitorWindow::Send);
  connect(connect_, &QPushButton::clicked, this, &MonitorWindow::Connect);
  connect(chr24_, &QPushButton::clicked, this, [this] { shell_.Send(std::string(1, '\x18')); });
  connect(copy_, &QPushButton::clicked, this, &MonitorWindow::Copy);
  connect(print_, &QPushButton::clicked, this, &MonitorWindow::Print);
  connect(exit_, &QPushButton::clicked, this, &MonitorWindow::Exit);
  // Enter in the command line presses the default button once: the line edit passes the key
  // on to the window (keyPressEvent), so a handler of its own would send a second, empty line.
  monitor_.SetChangeListener([this] {
    if (isVisible()) Refresh();
  });
}

MonitorWindow::~MonitorWindow() { monitor_.SetChangeListener(nullptr); }

bool MonitorWindow::Forms() const { return shell_.StateMain().starts_with("FORMS"); }

void MonitorWindow::ShowWindow() {
  showMaximized();
  raise();
  activateWindow();
  Activated();
}

void MonitorWindow::Refresh() {
  QString text = FromLatin1(monitor_.Text());
  text.replace("\r\n", "\n");
  log_->setPlainText(text);
  log_->moveCursor(QTextCursor::End);
}

void MonitorWindow::Activated() {
  if (!Forms()) {
    monitor_.Replace(kMonitorHelpText);
    default_ = connect_;
    send_->setEnabled(false);
    connect_->setEnabled(true);
    entry_->setEnabled(true);
  } else {
    connect_->setEnabled(false);
    send_->setEnabled(true);
    default_ = send_;
    entry_->setEnabled(true);
    entry_->setFocus();
  }
  Refresh();
}

void MonitorWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) Activated();
  QWidget::changeEvent(event);
}

void MonitorWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  hide();
}

void MonitorWindow::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && default_ != nullptr &&
      default_->isEnabled()) {
    default_->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void MonitorWindow::Send() {
  const std::string entry = ToLatin1(entry_->currentText());
  shell_.Send(monitor_.CommandToSend(entry));
  // The list shows every command sent, repeats and empty ones included.
  entry_->clear();
  for (const std::string& sent : monitor_.History()) entry_->addItem(FromLatin1(sent));
  entry_->setCurrentIndex(-1);
  entry_->clearEditText();
}

// Only OK takes the dialog's values: a cancelled or closed dialog changes nothing.
void MonitorWindow::Connect() {
  if (!connection_)
    connection_ = std::make_unique<ConnectionWidget>(shell_.Context().dialogs, this);
  const ConnectionAnswer answer = connection_->ShowModal();
  if (answer.result != kConnectionOk) return;
  monitor_.Clear();
  const ConnectionTarget target = ConnectionTargetOf(answer.values);
  shell_.remoteHost = target.host;
  shell_.remotePort = target.port;
  shell_.Context().settings.timeout = target.timeOut;
  send_->setEnabled(true);
  default_ = send_;
  entry_->clearEditText();
  entry_->setFocus();
}

QString MonitorWindow::SelectedOrAll() {
  const QTextCursor cursor = log_->textCursor();
  if (cursor.hasSelection()) {
    return cursor.selectedText().replace(QChar::ParagraphSeparator, '\n');
  }
  log_->setFocus();
  log_->selectAll();
  return log_->toPlainText();
}

void MonitorWindow::Copy() {
  QClipboard* clipboard = QApplication::clipboard();
  clipboard->clear();
  const bool whole = !log_->textCursor().hasSelection();
  clipboard->setText(SelectedOrAll());
  if (whole) DelaySeconds(1, pump_);  // with the selection showing
  log_->moveCursor(QTextCursor::End);
}

void MonitorWindow::Print() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool whole = !log_->textCursor().hasSelection();
  const std::string text = ToLatin1(SelectedOrAll());
  if (whole) DelaySeconds(1, pump_);
  log_->moveCursor(QTextCursor::End);
  std::string error;
  const int job = PrintLogText(printer_, text, &error);
  QApplication::restoreOverrideCursor();
  Dialogs& dialogs = shell_.Context().dialogs;
  if (job != 0) {
    dialogs.MessageBox("Printing", BoxButtons::kOk, BoxIcon::kNone);
  } else {
    dialogs.MessageBox("The log could not be printed: " + error, BoxButtons::kOk,
                       BoxIcon::kExclamation);
  }
}

void MonitorWindow::Exit() {
  if (!Forms()) {
    shell_.ExitBeforeForms();
  } else {
    hide();
  }
}

}  // namespace orvik::client
