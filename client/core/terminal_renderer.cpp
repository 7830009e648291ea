#include "terminal_renderer.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "colours.h"
#include "markup.h"
#include "numbers.h"
#include "settings_parse.h"
#include "style_parse.h"
#include "tag_attribute.h"
#include "text.h"

namespace orvik::client {
namespace {

constexpr char kCr = '\r';
constexpr std::string_view kActionCodePrompt = "Please Enter your Action Code -->";
constexpr std::string_view kLoggedOffBox =
    "You have neatly and cleanly logged off\r\nfrom your server.  TTFN";
// The condensed font's size is the normal size divided by this.
constexpr double kCondensedRatio = 1.667;
// Lines 0 to 24 carry text; below 24.5 lines the screen scrolls.
constexpr double kLastLine = 24;
constexpr double kScrollLimit = 24.5;
// The columns of a terminal line.
constexpr double kTerminalColumns = 80;

double Whole(double twips) { return std::round(twips); }

}  // namespace

TerminalRenderer::TerminalRenderer(TerminalSurface& surface, ScreenModel& model,
                                   FormControls& controls, ShellServices& shell,
                                   TerminalEvents& events)
    : surface_(surface), model_(model), controls_(controls), shell_(shell), events_(events) {}

std::int32_t TerminalRenderer::CharWidth() const { return model_.layout.mCX; }
std::int32_t TerminalRenderer::CharHeight() const { return model_.layout.mCY; }

void TerminalRenderer::ResetRaster() {
  raster_.Reset(surface_.ScaleWidth(), surface_.ScaleHeight(), CharWidth(), CharHeight(),
                backColour_);
}

void TerminalRenderer::CursorSize() {
  FormFont& font = model_.layout.font;
  font.size = LongOf(static_cast<double>(shell_.Context().cellWidth)) / 12;
  CharMetrics metrics = surface_.Measure(font);
  // On a screen wider than 4:3 a font sized by the cell's width is too tall for the 26 lines,
  // and a font whose characters are a little wider than its size says would cut the last of
  // the 80 columns: it is made smaller until a line fits the cell's height and 80 characters
  // the form's width.
  const double columnsWidth = surface_.ScaleWidth() / kTerminalColumns;
  while ((metrics.height > shell_.CellHeight() || metrics.width > columnsWidth) &&
         font.size > 1) {
    font.size -= 0.5;
    metrics = surface_.Measure(font);
  }
  model_.layout.mCX = LongOf(metrics.width);
  model_.layout.mCY = LongOf(metrics.height);
  ResetRaster();
  surface_.SetCursor(cursorX_, cursorY_, CharWidth(), shell_.CellHeight(), cursorVisible_);
}

void TerminalRenderer::ClearForm() {
  surface_.Clear(backColour_);
  raster_.Clear(backColour_);
  currentX_ = currentY_ = 0;
}

void TerminalRenderer::Box(double x1, double y1, double x2, double y2, std::int32_t colour) {
  surface_.FillRect(x1, y1, x2, y2, colour);
  raster_.Fill(x1, y1, x2, y2, colour);
}

void TerminalRenderer::Scroll(double dy) {
  surface_.ScrollUp(dy, backColour_);
  raster_.ScrollUp(dy, backColour_);
  currentX_ = currentY_ = 0;
  cursorY_ -= dy;
}

void TerminalRenderer::EnterTerminalMode() {
  CursorSize();
  cursorVisible_ = true;
  cursorX_ = cursorY_ = 0;
  foreColour_ = kBlack;
  cellColour_ = kWhite;
  backColour_ = kWhite;
  events_.EnterTerminalMode();
  for (ControlRecord* button : {&controls_.fnScreenPrint, &controls_.fnSearch, &controls_.fnFile,
                                &controls_.fnQuit, &controls_.fnExit}) {
    button->visible = false;
  }
  controls_.fnQuitIsCancel = true;
  formHeaderShown_ = false;
  for (ControlRecord& label : controls_.formHeader) label.visible = false;
  model_.states.msFormState = std::string(state::kUpdate);
}

bool TerminalRenderer::LoggedOff(const std::string& data) {
  const std::string& response = shell_.Context().settings.appOffResponse;
  if ((response.empty() || FindNoCase(data, response) == std::string::npos) &&
      FindNoCase(data, "<APPOFF_OK>") == std::string::npos) {
    return false;
  }
  shell_.Context().dialogs.MessageBox(std::string(kLoggedOffBox), BoxButtons::kOk, BoxIcon::kNone);
  events_.LoggedOff();
  return true;
}

void TerminalRenderer::Draw() {
  if (coloursSaved_) {
    cellColour_ = cellColourSaved_;
    foreColour_ = foreColourSaved_;
    coloursSaved_ = false;
  }
  if (model_.states.msFormState == state::kTerminal) EnterTerminalMode();

  std::string data = model_.texts.msData;
  if (LoggedOff(data)) return;
  if (const std::size_t tag = FindNoCase(data, "<ACTIONCODE"); tag != std::string::npos) {
    if (const std::size_t close = data.find('>', tag); close != std::string::npos)
      data.insert(close + 1, kActionCodePrompt);
  }
  if (FindNoCase(data, "<FORMHEADER") != std::string::npos) formHeaderShown_ = true;

  const ClientSettings& settings = shell_.Context().settings;
  const bool commas = settings.tagSeparator == ',' || settings.positionSeparator == ',';
  std::string_view previous;  // the name of the tag handled just before
  std::size_t at = 0;
  while (at < data.size()) {
    if (data[at] == '<') {
      const std::size_t close = data.find('>', at + 1);
      if (close == std::string::npos) {
        PrintRun(data.substr(at));  // a tag that never closes is text, and the last of it
        break;
      }
      std::string body = TagBody(std::string_view(data).substr(at + 1, close - at - 1), commas);
      if (body.starts_with("ETYPE=") || FirstWord(body) == "NOMINATE") {
        body = "TEXTBOX ";
      } else if (body == "UPDATE") {
        body = "FORM TYPE=UPDATE";
      }
      at = close + 1;
      const std::string_view name = FirstWord(body);
      if (!Tag(name, body)) break;
      previous = name == "FORMHEADER" ? "FORMHEADER" : name == "POSITION" ? "POSITION" : "";
      continue;
    }
    const std::size_t next = std::min(data.find('<', at), data.size());
    std::string run = data.substr(at, next - at);
    at = next;
    if (previous == "FORMHEADER") {
      FormHeader(run);
    } else if (previous != "POSITION" || !formHeaderShown_ || termRow_ >= 3) {
      // The form-header labels cover lines 0 to 2: what is placed there is not drawn.
      PrintRun(std::move(run));
    }
    previous = "";
  }

  surface_.SetCursor(cursorX_, cursorY_, CharWidth(), shell_.CellHeight(), cursorVisible_);
  shell_.SetAwaitingReply(false);
}

bool TerminalRenderer::Tag(std::string_view name, const std::string& body) {
  ShellContext& context = shell_.Context();
  ClientSettings& settings = context.settings;
  if (name == "AUTORX") {
    shell_.Send(settings.eos);
  } else if (name == "INI") {
    SettingsParse(body, settings, ShellOutlets{&context.dialogs, context.monitor});
  } else if (name == "STYLE") {
    StyleParse(body, context.styles, settings.tagSeparator, context.cellWidth);
  } else if (name == "FORM" || name == "REFRESH") {
    if (body.find("UPDATE") == std::string::npos) ClearForm();
    if (TagAttribute(body, "CONDENSED") == "TRUE") Condense();
  } else if (name == "DO_POPUP") {
    const std::int32_t index = LongOf(TagAttribute(body, "INDEX"));
    const std::string block = model_.popups.Get(index);  // VbError 9 outside 1..5
    events_.OpenTerminalPopup(index, block);
  } else if (name == "ATF") {
    Atf(Val(TagAttribute(body, "@")));
  } else if (name == "POSITION") {
    Position(body);
  } else if (name == "HR") {
    const double y = cursorY_ + shell_.CellHeight() / 2;
    surface_.HorizontalLine(-100, surface_.ScaleWidth() + 100, y, QBColor(4));
  } else if (name == "ACTIONCODE") {
    DialogueLineColours(QBColor(4));
    cursorX_ = CharWidth();
    cursorY_ = static_cast<double>(settings.dialogLine) * CharHeight();
    termRow_ = 0;
    currentX_ = cursorX_;
    currentY_ = cursorY_;
  } else if (name == "MSGBOX") {
    DialogueLineColours(foreColour_);
    cursorX_ = 0;
    cursorY_ = static_cast<double>(settings.dialogLine) * CharHeight();
    Box(0, cursorY_, 80.0 * CharWidth(), cursorY_ + CharHeight(), kWhite);
    currentX_ = cursorX_;
    currentY_ = cursorY_;
    foreColour_ = QBColor(4);
  } else if (name == "/TX" || name == "TEXTBOX") {
    return false;
  }
  return true;
}

// The colours of the dialogue line last until the next transmission is drawn.
void TerminalRenderer::DialogueLineColours(std::int32_t fore) {
  coloursSaved_ = true;
  cellColourSaved_ = cellColour_;
  foreColourSaved_ = foreColour_;
  cellColour_ = QBColor(14);
  foreColour_ = fore;
}

// A font already condensed stays as it is: dividing again on every screen that asks for the
// condensed layout would shrink the text to nothing.
void TerminalRenderer::Condense() {
  if (model_.layout.mbCondensed) return;
  FormFont& font = model_.layout.font;
  font.size /= kCondensedRatio;
  model_.layout.mbCondensed = true;
  model_.layout.mCX = LongOf(surface_.Measure(font).width);
  ResetRaster();
}

void TerminalRenderer::Position(const std::string& body) {
  termRow_ = LongOf(TagAttribute(body, "TOP"));
  cursorY_ = static_cast<double>(termRow_) * CharHeight();
  termCol_ = LongOf(TagAttribute(body, "LEFT"));
  cursorX_ = static_cast<double>(termCol_) * CharWidth();
  if (termRow_ == shell_.Context().settings.dialogLine)
    Box(0, cursorY_, surface_.ScaleWidth(), cursorY_ + CharHeight(), kWhite);
  currentX_ = cursorX_;
  currentY_ = cursorY_;
}

void TerminalRenderer::Atf(double code) {
  const bool trueColour = shell_.Context().settings.trueColor;
  const double width = surface_.ScaleWidth();
  if (code == -1) {
    ClearForm();
  } else if (code == -2) {
    cursorX_ = cursorY_ = currentX_ = currentY_ = 0;
  } else if (code == -3) {
    cursorX_ = currentX_;
    cursorY_ = currentY_;
    Box(cursorX_, cursorY_, width, cursorY_ + shell_.CellHeight(), kWhite);
    Box(0, cursorY_ + CharHeight(), width, surface_.ScaleHeight(), kWhite);
  } else if (code == -4) {
    cursorX_ = currentX_;
    cursorY_ = currentY_;
    Box(cursorX_, cursorY_, width, cursorY_ + CharHeight(), kWhite);
  } else if (code == -9) {
    // A backspace never leaves the screen at its left edge.
    cursorX_ = std::max(currentX_ - CharWidth(), 0.0);
    currentX_ = cursorX_;
    surface_.SetCursor(cursorX_, cursorY_, CharWidth(), shell_.CellHeight(), cursorVisible_);
    Box(cursorX_, cursorY_, cursorX_ + CharWidth(), cursorY_ + CharHeight(), cellColour_);
  } else if (code == -33) {
    cellColour_ = kBlack;
  } else if (code == -34) {
    cellColour_ = QBColor(14);
  } else if (code == -35) {
    cellColour_ = trueColour ? Rgb(255, 127, 255) : QBColor(14);
  } else if (code == -36) {
    cellColour_ = Rgb(255, 127, 127);
  } else if (code == -37) {
    cellColour_ = Rgb(0, 255, 255);
  } else if (code == -38) {
    cellColour_ = Rgb(192, 255, 192);
  } else if (code == -39) {
    cellColour_ = trueColour ? Rgb(192, 192, 255) : QBColor(11);
  } else if (code == -40) {
    cellColour_ = kWhite;
  } else if (code == -41 || code == -57) {
    foreColour_ = kBlack;
  } else if (code <= -42 && code >= -47 && code == std::floor(code)) {
    foreColour_ = QBColor(static_cast<int>(code) + 48);
  } else if (code == -48 || code == -64) {
    foreColour_ = kWhite;
  } else if (code <= -58 && code >= -63 && code == std::floor(code)) {
    foreColour_ = QBColor(static_cast<int>(code) + 72);
  } else if (code == -100) {
    model_.layout.font.bold = true;
  } else if (code == -101) {
    model_.layout.font.bold = false;
  } else if (code == -1001) {
    Condense();
    ClearForm();
  } else if (code == -1002) {
    model_.layout.mbCondensed = false;
    CursorSize();
    ClearForm();
  }
}

void TerminalRenderer::PrintRun(std::string run) {
  // A line feed on its own (the engine's CR LF has already become CR) starts a line too.
  std::replace(run.begin(), run.end(), '\n', kCr);
  const double n = static_cast<double>(run.size());
  const std::size_t firstCr = run.find(kCr);
  const double cw = CharWidth();
  const double ch = CharHeight();
  if (firstCr == std::string::npos) {
    Box(cursorX_, cursorY_, cursorX_ + n * cw, cursorY_ + ch, cellColour_);
  } else if (firstCr + 1 == run.size()) {
    Box(cursorX_, cursorY_, cursorX_ + (n - 1) * cw, cursorY_ + ch, cellColour_);
  } else {
    const auto lines = static_cast<double>(std::count(run.begin(), run.end(), kCr) + 1);
    const double last = cursorY_ + (lines - 1) * ch;
    if (last > kScrollLimit * ch) Scroll(last - kLastLine * ch);
  }

  // Print: each line from the print position, a CR back to the left edge one line down.
  currentX_ = cursorX_;
  currentY_ = cursorY_;
  const FormFont& font = model_.layout.font;
  std::size_t from = 0;
  for (;;) {
    const std::size_t cr = std::min(run.find(kCr, from), run.size());
    const std::string_view line = std::string_view(run).substr(from, cr - from);
    if (!line.empty()) {
      surface_.DrawText(currentX_, currentY_, line, font, foreColour_);
      raster_.Print(currentX_, currentY_, line, foreColour_);
      currentX_ += static_cast<double>(line.size()) * cw;
    }
    if (cr == run.size()) break;
    currentX_ = 0;
    currentY_ += ch;
    from = cr + 1;
  }
  cursorX_ = Whole(currentX_);
  cursorY_ = Whole(currentY_);

  if (cursorY_ > kScrollLimit * ch) {
    Scroll(cursorY_ - kLastLine * ch);
    cursorY_ = kLastLine * ch;
    currentY_ = cursorY_;
  }
}

void TerminalRenderer::FormHeader(std::string_view run) {
  const double width = surface_.ScaleWidth();
  Functions& fns = shell_.Context().fns;
  std::array<ControlRecord, 3>& labels = controls_.formHeader;
  labels[0].left = 0;
  labels[0].width = width / 5;
  labels[1].left = labels[0].width;
  labels[1].width = width * 3 / 5;
  labels[2].left = labels[1].left + labels[1].width;
  labels[2].width = width - labels[2].left;
  for (std::int32_t i = 0; i < 3; ++i) {
    ControlRecord& label = labels[static_cast<std::size_t>(i)];
    label.top = 0;
    label.height = 3.0 * CharHeight();  // over lines 0 to 2
    label.caption = fns.Field(run, ",", i + 1);
    label.visible = true;
  }
}

void TerminalRenderer::RubOutLeft() {
  if (cursorX_ < CharWidth()) return;
  cursorX_ = Whole(cursorX_ - CharWidth());
  surface_.SetCursor(cursorX_, cursorY_, CharWidth(), shell_.CellHeight(), cursorVisible_);
  Box(cursorX_, cursorY_, cursorX_ + CharWidth(), cursorY_ + shell_.CellHeight(), kWhite);
}

}  // namespace orvik::client
