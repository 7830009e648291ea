// A screen form's window offscreen on the fake shell, started and shown as the program shows
// it, for tests that drive data-entry screens through their widgets.

#ifndef ORVIK_CLIENT_UI_TESTS_FORM_WIDGET_FIXTURE_H_
#define ORVIK_CLIENT_UI_TESTS_FORM_WIDGET_FIXTURE_H_

#include <QApplication>
#include <QKeyEvent>
#include <string>

#include "rx_process.h"
#include "screen_form_widget.h"
#include "shell_fixture.h"

namespace orvik::client {

class FormWidgetFixture : public ShellFixture {
 protected:
  void SetUp() override {
    shell.Start();
    shell.TimerTick();
    widget.Core().Load();
    widget.show();
    QApplication::setActiveWindow(&widget);
    Pump();
    link.sent.clear();
  }

  void Receive(std::string text) {
    RXProcess(text, widget.Core(), shell.Context());
    Pump();
  }
  // Lets the queued focus handlers run, as the message pump would.
  void Pump() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  // A key pressed where the focus is (the form when nothing has it).
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &widget;
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(target, &release);
    Pump();
  }

  ScreenFormWidget widget{shell, 12000, 7800};
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_TESTS_FORM_WIDGET_FIXTURE_H_
