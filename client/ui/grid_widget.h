// The data-entry screen's grid as widgets: a table view of the core's grid model whose row 0
// and column 0 are drawn as the fixed cells (so that a view index is the model's row and
// column), a scroll bar of its own that moves the model's top row (the rows above it are
// hidden, so the heading row always shows), and the three row buttons. Clicks, scrolls and
// button presses go to the core's grid handlers; Mirror follows the model after each call.
//
// GUI thread only; owned by the screen form's widget. Texts cross as Latin-1 bytes, sizes
// as twips (15 to the pixel).

#ifndef ORVIK_CLIENT_UI_GRID_WIDGET_H_
#define ORVIK_CLIENT_UI_GRID_WIDGET_H_

#include <QAbstractTableModel>
#include <QObject>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <array>
#include <functional>

#include "screen_form_core.h"

namespace orvik::client {

// The core's grid as a table model: every cell, the fixed ones included.
class GridTableModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit GridTableModel(const GridModel& grid, QObject* parent = nullptr)
      : QAbstractTableModel(parent), grid_(grid) {}

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // The grid changed: the views read it again.
  void Refresh();

 private:
  const GridModel& grid_;
  int rows_ = 0;
  int cols_ = 0;
};

class GridWidget final : public QObject {
  Q_OBJECT

 public:
  // `changed` runs after each handler, so that the whole form follows the records.
  GridWidget(QWidget* form, ScreenFormCore& core, std::function<void()> changed);

  void Mirror();

  QTableView* Table() const { return table_; }
  QScrollBar* ScrollBar() const { return scroll_; }
  QPushButton* RowButton(std::size_t index) const { return buttons_[index]; }
  // The view's rectangle of the model's cell, in the form's pixels.
  QRect CellRect(int row, int col) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ScreenFormCore& core_;
  std::function<void()> changed_;
  GridTableModel* model_;
  QTableView* table_;
  QScrollBar* scroll_;
  std::array<QPushButton*, 3> buttons_{};
  bool mirroring_ = false;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_GRID_WIDGET_H_
