// Cursor and attribute sequences for @(x, y) and @(x), by terminal type.

#ifndef ORVIK_ENGINE_SESSION_TERMINAL_TAGS_H_
#define ORVIK_ENGINE_SESSION_TERMINAL_TAGS_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace orvik {

// y = -1 is the one-argument form @(x). `termType` is already trimmed and upper-cased.
std::string TerminalTag(std::string_view termType, std::int32_t x, std::int32_t y = -1);

}  // namespace orvik

#endif  // ORVIK_ENGINE_SESSION_TERMINAL_TAGS_H_
