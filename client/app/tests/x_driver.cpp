#include "x_driver.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>

#include "event_wait.h"

namespace orvik::client::xtest {

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return PumpEventsUntil(SteadyClock::now() + limit, done) || done();
}

bool XDriver::Run(const QStringList& args, std::string* out, std::string* err) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", QString::fromStdString(display_));
  p.setProcessEnvironment(env);
  p.start("xdotool", args);
  if (!p.waitForFinished(20000)) {
    p.kill();
    p.waitForFinished();
    return false;
  }
  if (out) *out = p.readAllStandardOutput().toStdString();
  if (err) *err = p.readAllStandardError().toStdString();
  return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

std::vector<WindowId> XDriver::Windows(std::int64_t pid, const std::string& title) {
  // A search that finds nothing fails quietly. One that fails with an X error (a window of
  // the client destroyed while the search looked at it) says nothing of what is on the screen,
  // so it is asked again rather than read as "no window".
  std::string out;
  std::string err;
  std::vector<WindowId> found;
  for (int attempt = 0;; ++attempt) {
    if (Run({"search", "--all", "--onlyvisible", "--pid", QString::number(pid), "--name",
             QString::fromStdString(title)},
            &out, &err)) {
      break;
    }
    if (err.empty() || attempt == 4) return found;
  }
  for (const QString& line : QString::fromStdString(out).split('\n', Qt::SkipEmptyParts)) {
    bool ok = false;
    const WindowId id = line.trimmed().toULongLong(&ok);
    if (ok) found.push_back(id);
  }
  return found;
}

WindowId XDriver::WaitWindow(std::int64_t pid, const std::string& title,
                             std::chrono::milliseconds limit) {
  WindowId window = 0;
  WaitUntil(
      [&] {
        const std::vector<WindowId> found = Windows(pid, title);
        window = found.empty() ? 0 : found.back();
        return window != 0;
      },
      limit);
  return window;
}

bool XDriver::WaitNoWindow(std::int64_t pid, const std::string& title,
                           std::chrono::milliseconds limit) {
  return WaitUntil([&] { return Windows(pid, title).empty(); }, limit);
}

std::string XDriver::Title(WindowId window) {
  std::string out;
  if (!Run({"getwindowname", QString::number(window)}, &out)) return {};
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

WindowGeometry XDriver::Geometry(WindowId window) {
  std::string out;
  WindowGeometry g;
  if (!Run({"getwindowgeometry", "--shell", QString::number(window)}, &out)) return g;
  for (const QString& line : QString::fromStdString(out).split('\n', Qt::SkipEmptyParts)) {
    const QString name = line.section('=', 0, 0);
    const int value = line.section('=', 1).toInt();
    if (name == "X") g.x = value;
    if (name == "Y") g.y = value;
    if (name == "WIDTH") g.width = value;
    if (name == "HEIGHT") g.height = value;
  }
  return g;
}

bool XDriver::Resize(WindowId window, int width, int height) {
  // The window manager keeps a window, its frame too, within the screen: the size asked for
  // may not be the size given, and a synced resize would wait for it in vain. The size counts
  // once it holds still.
  if (!Run({"windowsize", QString::number(window), QString::number(width),
            QString::number(height)})) {
    return false;
  }
  WindowGeometry last = Geometry(window);
  int still = 0;
  return WaitUntil(
      [&] {
        const WindowGeometry now = Geometry(window);
        still = now.width == last.width && now.height == last.height ? still + 1 : 0;
        last = now;
        return (now.width == width && now.height == height) || still >= 3;
      },
      5s);
}

bool XDriver::Type(const std::string& text) {
  return Run({"type", "--delay", "30", "--", QString::fromLatin1(text.data(), text.size())});
}

bool XDriver::Keys(const std::vector<std::string>& keys) {
  QStringList args{"key", "--delay", "60"};
  for (const std::string& key : keys) args << QString::fromStdString(key);
  return Run(args);
}

bool XDriver::Click(WindowId window, int x, int y, int count) {
  // A synced move to where the pointer already is waits for a motion that never comes (15 s
  // and more): the pointer steps aside first, so the synced move always moves it.
  Run({"mousemove", "--window", QString::number(window), QString::number(x + 1),
       QString::number(y)});
  return Run({"mousemove", "--sync", "--window", QString::number(window), QString::number(x),
              QString::number(y), "click", "--repeat", QString::number(count), "--delay", "80",
              "1"});
}

QImage XDriver::Picture(WindowId window) {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->grabWindow(static_cast<WId>(window)).toImage() : QImage();
}

std::string XDriver::Clipboard() {
  const QByteArray text = QGuiApplication::clipboard()->text().toLatin1();
  return std::string(text.constData(), static_cast<std::size_t>(text.size()));
}

}  // namespace orvik::client::xtest
