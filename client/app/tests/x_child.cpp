#include "x_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

pid_t StartTiedChild(const std::vector<std::string>& argv, int out, int keep,
                     std::string* error) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) {
    *error = std::string("fork: ") + std::strerror(errno);
    return -1;
  }
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);  // the test ended before the prctl took
    if (keep >= 0) ::fcntl(keep, F_SETFD, 0);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(out >= 0 ? out : null, 1);
    ::dup2(null, 2);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  return pid;
}

bool ReadReadyLine(int fd, std::chrono::milliseconds limit, std::string* line) {
  line->clear();
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char c;
    if (::read(fd, &c, 1) != 1) return false;
    if (c == '\n') return true;
    *line += c;
  }
}

void EndChild(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  if (!Reaped(pid, std::chrono::seconds(10))) {
    ::kill(pid, SIGKILL);
    Reaped(pid, std::chrono::seconds(5));
  }
}

}  // namespace orvik::client::xtest
