// The screen form's window: it owns the form's core, paints the character terminal from an
// image the core draws on (the form's persistent image, which also holds a menu's back
// colour and picture), mirrors the core's control records into its widgets (the header
// labels, the menu's panels, item and narrative labels, selection box, buttons and
// navigation list), opens and closes the popup windows the core asks for, and turns its
// window and widget events (keys, mouse, clicks, activation, the close box) into the
// core's handlers.
//
// GUI thread only. Geometry crosses in twips and is drawn at 15 twips to the pixel; fonts are
// drawn at 96 dots per inch whatever the screen, so the terminal's 80 x 26 raster keeps its
// proportions. Texts are Latin-1 bytes: terminal bytes 176 to 223 are drawn as the
// box-drawing characters they stand for.

#ifndef ORVIK_CLIENT_UI_SCREEN_FORM_WIDGET_H_
#define ORVIK_CLIENT_UI_SCREEN_FORM_WIDGET_H_

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QWidget>
#include <array>
#include <map>
#include <memory>
#include <vector>

#include "form_entry_widgets.h"
#include "grid_widget.h"
#include "popup_window.h"
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

  // The widgets of the menu screen, as the records have them.
  QLabel* ItemLabel(std::int32_t index) const;  // lblItem(index), or nullptr
  QLabel* NarrativeLabel(std::int32_t index) const;
  QLabel* HeaderLabel(std::size_t index) const { return headers_[index]; }
  QFrame* MenuHeader() const { return menuHeader_; }
  QFrame* AltPanel() const { return altPanel_; }
  QLineEdit* AltSelect() const { return altSelect_; }
  QLabel* AltLabel() const { return altLabel_; }
  QPushButton* AltOk() const { return altOk_; }
  QPushButton* AltCancel() const { return altCancel_; }
  QPushButton* AltStart() const { return altStart_; }
  QPushButton* BackButton() const { return back_; }
  QPushButton* ForwardButton() const { return forward_; }
  QComboBox* Navigate() const { return navigate_; }
  QPushButton* ExitButton() const { return entryWidgets_->FnExit(); }  // cmdFnExit
  QPushButton* QuitButton() const { return entryWidgets_->FnQuit(); }  // cmdFnQuit
  QCheckBox* ShowCodes() const { return showCodes_; }
  // The data-entry screen's entry widgets and function buttons.
  FormEntryWidgets& EntryWidgets() { return *entryWidgets_; }
  // The data-entry screen's grid and its row buttons.
  GridWidget& GridWidgets() { return *gridWidget_; }
  // The popup windows open, by the core's id.
  PopupWindow* Popup(std::int32_t id) const;

  // ScreenWindow
  void SetCaption(const std::string& caption) override;
  void SetMaximized() override;
  void SetBoxGeometry(double left, double top, double width, double height) override;
  void Show() override;
  void SetEnabled(bool enabled) override;
  void LoadFunctionBackground(const std::string& path) override;
  void ClearBackgroundPicture() override;
  void PaintBackgroundTile(double x, double y, double width, double height) override;
  bool LoadFormPicture(const std::string& path) override;
  void OpenPopup(std::int32_t id, const PopupPicture& picture) override;
  void ClosePopup(std::int32_t id) override;
  bool FocusEntryControl(std::int32_t entry) override;
  void FocusForm() override;
  void FocusAltSelect(bool selectAll) override;
  std::string AskText(const std::string& prompt) override;
  CharMetrics MeasureText(const FormFont& font, std::string_view text) const override;
  bool PrintForm(std::string* error) override;
  void ControlsChanged() override;

  // cmdFnSearch and cmdFnScreenPrint, as their records say.
  QPushButton* SearchButton() const { return entryWidgets_->FnSearch(); }
  QPushButton* ScreenPrintButton() const { return entryWidgets_->FnScreenPrint(); }

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
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenuControls();
  void MirrorMenu();
  // Keys on the form or on the selection box: the core first, then Enter and Esc press the
  // default and cancel buttons. True when the key was taken.
  bool FormKey(QKeyEvent* event);
  void ClosePopups();
  void PaintPage();

  double rasterWidth_;
  double rasterHeight_;
  QImage canvas_;
  QPixmap functionBackground_;
  QRectF cursor_;
  bool cursorVisible_ = false;
  QScrollArea* view_;
  QWidget* page_;  // the raster: the canvas and every control of the screen
  std::array<QLabel*, 3> headers_{};
  QFrame* menuHeader_ = nullptr;
  QLabel* navigateLabel_ = nullptr;
  QComboBox* navigate_ = nullptr;
  QPushButton* back_ = nullptr;
  QPushButton* forward_ = nullptr;
  QCheckBox* showCodes_ = nullptr;
  QFrame* altPanel_ = nullptr;
  QLabel* altLabel_ = nullptr;
  QLineEdit* altSelect_ = nullptr;
  QPushButton* altOk_ = nullptr;
  QPushButton* altStart_ = nullptr;
  QPushButton* altScreenPrint_ = nullptr;
  QPushButton* altCancel_ = nullptr;
  std::vector<QLabel*> items_;
  std::vector<QLabel*> narratives_;
  std::map<std::int32_t, QPointer<PopupWindow>> popups_;
  bool closingByCode_ = false;
  FormEntryWidgets* entryWidgets_ = nullptr;
  GridWidget* gridWidget_ = nullptr;
  ScreenFormCore core_;  // last: it works on the members above
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_SCREEN_FORM_WIDGET_H_
