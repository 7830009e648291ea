#include "home.h"

#include <sys/stat.h>

#include "datastore_kinds.h"
#include "engine_home.h"
#include "engine_settings.h"
#include "layout.h"
#include "lock_holders.h"
#include "port.h"
#include "user_registry.h"

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

Home::Home(HomeOptions options)
    : options_(std::move(options)), registry_(std::make_shared<UserRegistry>(options_.path)) {
  Settings();
}

Home::FileStamp Home::StampNow() const {
  struct stat st {};
  if (::stat((options_.path + "/" + kEngineSettingsFile).c_str(), &st) != 0) return {};
  const auto ns = [](const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
  };
  return {true, static_cast<std::int64_t>(st.st_ino), static_cast<std::int64_t>(st.st_size),
          ns(st.st_ctim), ns(st.st_mtim)};
}

EngineSettings Home::Settings() const {
  const FileStamp now = StampNow();
  const std::lock_guard<std::mutex> lock(mutex_);
  if (stale_ || !(now == stamp_)) {
    settings_ = ReadEngineSettings(options_.path);
    stamp_ = now;
    stale_ = false;
  }
  return settings_;
}

const DatastoreKind* Home::Kind() const { return FindDatastoreKind(Settings().dataStore); }

void Home::SettingsWritten() {
  const std::lock_guard<std::mutex> lock(mutex_);
  stale_ = true;
}

std::shared_ptr<Port> Home::MakePort() const {
  PortOptions options;
  options.home = options_.path;
  options.drivers = options_.drivers;
  options.printing = options_.printing;
  options.settings = Settings();
  options.registry = registry_;
  return Port::Create(std::move(options));
}

std::string Home::MissingSystemAccount() const {
  const std::string& home = options_.path;
  const DatastoreKind* kind = Kind();
  if (!kind) return {};
  const std::string account(kSystemAccount);
  if (kind->accounts.Exists({home, nullptr}, account).value_or(true)) return {};
  return "The engine home " + home + " has no system account (\"" + account +
         "\"): nobody could log in.\n"
         "Make it, with a first user, by:\n"
         "  OvEngSetup --home " +
         home + " --user NAME --password-stdin\n";
}

std::int64_t Home::RemoveStaleLocks() const {
  return orvik::RemoveStaleLocks(options_.path, Settings(), *registry_);
}

}  // namespace orvik
