// The widgets behind the core's dialog and window interfaces, on the offscreen platform.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include "about.h"
#include "modal_helpers.h"
#include "widget_dialogs.h"
#include "widget_top_most.h"

namespace orvik::client {
namespace {

// Presses `button` on the next modal box and keeps what it showed. It looks again every few
// milliseconds until the box is up, so a slow start never leaves the test hanging in it.
struct BoxPresser {
  void Arm(QMessageBox::StandardButton button) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [this, button, timer] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      timer->stop();
      timer->deleteLater();
      text = box->text();
      format = box->textFormat();
      title = box->windowTitle();
      icon = box->icon();
      box->button(button)->click();
    });
    timer->start();
  }
  QString text, title;
  Qt::TextFormat format = Qt::AutoText;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

TEST(WidgetDialogsTest, OkBoxShowsLatin1TextAndTitle) {
  WidgetDialogs dialogs;
  BoxPresser presser;
  presser.Arm(QMessageBox::Ok);
  EXPECT_EQ(
      dialogs.MessageBox("Caf\xE9 closed", BoxButtons::kOk, BoxIcon::kExclamation, "Orvik\xAE"),
      BoxAnswer::kOk);
  EXPECT_EQ(presser.text, QString::fromUtf8("Café closed"));
  EXPECT_EQ(presser.title, QString::fromUtf8("Orvik®"));
  EXPECT_EQ(presser.icon, QMessageBox::Warning);
  // Text from the engine is shown as it stands, markup and all.
  presser.Arm(QMessageBox::Ok);
  dialogs.MessageBox("<b>x</b> <img src=/etc/y>", BoxButtons::kOk, BoxIcon::kNone, "t");
  EXPECT_EQ(presser.text, "<b>x</b> <img src=/etc/y>");
  EXPECT_EQ(presser.format, Qt::PlainText);
}

TEST(WidgetDialogsTest, YesNoAnswers) {
  WidgetDialogs dialogs;
  BoxPresser presser;
  presser.Arm(QMessageBox::No);
  EXPECT_EQ(dialogs.MessageBox("Delete?", BoxButtons::kYesNo, BoxIcon::kQuestion, "t"),
            BoxAnswer::kNo);
  presser.Arm(QMessageBox::Yes);
  EXPECT_EQ(dialogs.MessageBox("Delete?", BoxButtons::kYesNo, BoxIcon::kQuestion, "t"),
            BoxAnswer::kYes);
}

// A text of many kilobytes (a program's dump, say) is shown whole in a box that stays on the
// screen, its text scrolling, its buttons in reach and Enter pressing the first.
TEST(WidgetDialogsTest, AHugeTextScrollsInABoxWithinTheScreen) {
  std::string text;
  for (int i = 0; text.size() < 36 * 1024; ++i) text += "Line " + std::to_string(i) + " of it\r\n";
  WidgetDialogs dialogs;
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  for (const BoxButtons buttons : {BoxButtons::kOk, BoxButtons::kYesNo}) {
    QRect place;
    QString shown;
    int buttonsShown = 0;
    WhenModal<QDialog>([&](QDialog* box) {
      place = box->frameGeometry();
      if (auto* pane = box->findChild<QPlainTextEdit*>()) {
        shown = pane->toPlainText();
        pane->verticalScrollBar()->setValue(pane->verticalScrollBar()->maximum());
      }
      for (QPushButton* button : box->findChildren<QPushButton*>())
        buttonsShown += box->rect().contains(button->geometry().translated(
                            button->parentWidget()->mapTo(box, QPoint(0, 0))))
                            ? 1
                            : 0;
      QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
      QWidget* focus = QApplication::focusWidget();
      QCoreApplication::sendEvent(focus != nullptr ? focus : box, &enter);
    });
    const BoxAnswer answer = dialogs.MessageBox(text, buttons, BoxIcon::kExclamation, "OrvikLink");
    EXPECT_EQ(answer, buttons == BoxButtons::kOk ? BoxAnswer::kOk : BoxAnswer::kYes);
    EXPECT_TRUE(screen.contains(place)) << place.height() << " px high";
    EXPECT_TRUE(shown == QString::fromLatin1(text).replace("\r\n", "\n")) << "not the whole text";
    EXPECT_EQ(buttonsShown, buttons == BoxButtons::kOk ? 1 : 2);
  }
}

TEST(WidgetDialogsTest, AboutBox) {
  WidgetDialogs dialogs;
  BoxPresser presser;
  presser.Arm(QMessageBox::Ok);
  AboutText(dialogs);
  EXPECT_EQ(presser.title, "OrvikLink");
  EXPECT_TRUE(presser.text.contains("VERSION   = 1.30.4"));
  EXPECT_TRUE(presser.text.contains(
      "OrvikLink provides Connectivity and Presentation Layer services for Windows(TM) "
      "computers accessing Multivalue Database Applications."));
}

TEST(WidgetTopMostTest, InAndOutOfTheTopBandKeepingGeometry) {
  QWidget window;
  window.setGeometry(40, 50, 300, 200);
  window.show();
  WidgetTopMost topMost(&window);
  topMost.SetTopMost(true);
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.geometry(), QRect(40, 50, 300, 200));
  topMost.SetTopMost(false);
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.geometry(), QRect(40, 50, 300, 200));
}

TEST(WidgetTopMostTest, AHiddenWindowStaysHidden) {
  auto* window = new QWidget;
  WidgetTopMost topMost(window);
  topMost.SetTopMost(true);
  EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_FALSE(window->isVisible());
  delete window;
  topMost.SetTopMost(false);  // the widget is gone: nothing happens
}

}  // namespace
}  // namespace orvik::client
