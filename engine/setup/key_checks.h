// Bringing the key columns of an existing home up to date: tables made before key columns
// refused a key longer than an item id themselves (layout.h) are given that check, so that no
// writer can store a key that is cut or that no program can read; and on the embedded store,
// key columns made with the collation only the engine knew (kFormerKeyCollation) are moved
// to SQLite's own and given the index of folded keys, so that every SQLite tool can search
// and change them by key.
//
// Safe to run again and again, and at any moment: a table that has the check is left alone,
// each change is one transaction (one statement on a server; on the embedded store one for
// each account), and the rows, views and triggers of a table stay as they are. A table of
// the embedded store that already holds a longer key is reported and left without the check,
// its rows untouched, until those keys are shortened.

#ifndef ORVIK_ENGINE_SETUP_KEY_CHECKS_H_
#define ORVIK_ENGINE_SETUP_KEY_CHECKS_H_

#include <functional>
#include <string>

#include "driver.h"
#include "engine_settings.h"

namespace orvik {

// Every account of the home at `home`: the embedded store's account files, or on a server
// every database that `admin` (the administrator's connection; null on the embedded store)
// sees. `report` is told of each table changed or left without the check. Failures throw
// VbError.
void AddKeyChecks(const std::string& home, const EngineSettings& settings, Driver* admin,
                  const std::function<void(const std::string&)>& report);

}  // namespace orvik

#endif  // ORVIK_ENGINE_SETUP_KEY_CHECKS_H_
