// A menu screen and its popups in real widgets, offscreen: the item lines take the mouse
// and send their codes, the selection box takes a typed code and Enter (control keys and
// pasted text never make a second pick, a mark is refused), boxes answered by script send
// their answers, and popup windows open over the form and close by their OK button.
// Screenshots of a menu and of a boxed popup are kept under build/.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QPushButton>
#include <QGuiApplication>
#include <filesystem>

#include "popup_window.h"
#include "rx_process.h"
#include "screen_form_widget.h"
#include "shell_fixture.h"
#include "twips.h"
#include "typed_text.h"
#include "widget_look.h"

namespace orvik::client {
namespace {

constexpr const char* kDemoMenu =
    "<FORM TYPE=MENU STYLE=mdefault><PROGRAM NAME=DEMO><FORMHEADER>Orvik,Demo application,DEMO"
    "<L TOP=3 LEFT=20>Main menu<C ACTION=1>Customer details<C ACTION=2>Order lines"
    "<C ACTION=3>Information box<C ACTION=4>Popup<C ACTION=5>Find a customer"
    "<C ACTION=9>Leave the demo<ALT_SELECT>Your choice</TX>";

std::filesystem::path Shots() {
  const std::filesystem::path dir(ORVIK_SCREENSHOT_DIR);
  std::filesystem::create_directories(dir);
  return dir;
}

class MenuWidgetTest : public ShellFixture {
 protected:
  void SetUp() override {
    settings.eos = "\r";
    shell.Start();
    shell.TimerTick();
    link.sent.clear();
    widget.Core().Load();
    widget.resize(800, 520);
    widget.show();
  }
  // A transmission handled as the dispatcher hands it to the form.
  void Receive(const std::string& text) {
    ScreenModel& m = widget.Core().Model();
    m.states.msState = "FORM_ACTIVE";
    m.states.msFormState = "MENU";
    std::string pending = text;
    RXProcess(pending, widget.Core(), shell.Context());
  }
  void Mouse(QWidget* target, QEvent::Type type, Qt::MouseButton button = Qt::LeftButton) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QMouseEvent event(type, at, target->mapToGlobal(at), button,
                      type == QEvent::MouseMove ? Qt::NoButton : button, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
  }
  void Click(QWidget* target) {
    Mouse(target, QEvent::MouseButtonPress);
    Mouse(target, QEvent::MouseButtonRelease);
  }
  void Type(QWidget* target, const QString& text) {
    for (const QChar c : text) {
      const int key = c == '\r'     ? int(Qt::Key_Return)
                      : c == '\x1b' ? int(Qt::Key_Escape)
                                    : int(c.toUpper().unicode());
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
      QCoreApplication::sendEvent(target, &press);
    }
  }

  ScreenFormWidget widget{shell, 12000, 7800};
};

TEST_F(MenuWidgetTest, ClickingTheSecondItemSendsItsCode) {
  Receive(kDemoMenu);
  QLabel* second = widget.ItemLabel(2);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(second->isVisibleTo(&widget));
  EXPECT_EQ(second->text(), "2.  Order lines");
  EXPECT_EQ(second->geometry().left(), static_cast<int>(Pixels(12000 * 0.24)));
  EXPECT_EQ(widget.HeaderLabel(1)->text(), "Demo application");
  EXPECT_TRUE(widget.AltPanel()->isVisibleTo(&widget));
  EXPECT_EQ(widget.AltLabel()->text(), "Your choice");
  EXPECT_EQ(widget.Navigate()->currentText(), "DEMO, Demo application");
  EXPECT_FALSE(widget.BackButton()->isEnabled());
  EXPECT_TRUE(widget.NarrativeLabel(1)->isVisibleTo(&widget));
  EXPECT_TRUE(widget.grab().save(QString::fromStdString((Shots() / "client_menu.png").string())));

  // The mouse over an item lights it alone.
  Mouse(widget.ItemLabel(3), QEvent::MouseMove);
  Mouse(second, QEvent::MouseMove);
  EXPECT_TRUE(second->autoFillBackground());
  EXPECT_FALSE(widget.ItemLabel(3)->autoFillBackground());
  EXPECT_EQ(second->palette().color(QPalette::Window), QtColour(Rgb(255, 0, 255)));

  Click(second);
  EXPECT_EQ(link.sent, (std::vector<std::string>{"2\r"}));
  EXPECT_TRUE(shell.AwaitingReply());
  EXPECT_TRUE(host.busy);
  // The right button is the option menu's, not a choice.
  shell.SetAwaitingReply(false);
  link.sent.clear();
  Mouse(widget.ItemLabel(1), QEvent::MouseButtonRelease, Qt::MiddleButton);
  EXPECT_TRUE(link.sent.empty());
}

TEST_F(MenuWidgetTest, MarkupInACaptionIsShownAsItStands) {
  Receive(
      "<FORM TYPE=MENU><PROGRAM NAME=P><C ACTION=1>&lt;b&gt;x <i>y</i> <img src=/etc/z>"
      "</TX>");
  // The reader takes the text up to the next tag; what it keeps is plain text.
  QLabel* item = widget.ItemLabel(1);
  EXPECT_EQ(item->textFormat(), Qt::PlainText);
  EXPECT_EQ(item->text(), "1.  &lt;b&gt;x ");
  EXPECT_EQ(widget.HeaderLabel(0)->textFormat(), Qt::PlainText);
}

TEST_F(MenuWidgetTest, ACodeTypedIntoTheSelectionBoxGoesWithEnter) {
  Receive(kDemoMenu);
  QLineEdit* box = widget.AltSelect();
  box->setFocus();
  Type(box, "5\r");
  EXPECT_EQ(link.sent, (std::vector<std::string>{"5\r"}));
  EXPECT_EQ(box->text(), "");
  // Tab lights the next choice and puts its code in the box; Enter sends it.
  shell.SetAwaitingReply(false);
  QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, "\t");
  QCoreApplication::sendEvent(box, &tab);
  EXPECT_EQ(box->text(), "1");
  EXPECT_TRUE(widget.ItemLabel(1)->autoFillBackground());
  Type(box, "\r");
  EXPECT_EQ(link.sent, (std::vector<std::string>{"5\r", "1\r"}));
  // The log-off button.
  shell.SetAwaitingReply(false);
  widget.AltCancel()->click();
  EXPECT_EQ(link.sent.back(), "LO\r");
  EXPECT_EQ(widget.Core().Model().states.msState, "APPOFF_REQUESTED");
}

TEST_F(MenuWidgetTest, ControlKeysInTheSelectionBoxNeverMakeASecondPick) {
  Receive(kDemoMenu);
  QLineEdit* box = widget.AltSelect();
  box->setFocus();
  Type(box, "5");
  const auto ctrl = [&](Qt::Key key, char code) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier, QString(QChar(code)));
    QCoreApplication::sendEvent(box, &press);
  };
  ctrl(Qt::Key_A, '\x01');
  EXPECT_EQ(box->selectedText(), "5");
  EXPECT_TRUE(link.sent.empty());
  // A pasted carriage return would have sent "3" and left "4" as the next pick.
  QApplication::clipboard()->setText("3\r4");
  ctrl(Qt::Key_V, '\x16');
  EXPECT_EQ(box->text(), "34");
  EXPECT_TRUE(link.sent.empty());
  // A mark is refused, with the box that says why.
  Type(box, QString::fromLatin1("\xFE"));
  QCoreApplication::processEvents();
  EXPECT_EQ(box->text(), "34");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, kMarksRefusedText);
  Type(box, "\r");
  EXPECT_EQ(link.sent, (std::vector<std::string>{"34\r"}));
  // Typing goes on in the box once the form has the keyboard: a mark is refused there too.
  shell.SetAwaitingReply(false);
  widget.setFocus();
  Type(&widget, QString::fromLatin1("\xFE") + "7");
  QCoreApplication::processEvents();
  EXPECT_EQ(box->text(), "7");
  ASSERT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_EQ(dialogs.boxes[1].text, kMarksRefusedText);
}

TEST_F(MenuWidgetTest, ExitAndQuitButtons) {
  FormControls& c = widget.Core().Controls();
  c.fnExit.visible = c.fnQuit.visible = true;
  c.fnQuit.width = c.fnExit.width = 1200;
  c.fnQuit.height = c.fnExit.height = 360;
  c.fnQuitIsCancel = true;
  widget.ControlsChanged();
  EXPECT_TRUE(widget.QuitButton()->isVisibleTo(&widget));
  EXPECT_EQ(widget.ExitButton()->text(), "E&xit");
  widget.ExitButton()->click();
  // Pressed while a reply is awaited, quit only ends the wait; Esc presses it.
  shell.SetAwaitingReply(true);
  widget.QuitButton()->click();
  EXPECT_FALSE(shell.AwaitingReply());
  Type(&widget, "\x1b");
  EXPECT_EQ(link.sent, (std::vector<std::string>{"X\r", "Q\r"}));
}

TEST_F(MenuWidgetTest, ScriptedBoxAnswersGoToTheEngine) {
  Receive(kDemoMenu);
  ScreenModel& m = widget.Core().Model();
  m.texts.msDialog = "Leave the demo?";
  dialogs.answers = {BoxAnswer::kYes, BoxAnswer::kNo, BoxAnswer::kOk};
  m.states.msStatePrevious = "FORM_ACTIVE";
  m.states.msState = "MSGBOX_YESNO";
  widget.Core().FormRXProcessMaster();
  m.states.msState = "RECOVERY";
  widget.Core().FormRXProcessMaster();
  m.states.msState = "MSGBOX_YESNO";
  widget.Core().FormRXProcessMaster();
  m.texts.msDialog = "Orvik demo: an information box.";
  m.states.msState = "MSGBOX_INFO";
  widget.Core().FormRXProcessMaster();
  EXPECT_EQ(link.sent, (std::vector<std::string>{"Y\r", "N\r", "\r"}));
  ASSERT_EQ(dialogs.boxes.size(), 3u);
  EXPECT_EQ(dialogs.boxes[2].icon, BoxIcon::kInformation);
  EXPECT_FALSE(shell.AwaitingReply());
}

TEST_F(MenuWidgetTest, APopupOpensOverTheFormAndItsOkClosesIt) {
  Receive(kDemoMenu);
  std::string block = "<POPUP SCREEN=BOX TOP=8 LEFT=20 WIDTH=40 HEIGHT=8>Orvik demo";
  block += "<POSITION TOP=11 LEFT=21>\xC9" + std::string(36, '\xCD') + "\xBB";
  block += "<POSITION TOP=12 LEFT=21>\xBA<ATF @=-37> A popup over the menu. <ATF @=-40>" +
           std::string(12, ' ') + "\xBA";
  block += "<POSITION TOP=13 LEFT=21>\xC8" + std::string(36, '\xCD') + "\xBC";
  block += "<HR><POSITION TOP=15 LEFT=22><ATF @=-44>OK closes it.</POPUP>";
  ScreenModel& m = widget.Core().Model();
  m.popups.Set(1, block);
  m.states.msState2 = "POPUP";
  m.states.msState = "FORM_ACTIVE";
  widget.Core().FormRXProcessMaster();
  ASSERT_EQ(widget.Core().OpenPopups().size(), 1u);
  PopupWindow* popup = widget.Popup(widget.Core().OpenPopups()[0]);
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(popup->isVisible());
  EXPECT_EQ(popup->windowTitle(), "Orvik demo");
  EXPECT_TRUE(popup->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(popup->size(), QSize(400, 180));  // 40 cells by 9
  // The double line of the top edge runs unbroken under the corner's right arm.
  const QImage& image = popup->Image();
  // Its first row, three under the popup's top, lies half a cell under the inner edge.
  const int y = static_cast<int>(Pixels(0.5 * 300 + 300 * 1.1 / 2));
  int dark = 0;
  for (int x = 20; x < 380; ++x) dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
  EXPECT_GT(dark, 340);
  EXPECT_TRUE(
      popup->grab().save(QString::fromStdString((Shots() / "client_popup_box.png").string())));

  QPointer<PopupWindow> watch(popup);
  popup->OkButton()->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(widget.Core().OpenPopups().empty());
  EXPECT_TRUE(watch.isNull() || !watch->isVisible());
  EXPECT_EQ(m.mnPopups, 0);
}

// Whatever place and size a popup names, it opens on the screen, whole when it fits, its OK
// within what shows.
TEST_F(MenuWidgetTest, APopupOfAnyPlaceAndSizeOpensOnTheScreenWithItsOk) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  for (const char* header : {"TOP=99999999 LEFT=-99999999 WIDTH=99999999 HEIGHT=99999999",
                             "TOP=99999999 LEFT=30 WIDTH=-5 HEIGHT=4", "TOP=2 LEFT=70 WIDTH=40"}) {
    SCOPED_TRACE(header);
    ScreenModel& m = widget.Core().Model();
    m.popups.Set(1, std::string("<POPUP SCREEN=BOX ") + header +
                        "><POSITION TOP=1e300 LEFT=-1e300>far</POPUP>");
    m.states.msState2 = "POPUP";
    m.states.msState = "FORM_ACTIVE";
    m.states.msFormState = "MENU";
    widget.Core().FormRXProcessMaster();
    ASSERT_EQ(widget.Core().OpenPopups().size(), 1u);
    PopupWindow* popup = widget.Popup(widget.Core().OpenPopups()[0]);
    const QRect place(popup->pos(), popup->size());
    EXPECT_TRUE(screen.contains(place)) << place.x() << "," << place.y() << " " << place.width()
                                        << "x" << place.height();
    QPushButton* ok = popup->findChild<QPushButton*>();
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(popup->rect().contains(ok->geometry())) << "the OK out of reach";
    widget.Core().PopupsClear();
  }
}

TEST_F(MenuWidgetTest, TerminalPopupsCloseTogetherAndTheCloseBoxAsksTheCore) {
  ScreenModel& m = widget.Core().Model();
  m.popups.Set(1, "<POPUP SCREEN=BOX TOP=2 LEFT=2 WIDTH=10 HEIGHT=3>one</POPUP>");
  m.popups.Set(2, "<POPUP SCREEN=BOX TOP=6 LEFT=2 WIDTH=10 HEIGHT=3>two</POPUP>");
  m.texts.msData = "<DO_POPUP INDEX=1><DO_POPUP INDEX=2>";
  widget.Core().TerminalDraw();
  ASSERT_EQ(widget.Core().OpenPopups().size(), 2u);
  // Closing the second by its close box closes both: no window is left behind.
  widget.Popup(widget.Core().OpenPopups()[1])->close();
  EXPECT_TRUE(widget.Core().OpenPopups().empty());
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* p = qobject_cast<PopupWindow*>(w)) {
      EXPECT_FALSE(p->isVisible());
    }
}

}  // namespace
}  // namespace orvik::client
