// The console's commands without their widgets: load, start, stop, save, the status report,
// help and about. The window binds its controls to them; a headless run drives them from
// the command line and signals.

#ifndef ORVIK_CONSOLE_CONSOLE_H_
#define ORVIK_CONSOLE_CONSOLE_H_

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "console_dialogs.h"
#include "console_settings.h"
#include "relay_server.h"

namespace orvik::console {

inline constexpr std::string_view kAboutText = "OrvikEngine 1.2 of 20 Sept 2000";
// One console runs per engine home: the text names the home whose console runs.
std::string SecondInstanceText(const std::string& home);

// Which buttons can be used; the MySQL port box has its own flag in SettingsControls.
struct ControlStates {
  bool start = true;
  bool stop = false;
  bool save = true;
  bool settings = false;  // every settings control but the MySQL port box
};

class Console {
 public:
  Console(std::shared_ptr<Home> home, ConsoleDialogs& dialogs);

  // True when the command line, trimmed and in capitals, is exactly "START".
  static bool IsStartArgument(std::string_view commandLine);

  // Reads the settings; with `start` the server is started at once.
  void Load(bool start);
  // Saves the settings without a word and starts the server.
  void Start();
  void Stop();
  // Saves the settings (the Save button).
  void Save();
  // Puts the report of every slot into the status text.
  void ShowStatus();
  std::string StatusReport() const;
  void RunBrowser();
  void About();
  // A key pressed in the window (platform key code, shift state 1 Shift, 2 Ctrl, 4 Alt).
  void KeyDown(int keyCode, int shift);
  // The window closes: the server is stopped, whatever that gives.
  void Unload();

  std::string HelpPath() const;
  const std::string& StatusText() const { return status_; }
  const ControlStates& Controls() const { return controls_; }
  // Called after each change of the status text or of the control states.
  void SetChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

  SettingsEditor& Settings() { return settings_; }
  RelayServer& Relay() { return relay_; }
  const RelayServer& Relay() const { return relay_; }

 private:
  void SetStatus(std::string text);
  void SetSettingsEnabled(bool enabled);
  void Changed();

  const std::shared_ptr<Home> home_;
  ConsoleDialogs& dialogs_;
  SettingsEditor settings_;
  RelayServer relay_;
  std::string status_ = "Status:  STARTUP";
  ControlStates controls_;
  bool starting_ = false;
  std::function<void()> changed_;
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_CONSOLE_H_
