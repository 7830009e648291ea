// How the core's units look in Qt: colours, fonts, twips, Latin-1 text, and the keys of a
// key event as the core's handlers take them.
//
// Pure functions; GUI thread (fonts need the application).

#ifndef ORVIK_CLIENT_UI_WIDGET_LOOK_H_
#define ORVIK_CLIENT_UI_WIDGET_LOOK_H_

#include <QColor>
#include <QFont>
#include <QKeyEvent>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "form_font.h"

namespace orvik::client {

// The dots per inch at which the client draws its fonts and converts twips.
inline constexpr int kDrawingDpi = 96;

// A colour value (red + 256 x green + 65536 x blue), or a system colour (&H80000000 and its
// index) as the classic desktop shows it.
QColor QtColour(std::int32_t colour);
// The font a form names: "Courier New" and "Terminal" are Liberation Mono, "Arial" and "MS
// Sans Serif" Liberation Sans, any other name itself.
QFont QtFont(const FormFont& font);
double Pixels(double twips);
// The same, for positions a transmission may name at any size: far ones are brought within
// `limit` pixels (where they paint nothing on any canvas), an undefined one is 0.
inline constexpr double kFarPixels = 1e5;
double ClampedPixels(double twips, double limit = kFarPixels);

QString FromLatin1(std::string_view text);
// Characters past Latin-1 become "?".
std::string ToLatin1(const QString& text);
// Terminal bytes as the characters they are drawn as.
QString TerminalText(std::string_view bytes);

// The key code as the core's key handler takes it: function keys F1 = 112 ... F12 = 123,
// Tab 9 (Shift+Tab is Tab with Shift), Enter 13, Esc 27, the paging keys 33 to 36, the
// arrows 37 to 40, Insert 45, Delete 46, digits and letters as their capitals' codes, "["
// 91, "=" 187, "-" 189; else 0; and the modifiers as the core counts them (Shift 1, Ctrl 2, Alt 4).
std::int32_t KeyCodeOf(const QKeyEvent& event);
std::int32_t ShiftOf(const QKeyEvent& event);
// The character codes a key press types: Enter 13, Tab 9, Backspace 8, Esc 27, else the
// event's text where it is Latin-1 (none for keys that type nothing).
std::vector<std::int32_t> CharactersOf(const QKeyEvent& event);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_WIDGET_LOOK_H_
