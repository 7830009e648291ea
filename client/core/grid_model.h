// The screen's grid as its readers, layouts and input handlers see it, without a widget:
// a table of text cells with one fixed heading row (row 0) and one fixed row-number column
// (column 0), a current cell, per-cell alignment and boldness, per-column alignment code,
// width and data, and the container's look (visible, place, tag, font, scroll bars).
//
// GUI thread only; the widgets mirror it after each core call. Text is Latin-1 bytes.
// Failures are thrown as VbError, as the grid control raised them: a current row or column,
// or a cell, outside the grid is 30009 ("Invalid Row value") or 30010 ("Invalid Col value");
// a grid that would pass kMaxCells cells is 7 (out of memory), so that no transmission can
// make the client take all the machine's memory.

#ifndef ORVIK_CLIENT_CORE_GRID_MODEL_H_
#define ORVIK_CLIENT_CORE_GRID_MODEL_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvik::client {

// Cell alignments: horizontal and vertical placement in one code.
enum CellAlign : std::int32_t {
  kAlignLeftCentre = 1,
  kAlignCentreCentre = 4,
  kAlignRightCentre = 7,
  kAlignGeneral = 9,  // text left, numbers right: the default of every cell
};

// The cell alignment that shows a column's alignment code (0 left, 1 right, 2 centre);
// nullopt for any other code, which leaves a cell's alignment as it is.
std::optional<std::int32_t> CellAlignmentOfColumn(std::int32_t code);

inline constexpr int kGridInvalidRow = 30009;
inline constexpr int kGridInvalidCol = 30010;

struct GridFont {
  std::string name = "MS Sans Serif";
  double size = 8.25;
  bool bold = false;
};

class GridModel {
 public:
  static constexpr std::int32_t kFixedRows = 1;
  static constexpr std::int32_t kFixedCols = 1;
  static constexpr std::size_t kMaxCells = std::size_t{1} << 21;

  // Two rows and two columns: the fixed ones and one of each for data.
  GridModel();

  std::int32_t Rows() const { return static_cast<std::int32_t>(cells_.size()); }
  // At least the fixed row. New rows are empty; the current row stays inside the grid.
  void SetRows(std::int32_t rows);
  std::int32_t Cols() const { return cols_; }
  void SetCols(std::int32_t cols);

  // The current cell.
  std::int32_t Row() const { return row_; }
  void SetRow(std::int32_t row);
  std::int32_t Col() const { return col_; }
  void SetCol(std::int32_t col);
  const std::string& Text() const { return At(row_, col_).text; }
  void SetText(std::string text) { At(row_, col_).text = std::move(text); }
  std::int32_t CellAlignment() const { return At(row_, col_).alignment; }
  void SetCellAlignment(std::int32_t alignment) { At(row_, col_).alignment = alignment; }
  bool CellFontBold() const { return At(row_, col_).bold; }
  void SetCellFontBold(bool bold) { At(row_, col_).bold = bold; }

  // Any cell.
  const std::string& TextMatrix(std::int32_t row, std::int32_t col) const;
  void SetTextMatrix(std::int32_t row, std::int32_t col, std::string text);
  std::int32_t CellAlignmentAt(std::int32_t row, std::int32_t col) const;
  bool CellFontBoldAt(std::int32_t row, std::int32_t col) const {
    CheckRow(row);
    CheckCol(col);
    return At(row, col).bold;
  }

  // Per column: a number the screen keeps as the column's alignment code (0 left, 1 right,
  // 2 centre), and the width in twips. Per row: the height in twips.
  std::int32_t ColData(std::int32_t col) const;
  void SetColData(std::int32_t col, std::int32_t data);
  std::int32_t ColWidth(std::int32_t col) const;
  void SetColWidth(std::int32_t col, std::int32_t width);
  std::int32_t RowHeight(std::int32_t row) const;
  void SetRowHeight(std::int32_t row, std::int32_t height);
  // No row is drawn lower than this (twips), whatever height it was given: the screen sets
  // it to the height of an entry, so that the entry laid over a cell fits its row.
  std::int32_t RowHeightMin() const { return rowHeightMin_; }
  void SetRowHeightMin(std::int32_t height) { rowHeightMin_ = std::max(height, 0); }

  // The first data row on show, and the far corner of the selection (the current cell is
  // the near one).
  std::int32_t TopRow() const { return topRow_; }
  void SetTopRow(std::int32_t row);
  std::int32_t RowSel() const { return rowSel_; }
  void SetRowSel(std::int32_t row);
  std::int32_t ColSel() const { return colSel_; }
  void SetColSel(std::int32_t col);

  // Empties every cell's text and formatting; rows, columns, widths and column data stay.
  void Clear();
  // A new row at `index` (at the end when absent) whose cells take the tab-separated pieces
  // of `item` from column 0 on.
  void AddItem(const std::string& item, std::optional<std::int32_t> index = std::nullopt);
  // Removes a data row.
  void RemoveItem(std::int32_t index);

  // The container, and its place on the form in twips.
  bool visible = true;
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
  std::string tag;
  GridFont font;
  std::int32_t scrollBars = 3;  // 0 none, 1 horizontal, 2 vertical, 3 both
  // Whether the current cell is shown highlighted (1) or not (0): on for grids whose rows
  // are edited, off for those that only show data.
  std::int32_t highlight = 1;
  // The fixed cells' colours and the colour of the grid's empty area (client colour values).
  std::int32_t backColorFixed = 0x808080;
  std::int32_t foreColorFixed = 0xFFFFFF;
  std::int32_t backColorBkg = 0x808080;
  // Whether the grid takes the mouse and the keyboard (a read-only grid shows and scrolls).
  bool enabled = true;

 private:
  struct Cell {
    std::string text;
    std::int32_t alignment = kAlignGeneral;
    bool bold = false;
  };
  struct Column {
    std::int32_t data = 0;
    std::int32_t width = 960;
  };
  using GridRow = std::vector<Cell>;

  void CheckRow(std::int32_t row) const;
  void CheckCol(std::int32_t col) const;
  void CheckSize(std::int64_t rows, std::int64_t cols) const;
  Cell& At(std::int32_t row, std::int32_t col);
  const Cell& At(std::int32_t row, std::int32_t col) const;
  GridRow NewRow() const { return GridRow(static_cast<std::size_t>(cols_)); }
  void KeepCursorInside();

  std::vector<GridRow> cells_;
  std::vector<std::int32_t> rowHeights_;
  std::int32_t rowHeightMin_ = 0;
  std::vector<Column> columns_;
  std::int32_t cols_ = 2;
  std::int32_t row_ = 1;
  std::int32_t col_ = 1;
  std::int32_t topRow_ = 1;
  std::int32_t rowSel_ = 1;
  std::int32_t colSel_ = 1;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_GRID_MODEL_H_
