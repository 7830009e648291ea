#include "pick_list_window.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "twips.h"
#include "widget_look.h"

namespace orvik::client {
namespace {

Qt::Alignment QtAlignment(ColumnAlignment alignment) {
  switch (alignment) {
    case ColumnAlignment::kRight:
      return Qt::AlignRight | Qt::AlignVCenter;
    case ColumnAlignment::kCentre:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    case ColumnAlignment::kLeft:
      break;
  }
  return Qt::AlignLeft | Qt::AlignVCenter;
}

bool IsEnter(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

QRect ScreenArea() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

PickListWidget::PickListWidget(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Search");
  setModal(true);
  label_ = new QLabel("Selection or Action Code:   ", this);
  command_ = new QLineEdit(this);
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setAllColumnsShowFocus(true);
  list_->header()->setStretchLastSection(false);

  auto* top = new QHBoxLayout;
  top->addWidget(label_);
  top->addWidget(command_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(top);
  layout->addWidget(list_);

  // The window sees Enter first, wherever the focus is.
  command_->installEventFilter(this);
  list_->installEventFilter(this);
  connect(list_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
    list_->header()->setSortIndicatorShown(true);
    list_->header()->setSortIndicator(column, Qt::AscendingOrder);
    list_->sortItems(column, Qt::AscendingOrder);
  });
  connect(list_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
    command_->setText(FromLatin1(TextOnRowClick(ToLatin1(item->text(0)))));
  });
  connect(list_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { Pick(PickOnDoubleClick(ToLatin1(item->text(0)))); });
}

double PickListWidget::ScreenWidth() const { return TwipsFromPixels(ScreenArea().width()); }
double PickListWidget::ScreenHeight() const { return TwipsFromPixels(ScreenArea().height()); }

void PickListWidget::Fill(const PickList& list, double scale) {
  list_->clear();
  // Sorting off until a header is clicked; the headers stay clickable (switching sorting
  // off would make them not).
  list_->setSortingEnabled(false);
  list_->header()->setSortIndicatorShown(false);
  list_->header()->setSectionsClickable(true);
  const int columns = static_cast<int>(list.columns.size());
  list_->setColumnCount(std::max(columns, 1));
  QStringList titles;
  for (const PickListColumn& column : list.columns) titles << FromLatin1(column.title);
  list_->setHeaderLabels(titles);
  for (int c = 0; c < columns; ++c) {
    const PickListColumn& column = list.columns[static_cast<std::size_t>(c)];
    const double pixels = std::clamp(Pixels(column.width * scale), 0.0, 1e5);
    list_->setColumnWidth(c, static_cast<int>(std::lround(pixels)));
    list_->headerItem()->setTextAlignment(c, QtAlignment(column.alignment));
  }
  for (const std::vector<std::string>& row : list.rows) {
    auto* item = new QTreeWidgetItem(list_);
    for (int c = 0; c < columns; ++c) {
      item->setText(c, FromLatin1(row[static_cast<std::size_t>(c)]));
      item->setTextAlignment(c, QtAlignment(list.columns[static_cast<std::size_t>(c)].alignment));
    }
  }
}

std::string PickListWidget::ShowModal(const PickList& list, const PickListPlacement& placement) {
  setWindowTitle(FromLatin1(list.caption));
  setGeometry(static_cast<int>(std::lround(Pixels(placement.left))) + ScreenArea().left(),
              static_cast<int>(std::lround(Pixels(placement.top))) + ScreenArea().top(),
              static_cast<int>(std::lround(Pixels(placement.width))),
              static_cast<int>(std::lround(Pixels(placement.height))));
  // The columns and the margin fill the list's inner width (the window's, less the list's
  // frame), however much a squeeze onto the screen left of it.
  const double inner = Pixels(placement.width) - 2.0 * list_->frameWidth();
  Fill(list, TwipsFromPixels(inner) / list.ScaleWidth());
  // Activation: no typed text and no result left from the search before.
  command_->clear();
  result_.clear();
  command_->setFocus();
  exec();
  return result_;
}

void PickListWidget::Pick(std::string result) {
  result_ = std::move(result);
  accept();
}

void PickListWidget::EnterPressed() {
  std::optional<std::string> selected;
  const QList<QTreeWidgetItem*> items = list_->selectedItems();
  if (!items.isEmpty()) selected = ToLatin1(items.front()->text(0));
  Pick(PickOnEnter(ToLatin1(command_->text()), selected));
}

bool PickListWidget::eventFilter(QObject* watched, QEvent* event) {
  if (IsEnter(event)) {
    EnterPressed();
    return true;
  }
  if (watched == command_ && event->type() == QEvent::FocusIn) {
    // After the focus has settled, or a mouse click would undo the selection.
    QTimer::singleShot(0, command_, [this] { command_->selectAll(); });
  }
  return QDialog::eventFilter(watched, event);
}

void PickListWidget::keyPressEvent(QKeyEvent* event) {
  if (IsEnter(event)) {
    EnterPressed();
    return;
  }
  QDialog::keyPressEvent(event);  // Esc closes without a pick
}

}  // namespace orvik::client
