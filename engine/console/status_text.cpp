#include "status_text.h"

#include <QDateTime>
#include <QLocale>

namespace orvik::console {

std::string GeneralDateTime() {
  const QLocale locale = QLocale::system();
  const QDateTime now = QDateTime::currentDateTime();
  const bool twelveHour =
      locale.timeFormat(QLocale::ShortFormat).contains("ap", Qt::CaseInsensitive);
  const QString text = locale.toString(now.date(), QLocale::ShortFormat) + " " +
                       locale.toString(now.time(), twelveHour ? "h:mm:ss AP" : "HH:mm:ss");
  return text.toLatin1().toStdString();
}

std::string Stamped(std::string_view message) {
  std::string text = GeneralDateTime();
  text.append("\r\n").append(message);
  return text;
}

}  // namespace orvik::console
