// A port on a private, empty engine home, for tests.

#ifndef ORVIK_ENGINE_TESTS_PORT_TEST_SUPPORT_H_
#define ORVIK_ENGINE_TESTS_PORT_TEST_SUPPORT_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "port.h"

namespace orvik::test_support {

class PortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = std::filesystem::temp_directory_path() /
            ("orvik-port-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(home_);
    port_ = Port::Create(home_.string());
  }
  void TearDown() override {
    port_.reset();
    std::filesystem::remove_all(home_);
  }

  std::filesystem::path home_;
  std::shared_ptr<Port> port_;
};

}  // namespace orvik::test_support

#endif  // ORVIK_ENGINE_TESTS_PORT_TEST_SUPPORT_H_
