#include "slot_deadlines.h"

namespace orvik::console {

void SlotDeadlines::Set(int slot, Kind kind, SteadyClock::time_point when) {
  Clear(slot, kind);
  bySlot_.emplace(Key{slot, kind}, when);
  ordered_.emplace(when, slot, kind);
}

void SlotDeadlines::Clear(int slot, Kind kind) {
  const auto it = bySlot_.find(Key{slot, kind});
  if (it == bySlot_.end()) return;
  ordered_.erase({it->second, slot, kind});
  bySlot_.erase(it);
}

void SlotDeadlines::ClearSlot(int slot) {
  for (auto it = bySlot_.lower_bound(Key{slot, Kind{}});
       it != bySlot_.end() && it->first.first == slot;) {
    ordered_.erase({it->second, slot, it->first.second});
    it = bySlot_.erase(it);
  }
}

void SlotDeadlines::ClearAll() {
  ordered_.clear();
  bySlot_.clear();
}

std::optional<SteadyClock::time_point> SlotDeadlines::At(int slot, Kind kind) const {
  const auto it = bySlot_.find(Key{slot, kind});
  if (it == bySlot_.end()) return std::nullopt;
  return it->second;
}

std::optional<SteadyClock::time_point> SlotDeadlines::Next() const {
  if (ordered_.empty()) return std::nullopt;
  return std::get<0>(*ordered_.begin());
}

std::optional<SlotDeadlines::Due> SlotDeadlines::PopDue(SteadyClock::time_point now) {
  if (ordered_.empty()) return std::nullopt;
  const auto [when, slot, kind] = *ordered_.begin();
  if (when > now) return std::nullopt;
  ordered_.erase(ordered_.begin());
  bySlot_.erase(Key{slot, kind});
  return Due{slot, kind};
}

}  // namespace orvik::console
