#include "console.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "status_text.h"
#include "text.h"

namespace orvik::console {
namespace {

constexpr int kF1 = 112;
constexpr std::string_view kStartFailed = "ERROR: OrvikEngine failed to start, please try again!";

std::string ThreeDigits(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%03d", n);
  return buf;
}

}  // namespace

Console::Console(std::shared_ptr<Home> home, ConsoleDialogs& dialogs)
    : home_(std::move(home)),
      dialogs_(dialogs),
      settings_(SettingsPath(home_->Path())),
      relay_(home_) {
  relay_.SetStatusHandler([this](const std::string& text) { SetStatus(text); });
}

std::string SecondInstanceText(const std::string& home) {
  return "You already have OvEngConsole running on this machine for the engine home " + home +
         ".  \r\nPlease find that instance and use it because having 2 competing "
         "controllers running could result in a mess!  This instance now ends";
}

bool Console::IsStartArgument(std::string_view commandLine) {
  return UpperCase(TrimBlanks(commandLine)) == "START";
}

void Console::Load(bool start) {
  SetSettingsEnabled(false);
  settings_.Load();
  if (start) {
    Start();
  } else {
    controls_.stop = false;
    controls_.start = true;
    controls_.save = true;
    SetSettingsEnabled(true);
  }
  Changed();
}

void Console::Start() {
  starting_ = true;
  settings_.Save(starting_, dialogs_);
  home_->SettingsWritten();
  if (!starting_) return;
  starting_ = false;
  const int n = static_cast<int>(WholeNumber(settings_.Held().tcpPorts));
  const int p = static_cast<int>(WholeNumber(settings_.Held().tcpPortStart));
  if (relay_.EngineStart(n, p)) {
    controls_.start = false;
    controls_.save = false;
    controls_.stop = true;
    SetSettingsEnabled(false);
    SetStatus(Stamped("Status: Successful start of OrvikEngine"));
  } else {
    // The reason goes under the message, so that a busy or privileged port is plain to see.
    SetStatus(Stamped(kStartFailed) + "\r\n" + relay_.LastError());
    dialogs_.Message(std::string(kStartFailed));
  }
}

void Console::Stop() {
  SetStatus(Stamped("Status: Stopping local OrvikEngine."));
  dialogs_.SetBusy(true);
  const bool stopped = relay_.EngineStop();
  dialogs_.SetBusy(false);
  if (stopped) {
    SetStatus(Stamped("Status: OrvikEngine is stopped.  You can now change settings."));
    dialogs_.Confirmation("Stop command succeeded.  You can now change settings.");
    controls_.stop = false;
    controls_.start = true;
    controls_.save = true;
    SetSettingsEnabled(true);
  } else {
    SetStatus(Stamped("Status: Stop command failed, please try again."));
    dialogs_.Message("OrvikEngine Stop command failed, please try again.");
  }
}

void Console::Save() {
  bool starting = false;
  settings_.Save(starting, dialogs_);
  home_->SettingsWritten();
  Changed();
}

std::string Console::StatusReport() const {
  std::string report = "Status as at " + GeneralDateTime() + "\r\n";
  const double held = WholeNumber(settings_.Held().tcpPorts);
  const int count = static_cast<int>(std::clamp(held, 0.0, double{kMaxTcpPorts}));
  for (int i = 1; i <= count; ++i) {
    report += ThreeDigits(i) + ": " + relay_.SlotText(i) + "\r\n";
  }
  return report;
}

void Console::ShowStatus() { SetStatus(StatusReport()); }

std::string Console::HelpPath() const { return home_->Path() + "/Help/OvEngDocu1.htm"; }

void Console::RunBrowser() {
  // Said in the window: what the desktop says about it goes to a standard error nobody reads.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(HelpPath(), ec)) {
    dialogs_.Message(
        "The help page " + HelpPath() +
        " is not there: copy the folder Help of the installed programs "
        "(share/orvik/Help, engine/console/help in the sources) into the engine home.");
    return;
  }
  if (!dialogs_.OpenDocument(HelpPath()))
    dialogs_.Message("No program to show " + HelpPath() + " was found: open it in a web browser.");
}

void Console::About() { dialogs_.Message(std::string(kAboutText)); }

void Console::KeyDown(int keyCode, int /*shift*/) {
  if (keyCode == kF1) RunBrowser();
}

void Console::Unload() { relay_.EngineStop(); }

void Console::SetStatus(std::string text) {
  status_ = std::move(text);
  Changed();
}

void Console::SetSettingsEnabled(bool enabled) {
  controls_.settings = enabled;
  settings_.Controls().mySqlPortEnabled = enabled;
}

void Console::Changed() {
  if (changed_) changed_();
}

}  // namespace orvik::console
