// A window manager on the tests' private X server, as on a user's desktop: it decorates the
// client's windows, gives the keyboard to a window when it is mapped or clicked, and places
// and stacks them. Without one, the keyboard goes wherever the pointer is, and nothing
// activates or deactivates a window as users see it happen.
//
// Openbox with its stock settings: made and used on the test's main thread, after the X
// server started; it dies with the test process, however that ends, and ends with Stop (or
// the destructor). Failures come back as false with the reason in `error`.

#ifndef ORVIK_CLIENT_APP_TESTS_X_WINDOW_MANAGER_H_
#define ORVIK_CLIENT_APP_TESTS_X_WINDOW_MANAGER_H_

#include <sys/types.h>

#include <string>

namespace orvik::client::xtest {

class WindowManager {
 public:
  WindowManager() = default;
  ~WindowManager() { Stop(); }
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  // Starts it on `display` (":N") and returns once it manages the screen.
  bool Start(const std::string& display, std::string* error);
  void Stop();

 private:
  pid_t pid_ = -1;
  int output_ = -1;
};

}  // namespace orvik::client::xtest

#endif  // ORVIK_CLIENT_APP_TESTS_X_WINDOW_MANAGER_H_
