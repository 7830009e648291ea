// SQL Server reaches another account's tables (and the system account's) by switching the
// connection's default database for a statement. The switch lasts as long as this object:
// the connection goes back to its own account on every way out, errors included.

#ifndef ORVIK_ENGINE_DATASTORE_DATABASE_SWITCH_H_
#define ORVIK_ENGINE_DATASTORE_DATABASE_SWITCH_H_

#include <string>

#include "driver.h"

namespace orvik {

class DatabaseSwitch {
 public:
  // Switches `driver` to `to` (when `active`), and back to `back` when this object goes.
  DatabaseSwitch(Driver& driver, const std::string& to, std::string back, bool active = true)
      : driver_(active ? &driver : nullptr), back_(std::move(back)) {
    if (driver_) driver_->UseDatabase(to);
  }
  ~DatabaseSwitch() {
    if (!driver_) return;
    try {
      driver_->UseDatabase(back_);
    } catch (...) {
      // Nothing more can be done here; the next statement reports a connection that is lost.
    }
  }
  DatabaseSwitch(const DatabaseSwitch&) = delete;
  DatabaseSwitch& operator=(const DatabaseSwitch&) = delete;

 private:
  Driver* driver_;
  std::string back_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_DATABASE_SWITCH_H_
