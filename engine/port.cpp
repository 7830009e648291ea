// The port as a whole: making one and its parts, its lifetime and its thread.

#include "port.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include "engine_home.h"
#include "engine_settings.h"
#include "port_parts.h"
#include "script_host.h"
#include "user_registry.h"
#include "vb_error.h"

namespace orvik {
namespace {

// Makes a driver of `kind` with `factory` that the session's stop can interrupt.
std::shared_ptr<Driver> InterruptibleDriver(const DriverFactory& factory, StopSwitch& stop,
                                            std::string_view kind) {
  std::unique_ptr<Driver> made = factory ? factory(kind) : MakeDriver(kind);
  if (!made)
    throw VbError(dberr::kUnspecified, "No datastore driver for '" + std::string(kind) + "'");
  Driver* raw = made.get();
  // The registration goes before the driver does, so an Abort never reaches a dead one.
  auto registration =
      std::make_shared<StopSwitch::Registration>(stop.Register([raw] { raw->Interrupt(); }));
  return std::shared_ptr<Driver>(made.release(), [registration](Driver* d) mutable {
    registration.reset();
    delete d;
  });
}

}  // namespace

PortParts::PortParts(Port& port, PortOptions options)
    : home(std::move(options.home)),
      terminal(stop),
      account(home, options.settings ? std::move(*options.settings) : ReadEngineSettings(home),
              [drivers = std::move(options.drivers), stop = stop](std::string_view kind) {
                return InterruptibleDriver(drivers, *stop, kind);
              }),
      locks(account),
      login(account, locks,
            options.registry ? std::move(options.registry) : std::make_shared<UserRegistry>(home)),
      items(account, locks),
      printer(std::move(options.printing), [this](std::string_view text) { terminal.Send(text); }),
      programs(ProgramRunner::Host{
          home, stop,
          [&port] {
            // The port as programs hold it: a reference that does not keep the port alive.
            return std::make_shared<WeakDispatch>(std::weak_ptr<Dispatch>(
                std::static_pointer_cast<Dispatch>(port.shared_from_this())));
          },
          [&port]() -> std::shared_ptr<void> { return port.shared_from_this(); },
          [this] { return session.XCommon(); },
          [this](const std::string& verb) -> std::optional<ProgramRunner::CatalogEntry> {
            if (!account.FindInCatalog(verb)) return std::nullopt;
            const auto text = [&](int column) {
              const Variant v = account.Catalog()->FieldValue(column);
              return v.IsNull() ? std::string() : v.ToString();
            };
            return ProgramRunner::CatalogEntry{text(1), text(4)};
          },
          [this] { session.EndRun(); }}),
      session(Session::Parts{terminal, *stop, account, login, locks, printer, programs}),
      context(std::make_unique<QObject>()) {
  // From the lease's thread to the port's.
  login.SetLostHandler([this] {
    QMetaObject::invokeMethod(context.get(), [this] { session.HoldLost(); }, Qt::QueuedConnection);
  });
}

PortParts::~PortParts() = default;

PortParts& PartsOf(Port& port) { return *port.parts_; }

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

Port::Port(PortOptions options) : parts_(std::make_unique<PortParts>(*this, std::move(options))) {}

Port::~Port() {
  // An application still running is told first; then the script engines and the locks go,
  // and with the login the session's line of the user registry.
  parts_->programs.Shutdown();
  parts_->locks.ReleaseAll();
  parts_->login.EndSession();
}

void Port::HostReleased() {
  // A program still waiting for input learns that the session is over.
  PortCClose();
}

bool Port::OnPortThread() const { return parts_->context->thread() == QThread::currentThread(); }

void Port::RunOnPortThread(std::function<void()> fn) {
  if (OnPortThread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(parts_->context.get(), std::move(fn), Qt::QueuedConnection);
}

}  // namespace orvik
