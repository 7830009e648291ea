#include "text_box_value.h"

#include <QSignalBlocker>
#include <algorithm>

#include "typed_text.h"
#include "widget_look.h"

namespace orvik::client {

std::string TextBoxValue(QLineEdit* box, const QString& text, ScreenFormCore& core,
                         std::function<void()> told) {
  const auto kept = [](QChar c) { return TypedCharacterOf(c.unicode()) == TypedCharacter::kKept; };
  if (std::all_of(text.begin(), text.end(), kept)) return ToLatin1(text);
  const bool refused = std::any_of(text.begin(), text.end(), [](QChar c) {
    return TypedCharacterOf(c.unicode()) == TypedCharacter::kRefused;
  });
  if (refused) {
    QMetaObject::invokeMethod(
        box,
        [&core, told = std::move(told)] {
          core.MarksRefused();
          if (told) told();
        },
        Qt::QueuedConnection);
  }
  QString clean = text;
  clean.removeIf([&](QChar c) { return !kept(c); });
  QString before = text.left(box->cursorPosition());
  before.removeIf([&](QChar c) { return !kept(c); });
  // The box's own signals stay quiet: the caller hands on the clean value once.
  const QSignalBlocker blocker(box);
  box->setText(clean);
  box->setCursorPosition(static_cast<int>(before.size()));
  return ToLatin1(clean);
}

}  // namespace orvik::client
