#include "entry_lookup.h"

#include "numbers.h"

namespace orvik::client {

bool ItemStandsAt(const EntrySpecTable& entrySpec, std::int32_t row, std::int32_t top,
                  std::int32_t left) {
  const std::string& rowTop = entrySpec.Get(row, 5);
  const std::string& rowLeft = entrySpec.Get(row, 6);
  if (entrySpec.Get(row, 1).empty() || rowTop.empty() || rowLeft.empty()) return false;
  return Val(rowTop) == top && Val(rowLeft) == left;
}

}  // namespace orvik::client
