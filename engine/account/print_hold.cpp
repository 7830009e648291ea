#include "print_hold.h"

#include <ctime>

#include "layout.h"
#include "vb_error.h"

namespace orvik {
namespace {

std::string Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
  return buf;
}

Status Failed() { return Status::Error(dberr::kPrintHoldFailed, "printhold job failed to close"); }

}  // namespace

Status StoreHeldJob(AccountConnection& account, std::int32_t queue, const std::string& userId,
                    const std::string& text) {
  std::string table;
  Driver* driver = account.SystemTableDriver("printhold", &table);
  if (driver == nullptr) return Failed();
  const DatabaseSwitch inDm = account.SwitchTo(*driver, std::string(kSystemAccount),
                                               account.SwitchesToSystemAccount("printhold"));

  const DbValue queueText{std::to_string(queue)};
  // The key on (Queue, Sequence) makes a sequence that another port took first fail; the
  // next one is tried then.
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::int64_t sequence = 1;
    try {
      auto last = driver->Query(
          "SELECT Queue, Sequence FROM " + table + " WHERE Queue = ? ORDER BY Sequence DESC",
          std::span<const DbValue>(&queueText, 1));
      if (last->Next() && last->Row()[1]) sequence = std::stoll(*last->Row()[1]) + 1;
    } catch (...) {
      // A queue that cannot be read starts at 1: the insert tells whether that was wrong.
    }
    try {
      const DbValue row[] = {*queueText, std::to_string(sequence), userId, account.Account(),
                             Now(),      std::string("0"),         text};
      if (driver->Execute("INSERT INTO " + table + " VALUES (?, ?, ?, ?, ?, ?, ?)", row) == 1)
        return Status::Ok();
    } catch (const VbError& e) {
      if (e.number() == dberr::kIntegrity) continue;
    }
    break;
  }
  return Failed();
}

}  // namespace orvik
