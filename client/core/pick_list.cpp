#include "pick_list.h"

#include <algorithm>

namespace orvik::client {
namespace {

// Narrower than this the text box and its label have no room: a list of one narrow column
// still gets a usable window.
constexpr double kMinimumWidth = 3600;
constexpr double kRightGap = 1.02;
constexpr double kHeightShare = 0.65;

}  // namespace

PickListPlacement PlacePickList(const PickList& list, double screenWidth, double screenHeight) {
  PickListPlacement p;
  p.width = std::max(list.ScaleWidth(), kMinimumWidth);
  // A list wider than the screen is squeezed onto it rather than pushed off its left edge.
  p.width = std::min(p.width, screenWidth / kRightGap);
  p.left = screenWidth - p.width * kRightGap;
  p.height = screenHeight * kHeightShare;
  p.top = (screenHeight - p.height) / 2;
  return p;
}

std::string PickOnEnter(std::string_view typed, const std::optional<std::string>& selected) {
  if (!typed.empty()) return std::string(TrimBlanks(typed));
  return selected.value_or(std::string());
}

}  // namespace orvik::client
