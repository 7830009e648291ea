// The rows of a data-entry screen on the raster: labels, entry controls, the form header.

#include <cmath>

#include "colours.h"
#include "entry_controls.h"
#include "form_layout.h"
#include "markup.h"
#include "numbers.h"
#include "string_works.h"
#include "text.h"
#include "value_decode.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

constexpr std::int32_t kRunawayLabels = 130;
// The band of a long label on the default form style.
constexpr std::int32_t kPaleYellow = Rgb(255, 255, 192);

}  // namespace

void FunctionLayout::PlaceLabel(std::int32_t row) {
  EntrySpecTable& spec = p_.model.entrySpec;
  ShellContext& context = p_.shell.Context();
  MenuControls& menu = p_.controls.menu;
  const std::int32_t n = LongOf(spec.Get(row, 10));
  if (n < 1) throw VbError(vberr::kSubscriptOutOfRange);
  const bool loads = static_cast<std::int32_t>(menu.items.size()) < n;
  while (static_cast<std::int32_t>(menu.items.size()) < n) {
    ControlRecord label;
    label.index = static_cast<std::int32_t>(menu.items.size()) + 1;
    menu.items.push_back(label);
  }
  if (loads && n > kRunawayLabels) {
    context.DevBox("WARNING: possible runaway generation of label objects, now " +
                   std::to_string(menu.items.size()) + " of them");
  }
  ControlRecord& label = *menu.Item(n);
  label.caption = spec.Get(row, 4);
  label.tag = std::to_string(row);
  label.left = Val(spec.Get(row, 6)) * context.cellWidth;
  label.top = Val(spec.Get(row, 5)) * LinePitch();
  label.opaque = !Style(13).empty();
  label.border = false;
  label.backColour = LongOf(Val(Style(13)));
  label.font = FormFont{Style(9), Val(Style(8)), SafeBool(Style(11)), false, SafeBool(Style(14))};
  label.foreColour = LongOf(Val(Style(10)));
  label.wordWrap = false;
  label.height = LinePitch();
  const std::string& width = spec.Get(row, 7);
  if (width == "AUTO") {
    SizeLabelToText(label, p_.window);
    if (LowerCase(p_.model.layout.msFormStyle) == "fdefault" && label.caption.size() >= 77) {
      label.opaque = true;
      label.backColour = kPaleYellow;
    }
  } else if (width == "LINE") {
    SizeLabelToText(label, p_.window);
    label.opaque = false;
    label.backColour = QBColor(9);
  } else {
    label.width = Val(width) * context.cellWidth;
    label.font.underline = false;
    label.opaque = false;
  }
  label.height = LinePitch();
  label.visible = true;
}

void FunctionLayout::PlaceEntry(std::int32_t row) {
  ScreenModel& m = p_.model;
  EntrySpecTable& spec = m.entrySpec;
  ShellContext& context = p_.shell.Context();
  const ClientSettings& settings = context.settings;
  const std::int32_t e = LongOf(spec.Get(row, 10));
  if (e < 0) throw VbError(vberr::kSubscriptOutOfRange);
  const bool newScreen =
      m.states.msFormState == state::kFunction || m.states.msFormState == state::kRefresh;
  if (e > m.items.lastEntryNumber) {
    m.items.lastEntryNumber = e;
    p_.controls.entries.resize(static_cast<std::size_t>(e) + 1);
    CtlEntrySet(p_, s_, row, e);
  } else if (newScreen) {
    if (!HasEntryControl(p_.controls, e))
      p_.controls.entries.resize(static_cast<std::size_t>(e) + 1);
    CtlEntrySet(p_, s_, row, e);
  }
  ControlRecord& control = EntryControl(p_.controls, e);
  const std::string& type = spec.Get(row, 1);
  control.tag = std::to_string(row);
  control.font =
      FormFont{Style(17), Val(Style(16)), SafeBool(Style(19)), SafeBool(Style(20)), false};
  control.left = Val(spec.Get(row, 6)) * context.cellWidth;
  control.top = Val(spec.Get(row, 5)) * LinePitch();
  control.height = LinePitch();
  double w = Val(spec.Get(row, 7));
  if (w == 0) w = type == "CHECK" ? 3 : 8;
  if (w <= 3) w += 0.5;
  control.width = w * context.cellWidth;
  if (type == "TEXTBOX") {
    control.maxLength = LongOf(Val(spec.Get(row, 11)));
    if (!spec.Alignment(row).empty())
      control.alignment = static_cast<TextAlign>(std::clamp(LongOf(spec.Alignment(row)), 0, 2));
    control.caption.clear();
    control.backColour = LongOf(Val(Style(21)));
    control.foreColour = LongOf(Val(Style(18)));
  } else if (type == "COMBO") {
    control.width += 2 * context.cellWidth;
    control.list.clear();
  } else if (type == "COMMAND") {
    control.caption.clear();
  } else {
    control.value = 0;
  }
  std::string value = spec.Get(row, 4);
  control.changedByServer = value.starts_with(kChangeMark);
  if (control.changedByServer) value = value.substr(kChangeMark.size());
  const std::string etype = spec.Get(row, 3);
  if (value.find(settings.rxDelimiter) != std::string::npos && std::abs(Val(etype)) == 1)
    spec.Set(row, 3, std::to_string(LongOf(Val(etype) * 3)));
  const std::int32_t kind = LongOf(std::abs(Val(spec.Get(row, 3))));
  const double f = Val(spec.Get(row, 9));
  const bool text = type == "TEXTBOX" || type == "COMBO";
  if (f < 80 && kind != 0) {
    if (text) control.locked = false;
  } else if (!text) {
    control.enabled = false;
  } else if (spec.Get(row, 2) != "0" || f > 1) {
    control.locked = true;
  } else {
    context.DevBox(kNominateLockWarning, BoxIcon::kExclamation);
    control.locked = false;
  }
  PlaceEntryValue(row, e, value);
  if (Val(spec.Get(row, 3)) < 0) control.enabled = false;
  control.visible = true;
  if (control.backColour == QBColor(14)) control.backColour = PlainColour(control);
}

void FunctionLayout::PlaceEntryValue(std::int32_t row, std::int32_t e, const std::string& value) {
  EntrySpecTable& spec = p_.model.entrySpec;
  const ClientSettings& settings = p_.shell.Context().settings;
  ControlRecord& control = EntryControl(p_.controls, e);
  const std::string& type = spec.Get(row, 1);
  const std::int32_t kind = LongOf(std::abs(Val(spec.Get(row, 3))));
  const auto put = [&](const std::string& v) {
    if (type == "CHECK") {
      control.value = Val(v) == 0 ? 0 : 1;
    } else if (type == "COMBO") {
      if (!settings.guiPlusDelimiter.empty() &&
          v.find(settings.guiPlusDelimiter) != std::string::npos)
        control.list.clear();
      ComboListSet(p_, v, e);
    } else {
      control.caption = v;
    }
  };
  if (kind != 3 && kind != 4) {
    put(value);
    return;
  }
  ControlRecord& label = DescriptionLabel(p_, s_, e);
  label.font = FormFont{Style(25), Val(Style(24)), SafeBool(Style(27)), SafeBool(Style(28)), false};
  label.foreColour = LongOf(Val(Style(26)));
  label.backColour = LongOf(Val(Style(29)));
  label.opaque = !Style(29).empty();
  label.wordWrap = false;
  // The combo's narrative is its description: the code alone goes into the box.
  put(std::string(TextBefore(value, settings.rxDelimiter)));
  const std::string description(TextAfter(value, settings.rxDelimiter));
  if (!TrimBlanks(description).empty()) {
    label.caption = " " + description + " ";
    label.visible = true;
    label.front = true;
  } else if (label.caption != "ERROR!") {
    label.visible = false;
  }
  label.left = control.left + control.width;
  label.top = control.top + 0.05 * control.height;
  SizeLabelToText(label, p_.window);
  label.height = control.height;
}

void FunctionLayout::PlaceFormHeader(std::int32_t row) {
  ScreenStates& st = p_.model.states;
  if (st.msFormState != state::kFunction && st.msFormState != state::kRefresh) return;
  EntrySpecTable& spec = p_.model.entrySpec;
  std::array<ControlRecord, 3>& h = p_.controls.formHeader;
  const double width = p_.surface.ScaleWidth();
  for (ControlRecord& label : h) {
    label.top = 0;
    label.height = p_.shell.CellHeight() * 1.3;
  }
  h[0].left = 0;
  h[0].width = width / 5;
  h[1].left = h[0].width;
  h[1].width = 3 * width / 5;
  h[2].left = h[1].left + h[1].width;
  h[2].width = width - h[2].left;
  h[0].caption = spec.Get(row, 4) + "  ";
  h[1].caption = spec.Get(row, 5);
  if (p_.controls.menu.showCodes.value == 1) h[1].caption += ", " + p_.model.layout.msPickProgram;
  h[2].caption = "  " + spec.Get(row, 6);
  for (ControlRecord& label : h) label.visible = true;
}

}  // namespace orvik::client
