#include "widget_top_most.h"

namespace orvik::client {

void WidgetTopMost::SetTopMost(bool onTop) {
  if (!window_ || window_->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) return;
  const bool visible = window_->isVisible();
  const QRect geometry = window_->geometry();
  window_->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);  // hides a shown window
  window_->setGeometry(geometry);
  if (visible) {
    const bool withoutActivating = window_->testAttribute(Qt::WA_ShowWithoutActivating);
    window_->setAttribute(Qt::WA_ShowWithoutActivating, true);
    window_->show();
    window_->setAttribute(Qt::WA_ShowWithoutActivating, withoutActivating);
  }
}

}  // namespace orvik::client
