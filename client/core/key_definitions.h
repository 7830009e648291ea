// Key definitions: the texts that function keys, cursor keys and their Alt forms send to
// the engine, as a settings text gives them.
//
// Pure; callable from any thread. A bad definition comes back as a warning text for the
// caller to show (the settings parser does, by DEVMSG and MONITOR).

#ifndef ORVIK_CLIENT_CORE_KEY_DEFINITIONS_H_
#define ORVIK_CLIENT_CORE_KEY_DEFINITIONS_H_

#include <optional>
#include <string>
#include <string_view>

#include "client_settings.h"

namespace orvik::client {

struct KeyDefinition {
  std::string slot;                    // what the key's slot receives
  std::optional<std::string> warning;  // set for a definition that cannot work
};

// "{NULL}" and "{CANCEL}" (exact case) empty the slot; a text ending in "{NOCR}" (any case;
// the last one counts) sends what stands before it; "" sends `eos` alone; any other text
// sends itself followed by `eos`, the end-of-send text in force now. A "{NOCR}" with nothing
// before it empties the slot and warns; `key` only names the key in that warning.
KeyDefinition KeyDefParse(std::string_view value, std::string_view key, std::string_view eos);

// The slot a settings key writes and whether it is the Alt form (ALT+KEYUP ...): UKEY and
// KEYUP, DKEY and KEYDOWN, LKEY and KEYLEFT, RKEY and KEYRIGHT, KEYESC, KEYPAGEUP,
// KEYPAGEDOWN, KEYHOME, KEYEND. `key` is upper-case. F1 to F12 are not here (see
// FunctionKeyNumber).
struct KeySlotKey {
  KeySlot slot;
  bool alt;
};
std::optional<KeySlotKey> KeySlotOf(std::string_view key);

// 1 to 12 for a key that names a function key: "F" followed by a text whose leading number,
// rounded, is 1 to 12 (so F01 and F1X are F1); nullopt for anything else.
std::optional<int> FunctionKeyNumber(std::string_view key);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_KEY_DEFINITIONS_H_
