// Test main for code that waits in a Qt event loop: the application object exists for the
// whole run, so the waits under test pump a real loop.

#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
