// One engine port on a thread of its own.
//
// A port is single-threaded and its waits pump its own thread's event loop, so each relay
// connection gets a thread: a program waiting for input, a slow query or a running script
// holds up only its own session. The port is made on the new thread; the relay keeps the
// host's reference on the main thread and talks to the port through its thread-safe
// operations. Letting go of that reference queues the end of the session to the port's
// thread; Retire queues the end of the thread after it, so the session always ends first.

#ifndef ORVIK_CONSOLE_PORT_THREAD_H_
#define ORVIK_CONSOLE_PORT_THREAD_H_

#include <QThread>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

#include "port.h"

namespace orvik::console {

// Makes the port for a connection slot; runs on the port's thread.
using PortFactory = std::function<std::shared_ptr<Port>(std::int32_t slot)>;

class PortThread {
 public:
  // Starts the thread and waits until `factory` has made the port on it; what the factory
  // throws is thrown here (the thread has ended by then).
  PortThread(const PortFactory& factory, std::int32_t slot);
  // Waits for the thread: call Retire first.
  ~PortThread();

  PortThread(const PortThread&) = delete;
  PortThread& operator=(const PortThread&) = delete;

  // The host's reference to the port, handed over once.
  std::shared_ptr<Port> TakePort() { return std::move(port_); }
  // Runs `fn` on the port's thread after everything queued before it. Not after Retire.
  void Post(std::function<void()> fn);
  // Ends the thread once everything queued so far has run and the port's calls have
  // returned.
  void Retire();
  bool Wait(unsigned long ms);
  bool IsFinished() const;
  QThread* Thread() const;

 private:
  class Runner;
  std::unique_ptr<Runner> runner_;
  std::shared_ptr<Port> port_;
  bool retired_ = false;
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_PORT_THREAD_H_
