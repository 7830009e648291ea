// The first half of the form item parser: the transmission made ready (ATF tags out, the
// grid fill block put aside, NOMINATE written out) and cut into items, each with its action,
// place and tail already read. Internal to the parser.

#ifndef ORVIK_CLIENT_CORE_FORM_ITEM_SCAN_H_
#define ORVIK_CLIENT_CORE_FORM_ITEM_SCAN_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "markup.h"
#include "screen_model.h"
#include "shell_context.h"

namespace orvik::client {

struct FormItem {
  std::string text;          // the tag body, upper-cased and rewritten
  std::string tail;          // the text after the tag, right-trimmed and decoded
  std::int32_t action = -1;  // -1: the item has no ACTION
  std::int32_t sub = 0;
  std::int32_t top = -1;  // -1: not given
  std::int32_t left = -1;

  std::string_view Type() const { return FirstWord(text); }
  // The text after the first blank.
  std::string_view Attributes() const;
  std::string Attribute(std::string_view key) const;
};

// Steps every call makes before the items are read: the changed flags of the rows in use
// emptied, ATF tags removed, the grid fill block cut out into gridFillText, NOMINATE actions
// written out.
void PrepareFormText(std::string& tx, ScreenModel& model, ShellContext& shell);

// The items of `tx`, every one of them (the table's 200 rows bound what is kept, not what is
// read), with the pointer items resolved.
std::vector<FormItem> ScanFormItems(const std::string& tx, ScreenModel& model, ShellContext& shell);

inline bool IsEntryType(std::string_view type) {
  return type == "TEXTBOX" || type == "COMBO" || type == "COMMAND" || type == "CHECK";
}

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_FORM_ITEM_SCAN_H_
