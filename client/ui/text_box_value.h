// The value a user's edit leaves in a text box of a screen (an entry or the menu's selection
// box), as the Latin-1 bytes the core takes.
//
// GUI thread only; called from the box's own edit signal. What may not stand in a value
// (client/core/typed_text.h: control characters, the item's marks) is taken out of the box
// itself, its cursor keeping its place among the characters that stay, so what shows is what
// is sent.

#ifndef ORVIK_CLIENT_UI_TEXT_BOX_VALUE_H_
#define ORVIK_CLIENT_UI_TEXT_BOX_VALUE_H_

#include <QLineEdit>
#include <QString>
#include <string>

namespace orvik::client {

struct TextBoxEdit {
  std::string value;
  bool marksRefused = false;  // a mark was left out: the user is to be told
};

// `text` is the box's text as its edit signal gives it.
TextBoxEdit TextBoxValue(QLineEdit* box, const QString& text);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_TEXT_BOX_VALUE_H_
