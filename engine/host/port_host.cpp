#include "port_host.h"

#include <malloc.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace orvik {
namespace {

QByteArray Bytes(const std::string& text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// Each port's thread gets a malloc heap of its own, which by default starts at 132 KiB and
// is widened a page or so at a time, each time by an mprotect. Each of those takes the
// process's memory-map lock for writing and flushes the TLBs of every processor the process
// runs on: fifty logins at once made some 6000 of them and waited on that lock for a third
// of a second at a time. Heaps start at 2 MiB instead (pages are still only used as they
// are touched); setting the pad turns glibc's moving mmap threshold off, so that is fixed
// where it otherwise settles for such blocks.
void ShapeThreadHeaps() {
  static std::once_flag once;
  std::call_once(once, [] {
    mallopt(M_TOP_PAD, 2 * 1024 * 1024);
    mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
  });
}

}  // namespace

// What the host tells the session goes through here; what the session tells the host is
// posted to the host's thread, so that it is heard in order after ready, whenever the host
// connected to it, and never after the host is gone (the destructor cuts the link, and Qt
// drops what was posted to an object it deletes).
struct PortHost::Link {
  std::mutex mutex;
  PortHost* host = nullptr;

  template <typename F>
  void Tell(F f) {
    std::lock_guard lock(mutex);
    if (host == nullptr) return;
    QMetaObject::invokeMethod(
        host, [h = host, f = std::move(f)] { f(*h); }, Qt::QueuedConnection);
  }
};

// The port passes from its thread to the host's here, once.
struct PortHost::Handoff {
  std::mutex mutex;
  std::condition_variable done;
  bool made = false;           // the factory has returned or thrown
  bool abandoned = false;      // the host was released before it took the port
  std::shared_ptr<Port> port;  // made and not yet taken
  std::exception_ptr error;
  QObject* anchor = nullptr;  // the port's thread's event loop, once the port is made
};

class PortHost::Runner : public QThread {
 public:
  Runner(const Factory& factory, std::shared_ptr<Link> link, std::shared_ptr<Handoff> handoff,
         std::shared_ptr<std::atomic<bool>> hungUp)
      : factory_(factory),
        link_(std::move(link)),
        handoff_(std::move(handoff)),
        hungUp_(std::move(hungUp)) {}

 protected:
  void run() override {
    QObject here;
    std::shared_ptr<Port> port;
    try {
      port = factory_();
      if (!port) throw std::runtime_error("no port was made");
    } catch (...) {
      {
        std::lock_guard lock(handoff_->mutex);
        handoff_->error = std::current_exception();
        handoff_->made = true;
      }
      handoff_->done.notify_all();
      link_->Tell([](PortHost& h) { h.Adopt(); });
      return;
    }
    {
      std::unique_lock lock(handoff_->mutex);
      handoff_->made = true;
      if (handoff_->abandoned) {
        // Nobody waits for this session: it ends here, where it was made.
        lock.unlock();
        port->Abort();
        return;
      }
      // Nothing can be told before the host hears of the port: only this thread has it.
      port->SetHostHooks(Hooks());
      handoff_->anchor = &here;
      // This thread keeps no reference: the host's copy alone decides when the session ends.
      handoff_->port = std::move(port);
      link_->Tell([](PortHost& h) { h.Adopt(); });
    }
    handoff_->done.notify_all();
    exec();
    // Whatever was queued before the end (the session's release among it) still runs here.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

 private:
  HostHooks Hooks() const {
    HostHooks hooks;
    hooks.outputWaiting = [link = link_] { link->Tell([](PortHost& h) { emit h.outputReady(); }); };
    hooks.hangUp = [link = link_, hungUp = hungUp_] {
      hungUp->store(true);
      link->Tell([](PortHost& h) { emit h.hungUp(); });
    };
    hooks.stateChanged = [link = link_](const std::string& state, bool programRuns) {
      link->Tell([state = Bytes(state), programRuns](PortHost& h) {
        emit h.stateChanged(state, programRuns);
      });
    };
    hooks.loginTried = [link = link_](const std::string& user, bool accepted) {
      link->Tell(
          [user = Bytes(user), accepted](PortHost& h) { emit h.loginTried(user, accepted); });
    };
    hooks.loginWaits = [link = link_](const std::string& user, std::chrono::milliseconds wait) {
      link->Tell([user = Bytes(user), ms = static_cast<qint64>(wait.count())](PortHost& h) {
        emit h.loginWaits(user, ms);
      });
    };
    return hooks;
  }

  Factory factory_;
  std::shared_ptr<Link> link_;
  std::shared_ptr<Handoff> handoff_;
  std::shared_ptr<std::atomic<bool>> hungUp_;
};

PortHost::PortHost(const Factory& factory, QObject* parent, Begun)
    : QObject(parent), link_(std::make_shared<Link>()), handoff_(std::make_shared<Handoff>()) {
  ShapeThreadHeaps();
  link_->host = this;
  runner_ = std::make_unique<Runner>(factory, link_, handoff_, hungUp_);
  connect(runner_.get(), &QThread::finished, this, &PortHost::finished);
  runner_->start();
}

PortHost::PortHost(const Factory& factory, QObject* parent) : PortHost(factory, parent, Begun{}) {
  std::exception_ptr error;
  {
    std::unique_lock lock(handoff_->mutex);
    handoff_->done.wait(lock, [this] { return handoff_->made; });
    error = handoff_->error;
  }
  if (error) {
    runner_->wait();
    released_ = true;
    std::rethrow_exception(error);
  }
  Adopt();
}

std::unique_ptr<PortHost> PortHost::Begin(const Factory& factory, QObject* parent) {
  return std::unique_ptr<PortHost>(new PortHost(factory, parent, Begun{}));
}

void PortHost::Adopt() {
  if (core_ != nullptr || released_) return;
  std::exception_ptr error;
  {
    std::lock_guard lock(handoff_->mutex);
    if (!handoff_->made) return;
    error = handoff_->error;
    port_ = std::move(handoff_->port);
  }
  if (error) {
    released_ = true;
    pending_.clear();
    std::string why = "no port was made";
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      why = e.what();
    } catch (...) {
    }
    emit failed(Bytes(why));
    return;
  }
  core_ = port_.get();
  for (auto& fn : std::exchange(pending_, {})) Post(std::move(fn));
  emit ready();
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
  return inFlight_->load() + (core_ ? core_->TypeAhead().size() : 0);
}

std::string PortHost::TakeOutput() { return Ready() ? core_->Response() : std::string(); }

std::string PortHost::State() const { return Ready() ? core_->State() : std::string(); }

SessionState PortHost::StateKind() const {
  return Ready() ? core_->StateKind() : SessionState::kOther;
}

bool PortHost::ProgramRuns() const { return Ready() && core_->StateRunsProgram(); }

void PortHost::SetUndelivered(std::size_t bytes) {
  if (Ready()) core_->SetHostBacklog(bytes);
}

void PortHost::AskToStop() {
  if (Ready()) core_->PortCClose();
}

void PortHost::Interrupt() {
  if (Ready()) core_->Abort();
}

void PortHost::Post(std::function<void(Port&)> fn) {
  if (released_) return;
  if (!core_) {
    pending_.push_back(std::move(fn));
    return;
  }
  QMetaObject::invokeMethod(
      handoff_->anchor, [core = port_->shared_from_this(), fn = std::move(fn)] { fn(*core); },
      Qt::QueuedConnection);
}

void PortHost::Release() {
  if (released_) return;
  released_ = true;
  pending_.clear();
  if (!core_) {
    std::lock_guard lock(handoff_->mutex);
    handoff_->abandoned = true;
    // Made and not yet adopted: it is ended as an adopted one is. Not made yet: its thread
    // drops it once it is.
    port_ = std::move(handoff_->port);
    if (!port_) return;
    core_ = port_.get();
  }
  core_->Abort();
  port_.reset();  // the session ends on its own thread, after its calls return
  QMetaObject::invokeMethod(
      handoff_->anchor, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
}

bool PortHost::IsFinished() const { return runner_->isFinished(); }

bool PortHost::Wait(unsigned long ms) { return runner_->wait(ms); }

}  // namespace orvik
