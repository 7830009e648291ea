#include "home.h"

#include "datastore_kinds.h"
#include "engine_home.h"
#include "engine_settings.h"
#include "layout.h"
#include "lock_holders.h"
#include "port.h"

namespace orvik {

std::shared_ptr<Home> Home::Open(HomeOptions options) {
  if (options.path.empty()) options.path = EngineHome();
  return std::shared_ptr<Home>(new Home(std::move(options)));
}

std::shared_ptr<Home> Home::Open(const std::string& path) {
  HomeOptions options;
  options.path = path;
  return Open(std::move(options));
}

Home::Home(HomeOptions options) : options_(std::move(options)) {}

std::shared_ptr<Port> Home::MakePort() const {
  PortOptions options;
  options.home = options_.path;
  options.drivers = options_.drivers;
  options.printing = options_.printing;
  return Port::Create(std::move(options));
}

std::string Home::MissingSystemAccount() const {
  const std::string& home = options_.path;
  const DatastoreKind* kind = FindDatastoreKind(ReadEngineSettings(home).dataStore);
  if (!kind) return {};
  const std::string account(kSystemAccount);
  if (kind->accounts.Exists({home, nullptr}, account).value_or(true)) return {};
  return "The engine home " + home + " has no system account (\"" + account +
         "\"): nobody could log in.\n"
         "Make it, with a first user, by:\n"
         "  OvEngSetup --home " +
         home + " --user NAME --password-stdin\n";
}

std::int64_t Home::RemoveStaleLocks() const { return orvik::RemoveStaleLocks(options_.path); }

}  // namespace orvik
