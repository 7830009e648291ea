#include "terminal_tags.h"

namespace orvik {
namespace {

constexpr char kEsc = '\x1B';

bool IsVt100(std::string_view t) {
  return t == "VT100" || t == "VT-100" || t == "VT100+C" || t == "VT-100+C";
}

std::string Vt100Tag(std::int32_t x, std::int32_t y) {
  if (y != -1) {
    // Programs count rows and columns from 0; the terminal counts them from 1.
    return std::string(1, kEsc) + "[" + std::to_string(static_cast<std::int64_t>(y) + 1) + ";" +
           std::to_string(static_cast<std::int64_t>(x) + 1) + "H";
  }
  if (x >= 0) return {};
  static constexpr const char* kForeground[] = {"[0;30m", "[0;34m", "[0;32m", "[0;36m",
                                                "[0;31m", "[0;35m", "[0;33m", "[0;37m"};
  static constexpr const char* kBright[] = {"[1;30m", "[1;34m", "[1;32m", "[1;36m",
                                            "[1;31m", "[1;35m", "[1;33m", "[1;37m"};
  static constexpr const char* kBackground[] = {"[40m", "[44m", "[42m", "[46m"};
  const char* seq = nullptr;
  switch (x) {
    case -1:
      seq = "[2J";
      break;
    case -2:
      seq = "[H";
      break;
    case -3:
      seq = "[0J";
      break;
    case -4:
      seq = "[0K";
      break;
    default:
      if (x >= -64 && x <= -57)
        seq = kForeground[x + 64];
      else if (x >= -48 && x <= -41)
        seq = kBright[x + 48];
      else if (x >= -40 && x <= -37)
        seq = kBackground[x + 40];
  }
  return seq ? std::string(1, kEsc) + seq : std::string();
}

}  // namespace

std::string TerminalTag(std::string_view termType, std::int32_t x, std::int32_t y) {
  if (termType == "VBGUI") {
    if (y != -1) return "<POSITION LEFT=" + std::to_string(x) + " TOP=" + std::to_string(y) + ">";
    if (x < 0) return "<ATF @=" + std::to_string(x) + ">";
    return {};
  }
  if (IsVt100(termType)) return Vt100Tag(x, y);
  // Other terminals take the raw coordinates as characters.
  if (y != -1) return {kEsc, '=', static_cast<char>(x), static_cast<char>(y)};
  if (x < 0) return {kEsc, '*', static_cast<char>(-static_cast<std::int64_t>(x))};
  return {};
}

}  // namespace orvik
