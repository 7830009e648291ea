// A data-entry screen in the screen form's window, offscreen: the entry widgets a FUNCTION
// transmission leaves, the order in which Tab and Enter validate, transmit and move the
// focus, the Alt jumps, a function key defined by an INI tag, and the cancel button.

#include "form_entry_widgets.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>

#include "form_widget_fixture.h"
#include "typed_text.h"

namespace orvik::client {
namespace {

using ::testing::ElementsAre;

constexpr const char* kForm =
    "<FORM TYPE=FUNCTION SCREEN=FULL><PROGRAM NAME=CUSTOMER>"
    "<FORMHEADER>Customer,Details,DEMO"
    "<POSITION TOP=4 LEFT=2>Customer no"
    "<POSITION TOP=4 LEFT=20 ACTION=1><TEXTBOX WIDTH=8 ENABLED=FALSE>C100"
    "<POSITION TOP=5 LEFT=2>Name"
    "<POSITION TOP=5 LEFT=20 ACTION=2><TEXTBOX WIDTH=30>Acme Ltd"
    "<POSITION TOP=6 LEFT=2>Paid"
    "<POSITION TOP=6 LEFT=20 ACTION=3><CHECK>1"
    "<POSITION TOP=7 LEFT=2>Credit limit"
    "<POSITION TOP=7 LEFT=20 ACTION=4><TEXTBOX WIDTH=10>5000"
    "<ACTIONCODE></TX>";

class FormEntryWidgetsTest : public FormWidgetFixture {
 protected:
  void Type(const QString& text) {
    for (const QChar c : text) Key(c.toUpper().unicode(), Qt::NoModifier, QString(c));
  }
  QWidget* Entry(int n) { return widget.EntryWidgets().Entry(n); }
  QLineEdit* Edit(int n) { return qobject_cast<QLineEdit*>(Entry(n)); }
};

TEST_F(FormEntryWidgetsTest, TheFormsEntriesAreWidgetsOnTheRaster) {
  Receive(kForm);
  ASSERT_NE(Edit(2), nullptr);
  EXPECT_EQ(Edit(2)->text(), "Acme Ltd");
  EXPECT_TRUE(Edit(2)->isVisibleTo(&widget));
  EXPECT_FALSE(Edit(1)->isEnabled());
  auto* paid = qobject_cast<QCheckBox*>(Entry(3));
  ASSERT_NE(paid, nullptr);
  EXPECT_TRUE(paid->isChecked());
  EXPECT_EQ(Edit(4)->text(), "5000");
  // Line 5 at 1.1 lines a line, column 20: 20 x 150 twips and 5 x 330 twips, in pixels.
  EXPECT_EQ(Edit(2)->geometry().left(), 200);
  EXPECT_EQ(Edit(2)->geometry().top(), 110);
  EXPECT_TRUE(widget.EntryWidgets().FnFile()->isVisibleTo(&widget));
  EXPECT_EQ(widget.EntryWidgets().FnFile()->text(), "&File");
}

TEST_F(FormEntryWidgetsTest, TabValidatesTheEntryLeftTransmitsItOnceAndMovesOn) {
  Receive(kForm);
  Edit(2)->setFocus();
  Pump();
  link.sent.clear();
  Edit(2)->selectAll();
  Type("Bolt");
  EXPECT_EQ(Edit(2)->text(), "Bolt");
  EXPECT_TRUE(link.sent.empty()) << "typing in an entry sends nothing";
  Key(Qt::Key_Tab, Qt::NoModifier, "\t");
  // The action code went once, though the focus move's own validation and got-focus ran
  // after the key.
  EXPECT_THAT(link.sent, ElementsAre("2\r"));
  EXPECT_EQ(QApplication::focusWidget(), Entry(3));
  EXPECT_EQ(widget.Core().Model().states.msState, "FORM_SEND_ACTIONCODE");
  // The engine asks for the value; then confirms.
  Receive("<POSITION TOP=5 LEFT=20></TX>");
  EXPECT_THAT(link.sent, ElementsAre("2\r", "Bolt\r"));
  Receive("<POSITION TOP=5 LEFT=20>Bolt<ACTIONCODE></TX>");
  // Shift+Tab goes back without sending the unchanged check box.
  Key(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), Entry(2));
  EXPECT_THAT(link.sent, ElementsAre("2\r", "Bolt\r"));
}

TEST_F(FormEntryWidgetsTest, EnterOnTheLastEntryWrapsAndAClickedEntryIsValidatedFirst) {
  Receive(kForm);
  Edit(4)->setFocus();
  Pump();
  Edit(4)->selectAll();
  Type("7000");
  Key(Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_THAT(link.sent, ElementsAre("4\r"));
  EXPECT_EQ(QApplication::focusWidget(), Entry(2)) << "entry 1 is disabled";
  Receive("<POSITION TOP=7 LEFT=20></TX>");
  Receive("<POSITION TOP=7 LEFT=20>7000<ACTIONCODE></TX>");
  link.sent.clear();
  // A mouse move of the focus: the entry left is sent when the next one gets the focus.
  Type("X");
  Edit(4)->setFocus(Qt::MouseFocusReason);
  Pump();
  EXPECT_THAT(link.sent, ElementsAre("2\r"));
}

TEST_F(FormEntryWidgetsTest, AltAndADigitJumpAndAnIniFunctionKeySendsItsText) {
  Receive("<INI F5=\"HELP\"></TX>");
  Receive(kForm);
  Edit(2)->setFocus();
  Pump();
  link.sent.clear();
  Key(Qt::Key_4, Qt::AltModifier);
  EXPECT_EQ(QApplication::focusWidget(), Entry(4));
  Key(Qt::Key_1, Qt::AltModifier);  // a disabled entry is no target
  EXPECT_EQ(QApplication::focusWidget(), Entry(4));
  EXPECT_TRUE(link.sent.empty());
  Key(Qt::Key_F5);
  EXPECT_THAT(link.sent, ElementsAre("HELP\r"));
}

TEST_F(FormEntryWidgetsTest, ControlKeysEditTheTextAndNeverReachTheValue) {
  Receive(kForm);
  Edit(2)->setFocus();
  Pump();
  Edit(2)->setCursorPosition(0);
  link.sent.clear();
  Key(Qt::Key_B, Qt::ControlModifier, QString(QChar(2)));
  Key(Qt::Key_J, Qt::ControlModifier, QString(QChar(10)));
  EXPECT_EQ(Edit(2)->text(), "Acme Ltd");
  Key(Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
  EXPECT_EQ(Edit(2)->text(), "Acme Ltd");
  EXPECT_EQ(Edit(2)->selectedText(), "Acme Ltd") << "Ctrl+A selects, as in any text box";
  EXPECT_TRUE(link.sent.empty());
  // What is typed next replaces the selection; the value goes without a control character.
  Type("Bolt");
  EXPECT_EQ(Edit(2)->text(), "Bolt");
  Key(Qt::Key_Tab, Qt::NoModifier, "\t");
  Receive("<POSITION TOP=5 LEFT=20></TX>");
  EXPECT_THAT(link.sent, ElementsAre("2\r", "Bolt\r"));
}

TEST_F(FormEntryWidgetsTest, APastedValueLosesItsControlCharactersAndGoesAsOneLine) {
  Receive(kForm);
  Edit(2)->setFocus();
  Pump();
  link.sent.clear();
  QApplication::clipboard()->setText(QString::fromLatin1("Bo\x01lt\r3\r"));
  Key(Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
  Key(Qt::Key_V, Qt::ControlModifier, QString(QChar(22)));
  EXPECT_EQ(Edit(2)->text(), "Bolt3");
  Type("s");  // the cursor stays at the end of what was pasted
  EXPECT_EQ(Edit(2)->text(), "Bolt3s");
  Key(Qt::Key_Tab, Qt::NoModifier, "\t");
  Receive("<POSITION TOP=5 LEFT=20></TX>");
  EXPECT_THAT(link.sent, ElementsAre("2\r", "Bolt3s\r"));
}

// The item's marks, typed or pasted, are left out of the box with a box that says why: the
// value shown is the value sent, and the engine never receives a mark inside one.
TEST_F(FormEntryWidgetsTest, MarksTypedOrPastedAreRefusedWithABox) {
  Receive(kForm);
  Edit(2)->setFocus();
  Pump();
  Edit(2)->end(false);
  link.sent.clear();
  Type(QString::fromLatin1("s\xFE"));
  EXPECT_EQ(Edit(2)->text(), "Acme Ltds");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, kMarksRefusedText);
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::kExclamation);
  EXPECT_TRUE(Edit(2)->hasFocus()) << "the keyboard stays in the entry";
  // Pasted with the other two marks between letters: one box, the letters kept in order.
  QApplication::clipboard()->setText(QString::fromLatin1("Bo\xFDlt\xFC&\xFE Co"));
  Key(Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
  Key(Qt::Key_V, Qt::ControlModifier, QString(QChar(22)));
  EXPECT_EQ(Edit(2)->text(), "Bolt& Co");
  EXPECT_EQ(dialogs.boxes.size(), 2u);
  // Every other Latin-1 letter stays, 255 among them.
  Type(QString::fromLatin1("\xE9\xFF"));
  EXPECT_EQ(Edit(2)->text(), QString::fromLatin1("Bolt& Co\xE9\xFF"));
  EXPECT_EQ(dialogs.boxes.size(), 2u);
  Key(Qt::Key_Tab, Qt::NoModifier, "\t");
  Receive("<POSITION TOP=5 LEFT=20></TX>");
  EXPECT_THAT(link.sent, ElementsAre("2\r", "Bolt& Co\xE9\xFF\r"));
}

TEST_F(FormEntryWidgetsTest, EscPressesQuitOnAnOpenScreen) {
  Receive(kForm);
  Edit(2)->setFocus();
  Pump();
  link.sent.clear();
  Key(Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
  EXPECT_THAT(link.sent, ElementsAre("Q\r"));
}

}  // namespace
}  // namespace orvik::client
