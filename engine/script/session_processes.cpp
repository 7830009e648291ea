#include "session_processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/close_range.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace orvik {
namespace {

thread_local SessionProcessGroup* tCurrent = nullptr;

// What the kernel's getdents64 writes.
struct DirEntry64 {
  ino64_t ino;
  off64_t off;
  unsigned short length;
  unsigned char type;
  char name[];
};

// Kernels before 5.11 know no CLOSE_RANGE_CLOEXEC: each open descriptor is marked on its
// own, found with plain system calls (a forked child of a threaded process may not
// allocate).
void MarkEachCloseOnExec() {
  const int dir = ::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  alignas(DirEntry64) char buffer[4096];
  for (;;) {
    const long n = ::syscall(SYS_getdents64, dir, buffer, sizeof buffer);
    if (n <= 0) break;
    for (long at = 0; at < n;) {
      const auto* entry = reinterpret_cast<const DirEntry64*>(buffer + at);
      at += entry->length;
      int fd = 0;
      const char* c = entry->name;
      if (*c < '0' || *c > '9') continue;
      for (; *c >= '0' && *c <= '9'; ++c) fd = fd * 10 + (*c - '0');
      if (fd > STDERR_FILENO && fd != dir) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  }
  ::close(dir);
}

// Runs in every forked child, first; only async-signal-safe calls (the engine has other
// threads, one of which may hold a lock the child would wait on for ever).
void InChild() {
  SessionProcessGroup* group = tCurrent;
  if (group == nullptr) return;
  if (::close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC) != 0) MarkEachCloseOnExec();
  const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (nothing >= 0) {
    ::dup2(nothing, STDIN_FILENO);
    ::close(nothing);
  }
  const pid_t id = group->Id();
  if (id > 0) ::setpgid(0, id);
}

void InstallChildHandler() {
  static std::once_flag once;
  std::call_once(once, [] { ::pthread_atfork(nullptr, nullptr, InChild); });
}

// The group's leader: holds the group's number until it is killed, and dies with the
// thread that made it.
[[noreturn]] void Lead(pid_t parent) {
  ::setpgid(0, 0);
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(0);
  ::close_range(0, ~0U, 0);
  sigset_t all;
  sigfillset(&all);
  ::sigprocmask(SIG_SETMASK, &all, nullptr);
  for (;;) ::pause();
}

}  // namespace

SessionProcessGroup::SessionProcessGroup() { InstallChildHandler(); }

SessionProcessGroup::~SessionProcessGroup() {
  Kill();
  const pid_t leader = Id();
  if (leader > 0) {
    while (::waitpid(leader, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
}

bool SessionProcessGroup::Ensure() {
  std::lock_guard lock(making_);
  if (Id() > 0) return true;
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) Lead(parent);
  if (pid < 0) return false;
  // Also here: the first command may be forked before the leader has run.
  ::setpgid(pid, pid);
  leader_.store(pid, std::memory_order_release);
  return true;
}

void SessionProcessGroup::Kill() {
  const pid_t leader = Id();
  if (leader > 0) ::kill(-leader, SIGKILL);
}

SessionProcessGroup* SessionProcessGroup::Current() { return tCurrent; }

SessionProcessGroup::Scope::Scope(SessionProcessGroup* group) : previous_(tCurrent) {
  tCurrent = group;
}

SessionProcessGroup::Scope::~Scope() { tCurrent = previous_; }

}  // namespace orvik
