#include "widget_look.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "terminal_charset.h"
#include "twips.h"

namespace orvik::client {

QColor QtColour(std::int32_t colour) {
  // A system colour is &H80000000 and its index: a style may name one (the default form
  // style's descriptions are on the tool-tip background), and read as red, green and blue it
  // would be near black. It is drawn as the classic desktop draws it.
  static constexpr std::array<QRgb, 25> kSystem = {
      0xD4D0C8, 0x3A6EA5, 0x0A246A, 0x808080, 0xD4D0C8, 0xFFFFFF, 0x000000, 0x000000, 0x000000,
      0xFFFFFF, 0xD4D0C8, 0xD4D0C8, 0x808080, 0x0A246A, 0xFFFFFF, 0xD4D0C8, 0x808080, 0x808080,
      0x000000, 0xD4D0C8, 0xFFFFFF, 0x404040, 0xD4D0C8, 0x000000, 0xFFFFE1};
  if (static_cast<std::uint32_t>(colour) >> 24 == 0x80) {
    const std::uint32_t index = static_cast<std::uint32_t>(colour) & 0xFFFFFF;
    return QColor(index < kSystem.size() ? kSystem[index] : kSystem[15]);
  }
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

QFont QtFont(const FormFont& font) {
  QString family = FromLatin1(font.name);
  if (family.compare("Courier New", Qt::CaseInsensitive) == 0 ||
      family.compare("Terminal", Qt::CaseInsensitive) == 0) {
    family = "Liberation Mono";
  } else if (family.compare("Arial", Qt::CaseInsensitive) == 0 ||
             family.compare("MS Sans Serif", Qt::CaseInsensitive) == 0) {
    family = "Liberation Sans";
  }
  QFont qt(family);
  qt.setStyleHint(family == "Liberation Mono" ? QFont::Monospace : QFont::SansSerif);
  qt.setPointSizeF(font.size > 0 ? font.size : 1);
  qt.setBold(font.bold);
  qt.setItalic(font.italic);
  qt.setUnderline(font.underline);
  return qt;
}

double Pixels(double twips) { return PixelsFromTwips(twips, kDrawingDpi); }

double ClampedPixels(double twips, double limit) {
  const double p = Pixels(twips);
  return std::isnan(p) ? 0 : std::clamp(p, -limit, limit);
}

QString FromLatin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToLatin1(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString TerminalText(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (const char b : bytes) text += QChar(TerminalGlyph(static_cast<unsigned char>(b)));
  return text;
}

std::int32_t KeyCodeOf(const QKeyEvent& event) {
  const int key = event.key();
  if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return 112 + (key - Qt::Key_F1);
  if (key == Qt::Key_Tab || key == Qt::Key_Backtab) return 9;
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 65 + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return 48 + (key - Qt::Key_0);
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_PageUp:
      return 33;
    case Qt::Key_PageDown:
      return 34;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Up:
      return 38;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Down:
      return 40;
    case Qt::Key_Insert:
      return 45;
    case Qt::Key_Delete:
      return 46;
    case Qt::Key_BracketLeft:
      return 91;  // Ctrl+[ is the control character 27, as the letters' are 1 to 26
    case Qt::Key_Equal:
      return 187;
    case Qt::Key_Minus:
      return 189;
    default:
      return 0;
  }
}

std::int32_t ShiftOf(const QKeyEvent& event) {
  const Qt::KeyboardModifiers m = event.modifiers();
  return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
         (m & Qt::AltModifier ? 4 : 0);
}

std::vector<std::int32_t> CharactersOf(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return {13};
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return {9};
    case Qt::Key_Backspace:
      return {8};
    case Qt::Key_Escape:
      return {27};
    default:
      break;
  }
  std::vector<std::int32_t> codes;
  for (const QChar c : event.text()) {
    if (c.unicode() < 256) codes.push_back(c.unicode());
  }
  return codes;
}

}  // namespace orvik::client
