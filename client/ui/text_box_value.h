// The value a user's edit leaves in a text box of a screen (an entry or the menu's selection
// box), as the Latin-1 bytes the core takes.
//
// GUI thread only; called from the box's own edit signal. What may not stand in a value
// (client/core/typed_text.h: control characters, the item's marks) is taken out of the box
// itself, its cursor keeping its place among the characters that stay, so what shows is what
// is sent. A mark left out is told in the form's box, the same for every text box.

#ifndef ORVIK_CLIENT_UI_TEXT_BOX_VALUE_H_
#define ORVIK_CLIENT_UI_TEXT_BOX_VALUE_H_

#include <QLineEdit>
#include <QString>
#include <functional>
#include <string>

#include "screen_form_core.h"

namespace orvik::client {

// `text` is the box's text as its edit signal gives it. When a mark was left out, `core`'s box
// says why once the edit is over (a modal box opened from inside the line edit's own key or
// paste handling would run under it), and `told` runs after it.
std::string TextBoxValue(QLineEdit* box, const QString& text, ScreenFormCore& core,
                         std::function<void()> told = {});

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_TEXT_BOX_VALUE_H_
