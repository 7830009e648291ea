// Keeps a top-level widget above the other windows, or takes it back out of that band.
//
// GUI thread only. Changing the flag makes Qt re-create the native window; the widget keeps
// its geometry and, when it was showing, is shown again without taking the focus.

#ifndef ORVIK_CLIENT_UI_WIDGET_TOP_MOST_H_
#define ORVIK_CLIENT_UI_WIDGET_TOP_MOST_H_

#include <QPointer>
#include <QWidget>

#include "top_most.h"

namespace orvik::client {

class WidgetTopMost final : public TopMostWindow {
 public:
  explicit WidgetTopMost(QWidget* window) : window_(window) {}

  // Does nothing once the widget is gone.
  void SetTopMost(bool onTop) override;

 private:
  QPointer<QWidget> window_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_WIDGET_TOP_MOST_H_
