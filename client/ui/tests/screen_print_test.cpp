// The screen print on the private CUPS server that ctest starts: F11 on a form sends its
// image as a PDF document to the default printer, and nothing is said when it was taken.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "screen_form_widget.h"
#include "shell_fixture.h"

namespace orvik::client {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The first bytes of every captured job.
std::set<std::string> PdfJobs() {
  std::set<std::string> pdfs;
  const char* dir = std::getenv("ORVIK_CUPS_TEST_DIR");
  if (dir == nullptr || !fs::exists(fs::path(dir) / "jobs")) return pdfs;
  for (const fs::directory_entry& job : fs::directory_iterator(fs::path(dir) / "jobs")) {
    std::ifstream file(job.path(), std::ios::binary);
    char head[5] = {};
    file.read(head, 4);
    if (std::string(head) == "%PDF") pdfs.insert(job.path().filename().string());
  }
  return pdfs;
}

class ScreenPrintTest : public ShellFixture {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("ORVIK_CUPS_TEST_DIR"), nullptr)
        << "run through ctest, which starts the private print server";
    shell.Start();
    shell.TimerTick();
    widget.Core().Load();
  }
  ScreenFormWidget widget{shell, 12000, 7800};
};

TEST_F(ScreenPrintTest, F11SendsTheFormToTheDefaultPrinterAsAPdf) {
  const std::set<std::string> before = PdfJobs();
  widget.Core().Model().texts.msData = "<ATF,@=-1>Printed screen";
  widget.Core().TerminalDraw();
  QKeyEvent f11(QEvent::KeyPress, Qt::Key_F11, Qt::NoModifier);
  QCoreApplication::sendEvent(&widget, &f11);
  EXPECT_TRUE(dialogs.boxes.empty()) << dialogs.boxes[0].text;
  // The capture backend writes the job's bytes once the server has run it.
  std::set<std::string> after;
  for (int i = 0; i < 200 && after.size() <= before.size(); ++i) {
    std::this_thread::sleep_for(50ms);
    after = PdfJobs();
  }
  EXPECT_EQ(after.size(), before.size() + 1) << "one PDF job arrived";
}

}  // namespace
}  // namespace orvik::client
