// This start of the machine.

#ifndef ORVIK_ENGINE_DATASTORE_THIS_BOOT_H_
#define ORVIK_ENGINE_DATASTORE_THIS_BOOT_H_

#include <string>

namespace orvik {

// The id of this start of the machine ("" where it cannot be told). It changes at every
// boot, so whatever was recorded under another one belongs to processes that are gone.
std::string ThisBoot();

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_THIS_BOOT_H_
