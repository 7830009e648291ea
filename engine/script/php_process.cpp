#include "php_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <vector>

#include "event_wait.h"
#include "vb_error.h"

extern char** environ;

namespace orvik::php {
namespace {

// The file descriptor the bridge reads and writes (php_bridge.php opens php://fd/3).
constexpr int kBridgeFd = 3;
constexpr std::size_t kReadChunk = 64 * 1024;
// A message longer than this is not the bridge's: the process is cut off before the
// engine's memory goes into it.
constexpr std::uint32_t kMaxMessage = 256u * 1024 * 1024;

// PHP's own reporting is off: the bridge reports every failure through the socket, and the
// program's output must not be mixed with PHP's messages.
// memory_limit bounds what the program's own values take; kAddressSpace bounds the whole
// process (PHP's own, and what an extension allocates past the limit) and each command it
// starts.
const char* const kSettings[] = {"display_errors=0", "log_errors=0",         "error_reporting=-1",
                                 "html_errors=0",    "max_execution_time=0", "memory_limit=256M"};
constexpr rlim_t kAddressSpace = rlim_t{1} << 30;

std::string NoInterpreter(std::string_view why) {
  return "No script engine for the language 'PHP' exists here (" + std::string(why) + ")";
}

// Only async-signal-safe calls between fork and exec: the engine has other threads, and
// one of them may hold a lock the child would wait on for ever.
[[noreturn]] void StartChild(int socket, int script, pid_t parent, const char* path,
                             char* const argv[], const sigset_t& noSignals) {
  setpgid(0, 0);
  // The thread that owns the host is gone: so is the program.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
  sigprocmask(SIG_SETMASK, &noSignals, nullptr);
  const rlimit space{kAddressSpace, kAddressSpace};
  setrlimit(RLIMIT_AS, &space);
  if (socket == kBridgeFd) {
    fcntl(kBridgeFd, F_SETFD, 0);
  } else if (dup2(socket, kBridgeFd) < 0) {
    _exit(127);
  }
  // PHP reads the program from its standard input, which ends there.
  if (dup2(script, STDIN_FILENO) < 0) _exit(127);
  // Nothing else of the engine's (sockets, datastore files, other programs' sockets).
  close_range(kBridgeFd + 1, ~0U, 0);
  execve(path, argv, environ);
  _exit(127);
}

}  // namespace

std::string Process::Interpreter() {
  return QStandardPaths::findExecutable(QStringLiteral("php")).toStdString();
}

Process::Process(const std::string& program) {
  const std::string path = Interpreter();
  if (path.empty()) throw VbError(429, NoInterpreter("the php interpreter is not installed"));

  std::vector<std::string> words = {path};
  for (const char* setting : kSettings) {
    words.emplace_back("-d");
    words.emplace_back(setting);
  }
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  sigset_t noSignals;
  sigemptyset(&noSignals);

  int ends[2];
  int script[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    throw VbError(429, NoInterpreter("no socket for it"));
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, script) != 0) {
    close(ends[0]);
    close(ends[1]);
    throw VbError(429, NoInterpreter("no socket for it"));
  }
  const pid_t parent = getpid();
  std::lock_guard lock(pidMutex_);
  const pid_t pid = fork();
  if (pid == 0) StartChild(ends[1], script[1], parent, path.c_str(), argv.data(), noSignals);
  close(ends[1]);
  close(script[1]);
  if (pid < 0) {
    close(ends[0]);
    close(script[0]);
    throw VbError(429, NoInterpreter("no process for it"));
  }
  fd_ = ends[0];
  // Also here: Kill may come before the child has made its group.
  setpgid(pid, pid);
  pid_ = pid;
  // The bridge goes through a socket rather than the command line, where every process
  // listing would show it. A child that did not start is found by the first Receive.
  std::size_t sent = 0;
  while (sent < program.size()) {
    const ssize_t r = send(script[0], program.data() + sent, program.size() - sent, MSG_NOSIGNAL);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    sent += static_cast<std::size_t>(r);
  }
  close(script[0]);
}

Process::~Process() {
  pid_t pid = 0;
  {
    std::lock_guard lock(pidMutex_);
    if (pid_ > 0) {
      kill(-pid_, SIGKILL);
      kill(pid_, SIGKILL);
    }
    // From here Kill finds no process: the number may soon belong to another one.
    pid = pid_;
    pid_ = 0;
  }
  if (fd_ >= 0) close(fd_);
  if (pid > 0) {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
}

void Process::Kill() {
  std::lock_guard lock(pidMutex_);
  if (pid_ <= 0) return;
  kill(-pid_, SIGKILL);
  kill(pid_, SIGKILL);
}

bool Process::Send(std::string_view payload) {
  if (closed_) return false;
  std::string frame;
  frame.reserve(payload.size() + 4);
  const auto n = static_cast<std::uint32_t>(payload.size());
  for (int i = 0; i < 4; ++i) frame.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
  frame.append(payload);
  std::size_t sent = 0;
  while (sent < frame.size()) {
    // MSG_NOSIGNAL: a process that has gone is an answer, not a SIGPIPE for the engine.
    const ssize_t r = send(fd_, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    sent += static_cast<std::size_t>(r);
  }
  return true;
}

std::optional<std::string> Process::TakeMessage() {
  if (buffer_.size() < 4) return std::nullopt;
  std::uint32_t n = 0;
  for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(buffer_[i]);
  if (n > kMaxMessage) {
    Kill();
    closed_ = true;
    buffer_.clear();
    return std::nullopt;
  }
  if (buffer_.size() - 4 < n) return std::nullopt;
  std::string message = buffer_.substr(4, n);
  buffer_.erase(0, 4 + static_cast<std::size_t>(n));
  return message;
}

bool Process::ReadAvailable() {
  char chunk[kReadChunk];
  for (;;) {
    const ssize_t r = recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (r > 0) {
      buffer_.append(chunk, static_cast<std::size_t>(r));
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    return false;
  }
}

void Process::WaitReadable(bool pumpEvents) {
  const auto readable = [this](int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    int r;
    do {
      r = poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    return r != 0;
  };
  if (pumpEvents && QCoreApplication::instance() != nullptr &&
      QThread::currentThread()->eventDispatcher() != nullptr) {
    // The notifier only wakes the wait when the process writes; it lives no longer than
    // this wait, since a nested one (a call served while this one is pending) makes its own.
    QSocketNotifier wake(fd_, QSocketNotifier::Read);
    PumpEventsUntil(SteadyClock::time_point::max(), [&] { return readable(0); });
  } else {
    readable(-1);
  }
}

std::optional<std::string> Process::Receive(bool pumpEvents) {
  for (;;) {
    if (std::optional<std::string> message = TakeMessage()) return message;
    if (closed_) return std::nullopt;
    const std::size_t before = buffer_.size();
    if (!ReadAvailable()) {
      closed_ = true;  // what arrived before the end is still delivered
    } else if (buffer_.size() == before) {
      WaitReadable(pumpEvents);
    }
  }
}

}  // namespace orvik::php
