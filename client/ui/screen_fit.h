// Windows kept where the user can reach them: a place and size a transmission names (any
// number may come, a popup at TOP=99999999, a box of 36 KB of text) brought onto the screen
// that shows the window, whole when it fits, else as much of it as the screen holds.
//
// GUI thread only.

#ifndef ORVIK_CLIENT_UI_SCREEN_FIT_H_
#define ORVIK_CLIENT_UI_SCREEN_FIT_H_

#include <QRect>
#include <QWidget>

namespace orvik::client {

// The screen area windows may take: the available geometry of the screen `near` is on (the
// primary screen when none).
QRect WindowArea(const QWidget* near = nullptr);

// Where the inside of `window` may lie for its frame (title bar, borders) to be on the screen
// too: the window area less the frame the window manager gives it, or, before it has one, the
// frame a manager usually gives. A manager may put the frame, not the inside, where the
// window asks to be, which moves the inside down by the title bar: that much more is kept
// free at the bottom.
QRect InsideArea(const QWidget* window);

// `wanted` (in screen pixels) made no larger than `area` and moved the least way that puts it
// inside.
QRect FitOnScreen(const QRect& wanted, const QRect& area);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_SCREEN_FIT_H_
