// The real client on a fresh embedded home, offscreen: started as the program starts, driven
// by key events as a user types, and ended by the engine's disconnect after OFF. Also the
// program's command line, run as a process.

#include "client_program.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>

#include "event_wait.h"
#include "program_test_support.h"
#include "setup.h"
#include "user_registry.h"

namespace orvik::client {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ClientProgramTest : public ProgramHomeTest {
 protected:
  void SetUp() override { MakeHome("orvik-client-program-"); }

  bool WaitScreen(ClientProgram& program, const std::string& text) {
    return WaitFor([&] { return Screen(program).find(text) != std::string::npos; });
  }
  std::string RegistryLines() { return UserRegistry(home_.string()).ListLines(); }
};

TEST_F(ClientProgramTest, LogsInListsTheFilesAndEndsOnOff) {
  ClientProgram program({home_.string(), {"MONITOR=True"}});
  std::optional<int> ended;
  QObject::connect(&program, &ClientProgram::ended, [&](int code) { ended = code; });
  ASSERT_TRUE(program.Start());
  EXPECT_EQ(program.Shell().StateMain(), "LOGIN");
  EXPECT_EQ(program.Settings().displayMode, "TERMINAL");

  ASSERT_TRUE(WaitScreen(program, "username:")) << Screen(program);
  ScreenFormWidget* form = program.TopForm();
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(program.Main().isVisible());  // hidden once the first screen form shows
  EXPECT_TRUE(form->isVisible());
  Type(form, "demo\r");
  ASSERT_TRUE(WaitScreen(program, "password:")) << Screen(program);
  Type(form, "demo\r");
  ASSERT_TRUE(WaitScreen(program, "Welcome to OrvikEngine")) << Screen(program);
  EXPECT_EQ(Screen(program).find("demo\n****"), std::string::npos) << "no password in clear";
  EXPECT_NE(RegistryLines(), "");
  const fs::path shots = fs::path(ORVIK_SCREENSHOT_DIR);
  fs::create_directories(shots);
  ASSERT_TRUE(
      form->grab().save(QString::fromStdString((shots / "client_terminal_login.png").string())));

  Type(form, "LISTF\r");
  ASSERT_TRUE(WaitScreen(program, "LISTF = List of Files/Tables")) << Screen(program);
  ASSERT_TRUE(WaitScreen(program, "\nmd\n")) << Screen(program);
  EXPECT_EQ(form->Core().Raster().RowText(1), "LISTF = List of Files/Tables");
  // The monitor saw the traffic, with the password masked.
  const std::string log = program.Shell().Monitor().Text();
  EXPECT_NE(log.find("TX :L"), std::string::npos);
  const auto count = [&](const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("TX :d"), 1u) << "the user name once; the password as stars";
  EXPECT_EQ(count("TX :*"), 4u);

  const fs::path shot = shots / "client_terminal_listf.png";
  ASSERT_TRUE(form->grab().save(QString::fromStdString(shot.string())));
  EXPECT_GT(fs::file_size(shot), 1000u);

  BoxAnswerer answerer;
  Type(form, "OFF\r");
  ASSERT_TRUE(WaitFor([&] { return ended.has_value(); })) << Screen(program);
  EXPECT_EQ(*ended, 0);
  EXPECT_EQ(answerer.texts, std::vector<std::string>{"OrvikEngine disconnecting"});
  EXPECT_TRUE(program.PortFinished());
  EXPECT_EQ(RegistryLines(), "") << "the session left the user registry";
}

TEST_F(ClientProgramTest, ClosingTheSplashBeforeTheFirstScreenEndsTheSession) {
  ClientProgram program({home_.string(), {}});
  std::optional<int> ended;
  QObject::connect(&program, &ClientProgram::ended, [&](int code) { ended = code; });
  ASSERT_TRUE(program.Start());
  program.Shell().MainWindowClosed();
  ASSERT_TRUE(WaitFor([&] { return ended.has_value(); }));
  EXPECT_EQ(*ended, 0);
  EXPECT_TRUE(program.PortFinished());
}

TEST_F(ClientProgramTest, TheSettingsFileAndTheCommandLine) {
  std::ofstream(home_ / "OrvikLink.ini") << "# comment\n  * another\nDIALOGLINE=20\n"
                                            "GUIMODE=GUI\nAPPOFF=log off\n";
  ClientProgram program({home_.string(), {"DIALOGLINE=21", "EOS=\\r"}});
  ASSERT_TRUE(program.Start());
  EXPECT_EQ(program.Settings().dialogLine, 21);  // the command line comes after the file
  EXPECT_EQ(program.Settings().appOff, "log off");
  EXPECT_EQ(program.Settings().displayMode, "TERMINAL");
  EXPECT_EQ(program.Settings().pathHome, home_.string() + "/");
  program.Shell().Closedown();
}

// --- The program's command line, as a process ---------------------------------------------

struct ProcessRun {
  int code;
  std::string out;
  std::string err;
};

ProcessRun RunClient(const QStringList& args) {
  QProcess p;
  p.start(ORVIK_CLIENT_PROGRAM, args);
  p.waitForFinished(20000);
  return {p.exitCode(), p.readAllStandardOutput().toStdString(),
          p.readAllStandardError().toStdString()};
}

TEST(ClientCommandLineTest, HelpVersionAndUsageErrors) {
  const ProcessRun help = RunClient({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("OvEngLink"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("--home <DIR>"), std::string::npos);
  EXPECT_EQ(help.err, "");

  const ProcessRun version = RunClient({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_NE(version.out.find("1.30.4"), std::string::npos) << version.out;
  EXPECT_EQ(version.err, "");

  const ProcessRun bad = RunClient({"--frobnicate"});
  EXPECT_EQ(bad.code, 2);
  EXPECT_EQ(bad.out, "");
  EXPECT_NE(bad.err.find("frobnicate"), std::string::npos) << bad.err;

  const ProcessRun missing = RunClient({"--home"});
  EXPECT_EQ(missing.code, 2);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("--home"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace orvik::client

int main(int argc, char** argv) {
  // Test discovery runs the program outside CTest's environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
