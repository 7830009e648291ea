#include "screen_form_widget.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "screen_print.h"
#include "twips.h"
#include "widget_look.h"

namespace orvik::client {
namespace {

// Dots per metre of 96 dots per inch: the canvas's fonts are drawn at that resolution.
constexpr int kDotsPerMetre = 3780;
// Positions past this many pixels are far off any canvas: transmissions name any number.
constexpr double kFarPixels = 1e5;

double ClampedPixels(double twips) {
  const double p = Pixels(twips);
  return std::isnan(p) ? 0 : std::clamp(p, -kFarPixels, kFarPixels);
}

QRectF PixelRect(double x1, double y1, double x2, double y2) {
  return QRectF(QPointF(ClampedPixels(std::min(x1, x2)), ClampedPixels(std::min(y1, y2))),
                QPointF(ClampedPixels(std::max(x1, x2)), ClampedPixels(std::max(y1, y2))));
}

// A button mirrors its record: place, caption, shown or not, enabled or not.
void Mirror(QPushButton* button, const ControlRecord& record) {
  button->setGeometry(
      PixelRect(record.left, record.top, record.left + record.width, record.top + record.height)
          .toRect());
  button->setText(FromLatin1(record.caption));
  button->setEnabled(record.enabled);
  button->setVisible(record.visible);
}

// A popup block shown as plain text with an OK button, until popups are drawn in full.
QWidget* NewPopupWindow(QWidget* owner, std::int32_t index, const std::string& block) {
  auto* window = new QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(QString("Popup %1").arg(index));
  auto* layout = new QVBoxLayout(window);
  QString text = TerminalText(block);
  text.remove(QRegularExpression("<[^>]*>"));
  text.replace("\r\n", "\n").replace('\r', '\n');
  auto* label = new QLabel(text.trimmed(), window);
  label->setFont(QtFont(FormFont{}));
  layout->addWidget(label);
  auto* ok = new QPushButton("OK", window);
  QObject::connect(ok, &QPushButton::clicked, window, &QWidget::close);
  layout->addWidget(ok);
  return window;
}

}  // namespace

ScreenFormWidget::ScreenFormWidget(ShellServices& shell, double rasterWidth, double rasterHeight)
    : rasterWidth_(rasterWidth),
      rasterHeight_(rasterHeight),
      canvas_(static_cast<int>(std::lround(Pixels(rasterWidth))),
              static_cast<int>(std::lround(Pixels(rasterHeight))), QImage::Format_RGB32),
      core_(*this, *this, shell) {
  canvas_.setDotsPerMeterX(kDotsPerMetre);
  canvas_.setDotsPerMeterY(kDotsPerMetre);
  canvas_.fill(Qt::white);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  for (QLabel*& label : headers_) {
    label = new QLabel(this);
    label->setAlignment(Qt::AlignCenter);
    label->setAutoFillBackground(true);
    label->hide();
  }
  fnSearch_ = new QPushButton(this);
  fnScreenPrint_ = new QPushButton(this);
  for (QPushButton* button : {fnSearch_, fnScreenPrint_}) {
    button->setFocusPolicy(Qt::NoFocus);  // the form keeps the keys
    button->hide();
  }
  connect(fnSearch_, &QPushButton::clicked, this, [this] { core_.FnSearchClick(); });
  connect(fnScreenPrint_, &QPushButton::clicked, this, [this] { core_.FnScreenPrintClick(); });
}

ScreenFormWidget::~ScreenFormWidget() { ClosePopups(); }

void ScreenFormWidget::CloseByCode() {
  closingByCode_ = true;
  ClosePopups();
  close();
}

// --- ScreenWindow -----------------------------------------------------------------------------

void ScreenFormWidget::SetCaption(const std::string& caption) {
  setWindowTitle(FromLatin1(caption));
}

void ScreenFormWidget::SetMaximized() { setWindowState(windowState() | Qt::WindowMaximized); }

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
  update();
}

void ScreenFormWidget::OpenPopup(std::int32_t index, const std::string& block, bool) {
  QWidget* window = NewPopupWindow(this, index, block);
  popups_.emplace_back(window);
  window->show();
}

void ScreenFormWidget::ClosePopups() {
  for (const QPointer<QWidget>& popup : popups_) {
    if (popup) popup->close();
  }
  popups_.clear();
}

// Entry controls come with the data-entry screens.
bool ScreenFormWidget::FocusEntryControl(std::int32_t) { return false; }

bool ScreenFormWidget::PrintForm(std::string* error) {
  return PrintImageOnDefaultPrinter(grab().toImage(), error);
}

void ScreenFormWidget::ControlsChanged() {
  Mirror(fnSearch_, core_.Controls().fnSearch);
  Mirror(fnScreenPrint_, core_.Controls().fnScreenPrint);
  const auto& records = core_.Controls().formHeader;
  for (std::size_t i = 0; i < headers_.size(); ++i) {
    const ControlRecord& record = records[i];
    QLabel* label = headers_[i];
    label->setGeometry(
        PixelRect(record.left, record.top, record.left + record.width, record.top + record.height)
            .toRect());
    label->setText(FromLatin1(record.caption));
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, QtColour(record.backColour));
    palette.setColor(QPalette::WindowText, QtColour(record.foreColour));
    label->setPalette(palette);
    QFont font = QtFont(FormFont{"Arial", core_.Model().layout.font.size, true});
    label->setFont(font);
    label->setVisible(record.visible);
  }
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
  update();
}

void ScreenFormWidget::FillRect(double x1, double y1, double x2, double y2, std::int32_t colour) {
  QPainter painter(&canvas_);
  painter.fillRect(PixelRect(x1, y1, x2, y2), QtColour(colour));
  update();
}

void ScreenFormWidget::HorizontalLine(double x1, double x2, double y, std::int32_t colour) {
  QPainter painter(&canvas_);
  painter.setPen(QPen(QtColour(colour), 1));
  painter.drawLine(QPointF(ClampedPixels(x1), ClampedPixels(y)),
                   QPointF(ClampedPixels(x2), ClampedPixels(y)));
  update();
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
  update();
}

void ScreenFormWidget::ScrollUp(double dy, std::int32_t background) {
  const int shift = static_cast<int>(
      std::clamp(std::round(ClampedPixels(dy)), 0.0, static_cast<double>(canvas_.height())));
  const QImage copy = canvas_.copy(0, shift, canvas_.width(), canvas_.height() - shift);
  canvas_.fill(QtColour(background));
  QPainter painter(&canvas_);
  painter.drawImage(0, 0, copy);
  update();
}

void ScreenFormWidget::SetCursor(double x, double y, double width, double height, bool visible) {
  cursor_ = PixelRect(x, y, x + width, y + height);
  cursorVisible_ = visible;
  update();
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

void ScreenFormWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.drawImage(0, 0, canvas_);
  if (cursorVisible_) {
    // The cursor: a bar at the foot of its character cell.
    const double foot =
        std::min(cursor_.top() + Pixels(core_.Model().layout.mCY), cursor_.bottom());
    painter.fillRect(QRectF(cursor_.left(), foot - 2, cursor_.width(), 2), Qt::black);
  }
}

void ScreenFormWidget::keyPressEvent(QKeyEvent* event) {
  const std::int32_t code = KeyCodeOf(*event);
  if (code != 0 && core_.KeyDown(code, ShiftOf(*event))) return;
  for (const std::int32_t c : CharactersOf(*event)) core_.KeyPress(c);
}

void ScreenFormWidget::mouseMoveEvent(QMouseEvent*) { core_.MouseMove(); }

void ScreenFormWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::RightButton) return;
  OptionMenu()->exec(event->globalPosition().toPoint());
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
