#include "terminal_charset.h"

#include <array>

namespace orvik::client {
namespace {

constexpr unsigned char kFirstBoxByte = 176;

// Bytes 176 to 223.
constexpr std::array<char16_t, 48> kBoxGlyphs = {
    u'\u2591', u'\u2592', u'\u2593', u'\u2502', u'\u2524', u'\u2561', u'\u2562', u'\u2556',
    u'\u2555', u'\u2563', u'\u2551', u'\u2557', u'\u255D', u'\u255C', u'\u255B', u'\u2510',
    u'\u2514', u'\u2534', u'\u252C', u'\u251C', u'\u2500', u'\u253C', u'\u255E', u'\u255F',
    u'\u255A', u'\u2554', u'\u2569', u'\u2566', u'\u2560', u'\u2550', u'\u256C', u'\u2567',
    u'\u2568', u'\u2564', u'\u2565', u'\u2559', u'\u2558', u'\u2552', u'\u2553', u'\u256B',
    u'\u256A', u'\u2518', u'\u250C', u'\u2588', u'\u2584', u'\u258C', u'\u2590', u'\u2580',
};

}  // namespace

char16_t TerminalGlyph(unsigned char byte) {
  if (byte >= kFirstBoxByte && byte < kFirstBoxByte + kBoxGlyphs.size())
    return kBoxGlyphs[byte - kFirstBoxByte];
  return byte;
}

}  // namespace orvik::client
