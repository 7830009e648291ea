// What the tests of the real client share: waiting with the event loop running, typing as
// key presses, and answering the message boxes that show.
//
// GUI thread of a QApplication, tests only.

#ifndef ORVIK_CLIENT_APP_TESTS_PROGRAM_TEST_SUPPORT_H_
#define ORVIK_CLIENT_APP_TESTS_PROGRAM_TEST_SUPPORT_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client_program.h"
#include "event_wait.h"
#include "port.h"
#include "port_access.h"
#include "setup.h"

namespace orvik::client {

inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  return PumpEventsUntil(SteadyClock::now() + limit, done) || done();
}

// Types `text` into `widget` as key presses (CR is the Enter key).
inline void Type(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    const int key = c == '\r'        ? int(Qt::Key_Return)
                    : c == '\b'      ? int(Qt::Key_Backspace)
                    : c == '\t'      ? int(Qt::Key_Tab)
                    : c == QChar(27) ? int(Qt::Key_Escape)
                                     : int(c.toUpper().unicode());
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(widget, &release);
  }
}

// Presses OK on every message box that shows, keeping their texts; a question is answered
// No, or Yes when `yes`.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(bool yes = false) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this, yes] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      texts.push_back(box->text().toStdString());
      const QMessageBox::StandardButton answer = box->standardButtons() & QMessageBox::Ok
                                                     ? QMessageBox::Ok
                                                 : yes ? QMessageBox::Yes
                                                       : QMessageBox::No;
      box->button(answer)->click();
    });
    timer_.start();
  }
  std::vector<std::string> texts;

 private:
  QTimer timer_;
};

// A fresh engine home for each test, removed after it, with the user demo (password demo).
class ProgramHomeTest : public ::testing::Test {
 protected:
  // The home is made under the temporary folder, named `prefix` and the process id; `files`
  // are copied into it before the set-up runs with `options` (home and user filled in here).
  void MakeHome(const std::string& prefix, SetupOptions options = {},
                const std::vector<std::filesystem::path>& files = {}) {
    home_ = std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()));
    std::filesystem::remove_all(home_);
    std::filesystem::create_directories(home_);
    for (const std::filesystem::path& file : files)
      std::filesystem::copy_file(file, home_ / file.filename());
    options.home = home_.string();
    options.user = "demo";
    options.password = "demo";
    std::string error;
    ASSERT_TRUE(RunSetup(
        options, [](const std::string&) {}, &error))
        << error;
  }
  void TearDown() override { std::filesystem::remove_all(home_); }

  // Another session of the demo user in the account shop, holding item `id` of `file` for
  // its own update; null, with the reason in `error`, when it could not.
  std::shared_ptr<Port> HoldItem(const std::string& file, const std::string& id,
                                 std::string* error) {
    auto holder = Port::Create(home_.string());
    port_access::SetLogin(*holder, "demo", "demo");
    Variant fileVariable, item;
    if (!port_access::ConnectAccount(*holder, "dm") || !port_access::ValidateLogin(*holder) ||
        !port_access::ConnectAccount(*holder, "shop") ||
        !holder->OOpen(Variant(file), fileVariable) ||
        !holder->RReadU(item, fileVariable, Variant(id))) {
      *error = holder->ErrorDetail();
      return nullptr;
    }
    return holder;
  }

  // The terminal text of the top screen form.
  static std::string Screen(ClientProgram& program) {
    ScreenFormWidget* form = program.TopForm();
    return form ? form->Core().Raster().Text() : std::string();
  }

  std::filesystem::path home_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_APP_TESTS_PROGRAM_TEST_SUPPORT_H_
