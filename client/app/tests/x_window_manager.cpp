#include "x_window_manager.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "x_child.h"

namespace orvik::client::xtest {

bool WindowManager::Start(const std::string& display, std::string* error) {
  Stop();
  // Openbox runs its start-up command once it manages the screen; the command writes a line
  // on the manager's output, a pipe read here. The pipe stays open while the manager runs, so
  // that whatever it writes later never meets a closed pipe.
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) {
    *error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  const char* had = ::getenv("DISPLAY");
  const std::string before = had ? had : "";
  ::setenv("DISPLAY", display.c_str(), 1);
  // Its stock settings, never a user's own (the test's HOME may hold any), and no session
  // manager to register with.
  pid_ = StartTiedChild({"openbox", "--sm-disable", "--config-file", "/etc/xdg/openbox/rc.xml",
                         "--startup", "echo managing"},
                        ready[1], -1, error);
  if (had) {
    ::setenv("DISPLAY", before.c_str(), 1);
  } else {
    ::unsetenv("DISPLAY");
  }
  ::close(ready[1]);
  output_ = ready[0];
  if (pid_ < 0) {
    Stop();
    return false;
  }
  // Its notices (a menu file it misses) come on the same output, before.
  std::string line;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  bool managing = false;
  while (!managing && ReadReadyLine(output_,
                                    std::chrono::duration_cast<std::chrono::milliseconds>(
                                        end - std::chrono::steady_clock::now()),
                                    &line)) {
    managing = line == "managing";
  }
  if (!managing) {
    *error = "openbox did not start (is the package openbox installed?)";
    Stop();
    return false;
  }
  return true;
}

void WindowManager::Stop() {
  EndChild(pid_);
  pid_ = -1;
  if (output_ >= 0) ::close(output_);
  output_ = -1;
}

}  // namespace orvik::client::xtest
