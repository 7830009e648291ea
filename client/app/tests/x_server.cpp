#include "x_server.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "x_child.h"

namespace orvik::client::xtest {

bool XServer::Start(int width, int height, std::string* error) {
  Stop();
  // Xvfb writes the display number it chose on this pipe once it accepts connections.
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) {
    *error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const pid_t pid = StartTiedChild({"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0",
                                    screen, "-nolisten", "tcp", "-noreset"},
                                   -1, ready[1], error);
  ::close(ready[1]);
  if (pid < 0) {
    ::close(ready[0]);
    return false;
  }
  pid_ = pid;

  std::string number;
  const bool ready_line = ReadReadyLine(ready[0], std::chrono::seconds(30), &number);
  ::close(ready[0]);
  if (!ready_line || number.empty()) {
    *error = "Xvfb did not start (is the package xvfb installed?)";
    Stop();
    return false;
  }
  display_ = ":" + number;
  return true;
}

void XServer::Stop() {
  if (pid_ <= 0) return;
  EndChild(pid_);
  pid_ = -1;
  display_.clear();
}

}  // namespace orvik::client::xtest
