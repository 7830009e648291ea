// The connection values in the user's settings store, kept in a temporary folder.

#include "connection_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QSettings>
#include <filesystem>
#include <fstream>
#include <limits>

namespace orvik::client {
namespace {

namespace fs = std::filesystem;

class ConnectionSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("orvik-connection-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString(folder_.string()));
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path StoreFile() const { return folder_ / "OrvikLink" / "OrvikLink.ini"; }

  fs::path folder_;
};

TEST_F(ConnectionSettingsTest, DefaultsThenWhatWasSavedUnderTheApplicationAndSection) {
  EXPECT_EQ(LoadConnectionValues(), (ConnectionValues{"", "23", "4"}));
  ASSERT_TRUE(SaveConnectionValues({"db.example", "2323", "6.5"}));
  EXPECT_EQ(LoadConnectionValues(), (ConnectionValues{"db.example", "2323", "6.5"}));
  std::ifstream file(StoreFile());
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("[Connection]"), std::string::npos) << text;
  EXPECT_NE(text.find("Server=db.example"), std::string::npos) << text;
  EXPECT_NE(text.find("TimeOut=6.5"), std::string::npos) << text;

  // Latin-1 survives the store; a key removed by hand falls back to its default.
  ASSERT_TRUE(SaveConnectionValues({"caf\xE9", "23", "4"}));
  EXPECT_EQ(LoadConnectionValues().server, "caf\xE9");
  QSettings(QString::fromStdString(StoreFile().string()), QSettings::IniFormat)
      .remove("Connection/Port");
  EXPECT_EQ(LoadConnectionValues().port, "23");
}

TEST(ConnectionTargetTest, NumbersAreReadAsTheMonitorTakesThem) {
  const ConnectionTarget t = ConnectionTargetOf({"host", " 2324.5", "7 seconds"});
  EXPECT_EQ(t.host, "host");
  EXPECT_EQ(t.port, 2324);  // half to even
  EXPECT_FLOAT_EQ(t.timeOut, 7);
  EXPECT_EQ(ConnectionTargetOf({"", "abc", ""}).port, 0);
  // A time-out typed past what it is kept in is held to the largest it can be.
  EXPECT_EQ(ConnectionTargetOf({"", "1", "1e300"}).timeOut, std::numeric_limits<float>::max());
  EXPECT_EQ(ConnectionTargetOf({"", "1", "-1e300"}).timeOut, -std::numeric_limits<float>::max());
}

}  // namespace
}  // namespace orvik::client
