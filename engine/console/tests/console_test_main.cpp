// Test main for the console's core: an application object for the whole run, so that the
// relay's sockets and timers and the waits under test run on a real event loop.

#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
