// The system's programs as a shell user and a service manager meet them: --help and
// --version on standard output with status 0, usage errors on standard error with status 2,
// and the console's refusal of a home that no user could log in to.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Program {
  QString name;
  QString path;
};

const Program kPrograms[] = {{"OvEngConsole", ORVIK_CONSOLE_PROGRAM},
                             {"OvEngSetup", ORVIK_SETUP_PROGRAM},
                             {"OrvikMassage", ORVIK_MASSAGE_PROGRAM},
                             {"OvEngLink", ORVIK_LINK_PROGRAM}};

struct Outcome {
  int status = -1;
  QString out;
  QString err;
};

// Runs a program to its end. A display that cannot be reached is named, so that a program
// that opened a window (or tried to) to answer would fail here.
Outcome RunProgram(const QString& path, const QStringList& args, const QString& input = {}) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", ":97");
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.remove("ORVIK_HOME");
  p.setProcessEnvironment(env);
  p.start(path, args);
  if (!p.waitForStarted(5000)) return {};
  if (!input.isEmpty()) p.write(input.toLocal8Bit());
  p.closeWriteChannel();
  if (!p.waitForFinished(20000)) {
    p.kill();
    p.waitForFinished(3000);
    return {};
  }
  Outcome o;
  o.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  o.out = QString::fromLocal8Bit(p.readAllStandardOutput());
  o.err = QString::fromLocal8Bit(p.readAllStandardError());
  return o;
}

class ProgramsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvik-programs-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  QString Dir(const std::string& name) const {
    return QString::fromStdString((dir_ / name).string());
  }
  // The usage error of `name`: nothing on standard output, status 2, the problem and where
  // to find help on standard error.
  static void ExpectUsageError(const Outcome& o, const QString& name, const QString& problem) {
    EXPECT_EQ(o.status, 2) << o.err.toStdString();
    EXPECT_TRUE(o.out.isEmpty()) << o.out.toStdString();
    EXPECT_TRUE(o.err.startsWith(name + ": " + problem)) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains("Try '" + name + " --help'")) << o.err.toStdString();
  }

  fs::path dir_;
};

TEST_F(ProgramsTest, HelpAndVersionGoToStandardOutputAndSucceed) {
  for (const Program& program : kPrograms) {
    SCOPED_TRACE(program.name.toStdString());
    for (const QString& option : {QString("--help"), QString("-h")}) {
      const Outcome help = RunProgram(program.path, {option});
      EXPECT_EQ(help.status, 0) << help.err.toStdString();
      EXPECT_TRUE(help.out.startsWith("Usage: " + program.name + " [options]"))
          << help.out.toStdString();
      EXPECT_TRUE(help.out.contains("--version")) << help.out.toStdString();
      EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();
    }
    const Outcome version = RunProgram(program.path, {"--version"});
    EXPECT_EQ(version.status, 0) << version.err.toStdString();
    EXPECT_TRUE(version.out.startsWith(program.name + " " ORVIK_VERSION))
        << version.out.toStdString();
    EXPECT_EQ(version.out.count('\n'), 1) << version.out.toStdString();
    EXPECT_TRUE(version.err.isEmpty()) << version.err.toStdString();
  }
}

TEST_F(ProgramsTest, TheHelpNamesEveryOption) {
  const Outcome console = RunProgram(ORVIK_CONSOLE_PROGRAM, {"--help"});
  for (const char* word : {"START", "--home <DIR>", "--headless", "--listen <ADDRESS>"})
    EXPECT_TRUE(console.out.contains(word)) << word;
  const Outcome setup = RunProgram(ORVIK_SETUP_PROGRAM, {"--help"});
  for (const char* word :
       {"--home <DIR>", "--datastore <KIND>", "--user <NAME>", "--password <PW>",
        "--password-stdin", "--privilege <N>", "--account <NAME>",
        "--catalog <ACCOUNT,VERB,KIND,PROGRAM>", "--admin-user <NAME>", "--admin-password <PW>"})
    EXPECT_TRUE(setup.out.contains(word)) << word;
  EXPECT_TRUE(RunProgram(ORVIK_MASSAGE_PROGRAM, {"--help"}).out.contains("[FILE...]"));
  EXPECT_TRUE(RunProgram(ORVIK_LINK_PROGRAM, {"--help"}).out.contains("--home <DIR>"));
}

TEST_F(ProgramsTest, TheVersionNamesTheProgramsOwnVersionBesideTheProjects) {
  EXPECT_EQ(RunProgram(ORVIK_CONSOLE_PROGRAM, {"--version"}).out,
            "OvEngConsole " ORVIK_VERSION " (OrvikEngine 1.2 of 20 Sept 2000)\n");
  EXPECT_EQ(RunProgram(ORVIK_LINK_PROGRAM, {"--version"}).out,
            "OvEngLink " ORVIK_VERSION " (OrvikLink 1.30.4)\n");
  EXPECT_EQ(RunProgram(ORVIK_SETUP_PROGRAM, {"--version"}).out, "OvEngSetup " ORVIK_VERSION "\n");
}

TEST_F(ProgramsTest, UnknownOptionsAndMissingValuesAreUsageErrors) {
  for (const Program& program : kPrograms) {
    SCOPED_TRACE(program.name.toStdString());
    ExpectUsageError(RunProgram(program.path, {"--frobnicate"}), program.name,
                     "Unknown option 'frobnicate'.");
    // Asking for help does not hide a mistake made before it.
    ExpectUsageError(RunProgram(program.path, {"-x", "--help"}), program.name,
                     "Unknown option 'x'.");
  }
  for (const Program& program : {kPrograms[0], kPrograms[1], kPrograms[3]}) {
    SCOPED_TRACE(program.name.toStdString());
    ExpectUsageError(RunProgram(program.path, {"--home"}), program.name,
                     "Missing value after '--home'.");
  }
}

TEST_F(ProgramsTest, ValuesThatAreNoValuesAreUsageErrors) {
  ExpectUsageError(RunProgram(ORVIK_CONSOLE_PROGRAM, {"--listen", "localhost:23", "--headless"}),
                   "OvEngConsole", "Not an IP address: 'localhost:23'.");
  ExpectUsageError(RunProgram(ORVIK_SETUP_PROGRAM, {"--user", "a", "--password", "b"}),
                   "OvEngSetup", "Missing option '--home'.");
  ExpectUsageError(RunProgram(ORVIK_SETUP_PROGRAM, {"--home", Dir("h"), "--privilege", "100"}),
                   "OvEngSetup", "Invalid privilege '100'");
  ExpectUsageError(RunProgram(ORVIK_SETUP_PROGRAM, {"--home", Dir("h"), "--catalog", "dm,HELLO"}),
                   "OvEngSetup", "Invalid catalog entry 'dm,HELLO'");
  ExpectUsageError(RunProgram(ORVIK_SETUP_PROGRAM, {"--home", Dir("h"), "admin"}), "OvEngSetup",
                   "Unexpected argument 'admin'.");
  ExpectUsageError(RunProgram(ORVIK_SETUP_PROGRAM,
                              {"--home", Dir("h"), "--catalog", "NOSUCHACC,X,JScript,x.js"}),
                   "OvEngSetup",
                   "No account 'NOSUCHACC' for the catalog entry NOSUCHACC,X: --account "
                   "NOSUCHACC makes it.");
  ExpectUsageError(RunProgram(ORVIK_SETUP_PROGRAM,
                              {"--home", Dir("h"), "--user", "u", "--password-stdin"}, "\n"),
                   "OvEngSetup", "No password on standard input.");
  // No usage error made anything.
  EXPECT_FALSE(fs::exists(dir_ / "h"));
  ExpectUsageError(RunProgram(ORVIK_MASSAGE_PROGRAM, {"--"}), "OrvikMassage", "No file named.");
}

TEST_F(ProgramsTest, TheConverterTakesEveryArgumentAfterTwoDashesAsAFile) {
  std::ofstream(dir_ / "-p") << "X = 1\n";
  const Outcome o = RunProgram(ORVIK_MASSAGE_PROGRAM, {"--", Dir("-p")});
  EXPECT_EQ(o.status, 0) << o.err.toStdString();
  EXPECT_EQ(o.out, Dir("-p") + " -> " + Dir("-p_VBconv.txt") + "\n");
}

TEST_F(ProgramsTest, TheClientWithoutADisplaySaysSoAndFails) {
  const Outcome o = RunProgram(ORVIK_LINK_PROGRAM, {"--home", Dir("h"), "MONITOR=0"});
  EXPECT_NE(o.status, 0);
  EXPECT_TRUE(o.out.isEmpty());
  EXPECT_TRUE(o.err.contains("display")) << o.err.toStdString();
}

TEST_F(ProgramsTest, TheConsoleRefusesAHomeWithoutASystemAccount) {
  const QString home = Dir("home");
  fs::create_directories(dir_ / "home");
  std::ofstream(dir_ / "home" / "OrvikEngine.ini") << "[Global]\nTCPPorts=2\nTCPPortStart=1\n";
  const Outcome refused =
      RunProgram(ORVIK_CONSOLE_PROGRAM, {"--home", home, "--headless", "START"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_FALSE(refused.out.contains("Successful start")) << refused.out.toStdString();
  EXPECT_TRUE(refused.err.contains("has no system account")) << refused.err.toStdString();
  EXPECT_TRUE(refused.err.contains("OvEngSetup --home " + home + " --user NAME"))
      << refused.err.toStdString();
  EXPECT_FALSE(fs::exists(dir_ / "home" / "OvEngConsole.lock"));
  EXPECT_FALSE(fs::exists(dir_ / "home" / "JetMDB")) << "the check made the account";

  // A folder that was never a home at all.
  const Outcome nothing =
      RunProgram(ORVIK_CONSOLE_PROGRAM, {"--home", Dir("nowhere"), "--headless"});
  EXPECT_EQ(nothing.status, 1);
  EXPECT_TRUE(nothing.err.contains("has no system account")) << nothing.err.toStdString();

  // What the message says to do is enough.
  const Outcome setup = RunProgram(
      ORVIK_SETUP_PROGRAM, {"--home", home, "--user", "admin", "--password-stdin"}, "secret\n");
  ASSERT_EQ(setup.status, 0) << setup.err.toStdString();
  const Outcome served = RunProgram(ORVIK_CONSOLE_PROGRAM, {"--home", home, "--headless"});
  EXPECT_EQ(served.status, 0) << served.err.toStdString();
  EXPECT_TRUE(served.out.contains("001: TCP Socket Server not running"))
      << served.out.toStdString();
}

TEST_F(ProgramsTest, TheConsoleLeavesAServerHomeToTheServer) {
  // The system account on a server is reached with each user's own login, which the console
  // does not have: such a home is not refused.
  fs::create_directories(dir_ / "home");
  std::ofstream(dir_ / "home" / "OrvikEngine.ini") << "[Global]\nTCPPorts=1\nDataStore=MYSQL\n";
  const Outcome o = RunProgram(ORVIK_CONSOLE_PROGRAM, {"--home", Dir("home"), "--headless"});
  EXPECT_EQ(o.status, 0) << o.err.toStdString();
  EXPECT_TRUE(o.out.contains("001: TCP Socket Server not running")) << o.out.toStdString();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
