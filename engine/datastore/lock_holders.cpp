#include "lock_holders.h"

#include <charconv>
#include <memory>
#include <vector>

#include "driver_factory.h"
#include "engine_settings.h"
#include "user_registry.h"
#include "vb_error.h"

namespace orvik {
namespace {

// A MariaDB lock name holds at most 64 characters; a user instance may be longer.
constexpr std::string_view kMariaDbMark = "CONCAT('orvik ', MD5(?))";

std::string SqlServerMark(const std::string& userInst) { return "orvik " + userInst; }

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

// The first column of the only row of a query.
DbValue Scalar(Driver& d, const std::string& sql, const std::string& param) {
  const DbValue p{param};
  auto cursor = d.Query(sql, std::span<const DbValue>(&p, 1));
  if (!cursor->Next()) return std::nullopt;
  return cursor->Row()[0];
}

}  // namespace

void MarkSessionAlive(Driver& dm, std::string_view dataStore, const std::string& userInst,
                      int waitSeconds) {
  DbValue taken;
  if (dataStore == "MYSQL") {
    taken = Scalar(
        dm,
        "SELECT GET_LOCK(" + std::string(kMariaDbMark) + ", " + std::to_string(waitSeconds) + ")",
        userInst);
  } else if (dataStore == "MSSQL") {
    taken = Scalar(dm,
                   "DECLARE @r INT; EXEC @r = sp_getapplock @Resource = ?, @LockMode = "
                   "'Exclusive', @LockOwner = 'Session', @LockTimeout = " +
                       std::to_string(waitSeconds * 1000) + "; SELECT @r",
                   SqlServerMark(userInst));
    // 0 granted at once, 1 after a wait.
    if (taken == "0") taken = "1";
  } else {
    return;
  }
  if (taken != "1") {
    throw VbError(dberr::kUnspecified, "The session of " + userInst +
                                           " cannot be marked as alive on the datastore; its "
                                           "item locks would not be safe");
  }
}

bool HolderGone(Driver& dm, std::string_view dataStore, UserRegistry* registry,
                const std::string& userInst) {
  try {
    if (dataStore == "MYSQL") {
      return !Scalar(dm, "SELECT IS_USED_LOCK(" + std::string(kMariaDbMark) + ")", userInst);
    }
    if (dataStore == "MSSQL") {
      return Scalar(dm, "SELECT APPLOCK_TEST('public', ?, 'Exclusive', 'Session')",
                    SqlServerMark(userInst)) == "1";
    }
    const std::int32_t number = RegistryNumber(userInst);
    return registry != nullptr && number > 0 && registry->LineGone(number);
  } catch (...) {
    return false;
  }
}

std::int64_t RemoveStaleLocks(Driver& dm, std::string_view dataStore, const std::string& locksTable,
                              UserRegistry* registry) {
  std::vector<std::string> holders;
  {
    auto cursor = dm.Query("SELECT DISTINCT UserInst FROM " + locksTable);
    while (cursor->Next()) holders.push_back(cursor->Row()[0].value_or(""));
  }
  std::int64_t removed = 0;
  for (const std::string& holder : holders) {
    if (!HolderGone(dm, dataStore, registry, holder)) continue;
    const DbValue p{holder};
    removed += dm.Execute("DELETE FROM " + locksTable + " WHERE UserInst = ?",
                          std::span<const DbValue>(&p, 1));
  }
  return removed;
}

std::int64_t RemoveStaleLocks(const std::string& home) {
  const EngineSettings settings = ReadEngineSettings(home);
  if (settings.dataStore != "JET") return 0;
  std::unique_ptr<Driver> dm = MakeDriver("JET");
  ConnectParams params;
  params.home = home;
  params.account = "dm";
  dm->Connect(params);
  UserRegistry registry(home);
  return RemoveStaleLocks(*dm, settings.dataStore, "locks", &registry);
}

}  // namespace orvik
