#include "console_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "datastore_kinds.h"

namespace orvik::console {
namespace {

constexpr int kF1 = 112;

QString Text(const std::string& latin1) {
  return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size()));
}

std::string Latin1(const QString& text) { return text.toLatin1().toStdString(); }

// A multi-line text with CR LF line ends, as a text box shows it.
QString Lines(const std::string& text) {
  QString s = Text(text);
  s.replace("\r\n", "\n");
  return s;
}

// The check box's value: 0 clear, 1 ticked, 2 greyed.
int PipesValue(Qt::CheckState state) {
  return state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0;
}

Qt::CheckState PipesState(int value) {
  return value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

int ShiftState(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
         (m & Qt::AltModifier ? 4 : 0);
}

}  // namespace

void WidgetDialogs::Message(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), Lines(text),
                  QMessageBox::Ok, owner_);
  box.exec();
}

bool WidgetDialogs::Confirm(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), Lines(text),
                  QMessageBox::Yes | QMessageBox::No, owner_);
  return box.exec() == QMessageBox::Yes;
}

bool WidgetDialogs::OpenDocument(const std::string& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(Text(path)));
}

void WidgetDialogs::SetBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

ConsoleWindow::ConsoleWindow(std::shared_ptr<Home> home, ConsoleDialogs* dialogs, QWidget* parent)
    : QWidget(parent) {
  if (!dialogs) {
    ownDialogs_ = std::make_unique<WidgetDialogs>(this);
    dialogs = ownDialogs_.get();
  }
  console_ = std::make_unique<Console>(std::move(home), *dialogs);
  Build();
  console_->SetChangeHandler([this] { Refresh(); });
  qApp->installEventFilter(this);
  Refresh();
}

ConsoleWindow::~ConsoleWindow() { qApp->removeEventFilter(this); }

void ConsoleWindow::Build() {
  setWindowTitle("OrvikEngineConsole");
  setObjectName("frmConsole");

  const auto button = [this](const char* name, const char* caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    return b;
  };
  const auto edit = [this](const char* name) {
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    return e;
  };

  auto* heading = new QLabel("Start/Stop/Config control for TCP/IP Server Mode ", this);
  heading->setObjectName("lblHeading");
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);

  txtStatus_ = new QPlainTextEdit(this);
  txtStatus_->setObjectName("txtStatus");
  txtStatus_->setReadOnly(true);
  txtStatus_->setMinimumHeight(160);

  cmdStart_ = button("cmdStart", "Start TcpPorts");
  cmdStop_ = button("cmdStop", "Stop TcpPorts");
  cmdStatus_ = button("cmdStatus", "Status");
  cmdHelp_ = button("cmdHelp", "Help (F1)");
  cmdAbout_ = button("cmdAbout", "&About");
  cmdSave_ = button("cmdSave", "Save");

  txtPorts_[0] = edit("txtPorts0");
  txtPorts_[1] = edit("txtPorts1");
  auto* portsBox = new QGroupBox(this);
  auto* portsLayout = new QGridLayout(portsBox);
  portsLayout->addWidget(new QLabel("Number of Ports", this), 0, 0);
  portsLayout->addWidget(txtPorts_[0], 0, 1);
  portsLayout->addWidget(new QLabel("TCP Port Number:", this), 1, 0);
  portsLayout->addWidget(txtPorts_[1], 1, 1);

  auto* storeBox = new QGroupBox("DataStore", this);
  auto* storeLayout = new QVBoxLayout(storeBox);
  dataStoreGroup_ = new QButtonGroup(this);
  for (const DatastoreKind& kind : DatastoreKinds()) {
    const int i = static_cast<int>(optDataStore_.size());
    auto* option = new QRadioButton(Text(std::string(kind.title)), this);
    option->setObjectName(QString("optDataStore%1").arg(i));
    dataStoreGroup_->addButton(option, i);
    storeLayout->addWidget(option);
    optDataStore_.push_back(option);
  }

  txtMySQL_[0] = edit("txtMySQL0");
  txtMySQL_[1] = edit("txtMySQL1");
  chkPipes_ = new QCheckBox("Named Pipes", this);
  chkPipes_->setObjectName("chkPipes");
  auto* mySqlBox = new QGroupBox("MySQL connection", this);
  auto* mySqlLayout = new QGridLayout(mySqlBox);
  mySqlLayout->addWidget(new QLabel("Server / Host:", this), 0, 0);
  mySqlLayout->addWidget(txtMySQL_[0], 0, 1);
  mySqlLayout->addWidget(new QLabel("Port:", this), 1, 0);
  mySqlLayout->addWidget(txtMySQL_[1], 1, 1);
  mySqlLayout->addWidget(chkPipes_, 2, 1);

  txtMSSQL_ = edit("txtMSSQL");
  auto* msSqlBox = new QGroupBox("MSSQL connection", this);
  auto* msSqlLayout = new QGridLayout(msSqlBox);
  msSqlLayout->addWidget(new QLabel("Server / Host:", this), 0, 0);
  msSqlLayout->addWidget(txtMSSQL_, 0, 1);

  auto* commands = new QHBoxLayout;
  for (QPushButton* b : {cmdStart_, cmdStop_, cmdStatus_, cmdHelp_, cmdAbout_}) {
    commands->addWidget(b);
  }
  auto* settings = new QGridLayout;
  settings->addWidget(portsBox, 0, 0);
  settings->addWidget(storeBox, 0, 1);
  settings->addWidget(mySqlBox, 1, 0);
  settings->addWidget(msSqlBox, 1, 1);
  settings->addWidget(cmdSave_, 2, 1, Qt::AlignRight);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addWidget(txtStatus_);
  layout->addLayout(commands);
  layout->addLayout(settings);

  connect(cmdStart_, &QPushButton::clicked, this, [this] { StartClicked(); });
  connect(cmdStop_, &QPushButton::clicked, this, [this] { StopClicked(); });
  connect(cmdSave_, &QPushButton::clicked, this, [this] {
    TakeSettings();
    console_->Save();
  });
  connect(cmdStatus_, &QPushButton::clicked, this, [this] { console_->ShowStatus(); });
  connect(cmdHelp_, &QPushButton::clicked, this, [this] { console_->RunBrowser(); });
  connect(cmdAbout_, &QPushButton::clicked, this, [this] { console_->About(); });
  connect(chkPipes_, &QCheckBox::stateChanged, this, [this](int state) {
    const auto checkState = static_cast<Qt::CheckState>(state);
    if (checkState != Qt::PartiallyChecked) chkPipes_->setTristate(false);
    console_->Settings().Controls().pipes = PipesValue(checkState);
    console_->Settings().PipesClicked();
    Refresh();
  });
}

void ConsoleWindow::Load(bool start) {
  // The settings reach the controls before a start, which saves what the controls hold.
  console_->Settings().Load();
  ShowSettings();
  console_->Load(start);
  ShowSettings();
  Refresh();
}

void ConsoleWindow::ShowSettings() {
  const SettingsControls& c = console_->Settings().Controls();
  txtPorts_[0]->setText(Text(c.ports));
  txtPorts_[1]->setText(Text(c.portStart));
  dataStoreGroup_->setExclusive(false);
  for (std::size_t i = 0; i < optDataStore_.size(); ++i)
    optDataStore_[i]->setChecked(c.dataStore == static_cast<int>(i));
  dataStoreGroup_->setExclusive(true);
  txtMySQL_[0]->setText(Text(c.mySqlServer));
  txtMySQL_[1]->setText(Text(c.mySqlPort));
  txtMSSQL_->setText(Text(c.msSqlServer));
  const QSignalBlocker quiet(chkPipes_);
  chkPipes_->setTristate(c.pipes == 2);
  chkPipes_->setCheckState(PipesState(c.pipes));
}

void ConsoleWindow::TakeSettings() {
  SettingsControls& c = console_->Settings().Controls();
  c.ports = Latin1(txtPorts_[0]->text());
  c.portStart = Latin1(txtPorts_[1]->text());
  c.dataStore = dataStoreGroup_->checkedId();  // -1 when none is selected
  c.mySqlServer = Latin1(txtMySQL_[0]->text());
  c.mySqlPort = Latin1(txtMySQL_[1]->text());
  c.msSqlServer = Latin1(txtMSSQL_->text());
  c.pipes = PipesValue(chkPipes_->checkState());
}

void ConsoleWindow::Refresh() {
  txtStatus_->setPlainText(Lines(console_->StatusText()));
  const ControlStates& s = console_->Controls();
  const bool busy = console_->Relay().IsStopping();
  cmdStart_->setEnabled(s.start && !busy);
  cmdStop_->setEnabled(s.stop && !busy);
  cmdSave_->setEnabled(s.save && !busy);
  for (QWidget* w : std::initializer_list<QWidget*>{txtPorts_[0], txtPorts_[1], txtMySQL_[0],
                                                    txtMSSQL_, chkPipes_}) {
    w->setEnabled(s.settings);
  }
  for (QRadioButton* option : optDataStore_) option->setEnabled(s.settings);
  txtMySQL_[1]->setEnabled(console_->Settings().Controls().mySqlPortEnabled);
}

void ConsoleWindow::StartClicked() {
  TakeSettings();
  console_->Start();
  Refresh();
}

void ConsoleWindow::StopClicked() {
  console_->Stop();
  Refresh();
  if (closeAfterStop_) QTimer::singleShot(0, this, [this] { close(); });
}

void ConsoleWindow::closeEvent(QCloseEvent* event) {
  if (console_->Relay().IsStopping()) {
    // A stop is waiting for programs to end; the window closes as soon as it is done.
    closeAfterStop_ = true;
    event->ignore();
    return;
  }
  console_->Unload();
  event->accept();
}

bool ConsoleWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* widget = qobject_cast<QWidget*>(watched);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (widget && widget->window() == this && key->key() == Qt::Key_F1) {
      console_->KeyDown(kF1, ShiftState(key->modifiers()));
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace orvik::console
