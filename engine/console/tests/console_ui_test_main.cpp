// Test main for the console's window and its program. The window needs no display: without
// one named, it is drawn offscreen (test discovery runs outside CTest's environment too).

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName("OvEngConsole");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
