#include "program_history.h"

#include <algorithm>

namespace orvik::client {

std::string_view NavigationCode(std::string_view entry) {
  return entry.substr(0, std::min(entry.find(','), entry.size()));
}

const std::string& ProgramHistory::At(std::int32_t index) const {
  static const std::string kNone;
  if (index < kFirst || index > kLast) return kNone;
  return entries_[static_cast<std::size_t>(index - kFirst)];
}

void ProgramHistory::ScreenShown(const std::string& entry, ControlRecord& navigate,
                                 ControlRecord& back, ControlRecord& forward) {
  navigate.caption = entry;
  std::vector<std::string>& list = navigate.list;
  const std::size_t recent = std::min<std::size_t>(list.size(), 3);
  const bool again = std::find(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(recent),
                               entry) != list.begin() + static_cast<std::ptrdiff_t>(recent) ||
                     (recent < 3 && entry.empty());
  if (again) {
    // The screen a history step went to has come: the step is over, or the next new screen
    // would be left out of the history.
    stepping_ = false;
    return;
  }
  list.insert(list.begin(), entry);
  if (list.size() > kNavigateListSize) list.pop_back();
  if (startEntry_.empty()) {
    startEntry_ = entry;
    Slot(0) = entry;
    return;
  }
  back.enabled = true;
  if (stepping_) {
    stepping_ = false;
    return;
  }
  forward.enabled = false;
  for (std::int32_t k = kLast; k >= 1; --k) Slot(k) = Slot(k - 1);
  for (std::int32_t k = kFirst; k <= -1; ++k) Slot(k).clear();
  Slot(0) = entry;
}

std::optional<std::string> ProgramHistory::Back(ControlRecord& back, ControlRecord& forward) {
  if (At(1).empty()) {
    back.enabled = false;
    return std::nullopt;
  }
  stepping_ = true;
  for (std::int32_t k = kFirst; k <= kLast - 1; ++k) Slot(k) = Slot(k + 1);
  Slot(kLast).clear();
  forward.enabled = true;
  return At(0);
}

std::optional<std::string> ProgramHistory::Forward(ControlRecord& back, ControlRecord& forward) {
  if (At(-1).empty()) {
    forward.enabled = false;
    return std::nullopt;
  }
  stepping_ = true;
  for (std::int32_t k = kLast; k >= kFirst + 1; --k) Slot(k) = Slot(k - 1);
  Slot(kFirst).clear();
  back.enabled = true;
  return At(0);
}

}  // namespace orvik::client
