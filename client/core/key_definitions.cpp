#include "key_definitions.h"

#include "numbers.h"
#include "text.h"

namespace orvik::client {
namespace {

constexpr std::string_view kNoCr = "{NOCR}";

struct KeyName {
  std::string_view key;
  KeySlot slot;
  bool alt;
};

constexpr KeyName kKeyNames[] = {
    {"UKEY", KeySlot::kUp, false},
    {"KEYUP", KeySlot::kUp, false},
    {"ALT+KEYUP", KeySlot::kUp, true},
    {"DKEY", KeySlot::kDown, false},
    {"KEYDOWN", KeySlot::kDown, false},
    {"ALT+KEYDOWN", KeySlot::kDown, true},
    {"LKEY", KeySlot::kLeft, false},
    {"KEYLEFT", KeySlot::kLeft, false},
    {"ALT+KEYLEFT", KeySlot::kLeft, true},
    {"RKEY", KeySlot::kRight, false},
    {"KEYRIGHT", KeySlot::kRight, false},
    {"ALT+KEYRIGHT", KeySlot::kRight, true},
    {"KEYESC", KeySlot::kEsc, false},
    {"KEYPAGEUP", KeySlot::kPageUp, false},
    {"ALT+KEYPAGEUP", KeySlot::kPageUp, true},
    {"KEYPAGEDOWN", KeySlot::kPageDown, false},
    {"ALT+KEYPAGEDOWN", KeySlot::kPageDown, true},
    {"KEYHOME", KeySlot::kHome, false},
    {"ALT+KEYHOME", KeySlot::kHome, true},
    {"KEYEND", KeySlot::kEnd, false},
    {"ALT+KEYEND", KeySlot::kEnd, true},
};

// The last occurrence of the marker, without regard to case.
std::size_t FindLastNoCr(std::string_view value) {
  std::size_t last = std::string_view::npos;
  for (std::size_t at = FindNoCase(value, kNoCr); at != std::string_view::npos;
       at = FindNoCase(value, kNoCr, at + 1)) {
    last = at;
  }
  return last;
}

}  // namespace

KeyDefinition KeyDefParse(std::string_view value, std::string_view key, std::string_view eos) {
  if (value == "{NULL}" || value == "{CANCEL}") return {};
  const std::size_t noCr = FindLastNoCr(value);
  if (noCr != std::string_view::npos && noCr > 0) return {std::string(value.substr(0, noCr)), {}};
  if (noCr == std::string_view::npos) return {std::string(value) + std::string(eos), {}};
  std::string warning = "Bad Key definition: " + std::string(value) +
                        "\r\nContains \"No Carriage Return\" specification but with nothing "
                        "else.  " +
                        std::string(key) + " is therefore inactive";
  return {"", std::move(warning)};
}

std::optional<KeySlotKey> KeySlotOf(std::string_view key) {
  for (const KeyName& name : kKeyNames) {
    if (name.key == key) return KeySlotKey{name.slot, name.alt};
  }
  return std::nullopt;
}

std::optional<int> FunctionKeyNumber(std::string_view key) {
  if (key.empty() || key[0] != 'F') return std::nullopt;
  const double n = RoundHalfEven(Val(key.substr(1)));
  if (n >= 1 && n <= 12) return static_cast<int>(n);
  return std::nullopt;
}

}  // namespace orvik::client
