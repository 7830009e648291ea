// The pick list of a search: what it shows (caption, columns, rows), where it stands, the
// rules by which a click, a double click or Enter turn into the picked text, and the window
// that shows it.
//
// GUI thread only. The list is plain data built by the search (search_list.h); the rules are
// pure. PickListWindow is implemented by the widgets (client/ui) and by a scripted fake in
// tests; ShowModal blocks in the window's own event loop until the user picks or closes it,
// so the poll loop may run meanwhile. Texts are Latin-1 bytes; geometry is in twips.

#ifndef ORVIK_CLIENT_CORE_PICK_LIST_H_
#define ORVIK_CLIENT_CORE_PICK_LIST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text.h"

namespace orvik::client {

// The list view's column alignments, in the platform's codes.
enum class ColumnAlignment { kLeft = 0, kRight = 1, kCentre = 2 };

struct PickListColumn {
  std::string title;
  std::int32_t width = 0;  // twips
  ColumnAlignment alignment = ColumnAlignment::kLeft;

  bool operator==(const PickListColumn&) const = default;
};

struct PickList {
  std::string caption = "Search";
  std::vector<PickListColumn> columns;
  // Each row holds exactly one value a column: the first is the item's text, the others its
  // sub-items.
  std::vector<std::vector<std::string>> rows;
  double widthSum = 0;  // of the columns, twips (a sum of any widths a transmission names)

  // The inner width the columns fill: their widths and a small margin.
  double ScaleWidth() const { return widthSum + 20.0; }
};

// Where the window stands on a screen, twips.
struct PickListPlacement {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;

  bool operator==(const PickListPlacement&) const = default;
};

// At the right edge of the screen with a small gap, its inner width the list's (but never
// wider than the screen less the gap), 65% of the screen high and centred vertically.
PickListPlacement PlacePickList(const PickList& list, double screenWidth, double screenHeight);

// What a click on a row puts into the text box.
inline std::string TextOnRowClick(std::string_view itemText) {
  return std::string(TrimBlanks(itemText));
}
// The result of a double click on a row.
inline std::string PickOnDoubleClick(std::string_view itemText) {
  return std::string(TrimBlanks(itemText));
}
// The result of Enter: a typed text wins, trimmed; else the selected row's text as it
// stands; with neither, nothing is picked ("").
std::string PickOnEnter(std::string_view typed, const std::optional<std::string>& selected);

class PickListWindow {
 public:
  virtual ~PickListWindow() = default;

  // The screen's size in twips.
  virtual double ScreenWidth() const = 0;
  virtual double ScreenHeight() const = 0;
  // Shows the list modally at `placement`, the previous rows and the typed text gone, and
  // returns the picked text; "" when the window was closed without a pick.
  virtual std::string ShowModal(const PickList& list, const PickListPlacement& placement) = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_PICK_LIST_H_
