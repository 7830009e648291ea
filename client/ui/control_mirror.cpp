#include "control_mirror.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "widget_look.h"

namespace orvik::client {
QRectF PixelRect(double x1, double y1, double x2, double y2) {
  return QRectF(QPointF(ClampedPixels(std::min(x1, x2)), ClampedPixels(std::min(y1, y2))),
                QPointF(ClampedPixels(std::max(x1, x2)), ClampedPixels(std::max(y1, y2))));
}

// Mirrors what every kind of control shares: place, size, showing, enabling, colours, font
// and text placement. A control inside a panel is placed within it.
void MirrorCommon(QWidget* widget, const ControlRecord& record) {
  widget->setGeometry(
      PixelRect(record.left, record.top, record.left + record.width, record.top + record.height)
          .toRect());
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, QtColour(record.backColour));
  palette.setColor(QPalette::WindowText, QtColour(record.foreColour));
  widget->setPalette(palette);
  widget->setAutoFillBackground(record.opaque);
  widget->setFont(QtFont(record.font));
  widget->setEnabled(record.enabled);
  if (record.front) widget->raise();
  widget->setVisible(record.visible);
}

Qt::Alignment QtAlignment(TextAlign align) {
  switch (align) {
    case TextAlign::kRight:
      return Qt::AlignRight | Qt::AlignVCenter;
    case TextAlign::kCentre:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    case TextAlign::kLeft:
      break;
  }
  return Qt::AlignLeft | Qt::AlignTop;
}

void MirrorLabel(QLabel* label, const ControlRecord& record) {
  // Captions come from transmissions: markup in them is shown as it stands, never rendered
  // (nor any picture it names loaded).
  label->setTextFormat(Qt::PlainText);
  label->setText(FromLatin1(record.caption));
  label->setAlignment(QtAlignment(record.alignment));
  label->setWordWrap(record.wordWrap);
  label->setFrameShape(record.border ? QFrame::Box : QFrame::NoFrame);
  MirrorCommon(label, record);
}

void MirrorButton(QAbstractButton* button, const ControlRecord& record) {
  button->setText(FromLatin1(record.caption));
  MirrorCommon(button, record);
  button->setAutoFillBackground(false);
  if (auto* push = qobject_cast<QPushButton*>(button)) push->setDefault(record.isDefault);
}

}  // namespace orvik::client
