// The OvEngConsole program itself, headless, as `make run` and a service manager start it.

#include <signal.h>

#include <QProcess>
#include <QTcpServer>
#include <filesystem>
#include <fstream>
#include <set>

#include "../../tests/process_probe.h"
#include "console_test_support.h"
#include "driver.h"
#include "port.h"
#include "port_access.h"
#include "setup.h"
#include "user_registry.h"

namespace orvik::console {
namespace {

using namespace std::chrono_literals;
using test::Client;
using test::WaitUntil;

class ConsoleProgramTest : public test::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    listenPort_ = test::FreeTcpPort();
    std::ofstream(IniPath()) << "[Global]\nTCPPorts=2\nTCPPortStart=" << listenPort_ << "\n";
    // The console serves only a home with a system account.
    SetupOptions setup;
    setup.home = Home();
    std::string error;
    ASSERT_TRUE(RunSetup(
        setup, [](const std::string&) {}, &error))
        << error;
  }
  void TearDown() override {
    for (auto& p : processes_) {
      if (p->state() != QProcess::NotRunning) {
        p->kill();
        p->waitForFinished(3000);
      }
    }
    TempHome::TearDown();
  }

  QProcess& Run(const QStringList& args) {
    processes_.push_back(std::make_unique<QProcess>());
    QProcess& p = *processes_.back();
    p.start(ORVIK_CONSOLE_PROGRAM,
            QStringList{"--home", QString::fromStdString(Home()), "--listen", "127.0.0.1"} + args);
    EXPECT_TRUE(p.waitForStarted(5000));
    return p;
  }
  // Waits until the program's standard output holds `text`; everything read is kept.
  bool WaitOutput(QProcess& p, const QString& text, int ms = 5000) {
    return WaitUntil(
        [&] {
          output_ += QString::fromLatin1(p.readAllStandardOutput());
          return output_.contains(text);
        },
        ms);
  }
  bool WaitEnd(QProcess& p, int ms = 5000) {
    const bool ended = WaitUntil([&] { return p.state() == QProcess::NotRunning; }, ms);
    output_ += QString::fromLatin1(p.readAllStandardOutput());
    return ended;
  }

  std::uint16_t listenPort_ = 0;
  QString output_;
  std::vector<std::unique_ptr<QProcess>> processes_;
};

TEST_F(ConsoleProgramTest, HeadlessStartServesUntilSigterm) {
  QProcess& p = Run({"START", "--headless"});
  ASSERT_TRUE(WaitOutput(p, "Status: Successful start of OrvikEngine")) << output_.toStdString();
  Client client(listenPort_);
  ASSERT_TRUE(client.WaitConnected());
  EXPECT_TRUE(WaitOutput(p, "001: CONNECTED, STARTUP")) << output_.toStdString();

  ::kill(static_cast<pid_t>(p.processId()), SIGUSR1);
  EXPECT_TRUE(WaitOutput(p, "002: STANDBY")) << output_.toStdString();
  EXPECT_TRUE(output_.contains("Status as at "));

  p.terminate();  // SIGTERM
  ASSERT_TRUE(WaitEnd(p));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_TRUE(output_.contains("Status: OrvikEngine is stopped.")) << output_.toStdString();
  EXPECT_TRUE(client.WaitClosed());
  EXPECT_FALSE(std::filesystem::exists(home_ / "OvEngConsole.lock"));
}

// A session that holds an item lock, in a program that takes no notice of being asked to
// stop, ends as an OFF would before the program exits on SIGTERM: its lock and its registry
// line go. Headless and with a window (drawn offscreen) alike.
TEST_F(ConsoleProgramTest, SigtermEndsEverySessionAsAnOffWould) {
  SetupOptions setup;
  setup.home = Home();
  setup.user = "mary";
  setup.password = "secret";
  setup.catalog = {{"dm", "HOLD", "JScript", "hold.js"}};
  std::string error;
  ASSERT_TRUE(RunSetup(
      setup, [](const std::string&) {}, &error))
      << error;
  std::ofstream(home_ / "hold.js") << "function HOLD() {\n"
                                      "  var md = Ref(''), item = Ref(''), v = Ref('');\n"
                                      "  OOpen('md', md);\n"
                                      "  RReadU(item, md.value, 'HOLD');\n"
                                      "  CRT('HELD');\n"
                                      "  for (;;) IInput(v);\n"
                                      "}\n";
  const auto locks = [this] {
    auto port = Port::Create(Home());
    port_access::SetLogin(*port, "mary", "secret");
    if (!port_access::ConnectAccount(*port, "dm")) return std::string("no connection");
    auto rows = PartsOf(*port).account.Connection()->Query("SELECT UserInst FROM locks");
    std::string holders;
    while (rows->Next()) holders += rows->Row()[0].value_or("") + ";";
    return holders;
  };

  for (const QStringList& args : {QStringList{"START", "--headless"}, QStringList{"START"}}) {
    SCOPED_TRACE(args.join(' ').toStdString());
    QProcess& p = Run(args);
    Client client(listenPort_);
    ASSERT_TRUE(WaitUntil([&] {
      if (client.WaitConnected(200)) return true;
      client.Socket().connectToHost(QHostAddress::LocalHost, listenPort_);
      return false;
    }));
    client.Send("\r");
    ASSERT_TRUE(client.WaitFor("username: "));
    client.Send("mary\rsecret\r");
    ASSERT_TRUE(client.WaitFor("Welcome to OrvikEngine")) << client.Received();
    client.Send("HOLD\r");
    ASSERT_TRUE(client.WaitFor("HELD")) << client.Received();
    ASSERT_NE(locks(), "");
    ASSERT_NE(UserRegistry(Home()).ListLines(), "");

    p.terminate();  // SIGTERM
    ASSERT_TRUE(WaitEnd(p, 10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(client.WaitClosed());
    EXPECT_EQ(locks(), "");
    EXPECT_EQ(UserRegistry(Home()).ListLines(), "");
  }
}

// A user at the prompt is told the session ends, though the console's loop ends right after
// the stop, with nothing left to wait for.
TEST_F(ConsoleProgramTest, AStopTellsTheUsersAtThePrompt) {
  SetupOptions setup;
  setup.home = Home();
  setup.user = "mary";
  setup.password = "secret";
  std::string error;
  ASSERT_TRUE(RunSetup(
      setup, [](const std::string&) {}, &error))
      << error;
  QProcess& p = Run({"START", "--headless"});
  ASSERT_TRUE(WaitOutput(p, "Successful start")) << output_.toStdString();
  Client client(listenPort_);
  ASSERT_TRUE(client.WaitConnected());
  client.Send("\r");
  ASSERT_TRUE(client.WaitFor("username: "));
  client.Send("mary\rsecret\r");
  ASSERT_TRUE(client.WaitFor("Welcome to OrvikEngine")) << client.Received();
  p.terminate();
  ASSERT_TRUE(WaitEnd(p));
  EXPECT_TRUE(client.WaitClosed());
  EXPECT_TRUE(client.Received().ends_with(":\r\nOrvikEngine disconnecting\r\n"))
      << client.Received();
}

TEST_F(ConsoleProgramTest, CtrlCStopsCleanly) {
  QProcess& p = Run({"start", "--headless"});
  ASSERT_TRUE(WaitOutput(p, "Successful start")) << output_.toStdString();
  ::kill(static_cast<pid_t>(p.processId()), SIGINT);
  ASSERT_TRUE(WaitEnd(p));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_TRUE(output_.contains("Now issuing TCP/IP UserPort shutdown signal."));
  // Said once: the stop's box is what its status line has just said.
  EXPECT_EQ(output_.count("You can now change settings."), 1) << output_.toStdString();
}

TEST_F(ConsoleProgramTest, ASecondInstanceEndsWithoutTouchingAnything) {
  QProcess& first = Run({"START", "--headless"});
  ASSERT_TRUE(WaitOutput(first, "Successful start"));
  const auto written = std::filesystem::last_write_time(IniPath());
  // However long the first has been running.
  const auto lockFile = home_ / "OvEngConsole.lock";
  std::filesystem::last_write_time(lockFile, std::filesystem::file_time_type::clock::now() - 24h);

  QProcess& second = Run({"START", "--headless"});
  ASSERT_TRUE(WaitEnd(second));
  EXPECT_EQ(second.exitCode(), 1);
  const QString error = QString::fromLatin1(second.readAllStandardError());
  EXPECT_TRUE(error.contains(QString::fromStdString(
      "You already have OvEngConsole running on this machine for the engine home " + Home() + ".")))
      << error.toStdString();
  EXPECT_EQ(std::filesystem::last_write_time(IniPath()), written);

  Client client(listenPort_);
  EXPECT_TRUE(client.WaitConnected()) << "the first instance still serves";
  first.terminate();
  EXPECT_TRUE(WaitEnd(first));
}

TEST_F(ConsoleProgramTest, TheLockOfAConsoleThatWasKilledDoesNotStopTheNext) {
  QProcess& first = Run({"START", "--headless"});
  ASSERT_TRUE(WaitOutput(first, "Successful start"));
  first.kill();
  ASSERT_TRUE(WaitEnd(first));
  ASSERT_TRUE(std::filesystem::exists(home_ / "OvEngConsole.lock"));
  output_.clear();
  QProcess& second = Run({"START", "--headless"});
  EXPECT_TRUE(WaitOutput(second, "Successful start")) << output_.toStdString();
  second.terminate();
  EXPECT_TRUE(WaitEnd(second));
}

TEST_F(ConsoleProgramTest, HeadlessWithoutStartReportsAndEnds) {
  QProcess& p = Run({"--headless"});
  ASSERT_TRUE(WaitEnd(p));
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_TRUE(output_.contains("001: TCP Socket Server not running")) << output_.toStdString();
  EXPECT_TRUE(output_.contains("002: TCP Socket Server not running"));
  EXPECT_FALSE(output_.contains("003:"));
}

TEST_F(ConsoleProgramTest, AStartThatFailsEndsWithAnError) {
  QTcpServer blocker;
  ASSERT_TRUE(blocker.listen(QHostAddress::LocalHost, listenPort_));
  QProcess& p = Run({"START", "--headless"});
  ASSERT_TRUE(WaitEnd(p));
  EXPECT_EQ(p.exitCode(), 1);
  EXPECT_TRUE(output_.contains("ERROR: OrvikEngine failed to start, please try again!"));
}

TEST_F(ConsoleProgramTest, UnknownOptionsAreRefused) {
  QProcess& p = Run({"--frobnicate", "--headless"});
  ASSERT_TRUE(WaitEnd(p));
  EXPECT_EQ(p.exitCode(), 2);
}

TEST_F(ConsoleProgramTest, AProgramsProcessesHoldNothingOfTheConsoleAndEndWithItsSession) {
  SetupOptions user;
  user.home = Home();
  user.user = "boss";
  user.password = "boss-pw";
  std::string error;
  ASSERT_TRUE(RunSetup(
      user, [](const std::string&) {}, &error))
      << error;
  // A command left running in the background, and a fork that would keep the program going
  // in a copy of the console.
  std::ofstream(home_ / "KIDS.PL")
      << "sub MAIN {\n"
         "  my $pid = `sh -c 'sleep 30 >/dev/null 2>&1 & echo \\$!'`; chomp $pid;\n"
         "  my $kid = eval { fork() }; my $refused = \"$@\";\n"
         "  if (defined $kid && $kid == 0) { select(undef, undef, undef, 30); }\n"
         "  CRT(\"child $pid; fork: $refused;\"); my $line = ''; IInput($line); }\n";
  QProcess& console = Run({"START", "--headless"});
  ASSERT_TRUE(WaitOutput(console, "Successful start")) << output_.toStdString();
  auto client = std::make_unique<Client>(listenPort_);
  ASSERT_TRUE(client->WaitConnected());
  client->Send("\r");
  ASSERT_TRUE(client->WaitFor("username: "));
  client->Send("boss\r");
  ASSERT_TRUE(client->WaitFor("password: "));
  client->Send("boss-pw\r");
  ASSERT_TRUE(client->WaitFor("\r\n:")) << client->Received();
  client->Send("PERL KIDS.PL MAIN\r");
  ASSERT_TRUE(client->WaitFor("fork: ")) << client->Received();
  ASSERT_TRUE(client->WaitFor(";\r\n")) << client->Received();
  const std::string& said = client->Received();
  EXPECT_NE(said.find("fork: [987] 'fork' is not available to programs"), std::string::npos)
      << said;
  const std::size_t at = said.find("child ");
  ASSERT_NE(at, std::string::npos);
  const auto child = static_cast<pid_t>(std::stol(said.substr(at + 6)));

  // Nothing the console holds (its listening socket, its lock, the datastore's files).
  std::set<std::string> consoles;
  for (const auto& [fd, target] :
       test_support::DescriptorsOf(static_cast<pid_t>(console.processId()))) {
    if (fd > 2 && target != "/dev/null") consoles.insert(target);
  }
  for (const auto& [fd, target] : test_support::DescriptorsOf(child))
    EXPECT_EQ(consoles.count(target), 0u) << fd << " -> " << target;

  client->Close();
  EXPECT_TRUE(WaitUntil([&] { return test_support::ProcessEnded(child); }, 5000))
      << "the program's command outlived its session";
  console.terminate();
  ASSERT_TRUE(WaitEnd(console));
  output_.clear();
  QProcess& next = Run({"START", "--headless"});
  EXPECT_TRUE(WaitOutput(next, "Successful start")) << output_.toStdString();
  Client greeted(listenPort_);
  ASSERT_TRUE(greeted.WaitConnected());
  greeted.Send("\r");
  EXPECT_TRUE(greeted.WaitFor("username: "));
  next.terminate();
  EXPECT_TRUE(WaitEnd(next));
}

}  // namespace
}  // namespace orvik::console
