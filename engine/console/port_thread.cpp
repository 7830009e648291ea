#include "port_thread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <future>
#include <stdexcept>

namespace orvik::console {

class PortThread::Runner : public QThread {
 public:
  Runner(const PortFactory& factory, std::int32_t slot) : factory_(factory), slot_(slot) {}

  // Set before the port is handed over; lives as long as the thread's event loop.
  QObject* anchor = nullptr;
  std::promise<std::shared_ptr<Port>> made;

 protected:
  void run() override {
    QObject here;
    anchor = &here;
    std::shared_ptr<Port> port;
    try {
      port = factory_(slot_);
      if (!port) throw std::runtime_error("no port was made");
    } catch (...) {
      made.set_exception(std::current_exception());
      return;
    }
    // This thread keeps no reference: the host's copy alone decides when the session ends.
    made.set_value(std::move(port));
    exec();
    // Whatever was queued before the end (the session's release among it) still runs here.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

 private:
  PortFactory factory_;
  std::int32_t slot_;
};

PortThread::PortThread(const PortFactory& factory, std::int32_t slot)
    : runner_(std::make_unique<Runner>(factory, slot)) {
  std::future<std::shared_ptr<Port>> made = runner_->made.get_future();
  runner_->start();
  try {
    port_ = made.get();
  } catch (...) {
    runner_->wait();
    retired_ = true;
    throw;
  }
}

PortThread::~PortThread() {
  if (!retired_) Retire();
  runner_->wait();
}

void PortThread::Post(std::function<void()> fn) {
  if (retired_) return;
  QMetaObject::invokeMethod(runner_->anchor, std::move(fn), Qt::QueuedConnection);
}

void PortThread::Retire() {
  if (retired_) return;
  retired_ = true;
  port_.reset();
  QMetaObject::invokeMethod(
      runner_->anchor, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
}

bool PortThread::Wait(unsigned long ms) { return runner_->wait(ms); }

bool PortThread::IsFinished() const { return runner_->isFinished(); }

QThread* PortThread::Thread() const { return runner_.get(); }

}  // namespace orvik::console
