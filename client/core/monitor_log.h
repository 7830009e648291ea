// The monitor's traffic log, without its window: the received and sent texts and the
// dispatcher's decisions, as lines the user can read, copy and print, and the history of the
// commands typed into the monitor.
//
// One log per client, used on the GUI thread only. The log is bounded: past 20,000
// characters only its last 15,000 are kept. It never holds what the user types at a
// password prompt: Received() watches for the engine's "password:" prompt and the
// application's APPPASSWORDPROMPT, and until the line is ended Sent() shows every character
// as "*" and the monitor's command history takes nothing.

#ifndef ORVIK_CLIENT_CORE_MONITOR_LOG_H_
#define ORVIK_CLIENT_CORE_MONITOR_LOG_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "client_settings.h"

namespace orvik::client {

// DIRECT entries go in unchanged; the others lose their control characters but CR and LF.
enum class MonitorKind { kDirect, kForms, kTerminal };

inline constexpr std::size_t kMonitorLogLimit = 20000;
inline constexpr std::size_t kMonitorLogKept = 15000;

class MonitorLog {
 public:
  // The settings (MONITOR, EOS, APPPASSWORDPROMPT) must outlive the log.
  explicit MonitorLog(const ClientSettings& settings) : settings_(settings) {}

  // Appends the entry and two CR LF, then trims the log. Logs whatever MONITOR says: the
  // callers ask MONITOR first, as the dispatcher's "PROCESS:" lines do.
  void Monitor(std::string_view text, MonitorKind kind);

  // The poll loop's "RX:" line, while MONITOR is on; notes a password prompt either way.
  void Received(std::string_view rx);
  // SendData's "TX :" line, while MONITOR is on, masked at a password prompt; a text that
  // ends the line (CR, LF or EOS) ends the prompt.
  void Sent(std::string_view data);
  bool AtPasswordPrompt() const { return atPasswordPrompt_; }

  // The monitor's command line: the text to send (the entry and EOS); the entry joins the
  // history, repeats and empty entries included, except at a password prompt.
  std::string CommandToSend(const std::string& entry);
  const std::vector<std::string>& History() const { return history_; }

  const std::string& Text() const { return text_; }
  void Clear() { Replace({}); }
  // The whole log becomes `text` (the monitor window's help before the first screen).
  void Replace(std::string text);
  // Called after every change of the log (the window that shows it follows).
  void SetChangeListener(std::function<void()> listener) { listener_ = std::move(listener); }

 private:
  const ClientSettings& settings_;
  std::string text_;
  std::vector<std::string> history_;
  bool atPasswordPrompt_ = false;
  std::function<void()> listener_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_MONITOR_LOG_H_
