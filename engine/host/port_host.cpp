#include "port_host.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <future>
#include <mutex>
#include <stdexcept>

namespace orvik {
namespace {

QByteArray Bytes(const std::string& text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

struct PortHost::Link {
  std::mutex mutex;
  PortHost* host = nullptr;

  template <typename F>
  void Tell(F&& f) {
    std::lock_guard lock(mutex);
    if (host != nullptr) f(*host);
  }
};

class PortHost::Runner : public QThread {
 public:
  Runner(const Factory& factory, std::shared_ptr<Link> link,
         std::shared_ptr<std::atomic<bool>> hungUp)
      : factory_(factory), link_(std::move(link)), hungUp_(std::move(hungUp)) {}

  // Set before the port is handed over; lives as long as the thread's event loop.
  QObject* anchor = nullptr;
  std::promise<std::shared_ptr<Port>> made;

 protected:
  void run() override {
    QObject here;
    anchor = &here;
    std::shared_ptr<Port> port;
    try {
      port = factory_();
      if (!port) throw std::runtime_error("no port was made");
    } catch (...) {
      made.set_exception(std::current_exception());
      return;
    }
    HostHooks hooks;
    hooks.outputWaiting = [link = link_] { link->Tell([](PortHost& h) { emit h.outputReady(); }); };
    hooks.hangUp = [link = link_, hungUp = hungUp_] {
      hungUp->store(true);
      link->Tell([](PortHost& h) { emit h.hungUp(); });
    };
    hooks.stateChanged = [link = link_](const std::string& state, bool programRuns) {
      link->Tell([&](PortHost& h) { emit h.stateChanged(Bytes(state), programRuns); });
    };
    hooks.loginTried = [link = link_](const std::string& user, bool accepted) {
      link->Tell([&](PortHost& h) { emit h.loginTried(Bytes(user), accepted); });
    };
    hooks.loginWaits = [link = link_](const std::string& user, std::chrono::milliseconds wait) {
      link->Tell([&](PortHost& h) { emit h.loginWaits(Bytes(user), wait.count()); });
    };
    port->SetHostHooks(std::move(hooks));
    // This thread keeps no reference: the host's copy alone decides when the session ends.
    made.set_value(std::move(port));
    exec();
    // Whatever was queued before the end (the session's release among it) still runs here.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

 private:
  Factory factory_;
  std::shared_ptr<Link> link_;
  std::shared_ptr<std::atomic<bool>> hungUp_;
};

PortHost::PortHost(const Factory& factory, QObject* parent)
    : QObject(parent), link_(std::make_shared<Link>()) {
  link_->host = this;
  runner_ = std::make_unique<Runner>(factory, link_, hungUp_);
  std::future<std::shared_ptr<Port>> made = runner_->made.get_future();
  connect(runner_.get(), &QThread::finished, this, &PortHost::finished);
  runner_->start();
  try {
    port_ = made.get();
  } catch (...) {
    runner_->wait();
    released_ = true;
    throw;
  }
  core_ = port_.get();
}

PortHost::~PortHost() {
  {
    std::lock_guard lock(link_->mutex);
    link_->host = nullptr;
  }
  Release();
  if (!runner_->wait(3000)) {
    // A thread whose code ignores every stop cannot be joined; it is left to the end of the
    // process rather than destroyed while it runs.
    (void)runner_.release();
  }
}

void PortHost::Input(std::string text, bool echoed) {
  if (released_ || text.empty()) return;
  inFlight_->fetch_add(text.size());
  Post([inFlight = inFlight_, text = std::move(text), echoed](Port& port) mutable {
    inFlight->fetch_sub(text.size());
    // This input may start a program that waits for more, in a loop nested inside this
    // call. The thread's dispatcher lets such a loop see calls queued before this one only
    // after a wake-up, so that input already here is not left waiting.
    QThread::currentThread()->eventDispatcher()->wakeUp();
    try {
      port.PortInput(std::move(text), echoed);
    } catch (...) {
      // The session tells its user of its own failures (Session::Input); what could still
      // come here has nobody to be told to, and must not end the thread's event loop.
    }
  });
}

std::size_t PortHost::InputBacklog() const {
  if (released_) return 0;
  return inFlight_->load() + core_->TypeAhead().size();
}

std::string PortHost::TakeOutput() { return released_ ? std::string() : core_->Response(); }

std::string PortHost::State() const { return released_ ? std::string() : core_->State(); }

SessionState PortHost::StateKind() const {
  return released_ ? SessionState::kOther : core_->StateKind();
}

bool PortHost::ProgramRuns() const { return !released_ && core_->StateRunsProgram(); }

void PortHost::SetUndelivered(std::size_t bytes) {
  if (!released_) core_->SetHostBacklog(bytes);
}

void PortHost::AskToStop() {
  if (!released_) core_->PortCClose();
}

void PortHost::Interrupt() {
  if (!released_) core_->Abort();
}

void PortHost::Post(std::function<void(Port&)> fn) {
  if (released_) return;
  QMetaObject::invokeMethod(
      runner_->anchor, [core = port_->shared_from_this(), fn = std::move(fn)] { fn(*core); },
      Qt::QueuedConnection);
}

void PortHost::Release() {
  if (released_) return;
  core_->Abort();
  released_ = true;
  port_.reset();  // the session ends on its own thread, after its calls return
  QMetaObject::invokeMethod(
      runner_->anchor, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
}

bool PortHost::IsFinished() const { return runner_->isFinished(); }

bool PortHost::Wait(unsigned long ms) { return runner_->wait(ms); }

}  // namespace orvik
