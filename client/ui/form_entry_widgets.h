// The widgets of a data-entry screen: one entry widget per entry number (a line edit, combo
// box, check box or push button, as its control record's kind says) and the function
// buttons (exit, quit, file, screen print, search). They mirror the core's records and
// turn the user's edits, clicks and focus moves into the core's entry handlers.
//
// GUI thread only; owned by the screen form's widget. A focus move is handed to the core
// from the event loop, after Qt has moved the focus: the entry left is validated first, then
// the new one gets its got-focus, the order in which the original's message pump ran them.
// Keys typed into an entry widget go to the form's key handler first (`formKey`). A control
// character typed or pasted into a text box is dropped from it, a mark refused with a box:
// no value carries either.

#ifndef ORVIK_CLIENT_UI_FORM_ENTRY_WIDGETS_H_
#define ORVIK_CLIENT_UI_FORM_ENTRY_WIDGETS_H_

#include <QKeyEvent>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <vector>

#include "screen_form_core.h"

namespace orvik::client {

class FormEntryWidgets final : public QObject {
  Q_OBJECT

 public:
  // `formKey` is the form's key handler: true when it took the key.
  FormEntryWidgets(QWidget* form, ScreenFormCore& core, std::function<bool(QKeyEvent*)> formKey);

  // The records changed: the widgets follow.
  void Mirror();
  // The widget of entry `entry`, or nullptr.
  QWidget* Entry(std::int32_t entry) const;
  // Gives entry `entry` the focus; false when its widget cannot take it.
  bool Focus(std::int32_t entry);
  // Esc: presses the form's cancel button when one shows; false when none did.
  bool PressCancel();

  QPushButton* FnExit() const { return fnExit_; }
  QPushButton* FnQuit() const { return fnQuit_; }
  QPushButton* FnFile() const { return fnFile_; }
  QPushButton* FnScreenPrint() const { return fnScreenPrint_; }
  QPushButton* FnSearch() const { return fnSearch_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* Make(ControlKind kind, std::int32_t entry);
  void FocusChanged(QWidget* now);
  std::int32_t EntryOf(const QWidget* widget) const;

  QWidget* form_;
  ScreenFormCore& core_;
  std::function<bool(QKeyEvent*)> formKey_;
  std::vector<QPointer<QWidget>> entries_;  // by entry number
  std::vector<ControlKind> kinds_;
  QPushButton* fnExit_;
  QPushButton* fnQuit_;
  QPushButton* fnFile_;
  QPushButton* fnScreenPrint_;
  QPushButton* fnSearch_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_FORM_ENTRY_WIDGETS_H_
