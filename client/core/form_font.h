// The font of a screen's text: the terminal prints in the form's font, the condensed layout
// shrinks it and the grid's font follows it; labels and controls carry one each. Plain
// data; "Courier New" and "Terminal" are drawn with a metric-compatible monospaced font,
// "Arial" and "MS Sans Serif" with a proportional one.

#ifndef ORVIK_CLIENT_CORE_FORM_FONT_H_
#define ORVIK_CLIENT_CORE_FORM_FONT_H_

#include <string>

namespace orvik::client {

struct FormFont {
  std::string name = "Courier New";
  double size = 9.75;  // points
  bool bold = true;
  bool italic = false;
  bool underline = false;

  bool operator==(const FormFont&) const = default;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_FORM_FONT_H_
