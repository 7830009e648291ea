#include "home_check.h"

#include "engine_settings.h"
#include "layout.h"
#include "sqlite_driver.h"

namespace orvik::console {

std::string MissingSystemAccount(const std::string& home) {
  if (ReadEngineSettings(home).dataStore != "JET") return {};
  const std::string account(kSystemAccount);
  if (SqliteDriver::AccountExists(home, account)) return {};
  return "The engine home " + home + " has no system account (\"" + account +
         "\"): nobody could log in.\n"
         "Make it, with a first user, by:\n"
         "  OvEngSetup --home " +
         home + " --user NAME --password-stdin\n";
}

}  // namespace orvik::console
