// The processes a session's program starts: they inherit none of the engine's descriptors,
// and they end with the program.
//
// A program runs inside the engine's own process, beside the console's listening socket,
// its home lock and every session's datastore files. Whatever the program forks is a copy
// of that process: left alone, the copy and what it executes would hold those descriptors
// (a new console could not listen on the port; the copy would take connections it never
// serves) and outlive the session that started it.
//
// While a host runs its program on a thread, it enters its SessionProcessGroup there. Every
// fork on that thread then runs, in the child and before anything else, a handler that
// marks each descriptor above standard error close-on-exec, points standard input at
// /dev/null (the console's own input is no session's terminal), and moves the child into
// the group. Kill ends the whole group: the commands, and what they started in the
// background (`sleep 100 &`), unless one of them made a session of its own (setsid).
//
// The group is made on the first Ensure: a leader process of the engine's own, asleep until
// killed, keeps the group's number the session's (once a group's last process has been
// reaped, its number may become a stranger's group). Ensure runs on the thread that entered
// the group, before the fork; Kill may be called from any thread at any time.

#ifndef ORVIK_ENGINE_SCRIPT_SESSION_PROCESSES_H_
#define ORVIK_ENGINE_SCRIPT_SESSION_PROCESSES_H_

#include <sys/types.h>

#include <atomic>
#include <mutex>

namespace orvik {

class SessionProcessGroup {
 public:
  SessionProcessGroup();
  // Kills the group and reaps its leader.
  ~SessionProcessGroup();
  SessionProcessGroup(const SessionProcessGroup&) = delete;
  SessionProcessGroup& operator=(const SessionProcessGroup&) = delete;

  // Makes the group, unless it exists; false when no process could be made for it.
  bool Ensure();
  // Ends every process of the group at once. Harmless before Ensure and when called again.
  void Kill();
  // The group's number; 0 before Ensure.
  pid_t Id() const { return leader_.load(std::memory_order_acquire); }

  // The group of the program that runs on this thread now, if any.
  static SessionProcessGroup* Current();

  // Makes `group` the thread's current group for a scope (scopes nest).
  class Scope {
   public:
    explicit Scope(SessionProcessGroup* group);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    SessionProcessGroup* previous_;
  };

 private:
  std::mutex making_;
  std::atomic<pid_t> leader_{0};
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_SCRIPT_SESSION_PROCESSES_H_
