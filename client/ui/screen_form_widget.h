// The screen form's window: it owns the form's core, paints the character terminal from an
// image the core draws on (the form's persistent image), mirrors the core's control records
// into its widgets, and turns its window events (keys, mouse, activation, the close box)
// into the core's handlers.
//
// GUI thread only. Geometry crosses in twips and is drawn at 15 twips to the pixel; fonts are
// drawn at 96 dots per inch whatever the screen, so the terminal's 80 x 26 raster keeps its
// proportions. Texts are Latin-1 bytes: terminal bytes 176 to 223 are drawn as the
// box-drawing characters they stand for.

#ifndef ORVIK_CLIENT_UI_SCREEN_FORM_WIDGET_H_
#define ORVIK_CLIENT_UI_SCREEN_FORM_WIDGET_H_

#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "screen_form_core.h"
#include "screen_window.h"
#include "shell_services.h"
#include "terminal_surface.h"

namespace orvik::client {

class ScreenFormWidget final : public QWidget, public ScreenWindow, public TerminalSurface {
  Q_OBJECT

 public:
  // `raster` is the 80 x 26 raster's size in twips.
  ScreenFormWidget(ShellServices& shell, double rasterWidth, double rasterHeight);
  ~ScreenFormWidget() override;

  ScreenFormCore& Core() { return core_; }
  // What the terminal shows, as drawn.
  const QImage& Canvas() const { return canvas_; }
  // Closes the window without the close box's question (a sub-form popped, the program
  // ending), with its popups.
  void CloseByCode();
  // The option menu as the right button opens it (for its entries' states).
  std::unique_ptr<QMenu> OptionMenu();

  // ScreenWindow
  void SetCaption(const std::string& caption) override;
  void SetMaximized() override;
  void Show() override;
  void SetEnabled(bool enabled) override;
  void LoadFunctionBackground(const std::string& path) override;
  void ClearBackgroundPicture() override;
  void PaintBackgroundTile(double x, double y, double width, double height) override;
  void OpenPopup(std::int32_t index, const std::string& block, bool terminal) override;
  void ClosePopups() override;
  bool FocusEntryControl(std::int32_t entry) override;
  bool PrintForm(std::string* error) override;
  void ControlsChanged() override;

  // cmdFnSearch and cmdFnScreenPrint, as their records say.
  QPushButton* SearchButton() const { return fnSearch_; }
  QPushButton* ScreenPrintButton() const { return fnScreenPrint_; }

  // TerminalSurface
  double ScaleWidth() const override { return rasterWidth_; }
  double ScaleHeight() const override { return rasterHeight_; }
  CharMetrics Measure(const FormFont& font) const override;
  void Clear(std::int32_t background) override;
  void FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) override;
  void HorizontalLine(double x1, double x2, double y, std::int32_t colour) override;
  void DrawText(double x, double y, std::string_view bytes, const FormFont& font,
                std::int32_t colour) override;
  void ScrollUp(double dy, std::int32_t background) override;
  void SetCursor(double x, double y, double width, double height, bool visible) override;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  double rasterWidth_;
  double rasterHeight_;
  QImage canvas_;
  QPixmap functionBackground_;
  QRectF cursor_;
  bool cursorVisible_ = false;
  std::array<QLabel*, 3> headers_{};
  QPushButton* fnSearch_;
  QPushButton* fnScreenPrint_;
  std::vector<QPointer<QWidget>> popups_;
  bool closingByCode_ = false;
  ScreenFormCore core_;  // last: it works on the members above
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_SCREEN_FORM_WIDGET_H_
