// The surface the character terminal is drawn on: a screen form's persistent image, in
// twips, with the few primitives the terminal renderer needs. The renderer keeps the print
// position, the colours and the font itself; the surface only draws where it is told and
// measures the font.
//
// Called on the GUI thread only, by the terminal renderer of one screen form. Text arrives
// as Latin-1 bytes of one line (never a CR or LF): the surface decides how a byte looks
// (terminal_charset.h: bytes 176 to 223 are box-drawing characters). Colours are the
// client's colour values (red + 256 x green + 65536 x blue). Nothing here fails: a surface
// that cannot draw draws nothing. The widget form paints a QImage through it; tests record
// the calls.

#ifndef ORVIK_CLIENT_CORE_TERMINAL_SURFACE_H_
#define ORVIK_CLIENT_CORE_TERMINAL_SURFACE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "form_font.h"

namespace orvik::client {

// The width and height of one character of a font, in twips, as the platform measures "X".
struct CharMetrics {
  double width = 0;
  double height = 0;
};

class TerminalSurface {
 public:
  virtual ~TerminalSurface() = default;

  // The drawable area (the form's ScaleWidth and ScaleHeight), in twips.
  virtual double ScaleWidth() const = 0;
  virtual double ScaleHeight() const = 0;
  virtual CharMetrics Measure(const FormFont& font) const = 0;

  // Fills the whole surface with `background` (the form's Cls).
  virtual void Clear(std::int32_t background) = 0;
  // A filled rectangle between two corners, either order.
  virtual void FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) = 0;
  // A horizontal line one pixel thick.
  virtual void HorizontalLine(double x1, double x2, double y, std::int32_t colour) = 0;
  // One line of text with its top left corner at (x, y), without a background.
  virtual void DrawText(double x, double y, std::string_view bytes, const FormFont& font,
                        std::int32_t colour) = 0;
  // Moves the whole image up by `dy`; the band it leaves at the bottom gets `background`.
  virtual void ScrollUp(double dy, std::int32_t background) = 0;
  // The terminal cursor (the form's cursor label): its cell, and whether it shows.
  virtual void SetCursor(double x, double y, double width, double height, bool visible) = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TERMINAL_SURFACE_H_
