#include "widget_dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "screen_fit.h"

namespace orvik::client {
namespace {

// A box is at most this share of the screen's width and height; a text that would make it
// larger scrolls inside it.
constexpr double kMostOfScreen = 0.6;

QMessageBox::Icon QtIcon(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kExclamation:
      return QMessageBox::Warning;
    case BoxIcon::kInformation:
      return QMessageBox::Information;
    case BoxIcon::kQuestion:
      return QMessageBox::Question;
    case BoxIcon::kCritical:
      return QMessageBox::Critical;
    case BoxIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

QStyle::StandardPixmap IconPixmap(QMessageBox::Icon icon) {
  switch (icon) {
    case QMessageBox::Warning:
      return QStyle::SP_MessageBoxWarning;
    case QMessageBox::Information:
      return QStyle::SP_MessageBoxInformation;
    case QMessageBox::Question:
      return QStyle::SP_MessageBoxQuestion;
    default:
      return QStyle::SP_MessageBoxCritical;
  }
}

// Whether `text` would make a message box larger than `area` allows.
bool TooBigForABox(const QString& text, const QRect& area) {
  const QFontMetrics metrics(QApplication::font("QMessageBox"));
  const int width = static_cast<int>(area.width() * kMostOfScreen);
  const QRect needed =
      metrics.boundingRect(QRect(0, 0, width, 1 << 20), Qt::TextWordWrap | Qt::TextExpandTabs, text);
  return needed.height() > area.height() * kMostOfScreen;
}

// The box for a text too long for a message box: the same icon, title and buttons, the text
// in a pane that scrolls, the whole box within the screen. Enter presses OK, or Yes.
BoxAnswer ScrollingBox(const QString& text, BoxButtons buttons, QMessageBox::Icon icon,
                       const QString& title, QWidget* parent, const QRect& area) {
  QDialog box(parent);
  box.setWindowTitle(title);
  auto* layout = new QVBoxLayout(&box);
  auto* row = new QHBoxLayout;
  if (icon != QMessageBox::NoIcon) {
    auto* picture = new QLabel(&box);
    const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
    picture->setPixmap(box.style()->standardIcon(IconPixmap(icon)).pixmap(size, size));
    picture->setAlignment(Qt::AlignTop);
    row->addWidget(picture);
  }
  auto* pane = new QPlainTextEdit(&box);
  pane->setReadOnly(true);
  pane->setPlainText(text);
  pane->setFocusPolicy(Qt::ClickFocus);  // the keys go to the buttons
  row->addWidget(pane, 1);
  layout->addLayout(row, 1);
  auto* choices = new QDialogButtonBox(
      buttons == BoxButtons::kYesNo ? QDialogButtonBox::Yes | QDialogButtonBox::No
                                    : QDialogButtonBox::Ok,
      &box);
  layout->addWidget(choices);
  BoxAnswer answer = buttons == BoxButtons::kYesNo ? BoxAnswer::kNo : BoxAnswer::kOk;
  QObject::connect(choices, &QDialogButtonBox::clicked, &box, [&](QAbstractButton* button) {
    if (choices->standardButton(button) == QDialogButtonBox::Yes) answer = BoxAnswer::kYes;
    box.accept();
  });
  QPushButton* main = choices->button(buttons == BoxButtons::kYesNo ? QDialogButtonBox::Yes
                                                                     : QDialogButtonBox::Ok);
  main->setDefault(true);
  main->setFocus();
  const QSize size(static_cast<int>(area.width() * kMostOfScreen),
                   static_cast<int>(area.height() * kMostOfScreen));
  box.setGeometry(FitOnScreen(QRect(area.center() - QPoint(size.width(), size.height()) / 2, size),
                              area));
  box.exec();
  return answer;
}

}  // namespace

BoxAnswer WidgetDialogs::MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon,
                                    const std::string& title) {
  const QString qtText = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  const QString qtTitle = QString::fromLatin1(title.data(), static_cast<qsizetype>(title.size()));
  const QRect area = WindowArea(parent_);
  if (TooBigForABox(qtText, area))
    return ScrollingBox(qtText, buttons, QtIcon(icon), qtTitle, parent_, area);
  const QMessageBox::StandardButtons qtButtons =
      buttons == BoxButtons::kYesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok;
  QMessageBox box(QtIcon(icon), qtTitle, qtText, qtButtons, parent_);
  box.setTextFormat(Qt::PlainText);  // texts from the engine are shown, never rendered
  const int answer = box.exec();
  if (buttons == BoxButtons::kOk) return BoxAnswer::kOk;
  return answer == QMessageBox::Yes ? BoxAnswer::kYes : BoxAnswer::kNo;
}

}  // namespace orvik::client
