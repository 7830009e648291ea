// The port as a whole: making one, its lifetime and its plain properties.

#include "port.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include "engine_home.h"
#include "vb_error.h"

namespace orvik {

std::shared_ptr<Port> Port::Create(const std::string& home) {
  PortOptions options;
  options.home = home;
  return Create(std::move(options));
}

std::shared_ptr<Port> Port::Create(PortOptions options) {
  // Two kinds of reference: `core` owns the object (calls on the stack hold copies of it
  // through shared_from_this), the host's handle owns one reference to `core`. When the
  // host lets go, the session is told first, then the object goes once no call needs it.
  if (options.home.empty()) options.home = EngineHome();
  std::shared_ptr<Port> core(new Port(std::move(options)));
  Port* raw = core.get();
  return std::shared_ptr<Port>(raw, [core](Port* p) mutable {
    if (p->OnPortThread()) {
      p->HostReleased();
      core.reset();
    } else {
      // Objects of the port's thread must end on it.
      p->RunOnPortThread([keep = std::move(core)]() mutable {
        keep->HostReleased();
        keep.reset();
      });
    }
  });
}

Port::Port(PortOptions options)
    : home_(std::move(options.home)),
      driverFactory_(std::move(options.drivers)),
      printFactory_(std::move(options.printing)),
      xCommon_(std::make_shared<Dictionary>(Dictionary::CompareMode::Text)),
      printer_(printFactory_, [this](std::string_view text) { SendResponse(text); }),
      terminal_(stop_),
      account_(home_, ReadEngineSettings(home_),
               [this](std::string_view kind) { return NewDriver(kind); }),
      context_(std::make_unique<QObject>()),
      programs_(ProgramRunner::Host{
          home_, stop_, [this] { return ProgramReference(); },
          [this]() -> std::shared_ptr<void> { return shared_from_this(); },
          [this] { return xCommon_; },
          [this](const std::string& verb) { return CatalogEntryOf(verb); }, [this] { EndRun(); }}) {
  // A programmatic SELECT's result starts as a two-dimensional array of one element.
  selectArray_ = Variant(VariantArray{Variant(VariantArray{Variant("")})});
}

Port::~Port() {
  // An application still running is told first; then the script engines and the locks go.
  programs_.Shutdown();
  locks_.ReleaseAll();
  // The session's line leaves the list of logged-in ports with its login.
}

std::shared_ptr<Driver> Port::NewDriver(std::string_view kind) {
  std::unique_ptr<Driver> made = driverFactory_ ? driverFactory_(kind) : MakeDriver(kind);
  if (!made)
    throw VbError(dberr::kUnspecified, "No datastore driver for '" + std::string(kind) + "'");
  Driver* raw = made.get();
  // The registration goes before the driver does, so an Abort never reaches a dead one.
  auto stop =
      std::make_shared<StopSwitch::Registration>(stop_->Register([raw] { raw->Interrupt(); }));
  return std::shared_ptr<Driver>(made.release(), [stop](Driver* d) mutable {
    stop.reset();
    delete d;
  });
}

void Port::HostReleased() {
  released_ = true;
  // A program still waiting for input learns that the session is over.
  PortCClose();
}

bool Port::OnPortThread() const { return context_->thread() == QThread::currentThread(); }

void Port::RunOnPortThread(std::function<void()> fn) {
  if (OnPortThread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(context_.get(), std::move(fn), Qt::QueuedConnection);
}

std::string Port::UserName() const {
  const std::string& inst = login_.UserInst();
  return inst.substr(0, inst.find('*'));
}

void Port::SetTermType(std::string_view type) { termType_ = UpperCase(TrimBlanks(type)); }

}  // namespace orvik
