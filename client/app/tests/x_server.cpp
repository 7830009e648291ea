#include "x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace orvik::client::xtest {

namespace {

// Waits up to `limit` for the child to end; true when it did.
bool Reaped(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace

bool XServer::Start(int width, int height, std::string* error) {
  Stop();
  // Xvfb writes the display number it chose on this pipe once it accepts connections.
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) {
    *error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  const std::string fd = std::to_string(ready[1]);
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) {
    *error = std::string("fork: ") + std::strerror(errno);
    ::close(ready[0]);
    ::close(ready[1]);
    return false;
  }
  if (pid == 0) {
    // The server dies with the test process, however that ends.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    ::fcntl(ready[1], F_SETFD, 0);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
             "tcp", "-noreset", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(ready[1]);
  pid_ = pid;

  std::string number;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (number.empty() || number.back() != '\n') {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    pollfd p{ready[0], POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char c;
    if (::read(ready[0], &c, 1) != 1) break;  // the server ended without a display
    number += c;
  }
  ::close(ready[0]);
  if (number.empty() || number.back() != '\n') {
    *error = "Xvfb did not start (is the package xvfb installed?)";
    Stop();
    return false;
  }
  number.pop_back();
  display_ = ":" + number;
  return true;
}

void XServer::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  if (!Reaped(pid_, std::chrono::seconds(10))) {
    ::kill(pid_, SIGKILL);
    Reaped(pid_, std::chrono::seconds(5));
  }
  pid_ = -1;
  display_.clear();
}

}  // namespace orvik::client::xtest
