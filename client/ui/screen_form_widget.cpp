#include "screen_form_widget.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "control_mirror.h"
#include "screen_fit.h"
#include "screen_print.h"
#include "text_box_value.h"
#include "twips.h"
#include "widget_look.h"

namespace orvik::client {
namespace {

// Dots per metre of 96 dots per inch: the canvas's fonts are drawn at that resolution.
constexpr int kDotsPerMetre = 3780;

// The window's view of its page: keys are the screen's, never a scroll of the view, so they
// go on to the form; the wheel and the scroll bars move it.
class PageView final : public QScrollArea {
 public:
  using QScrollArea::QScrollArea;

 protected:
  void keyPressEvent(QKeyEvent* event) override { event->ignore(); }
};

}  // namespace

ScreenFormWidget::ScreenFormWidget(ShellServices& shell, double rasterWidth, double rasterHeight)
    : rasterWidth_(rasterWidth),
      rasterHeight_(rasterHeight),
      canvas_(static_cast<int>(std::lround(Pixels(rasterWidth))),
              static_cast<int>(std::lround(Pixels(rasterHeight))), QImage::Format_RGB32),
      view_(new PageView(this)),
      page_(new QWidget),
      core_(*this, *this, shell) {
  canvas_.setDotsPerMeterX(kDotsPerMetre);
  canvas_.setDotsPerMeterY(kDotsPerMetre);
  canvas_.fill(Qt::white);
  setFocusPolicy(Qt::StrongFocus);
  // The raster is the page; a window smaller than it shows a part, with scroll bars to reach
  // the rest (the menu's selection box and LogOff, a form's buttons), and the control that
  // takes the keyboard is brought into view.
  page_->setFixedSize(canvas_.size());
  page_->setAttribute(Qt::WA_OpaquePaintEvent);
  page_->setMouseTracking(true);
  page_->installEventFilter(this);
  view_->setFrameShape(QFrame::NoFrame);
  view_->setFocusPolicy(Qt::NoFocus);
  view_->setWidget(page_);
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now != nullptr && page_->isAncestorOf(now)) view_->ensureWidgetVisible(now);
  });
  for (QLabel*& label : headers_) {
    label = new QLabel(page_);
    label->setAlignment(Qt::AlignCenter);
    label->setAutoFillBackground(true);
    label->hide();
  }
  BuildMenuControls();
  gridWidget_ = new GridWidget(page_, core_, [this] { ControlsChanged(); });
  entryWidgets_ =
      new FormEntryWidgets(page_, core_, [this](QKeyEvent* key) { return FormKey(key); });
}

ScreenFormWidget::~ScreenFormWidget() { ClosePopups(); }

void ScreenFormWidget::BuildMenuControls() {
  MenuInput& menu = core_.Menu();
  menuHeader_ = new QFrame(page_);
  navigateLabel_ = new QLabel(menuHeader_);
  navigate_ = new QComboBox(menuHeader_);
  back_ = new QPushButton(menuHeader_);
  forward_ = new QPushButton(menuHeader_);
  showCodes_ = new QCheckBox(menuHeader_);
  altPanel_ = new QFrame(page_);
  altLabel_ = new QLabel(altPanel_);
  altSelect_ = new QLineEdit(altPanel_);
  altOk_ = new QPushButton(altPanel_);
  altStart_ = new QPushButton(altPanel_);
  altScreenPrint_ = new QPushButton(altPanel_);
  altCancel_ = new QPushButton(altPanel_);
  menuHeader_->hide();
  altPanel_->hide();
  altSelect_->installEventFilter(this);
  for (QWidget* control : std::initializer_list<QWidget*>{navigate_, showCodes_, altCancel_, altOk_,
                                                          altStart_, back_, forward_})
    control->installEventFilter(this);
  connect(navigate_, &QComboBox::activated, this, [this, &menu](int index) {
    menu.NavigateChosen(ToLatin1(navigate_->itemText(index)));
    ControlsChanged();
  });
  connect(back_, &QPushButton::clicked, this, [&menu] { menu.Back(); });
  connect(forward_, &QPushButton::clicked, this, [&menu] { menu.Forward(); });
  connect(showCodes_, &QCheckBox::clicked, this,
          [&menu](bool checked) { menu.ShowCodesClicked(checked ? 1 : 0); });
  connect(altSelect_, &QLineEdit::textEdited, this, [this, &menu](const QString& text) {
    menu.AltSelectEdited(TextBoxValue(altSelect_, text, core_));
  });
  connect(altOk_, &QPushButton::clicked, this, [&menu] { menu.AltOk(); });
  connect(altStart_, &QPushButton::clicked, this, [&menu] { menu.AltStart(); });
  connect(altCancel_, &QPushButton::clicked, this, [&menu] { menu.AltCancel(); });
  connect(altScreenPrint_, &QPushButton::clicked, this, [this] { core_.FnScreenPrintClick(); });
}

QLabel* ScreenFormWidget::ItemLabel(std::int32_t index) const {
  return index >= 1 && index <= static_cast<std::int32_t>(items_.size())
             ? items_[static_cast<std::size_t>(index - 1)]
             : nullptr;
}

QLabel* ScreenFormWidget::NarrativeLabel(std::int32_t index) const {
  return index >= 1 && index <= static_cast<std::int32_t>(narratives_.size())
             ? narratives_[static_cast<std::size_t>(index - 1)]
             : nullptr;
}

PopupWindow* ScreenFormWidget::Popup(std::int32_t id) const {
  const auto it = popups_.find(id);
  return it == popups_.end() ? nullptr : it->second.data();
}

void ScreenFormWidget::CloseByCode() {
  closingByCode_ = true;
  ClosePopups();
  close();
}

// --- ScreenWindow -----------------------------------------------------------------------------

void ScreenFormWidget::SetCaption(const std::string& caption) {
  setWindowTitle(FromLatin1(caption));
}

void ScreenFormWidget::SetMaximized() {
  // The size the window comes back to when the user takes it out of the maximised state: a
  // window of its own on the screen, not the few pixels a window starts with.
  if (!isMaximized()) {
    const QRect area = InsideArea(this);
    const QSize size = area.size() * 3 / 4;
    setGeometry(FitOnScreen(QRect(area.center() - QPoint(size.width(), size.height()) / 2, size),
                            area));
  }
  setWindowState(windowState() | Qt::WindowMaximized);
}

void ScreenFormWidget::SetBoxGeometry(double left, double top, double width, double height) {
  setWindowState(windowState() & ~Qt::WindowMaximized);
  // The window's image is allocated at its size, and a box shows no more than the raster: a
  // box the engine names larger (any number may come) is cut to the raster, not made gigabytes.
  const auto extent = [](double twips, int most) {
    return std::min(static_cast<int>(std::lround(ClampedPixels(std::abs(twips)))), most);
  };
  // On the screen, wherever the engine puts it.
  setGeometry(FitOnScreen(
      QRect(static_cast<int>(std::lround(ClampedPixels(std::min(left, left + width)))),
            static_cast<int>(std::lround(ClampedPixels(std::min(top, top + height)))),
            extent(width, canvas_.width()), extent(height, canvas_.height())),
      InsideArea(this)));
}

void ScreenFormWidget::Show() {
  show();
  raise();
  activateWindow();
  setFocus();  // the form takes the keys before its controls do
}

void ScreenFormWidget::SetEnabled(bool enabled) { setEnabled(enabled); }

void ScreenFormWidget::LoadFunctionBackground(const std::string& path) {
  QPixmap picture;
  if (picture.load(FromLatin1(path))) functionBackground_ = picture;
}

// The form has no background picture of its own under the terminal's image: the data-entry
// screens give it one.
void ScreenFormWidget::ClearBackgroundPicture() {}

void ScreenFormWidget::PaintBackgroundTile(double x, double y, double width, double height) {
  if (functionBackground_.isNull()) return;
  QPainter painter(&canvas_);
  painter.drawPixmap(PixelRect(x, y, x + width, y + height), functionBackground_,
                     functionBackground_.rect());
  page_->update();
}

bool ScreenFormWidget::LoadFormPicture(const std::string& path) {
  QPixmap picture;
  if (!picture.load(FromLatin1(path))) return false;
  QPainter painter(&canvas_);
  painter.drawPixmap(0, 0, picture);
  page_->update();
  return true;
}

void ScreenFormWidget::OpenPopup(std::int32_t id, const PopupPicture& picture) {
  auto* window = new PopupWindow(this, core_, id, picture);
  popups_[id] = window;
  window->Present();
}

void ScreenFormWidget::ClosePopup(std::int32_t id) {
  const auto it = popups_.find(id);
  if (it == popups_.end()) return;
  const QPointer<PopupWindow> window = it->second;
  popups_.erase(it);
  if (window) window->CloseByCode();
}

void ScreenFormWidget::ClosePopups() {
  std::map<std::int32_t, QPointer<PopupWindow>> open;
  open.swap(popups_);
  for (const auto& [id, window] : open) {
    if (window) window->CloseByCode();
  }
}

bool ScreenFormWidget::FocusEntryControl(std::int32_t entry) { return entryWidgets_->Focus(entry); }

bool ScreenFormWidget::PrintForm(std::string* error) {
  return PrintImageOnDefaultPrinter(page_->grab().toImage(), error);
}

void ScreenFormWidget::FocusForm() {
  ControlsChanged();  // a control that is to go loses the focus with it
  setFocus(Qt::OtherFocusReason);
}

void ScreenFormWidget::FocusAltSelect(bool selectAll) {
  MirrorMenu();
  altSelect_->setFocus();
  if (selectAll) {
    altSelect_->selectAll();
  } else {
    altSelect_->end(false);
  }
}

std::string ScreenFormWidget::AskText(const std::string& prompt) {
  return ToLatin1(QInputDialog::getText(this, kProgramTitle, FromLatin1(prompt)));
}

CharMetrics ScreenFormWidget::MeasureText(const FormFont& font, std::string_view text) const {
  const QFontMetricsF metrics(QtFont(font), &canvas_);
  return {TwipsFromPixels(metrics.horizontalAdvance(FromLatin1(text)), kDrawingDpi),
          TwipsFromPixels(metrics.height(), kDrawingDpi)};
}

void ScreenFormWidget::ControlsChanged() {
  const FormControls& controls = core_.Controls();
  for (std::size_t i = 0; i < headers_.size(); ++i) {
    ControlRecord record = controls.formHeader[i];
    // The terminal's header follows the size of the terminal's font.
    if (record.opaque) record.font.size = core_.Model().layout.font.size;
    MirrorLabel(headers_[i], record);
  }
  MirrorMenu();
  gridWidget_->Mirror();
  entryWidgets_->Mirror();
}

void ScreenFormWidget::MirrorMenu() {
  const MenuControls& menu = core_.Controls().menu;
  MirrorCommon(menuHeader_, menu.header);
  MirrorLabel(navigateLabel_, menu.navigateLabel);
  {
    const QSignalBlocker blocker(navigate_);
    QStringList entries;
    for (const std::string& entry : menu.navigate.list) entries << FromLatin1(entry);
    QStringList shown;
    for (int i = 0; i < navigate_->count(); ++i) shown << navigate_->itemText(i);
    if (shown != entries) {
      navigate_->clear();
      navigate_->addItems(entries);
    }
    navigate_->setCurrentIndex(navigate_->findText(FromLatin1(menu.navigate.caption)));
    MirrorCommon(navigate_, menu.navigate);
  }
  MirrorButton(back_, menu.back);
  MirrorButton(forward_, menu.forward);
  {
    const QSignalBlocker blocker(showCodes_);
    showCodes_->setChecked(menu.showCodes.value != 0);
    MirrorButton(showCodes_, menu.showCodes);
  }
  MirrorCommon(altPanel_, menu.altPanel);
  MirrorLabel(altLabel_, menu.altLabel);
  const QString text = FromLatin1(menu.altSelect.caption);
  if (altSelect_->text() != text) altSelect_->setText(text);
  MirrorCommon(altSelect_, menu.altSelect);
  MirrorButton(altOk_, menu.altOk);
  MirrorButton(altStart_, menu.altStart);
  MirrorButton(altScreenPrint_, menu.altScreenPrint);
  MirrorButton(altCancel_, menu.altCancel);

  const auto mirrorLabels = [this](std::vector<QLabel*>& labels,
                                   const std::vector<ControlRecord>& records, const char* kind) {
    while (labels.size() < records.size()) {
      auto* label = new QLabel(page_);
      label->setProperty(kind, static_cast<int>(labels.size()) + 1);
      label->setMouseTracking(true);
      label->installEventFilter(this);
      labels.push_back(label);
    }
    for (std::size_t i = 0; i < records.size(); ++i) MirrorLabel(labels[i], records[i]);
  };
  mirrorLabels(items_, menu.items, "itemIndex");
  mirrorLabels(narratives_, menu.narratives, "narrativeIndex");
  // The panels lie over the labels' column area only at its edges; they stay on top.
  menuHeader_->raise();
  altPanel_->raise();
  for (QLabel* header : headers_) header->raise();
}

std::unique_ptr<QMenu> ScreenFormWidget::OptionMenu() {
  auto menu = std::make_unique<QMenu>(this);
  const OptionMenuState state = core_.OptionMenu();
  connect(menu->addAction("About OrvikLink"), &QAction::triggered, this,
          [this] { core_.OptionAbout(); });
  QAction* devMsg = menu->addAction("Developer messages");
  devMsg->setCheckable(true);
  devMsg->setChecked(state.devMsgChecked);
  connect(devMsg, &QAction::triggered, this, [this] { core_.OptionDevMsg(); });
  connect(menu->addAction("Copy grid to clipboard"), &QAction::triggered, this,
          [this] { QApplication::clipboard()->setText(FromLatin1(core_.OptionGridText())); });
  QAction* monitor = menu->addAction("Monitor the traffic");
  monitor->setCheckable(true);
  monitor->setChecked(state.monitorChecked);
  connect(monitor, &QAction::triggered, this, [this] { core_.OptionMonitorActivate(); });
  QAction* view = menu->addAction("Show the monitor");
  view->setEnabled(state.monitorViewEnabled);
  connect(view, &QAction::triggered, this, [this] { core_.OptionMonitorView(); });
  return menu;
}

// --- TerminalSurface ----------------------------------------------------------------------------

CharMetrics ScreenFormWidget::Measure(const FormFont& font) const {
  const QFontMetricsF metrics(QtFont(font), &canvas_);
  return {TwipsFromPixels(metrics.horizontalAdvance(QChar('X')), kDrawingDpi),
          TwipsFromPixels(metrics.height(), kDrawingDpi)};
}

void ScreenFormWidget::Clear(std::int32_t background) {
  canvas_.fill(QtColour(background));
  page_->update();
}

void ScreenFormWidget::FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) {
  QPainter painter(&canvas_);
  painter.fillRect(PixelRect(x1, y1, x2, y2), QtColour(colour));
  page_->update();
}

void ScreenFormWidget::HorizontalLine(double x1, double x2, double y, std::int32_t colour) {
  QPainter painter(&canvas_);
  painter.setPen(QPen(QtColour(colour), 1));
  painter.drawLine(QPointF(ClampedPixels(x1), ClampedPixels(y)),
                   QPointF(ClampedPixels(x2), ClampedPixels(y)));
  page_->update();
}

void ScreenFormWidget::DrawText(double x, double y, std::string_view bytes, const FormFont& font,
                                std::int32_t colour) {
  if (std::abs(Pixels(x)) >= kFarPixels || std::abs(Pixels(y)) >= kFarPixels) return;
  QPainter painter(&canvas_);
  const QFont qtFont = QtFont(font);
  painter.setFont(qtFont);
  painter.setPen(QtColour(colour));
  const QFontMetricsF metrics(qtFont, &canvas_);
  // One character a cell, so that box characters from any font stay on the raster.
  const double advance = metrics.horizontalAdvance(QChar('X'));
  const QString text = TerminalText(bytes);
  QPointF at(Pixels(x), Pixels(y) + metrics.ascent());
  for (const QChar c : text) {
    if (c != ' ') painter.drawText(at, QString(c));
    at.rx() += advance;
  }
  page_->update();
}

void ScreenFormWidget::ScrollUp(double dy, std::int32_t background) {
  const int shift = static_cast<int>(
      std::clamp(std::round(ClampedPixels(dy)), 0.0, static_cast<double>(canvas_.height())));
  const QImage copy = canvas_.copy(0, shift, canvas_.width(), canvas_.height() - shift);
  canvas_.fill(QtColour(background));
  QPainter painter(&canvas_);
  painter.drawImage(0, 0, copy);
  page_->update();
}

void ScreenFormWidget::SetCursor(double x, double y, double width, double height, bool visible) {
  cursor_ = PixelRect(x, y, x + width, y + height);
  cursorVisible_ = visible;
  page_->update();
}

// --- Window events ----------------------------------------------------------------------------

bool ScreenFormWidget::event(QEvent* event) {
  // Tab is a key of the screen, not a move between widgets.
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      keyPressEvent(key);
      return true;
    }
  }
  return QWidget::event(event);
}

void ScreenFormWidget::PaintPage() {
  QPainter painter(page_);
  painter.drawImage(0, 0, canvas_);
  if (cursorVisible_) {
    // The cursor: a bar at the foot of its character cell.
    const double foot =
        std::min(cursor_.top() + Pixels(core_.Model().layout.mCY), cursor_.bottom());
    painter.fillRect(QRectF(cursor_.left(), foot - 2, cursor_.width(), 2), Qt::black);
  }
}

void ScreenFormWidget::resizeEvent(QResizeEvent* event) {
  view_->setGeometry(rect());
  // What has the keyboard stays in view, however small the window gets.
  QWidget* focus = QApplication::focusWidget();
  if (focus != nullptr && page_->isAncestorOf(focus)) view_->ensureWidgetVisible(focus);
  QWidget::resizeEvent(event);
}

bool ScreenFormWidget::FormKey(QKeyEvent* event) {
  const std::int32_t code = KeyCodeOf(*event);
  if (code != 0 && core_.KeyDown(code, ShiftOf(*event))) return true;
  bool taken = true;
  for (const std::int32_t c : CharactersOf(*event)) {
    // The default and cancel buttons take Enter and Esc before any control sees them.
    const FormControls& controls = core_.Controls();
    const MenuControls& menu = controls.menu;
    const bool menuShown = menu.altPanel.visible;
    if (c == 13 && menuShown && menu.altOk.isDefault && menu.altOk.enabled) {
      core_.Menu().AltOk();
    } else if (c == 27 && menuShown && menu.altCancel.isCancel && menu.altCancel.enabled) {
      core_.Menu().AltCancel();
    } else if (c == 27 && entryWidgets_->PressCancel()) {
      // the data-entry screen's cancel button took it
    } else if (core_.KeyPress(c) != 0) {
      taken = false;  // the focused control types it
    }
  }
  ControlsChanged();
  return taken;
}

void ScreenFormWidget::keyPressEvent(QKeyEvent* event) { FormKey(event); }

bool ScreenFormWidget::eventFilter(QObject* watched, QEvent* event) {
  if (watched == page_) {
    if (event->type() == QEvent::Paint) {
      PaintPage();
      return true;
    }
    if (event->type() == QEvent::MouseMove) {
      core_.MouseMove();
      MirrorMenu();
    } else if (event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
      OptionMenu()->exec(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
    }
    return false;
  }
  if (watched == altSelect_) {
    // The form sees the selection box's keys first.
    if (event->type() == QEvent::KeyPress) return FormKey(static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::FocusIn) core_.Menu().AltSelectFocus(true);
    if (event->type() == QEvent::FocusOut) core_.Menu().AltSelectFocus(false);
    return false;
  }
  if (event->type() == QEvent::FocusIn &&
      (watched == navigate_ || watched == showCodes_ || watched == altCancel_ ||
       watched == altOk_ || watched == altStart_ || watched == back_ || watched == forward_)) {
    core_.Menu().MenuControlFocus();
    return false;
  }
  const QVariant item = watched->property("itemIndex");
  if (item.isValid()) {
    if (event->type() == QEvent::MouseMove) {
      core_.Menu().ItemHover(item.toInt());
    } else if (event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      core_.Menu().ItemClick(item.toInt());
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void ScreenFormWidget::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange) {
    if (isActiveWindow()) {
      core_.Activate();
    } else {
      core_.Deactivate();
    }
  }
  QWidget::changeEvent(event);
}

void ScreenFormWidget::closeEvent(QCloseEvent* event) {
  // Only the user's close box asks; a close by code passes.
  if (closingByCode_ || !event->spontaneous() || core_.QueryUnload(true)) {
    ClosePopups();
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace orvik::client
