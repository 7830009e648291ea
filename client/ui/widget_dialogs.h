// The core's message boxes as Qt message boxes; a text too long for one is shown in a box of
// the same kind whose text scrolls, within the screen.
//
// GUI thread only; each call blocks in the box's own event loop until the user answers.
// Texts and titles arrive as Latin-1 bytes.

#ifndef ORVIK_CLIENT_UI_WIDGET_DIALOGS_H_
#define ORVIK_CLIENT_UI_WIDGET_DIALOGS_H_

#include <QPointer>
#include <QWidget>

#include "dialogs.h"

namespace orvik::client {

class WidgetDialogs final : public Dialogs {
 public:
  // The boxes are centred on `parent` when it is given and still alive.
  explicit WidgetDialogs(QWidget* parent = nullptr) : parent_(parent) {}

  BoxAnswer MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon,
                       const std::string& title) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_WIDGET_DIALOGS_H_
