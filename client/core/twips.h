// Twips, the client's layout unit: 1440 to the inch, so 15 to a pixel at 96 dots per inch.
// Every geometry the core computes is in twips; the widgets convert when they draw.

#ifndef ORVIK_CLIENT_CORE_TWIPS_H_
#define ORVIK_CLIENT_CORE_TWIPS_H_

namespace orvik::client {

inline constexpr double kTwipsPerInch = 1440.0;
inline constexpr double kStandardDpi = 96.0;
inline constexpr double kTwipsPerPixel = kTwipsPerInch / kStandardDpi;
static_assert(kTwipsPerPixel == 15);

constexpr double PixelsFromTwips(double twips, double dpi = kStandardDpi) {
  return twips * dpi / kTwipsPerInch;
}

constexpr double TwipsFromPixels(double pixels, double dpi = kStandardDpi) {
  return pixels * kTwipsPerInch / dpi;
}

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TWIPS_H_
