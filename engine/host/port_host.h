// A port on a thread of its own, for a host on another thread.
//
// Every host runs its ports through this adapter: the console one per connection, the
// client its one port. A port is single-threaded and its waits pump its own thread's event
// loop, so with a thread each, one session's waiting program or slow query holds up no
// other session, and no host's own waits block the port.
//
// Threads. The PortHost object belongs to the thread that made it (the host's); every
// member below is called there and none of them waits for the port. The port is made on the
// new thread by the factory and lives there. What the session produces reaches the host as
// signals delivered on the host's thread, in the order it happened: ready once the port is
// made, then outputReady when output is waiting (at once, once per burst), hungUp,
// stateChanged, loginTried, loginWaits. The output itself is taken with TakeOutput, so each
// piece reaches the host exactly once. No host reads the output for the disconnect marker:
// the session finds it (Terminal) and hungUp says so, after the output written before it,
// which never holds the marker.
//
// Making a port takes a while (its home's settings, its account's connection). A host that
// serves many (the console) starts it with Begin and goes on at once; until ready, the session
// is quiet (no output, no state, no program) and what is given to Input and Post waits for the
// port, in the order given. A host released before then leaves the port to be dropped on its
// own thread as soon as it is made.
//
// Lifetime. Release ends the session: the port is aborted first (a running program is
// interrupted, a running statement cancelled: see Port::Abort), then the host's reference
// goes, the port ends on its own thread once no call of it is on its stack, and the thread
// ends after it. The destructor releases the port if that was not done, and waits briefly
// for the thread; a thread that will not end (code that ignores every stop) is left to end
// with the process rather than destroyed while it runs.

#ifndef ORVIK_ENGINE_HOST_PORT_HOST_H_
#define ORVIK_ENGINE_HOST_PORT_HOST_H_

#include <QByteArray>
#include <QObject>
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "port.h"

class QThread;

namespace orvik {

class PortHost : public QObject {
  Q_OBJECT

 public:
  // Makes the port; runs on the port's thread.
  using Factory = std::function<std::shared_ptr<Port>()>;

  // Starts the thread and waits until `factory` has made the port on it. What the factory
  // throws is thrown here (the thread has ended by then); a factory that gives no port is a
  // std::runtime_error.
  explicit PortHost(const Factory& factory, QObject* parent = nullptr);
  // Starts the thread and returns at once: ready follows when the port is made, or failed
  // with what the factory threw.
  static std::unique_ptr<PortHost> Begin(const Factory& factory, QObject* parent = nullptr);
  ~PortHost() override;

  PortHost(const PortHost&) = delete;
  PortHost& operator=(const PortHost&) = delete;

  // Whether the port has been made and handed to this host (ready has been signalled).
  bool Ready() const { return core_ != nullptr && !released_; }
  // Input as the user typed it, fed to the session in the order given (Port::PortInput);
  // not echoed when `echoed` is false.
  void Input(std::string text, bool echoed = true);
  // Bytes given to Input that the session has not read yet: those on their way to the port's
  // thread and its type-ahead. A host stops taking input from its user while this is large.
  std::size_t InputBacklog() const;
  // The output written since the last call; empty when there is none.
  std::string TakeOutput();
  // The session state's name, as hosts show it (Port::State).
  std::string State() const;
  // The session state, typed (Port::StateKind), and whether a program runs in it
  // (Port::StateRunsProgram): what hosts decide by.
  SessionState StateKind() const;
  bool ProgramRuns() const;
  // Whether the session has hung up (hungUp has been or is about to be signalled).
  bool HungUp() const { return hungUp_->load(); }
  // Tells the port how much of the output taken the host has not yet delivered; the port
  // holds its program back while that is large (Port::SetHostBacklog).
  void SetUndelivered(std::size_t bytes);
  // Asks a program that waits for input to stop (Port::PortCClose).
  void AskToStop();
  // Stops whatever the session is doing (Port::Abort); Release does this too.
  void Interrupt();
  // Runs `fn` with the port on the port's thread, after everything queued before it.
  // Nothing runs once the port is released.
  void Post(std::function<void(Port&)> fn);
  // Ends the session (see the top of this file). Later calls do nothing.
  void Release();
  bool Released() const { return released_; }
  // Whether the port's thread has ended.
  bool IsFinished() const;
  // Waits up to `ms` for the port's thread to end; true when it has.
  bool Wait(unsigned long ms);

 signals:
  // The port is made: the session can be heard from and its output taken.
  void ready();
  // No port could be made: `why` is what the factory threw. The thread has ended.
  void failed(const QByteArray& why);
  // Output waits for TakeOutput.
  void outputReady();
  // The session hung up: what it wrote before is waiting already; nothing more comes. The
  // host releases the port.
  void hungUp();
  // The session state changed, to the Latin-1 text `state`; `programRuns` as ProgramRuns.
  void stateChanged(const QByteArray& state, bool programRuns);
  // A login was tried with the Latin-1 name `user` (never the password).
  void loginTried(const QByteArray& user, bool accepted);
  // A login with the Latin-1 name `user` waits `ms` milliseconds for its turn.
  void loginWaits(const QByteArray& user, qint64 ms);
  // The port's thread has ended.
  void finished();

 private:
  class Runner;
  struct Link;
  struct Handoff;
  struct Begun {};

  PortHost(const Factory& factory, QObject* parent, Begun);
  // Takes the port from its thread once it is made, or learns that it failed; on the host's
  // thread, once (later calls do nothing).
  void Adopt();

  std::unique_ptr<Runner> runner_;
  // The port's hooks reach this object through the link, which the destructor cuts: the port
  // may outlive its host when its thread cannot be ended.
  std::shared_ptr<Link> link_;
  std::shared_ptr<Handoff> handoff_;
  // What was posted before the port was made, in order.
  std::vector<std::function<void(Port&)>> pending_;
  std::shared_ptr<Port> port_;  // the host's reference: dropping it ends the session
  // For the thread-safe members; set once the port is adopted, valid until the thread ends.
  Port* core_ = nullptr;
  // Input handed to the port's thread and not yet taken into its type-ahead.
  std::shared_ptr<std::atomic<std::size_t>> inFlight_ =
      std::make_shared<std::atomic<std::size_t>>(0);
  // Set on the port's thread when the session hangs up.
  std::shared_ptr<std::atomic<bool>> hungUp_ = std::make_shared<std::atomic<bool>>(false);
  bool released_ = false;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_HOST_PORT_HOST_H_
