// Test main of the programs that drive widgets: the offscreen platform unless another is
// asked for, and a print service that does not exist unless the test run names one, so
// that no test prints on a printer of the machine.

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // Test discovery runs the program outside CTest's environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("CUPS_SERVER")) {
    qputenv("CUPS_SERVER", "/nonexistent-orvik/cups.sock");
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
