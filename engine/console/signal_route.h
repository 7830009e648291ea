// SIGTERM, SIGINT and SIGUSR1 as events of the console's main thread.
//
// A service manager, a desktop that logs out and Ctrl-C all stop the console with a signal;
// left to its default, the signal ends the process with its sessions' item locks and user
// registry lines left behind. While a SignalRoute lives, each of the three signals is caught
// (its handler only writes a byte to a pipe); once a handler is given, the signals caught,
// those before it too, reach it on the thread that made the route, in its event loop. One
// route at a time; the signals' previous dispositions come back when it goes.

#ifndef ORVIK_CONSOLE_SIGNAL_ROUTE_H_
#define ORVIK_CONSOLE_SIGNAL_ROUTE_H_

#include <functional>
#include <memory>

class QSocketNotifier;

namespace orvik::console {

class SignalRoute {
 public:
  SignalRoute();
  ~SignalRoute();
  SignalRoute(const SignalRoute&) = delete;
  SignalRoute& operator=(const SignalRoute&) = delete;

  // Whether the signals are caught (false when the pipe could not be made).
  bool Watching() const;
  // From now on `handler` receives the number of each signal caught, in the event loop.
  void Deliver(std::function<void(int signal)> handler);

 private:
  std::function<void(int)> handler_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_SIGNAL_ROUTE_H_
