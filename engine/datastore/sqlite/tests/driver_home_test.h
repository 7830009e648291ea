// A home of its own for each test, in a fresh temporary folder, and drivers connected to its
// accounts.

#ifndef ORVIK_ENGINE_DATASTORE_SQLITE_TESTS_DRIVER_HOME_TEST_H_
#define ORVIK_ENGINE_DATASTORE_SQLITE_TESTS_DRIVER_HOME_TEST_H_

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "sqlite_driver.h"

namespace orvik::sqlite_detail {

class DriverHomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvik-home-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    home_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(home_); }

  std::unique_ptr<SqliteDriver> Connected(const std::string& account = "demo") {
    auto driver = std::make_unique<SqliteDriver>();
    ConnectParams params;
    params.home = home_;
    params.account = account;
    driver->Connect(params);
    return driver;
  }

  std::string home_;
};

}  // namespace orvik::sqlite_detail

#endif  // ORVIK_ENGINE_DATASTORE_SQLITE_TESTS_DRIVER_HOME_TEST_H_
