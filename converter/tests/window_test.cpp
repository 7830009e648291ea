// The window driven without a person: a file chooser and a message box that answer at once.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <string>
#include <vector>

#include "massage_window.h"
#include "test_files.h"

namespace orvik::massage {
namespace {

using testing::ReadFile;
using testing::ScratchFolder;
using testing::WriteFile;

class Window : public ::testing::Test {
 protected:
  Window() {
    w.chooseFile = [this] { return chosen; };
    w.showMessage = [this](QMessageBox::Icon icon, const QString& text) {
      messages.push_back(text.toStdString());
      icons.push_back(icon);
    };
  }

  std::string Monitor() { return w.txtMon->toPlainText().toStdString(); }
  std::string Header() { return w.lblHeader->text().toStdString(); }
  void Choose(const std::filesystem::path& p) { chosen = QString::fromStdString(p.string()); }

  // Which of 1, 2 (DATABASIC), 2 (HTML), 3, 4 are enabled.
  std::string Enabled() {
    std::string r;
    for (QPushButton* b : {w.cmd1, w.cmd2[1], w.cmd2[0], w.cmd3, w.cmd4}) {
      r += b->isEnabled() ? '1' : '0';
    }
    return r;
  }

  ScratchFolder dir;
  frmOrvikMassage w;
  QString chosen;
  std::vector<std::string> messages;
  std::vector<QMessageBox::Icon> icons;
};

TEST_F(Window, StartsWithTheWelcome) {
  EXPECT_EQ(w.windowTitle().toStdString(), "OrvikMassage");
  EXPECT_EQ(Header(), "Welcome to \"OrvikMassage\"");
  EXPECT_EQ(Enabled(), "10001");
  EXPECT_TRUE(w.cmd1->isDefault());
  EXPECT_EQ(w.cmd2[1]->text().toStdString(), "2.  DATABASIC to VB");
  EXPECT_TRUE(Monitor().starts_with("Click \"1. Select\", to get an Open File box.\n"));
}

TEST_F(Window, CancelledSelectionStartsAgain) {
  chosen.clear();
  w.Select();
  EXPECT_EQ(messages, std::vector<std::string>{"No file selected - starting again"});
  EXPECT_EQ(Enabled(), "10001");
  EXPECT_EQ(Header(), "Welcome to \"OrvikMassage\"");
}

TEST_F(Window, EmptyFileIsNoSelection) {
  WriteFile(dir / "empty", "");
  Choose(dir / "empty");
  w.Select();
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(Enabled(), "10001");
}

TEST_F(Window, SelectionPreviewsTheFile) {
  WriteFile(dir / "P.txt", "X = 1\nY = 2\nZ = 3\n");
  Choose(dir / "P.txt");
  w.Select();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Enabled(), "11101");
  EXPECT_EQ(Header(), "'" + (dir / "P.txt").string() + "'  Ready for Step 2");
  EXPECT_TRUE(Monitor().ends_with(
      "If you have any problem, you can repeat step 1 to look for another file.\n\nX = 1\nY = "
      "2\nZ = 3"))
      << Monitor();
}

TEST_F(Window, ConvertsBasicAndShowsTheResult) {
  WriteFile(dir / "P.txt", "CRT 'HI'\n");
  Choose(dir / "P.txt");
  w.Select();
  w.PBtoVB();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(ReadFile(dir / "P_VBconv.txt"), "CRT \"HI\"\r\nEnd Sub\r\n");
  EXPECT_EQ(Header(), "'" + (dir / "P.txt").string() + "'  VB Conversion complete");
  EXPECT_TRUE(Monitor().ends_with("'\nCRT \"HI\"\nEnd Sub")) << Monitor();
  EXPECT_EQ(Enabled(), "11111");
  // The clipboard gets the last page massaged (none here), not the VB result.
  QApplication::clipboard()->setText("stale");
  w.CopyToClipboard();
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "");
  EXPECT_EQ(messages.back(),
            "The clipboard is now loaded with your nicely massaged page, ready to paste in to a "
            "script or program.");
}

TEST_F(Window, FailedConversionIsReported) {
  WriteFile(dir / "P", "X = 1\n");
  Choose(dir / "P");
  w.Select();
  std::filesystem::remove(dir / "P");
  w.PBtoVB();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(icons.back(), QMessageBox::Critical);
  EXPECT_EQ(Enabled(), "11101");
}

TEST_F(Window, MassagesAPageAndCopiesIt) {
  WriteFile(dir / "p.htm", "<head></head><body>\n<p>\"hi\"</p>\n");
  Choose(dir / "p.htm");
  w.Select();
  w.HtmlMassage();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Header(), "'" + (dir / "p.htm").string() + "'  Massage complete");
  EXPECT_EQ(w.OutputPath(), dir / "p.txt");
  EXPECT_EQ(ReadFile(dir / "p.txt"), w.MassagedText() + "\r\n");
  EXPECT_TRUE(
      Monitor().starts_with("The first few lines of the massaged code are given below: \n"));
  EXPECT_EQ(Enabled(), "11111");
  w.CopyToClipboard();
  EXPECT_EQ(QApplication::clipboard()->text().toLatin1().toStdString(), w.MassagedText());
  EXPECT_EQ(icons.back(), QMessageBox::Information);
}

TEST_F(Window, APageNeverReplacesAProgramConvertedBefore) {
  WriteFile(dir / "INVOICE.txt", "CRT 'HI'\n");
  WriteFile(dir / "INVOICE.htm", "<body>\n<p>invoice</p>\n");
  Choose(dir / "INVOICE.txt");
  w.Select();
  w.PBtoVB();
  Choose(dir / "INVOICE.htm");
  w.Select();
  w.HtmlMassage();
  EXPECT_EQ(ReadFile(dir / "INVOICE.txt"), "CRT 'HI'\n");
  EXPECT_EQ(w.OutputPath(), dir / "INVOICE_asp.txt");
  EXPECT_EQ(ReadFile(dir / "INVOICE_asp.txt"), w.MassagedText() + "\r\n");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0],
            "INVOICE.txt is an input of this run: not written over. The result is in " +
                (dir / "INVOICE_asp.txt").string());
  EXPECT_EQ(icons[0], QMessageBox::Information);
  EXPECT_NE(Monitor().find("stored in file \"" + (dir / "INVOICE_asp.txt").string()),
            std::string::npos);
}

TEST_F(Window, PageWithoutBodyIsRejected) {
  WriteFile(dir / "p.htm", "<p>no body</p>\n");
  Choose(dir / "p.htm");
  w.Select();
  w.HtmlMassage();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(
      messages[0].starts_with("File has no \"<body>\" tag so OrvikMassage can not proceed."));
  EXPECT_EQ(Enabled(), "10001");
  EXPECT_FALSE(std::filesystem::exists(dir / "p.txt"));
}

// The window's own boxes, not the test's stand-in: every text reaches the user as written.
TEST_F(Window, BoxesShowTheirTextAsWritten) {
  frmOrvikMassage real;
  std::vector<std::string> shown;
  std::vector<Qt::TextFormat> formats;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown.push_back(box->text().toStdString());
      formats.push_back(box->textFormat());
      box->accept();
    }
  });
  answer.start(10);
  real.chooseFile = [this] { return chosen; };
  std::filesystem::create_directory(dir / "<b>");
  WriteFile(dir / "<b>" / "p.htm", "<p>no body</p>\n");
  Choose(dir / "<b>" / "p.htm");
  real.Select();
  real.HtmlMassage();
  WriteFile(dir / "<b>" / "P", "X = 1\n");
  Choose(dir / "<b>" / "P");
  real.Select();
  std::filesystem::remove(dir / "<b>" / "P");
  real.PBtoVB();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_TRUE(shown[0].starts_with("File has no \"<body>\" tag so OrvikMassage can not proceed."))
      << shown[0];
  EXPECT_TRUE(shown[1].starts_with((dir / "<b>" / "P").string() + ": ")) << shown[1];
  for (Qt::TextFormat f : formats) EXPECT_EQ(f, Qt::PlainText);
}

}  // namespace
}  // namespace orvik::massage

int main(int argc, char** argv) {
  // Test discovery runs this program without the test environment: never look for a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
