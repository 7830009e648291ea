// A drawing surface for tests: a fixed-pitch font whose cell is 12 x 20 twips per point,
// and a record of every call in a readable form ("text 144,272 'abc' #000000 10pt").

#ifndef ORVIK_CLIENT_CORE_TESTING_RECORDING_SURFACE_H_
#define ORVIK_CLIENT_CORE_TESTING_RECORDING_SURFACE_H_

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "terminal_surface.h"

namespace orvik::client {

class RecordingSurface : public TerminalSurface {
 public:
  RecordingSurface(double width = 12000, double height = 7800) : width_(width), height_(height) {}

  double ScaleWidth() const override { return width_; }
  double ScaleHeight() const override { return height_; }
  CharMetrics Measure(const FormFont& font) const override {
    return {std::round(font.size * 12), std::round(font.size * 20)};
  }
  void Clear(std::int32_t background) override { Add("clear " + Colour(background)); }
  void FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) override {
    Add("fill " + Point(x1, y1) + "-" + Point(x2, y2) + " " + Colour(colour));
  }
  void HorizontalLine(double x1, double x2, double y, std::int32_t colour) override {
    Add("line " + Point(x1, y) + "-" + Point(x2, y) + " " + Colour(colour));
  }
  void DrawText(double x, double y, std::string_view bytes, const FormFont& font,
                std::int32_t colour) override {
    char size[32];
    std::snprintf(size, sizeof size, "%g", font.size);
    Add("text " + Point(x, y) + " '" + std::string(bytes) + "' " + Colour(colour) + " " + size +
        "pt" + (font.bold ? " bold" : ""));
  }
  void ScrollUp(double dy, std::int32_t background) override {
    Add("scroll " + Number(dy) + " " + Colour(background));
  }
  void SetCursor(double x, double y, double width, double height, bool visible) override {
    cursor = {x, y, width, height, visible};
  }

  // The calls since the last Take, oldest first.
  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(calls);
    return out;
  }

  struct Cursor {
    double x = 0, y = 0, width = 0, height = 0;
    bool visible = false;
  } cursor;
  std::vector<std::string> calls;

 private:
  static std::string Number(double v) {
    char s[32];
    std::snprintf(s, sizeof s, "%g", v);
    return s;
  }
  static std::string Point(double x, double y) { return Number(x) + "," + Number(y); }
  static std::string Colour(std::int32_t c) {
    char s[16];
    std::snprintf(s, sizeof s, "#%06X", static_cast<unsigned>(c) & 0xFFFFFFu);
    return s;
  }
  void Add(std::string call) { calls.push_back(std::move(call)); }

  double width_;
  double height_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTING_RECORDING_SURFACE_H_
