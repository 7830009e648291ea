#include "widget_dialogs.h"

#include <QMessageBox>

namespace orvik::client {
namespace {

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

}  // namespace

BoxAnswer WidgetDialogs::MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon,
                                    const std::string& title) {
  const QMessageBox::StandardButtons qtButtons =
      buttons == BoxButtons::kYesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok;
  QMessageBox box(QtIcon(icon), QString::fromLatin1(title.data(), title.size()),
                  QString::fromLatin1(text.data(), text.size()), qtButtons, parent_);
  box.setTextFormat(Qt::PlainText);  // texts from the engine are shown, never rendered
  const int answer = box.exec();
  if (buttons == BoxButtons::kOk) return BoxAnswer::kOk;
  return answer == QMessageBox::Yes ? BoxAnswer::kYes : BoxAnswer::kNo;
}

}  // namespace orvik::client
