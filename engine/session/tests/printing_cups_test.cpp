// Printing through the engine to a real printing service: a private cupsd whose printer keeps
// every job's bytes in ORVIK_CUPS_TEST_DIR/jobs.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "port.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;

// The bytes of the first captured job that holds `marker`, waiting for it a bounded time.
std::string CapturedJobWith(const std::string& marker) {
  const char* dir = std::getenv("ORVIK_CUPS_TEST_DIR");
  if (dir == nullptr) return "ORVIK_CUPS_TEST_DIR is not set: run through ctest";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path(dir) / "jobs", ec)) {
      if (entry.path().extension() == ".info") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::string bytes((std::istreambuf_iterator<char>(in)), {});
      if (bytes.find(marker) != std::string::npos) return bytes;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return "no job holding " + marker;
}

class PrintingThroughCupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = fs::temp_directory_path() / ("orvik-print-" + std::to_string(::getpid()));
    fs::create_directories(home_);
    port_ = Port::Create(home_.string());
  }
  void TearDown() override {
    port_.reset();
    fs::remove_all(home_);
  }
  std::string Run(std::string sentence) { return port_->ExecutePS(sentence); }

  fs::path home_;
  std::shared_ptr<Port> port_;
};

TEST_F(PrintingThroughCupsTest, ARawDeviceSendsItsBytesUnchanged) {
  ASSERT_EQ(Run("DEV-MAKE R 3 TestRaw"), "OK") << port_->ErrorDetail();
  ASSERT_EQ(Run("SP-ASSIGN 3"), "OK");
  ASSERT_EQ(Run("PRINTER ON"), "OK");
  std::string bytes = "raw-job-marker ";
  for (int c = 1; c < 256; ++c) bytes.push_back(static_cast<char>(c));
  port_->PPrint(bytes, false);
  port_->PPrint("\f page two", false);
  ASSERT_EQ(Run("PRINTER CLOSE"), "OK") << port_->ErrorDetail();
  EXPECT_EQ(CapturedJobWith("raw-job-marker"), bytes + "\f page two");
}

TEST_F(PrintingThroughCupsTest, APrinterObjectSendsItsTextPages) {
  ASSERT_EQ(Run("DEV-MAKE P 1 testraw"), "OK") << port_->ErrorDetail();
  ASSERT_EQ(Run("SP-ASSIGN 1"), "OK");
  ASSERT_EQ(Run("PRINTER ON"), "OK");
  port_->PPrint("text-job-marker page one\fpage two");
  ASSERT_EQ(Run("PRINTER CLOSE"), "OK") << port_->ErrorDetail();
  EXPECT_EQ(CapturedJobWith("text-job-marker"), "text-job-marker page one\fpage two\r\n");
}

TEST_F(PrintingThroughCupsTest, AnUnknownRawPrinterIsRefused) {
  EXPECT_EQ(Run("DEV-MAKE R 2 'No Such Printer'"), "ERROR");
  EXPECT_EQ(port_->ErrorDetail(), "[978] The Printer Name No Such Printer is not recognized.");
}

}  // namespace
}  // namespace orvik
