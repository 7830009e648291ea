#include "lock_holders.h"

#include <charconv>
#include <memory>
#include <vector>

#include "driver_factory.h"
#include "engine_settings.h"
#include "layout.h"
#include "user_registry.h"
#include "vb_error.h"

namespace orvik {
namespace {

// The registry number of an embedded-store user instance, or 0 when it has none.
std::int32_t RegistryNumber(std::string_view userInst) {
  const std::size_t star = userInst.rfind('*');
  if (star == std::string_view::npos) return 0;
  const std::string_view digits = userInst.substr(star + 1);
  std::int32_t number = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (ec != std::errc() || end != digits.data() + digits.size() || number <= 0) return 0;
  return number;
}

}  // namespace

void MarkSessionAlive(Driver& dm, const Dialect& dialect, const std::string& userInst,
                      int waitSeconds) {
  if (!dialect.MarksSessions()) return;
  if (!dialect.TakeSessionMark(dm, userInst, waitSeconds)) {
    throw VbError(dberr::kUnspecified, "The session of " + userInst +
                                           " cannot be marked as alive on the datastore; its "
                                           "item locks would not be safe");
  }
}

bool HolderGone(Driver& dm, const Dialect& dialect, UserRegistry* registry,
                const std::string& userInst) {
  try {
    if (dialect.MarksSessions()) return dialect.SessionMarkFree(dm, userInst);
    const std::int32_t number = RegistryNumber(userInst);
    return registry != nullptr && number > 0 && registry->LineGone(number);
  } catch (...) {
    // A holder that cannot be judged counts as alive: its lock is kept.
    return false;
  }
}

std::int64_t RemoveStaleLocks(Driver& dm, const Dialect& dialect, const std::string& locksTable,
                              UserRegistry* registry) {
  std::vector<std::string> holders;
  {
    auto cursor = dm.Query("SELECT DISTINCT UserInst FROM " + locksTable);
    while (cursor->Next()) holders.push_back(cursor->Row()[0].value_or(""));
  }
  std::int64_t removed = 0;
  for (const std::string& holder : holders) {
    if (!HolderGone(dm, dialect, registry, holder)) continue;
    const DbValue p{holder};
    removed += dm.Execute("DELETE FROM " + locksTable + " WHERE UserInst = ?",
                          std::span<const DbValue>(&p, 1));
  }
  return removed;
}

std::int64_t RemoveStaleLocks(const std::string& home) {
  const EngineSettings settings = ReadEngineSettings(home);
  const Dialect& dialect = Dialect::Of(settings.dataStore);
  if (!dialect.ConnectionPerAccount()) return 0;
  std::unique_ptr<Driver> dm = MakeDriver(dialect.Kind());
  dm->Connect(dialect.ConnectParamsFor(settings, home, std::string(kSystemAccount)));
  UserRegistry registry(home);
  return RemoveStaleLocks(*dm, dialect, dialect.SystemTableOf("locks").table, &registry);
}

}  // namespace orvik
