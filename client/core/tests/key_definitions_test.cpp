// What a key definition's value puts in its slot.

#include "key_definitions.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace orvik::client {
namespace {

struct DefinitionCase {
  const char* value;
  std::string slot;
  bool warns;
};

TEST(KeyDefParseTest, Values) {
  const DefinitionCase cases[] = {
      {"LIST", "LIST\r", false},
      {"", "\r", false},
      {"LIST{NOCR}", "LIST", false},
      {"LIST{nocr}", "LIST", false},
      {"LIST{NOCR}dropped", "LIST", false},
      {"A{NOCR}B{NOCR}", "A{NOCR}B", false},  // the last marker counts
      {"{NULL}", "", false},
      {"{CANCEL}", "", false},
      {"{null}", "{null}\r", false},  // only the exact words empty the slot
      {"{NOCR}", "", true},
      {"{NOCR}LIST", "", true},
  };
  for (const DefinitionCase& c : cases) {
    const KeyDefinition d = KeyDefParse(c.value, "F5", "\r");
    EXPECT_EQ(d.slot, c.slot) << c.value;
    EXPECT_EQ(d.warning.has_value(), c.warns) << c.value;
  }
}

TEST(KeyDefParseTest, WarningNamesValueAndKey) {
  const KeyDefinition d = KeyDefParse("{NOCR}X", "KEYESC", "\r");
  ASSERT_TRUE(d.warning);
  EXPECT_EQ(*d.warning,
            "Bad Key definition: {NOCR}X\r\nContains \"No Carriage Return\" specification but "
            "with nothing else.  KEYESC is therefore inactive");
}

TEST(KeyDefParseTest, FunctionKeyNames) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"F1", 1},
      {"F12", 12},
      {"F01", 1},
      {"F1X", 1},
      {"F13", std::nullopt},
      {"F0", std::nullopt},
      {"FOO", std::nullopt},
      {"F", std::nullopt},
      {"KEYF1", std::nullopt},
      {"F1.5", 2},
  };
  for (const auto& [key, number] : cases) EXPECT_EQ(FunctionKeyNumber(key), number) << key;
}

TEST(KeyDefParseTest, SlotKeys) {
  EXPECT_EQ(KeySlotOf("UKEY")->slot, KeySlot::kUp);
  EXPECT_FALSE(KeySlotOf("KEYUP")->alt);
  EXPECT_TRUE(KeySlotOf("ALT+KEYPAGEDOWN")->alt);
  EXPECT_EQ(KeySlotOf("ALT+KEYPAGEDOWN")->slot, KeySlot::kPageDown);
  EXPECT_EQ(KeySlotOf("RKEY")->slot, KeySlot::kRight);
  EXPECT_FALSE(KeySlotOf("ALT+KEYESC"));  // Esc has no Alt form
  EXPECT_FALSE(KeySlotOf("keyup"));       // keys arrive upper-cased
}

}  // namespace
}  // namespace orvik::client
