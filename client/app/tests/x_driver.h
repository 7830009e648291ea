// What a user does to windows on an X display, and what he sees there, for the tests that
// drive the real client: key presses and mouse clicks through the X server (xdotool, whose
// events reach the client exactly as a keyboard's and a mouse's do), windows found by their
// process and title, their pictures, and the text a program put on the clipboard.
//
// Made and used on the test's main thread, which has a QGuiApplication on the same display
// (the pictures and the clipboard are read through it). Every wait pumps that thread's
// events and ends at a time limit; what failed comes back as false, 0 or an empty value.

#ifndef ORVIK_CLIENT_APP_TESTS_X_DRIVER_H_
#define ORVIK_CLIENT_APP_TESTS_X_DRIVER_H_

#include <QImage>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvik::client::xtest {

using WindowId = std::uint64_t;
using namespace std::chrono_literals;

// Pumps events until `done` holds or `limit` has passed; `done`'s last answer.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s);

struct WindowGeometry {
  int x = 0, y = 0, width = 0, height = 0;
};

class XDriver {
 public:
  explicit XDriver(std::string display) : display_(std::move(display)) {}

  // The visible windows of process `pid` whose title matches the regular expression `title`
  // (xdotool's), newest last.
  std::vector<WindowId> Windows(std::int64_t pid, const std::string& title);
  // The first such window once one shows, or 0 after `limit`.
  WindowId WaitWindow(std::int64_t pid, const std::string& title,
                      std::chrono::milliseconds limit = 20s);
  // Whether no such window shows any more, within `limit`.
  bool WaitNoWindow(std::int64_t pid, const std::string& title,
                    std::chrono::milliseconds limit = 20s);
  std::string Title(WindowId window);
  WindowGeometry Geometry(WindowId window);

  // Sizes `window` as a user dragging its border does.
  bool Resize(WindowId window, int width, int height);
  // Types `text` (printable characters) into the focused window.
  bool Type(const std::string& text);
  // Presses keys by their X names ("Return", "shift+F12", "alt+y"), one after another.
  bool Keys(const std::vector<std::string>& keys);
  // Moves the mouse to (x, y) inside `window` and clicks the left button `count` times.
  bool Click(WindowId window, int x, int y, int count = 1);

  // The window's picture as the screen shows it.
  QImage Picture(WindowId window);
  // The clipboard's text.
  std::string Clipboard();

 private:
  bool Run(const QStringList& args, std::string* out = nullptr, std::string* err = nullptr);
  std::string display_;
};

}  // namespace orvik::client::xtest

#endif  // ORVIK_CLIENT_APP_TESTS_X_DRIVER_H_
