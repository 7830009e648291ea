// Signals that stop a program (SIGTERM, SIGINT, SIGHUP ...) as events of its main thread.
//
// A service manager, a desktop that logs out, a closed terminal and Ctrl-C all stop a
// program with a signal; left to its default, the signal ends the process with its sessions'
// item locks and user registry lines left behind. While a SignalRoute lives, each signal it
// was made for is caught (its handler only writes a byte to a pipe); once a handler is given,
// the signals caught, those before it too, reach it on the thread that made the route, in its
// event loop. One route at a time; the signals' previous dispositions come back when it goes.

#ifndef ORVIK_COMMON_SIGNAL_ROUTE_H_
#define ORVIK_COMMON_SIGNAL_ROUTE_H_

#include <csignal>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace orvik::program {

class SignalRoute {
 public:
  explicit SignalRoute(std::vector<int> caught);
  ~SignalRoute();
  SignalRoute(const SignalRoute&) = delete;
  SignalRoute& operator=(const SignalRoute&) = delete;

  // Whether the signals are caught (false when the pipe could not be made).
  bool Watching() const;
  // From now on `handler` receives the number of each signal caught, in the event loop.
  void Deliver(std::function<void(int signal)> handler);

 private:
  std::vector<int> signals_;
  std::vector<struct sigaction> previous_;
  std::function<void(int)> handler_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace orvik::program

#endif  // ORVIK_COMMON_SIGNAL_ROUTE_H_
