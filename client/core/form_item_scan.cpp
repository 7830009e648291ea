#include "form_item_scan.h"

#include "engine_protocol.h"
#include "tag_attribute.h"
#include "text.h"
#include "value_decode.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

using protocol::kActionCode;
using protocol::kEndOfTransmission;
using protocol::kGridFill;
using protocol::kGridFillEnd;

// Every occurrence of `find` (any case) replaced, left to right; the replacement is not
// searched again.
void ReplaceAllNoCase(std::string& text, std::string_view find, std::string_view with) {
  for (std::size_t at = FindNoCase(text, find); at != std::string::npos;
       at = FindNoCase(text, find, at + with.size())) {
    text.replace(at, find.size(), with);
  }
}

void ReplaceAll(std::string& text, std::string_view find, std::string_view with) {
  for (std::size_t at = text.find(find); at != std::string::npos;
       at = text.find(find, at + with.size())) {
    text.replace(at, find.size(), with);
  }
}

std::string_view RightTrimBlanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// The ATF codes colour terminal text; a form has no use for them. An "<ATF" with no ">" after
// it takes the rest of the text with it.
void RemoveAtfTags(std::string& tx) {
  for (std::size_t at = FindNoCase(tx, "<ATF"); at != std::string::npos;
       at = FindNoCase(tx, "<ATF", at)) {
    const std::size_t close = tx.find('>', at);
    tx.erase(at, close == std::string::npos ? std::string::npos : close + 1 - at);
  }
}

// The block between "<GRIDFILL>" and its end goes to the grid fill loader. A block the engine
// forgot to close ends at the action-code prompt or at the end of the transmission, which
// both stay in the text; with neither it runs to the end.
void CutGridFill(std::string& tx, ScreenModel& model, ShellContext& shell) {
  model.items.gridFillText.clear();
  const std::size_t open = FindNoCase(tx, kGridFill);
  if (open == std::string::npos) return;
  const std::size_t inside = open + kGridFill.size();
  std::size_t end = FindNoCase(tx, kGridFillEnd, inside);
  std::size_t cutEnd = end == std::string::npos ? end : end + kGridFillEnd.size();
  if (end == std::string::npos) {
    shell.DevBox("WARNING: <GRIDFILL> without matching </GRIDFILL>");
    end = FindNoCase(tx, kActionCode, inside);
    if (end == std::string::npos) end = FindNoCase(tx, kEndOfTransmission, inside);
    if (end == std::string::npos) end = tx.size();
    cutEnd = end;
  }
  model.items.gridFillText = tx.substr(inside, end - inside);
  tx.erase(open, cutEnd - open);
}

// The ACTION attribute: a code, a code and a sub-action, or a code, a grid column and a grid
// row (which makes the item a grid cell).
void ReadAction(FormItem& item, std::string_view rawTail, ShellContext& shell) {
  const std::string value = item.Attribute("ACTION");
  if (value.empty()) return;
  std::vector<std::string_view> parts;
  const std::string& delimiter = shell.settings.guiPlusDelimiter;
  std::string_view rest = value;
  while (!delimiter.empty()) {
    const std::size_t at = rest.find(delimiter);
    if (at == std::string_view::npos) break;
    parts.push_back(rest.substr(0, at));
    rest.remove_prefix(at + delimiter.size());
  }
  parts.push_back(rest);

  if (parts.size() >= 4) {
    item.action = 0;
    return;
  }
  item.action = LongOf(parts[0]);
  if (parts.size() == 2) {
    item.sub = LongOf(parts[1]);
    return;
  }
  if (parts.size() == 3) {
    item.left = LongOf(parts[1]);
    item.top = LongOf(parts[2]);
    ReplaceAll(item.text, "POSITION", "GRIDCELL");
    return;
  }
  const std::string row = item.Attribute("ROW");
  if (row.empty()) {
    item.sub = LongOf(item.Attribute("SUBACTION"));
    return;
  }
  item.top = LongOf(row);
  const std::string col = item.Attribute("COL");
  const std::string subAction = item.Attribute("SUBACTION");
  if (!col.empty()) {
    item.left = LongOf(col);
  } else if (!subAction.empty()) {
    item.left = LongOf(subAction);
  } else if (shell.settings.devMsg) {
    shell.Box("Badly formed GRID UPDATE signal gives ROW but no COL indication:\r\n<" + item.text +
              ">" + std::string(rawTail) +
              "\r\n\r\nWriting it into column 1 just to make it visible");
    item.left = 1;
  } else {
    item.left = 0;
  }
  ReplaceAll(item.text, "POSITION", "GRIDCELL");
}

void Rewrite(FormItem& item, ScreenModel& model) {
  if (item.text.starts_with("ETYPE=")) {
    item.text = "TEXTBOX " + item.text;
  } else if (item.text.starts_with("ACTION=")) {
    item.text = "POSITION " + item.text;
  } else if (item.Type() == "NOMINATE") {
    ReplaceAll(item.text, "NOMINATE", "TEXTBOX ACTION=0 ETYPE=3");
  } else if (item.Type() == "COLUMN") {
    ReplaceAll(item.text, "COLUMN", "GRIDCOL");
  } else if (item.Type() == "FH" || item.Type() == "FORMHEADER") {
    model.items.autoHeaderDone = true;
  }
}

void Place(FormItem& item) {
  const std::string_view type = item.Type();
  if (type == "POSITION" || type == "SETFOCUS" || type == "GRID") {
    const std::string top = item.Attribute("TOP");
    const std::string left = item.Attribute("LEFT");
    item.top = top.empty() ? -1 : LongOf(top);
    item.left = left.empty() ? -1 : LongOf(left);
  } else if (type == "GRIDCELL") {
    const std::string row = item.Attribute("ROW");
    const std::string col = item.Attribute("COL");
    if (!row.empty()) item.top = LongOf(row);
    if (!col.empty()) item.left = LongOf(col);
  }
}

// A value that does not decode (an escape without its ")") is shown as the engine sent it.
std::string DecodedTail(std::string_view tail) {
  const std::string_view trimmed = RightTrimBlanks(tail);
  try {
    return ValueDecode(trimmed);
  } catch (const VbError&) {
    return std::string(trimmed);
  }
}

// A POSITION with no text of its own only says where the entry after it stands; before
// anything else it asks for the focus.
void ResolvePointers(std::vector<FormItem>& items) {
  for (std::size_t k = 0; k < items.size(); ++k) {
    FormItem& item = items[k];
    if (item.Type() == "/TX") return;
    const bool position = item.Type() == "POSITION";
    if (!(position || item.Type() == "GRIDCELL") || !item.tail.empty()) continue;
    const bool entryNext = k + 1 < items.size() && IsEntryType(items[k + 1].Type());
    if (entryNext) {
      item.text = "POSITION_POINTER_ONLY " + std::string(item.Attributes());
    } else if (position) {
      item.text = "SETFOCUS " + std::string(item.Attributes());
    }
  }
}

}  // namespace

std::string_view FormItem::Attributes() const {
  const std::size_t blank = text.find(' ');
  return blank == std::string::npos ? std::string_view() : std::string_view(text).substr(blank + 1);
}

std::string FormItem::Attribute(std::string_view key) const { return TagAttribute(text, key); }

void PrepareFormText(std::string& tx, ScreenModel& model, ShellContext& shell) {
  model.items.mbActionCode = false;
  for (std::int32_t row = 1; row <= kEntryRows; ++row) {
    model.entrySpec.Set(row, 12, "");
    if (model.entrySpec.Get(row, 1) == "/TX") break;
  }
  RemoveAtfTags(tx);
  CutGridFill(tx, model, shell);
  if (model.states.msFormState == state::kFunction) model.items.autoHeaderDone = false;
  ReplaceAllNoCase(tx, "ACTION=NOMINATE", "ACTION=0 ETYPE=3");
}

std::vector<FormItem> ScanFormItems(const std::string& tx, ScreenModel& model,
                                    ShellContext& shell) {
  const bool commas = shell.settings.tagSeparator == ',' || shell.settings.positionSeparator == ',';
  std::vector<FormItem> items;
  for (const MarkupItem& markup : MarkupItems(tx)) {
    FormItem item;
    item.text = TagBody(markup.body, commas);
    Rewrite(item, model);
    ReadAction(item, markup.tail, shell);
    Place(item);
    item.tail = DecodedTail(markup.tail);
    items.push_back(std::move(item));
  }
  ResolvePointers(items);
  return items;
}

}  // namespace orvik::client
