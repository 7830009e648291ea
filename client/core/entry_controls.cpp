#include "entry_controls.h"

#include "markup.h"
#include "numbers.h"
#include "string_works.h"
#include "text.h"
#include "vb_error.h"

namespace orvik::client {

ControlRecord& EntryControl(FormControls& controls, std::int32_t entry) {
  if (!HasEntryControl(controls, entry)) throw VbError(vberr::kSubscriptOutOfRange);
  return controls.entries[static_cast<std::size_t>(entry)];
}

bool HasEntryControl(const FormControls& controls, std::int32_t entry) {
  return entry >= 0 && entry < static_cast<std::int32_t>(controls.entries.size());
}

bool IsScreenEntry(const FormControls& controls, std::int32_t entry) {
  return HasEntryControl(controls, entry) && (entry > 0 || RowOfEntry(controls, entry) > 0);
}

std::string ControlValue(const ControlRecord& control) {
  return control.kind == ControlKind::kCheckBox ? std::to_string(control.value) : control.caption;
}

std::int32_t PlainColour(const ControlRecord& control) {
  return control.kind == ControlKind::kButton || control.kind == ControlKind::kCheckBox
             ? kButtonFace
             : kEntryWhite;
}

std::int32_t RowOfEntry(const FormControls& controls, std::int32_t entry) {
  if (!HasEntryControl(controls, entry)) throw VbError(vberr::kSubscriptOutOfRange);
  return LongOf(controls.entries[static_cast<std::size_t>(entry)].tag);
}

void CtlEntrySet(ScreenParts& p, EntryState& s, std::int32_t row, std::int32_t entry) {
  const std::string& type = p.model.entrySpec.Get(row, 1);
  ControlKind kind;
  std::int32_t* used;
  std::int32_t* loaded;
  if (type == "TEXTBOX" || type == "TRIGGER") {
    kind = ControlKind::kTextBox;
    used = &p.model.items.textEntriesUsed;
    loaded = &s.textLoaded;
  } else if (type == "COMMAND") {
    kind = ControlKind::kButton;
    used = &s.commandUsed;
    loaded = &s.commandLoaded;
  } else if (type == "COMBO") {
    kind = ControlKind::kComboBox;
    used = &s.comboUsed;
    loaded = &s.comboLoaded;
  } else if (type == "CHECK") {
    kind = ControlKind::kCheckBox;
    used = &s.checkUsed;
    loaded = &s.checkLoaded;
  } else {
    return;
  }
  ++*used;
  if (*used > *loaded) *loaded = *used;
  ControlRecord& control = EntryControl(p.controls, entry);
  if (control.kind != kind || control.index != *used) {
    // Another element: it comes as that array's elements are made, hidden and empty.
    control = ControlRecord{};
    control.kind = kind;
    control.index = *used;
    control.backColour = PlainColour(control);
  }
}

ControlRecord& DescriptionLabel(ScreenParts& p, EntryState& s, std::int32_t entry) {
  std::int32_t index = s.DescLabel(entry);
  if (index == 0) {
    index = ++s.descLabelsLoaded;
    s.SetDescLabel(entry, index);
  }
  return p.controls.menu.Narrative(index);
}

void EntryValueSet(ScreenParts& p, EntryState& s, const std::string& value, std::int32_t entry) {
  ControlRecord& control = EntryControl(p.controls, entry);
  const std::int32_t row = LongOf(control.tag);
  const double kind = std::abs(Val(p.model.entrySpec.Get(row, 3)));
  const auto put = [&control](const std::string& v) {
    if (control.kind == ControlKind::kCheckBox) {
      control.value = Val(v) == 0 ? 0 : 1;
    } else {
      control.caption = v;
    }
  };
  if (kind < 3) {
    put(value);
    return;
  }
  // The code and the description are joined by RXDELIMITER, as everywhere else: a fixed
  // backslash would show a whole value in the box whenever the setting is another text.
  const std::string& delimiter = p.shell.Context().settings.rxDelimiter;
  put(std::string(TextBefore(value, delimiter)));
  const std::string description(TrimBlanks(TextAfter(value, delimiter)));
  if (s.DescLabel(entry) == 0 && description.empty()) return;
  ControlRecord& label = DescriptionLabel(p, s, entry);
  if (ControlValue(control) != value && !description.empty()) {
    label.caption = " " + description + " ";
    label.visible = true;
  } else {
    label.visible = false;
  }
}

void ComboListSet(ScreenParts& p, std::string spec, std::int32_t entry) {
  ControlRecord& combo = EntryControl(p.controls, entry);
  if (spec.starts_with(kChangeMark)) {
    const std::string& stored = p.model.entrySpec.Get(LongOf(combo.tag), 4);
    spec = stored.size() > kChangeMark.size() ? stored.substr(kChangeMark.size()) : "";
  }
  const std::string& sep = p.shell.Context().settings.guiPlusDelimiter;
  if (sep.empty() || spec.find(sep) == std::string::npos) {
    combo.caption = spec;
    return;
  }
  combo.list.clear();
  std::size_t at = spec.find(sep);
  combo.caption = spec.substr(0, at);
  while (at != std::string::npos) {
    const std::size_t from = at + sep.size();
    at = spec.find(sep, from);
    combo.list.push_back(spec.substr(from, at == std::string::npos ? at : at - from));
  }
}

}  // namespace orvik::client
