#include "text_raster.h"

#include <algorithm>
#include <cmath>

namespace orvik::client {
namespace {

// A cell index from a position that may lie anywhere (a transmission names any number):
// far outside the raster it is clamped, never converted out of range.
std::int32_t CellIndex(double cells) {
  if (std::isnan(cells)) return -1;
  return static_cast<std::int32_t>(std::clamp(cells, -1e9, 1e9));
}

// The first cell whose centre lies at or past `twips`: the cells between two such indexes
// have their centres inside the span.
std::int32_t CentreIndex(double twips, double cell) {
  return CellIndex(std::ceil(twips / cell - 0.5));
}

}  // namespace

void TextRaster::Reset(double width, double height, double cellWidth, double cellHeight,
                       std::int32_t background) {
  if (cellWidth <= 0 || cellHeight <= 0) {
    cellWidth_ = cellHeight_ = 0;
    columns_ = rows_ = 0;
    cells_.clear();
    return;
  }
  const auto columns = static_cast<std::int32_t>(std::ceil(width / cellWidth));
  const auto rows = static_cast<std::int32_t>(std::ceil(height / cellHeight));
  if (cellWidth == cellWidth_ && cellHeight == cellHeight_ && columns == columns_ &&
      rows == rows_) {
    return;
  }
  cellWidth_ = cellWidth;
  cellHeight_ = cellHeight;
  columns_ = std::max(columns, 0);
  rows_ = std::max(rows, 0);
  cells_.assign(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_),
                RasterCell{' ', 0, background});
}

RasterCell* TextRaster::Cell(std::int32_t row, std::int32_t column) {
  if (row < 0 || row >= rows_ || column < 0 || column >= columns_) return nullptr;
  return &cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
                 static_cast<std::size_t>(column)];
}

RasterCell TextRaster::At(std::int32_t row, std::int32_t column) const {
  if (row < 0 || row >= rows_ || column < 0 || column >= columns_) return {};
  return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
                static_cast<std::size_t>(column)];
}

std::string TextRaster::RowText(std::int32_t row) const {
  std::string text;
  for (std::int32_t c = 0; c < columns_; ++c) text += At(row, c).byte;
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

std::string TextRaster::Text() const {
  std::string text;
  for (std::int32_t r = 0; r < rows_; ++r) text += RowText(r) + '\n';
  while (text.size() >= 2 && text.ends_with("\n\n")) text.pop_back();
  if (text == "\n") text.clear();
  return text;
}

void TextRaster::Clear(std::int32_t background) {
  std::fill(cells_.begin(), cells_.end(), RasterCell{' ', 0, background});
}

void TextRaster::Fill(double x1, double y1, double x2, double y2, std::int32_t colour) {
  if (cells_.empty()) return;
  const std::int32_t c1 = std::max(CentreIndex(std::min(x1, x2), cellWidth_), 0);
  const std::int32_t c2 = std::min(CentreIndex(std::max(x1, x2), cellWidth_), columns_);
  const std::int32_t r1 = std::max(CentreIndex(std::min(y1, y2), cellHeight_), 0);
  const std::int32_t r2 = std::min(CentreIndex(std::max(y1, y2), cellHeight_), rows_);
  for (std::int32_t r = r1; r < r2; ++r) {
    for (std::int32_t c = c1; c < c2; ++c) *Cell(r, c) = RasterCell{' ', 0, colour};
  }
}

void TextRaster::Print(double x, double y, std::string_view bytes, std::int32_t colour) {
  if (cells_.empty()) return;
  const std::int32_t row = CellIndex(std::round(y / cellHeight_));
  std::int32_t column = CellIndex(std::round(x / cellWidth_));
  for (const char byte : bytes) {
    if (column >= columns_) break;
    if (RasterCell* cell = Cell(row, column)) {
      cell->byte = byte;
      cell->fore = colour;
    }
    ++column;
  }
}

void TextRaster::ScrollUp(double dy, std::int32_t background) {
  if (cells_.empty()) return;
  const auto lines = std::clamp(static_cast<std::int32_t>(std::lround(dy / cellHeight_)), 0, rows_);
  if (lines == 0) return;
  const auto shift = static_cast<std::ptrdiff_t>(lines) * columns_;
  std::move(cells_.begin() + shift, cells_.end(), cells_.begin());
  std::fill(cells_.end() - shift, cells_.end(), RasterCell{' ', 0, background});
}

}  // namespace orvik::client
