#include "text_box_value.h"

#include <QSignalBlocker>
#include <algorithm>

#include "widget_look.h"

namespace orvik::client {

std::string TextBoxValue(QLineEdit* box, const QString& text) {
  const auto control = [](QChar c) { return c.unicode() < 32; };
  if (std::none_of(text.begin(), text.end(), control)) return ToLatin1(text);
  QString clean = text;
  clean.removeIf(control);
  QString before = text.left(box->cursorPosition());
  before.removeIf(control);
  // The box's own signals stay quiet: the caller hands on the clean value once.
  const QSignalBlocker blocker(box);
  box->setText(clean);
  box->setCursorPosition(static_cast<int>(before.size()));
  return ToLatin1(clean);
}

}  // namespace orvik::client
