#include "client_program.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "client_functions.h"
#include "event_wait.h"
#include "home.h"
#include "port.h"
#include "screen_fit.h"
#include "startup_settings.h"
#include "twips.h"
#include "variant.h"

namespace orvik::client {
namespace {

constexpr int kTickMs = 165;
// How long the end of the program waits for the port's thread to finish its clean-up.
constexpr unsigned long kPortEndWaitMs = 5000;

// A screen form's window; the window goes when the handle does, and the form with it once
// control is back in the event loop.
class WidgetFormHandle final : public ScreenFormHandle {
 public:
  explicit WidgetFormHandle(ScreenFormWidget* widget) : widget_(widget), core_(widget->Core()) {}
  ~WidgetFormHandle() override {
    if (widget_) {
      widget_->CloseByCode();
      widget_->deleteLater();
    }
  }
  ScreenFormCore& Core() override { return core_; }

 private:
  QPointer<ScreenFormWidget> widget_;
  ScreenFormCore& core_;
};

// How long the start-up waits for the window manager to frame the main window.
constexpr auto kFrameWait = std::chrono::seconds(2);
constexpr auto kFrameSettle = std::chrono::milliseconds(150);

// The inside of a maximised window: the screen's area less the frame the window manager puts
// round `window` (a title bar, borders). A screen form maximised the same way then shows its
// whole raster, without scroll bars. Where no manager frames windows, the whole area.
QSize MaximisedInnerSize(QWidget& window) {
  const QRect area = WindowArea(&window);
  QWindow* handle = window.windowHandle();
  if (handle == nullptr) return area.size();
  PumpEventsUntil(SteadyClock::now() + kFrameWait, [handle] { return handle->isExposed(); });
  PumpEventsUntil(SteadyClock::now() + kFrameSettle,
                  [handle] { return !handle->frameMargins().isNull(); });
  const QMargins frame = handle->frameMargins();
  return QSize(std::max(area.width() - frame.left() - frame.right(), 80),
               std::max(area.height() - frame.top() - frame.bottom(), 26));
}

}  // namespace

ClientProgram::ClientProgram(ClientOptions options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      settings_(options_.home),
      fns_(MakeClientFunctions()),  // runs the date-order probe
      monitorLog_(settings_) {
  timer_.setInterval(kTickMs);
  connect(&main_, &MainWindow::closed, this, [this] {
    if (shell_) shell_->MainWindowClosed();
  });
}

ClientProgram::~ClientProgram() {
  timer_.stop();
  monitorWindow_.reset();
  shell_.reset();
  for (const QPointer<ScreenFormWidget>& form : forms_) delete form.data();
  if (busy_) QApplication::restoreOverrideCursor();
  link_.reset();
  port_.reset();  // waits briefly for the port's thread
}

bool ClientProgram::Start() {
  main_.setWindowState(Qt::WindowMaximized);
  const std::string home = options_.home;
  // A home that is no folder (a file, a path that is not there) would start a session that
  // never says anything: the client would wait on its splash for ever.
  std::error_code ec;
  if (!home.empty() && !std::filesystem::is_directory(home, ec)) {
    dialogs_.MessageBox(
        "The engine session could not be started: the engine home " + home + " is not a folder.",
        BoxButtons::kOk, BoxIcon::kCritical, kProgramTitle);
    return false;
  }
  try {
    port_ = std::make_unique<PortHost>([engineHome = Home::Open(home)] {
      std::shared_ptr<Port> port = engineHome->MakePort();
      port->SetTermType("VBGUI");
      port->Echo(Variant(true));  // the engine echoes every character; the client draws none
      return port;
    });
  } catch (const std::exception& e) {
    dialogs_.MessageBox(std::string("The engine session could not be started: ") + e.what(),
                        BoxButtons::kOk, BoxIcon::kCritical, kProgramTitle);
    return false;
  }
  link_ = std::make_unique<PortHostLink>(*port_);

  main_.show();
  main_.LoadSplash(settings_.pathHome);
  // One cell of the raster: the maximised main window's inner size over 80 x 26.
  const QSize inner = MaximisedInnerSize(main_);
  cellWidth_ = static_cast<float>(TwipsFromPixels(inner.width()) / 80);
  cellHeight_ = static_cast<float>(TwipsFromPixels(inner.height()) / 26);
  main_.PlaceCaptions(cellHeight_);

  ShellHost& host = *this;
  shell_ = std::make_unique<ClientShell>(settings_, *fns_, dialogs_, monitorLog_, pump_, *link_,
                                         host, cellWidth_, cellHeight_);
  shell_->Context().pickList = &pickList_;
  shell_->Context().searchChoice = &searchChoice_;
  printer_ = MakeCupsBackend();  // connects on first use
  monitorWindow_ = std::make_unique<MonitorWindow>(*shell_, pump_, *printer_);
  connect(&timer_, &QTimer::timeout, this, [this] { shell_->TimerTick(); });
  // A complete transmission is drawn as soon as it arrives, and a hang-up heard at once; the
  // timer is the upper bound.
  connect(port_.get(), &PortHost::outputReady, this, [this] { shell_->OutputArrived(); });
  connect(port_.get(), &PortHost::hungUp, this, [this] { shell_->OutputArrived(); });
  timer_.start();
  QCoreApplication::processEvents();  // the splash paints

  LoadStartupSettings(settings_, options_.settings, ShellOutlets{&dialogs_, &monitorLog_});
  shell_->Start();
  return true;
}

void ClientProgram::Stop() {
  if (shell_) shell_->EmergencyExit();
}

ScreenFormWidget* ClientProgram::TopForm() {
  ScreenFormCore* top = shell_ ? shell_->Top() : nullptr;
  for (const QPointer<ScreenFormWidget>& form : forms_) {
    if (form && &form->Core() == top) return form.data();
  }
  return nullptr;
}

std::unique_ptr<ScreenFormHandle> ClientProgram::NewScreenForm(ShellServices& shell) {
  auto* widget = new ScreenFormWidget(shell, 80.0 * cellWidth_, 26.0 * cellHeight_);
  forms_.emplace_back(widget);
  std::erase_if(forms_, [](const QPointer<ScreenFormWidget>& form) { return form.isNull(); });
  return std::make_unique<WidgetFormHandle>(widget);
}

void ClientProgram::HideMainWindow() { main_.hide(); }

void ClientProgram::Beep() { QApplication::beep(); }

void ClientProgram::ShowMonitor() { monitorWindow_->ShowWindow(); }

void ClientProgram::SetBusyPointer(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void ClientProgram::ScheduleTick() {
  QTimer::singleShot(0, this, [this] {
    if (shell_) shell_->OutputArrived();
  });
}

void ClientProgram::EndProgram(int code) {
  if (ending_) return;
  ending_ = true;
  timer_.stop();
  // Once the handler that ended the program has returned.
  QTimer::singleShot(0, this, [this, code] { Finish(code); });
}

void ClientProgram::Finish(int code) {
  for (const QPointer<ScreenFormWidget>& form : forms_) {
    if (form) form->CloseByCode();
  }
  if (monitorWindow_) monitorWindow_->hide();
  main_.hide();
  // The port was released first; its thread removes the session's locks and registry line.
  if (port_) port_->Wait(kPortEndWaitMs);
  emit ended(code);
}

}  // namespace orvik::client
