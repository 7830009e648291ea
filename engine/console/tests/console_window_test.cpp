#include "console_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <filesystem>
#include <fstream>

#include "console_test_support.h"
#include "ini_file.h"

namespace orvik::console {
namespace {

using test::RecordingDialogs;

class ConsoleWindowTest : public test::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    listenPort_ = test::FreeTcpPort();
    Settings("[Global]\nTCPPorts=3\nTCPPortStart=" + std::to_string(listenPort_) +
             "\nDataStore=Oracle\n");
  }
  void TearDown() override {
    window_.reset();
    TempHome::TearDown();
  }
  void Settings(const std::string& text) { std::ofstream(IniPath()) << text; }
  ConsoleWindow& Make(bool start = false) {
    window_ = std::make_unique<ConsoleWindow>(orvik::Home::Open(Home()), &dialogs_);
    window_->GetConsole().Relay().SetListenAddress(QHostAddress::LocalHost);
    window_->Load(start);
    return *window_;
  }
  template <typename T>
  T* Child(const char* name) {
    T* w = window_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QString Status() { return Child<QPlainTextEdit>("txtStatus")->toPlainText(); }
  bool SettingsEnabled() {
    return Child<QLineEdit>("txtPorts0")->isEnabled() &&
           Child<QLineEdit>("txtPorts1")->isEnabled() &&
           Child<QRadioButton>("optDataStore1")->isEnabled() &&
           Child<QLineEdit>("txtMySQL0")->isEnabled() &&
           Child<QLineEdit>("txtMSSQL")->isEnabled() && Child<QCheckBox>("chkPipes")->isEnabled();
  }
  bool SettingsDisabled() {
    return !Child<QLineEdit>("txtPorts0")->isEnabled() &&
           !Child<QLineEdit>("txtPorts1")->isEnabled() &&
           !Child<QRadioButton>("optDataStore0")->isEnabled() &&
           !Child<QLineEdit>("txtMySQL0")->isEnabled() &&
           !Child<QLineEdit>("txtMySQL1")->isEnabled() &&
           !Child<QLineEdit>("txtMSSQL")->isEnabled() && !Child<QCheckBox>("chkPipes")->isEnabled();
  }

  std::uint16_t listenPort_ = 0;
  RecordingDialogs dialogs_;
  std::unique_ptr<ConsoleWindow> window_;
};

TEST_F(ConsoleWindowTest, TheWindowShowsItsCaptionsAndTheLoadedSettings) {
  ConsoleWindow& w = Make();
  EXPECT_EQ(w.windowTitle(), "OrvikEngineConsole");
  EXPECT_EQ(Child<QLabel>("lblHeading")->text(),
            "Start/Stop/Config control for TCP/IP Server Mode ");
  EXPECT_EQ(Status(), "Status:  STARTUP");
  EXPECT_EQ(Child<QPushButton>("cmdStart")->text(), "Start TcpPorts");
  EXPECT_EQ(Child<QPushButton>("cmdStop")->text(), "Stop TcpPorts");
  EXPECT_EQ(Child<QPushButton>("cmdSave")->text(), "Save");
  EXPECT_EQ(Child<QPushButton>("cmdStatus")->text(), "Status");
  EXPECT_EQ(Child<QPushButton>("cmdHelp")->text(), "Help (F1)");
  EXPECT_EQ(Child<QPushButton>("cmdAbout")->text(), "&About");
  EXPECT_EQ(Child<QLineEdit>("txtPorts0")->text(), "3");
  EXPECT_EQ(Child<QLineEdit>("txtMySQL1")->text(), "3306");
  EXPECT_EQ(Child<QLineEdit>("txtMSSQL")->text(), "(local)");
  for (const char* name : {"optDataStore0", "optDataStore1", "optDataStore2"})
    EXPECT_FALSE(Child<QRadioButton>(name)->isChecked()) << "an unknown store selects none";

  EXPECT_TRUE(Child<QPushButton>("cmdStart")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>("cmdStop")->isEnabled());
  EXPECT_TRUE(Child<QPushButton>("cmdSave")->isEnabled());
  EXPECT_TRUE(SettingsEnabled());
}

TEST_F(ConsoleWindowTest, TheNamedPipesBoxControlsThePortBox) {
  Make();
  auto* pipes = Child<QCheckBox>("chkPipes");
  auto* port = Child<QLineEdit>("txtMySQL1");
  pipes->click();
  EXPECT_FALSE(port->isEnabled());
  pipes->click();
  EXPECT_TRUE(port->isEnabled());
}

TEST_F(ConsoleWindowTest, SaveWritesWhatTheControlsHold) {
  Make();
  Child<QLineEdit>("txtMSSQL")->setText("sqlbox");
  Child<QRadioButton>("optDataStore2")->click();
  Child<QCheckBox>("chkPipes")->click();
  Child<QPushButton>("cmdSave")->click();
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"Settings Saved"});
  const IniFile ini(IniPath());
  EXPECT_EQ(ini.Read("MSSQL", "Server", ""), "sqlbox");
  EXPECT_EQ(ini.Read("Global", "DataStore", ""), "MSSQL");
  EXPECT_EQ(ini.Read("MySQL", "Pipes", ""), "1");
}

TEST_F(ConsoleWindowTest, StartStatusAndStopDriveTheButtons) {
  Make();
  Child<QLineEdit>("txtPorts0")->setText("4");
  Child<QPushButton>("cmdStart")->click();
  ASSERT_TRUE(window_->GetConsole().Relay().IsRunning()) << Status().toStdString();
  EXPECT_EQ(window_->GetConsole().Relay().SlotCount(), 4);
  EXPECT_TRUE(Status().endsWith("\nStatus: Successful start of OrvikEngine"));
  EXPECT_FALSE(Child<QPushButton>("cmdStart")->isEnabled());
  EXPECT_TRUE(Child<QPushButton>("cmdStop")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>("cmdSave")->isEnabled());
  EXPECT_TRUE(SettingsDisabled());

  Child<QPushButton>("cmdStatus")->click();
  const QStringList lines = Status().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 5);
  EXPECT_TRUE(lines[0].startsWith("Status as at "));
  EXPECT_EQ(lines[4], "004: STANDBY");

  Child<QPushButton>("cmdStop")->click();
  EXPECT_FALSE(window_->GetConsole().Relay().IsRunning());
  EXPECT_TRUE(Status().endsWith("Status: OrvikEngine is stopped.  You can now change settings."));
  EXPECT_TRUE(Child<QPushButton>("cmdStart")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>("cmdStop")->isEnabled());
  EXPECT_TRUE(SettingsEnabled());
  EXPECT_TRUE(Child<QLineEdit>("txtMySQL1")->isEnabled());
}

TEST_F(ConsoleWindowTest, AStartArgumentStartsAtOnceAndClosingStops) {
  ConsoleWindow& w = Make(true);
  ASSERT_TRUE(w.GetConsole().Relay().IsRunning());
  EXPECT_TRUE(SettingsDisabled());
  w.show();
  EXPECT_TRUE(w.close());
  EXPECT_FALSE(w.GetConsole().Relay().IsRunning());
}

TEST_F(ConsoleWindowTest, F1AnywhereInTheWindowOpensTheHelpPage) {
  Make();
  std::filesystem::create_directories(Home() + "/Help");
  std::ofstream(Home() + "/Help/OvEngDocu1.htm") << "<html></html>";
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::ShiftModifier);
  QApplication::sendEvent(Child<QLineEdit>("txtPorts1"), &f1);
  QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
  QApplication::sendEvent(Child<QLineEdit>("txtPorts1"), &f2);
  Child<QPushButton>("cmdHelp")->click();
  EXPECT_EQ(dialogs_.documents, (std::vector<std::string>{Home() + "/Help/OvEngDocu1.htm",
                                                          Home() + "/Help/OvEngDocu1.htm"}));
  Child<QPushButton>("cmdAbout")->click();
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"OrvikEngine 1.2 of 20 Sept 2000"});
}

}  // namespace
}  // namespace orvik::console
