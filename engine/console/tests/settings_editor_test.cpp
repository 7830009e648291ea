#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "console_settings.h"
#include "console_test_support.h"
#include "engine_settings.h"
#include "ini_file.h"

namespace orvik::console {
namespace {

using test::RecordingDialogs;

const char* const kBadPorts =
    "Invalid Value: Number of Ports needs to be an integer between 1 and 50 with values above "
    "20 not recommended except on high-spec machines running Linux.";
const char* const kBadListenPort =
    "Invalid Value: TCP/IP port needs to be an integer between 1 and 65535";

class SettingsEditorTest : public test::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    editor_ = std::make_unique<SettingsEditor>(IniPath());
  }

  void WriteFile(const std::string& text) { std::ofstream(IniPath()) << text; }
  std::string FileText() const {
    std::ifstream in(IniPath());
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string Key(const char* section, const char* key) const {
    return IniFile(IniPath()).Read(section, key, "<missing>");
  }
  // Loads, then records every key written instead of writing it.
  void LoadRecording() {
    editor_->Load();
    editor_->SetWriter(
        [this](std::string_view s, std::string_view k, std::string_view v, std::string*) {
          writes_.emplace_back(std::string(s), std::string(k), std::string(v));
          return true;
        });
  }
  bool Save() {
    bool starting = false;
    return editor_->Save(starting, dialogs_);
  }

  std::unique_ptr<SettingsEditor> editor_;
  RecordingDialogs dialogs_;
  std::vector<std::tuple<std::string, std::string, std::string>> writes_;
};

TEST_F(SettingsEditorTest, AMissingFileLoadsTheDefaults) {
  editor_->Load();
  const SettingsControls& c = editor_->Controls();
  EXPECT_EQ(c.ports, "5");
  EXPECT_EQ(c.portStart, "23");
  EXPECT_EQ(c.dataStore, kJet);
  EXPECT_EQ(c.mySqlServer, "127.0.0.1");
  EXPECT_EQ(c.mySqlPort, "3306");
  EXPECT_EQ(c.pipes, 0);
  EXPECT_EQ(c.msSqlServer, "(local)");
  EXPECT_TRUE(c.mySqlPortEnabled);
  EXPECT_EQ(editor_->Held().tcpPortsVisible, "1");
}

TEST_F(SettingsEditorTest, LoadReadsEveryKeyWithoutRegardToCase) {
  WriteFile(
      "[global]\ntcpports=7\nTCPPortStart=2323\nDataStore= mssql \n"
      "[mysql]\nserver=db.example\nPORT=3307\nPipes=1\n"
      "[MsSQL]\nServer=sqlhost\n");
  editor_->Load();
  const SettingsControls& c = editor_->Controls();
  EXPECT_EQ(c.ports, "7");
  EXPECT_EQ(c.portStart, "2323");
  EXPECT_EQ(c.dataStore, kMsSql);
  EXPECT_EQ(c.mySqlServer, "db.example");
  EXPECT_EQ(c.mySqlPort, "3307");
  EXPECT_EQ(c.pipes, 1);
  EXPECT_FALSE(c.mySqlPortEnabled) << "named pipes disable the port box";
  EXPECT_EQ(c.msSqlServer, "sqlhost");
}

TEST_F(SettingsEditorTest, OddValuesLoadWithoutHarm) {
  WriteFile("[Global]\nDataStore=ORACLE\n[MySQL]\nServer=" + std::string(120, 'h') + "\nPipes=7\n");
  editor_->Load();
  EXPECT_EQ(editor_->Controls().dataStore, kNoDataStore);
  EXPECT_EQ(editor_->Controls().mySqlServer, std::string(99, 'h'));
  EXPECT_EQ(editor_->Controls().pipes, 0);
  editor_->Controls().pipes = 2;
  editor_->PipesClicked();
  EXPECT_FALSE(editor_->Controls().mySqlPortEnabled);
  editor_->Controls().pipes = 0;
  editor_->PipesClicked();
  EXPECT_TRUE(editor_->Controls().mySqlPortEnabled);
}

TEST_F(SettingsEditorTest, NothingChangedWritesNothingAndSaysSaved) {
  LoadRecording();
  EXPECT_TRUE(Save());
  EXPECT_TRUE(writes_.empty());
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"Settings Saved"});
}

TEST_F(SettingsEditorTest, ChangedKeysAreWrittenInOrderAndOnlyOnce) {
  LoadRecording();
  SettingsControls& c = editor_->Controls();
  c.msSqlServer = "mssql1";
  c.pipes = 1;
  c.mySqlPort = "3310";
  c.mySqlServer = "maria1";
  c.dataStore = kMySql;
  c.portStart = "2424";
  c.ports = "8";
  EXPECT_TRUE(Save());
  using W = std::tuple<std::string, std::string, std::string>;
  EXPECT_EQ(writes_, (std::vector<W>{{"Global", "TCPPorts", "8"},
                                     {"Global", "TCPPortStart", "2424"},
                                     {"Global", "DataStore", "MYSQL"},
                                     {"MySQL", "Server", "maria1"},
                                     {"MySQL", "Port", "3310"},
                                     {"MySQL", "Pipes", "1"},
                                     {"MSSQL", "Server", "mssql1"}}));
  writes_.clear();
  EXPECT_TRUE(Save());
  EXPECT_TRUE(writes_.empty()) << "the held values follow each write";

  c.msSqlServer = "MSSQL1";
  EXPECT_TRUE(Save());
  EXPECT_EQ(writes_, (std::vector<W>{{"MSSQL", "Server", "MSSQL1"}})) << "case counts";
}

TEST_F(SettingsEditorTest, PortCountsOutOfRangeAreRejectedBeforeAnyWrite) {
  for (const char* text : {"0", "51", "abc", "", "-3", "1e9"}) {
    SCOPED_TRACE(text);
    LoadRecording();
    dialogs_.messages.clear();
    editor_->Controls().ports = text;
    editor_->Controls().mySqlServer = "changed";
    bool starting = true;
    EXPECT_FALSE(editor_->Save(starting, dialogs_));
    EXPECT_FALSE(starting);
    EXPECT_EQ(dialogs_.messages, std::vector<std::string>{kBadPorts});
    EXPECT_TRUE(writes_.empty());
  }
}

TEST_F(SettingsEditorTest, PortCountsReadAsTheirRoundedLeadingNumber) {
  const std::pair<const char*, const char*> cases[] = {
      {"2.5", "2"}, {"3.5", "4"}, {"12abc", "12"}, {" 9", "9"}, {"20", "20"}};
  for (const auto& [typed, written] : cases) {
    SCOPED_TRACE(typed);
    LoadRecording();
    writes_.clear();
    editor_->Controls().ports = typed;
    EXPECT_TRUE(Save());
    ASSERT_EQ(writes_.size(), 1u);
    EXPECT_EQ(std::get<2>(writes_[0]), written);
    EXPECT_TRUE(dialogs_.questions.empty());
  }
}

TEST_F(SettingsEditorTest, MoreThanTwentyPortsNeedConfirmation) {
  LoadRecording();
  editor_->Controls().ports = "21";
  dialogs_.answerYes = false;
  bool starting = true;
  EXPECT_FALSE(editor_->Save(starting, dialogs_));
  EXPECT_FALSE(starting);
  ASSERT_EQ(dialogs_.questions.size(), 1u);
  EXPECT_EQ(dialogs_.questions[0],
            "WARNING: More than 20 Ports may produce errors under heavy load.  You can push it "
            "further if you are on a high-spec Linux machine \r\n\r\nDo you still want to "
            "continue ... ?");
  EXPECT_TRUE(writes_.empty());
  EXPECT_TRUE(dialogs_.messages.empty());

  dialogs_.answerYes = true;
  starting = true;
  EXPECT_TRUE(editor_->Save(starting, dialogs_));
  EXPECT_TRUE(starting);
  EXPECT_TRUE(dialogs_.messages.empty()) << "no \"Settings Saved\" during a start";
  ASSERT_EQ(writes_.size(), 1u);
  EXPECT_EQ(std::get<2>(writes_[0]), "21");
}

TEST_F(SettingsEditorTest, ABadListeningPortStopsAfterThePortCountIsWritten) {
  LoadRecording();
  editor_->Controls().ports = "6";
  editor_->Controls().portStart = "65536";
  editor_->Controls().mySqlServer = "changed";
  EXPECT_FALSE(Save());
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{kBadListenPort});
  using W = std::tuple<std::string, std::string, std::string>;
  EXPECT_EQ(writes_, (std::vector<W>{{"Global", "TCPPorts", "6"}}));
  EXPECT_EQ(editor_->Held().tcpPortStart, "23");
  EXPECT_EQ(editor_->Held().mySqlServer, "127.0.0.1");
}

TEST_F(SettingsEditorTest, AListeningPortTypedWithABlankIsWrittenWithout) {
  LoadRecording();
  editor_->Controls().portStart = " 23";
  EXPECT_TRUE(Save());
  using W = std::tuple<std::string, std::string, std::string>;
  EXPECT_EQ(writes_, (std::vector<W>{{"Global", "TCPPortStart", "23"}}));
}

TEST_F(SettingsEditorTest, AnUnknownDataStoreIsSavedAsJet) {
  WriteFile("[Global]\nDataStore=ORACLE\n");
  LoadRecording();
  EXPECT_TRUE(Save());
  using W = std::tuple<std::string, std::string, std::string>;
  EXPECT_EQ(writes_, (std::vector<W>{{"Global", "DataStore", "JET"}}));
}

TEST_F(SettingsEditorTest, SavesReachTheFileAndTheEngineReadsThem) {
  WriteFile("; kept\n[Global]\nDataStore=JET\nOther=1\n");
  editor_->Load();
  editor_->Controls().dataStore = kMySql;
  editor_->Controls().ports = "9";
  editor_->Controls().msSqlServer = "sqlbox";
  EXPECT_TRUE(Save());
  EXPECT_EQ(Key("GLOBAL", "datastore"), "MYSQL");
  EXPECT_EQ(Key("Global", "TCPPorts"), "9");
  EXPECT_EQ(Key("mssql", "server"), "sqlbox");
  EXPECT_EQ(Key("Global", "Other"), "1");
  EXPECT_NE(FileText().find("; kept"), std::string::npos);
  EXPECT_EQ(ReadEngineSettings(Home()).dataStore, "MYSQL");
  EXPECT_EQ(ReadEngineSettings(Home()).msSqlServer, "sqlbox");

  SettingsEditor again(IniPath());
  again.Load();
  EXPECT_EQ(again.Controls().dataStore, kMySql);
  EXPECT_EQ(again.Controls().ports, "9");
}

TEST_F(SettingsEditorTest, AFailedWriteIsReportedAndTriedAgainLater) {
  SettingsEditor editor((home_ / "no-such-folder" / "OrvikEngine.ini").string());
  editor.Load();
  editor.Controls().ports = "7";
  bool starting = true;
  EXPECT_FALSE(editor.Save(starting, dialogs_));
  EXPECT_FALSE(starting) << "a start must not go on with settings that were not saved";
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].rfind("ERROR: Settings could not be saved to ", 0), 0u);
  EXPECT_EQ(editor.Held().tcpPorts, "5") << "the held value still says what the file holds";

  std::filesystem::create_directories(home_ / "no-such-folder");
  dialogs_.messages.clear();
  starting = false;
  EXPECT_TRUE(editor.Save(starting, dialogs_));
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"Settings Saved"});
  EXPECT_EQ(IniFile(editor.IniPath()).Read("Global", "TCPPorts", ""), "7");
}

TEST_F(SettingsEditorTest, LineBreaksNeverReachTheFile) {
  editor_->Load();
  editor_->Controls().mySqlServer = "host\n[Global]\nTCPPorts=50";
  EXPECT_FALSE(Save());
  EXPECT_EQ(Key("Global", "TCPPorts"), "<missing>");
  EXPECT_EQ(Key("MySQL", "Server"), "<missing>");
}

}  // namespace
}  // namespace orvik::console
