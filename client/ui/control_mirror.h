// How a control record (form_controls.h) is mirrored into a Qt widget: place and size in
// pixels from twips, showing and enabling, colours, font and text placement.
//
// Pure functions on widgets; GUI thread only.

#ifndef ORVIK_CLIENT_UI_CONTROL_MIRROR_H_
#define ORVIK_CLIENT_UI_CONTROL_MIRROR_H_

#include <QAbstractButton>
#include <QLabel>
#include <QRectF>
#include <QWidget>

#include "form_controls.h"

namespace orvik::client {

QRectF PixelRect(double x1, double y1, double x2, double y2);
// What every kind of control shares. A control inside a panel is placed within it.
void MirrorCommon(QWidget* widget, const ControlRecord& record);
Qt::Alignment QtAlignment(TextAlign align);
void MirrorLabel(QLabel* label, const ControlRecord& record);
void MirrorButton(QAbstractButton* button, const ControlRecord& record);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_CONTROL_MIRROR_H_
