// Helpers of the offscreen widget tests: acting on the next modal window of a type once it is
// up, and a per-user settings store in a temporary folder.

#ifndef ORVIK_CLIENT_UI_TESTS_MODAL_HELPERS_H_
#define ORVIK_CLIENT_UI_TESTS_MODAL_HELPERS_H_

#include <unistd.h>

#include <QApplication>
#include <QSettings>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>

namespace orvik::client {

// Runs `act` on the next modal window of type T once it shows. It looks every few
// milliseconds, so a slow start never leaves the test hanging in the window.
template <typename T>
void WhenModal(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
    if (window == nullptr || !window->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    act(window);
  });
  timer->start();
}

// QSettings' per-user INI store moved into a fresh temporary folder for the object's life.
class TemporarySettingsStore {
 public:
  TemporarySettingsStore()
      : folder_(std::filesystem::temp_directory_path() /
                ("orvik-ui-settings-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString(folder_.string()));
  }
  ~TemporarySettingsStore() { std::filesystem::remove_all(folder_); }
  std::filesystem::path File() const { return folder_ / "OrvikLink" / "OrvikLink.ini"; }

 private:
  std::filesystem::path folder_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_TESTS_MODAL_HELPERS_H_
