#include "form_controls.h"

namespace orvik::client {
namespace {

// The item labels a screen form has from the start; more are loaded as menus need them.
constexpr std::int32_t kItemLabelsLoaded = 45;
// The width of the menu's buttons, as a share of the form's width.
constexpr double kButtonShare = 0.08;

ControlRecord Control(ControlKind kind, std::string caption, std::int32_t tabIndex) {
  ControlRecord record;
  record.kind = kind;
  record.caption = std::move(caption);
  record.tabIndex = tabIndex;
  return record;
}

void Place(ControlRecord& record, double left, double top, double width, double height) {
  record.left = left;
  record.top = top;
  record.width = width;
  record.height = height;
}

}  // namespace

MenuControls::MenuControls()
    : header(Control(ControlKind::kPanel, "", 0)),
      navigateLabel(Control(ControlKind::kLabel, "Navigation", 0)),
      navigate(Control(ControlKind::kComboBox, "", 6)),
      back(Control(ControlKind::kButton, "< &Back", 7)),
      forward(Control(ControlKind::kButton, "&Forward >", 8)),
      showCodes(Control(ControlKind::kCheckBox, "Second codes", 9)),
      altPanel(Control(ControlKind::kPanel, "", 0)),
      altLabel(Control(ControlKind::kLabel, "", 0)),
      altSelect(Control(ControlKind::kTextBox, "", 1)),
      altOk(Control(ControlKind::kButton, "OK", 2)),
      altStart(Control(ControlKind::kButton, "&Start", 3)),
      altScreenPrint(Control(ControlKind::kButton, "Sc &Pr(F11)", 4)),
      altCancel(Control(ControlKind::kButton, "LogOff", 5)) {
  header.backColour = altPanel.backColour = Rgb(192, 192, 192);
  for (ControlRecord* inside : {&navigateLabel, &navigate, &back, &forward, &showCodes, &altLabel,
                                &altSelect, &altOk, &altStart, &altScreenPrint, &altCancel}) {
    inside->visible = true;
  }
  navigateLabel.opaque = false;
  navigateLabel.alignment = TextAlign::kRight;
  showCodes.opaque = false;
  altLabel.opaque = false;
  altLabel.alignment = TextAlign::kRight;
  altSelect.font = FormFont{"MS Sans Serif", 9.75, true};
  // Until a menu is drawn the selection's buttons take no clicks.
  altOk.enabled = altCancel.enabled = altScreenPrint.enabled = false;
  // The history buttons wait for a second menu.
  back.enabled = forward.enabled = false;
  items.resize(kItemLabelsLoaded);
  for (std::int32_t i = 1; i <= kItemLabelsLoaded; ++i) {
    ControlRecord& label = items[static_cast<std::size_t>(i - 1)];
    label.index = i;
    label.opaque = false;
    label.wordWrap = true;
  }
}

ControlRecord* MenuControls::Item(std::int32_t i) {
  if (i < 1 || i > static_cast<std::int32_t>(items.size())) return nullptr;
  return &items[static_cast<std::size_t>(i - 1)];
}

const ControlRecord* MenuControls::Item(std::int32_t i) const {
  return const_cast<MenuControls*>(this)->Item(i);
}

ControlRecord& MenuControls::Narrative(std::int32_t i) {
  while (static_cast<std::int32_t>(narratives.size()) < i) {
    ControlRecord label;
    label.index = static_cast<std::int32_t>(narratives.size()) + 1;
    label.wordWrap = true;
    narratives.push_back(label);
  }
  return narratives[static_cast<std::size_t>(i - 1)];
}

FormControls::FormControls() {
  for (ControlRecord& label : formHeader) {
    label.backColour = Rgb(128, 0, 0);  // QBColor(4), as the labels were designed
    label.foreColour = Rgb(255, 255, 255);
    label.alignment = TextAlign::kCentre;
    label.font = FormFont{"Arial", 9.75, true};
  }
  fnExit = Control(ControlKind::kButton, "E&xit", 0);
  fnQuit = Control(ControlKind::kButton, "&Quit", 0);
  fnFile = Control(ControlKind::kButton, "&File", 0);
  fnScreenPrint = Control(ControlKind::kButton, "Sc &Pr(F11)", 0);
  fnSearch = Control(ControlKind::kButton, "&Search", 0);
  const char* const rowCaptions[] = {"&Insert", "&Delete", "&Modify"};
  for (std::size_t i = 0; i < gridRow.size(); ++i) {
    gridRow[i] = Control(ControlKind::kButton, rowCaptions[i], 0);
    gridRow[i].index = static_cast<std::int32_t>(i);
  }
}

void FormControls::PlaceMenuPanels(double width, double height, double cellHeight) {
  const double button = width * kButtonShare;
  const double row = cellHeight * 1.2;
  MenuControls& m = menu;
  Place(m.header, 0, 0, width, cellHeight * 2);
  const double headerRow = (m.header.height - row) / 2;
  Place(m.navigateLabel, width * 0.01, headerRow, width * 0.08, row);
  Place(m.navigate, width * 0.10, headerRow, width * 0.40, row);
  Place(m.back, width * 0.51, headerRow, button, row);
  Place(m.forward, m.back.left + button + width * 0.005, headerRow, button, row);
  Place(m.showCodes, m.forward.left + button + width * 0.02, headerRow, width * 0.15, row);

  Place(m.altPanel, 0, height - cellHeight * 2.2, width, cellHeight * 2.2);
  const double altRow = (m.altPanel.height - row) / 2;
  Place(m.altLabel, width * 0.02, altRow, width * 0.33, row);
  Place(m.altSelect, width * 0.36, altRow, width * 0.10, row);
  Place(m.altOk, width * 0.47, altRow, button, row);
  Place(m.altStart, m.altOk.left + button + width * 0.005, altRow, button, row);
  // Log-off and screen print side by side at the right edge.
  Place(m.altCancel, width - button / 2.5 - button, altRow, button, row);
  Place(m.altScreenPrint, m.altCancel.left - button, altRow, button, row);
}

}  // namespace orvik::client
