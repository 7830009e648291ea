#include "grid_model.h"

#include <algorithm>

#include "vb_error.h"

namespace orvik::client {
namespace {

constexpr std::int32_t kDefaultRowHeight = 240;

}  // namespace

std::optional<std::int32_t> CellAlignmentOfColumn(std::int32_t code) {
  switch (code) {
    case 0:
      return kAlignLeftCentre;
    case 1:
      return kAlignRightCentre;
    case 2:
      return kAlignCentreCentre;
    default:
      return std::nullopt;
  }
}

GridModel::GridModel() : cells_(2, GridRow(2)), rowHeights_(2, kDefaultRowHeight), columns_(2) {}

void GridModel::CheckRow(std::int32_t row) const {
  if (row < 0 || row >= Rows()) throw VbError(kGridInvalidRow, "Invalid Row value");
}

void GridModel::CheckCol(std::int32_t col) const {
  if (col < 0 || col >= cols_) throw VbError(kGridInvalidCol, "Invalid Col value");
}

void GridModel::CheckSize(std::int64_t rows, std::int64_t cols) const {
  if (rows * cols > static_cast<std::int64_t>(kMaxCells)) throw VbError(vberr::kOutOfMemory);
}

GridModel::Cell& GridModel::At(std::int32_t row, std::int32_t col) {
  return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

const GridModel::Cell& GridModel::At(std::int32_t row, std::int32_t col) const {
  return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

void GridModel::KeepCursorInside() {
  const std::int32_t lastRow = Rows() - 1;
  const std::int32_t lastCol = cols_ - 1;
  row_ = std::min(row_, lastRow);
  rowSel_ = std::min(rowSel_, lastRow);
  topRow_ = std::clamp(topRow_, std::min(kFixedRows, lastRow), lastRow);
  col_ = std::min(col_, lastCol);
  colSel_ = std::min(colSel_, lastCol);
}

void GridModel::SetRows(std::int32_t rows) {
  if (rows < kFixedRows) throw VbError(kGridInvalidRow, "Invalid Row value");
  CheckSize(rows, cols_);
  cells_.resize(static_cast<std::size_t>(rows), NewRow());
  rowHeights_.resize(static_cast<std::size_t>(rows), kDefaultRowHeight);
  KeepCursorInside();
}

void GridModel::SetCols(std::int32_t cols) {
  if (cols < kFixedCols) throw VbError(kGridInvalidCol, "Invalid Col value");
  CheckSize(Rows(), cols);
  cols_ = cols;
  for (GridRow& r : cells_) r.resize(static_cast<std::size_t>(cols));
  columns_.resize(static_cast<std::size_t>(cols));
  KeepCursorInside();
}

void GridModel::SetRow(std::int32_t row) {
  CheckRow(row);
  row_ = row;
  rowSel_ = row;
}

void GridModel::SetCol(std::int32_t col) {
  CheckCol(col);
  col_ = col;
  colSel_ = col;
}

const std::string& GridModel::TextMatrix(std::int32_t row, std::int32_t col) const {
  CheckRow(row);
  CheckCol(col);
  return At(row, col).text;
}

void GridModel::SetTextMatrix(std::int32_t row, std::int32_t col, std::string text) {
  CheckRow(row);
  CheckCol(col);
  At(row, col).text = std::move(text);
}

std::int32_t GridModel::CellAlignmentAt(std::int32_t row, std::int32_t col) const {
  CheckRow(row);
  CheckCol(col);
  return At(row, col).alignment;
}

std::int32_t GridModel::ColData(std::int32_t col) const {
  CheckCol(col);
  return columns_[static_cast<std::size_t>(col)].data;
}

void GridModel::SetColData(std::int32_t col, std::int32_t data) {
  CheckCol(col);
  columns_[static_cast<std::size_t>(col)].data = data;
}

std::int32_t GridModel::ColWidth(std::int32_t col) const {
  CheckCol(col);
  return columns_[static_cast<std::size_t>(col)].width;
}

void GridModel::SetColWidth(std::int32_t col, std::int32_t width) {
  CheckCol(col);
  columns_[static_cast<std::size_t>(col)].width = width;
}

std::int32_t GridModel::RowHeight(std::int32_t row) const {
  CheckRow(row);
  return std::max(rowHeights_[static_cast<std::size_t>(row)], rowHeightMin_);
}

void GridModel::SetRowHeight(std::int32_t row, std::int32_t height) {
  CheckRow(row);
  rowHeights_[static_cast<std::size_t>(row)] = height;
}

void GridModel::SetTopRow(std::int32_t row) {
  CheckRow(row);
  topRow_ = std::max(row, std::min(kFixedRows, Rows() - 1));
}

void GridModel::SetRowSel(std::int32_t row) {
  CheckRow(row);
  rowSel_ = row;
}

void GridModel::SetColSel(std::int32_t col) {
  CheckCol(col);
  colSel_ = col;
}

void GridModel::Clear() {
  for (GridRow& r : cells_) std::fill(r.begin(), r.end(), Cell{});
}

void GridModel::AddItem(const std::string& item, std::optional<std::int32_t> index) {
  const std::int32_t at = index.value_or(Rows());
  if (at < kFixedRows || at > Rows()) throw VbError(kGridInvalidRow, "Invalid Row value");
  CheckSize(std::int64_t{Rows()} + 1, cols_);
  GridRow row = NewRow();
  std::size_t from = 0;
  for (Cell& cell : row) {
    if (from > item.size()) break;
    const std::size_t tab = std::min(item.find('\t', from), item.size());
    cell.text = item.substr(from, tab - from);
    from = tab + 1;
  }
  cells_.insert(cells_.begin() + at, std::move(row));
  rowHeights_.insert(rowHeights_.begin() + at, kDefaultRowHeight);
}

void GridModel::RemoveItem(std::int32_t index) {
  if (index < kFixedRows || index >= Rows()) throw VbError(kGridInvalidRow, "Invalid Row value");
  cells_.erase(cells_.begin() + index);
  rowHeights_.erase(rowHeights_.begin() + index);
  KeepCursorInside();
}

}  // namespace orvik::client
