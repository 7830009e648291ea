#include "console.h"

#include <QTcpServer>
#include <fstream>

#include "console_test_support.h"
#include "ini_file.h"
#include "port_parts.h"

namespace orvik::console {
namespace {

using test::Client;
using test::RecordingDialogs;
using test::WaitUntil;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t p; (p = text.find("\r\n", from)) != std::string::npos; from = p + 2)
    lines.push_back(text.substr(from, p - from));
  if (from < text.size()) lines.push_back(text.substr(from));
  return lines;
}

class ConsoleTest : public test::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    listenPort_ = test::FreeTcpPort();
    Settings("[Global]\nTCPPorts=3\nTCPPortStart=" + std::to_string(listenPort_) + "\n");
  }
  void TearDown() override {
    console_.reset();
    TempHome::TearDown();
  }
  void Settings(const std::string& text) { std::ofstream(IniPath()) << text; }
  Console& Make() {
    console_ = std::make_unique<Console>(orvik::Home::Open(Home()), dialogs_);
    console_->Relay().SetListenAddress(QHostAddress::LocalHost);
    return *console_;
  }

  std::uint16_t listenPort_ = 0;
  RecordingDialogs dialogs_;
  std::unique_ptr<Console> console_;
};

TEST_F(ConsoleTest, OnlyAStartArgumentStartsAtLoad) {
  EXPECT_TRUE(Console::IsStartArgument("START"));
  EXPECT_TRUE(Console::IsStartArgument("  start "));
  EXPECT_FALSE(Console::IsStartArgument("START1"));
  EXPECT_FALSE(Console::IsStartArgument("START NOW"));
  EXPECT_FALSE(Console::IsStartArgument(""));
}

TEST_F(ConsoleTest, ALoadWithoutStartLeavesTheServerStoppedAndTheSettingsOpen) {
  Console& c = Make();
  c.Load(false);
  EXPECT_FALSE(c.Relay().IsRunning());
  EXPECT_TRUE(c.Controls().start);
  EXPECT_FALSE(c.Controls().stop);
  EXPECT_TRUE(c.Controls().save);
  EXPECT_TRUE(c.Controls().settings);
  EXPECT_EQ(c.StatusText(), "Status:  STARTUP");
  EXPECT_EQ(c.Settings().Controls().ports, "3");
}

TEST_F(ConsoleTest, NamedPipesLeaveThePortBoxOpenAfterALoadWithoutStart) {
  Settings("[MySQL]\nPipes=1\n");
  Console& c = Make();
  c.Load(false);
  EXPECT_EQ(c.Settings().Controls().pipes, 1);
  EXPECT_TRUE(c.Settings().Controls().mySqlPortEnabled);
}

TEST_F(ConsoleTest, StartServesClientsAndStopEndsThem) {
  Console& c = Make();
  c.Load(true);
  ASSERT_TRUE(c.Relay().IsRunning()) << c.StatusText();
  const std::vector<std::string> started = Lines(c.StatusText());
  ASSERT_EQ(started.size(), 2u);
  EXPECT_EQ(started[1], "Status: Successful start of OrvikEngine");
  EXPECT_FALSE(c.Controls().start);
  EXPECT_FALSE(c.Controls().save);
  EXPECT_TRUE(c.Controls().stop);
  EXPECT_FALSE(c.Controls().settings);
  EXPECT_FALSE(c.Settings().Controls().mySqlPortEnabled);
  EXPECT_TRUE(dialogs_.messages.empty()) << "a start saves without a word";

  Client client(listenPort_);
  ASSERT_TRUE(client.WaitConnected());
  ASSERT_TRUE(WaitUntil([&] { return c.Relay().SlotBusy(1); }));

  c.Stop();
  EXPECT_TRUE(client.WaitClosed());
  EXPECT_FALSE(c.Relay().IsRunning());
  EXPECT_EQ(Lines(c.StatusText()).back(),
            "Status: OrvikEngine is stopped.  You can now change settings.");
  EXPECT_EQ(dialogs_.messages,
            std::vector<std::string>{"Stop command succeeded.  You can now change settings."});
  EXPECT_EQ(dialogs_.busyCalls, (std::vector<bool>{true, false}));
  EXPECT_TRUE(c.Controls().start);
  EXPECT_FALSE(c.Controls().stop);
  EXPECT_TRUE(c.Controls().settings);
  EXPECT_TRUE(c.Settings().Controls().mySqlPortEnabled);
}

TEST_F(ConsoleTest, AStartSavesWhatTheControlsHold) {
  Console& c = Make();
  c.Load(false);
  c.Settings().Controls().ports = "4";
  c.Settings().Controls().msSqlServer = "sqlbox";
  c.Start();
  ASSERT_TRUE(c.Relay().IsRunning());
  EXPECT_EQ(c.Relay().SlotCount(), 4);
  EXPECT_EQ(IniFile(IniPath()).Read("Global", "TCPPorts", ""), "4");
  EXPECT_EQ(IniFile(IniPath()).Read("MSSQL", "Server", ""), "sqlbox");
}

// The home reads the settings file once; what the editor saves still reaches the next port
// made, even when it changes again at once to a value of the same length.
TEST_F(ConsoleTest, WhatTheEditorSavesReachesTheNextPortMade) {
  const std::shared_ptr<orvik::Home> home = orvik::Home::Open(Home());
  console_ = std::make_unique<Console>(home, dialogs_);
  const auto portSettings = [&home] {
    const std::shared_ptr<Port> port = home->MakePort();
    return PartsOf(*port).account.Settings();
  };
  console_->Load(false);
  EXPECT_EQ(portSettings().msSqlServer, "127.0.0.1");
  for (const std::string server : {"sqlbox", "sqlpox"}) {
    console_->Settings().Controls().msSqlServer = server;
    console_->Save();
    EXPECT_EQ(portSettings().msSqlServer, server);
  }
  console_->Settings().Controls().dataStore = kMySql;
  console_->Save();
  EXPECT_EQ(portSettings().dataStore, "MYSQL");
}

TEST_F(ConsoleTest, ADeclinedSaveNeitherStartsNorChangesTheStatus) {
  Settings("[Global]\nTCPPorts=21\nTCPPortStart=" + std::to_string(listenPort_) + "\n");
  dialogs_.answerYes = false;
  Console& c = Make();
  c.Load(true);
  EXPECT_FALSE(c.Relay().IsRunning());
  EXPECT_EQ(dialogs_.questions.size(), 1u);
  EXPECT_EQ(c.StatusText(), "Status:  STARTUP");
  EXPECT_TRUE(c.Controls().start) << "the buttons stay as designed";
  EXPECT_FALSE(c.Controls().settings);
}

TEST_F(ConsoleTest, AFailedStartIsReportedTwice) {
  QTcpServer blocker;
  ASSERT_TRUE(blocker.listen(QHostAddress::LocalHost, listenPort_));
  Console& c = Make();
  c.Load(true);
  EXPECT_FALSE(c.Relay().IsRunning());
  const std::vector<std::string> lines = Lines(c.StatusText());
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], "ERROR: OrvikEngine failed to start, please try again!");
  EXPECT_EQ(dialogs_.messages,
            std::vector<std::string>{"ERROR: OrvikEngine failed to start, please try again!"});
  blocker.close();
  c.Start();
  EXPECT_TRUE(c.Relay().IsRunning());
}

TEST_F(ConsoleTest, TheStatusReportNamesEverySlot) {
  Settings("[Global]\nTCPPorts=12\nTCPPortStart=" + std::to_string(listenPort_) + "\n");
  Console& c = Make();
  c.Load(false);
  c.ShowStatus();
  std::vector<std::string> lines = Lines(c.StatusText());
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[0].rfind("Status as at ", 0), 0u);
  for (int i = 1; i <= 12; ++i) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%03d: TCP Socket Server not running", i);
    EXPECT_EQ(lines[i], expected);
  }

  c.Relay().SetPortFactory([this](std::int32_t) {
    auto port = Port::Create(Home());
    port->SetMsState("TCL");
    return port;
  });
  c.Start();
  Client client(listenPort_);
  ASSERT_TRUE(WaitUntil([&] { return c.Relay().SlotBusy(1); }));
  // The slot is taken at once; its session's state shows once its port is made.
  ASSERT_TRUE(WaitUntil([&] {
    c.ShowStatus();
    lines = Lines(c.StatusText());
    return lines.size() == 13u && lines[1] != "001: CONNECTED, ";
  }));
  EXPECT_EQ(lines[1], "001: CONNECTED, TCL");
  EXPECT_EQ(lines[2], "002: STANDBY");
  EXPECT_EQ(lines[12], "012: STANDBY");
}

TEST_F(ConsoleTest, HelpAboutAndTheF1Key) {
  Console& c = Make();
  c.Load(false);
  const std::string page = Home() + "/Help/OvEngDocu1.htm";
  // A home without the page: the window says so, and what to do.
  c.RunBrowser();
  EXPECT_TRUE(dialogs_.documents.empty());
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].rfind("The help page " + page + " is not there: copy", 0), 0u)
      << dialogs_.messages[0];

  std::filesystem::create_directories(Home() + "/Help");
  std::ofstream(page) << "<html></html>";
  dialogs_.messages.clear();
  c.RunBrowser();
  c.KeyDown(112, 3);
  c.KeyDown(113, 0);
  EXPECT_EQ(dialogs_.documents, (std::vector<std::string>{page, page}));
  EXPECT_TRUE(dialogs_.messages.empty());
  // A desktop with nothing to show it.
  dialogs_.opens = false;
  c.RunBrowser();
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"No program to show " + page +
                                                        " was found: open it in a web browser."});
  dialogs_.messages.clear();
  c.About();
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"OrvikEngine 1.2 of 20 Sept 2000"});
}

TEST_F(ConsoleTest, UnloadStopsARunningServer) {
  Console& c = Make();
  c.Load(true);
  ASSERT_TRUE(c.Relay().IsRunning());
  Client client(listenPort_);
  ASSERT_TRUE(client.WaitConnected());
  c.Unload();
  EXPECT_FALSE(c.Relay().IsRunning());
  EXPECT_TRUE(client.WaitClosed());
}

}  // namespace
}  // namespace orvik::console
