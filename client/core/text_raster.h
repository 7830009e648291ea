// What the character terminal shows, cell by cell: the byte, its colour and the colour
// behind it, kept beside the drawn image so that what is on the screen can be read back
// (by the tests, and by anyone who wants the screen as text).
//
// The terminal prints only at whole multiples of its character cell, so every character
// lands in one cell exactly; a filled box takes the cells whose centres it covers. Plain
// data of one screen form, used on the GUI thread. Positions are in twips; a position off
// the raster is passed over.

#ifndef ORVIK_CLIENT_CORE_TEXT_RASTER_H_
#define ORVIK_CLIENT_CORE_TEXT_RASTER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::client {

struct RasterCell {
  char byte = ' ';
  std::int32_t fore = 0;
  std::int32_t back = 0xFFFFFF;

  bool operator==(const RasterCell&) const = default;
};

class TextRaster {
 public:
  // A raster of cells `cellWidth` x `cellHeight` twips over an area `width` x `height`,
  // every cell blank on `background`. Kept as it is when nothing changes.
  void Reset(double width, double height, double cellWidth, double cellHeight,
             std::int32_t background);

  std::int32_t Columns() const { return columns_; }
  std::int32_t Rows() const { return rows_; }
  // The cell, or a blank one off the raster.
  RasterCell At(std::int32_t row, std::int32_t column) const;
  // The row's bytes, trailing blanks removed ("" off the raster).
  std::string RowText(std::int32_t row) const;
  // Every row, each followed by LF, trailing empty rows removed.
  std::string Text() const;

  void Clear(std::int32_t background);
  void Fill(double x1, double y1, double x2, double y2, std::int32_t colour);
  void Print(double x, double y, std::string_view bytes, std::int32_t colour);
  // The rows move up by `dy` twips (rounded to whole rows); new rows are blank.
  void ScrollUp(double dy, std::int32_t background);

 private:
  RasterCell* Cell(std::int32_t row, std::int32_t column);

  double cellWidth_ = 0;
  double cellHeight_ = 0;
  std::int32_t columns_ = 0;
  std::int32_t rows_ = 0;
  std::vector<RasterCell> cells_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TEXT_RASTER_H_
