// What a popup window shows for a POPUP block: its place and size, its title, its OK
// button, and the strokes of its drawing (highlight boxes, text, rules and the terminal's
// box characters as lines), all computed here so that the window only paints them.
//
// Pure; GUI thread. Sizes and positions in the block count in the main window's character
// cells; the picture is in twips, the window's place measured from the screen form's top
// left corner, its drawing from the window's inner top left corner. A "<" without a later
// ">" is thrown as VbError 5 (invalid procedure call) to the opener; a number that cannot
// be read counts as 0; a block without "</POPUP>" is drawn to its end.

#ifndef ORVIK_CLIENT_CORE_POPUP_PICTURE_H_
#define ORVIK_CLIENT_CORE_POPUP_PICTURE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "form_font.h"

namespace orvik::client {

inline constexpr const char* kPopupDefaultTitle = "Popup Info ";
// The inner area of a popup whose block gives no size.
inline constexpr double kPopupDefaultWidth = 4680;
inline constexpr double kPopupDefaultHeight = 3195;

struct PopupStroke {
  enum class Kind { kFill, kText, kLine };
  Kind kind = Kind::kText;
  // kFill: two corners; kLine: its two ends; kText: the top left corner of its first cell.
  double x1 = 0;
  double y1 = 0;
  double x2 = 0;
  double y2 = 0;
  std::string text;      // kText: characters 32 to 127, one a cell
  double advance = 0;    // kText: the width of a cell
  std::int32_t colour = 0;
  std::int32_t penWidth = 1;  // kLine: in pixels

  bool operator==(const PopupStroke&) const = default;
};

struct PopupPicture {
  std::string title = kPopupDefaultTitle;
  double left = 0;  // the window, from the screen form's top left corner
  double top = 0;
  double width = kPopupDefaultWidth;  // its inner area
  double height = kPopupDefaultHeight;
  double okLeft = 0;  // the OK button, inside the window
  double okTop = 0;
  double okWidth = 0;
  double okHeight = 0;
  std::int32_t backColour = 0xFFFFFF;
  FormFont font{"Courier New", 9.75, true};
  std::vector<PopupStroke> strokes;
};

// What the popup is drawn from besides its block: the raster's cell (CellWidth,
// CellHeight), the screen form's size (a popup without a place is centred on it), the
// separators of the transmission, and the TRUECOLOR setting.
struct PopupSetting {
  double cellWidth = 0;
  double cellHeight = 0;
  double formWidth = 0;
  double formHeight = 0;
  bool commas = false;  // TagSeparator or PositionSeparator is ","
  bool trueColour = false;
};

PopupPicture DrawPopup(std::string_view block, const PopupSetting& setting);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_POPUP_PICTURE_H_
