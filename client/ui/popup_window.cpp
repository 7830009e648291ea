#include "popup_window.h"

#include <QCloseEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "screen_fit.h"
#include "screen_form_core.h"
#include "twips.h"
#include "widget_look.h"

namespace orvik::client {
namespace {

constexpr int kDotsPerMetre = 3780;  // 96 dots per inch: the fonts are drawn at that
// A popup's size in pixels is kept within this: a block may name any number, and the
// window's image is allocated at its size.
constexpr double kMostPixels = 4096;

int Whole(double twips) { return static_cast<int>(std::lround(ClampedPixels(twips))); }
int Size(double twips) {
  return std::max(static_cast<int>(std::lround(ClampedPixels(twips, kMostPixels))), 1);
}

}  // namespace

PopupWindow::PopupWindow(QWidget* form, ScreenFormCore& core, std::int32_t id,
                         const PopupPicture& picture)
    : QWidget(form, Qt::Tool | Qt::WindowStaysOnTopHint),
      core_(core),
      id_(id),
      image_(Size(picture.width), Size(picture.height), QImage::Format_RGB32),
      ok_(new QPushButton("OK", this)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(FromLatin1(picture.title));
  image_.setDotsPerMeterX(kDotsPerMetre);
  image_.setDotsPerMeterY(kDotsPerMetre);
  Paint(picture);
  // On the screen, whatever the block names, with its OK inside what shows; the window's
  // frame is allowed for.
  const QRect area = InsideArea(this);
  const QPoint origin = form->mapToGlobal(QPoint(0, 0));
  const QRect place = FitOnScreen(
      QRect(origin + QPoint(Whole(picture.left), Whole(picture.top)), image_.size()), area);
  setFixedSize(place.size());
  setGeometry(place);  // the inside: the frame goes round it
  const QSize ok(Whole(picture.okWidth), Whole(picture.okHeight));
  const QRect okPlace = FitOnScreen(
      QRect(QPoint(Whole(picture.okLeft), Whole(picture.okTop)), ok), QRect(QPoint(0, 0), size()));
  ok_->setGeometry(okPlace);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, [this] { core_.PopupOk(id_); });
}

void PopupWindow::Paint(const PopupPicture& picture) {
  image_.fill(QtColour(picture.backColour));
  QPainter painter(&image_);
  painter.setRenderHint(QPainter::Antialiasing, false);
  const QFont font = QtFont(picture.font);
  painter.setFont(font);
  const QFontMetricsF metrics(font, &image_);
  for (const PopupStroke& stroke : picture.strokes) {
    const QColor colour = QtColour(stroke.colour);
    switch (stroke.kind) {
      case PopupStroke::Kind::kFill:
        painter.fillRect(QRectF(QPointF(ClampedPixels(stroke.x1), ClampedPixels(stroke.y1)),
                                QPointF(ClampedPixels(stroke.x2), ClampedPixels(stroke.y2))),
                         colour);
        break;
      case PopupStroke::Kind::kLine:
        painter.setPen(QPen(colour, stroke.penWidth, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(ClampedPixels(stroke.x1), ClampedPixels(stroke.y1)),
                         QPointF(ClampedPixels(stroke.x2), ClampedPixels(stroke.y2)));
        break;
      case PopupStroke::Kind::kText: {
        painter.setPen(colour);
        QPointF at(ClampedPixels(stroke.x1), ClampedPixels(stroke.y1) + metrics.ascent());
        for (const char c : stroke.text) {
          if (c != ' ') painter.drawText(at, QString(QChar::fromLatin1(c)));
          at.rx() += ClampedPixels(stroke.advance);
        }
        break;
      }
    }
  }
}

void PopupWindow::CloseByCode() {
  closingByCode_ = true;
  close();
}

void PopupWindow::Present() {
  show();
  raise();
  activateWindow();
  ok_->setFocus(Qt::ActiveWindowFocusReason);
}

void PopupWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, image_);
}

void PopupWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    ok_->click();
    return;
  }
  const std::int32_t code = KeyCodeOf(*event);
  if (code != 0) core_.PopupKeyDown(code, ShiftOf(*event));
  QWidget::keyPressEvent(event);
}

void PopupWindow::closeEvent(QCloseEvent* event) {
  if (!closingByCode_) core_.PopupCloseBox(id_);
  event->accept();
}

}  // namespace orvik::client
