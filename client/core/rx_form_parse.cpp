#include "rx_form_parse.h"

#include <algorithm>
#include <string>

#include "form_items.h"
#include "markup.h"
#include "numbers.h"
#include "tag_attribute.h"
#include "text.h"

namespace orvik::client {
namespace {

constexpr std::string_view kFormTag = "<FORM";
constexpr std::string_view kFormHeaderStart = "<FORMHE";

// Menus have at most 40 lines: from the 41st item on, the end marker takes the last item's
// place instead of following it.
constexpr std::int32_t kMenuEndRowLimit = 41;

void ResetForNewScreen(ScreenModel& m, ShellContext& shell) {
  const std::string& kind = m.states.msFormState;
  if (kind == state::kTerminal) {
    m.subActions.Set(0, 1, 1);
    m.subActions.Set(1, 1, 1);
    m.subActions.Set(0, 2, 0);
    m.subActions.Set(1, 2, 0);
    for (std::int32_t a = 1; a <= 12; ++a) m.entrySpec.Set(1, a, "");
    return;
  }
  if (kind != state::kMenu && kind != state::kFunction) return;
  FormLayout& layout = m.layout;
  if (layout.mbCondensed) {
    layout.mCX = LongOf(static_cast<double>(shell.cellWidth));
    layout.mbCondensed = false;
    layout.firstEntryBold = true;
    layout.font = FormFont{"Courier New", 9.75, true};
  }
  m.subActions.Set(0, 1, 1);
  m.subActions.Set(0, 2, 0);
  for (std::int32_t row = 1; row <= kEntryRows; ++row) {
    m.subActions.Set(row, 1, 1);
    m.subActions.Set(row, 2, 0);
    for (std::int32_t a = 1; a <= 12; ++a) m.entrySpec.Set(row, a, "");
  }
  ClientSettings& settings = shell.settings;
  if (!settings.appPasswordPrompt.empty()) {
    // A real form ends the application's password dialogue.
    settings.appPasswordPrompt.clear();
    settings.declareGui = false;
  }
}

// The FORM tag's body, upper-cased; sets the tag separator.
std::string ReadFormTag(std::string_view text, std::size_t at, ScreenModel& m,
                        ShellContext& shell) {
  const std::size_t close = std::min(text.find('>', at), text.size());
  std::string body = UpperCase(text.substr(at + 1, close - at - 1));
  const char separator = SeparatorAfter(body, 0, kFormTag.size() - 1);
  shell.settings.tagSeparator = separator;
  if (separator == ',') std::replace(body.begin(), body.end(), ',', ' ');

  FormLayout& layout = m.layout;
  layout.msFormScreen = TagAttribute(body, "SCREEN") == "BOX" ? "BOX" : "FULL";
  if (layout.msFormScreen == "BOX") {
    const auto boxValue = [&](std::string_view key, std::int32_t fallback) {
      const std::int32_t n = LongOf(TagAttribute(body, key));
      return n == 0 ? fallback : n;
    };
    layout.mnBoxTop = boxValue("TOP", 4);
    layout.mnBoxLeft = boxValue("LEFT", 17);
    layout.mnBoxWidth = boxValue("WIDTH", 55);
    layout.mnBoxHeight = boxValue("HEIGHT", 14);
  }
  layout.mbGuiPlus =
      TagAttribute(body, "GUIPLUS") == "TRUE" || shell.settings.displayMode == "GUIPLUS";
  layout.msFormStyle = TagAttribute(body, "STYLE");
  layout.msGridType = layout.mbGuiPlus ? "GUIPLUS" : "INTEG";
  return body;
}

// One menu row per tag, from the first "<" on.
void MenuRows(std::string_view text, ScreenModel& m, ShellContext& shell) {
  EntrySpecTable& spec = m.entrySpec;
  FormLayout& layout = m.layout;
  layout.mbMenuHeader = false;
  const bool commas = shell.settings.tagSeparator == ',';
  std::int32_t row = 0;
  std::string lastBody;
  for (const MarkupItem& item : MarkupItems(text)) {
    if (row == kEntryRows) break;
    ++row;
    const std::string body = TagBody(item.body, commas);
    const std::string tail(item.tail);
    const std::string_view word = FirstWord(body);
    if (body == "COLUMN") {
      spec.Set(row, 1, "COLUMN");
      ++layout.mnColumns;
    } else if (body == "H") {
      spec.Set(row, 1, "H");
      spec.Set(row, 4, tail);
    } else if (body == "FORMHEADER") {
      spec.Set(row, 1, "FORMHEADER");
      for (std::int32_t n = 1; n <= 3; ++n) spec.Set(row, 1 + n, shell.fns.Field(tail, ",", n));
      layout.mbMenuHeader = true;
    } else if (word == "PROGRAM") {
      spec.Set(row, 1, "PROGRAM");
      layout.msProgramPrevious = layout.msPickProgram;
      layout.msPickProgram = TagAttribute(body, "NAME");
    } else if (body == "ALT_SELECT" || body == "A") {
      spec.Set(row, 1, "A");
      spec.Set(row, 4, tail);
    } else if (body.starts_with('C')) {
      spec.Set(row, 1, "C");
      spec.Set(row, 2, TagAttribute(body, "ACTION"));
      spec.Set(row, 3, TagAttribute(body, "PROGRAM"));
      spec.Set(row, 4, tail);
    } else if (word.starts_with('L')) {
      spec.Set(row, 1, "L");
      spec.Set(row, 4, tail);
      const std::string top = TagAttribute(body, "TOP");
      spec.Set(row, 5, top);
      spec.Set(row, 6, TagAttribute(body, "LEFT"));
      const std::string width = TagAttribute(body, "WIDTH");
      spec.Set(row, 7, width.empty() ? "20" : width);
      if (Val(top) < 0.5) layout.mbMenuHeader = true;
    } else {
      spec.Set(row, 1, body);
    }
    lastBody = body;
  }
  if (lastBody == "/TX" || row == kEntryRows) return;
  spec.Set(row < kMenuEndRowLimit ? row + 1 : row, 1, "/TX");
}

}  // namespace

std::size_t FindFormTag(std::string_view text) {
  for (std::size_t at = FindNoCase(text, kFormTag); at != std::string_view::npos;
       at = FindNoCase(text, kFormTag, at + 1)) {
    if (!EqualsNoCase(text.substr(at, kFormHeaderStart.size()), kFormHeaderStart)) return at;
  }
  return std::string_view::npos;
}

void RXFormParse(std::string_view text, ScreenModel& m, ShellContext& shell) {
  m.layout.mnColumns = 1;
  if (FindNoCase(text, "<POSITION,") != std::string_view::npos ||
      FindNoCase(text, "<ATF,") != std::string_view::npos) {
    shell.settings.positionSeparator = ',';
  }
  ResetForNewScreen(m, shell);

  const std::size_t formAt = FindFormTag(text);
  const std::string body =
      formAt == std::string_view::npos ? std::string() : ReadFormTag(text, formAt, m, shell);
  if (body.find("MENU") != std::string::npos) {
    MenuRows(text, m, shell);
    return;
  }
  if (m.states.msState == state::kTerminal) {
    m.texts.msData = std::string(text);
    m.texts.msDialog.clear();
    m.texts.msDialogType.clear();
    return;
  }
  std::string items(text);
  FormItemsFunction(items, m, shell);
}

}  // namespace orvik::client
