#include "menu_draw.h"

#include <algorithm>
#include <functional>

#include "numbers.h"
#include "style_values.h"
#include "text.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

constexpr const char* kRenderingError =
    "WARNING, ERROR in rendering MENU form.  System message is:\r\n\r\n";

// A relative path that stays below the folder it is taken in: no leading slash or
// backslash, no drive letter, no ".." among its parts.
bool InsideHome(std::string_view name) {
  if (name.starts_with('/') || name.starts_with('\\') || name.find(':') != std::string::npos)
    return false;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(name.find_first_of("/\\", start), name.size());
    if (name.substr(start, end - start) == "..") return false;
    if (end == name.size()) return true;
    start = end + 1;
  }
}

class MenuDrawer {
 public:
  explicit MenuDrawer(ScreenParts& p)
      : p_(p),
        m_(p.model),
        c_(p.controls),
        menu_(p.controls.menu),
        spec_(p.model.entrySpec),
        context_(p.shell.Context()),
        w_(p.surface.ScaleWidth()),
        h_(p.surface.ScaleHeight()),
        cw_(p.shell.Context().cellWidth),
        ch_(p.shell.CellHeight()) {}

  void Draw() {
    Step([&] { Style(); });
    Step([&] { Background(); });
    Step([&] { Panels(); });
    Step([&] { ItemLabels(); });
    Step([&] { NarrativeLabels(); });
    Step([&] { OtherControls(); });
    Step([&] { ColumnGeometry(); });
    Step([&] { HeightEstimate(); });
    Step([&] { HeaderReset(); });
    Step([&] { VerticalPlacement(); });
    Step([&] { PromptReset(); });
    Step([&] { Narratives(); });
    Step([&] { Layout(); });
    Step([&] { RowsLeftOut(); });
    Step([&] { FormState(); });
    Step([&] { Navigation(); });
    p_.ProcessEventsOnce();
    p_.menu.suppressNavigateClick = false;
    p_.window.ControlsChanged();
  }

 private:
  // Runs one step; its failure is reported and the next step runs.
  void Step(const std::function<void()>& step) {
    try {
      step();
    } catch (const VbError& e) {
      Report(e.number(), e.description());
    } catch (const std::exception& e) {
      Report(440, e.what());
    }
  }
  void Report(int number, const std::string& description) {
    context_.Box(std::string(kRenderingError) + std::to_string(number) + ", " + description +
                 "\r\n\r\nProgram will attempt to continue...");
  }

  const std::string& Field(std::size_t position) const { return f_[position]; }
  std::int32_t Colour(std::size_t position) const { return StyleColour(f_[position]); }

  void Style() {
    const std::string& name = m_.layout.msFormStyle;
    const std::string* record = name.empty() ? nullptr : context_.styles.Find(name);
    if (record == nullptr) record = context_.styles.Find("mdefault");
    m_.items.styleFields = SplitStyleRecord(record == nullptr ? std::string() : *record);
    f_ = m_.items.styleFields;
  }

  void Background() {
    c_.backColour = Colour(5);
    p_.surface.Clear(c_.backColour);
    c_.picture.clear();
    // A style names a picture of the home: one that would lead out of it is not loaded.
    if (Field(6).empty() || !InsideHome(Field(6))) return;
    const std::string path = context_.settings.pathHome + Field(6);
    // A picture that cannot be had leaves the form in its colour.
    if (p_.window.LoadFormPicture(path)) c_.picture = path;
  }

  void Panels() {
    menu_.header.backColour = Colour(4);
    menu_.header.enabled = menu_.header.visible = true;
    menu_.navigateLabel.backColour = Colour(13);
    menu_.navigateLabel.opaque = true;
    menu_.altPanel.backColour = Colour(4);
    menu_.altPanel.enabled = menu_.altPanel.visible = true;
  }

  FormFont ItemFont() const { return StyleFont(f_, 8, 9, 11, 12); }

  void ItemLabels() {
    for (ControlRecord& label : menu_.items) {
      label.visible = false;
      label.opaque = false;
      label.border = false;
      label.font = ItemFont();
      label.wordWrap = true;
      SizeLabelToText(label, p_.window);
    }
  }

  void StyleNarrative(ControlRecord& label) const {
    label.font.size = StyleSize(Field(24));
    label.font.name = Field(25);
    label.foreColour = Colour(26);
    label.font.bold = StyleSwitch(Field(27));
    label.font.italic = StyleSwitch(Field(28));
    label.backColour = Colour(29);
    label.opaque = true;
    label.font.underline = Val(Field(30)) != 0;
  }

  void NarrativeLabels() {
    for (std::int32_t j = 1; j <= p_.menu.et3LabelCount; ++j) {
      ControlRecord& label = menu_.Narrative(j);
      label.visible = false;
      StyleNarrative(label);
    }
  }

  void OtherControls() {
    p_.ProcessEventsOnce();
    p_.shell.SetBusyPointer(false);
    p_.surface.SetCursor(0, 0, 0, 0, false);
    GridModel& grid = m_.grid;
    grid.visible = false;
    grid.Clear();
    grid.tag = "-1";
    m_.items.gridFillText.clear();
    for (ControlRecord& button : c_.gridRow) button.visible = false;
    for (ControlRecord& title : c_.titles) title.visible = false;
    menu_.altSelect.enabled = menu_.altSelect.visible = true;
    menu_.altSelect.caption.clear();
    p_.window.FocusAltSelect(false);
    menu_.altLabel.caption.clear();
    p_.focus.altSelectPending = false;
    p_.focus.transmitPending = false;
    for (ControlRecord* button :
         {&c_.fnScreenPrint, &c_.fnSearch, &c_.fnFile, &c_.fnQuit, &c_.fnExit}) {
      button->visible = false;
    }
    c_.fnQuitIsCancel = false;
    menu_.altScreenPrint.enabled = true;
    menu_.altOk.enabled = menu_.altOk.isDefault = true;
    menu_.altCancel.enabled = menu_.altCancel.isCancel = true;
    m_.items.lastEntryNumber = 0;
    for (ControlRecord& entry : c_.entries) entry.visible = false;
    p_.menu.et3LabelCount = 0;
    m_.states.msState2.clear();
  }

  void ColumnGeometry() {
    const std::int32_t n = m_.layout.mnColumns;
    if (n == 1) {
      cw_column_ = w_ * 0.55;
      l_ = w_ * 0.24;
    } else if (n == 2) {
      cw_column_ = w_ * 0.42;
      l_ = w_ * 0.05;
    } else {
      // A count of none is taken as one column, not a division by zero.
      const double share = w_ / std::max(n, 1);
      l_ = share * 0.1;
      cw_column_ = share - l_;
    }
  }

  double FirstItemHeight() const {
    const ControlRecord* first = menu_.Item(1);
    return first == nullptr ? 0 : first->height;
  }

  // Every column the rows name is measured, however many there are.
  void HeightEstimate() {
    std::vector<double> heights(1, 0.0);
    const double itemHeight = FirstItemHeight();
    for (std::int32_t row = 1; row <= kEntryRows; ++row) {
      const std::string& type = spec_.Get(row, 1);
      if (type == "/TX") break;
      if (type == "COLUMN") {
        heights.push_back(0);
      } else if (type == "C") {
        heights.back() += 1.3 * itemHeight;
      } else if (type == "H") {
        heights.back() += 2 * itemHeight;
      }
    }
    const std::size_t columns = std::clamp<std::size_t>(
        static_cast<std::size_t>(std::max(m_.layout.mnColumns, 1)), 1, heights.size());
    maxHeight_ = *std::max_element(heights.begin(), heights.begin() + columns);
  }

  void VerticalPlacement() {
    const double header = menu_.header.height;
    if (h_ * 0.6 > maxHeight_) {
      topY_ = (h_ - header - maxHeight_) / 3.5;
      s_ = 0.3;
    } else {
      topY_ = header;
      s_ = h_ * 0.8 < maxHeight_ ? 0.1 : 0.2;
    }
    if (m_.layout.mbMenuHeader) topY_ += c_.formHeader[0].height;
    y_ = topY_;
  }

  // The labels are one line high on a menu, whatever height the terminal gave them.
  void HeaderReset() {
    for (ControlRecord& label : c_.formHeader) {
      label.visible = false;
      label.opaque = false;
      label.foreColour = 0;
      label.border = false;
      label.height = ch_;
    }
  }

  void PromptReset() {
    menu_.altLabel.caption = kStandardAltSelectPrompt;
    k_ = 0;
    p_.focus.focusEntry = 1;
  }

  ControlRecord& ItemLabel(std::int32_t k) {
    ControlRecord* label = menu_.Item(k);
    if (label == nullptr)
      throw VbError(340, "Control array element '" + std::to_string(k) + "' doesn't exist");
    return *label;
  }

  void Layout() {
    for (std::int32_t i = 1; i <= kMenuRowsDrawn; ++i) {
      const std::string& type = spec_.Get(i, 1);
      if (type == "COLUMN") {
        l_ += w_ / std::max(m_.layout.mnColumns, 1);
        y_ = topY_;
      } else if (type == "FH" || type == "FORMHEADER") {
        FormHeader(i);
      } else if (type == "C") {
        Item(i);
      } else if (type == "H") {
        Heading(i);
      } else if (type == "A" || type == "ALT_SELECT") {
        const std::string& prompt = spec_.Get(i, 4);
        if (FindNoCase(prompt, "please enter") == std::string::npos)
          menu_.altLabel.caption = prompt;
      } else if (type == "/TX") {
        p_.menu.menuLabelCount = k_;
        for (std::int32_t j = k_ + 1; j <= 30; ++j) {
          if (ControlRecord* label = menu_.Item(j)) label->visible = false;
        }
        return;
      }
    }
  }

  // The narrative lines stand where the transmission puts them, so they are laid out before
  // the items, which keep clear of them. A line over the items' columns in the top quarter of
  // the form heads them (the menu's own title): the items start below it, however many there
  // are, rather than above it on a long menu and under it on a short one.
  void Narratives() {
    for (std::int32_t i = 1; i <= kMenuRowsDrawn; ++i) {
      const std::string& type = spec_.Get(i, 1);
      if (type == "/TX") break;
      if (type == "L") Narrative(i);
    }
    const std::int32_t columns = std::max(m_.layout.mnColumns, 1);
    const double right = l_ + (columns - 1) * (w_ / columns) + cw_column_;
    for (std::int32_t j = 1; j <= p_.menu.et3LabelCount; ++j) {
      const ControlRecord& line = menu_.Narrative(j);
      if (Shown(line) && line.top < h_ / 4 && Across(line, l_, right))
        topY_ = std::max(topY_, line.top + line.height + s_ * ch_);
    }
    y_ = topY_;
  }

  bool Shown(const ControlRecord& line) const { return line.visible && !line.caption.empty(); }
  // Whether narrative `line` reaches across any of [left, right).
  bool Across(const ControlRecord& line, double left, double right) const {
    const double width =
        line.width > 0 ? line.width : p_.window.MeasureText(line.font, line.caption).width;
    return line.left < right && left < line.left + width;
  }

  // An item or a heading is never drawn under a narrative line: it moves down below the line
  // it would meet, and the column goes on from there.
  void ClearOfNarratives(ControlRecord& label) {
    for (bool moved = true; moved;) {
      moved = false;
      for (std::int32_t j = 1; j <= p_.menu.et3LabelCount; ++j) {
        const ControlRecord& line = menu_.Narrative(j);
        if (!Shown(line) || !Across(line, label.left, label.left + label.width)) continue;
        if (line.top < label.top + label.height && label.top < line.top + line.height) {
          label.top = line.top + line.height + s_ * ch_;
          moved = true;
        }
      }
    }
    y_ = label.top;
  }

  void FormHeader(std::int32_t i) {
    std::array<ControlRecord, 3>& labels = c_.formHeader;
    for (ControlRecord& label : labels) label.top = menu_.header.height;
    labels[0].left = 0;
    labels[0].width = w_ / 5;
    labels[0].caption = "  " + spec_.Get(i, 2);
    labels[1].left = labels[0].width;
    labels[1].width = w_ * 3 / 5;
    labels[1].caption =
        menu_.showCodes.value == 1 ? spec_.Get(1, 1) + ", " + spec_.Get(i, 3) : spec_.Get(i, 3);
    labels[2].left = labels[1].left + labels[1].width;
    labels[2].width = w_ - labels[2].left;
    labels[2].caption = spec_.Get(i, 4) + "  ";
    for (ControlRecord& label : labels) label.visible = true;
  }

  ControlRecord& PlaceLabel(std::int32_t i, std::string caption) {
    ++k_;
    ControlRecord& label = ItemLabel(k_);
    label.caption = std::move(caption);
    label.tag = std::to_string(i);
    label.left = l_;
    label.top = y_;
    label.width = cw_column_;
    return label;
  }

  void Item(std::int32_t i) {
    std::string caption = spec_.Get(i, 2) + ".  ";
    if (menu_.showCodes.value == 1) caption += spec_.Get(i, 3) + ". ";
    caption += spec_.Get(i, 4);
    ControlRecord& label = PlaceLabel(i, std::move(caption));
    p_.menu.menuLabelCount = k_;
    label.foreColour = Colour(10);
    label.font.underline = StyleSwitch(Field(14));
    label.visible = true;
    SizeLabelToText(label, p_.window);
    ClearOfNarratives(label);
    y_ += label.height + s_ * ch_;
  }

  void Heading(std::int32_t i) {
    // A heading under items of its column is set off by an empty line.
    if (topY_ + 0.05 * ch_ < y_) y_ += ch_;
    ControlRecord& label = PlaceLabel(i, spec_.Get(i, 4));
    label.font.underline = false;
    label.foreColour = Colour(4);
    label.border = false;
    label.visible = true;
    SizeLabelToText(label, p_.window);
    ClearOfNarratives(label);
    y_ += label.height;
  }

  void Narrative(std::int32_t i) {
    const std::int32_t m = ++p_.menu.et3LabelCount;
    const bool loaded = m <= static_cast<std::int32_t>(menu_.narratives.size());
    ControlRecord& label = menu_.Narrative(m);
    // A label loaded now takes the style as the others did.
    if (!loaded) StyleNarrative(label);
    label.top = menu_.header.height + Val(spec_.Get(i, 5)) * ch_;
    label.left = Val(spec_.Get(i, 6)) * cw_;
    label.width = Val(spec_.Get(i, 7)) * cw_;
    label.caption = spec_.Get(i, 4);
    label.visible = true;
    label.front = true;
    // The narrative wraps in its width, even where a form before used the same label as an
    // entry's description, which sizes itself to its text.
    label.wordWrap = true;
    SizeLabelToText(label, p_.window);
  }

  // What lies past the rows a menu screen draws is named, not dropped without a word.
  void RowsLeftOut() {
    std::int32_t left = 0;
    for (std::int32_t i = 1; i <= kEntryRows; ++i) {
      const std::string& type = spec_.Get(i, 1);
      if (type == "/TX") break;
      if (i > kMenuRowsDrawn && (type == "C" || type == "H" || type == "L")) ++left;
    }
    if (left == 0) return;
    const std::string warning = "DEVELOPERS' WARNING: this menu has " + std::to_string(left) +
                                " item lines past the " + std::to_string(kMenuRowsDrawn) +
                                " lines a menu screen shows; they are not drawn.";
    context_.Log(warning);
    context_.DevBox(warning);
  }

  void FormState() {
    m_.layout.msProgramPrevious = m_.layout.msPickProgram;
    m_.states.msState = std::string(state::kFormActive);
    p_.menu.suppressNavigateClick = true;
  }

  void Navigation() {
    const std::string& program = m_.layout.msPickProgram;
    std::string title = c_.formHeader[1].caption;
    if (!program.empty()) {
      for (std::size_t at = title.find(program); at != std::string::npos;
           at = title.find(program, at))
        title.erase(at, program.size());
    }
    p_.history.ScreenShown(program + ", " + title, menu_.navigate, menu_.back, menu_.forward);
  }

  ScreenParts& p_;
  ScreenModel& m_;
  FormControls& c_;
  MenuControls& menu_;
  EntrySpecTable& spec_;
  ShellContext& context_;
  const double w_;
  const double h_;
  const double cw_;  // the raster's cell
  const double ch_;
  StyleFields f_;
  double cw_column_ = 0;  // the column's width and left edge
  double l_ = 0;
  double maxHeight_ = 0;
  double topY_ = 0;
  double y_ = 0;
  double s_ = 0;  // the spacing after an item, in cell heights
  std::int32_t k_ = 0;
};

}  // namespace

void MenuDraw(ScreenParts& parts) { MenuDrawer(parts).Draw(); }

}  // namespace orvik::client
