// A popup window of a screen form: a small window over it that paints the picture the core
// drew from a POPUP block (highlight boxes, text one character a cell, rules and box lines
// in their pen widths) and offers an OK button. It stays above its screen form.
//
// GUI thread only. Its OK button, its close box and Shift+F12 go to the form's core, which
// decides which popups close; Enter presses its OK. The window closes by code (CloseByCode)
// without asking the core again. Geometry arrives in twips and is drawn at 15 twips to the pixel.

#ifndef ORVIK_CLIENT_UI_POPUP_WINDOW_H_
#define ORVIK_CLIENT_UI_POPUP_WINDOW_H_

#include <QImage>
#include <QPushButton>
#include <QWidget>
#include <cstdint>

#include "popup_picture.h"

namespace orvik::client {

class ScreenFormCore;

class PopupWindow final : public QWidget {
  Q_OBJECT

 public:
  // A window over `form` (its parent), placed from the form's top left corner.
  PopupWindow(QWidget* form, ScreenFormCore& core, std::int32_t id, const PopupPicture& picture);

  std::int32_t Id() const { return id_; }
  const QImage& Image() const { return image_; }
  QPushButton* OkButton() const { return ok_; }
  void CloseByCode();
  // Shows the window with the keyboard: Enter presses its OK at once, as in a box.
  void Present();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Paint(const PopupPicture& picture);

  ScreenFormCore& core_;
  std::int32_t id_;
  QImage image_;
  QPushButton* ok_;
  bool closingByCode_ = false;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_POPUP_WINDOW_H_
