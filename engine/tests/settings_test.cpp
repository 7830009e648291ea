#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine_home.h"
#include "engine_settings.h"
#include "home.h"
#include "ini_file.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvik-settings-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteIni(const std::string& text) {
    std::ofstream(dir_ / kEngineSettingsFile, std::ios::binary) << text;
  }
  std::string ReadIni() {
    std::ifstream in(dir_ / kEngineSettingsFile, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
};

TEST_F(SettingsTest, MissingFileGivesTheDefaults) {
  const EngineSettings s = ReadEngineSettings(dir_.string());
  EXPECT_EQ(s.dataStore, "JET");
  EXPECT_EQ(s.mySqlServer, "127.0.0.1");
  EXPECT_EQ(s.msSqlServer, "127.0.0.1");
  EXPECT_EQ(s.mySqlPort, "3306");
  EXPECT_EQ(s.myOdbcOption, "16386");
}

TEST_F(SettingsTest, ValuesAreTrimmedAndSectionsIgnoreCase) {
  WriteIni(
      "; engine settings\n"
      "[GLOBAL]\n"
      "datastore =  mysql  \n"
      "[mysql]\n"
      "SERVER=db.local\r\n"
      "Port = 3307\n"
      "Pipes=1\n"
      "[MSSQL]\n"
      "Server=\"sql box\"\n");
  const EngineSettings s = ReadEngineSettings(dir_.string());
  EXPECT_EQ(s.dataStore, "MYSQL");
  EXPECT_EQ(s.mySqlServer, "db.local");
  EXPECT_EQ(s.mySqlPort, "3307");
  EXPECT_EQ(s.myOdbcOption, "24578");
  EXPECT_EQ(s.msSqlServer, "sql box");
}

TEST_F(SettingsTest, OnlyPipesOneSelectsPipes) {
  for (const char* pipes : {"0", "true", "yes", " 1x"}) {
    WriteIni(std::string("[MySQL]\nPipes=") + pipes + "\n");
    EXPECT_EQ(ReadEngineSettings(dir_.string()).myOdbcOption, "16386") << pipes;
  }
}

// The lease of a server session: a number of seconds within its bounds, or the default.
TEST_F(SettingsTest, TheSessionLeaseIsSecondsWithinBounds) {
  EXPECT_EQ(ReadEngineSettings(dir_.string()).sessionLease, 60);
  const std::pair<const char*, int> cases[] = {
      {" 10 ", 10}, {"1", 2}, {"0", 2}, {"-5", 2}, {"99999", 3600}, {"ten", 60}, {"10s", 60}};
  for (const auto& [text, seconds] : cases) {
    WriteIni(std::string("[MySQL]\nSessionLease=") + text + "\n");
    EXPECT_EQ(ReadEngineSettings(dir_.string()).sessionLease, seconds) << text;
  }
}

// A home reads the file when it opens; a port made after the file was changed by hand gets
// the changed settings, as when each port read the file.
TEST_F(SettingsTest, AHomeHandsOutTheSettingsAsTheFileHoldsThem) {
  WriteIni("[MySQL]\nServer=a\n");
  const std::shared_ptr<Home> home = Home::Open(dir_.string());
  EXPECT_EQ(home->Settings().mySqlServer, "a");
  WriteIni("[MySQL]\nServer=bb\nPort=3310\n");
  EXPECT_EQ(home->Settings().mySqlServer, "bb");
  EXPECT_EQ(home->Settings().mySqlPort, "3310");
  fs::remove(dir_ / kEngineSettingsFile);
  EXPECT_EQ(home->Settings().mySqlServer, "127.0.0.1");
}

TEST_F(SettingsTest, LongValuesAreCutTo99Characters) {
  const std::string value(120, 'x');
  WriteIni("[MySQL]\nServer=" + value + "\n");
  EXPECT_EQ(ReadEngineSettings(dir_.string()).mySqlServer, std::string(99, 'x'));
}

TEST_F(SettingsTest, AKeyOutsideItsSectionIsNotRead) {
  WriteIni("[Other]\nDataStore=MSSQL\n[Global]\nServer=x\n");
  EXPECT_EQ(ReadEngineSettings(dir_.string()).dataStore, "JET");
}

TEST_F(SettingsTest, WritesKeepOtherLinesAndReplaceInPlace) {
  WriteIni("; keep me\n[Global]\nDataStore=JET\nTCPPorts=5\n\n[MySQL]\nServer=a\n");
  IniFile ini((dir_ / kEngineSettingsFile).string());
  ASSERT_TRUE(ini.Write("global", "DATASTORE", "MYSQL"));
  ASSERT_TRUE(ini.Write("MySQL", "Port", "3310"));
  ASSERT_TRUE(ini.Write("MSSQL", "Server", "s1"));
  EXPECT_EQ(ReadIni(),
            "; keep me\n[Global]\nDATASTORE=MYSQL\nTCPPorts=5\n\n[MySQL]\nServer=a\nPort=3310\n"
            "\n[MSSQL]\nServer=s1\n");
  EXPECT_EQ(ini.Read("Global", "datastore", ""), "MYSQL");
  // Nothing but the file itself is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(SettingsTest, AFailedWriteIsReported) {
  IniFile ini((dir_ / "no-such-folder" / kEngineSettingsFile).string());
  std::string error;
  EXPECT_FALSE(ini.Write("Global", "DataStore", "JET", &error));
  EXPECT_FALSE(error.empty());
}

TEST_F(SettingsTest, EngineHomeFollowsTheSetting) {
  SetEngineHome(dir_.string() + "/");
  EXPECT_EQ(EngineHome(), dir_.string());
  EXPECT_EQ(EngineHomePath("OrvikEngine.ini"), (dir_ / "OrvikEngine.ini").string());
  SetEngineHome("");
  ::setenv("ORVIK_HOME", "/tmp/orvik-home-test", 1);
  EXPECT_EQ(EngineHome(), "/tmp/orvik-home-test");
  ::unsetenv("ORVIK_HOME");
  EXPECT_EQ(EngineHome(), fs::read_symlink("/proc/self/exe").parent_path().string());
}

TEST_F(SettingsTest, ARelativeHomeStaysWhereItWasWhenTheWorkingFolderChanges) {
  // A program may change the process's working folder (Perl's chdir) while sessions run.
  const fs::path before = fs::current_path();
  SetEngineHome("rel/home/");
  fs::current_path(dir_);
  const std::string home = EngineHome();
  const std::string file = EngineHomePath("OrvikEngine.ini");
  fs::current_path(before);
  SetEngineHome("");
  EXPECT_EQ(home, (before / "rel/home").string());
  EXPECT_EQ(file, (before / "rel/home/OrvikEngine.ini").string());
}

}  // namespace
}  // namespace orvik
