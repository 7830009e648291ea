#include "screen_fit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <algorithm>

namespace orvik::client {

QRect WindowArea(const QWidget* near) {
  const QScreen* screen = near != nullptr ? near->screen() : nullptr;
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QRect InsideArea(const QWidget* window) {
  // A title bar and thin borders, until the window has a frame of its own.
  QMargins frame(4, 30, 4, 4);
  const QWindow* handle = window != nullptr ? window->windowHandle() : nullptr;
  if (handle != nullptr && !handle->frameMargins().isNull()) frame = handle->frameMargins();
  frame.setBottom(frame.bottom() + frame.top());
  return WindowArea(window).marginsRemoved(frame);
}

QRect FitOnScreen(const QRect& wanted, const QRect& area) {
  const int width = std::clamp(wanted.width(), 1, std::max(area.width(), 1));
  const int height = std::clamp(wanted.height(), 1, std::max(area.height(), 1));
  const int left = std::clamp(wanted.left(), area.left(), area.left() + area.width() - width);
  const int top = std::clamp(wanted.top(), area.top(), area.top() + area.height() - height);
  return QRect(left, top, width, height);
}

}  // namespace orvik::client
