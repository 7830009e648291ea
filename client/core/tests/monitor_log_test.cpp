// The monitor's log: entries, the trim, the command history and what it never shows.

#include "monitor_log.h"

#include <gtest/gtest.h>

#include <string>

#include "settings_parse.h"

namespace orvik::client {
namespace {

TEST(MonitorLogTest, EntriesByKind) {
  ClientSettings settings;
  MonitorLog log(settings);
  log.Monitor(
      "a\x07"
      "b\x1B"
      "c\r\nd\xE9",
      MonitorKind::kForms);
  EXPECT_EQ(log.Text(), "abc\r\nd\xE9\r\n\r\n");
  log.Clear();
  log.Monitor(
      "a\x07"
      "b",
      MonitorKind::kDirect);
  EXPECT_EQ(log.Text(),
            "a\x07"
            "b\r\n\r\n");
  log.Clear();
  log.Monitor("\tx", MonitorKind::kTerminal);
  EXPECT_EQ(log.Text(), "x\r\n\r\n");
}

TEST(MonitorLogTest, TrafficLines) {
  ClientSettings settings;
  MonitorLog log(settings);
  log.Received("<TERMINAL>hi\x07");
  log.Sent("LIST\r");
  log.Monitor("PROCESS: continuing with State=TERMINAL:", MonitorKind::kDirect);
  EXPECT_EQ(log.Text(),
            "RX:\r\n<TERMINAL>hi\r\n\r\n"
            "TX :LIST\r\r\n\r\n"
            "PROCESS: continuing with State=TERMINAL:\r\n\r\n");
}

TEST(MonitorLogTest, TrafficIsLoggedOnlyWhileMonitorIsOn) {
  ClientSettings settings;
  settings.monitor = false;
  MonitorLog log(settings);
  log.Received("x");
  log.Sent("y");
  EXPECT_EQ(log.Text(), "");
}

TEST(MonitorLogTest, PastTwentyThousandKeepsTheLastFifteenThousand) {
  ClientSettings settings;
  MonitorLog log(settings);
  const std::string entry(9996, 'a');  // 10,000 with its two CR LF
  log.Monitor(entry, MonitorKind::kDirect);
  log.Monitor(entry, MonitorKind::kDirect);
  EXPECT_EQ(log.Text().size(), 20000u);  // not past the limit yet
  const std::string last = "last" + std::string(10, 'z');
  log.Monitor(last, MonitorKind::kDirect);
  ASSERT_EQ(log.Text().size(), 15000u);
  EXPECT_TRUE(log.Text().ends_with(last + "\r\n\r\n"));
  // An entry larger than the limit keeps only its own end.
  log.Monitor(std::string(30000, 'b') + "end", MonitorKind::kForms);
  EXPECT_EQ(log.Text().size(), 15000u);
  EXPECT_TRUE(log.Text().ends_with("bend\r\n\r\n"));
}

TEST(MonitorLogTest, CommandHistory) {
  ClientSettings settings;
  MonitorLog log(settings);
  EXPECT_EQ(log.CommandToSend("WHO"), "WHO\r");
  EXPECT_EQ(log.CommandToSend(""), "\r");
  EXPECT_EQ(log.CommandToSend("WHO"), "WHO\r");
  EXPECT_EQ(log.History(), (std::vector<std::string>{"WHO", "", "WHO"}));
}

TEST(MonitorLogTest, ThePasswordTypedAtTheEnginePromptIsNeverLogged) {
  ClientSettings settings;
  MonitorLog log(settings);
  log.Received("\r\nuser: ");
  for (char c : std::string("admin")) log.Sent(std::string(1, c));
  log.Sent("\r");
  log.Received("\r\npassword: ");
  EXPECT_TRUE(log.AtPasswordPrompt());
  for (char c : std::string("s3cret")) {
    log.Sent(std::string(1, c));
    log.Received("*");  // the engine's echo does not end the prompt
  }
  log.Sent("\r");
  EXPECT_FALSE(log.AtPasswordPrompt());
  log.Sent("W");
  EXPECT_EQ(log.Text().find("s3cret"), std::string::npos);
  for (char c : std::string("s3cret")) {
    EXPECT_EQ(log.Text().find("TX :" + std::string(1, c) + "\r\n"), std::string::npos) << c;
  }
  EXPECT_NE(log.Text().find("TX :a\r\n"), std::string::npos);  // the name is no secret
  EXPECT_NE(log.Text().find("TX :W\r\n"), std::string::npos);  // nor what follows the line
  EXPECT_NE(log.Text().find("TX :*\r\n"), std::string::npos);
}

TEST(MonitorLogTest, PromptsBehindTagsAndTheApplicationsOwnPrompt) {
  ClientSettings settings;
  MonitorLog log(settings);
  log.Received("<POSITION TOP=3 LEFT=0>Password:  </TX>");
  EXPECT_TRUE(log.AtPasswordPrompt());
  EXPECT_EQ(log.CommandToSend("hunter2"), "hunter2\r");
  log.Sent("hunter2\r");  // the monitor's own command line at the prompt
  EXPECT_TRUE(log.History().empty());
  EXPECT_EQ(log.Text().find("hunter2"), std::string::npos);
  EXPECT_NE(log.Text().find("TX :*******\r"), std::string::npos);

  SettingsParse("INI APPPASSWORDPROMPT=\"Enter PIN\"", settings);
  log.Received("<POSITION TOP=3 LEFT=0>Enter PIN<POSITION TOP=3 LEFT=10>___");
  EXPECT_TRUE(log.AtPasswordPrompt());
  log.Sent("<VBGUI>9");
  log.Sent("1\r");
  EXPECT_EQ(log.Text().find("<VBGUI>9"), std::string::npos);

  log.Received("Enter your user name: ");
  EXPECT_FALSE(log.AtPasswordPrompt());
}

}  // namespace
}  // namespace orvik::client
