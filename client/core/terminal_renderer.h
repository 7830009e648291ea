// The character terminal of a screen form: draws received terminal text (the model's
// msData) on the form's surface as a terminal would, with its inline tags: print positions
// in character cells, clears, colours, rules, the three form-header labels, popups, the
// condensed font, the action-code prompt and the dialogue line; INI and STYLE tags apply
// settings and styles, AUTORX answers the engine at once.
//
// One renderer per screen form, on the GUI thread, called by the dispatcher (through the
// form's TerminalDraw) and by terminal typing. The print position, colours and font stay
// between calls. Errors of the model (a popup index outside 1..5) are thrown as VbError
// and reach the dispatcher, which steps down to terminal mode. Boxes go through the shell's
// dialogs and may pump events.

#ifndef ORVIK_CLIENT_CORE_TERMINAL_RENDERER_H_
#define ORVIK_CLIENT_CORE_TERMINAL_RENDERER_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "form_controls.h"
#include "screen_model.h"
#include "shell_services.h"
#include "terminal_surface.h"
#include "text_raster.h"

namespace orvik::client {

inline constexpr std::int32_t kWhite = 0xFFFFFF;
inline constexpr std::int32_t kBlack = 0;

// What the renderer asks of the screen form it draws on.
class TerminalEvents {
 public:
  virtual ~TerminalEvents() = default;
  // The form becomes a terminal: every control of the other screen kinds goes, and the
  // form's entry and typing state starts afresh.
  virtual void EnterTerminalMode() = 0;
  // A popup window shows popup block `index` (already read from the model's slots).
  virtual void OpenTerminalPopup(std::int32_t index, const std::string& block) = 0;
  // The engine confirmed the log-off: the form unloads (the first screen form's unload
  // ends the program).
  virtual void LoggedOff() = 0;
};

class TerminalRenderer {
 public:
  TerminalRenderer(TerminalSurface& surface, ScreenModel& model, FormControls& controls,
                   ShellServices& shell, TerminalEvents& events);

  // TermCursorSize: the terminal font from the raster's cell width, the measured character
  // cell (the model's mCX, mCY) and the cursor's size.
  void CursorSize();
  // TerminalDraw: draws the model's msData.
  void Draw();
  // A Backspace typed on the terminal: the cursor moves one cell left and that cell is
  // blanked. Nothing happens at the left edge.
  void RubOutLeft();

  const TextRaster& Raster() const { return raster_; }
  double CursorX() const { return cursorX_; }
  double CursorY() const { return cursorY_; }
  std::int32_t CellColour() const { return cellColour_; }
  std::int32_t ForeColour() const { return foreColour_; }
  const FormFont& Font() const { return model_.layout.font; }

 private:
  enum class RunKind { kText, kIgnore, kFormHeader };

  void EnterTerminalMode();
  bool LoggedOff(const std::string& data);
  // False when the walk stops here.
  bool Tag(std::string_view name, const std::string& body);
  void Atf(double code);
  void Position(const std::string& body);
  void DialogueLineColours(std::int32_t fore);
  void Condense();
  void PrintRun(std::string run);
  void FormHeader(std::string_view run);

  // The drawing primitives, on the surface and the raster alike.
  void ClearForm();
  void Box(double x1, double y1, double x2, double y2, std::int32_t colour);
  void Scroll(double dy);
  void ResetRaster();
  std::int32_t CharWidth() const;
  std::int32_t CharHeight() const;

  TerminalSurface& surface_;
  ScreenModel& model_;
  FormControls& controls_;
  ShellServices& shell_;
  TerminalEvents& events_;
  TextRaster raster_;

  double cursorX_ = 0;  // TermCursorX, TermCursorY: where the next character goes
  double cursorY_ = 0;
  double currentX_ = 0;  // the form's own print position (CurrentX, CurrentY)
  double currentY_ = 0;
  std::int32_t foreColour_ = kBlack;
  std::int32_t backColour_ = kWhite;
  std::int32_t cellColour_ = kWhite;
  bool coloursSaved_ = false;
  std::int32_t cellColourSaved_ = kWhite;
  std::int32_t foreColourSaved_ = kBlack;
  std::int32_t termRow_ = 0;
  std::int32_t termCol_ = 0;
  bool formHeaderShown_ = false;
  bool cursorVisible_ = false;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TERMINAL_RENDERER_H_
