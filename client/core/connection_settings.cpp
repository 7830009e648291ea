#include "connection_settings.h"

#include <QSettings>
#include <algorithm>
#include <cmath>
#include <limits>

#include "markup.h"
#include "numbers.h"

namespace orvik::client {
namespace {

constexpr const char* kApplication = "OrvikLink";
constexpr const char* kSection = "Connection";

// The user's store, in INI form so that it is the same file on every platform.
QSettings UserStore() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, kApplication, kApplication);
}

std::string Read(QSettings& store, const char* key, const std::string& fallback) {
  const QVariant value = store.value(QString(kSection) + "/" + key);
  if (!value.isValid()) return fallback;
  return value.toString().toLatin1().toStdString();
}

void Write(QSettings& store, const char* key, const std::string& text) {
  store.setValue(QString(kSection) + "/" + key,
                 QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace

ConnectionValues LoadConnectionValues() {
  QSettings store = UserStore();
  const ConnectionValues defaults;
  return {Read(store, "Server", defaults.server), Read(store, "Port", defaults.port),
          Read(store, "TimeOut", defaults.timeOut)};
}

bool SaveConnectionValues(const ConnectionValues& values) {
  QSettings store = UserStore();
  Write(store, "Server", values.server);
  Write(store, "Port", values.port);
  Write(store, "TimeOut", values.timeOut);
  store.sync();
  return store.status() == QSettings::NoError;
}

ConnectionTarget ConnectionTargetOf(const ConnectionValues& values) {
  // Converting a number past the float's range is undefined: it is held to the range.
  constexpr double kMost = std::numeric_limits<float>::max();
  const double timeOut = Val(values.timeOut);
  return {values.server, LongOf(Val(values.port)),
          static_cast<float>(std::isnan(timeOut) ? 0 : std::clamp(timeOut, -kMost, kMost))};
}

}  // namespace orvik::client
