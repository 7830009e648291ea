// A left click on a grid cell, as the mouse gives it to the grid widget's table: for the
// offscreen and end-to-end tests of grids.

#ifndef ORVIK_CLIENT_UI_TESTS_GRID_CLICK_H_
#define ORVIK_CLIENT_UI_TESTS_GRID_CLICK_H_

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTableView>

namespace orvik::client {

inline void ClickGridCell(QTableView* table, int row, int col) {
  const QPoint at = table->visualRect(table->model()->index(row, col)).center();
  const QPointF global = table->viewport()->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(table->viewport(), &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QCoreApplication::sendEvent(table->viewport(), &release);
}

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_TESTS_GRID_CLICK_H_
