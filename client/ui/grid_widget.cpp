#include "grid_widget.h"

#include <QHeaderView>
#include <QWheelEvent>
#include <algorithm>

#include "control_mirror.h"
#include "widget_look.h"

namespace orvik::client {
namespace {

Qt::Alignment CellAlignment(std::int32_t code, const std::string& text) {
  switch (code) {
    case kAlignLeftCentre:
      return Qt::AlignLeft | Qt::AlignVCenter;
    case kAlignCentreCentre:
      return Qt::AlignCenter;
    case kAlignRightCentre:
      return Qt::AlignRight | Qt::AlignVCenter;
    default: {
      // The general alignment: numbers to the right, text to the left.
      bool number = false;
      FromLatin1(text).trimmed().toDouble(&number);
      return (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    }
  }
}

int PixelsOf(double twips) { return static_cast<int>(ClampedPixels(twips) + 0.5); }

}  // namespace

int GridTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int GridTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : cols_;
}

QVariant GridTableModel::data(const QModelIndex& index, int role) const {
  const int row = index.row();
  const int col = index.column();
  if (!index.isValid() || row >= grid_.Rows() || col >= grid_.Cols()) return {};
  const bool fixed = row < GridModel::kFixedRows || col < GridModel::kFixedCols;
  switch (role) {
    case Qt::DisplayRole:
      return FromLatin1(grid_.TextMatrix(row, col));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(
          CellAlignment(grid_.CellAlignmentAt(row, col), grid_.TextMatrix(row, col)));
    case Qt::FontRole: {
      FormFont font{grid_.font.name, grid_.font.size, grid_.font.bold, false, false};
      if (grid_.CellFontBoldAt(row, col)) font.bold = true;
      return QtFont(font);
    }
    case Qt::BackgroundRole:
      if (fixed) return QtColour(grid_.backColorFixed);
      return {};
    case Qt::ForegroundRole:
      if (fixed) return QtColour(grid_.foreColorFixed);
      return {};
    default:
      return {};
  }
}

Qt::ItemFlags GridTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void GridTableModel::Refresh() {
  // A reset forgets the cell a mouse button went down on, and with it the click its release
  // would make: the grid is mirrored after every handler, a poll tick's among them, so a grid
  // of the same shape only says that its cells may have changed.
  if (rows_ == grid_.Rows() && cols_ == grid_.Cols()) {
    if (rows_ > 0 && cols_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, cols_ - 1));
    return;
  }
  beginResetModel();
  rows_ = grid_.Rows();
  cols_ = grid_.Cols();
  endResetModel();
}

GridWidget::GridWidget(QWidget* form, ScreenFormCore& core, std::function<void()> changed)
    : QObject(form),
      core_(core),
      changed_(std::move(changed)),
      model_(new GridTableModel(core.Model().grid, this)),
      table_(new QTableView(form)),
      scroll_(new QScrollBar(Qt::Vertical, form)) {
  table_->setModel(model_);
  // The model's sizes exactly, as the flex grid drew them: no frame, no least section size.
  table_->horizontalHeader()->hide();
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setMinimumSectionSize(1);
  table_->verticalHeader()->setMinimumSectionSize(1);
  table_->setFrameShape(QFrame::NoFrame);
  table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setFocusPolicy(Qt::NoFocus);
  table_->setWordWrap(false);
  table_->viewport()->installEventFilter(this);
  table_->hide();
  scroll_->hide();
  const auto after = [this](auto call) {
    return [this, call] {
      if (mirroring_) return;
      call();
      if (changed_) changed_();
    };
  };
  connect(table_, &QTableView::clicked, this, [this](const QModelIndex& index) {
    if (mirroring_) return;
    core_.Grid().Click(index.row(), index.column());
    if (changed_) changed_();
  });
  connect(scroll_, &QScrollBar::valueChanged, this,
          after([this] { core_.Grid().Scroll(scroll_->value()); }));
  const char* const captions[] = {"&Insert", "&Delete", "&Modify"};
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    buttons_[i] = new QPushButton(captions[i], form);
    buttons_[i]->hide();
    buttons_[i]->setFocusPolicy(Qt::NoFocus);
    const auto index = static_cast<std::int32_t>(i);
    connect(buttons_[i], &QPushButton::clicked, this,
            after([this, index] { core_.Grid().RowButton(index); }));
  }
}

bool GridWidget::eventFilter(QObject* watched, QEvent* event) {
  // The type first: the viewport's last events come while the table is half destroyed.
  if (event->type() == QEvent::Wheel && watched == table_->viewport() && scroll_->isVisible()) {
    const int steps = static_cast<QWheelEvent*>(event)->angleDelta().y() / 120;
    scroll_->setValue(scroll_->value() - steps);
    return true;
  }
  return QObject::eventFilter(watched, event);
}

QRect GridWidget::CellRect(int row, int col) const {
  const QRect cell = table_->visualRect(model_->index(row, col));
  return cell.translated(table_->viewport()->mapTo(table_->parentWidget(), QPoint(0, 0)));
}

void GridWidget::Mirror() {
  mirroring_ = true;
  const GridModel& grid = core_.Model().grid;
  model_->Refresh();
  const bool shown = grid.visible && grid.tag != "-9999" && grid.tag != "-1";
  const QRect place(PixelsOf(grid.left), PixelsOf(grid.top), PixelsOf(grid.width),
                    PixelsOf(grid.height));
  table_->setGeometry(place);
  table_->setHorizontalScrollBarPolicy((grid.scrollBars & 1) != 0 ? Qt::ScrollBarAsNeeded
                                                                  : Qt::ScrollBarAlwaysOff);
  table_->setVisible(shown);
  table_->setEnabled(grid.enabled);
  table_->lower();
  QPalette palette = table_->palette();
  palette.setColor(QPalette::Base, QtColour(grid.backColorBkg));
  palette.setColor(QPalette::Window, QtColour(grid.backColorBkg));
  table_->setPalette(palette);
  // A header that may repaint finds each resized section's place anew, counting every
  // section before it: with its repaints held, a grid of a million rows is sized in one pass.
  table_->setUpdatesEnabled(false);
  for (int c = 0; c < grid.Cols(); ++c) table_->setColumnWidth(c, PixelsOf(grid.ColWidth(c)));
  for (int r = 0; r < grid.Rows(); ++r) {
    table_->setRowHeight(r, std::max(PixelsOf(grid.RowHeight(r)), 1));
    // The rows above the top row are scrolled away; the heading row stays.
    table_->setRowHidden(r, r >= GridModel::kFixedRows && r < grid.TopRow());
  }
  table_->setUpdatesEnabled(true);
  // The vertical scroll bar, when the grid has one and its rows do not all show.
  const int dataRows = grid.Rows() - GridModel::kFixedRows;
  const int fitting = std::max(
      1, static_cast<int>((grid.height - grid.RowHeight(0)) / std::max(grid.RowHeight(1), 1)));
  const bool scrolls = shown && (grid.scrollBars & 2) != 0 && dataRows > fitting;
  scroll_->setRange(1, std::max(1, grid.Rows() - fitting));
  scroll_->setValue(grid.TopRow());
  const int barWidth = scroll_->sizeHint().width();
  scroll_->setGeometry(place.right() - barWidth + 1, place.top(), barWidth, place.height());
  scroll_->setVisible(scrolls);
  if (scrolls) scroll_->raise();
  if (grid.highlight && grid.Row() < grid.Rows() && grid.Col() < grid.Cols()) {
    table_->setCurrentIndex(model_->index(grid.Row(), grid.Col()));
  }
  const FormControls& controls = core_.Controls();
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    ControlRecord record = controls.gridRow[i];
    MirrorButton(buttons_[i], record);
    if (record.visible) buttons_[i]->raise();
  }
  mirroring_ = false;
}

}  // namespace orvik::client
