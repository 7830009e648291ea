#include "rx_grid_process.h"

#include <string>

#include "entry_lookup.h"
#include "markup.h"
#include "tag_attribute.h"
#include "text.h"

namespace orvik::client {
namespace {

constexpr std::string_view kEntry = "ENTRY";
constexpr std::string_view kReadOnly = "READONLY";
constexpr std::string_view kExternal = "EXTERNAL";
constexpr std::string_view kDoPopup = "DO_POPUP";

// More grid columns than any screen has: the raster is 80 columns wide. A column past it
// would only make the column list huge.
constexpr std::int32_t kMaxAssocColumn = 1000;

std::size_t CountExact(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = FindExact(text, what); at != std::string_view::npos;
       at = FindExact(text, what, at + what.size())) {
    ++n;
  }
  return n;
}

class GridReader {
 public:
  GridReader(ScreenModel& model, ShellContext& shell) : m_(model), shell_(shell) {}

  void Read(std::string_view text) {
    std::string& state = m_.states.msState;
    if (state == state::kGridUpdateRow && FindExact(text, "<ACTIONCODE") != std::string::npos) {
      state = state::kGridUpdateRowEnd;
    }
    m_.gridCells.muGridRedim();
    cellTags_ = CountExact(text, "<GRIDCELL");
    const bool commas =
        shell_.settings.tagSeparator == ',' || shell_.settings.positionSeparator == ',';
    for (const MarkupItem& item : MarkupItems(text)) {
      const std::string body = TagBody(item.body, commas);
      const std::string_view type = FirstWord(body);
      if (type == "GRIDCELL") {
        GridCell(body, item.tail);
      } else if (type == "DO_POPUP") {
        m_.gridCells.SetCellText(NewRecord(kDoPopup), TagAttribute(body, "INDEX"));
      } else if (type == "POSITION") {
        if (!Position(body, item.tail)) return;
      }
    }
  }

 private:
  enum class Marker { kNone, kEntry, kReadOnly };

  // A new record after the last one written.
  std::int32_t NewRecord(std::string_view action) {
    ++last_;
    m_.gridCells.SetCellAction(last_, std::string(action));
    return last_;
  }
  bool LastRecordIs(std::string_view action) const {
    return last_ >= 1 && m_.gridCells.CellAction(last_) == action;
  }

  void GridCell(const std::string& body, std::string_view tail) {
    ++gridCellsSeen_;
    const bool entry = gridCellsSeen_ == cellTags_ && m_.states.msState != state::kGridUpdateRowEnd;
    const std::int32_t row = LongOf(TagAttribute(body, "ROW"));
    NewRecord(entry ? kEntry : kReadOnly);
    m_.gridCells.SetCellText(last_, std::string(tail));
    m_.gridCells.SetCol(last_, LongOf(TagAttribute(body, "COL")));
    m_.gridCells.SetRow(last_, row);
    marker_ = entry ? Marker::kEntry : Marker::kReadOnly;
    marked_ = last_;
    if (m_.states.msState == state::kGridAddOn && row > m_.gridArea.mnGridRows) {
      m_.gridArea.mnGridRows = row;
    }
  }

  // False when the reading ends here.
  bool Position(const std::string& body, std::string_view tail) {
    const std::int32_t top = LongOf(TagAttribute(body, "TOP"));
    const std::int32_t left = LongOf(TagAttribute(body, "LEFT"));
    switch (marker_) {
      case Marker::kEntry:
        LearnEntryPlace(top, left, tail);
        return false;
      case Marker::kReadOnly:
        if (m_.gridCells.CellText(marked_).empty()) {
          m_.gridCells.SetCellText(marked_, std::string(tail));
        }
        marker_ = Marker::kNone;
        return true;
      case Marker::kNone:
        break;
    }
    if (!TrimBlanks(tail).empty()) PlacedValue(top, left, tail);
    return true;
  }

  // The cell being edited stands where the engine put its cursor.
  void LearnEntryPlace(std::int32_t top, std::int32_t left, std::string_view tail) {
    GridArea& area = m_.gridArea;
    if (area.mnGridRows == 1) area.mnGridRowTopAssoc = top;
    const std::int32_t col = m_.gridCells.Col(marked_);
    if (col >= 1 && col <= kMaxAssocColumn) {
      area.msGridAssocCols =
          shell_.fns.RReplace(area.msGridAssocCols, col, Variant(std::to_string(left)));
    }
    if (m_.gridCells.CellText(marked_).empty()) {
      m_.gridCells.SetCellText(marked_, std::string(TrimBlanks(tail)));
    }
  }

  // A value written at a terminal position: a cell of the grid's area, or a form field.
  void PlacedValue(std::int32_t top, std::int32_t left, std::string_view tail) {
    const GridArea& area = m_.gridArea;
    Variant found;
    if (top >= area.mnGridRowTopAssoc && top <= area.mnGridRowBottomAssoc &&
        shell_.fns.Locate(std::to_string(left), "", area.msGridAssocCols, {&found, 1})) {
      const std::int32_t col = found.ToLong();
      if (!(LastRecordIs(kReadOnly) && m_.gridCells.Col(last_) == col)) {
        NewRecord(kReadOnly);
        m_.gridCells.SetCol(last_, col);
        // The grid row the terminal line holds: the first grid row stands on the top line.
        m_.gridCells.SetRow(last_, LongOf(static_cast<double>(top) - area.mnGridRowTopAssoc + 1));
      }
      m_.gridCells.SetCellText(last_, std::string(tail));
      return;
    }
    for (std::int32_t k = 1; k <= kEntryRows; ++k) {
      if (!ItemStandsAt(m_.entrySpec, k, top, left)) continue;
      if (!(LastRecordIs(kExternal) && m_.gridCells.Row(last_) == k)) {
        NewRecord(kExternal);
        m_.gridCells.SetRow(last_, k);
      }
      m_.entrySpec.Set(k, 4, std::string(tail));
      if (m_.states.msStatePrevious.find("GRID") == std::string::npos) {
        m_.states.msState2 = state::kExternalChange;
      }
      return;
    }
  }

  ScreenModel& m_;
  ShellContext& shell_;
  std::size_t cellTags_ = 0;
  std::size_t gridCellsSeen_ = 0;
  std::int32_t last_ = 0;    // the last record written
  std::int32_t marked_ = 0;  // the record of the last GRIDCELL
  Marker marker_ = Marker::kNone;
};

}  // namespace

void RXGridProcess(std::string_view text, ScreenModel& model, ShellContext& shell) {
  GridReader(model, shell).Read(text);
}

}  // namespace orvik::client
