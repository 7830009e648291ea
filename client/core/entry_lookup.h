// Finding a screen item by where it stands on the raster.
//
// Pure reads of the model; GUI thread.

#ifndef ORVIK_CLIENT_CORE_ENTRY_LOOKUP_H_
#define ORVIK_CLIENT_CORE_ENTRY_LOOKUP_H_

#include <cstdint>

#include "screen_model.h"

namespace orvik::client {

// Whether EntrySpec row `row` is an item placed at line `top`, column `left`: its TOP and
// LEFT attributes (5 and 6) read as those numbers. A row with no TOP or LEFT stands
// nowhere, so an empty row is never found at 0, 0.
bool ItemStandsAt(const EntrySpecTable& entrySpec, std::int32_t row, std::int32_t top,
                  std::int32_t left);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_ENTRY_LOOKUP_H_
