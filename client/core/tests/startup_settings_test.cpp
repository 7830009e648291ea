// The settings file and the command line at start-up.

#include "startup_settings.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <string>
#include <vector>

namespace orvik::client {
namespace {

TEST(SettingsFileTextTest, Lines) {
  const struct {
    const char* name;
    std::string contents;
    std::string text;
  } cases[] = {
      {"comments and empty lines", "# note\n  * star\n\n   \nMONITOR=False\n", "INI MONITOR=False"},
      {"lines are trimmed; CR LF, LF and CR all end a line", "  EOS=X  \r\nA=1\rB=2",
       "INI EOS=X A=1 B=2"},
      {"a value with blanks is quoted", "APPOFFRESPONSE=logged off at\n",
       "INI APPOFFRESPONSE=\"logged off at\""},
      {"only the first = gets the quote", "CHECK=a=b c\n", "INI CHECK=\"a=b c\""},
      {"a line with a quote stays", "APPOFF=\"a b\" junk\n", "INI APPOFF=\"a b\" junk"},
      {"a blank without =", "just words\n", "INI just words\""},
      {"nothing kept", "# only a comment\n", "INI"},
  };
  for (const auto& c : cases) EXPECT_EQ(SettingsFileText(c.contents), c.text) << c.name;
}

TEST(CommandLineTextTest, EveryArgumentIsASetting) {
  const std::vector<std::string> args = {"TIMEOUT=9", "APPOFFRESPONSE=logged off", "EOS=X"};
  EXPECT_EQ(CommandLineText(args), "INI TIMEOUT=9 APPOFFRESPONSE=\"logged off\" EOS=X");
  ClientSettings settings;
  SettingsParse(CommandLineText(args), settings);
  EXPECT_EQ(settings.timeout, 9.0f);  // the first setting is read too
  EXPECT_EQ(settings.appOffResponse, "logged off");
  EXPECT_EQ(settings.eos, "X");
}

class StartupSettingsTest : public testing::Test {
 protected:
  void WriteSettingsFile(const std::string& contents) {
    std::ofstream file(home_.filePath("OrvikLink.ini").toStdString(), std::ios::binary);
    file << contents;
  }
  std::string Home() const { return home_.path().toStdString(); }
  QTemporaryDir home_;
};

TEST_F(StartupSettingsTest, FileThenCommandLineThenTerminal) {
  WriteSettingsFile(
      "# client settings\n"
      "MONITOR=False\n"
      "GUIMODE=GUI\n"
      "APPOFFRESPONSE=signed off at\n"
      "TIMEOUT=6\n");
  ClientSettings settings(Home());
  const std::vector<std::string> args = {"TIMEOUT=7", "QUITCOMMAND=Quit"};
  LoadStartupSettings(settings, args);
  EXPECT_FALSE(settings.monitor);
  EXPECT_EQ(settings.appOffResponse, "signed off at");
  EXPECT_EQ(settings.timeout, 7.0f);
  EXPECT_EQ(settings.quitCommand, "Quit");
  EXPECT_EQ(settings.displayMode, "TERMINAL");
  EXPECT_EQ(settings.tagSeparator, ' ');
}

TEST_F(StartupSettingsTest, NoFileOrAnEmptyOneLeavesTheDefaults) {
  ClientSettings settings(Home());
  LoadStartupSettings(settings, {});
  EXPECT_TRUE(settings.monitor);
  EXPECT_EQ(settings.displayMode, "TERMINAL");
  WriteSettingsFile("");
  LoadStartupSettings(settings, {});
  EXPECT_TRUE(settings.monitor);
  EXPECT_FALSE(ReadSettingsFile(Home() + "/OrvikLink.ini"));
}

TEST_F(StartupSettingsTest, ACommaOnTheCommandLineSeparatesSettings) {
  ClientSettings settings(Home());
  const std::vector<std::string> args = {"TIMEOUT=5,APPOFF=BYE"};
  LoadStartupSettings(settings, args);
  EXPECT_EQ(settings.tagSeparator, ',');
  EXPECT_EQ(settings.timeout, 5.0f);
  EXPECT_EQ(settings.appOff, "BYE");
}

}  // namespace
}  // namespace orvik::client
