// SQL Server reaches another account's tables (and the system account's) by switching the
// connection's default database for a statement, and a server port looks at another
// account's tables the same way. The switch lasts as long as this object: the connection
// goes back to its own account on every way out, errors included. When going back fails,
// the connection must not stay in the other account: `onFailedReturn` then runs (the
// account connection makes the connection afresh on its own account, or closes it). The one
// place that makes these switches is AccountConnection::SwitchTo.

#ifndef ORVIK_ENGINE_DATASTORE_DATABASE_SWITCH_H_
#define ORVIK_ENGINE_DATASTORE_DATABASE_SWITCH_H_

#include <functional>
#include <string>

#include "driver.h"

namespace orvik {

class DatabaseSwitch {
 public:
  // Switches `driver` to `to` (when `active`), and back to `back` when this object goes.
  // `onFailedReturn` must not throw.
  DatabaseSwitch(Driver& driver, const std::string& to, std::string back,
                 std::function<void()> onFailedReturn, bool active = true)
      : driver_(active ? &driver : nullptr),
        back_(std::move(back)),
        onFailedReturn_(std::move(onFailedReturn)) {
    if (driver_) driver_->UseDatabase(to);
  }
  ~DatabaseSwitch() {
    if (!driver_) return;
    try {
      driver_->UseDatabase(back_);
    } catch (...) {
      if (onFailedReturn_) onFailedReturn_();
    }
  }
  DatabaseSwitch(const DatabaseSwitch&) = delete;
  DatabaseSwitch& operator=(const DatabaseSwitch&) = delete;

 private:
  Driver* driver_;
  std::string back_;
  std::function<void()> onFailedReturn_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_DATABASE_SWITCH_H_
