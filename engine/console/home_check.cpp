#include "home_check.h"

#include "datastore_kinds.h"
#include "engine_settings.h"
#include "layout.h"

namespace orvik::console {

std::string MissingSystemAccount(const std::string& home) {
  const DatastoreKind* kind = FindDatastoreKind(ReadEngineSettings(home).dataStore);
  if (!kind) return {};
  const std::string account(kSystemAccount);
  // A server's accounts are seen only through a login, which the console does not have.
  if (kind->accounts.Exists({home, nullptr}, account).value_or(true)) return {};
  return "The engine home " + home + " has no system account (\"" + account +
         "\"): nobody could log in.\n"
         "Make it, with a first user, by:\n"
         "  OvEngSetup --home " +
         home + " --user NAME --password-stdin\n";
}

}  // namespace orvik::console
