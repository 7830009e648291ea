#include "grid_fill.h"

#include <algorithm>
#include <string>

#include "markup.h"
#include "tag_attribute.h"
#include "text.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

class GridFiller {
 public:
  GridFiller(ScreenModel& model, ShellContext& shell)
      : m_(model), grid_(model.grid), rows_(model.gridArea.mnGridRows), shell_(shell) {}

  void Load() {
    // The block is consumed even when the grid refuses a cell: it is never loaded twice.
    const std::string block = std::move(m_.items.gridFillText);
    m_.items.gridFillText.clear();
    const bool commas =
        shell_.settings.tagSeparator == ',' || FindNoCase(block, "<POSITION,") != std::string::npos;
    for (const MarkupItem& item : MarkupItems(block)) {
      const std::string tag = TagBody(item.body, commas);
      if (FirstWord(tag) == "POSITION") {
        Position(tag, item.tail);
      } else if (tag == "DATA") {
        Data(item.tail);
      } else {
        shell_.DevBox("WARNING: invalid data in <GRIDFILL> transmission: \r\n\r\n" + tag +
                          std::string(item.tail) + "\r\n\r\nPlease let your systems people know.",
                      BoxIcon::kExclamation);
      }
    }
    if (wrote_) {
      grid_.SetRow(1);
      grid_.SetCol(0);
      m_.gridCursor = GridCursor{1, 0, false};
    }
  }

 private:
  std::int32_t DataColumns() const { return grid_.Cols() - 1; }
  std::int32_t Count(std::string_view value) const {
    return shell_.fns.DCount(value, shell_.settings.rxDelimiter).ToLong();
  }

  // The next row to fill. Past the most rows a grid can have it is the grid's size error.
  void NextRow() {
    if (rows_ >= static_cast<std::int32_t>(GridModel::kMaxCells)) {
      throw VbError(vberr::kOutOfMemory);
    }
    ++rows_;
  }

  // A new row to fill: when it is the grid's last, the grid grows by one, keeping a spare
  // row, and the row numbered is `numbered`.
  void GrowFor(std::int32_t numbered) {
    if (rows_ < grid_.Rows() - 1) return;
    grid_.SetRows(rows_ + 2);
    grid_.SetRow(numbered);
    grid_.SetCol(0);
    grid_.SetCellAlignment(kAlignRightCentre);
    grid_.SetText(std::to_string(numbered));
  }

  void Cell(std::int32_t col, std::string_view value, std::int32_t piece) {
    grid_.SetCol(col);
    grid_.SetRow(rows_);
    if (const auto alignment = CellAlignmentOfColumn(grid_.ColData(col))) {
      grid_.SetCellAlignment(*alignment);
    }
    grid_.SetText(
        std::string(TrimBlanks(shell_.fns.Field(value, shell_.settings.rxDelimiter, piece))));
    wrote_ = true;
  }

  void Data(std::string_view value) {
    NextRow();
    GrowFor(rows_);
    grid_.SetRow(rows_);
    std::int32_t n = Count(value);
    if (n > DataColumns()) {
      shell_.DevBox(
          "WARNING: more data values than columns in grid.  Data will be "
          "truncated.\r\n<DATA>" +
              std::string(value),
          BoxIcon::kExclamation);
      n = DataColumns();
    }
    for (std::int32_t c = 1; c <= n; ++c) Cell(c, value, c);
    cursor_ = n + 1;
  }

  void Position(const std::string& tag, std::string_view value) {
    const std::int32_t key = LongOf(TagAttribute(tag, "TOP"));
    // Row 0 holds the titles: a first item without a TOP still starts a data row.
    if (key != previousKey_ || rows_ < 1) {
      NextRow();
      GrowFor(rows_ + 1);
      grid_.SetRow(rows_);
      cursor_ = 1;
    } else {
      ++cursor_;
    }
    const std::int64_t n = std::max(Count(value), 1);
    for (std::int64_t c = cursor_; c < cursor_ + n; ++c) {
      if (c > DataColumns()) {
        shell_.DevBox(
            "WARNING: Server is transmitting more data values than there are columns in the "
            "grid to hold it.  You will get an incomplete display.  Please let your systems "
            "people know.  The offending tranmission is:\r\n\r\n" +
                std::string(value),
            BoxIcon::kExclamation);
        break;
      }
      Cell(static_cast<std::int32_t>(c), value, static_cast<std::int32_t>(c - cursor_ + 1));
    }
    previousKey_ = key;
    cursor_ += n - 1;
  }

  ScreenModel& m_;
  GridModel& grid_;
  std::int32_t& rows_;  // the last data row filled
  ShellContext& shell_;
  std::int64_t cursor_ = 0;  // the last column filled
  std::int32_t previousKey_ = 0;
  bool wrote_ = false;
};

}  // namespace

void GridFillLoad(ScreenModel& model, ShellContext& shell) { GridFiller(model, shell).Load(); }

}  // namespace orvik::client
