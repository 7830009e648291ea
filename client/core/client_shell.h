// The client's frame (the main form): it hosts the engine port through its link, sends
// every text the client sends (SendData), collects the port's output, and runs the poll
// tick that hands received text to the dispatcher: the pending-time counter, the session's
// hang-up, runs of angle brackets, the monitor's log, the stack of screen forms
// ("<SUBFORM>" and "</SUBFORM>") and the first screen form.
//
// The session's hang-up comes through the link (EngineLink::HungUp), never from the text:
// the shell releases the port, says so in a box and ends, dispatching nothing of what is
// pending. A reply sent while a menu or form shows goes without the session's echo, which
// only the terminal screen draws.
//
// GUI thread only. The tick runs every 165 ms (TimerTick, which alone advances PollCounter,
// the dispatcher's measure of how long text has waited) and as soon as the port's output is
// waiting (OutputArrived), so a complete transmission is drawn at once. It may run again
// inside a modal box or a wait of the screen it dispatches to: the text being dispatched is
// taken out of the pending text first, so nothing is dispatched twice (and a screen form
// dropped meanwhile lives on until control is back in the event loop: see ShellHost). A
// sub-form marker acts once, however many ticks its transmission waits; one past kMostForms
// is refused, once in a box. Every way the program ends
// releases the port first. Nothing here throws: the dispatcher reports its own errors.

#ifndef ORVIK_CLIENT_CORE_CLIENT_SHELL_H_
#define ORVIK_CLIENT_CORE_CLIENT_SHELL_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine_link.h"
#include "monitor_log.h"
#include "shell_host.h"
#include "shell_services.h"
#include "styles.h"

namespace orvik::client {

inline constexpr const char* kDisconnectingBox = "OrvikEngine disconnecting";
// The first transmission, staged by the client itself: terminal mode and a clear screen.
inline constexpr const char* kStagedFirstText = "<TERMINAL><ATF,@=-1>";
inline constexpr float kTickSeconds = 0.165f;
// The most screen forms stacked, the first one and its sub-forms: a "<SUBFORM>" past them
// opens none (every form is a window), and its "</SUBFORM>" closes none.
inline constexpr std::int32_t kMostForms = 64;

class ClientShell final : public ShellServices {
 public:
  // The raster's cell (CellWidth, CellHeight) in twips, from the maximised main window.
  ClientShell(ClientSettings& settings, Functions& fns, Dialogs& dialogs, MonitorLog& monitor,
              EventPump& pump, EngineLink& link, ShellHost& host, float cellWidth,
              float cellHeight);
  ~ClientShell() override;
  ClientShell(const ClientShell&) = delete;
  ClientShell& operator=(const ClientShell&) = delete;

  // The end of start-up, once the settings are read: StateMain "LOGIN", the staged first
  // transmission, and the first CR LF, which wakes the engine's login dialogue.
  void Start();
  // The port's output is waiting: it is taken (its bells sounded, once) and handled now.
  void OutputArrived();
  // Timer1, every 165 ms: the port's output is taken too.
  void TimerTick();
  // The main window was closed (before the first screen form): the program ends.
  void MainWindowClosed();
  // The monitor's Exit before the first screen form: the program ends.
  void ExitBeforeForms() { End(); }
  // Releases the port; the program keeps running.
  void Closedown();

  const std::string& StateMain() const { return stateMain_; }
  const std::string& PendingText() const { return msRX_; }
  float PollCounter() const { return context_.pollCounter; }
  bool Ending() const { return ending_; }
  // The screen forms of SubformStack, from entry 0 up.
  std::int32_t FormCount() const { return static_cast<std::int32_t>(forms_.size()); }
  ScreenFormCore* Form(std::int32_t index);
  ScreenFormCore* Top() { return Form(top_); }
  StylesDictionary& Styles() { return styles_; }
  MonitorLog& Monitor() { return monitor_; }

  std::string dataPrefix;  // DataPrefix: put once in front of the next send
  std::string remoteHost;  // msRemoteHost, mlRemotePort: from the monitor's connect
  std::int32_t remotePort = 0;

  // ShellServices
  ShellContext& Context() override { return context_; }
  EventPump& Pump() override { return pump_; }
  float CellHeight() const override { return cellHeight_; }
  void Send(std::string text) override;
  bool AwaitingReply() const override { return awaitingReply_; }
  void SetAwaitingReply(bool awaiting) override;
  void SetBusyPointer(bool busy) override { host_.SetBusyPointer(busy); }
  std::int32_t SubformTop() const override { return top_; }
  std::string RemoteHost() const override { return remoteHost; }
  std::int32_t RemotePort() const override { return remotePort; }
  void ShowMonitor() override { host_.ShowMonitor(); }
  void ScreenFormUnloaded(ScreenForm& form) override;
  void EmergencyExit() override { End(); }

 private:
  void TakeOutput();
  void Tick(bool counting);
  void SendData();
  void Disconnect();
  void End();
  void SubformMarkers();
  void PushSubform();
  void PopSubforms(std::int32_t markers);
  void FirstScreen();
  void Dispatch();
  // False when the pending text was passed over (the prompt the engine repeats after a
  // framed terminal transmission).
  bool Transmission(ScreenFormCore& top);

  StylesDictionary styles_;
  ShellContext context_;
  MonitorLog& monitor_;
  EventPump& pump_;
  EngineLink& link_;
  ShellHost& host_;
  float cellHeight_;

  std::string stateMain_ = "LOGON";
  std::string msRX_;
  bool awaitingReply_ = false;
  bool ending_ = false;
  bool creatingForm_ = false;
  std::vector<std::unique_ptr<ScreenFormHandle>> forms_;  // SubformStack
  std::int32_t top_ = -1;
  // How much of the pending text has had its sub-form markers acted on.
  std::size_t markersSeen_ = 0;
  // How much of the pending text is known to leave the dispatcher waiting for the rest of its
  // transmission, and whether it was judged in terminal state (0 whenever the text changed
  // other than by more arriving).
  std::size_t quietChecked_ = 0;
  bool quietInTerminal_ = false;
  // Sub-form markers refused past kMostForms whose end markers have not come yet.
  std::int32_t subformsRefused_ = 0;
  // The last terminal transmission ended its frame with "</TX>", and the engine's prompt
  // after it has not come yet.
  bool afterFrame_ = false;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_CLIENT_SHELL_H_
