#include "signal_route.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace orvik::program {
namespace {

int gSignalPipe[2] = {-1, -1};

extern "C" void OnSignal(int number) {
  const char c = static_cast<char>(number);
  // Nothing can be done about a full pipe inside a handler; the signal is then dropped.
  [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &c, 1);
}

}  // namespace

SignalRoute::SignalRoute(std::vector<int> caught)
    : signals_(std::move(caught)), previous_(signals_.size()) {
  if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < signals_.size(); ++i)
    ::sigaction(signals_[i], &action, &previous_[i]);
}

bool SignalRoute::Watching() const { return gSignalPipe[0] >= 0; }

void SignalRoute::Deliver(std::function<void(int)> handler) {
  handler_ = std::move(handler);
  if (!Watching() || notifier_) return;
  notifier_ = std::make_unique<QSocketNotifier>(gSignalPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
    char caught[64];
    const ssize_t n = ::read(gSignalPipe[0], caught, sizeof caught);
    for (ssize_t i = 0; i < n; ++i) handler_(caught[i]);
  });
}

SignalRoute::~SignalRoute() {
  notifier_.reset();
  if (gSignalPipe[0] < 0) return;
  for (std::size_t i = 0; i < signals_.size(); ++i)
    ::sigaction(signals_[i], &previous_[i], nullptr);
  for (int& fd : gSignalPipe) {
    ::close(fd);
    fd = -1;
  }
}

}  // namespace orvik::program
