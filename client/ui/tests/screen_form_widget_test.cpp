// The screen form's window offscreen: how terminal bytes are painted (box characters as
// lines, the rest as Latin-1), the keys it hands to the core, its header labels, its option
// menu; and the monitor window.

#include "screen_form_widget.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QScreen>
#include <QGuiApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <filesystem>

#include "fake_print_backend.h"
#include "modal_helpers.h"
#include "markup.h"
#include "monitor_window.h"
#include "numbers.h"
#include "shell_fixture.h"
#include "widget_look.h"

namespace orvik::client {
namespace {

// A raster of 80 x 26 cells of 150 x 300 twips (10 x 20 pixels).
constexpr double kRasterWidth = 12000;
constexpr double kRasterHeight = 7800;

class ScreenFormWidgetTest : public ShellFixture {
 protected:
  void SetUp() override {
    shell.Start();
    shell.TimerTick();  // the shell's own first form (a fake): the widget below is entry 0 too
    link.sent.clear();
    widget.Core().Load();
  }

  void Paint(const std::string& data) {
    widget.Core().Model().texts.msData = data;
    widget.Core().TerminalDraw();
  }
  // Row 0 of the canvas.
  QImage Row0() {
    const int h = static_cast<int>(Pixels(widget.Core().Model().layout.mCY));
    return widget.Canvas().copy(0, 0, widget.Canvas().width(), h);
  }
  // `text` drawn as the terminal draws row 0 (one character a cell, in its font, black on
  // white), as the reference of what the bytes must look like.
  QImage Reference(const QString& text) {
    QImage image = widget.Canvas();
    image.fill(Qt::white);
    QPainter painter(&image);
    const QFont font = QtFont(widget.Core().Model().layout.font);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetricsF metrics(font, &image);
    QPointF at(0, metrics.ascent());
    for (const QChar c : text) {
      painter.drawText(at, QString(c));
      at.rx() += metrics.horizontalAdvance(QChar('X'));
    }
    painter.end();
    return image.copy(0, 0, image.width(), Row0().height());
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(&widget, &press);
  }

  ScreenFormWidget widget{shell, kRasterWidth, kRasterHeight};
};

TEST_F(ScreenFormWidgetTest, TheTerminalFontIsMonospacedOnTheRaster) {
  const ScreenModel& m = widget.Core().Model();
  EXPECT_EQ(m.layout.font.size, 12);  // the cell width 150 over 12
  EXPECT_EQ(m.layout.mCX, 144);       // Liberation Mono: 0.6 em of 16 pixels
  EXPECT_GT(m.layout.mCY, 240);
  EXPECT_LT(m.layout.mCY, 300);  // a line fits in the raster's cell height
  EXPECT_EQ(QtFont(m.layout.font).family(), "Liberation Mono");
  EXPECT_EQ(QtFont(FormFont{"MS Sans Serif", 8, false}).family(), "Liberation Sans");
  EXPECT_EQ(widget.Canvas().size(), QSize(800, 520));
}

TEST_F(ScreenFormWidgetTest, BoxBytesAreDrawnAsLinesAndTheOthersAsLatin1) {
  Paint("<ATF @=-1><ATF @=-2><ATF @=-41>\xC9\xCD\xBB\xC4\xB3\xE9\xF8\xB0 \xCD\xCD\xCD");
  const QString expected = QString::fromUtf8("╔═╗─│éø░ ═══");
  EXPECT_EQ(Row0(), Reference(expected));
  EXPECT_NE(Row0(), Reference(QString::fromUtf8("ÉÍ»Ä³éø° ÍÍÍ")));  // not their Latin-1 letters
  // Three lines in a row make one line: somewhere across the three cells every pixel is dark.
  const QImage row = Row0();
  const double cell = Pixels(widget.Core().Model().layout.mCX);
  const int from = static_cast<int>(9 * cell) + 1;
  const int to = static_cast<int>(12 * cell) - 1;
  bool joined = false;
  for (int y = 0; y < row.height() && !joined; ++y) {
    joined = true;
    for (int x = from; x < to && joined; ++x) joined = qGray(row.pixel(x, y)) < 128;
  }
  EXPECT_TRUE(joined);
}

// A screen of boxes, colours and the form header, kept under build/ to be looked at.
TEST_F(ScreenFormWidgetTest, AFramedScreenForTheEye) {
  std::string frame = "<ATF @=-1><FORMHEADER>Orders,Customer C1,SHOP";
  frame += "<POSITION TOP=4 LEFT=10>\xC9" + std::string(40, '\xCD') + "\xBB";
  for (int row = 5; row < 9; ++row) {
    frame +=
        "<POSITION TOP=" + std::to_string(row) + " LEFT=10>\xBA" + std::string(40, ' ') + "\xBA";
  }
  frame += "<POSITION TOP=9 LEFT=10>\xC8" + std::string(40, '\xCD') + "\xBC";
  frame += "<POSITION TOP=6 LEFT=13><ATF @=-38>Caf\xE9 S\xF8ren<ATF @=-40> <ATF @=-44>blue";
  frame += "<POSITION TOP=7 LEFT=13><ATF @=-34><ATF @=-41>\xDA\xC4\xC2\xC4\xBF \xB0\xB1\xB2\xDB";
  frame += "<ATF @=-40><POSITION TOP=11 LEFT=0><HR><POSITION TOP=23 LEFT=0>dialogue line";
  Paint(frame);
  widget.resize(800, 520);
  const std::filesystem::path dir(ORVIK_SCREENSHOT_DIR);
  std::filesystem::create_directories(dir);
  EXPECT_TRUE(
      widget.grab().save(QString::fromStdString((dir / "client_terminal_boxes.png").string())));
  EXPECT_EQ(widget.Core().Raster().RowText(6),
            "          \xBA  Caf\xE9 S\xF8ren blue" + std::string(23, ' ') + "\xBA");
}

TEST_F(ScreenFormWidgetTest, PositionsFarOffTheCanvasDrawNothing) {
  Paint(
      "<ATF @=-1><POSITION TOP=2147483647 LEFT=-2147483648>far\r\naway<HR><ATF @=-3>"
      "<ATF @=-4><ATF @=-9>\xC4<POSITION TOP=-99999999 LEFT=99999999>x\r\ny\r\nz");
  Paint("<ATF @=-2>near");
  EXPECT_EQ(widget.Core().Raster().RowText(0), "near");
}

// A box names its size in cells; any number may come, and the window is drawn into an image of
// its size, so a box far larger than the raster would ask for gigabytes. It stays within the
// raster (all it could show), wherever the box stands.
// A box the engine sizes or places anywhere is no larger than the raster and lies on the
// screen.
TEST_F(ScreenFormWidgetTest, AHugeBoxStaysWithinTheRasterAndTheScreen) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  widget.SetBoxGeometry(1500, 600, 1e9, 1e9);
  widget.show();
  QCoreApplication::processEvents();
  EXPECT_LE(widget.width(), widget.Canvas().width());
  EXPECT_LE(widget.height(), widget.Canvas().height());
  EXPECT_TRUE(screen.contains(widget.frameGeometry()));
  EXPECT_FALSE(widget.grab().isNull());
  widget.SetBoxGeometry(-3e9, -3e9, 8250, 4200);
  EXPECT_EQ(widget.size(), QSize(550, 280));
  EXPECT_TRUE(screen.contains(widget.frameGeometry()));
  widget.SetBoxGeometry(1500, 600, 8250, 4200);
  EXPECT_EQ(widget.geometry(), QRect(100, 40, 550, 280)) << "a box that fits is where it is put";
}

// A style's system colour is drawn as the desktop's, not read as red, green and blue: the
// descriptions of the default form style stand on the light tool-tip yellow.
TEST(WidgetLookTest, SystemColoursAreTheDesktopsOwn) {
  EXPECT_EQ(QtColour(LongOf(Val("&H80000018&"))), QColor(255, 255, 225));
  EXPECT_EQ(QtColour(LongOf(Val("&H8000000F&"))), QColor(212, 208, 200));
  EXPECT_EQ(QtColour(Rgb(1, 2, 3)), QColor(1, 2, 3));
}

TEST_F(ScreenFormWidgetTest, ColoursAreCellBackgrounds) {
  Paint("<ATF @=-1><ATF @=-2><ATF @=-34><ATF @=-48>  ");
  EXPECT_EQ(widget.Canvas().pixelColor(3, 3), QtColour(QBColor(14)));
  Paint("<ATF @=-1>");
  EXPECT_EQ(widget.Canvas().pixelColor(3, 3), QColor(Qt::white));
}

TEST_F(ScreenFormWidgetTest, KeysReachTheCoreAsCharacters) {
  Key(Qt::Key_A, Qt::NoModifier, "a");
  Key(Qt::Key_Eacute, Qt::NoModifier, QString(QChar(0xE9)));
  Key(Qt::Key_Return, Qt::NoModifier, "\r");
  Key(Qt::Key_Tab, Qt::NoModifier, "\t");
  Key(Qt::Key_Backspace, Qt::NoModifier, "\b");
  Key(Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x20AC)));  // no Latin-1: nothing sent
  EXPECT_EQ(link.sent, (std::vector<std::string>{"a", "\xE9", "\r", "\r", "\b"}));
  Key(Qt::Key_F12, Qt::ShiftModifier);
  EXPECT_EQ(host.monitorShown, 1);
}

TEST_F(ScreenFormWidgetTest, HeaderLabelsFollowTheirRecords) {
  Paint("<FORMHEADER>Query,Page 1,TCL");
  // The form has the menu's labels besides: the header's are its own three.
  QLabel* label = widget.HeaderLabel(1);
  ASSERT_NE(label, nullptr);
  EXPECT_TRUE(label->isVisibleTo(&widget));
  EXPECT_EQ(label->text(), "Page 1");
  EXPECT_EQ(label->geometry().left(), 160);  // 2400 twips
  EXPECT_EQ(label->geometry().width(), 480);
}

TEST_F(ScreenFormWidgetTest, TheOptionMenuShowsTheSwitchesAsTheyStand) {
  settings.monitor = false;
  auto menu = widget.OptionMenu();
  const QList<QAction*> actions = menu->actions();
  ASSERT_EQ(actions.size(), 5);
  EXPECT_TRUE(actions[1]->isChecked());   // developer messages
  EXPECT_FALSE(actions[3]->isChecked());  // monitor
  EXPECT_FALSE(actions[4]->isEnabled());  // the monitor's window
  actions[1]->trigger();
  EXPECT_FALSE(settings.devMsg);
  actions[3]->trigger();
  EXPECT_TRUE(settings.monitor);
  menu = widget.OptionMenu();
  EXPECT_TRUE(menu->actions()[4]->isEnabled());
  menu->actions()[4]->trigger();
  EXPECT_EQ(host.monitorShown, 1);
}

TEST_F(ScreenFormWidgetTest, ClosingByCodeAsksNothing) {
  widget.show();
  widget.CloseByCode();
  EXPECT_FALSE(widget.isVisible());
  EXPECT_TRUE(dialogs.boxes.empty());
  EXPECT_FALSE(link.released);
}

TEST_F(ScreenFormWidgetTest, TheScreenPrintWithoutAPrinterSaysSoAndTheButtonsFollowTheirRecords) {
  // The tests' print service is one that does not exist: no printer at all.
  Key(Qt::Key_F11);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "The screen could not be printed: there is no printer.");

  // A data-entry screen's buttons go under a sub-form and come back with the form, search
  // with its setting.
  settings.searchTextAny = "S ";
  FormControls& controls = widget.Core().Controls();
  controls.fnScreenPrint.visible = controls.fnSearch.visible = true;
  widget.Core().CoveredBySubform();
  EXPECT_FALSE(widget.ScreenPrintButton()->isVisibleTo(&widget));
  widget.Core().UncoveredBySubform();
  EXPECT_TRUE(widget.SearchButton()->isVisibleTo(&widget));
  EXPECT_TRUE(widget.ScreenPrintButton()->isVisibleTo(&widget));
  widget.ScreenPrintButton()->click();
  EXPECT_EQ(dialogs.boxes.size(), 2u);
}

class MonitorWindowTest : public ScreenFormWidgetTest {
 protected:
  QtEventPump realPump;
  FakePrintBackend printers;
  MonitorWindow window{shell, realPump, printers};
  TemporarySettingsStore store;
};

TEST_F(MonitorWindowTest, SendsCommandsKeepsTheirHistoryAndShowsTheLog) {
  window.ShowWindow();  // after the first screen form: the log stays
  EXPECT_TRUE(window.SendButton()->isEnabled());
  EXPECT_FALSE(window.ConnectButton()->isEnabled());
  window.Entry()->setEditText("WHO");
  window.SendButton()->click();
  window.Entry()->setEditText("WHO");
  window.SendButton()->click();
  window.SendButton()->click();  // empty: the end-of-send text alone
  window.Chr24Button()->click();
  EXPECT_EQ(link.sent, (std::vector<std::string>{"WHO\r", "WHO\r", "\r", "\x18"}));
  EXPECT_EQ(window.Entry()->count(), 3);
  EXPECT_EQ(window.Entry()->itemText(2), "");
  EXPECT_TRUE(window.Log()->toPlainText().contains("TX :WHO"));

  window.CopyButton()->click();  // nothing selected: the whole log, for a second
  EXPECT_EQ(QApplication::clipboard()->text(), window.Log()->toPlainText());
  window.ExitButton()->click();
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(link.released);
}

// Enter typed in the command line, as the keyboard delivers it (to the line edit, passed on to
// its parents when not taken), sends the command once.
TEST_F(MonitorWindowTest, EnterInTheCommandLineSendsOnce) {
  window.ShowWindow();
  window.Entry()->setEditText("X");
  QLineEdit* line = window.Entry()->lineEdit();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
  QApplication::sendEvent(line, &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, "\r");
  QApplication::sendEvent(line, &release);
  EXPECT_EQ(link.sent, std::vector<std::string>{"X\r"});
}

TEST_F(MonitorWindowTest, BeforeTheFirstScreenItShowsHelpAndExitEndsTheProgram) {
  ClientShell early{settings, *fns, dialogs, monitor, pump, link, host, 150, 300};
  MonitorWindow first{early, realPump, printers};
  first.ShowWindow();
  EXPECT_TRUE(first.Log()->toPlainText().startsWith(
      "Start by clicking the \"Connect\" button or pressing \"Enter\"."));
  EXPECT_FALSE(first.SendButton()->isEnabled());
  WhenModal<ConnectionWidget>([](ConnectionWidget* d) { d->OkButton()->click(); });
  first.ConnectButton()->click();  // the log empties, sending opens
  EXPECT_EQ(first.Log()->toPlainText(), "");
  EXPECT_TRUE(first.SendButton()->isEnabled());
  first.ExitButton()->click();
  EXPECT_TRUE(link.released);
  EXPECT_EQ(host.endCode, 0);
}

}  // namespace
}  // namespace orvik::client
