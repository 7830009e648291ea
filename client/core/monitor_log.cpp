#include "monitor_log.h"

#include "text.h"

namespace orvik::client {
namespace {

constexpr std::string_view kEntryEnd = "\r\n\r\n";
constexpr std::string_view kEnginePasswordPrompt = "password:";

// Whether the text ends by asking for a password: "password:" before any trailing blanks,
// line ends and tags.
bool EndsWithPasswordPrompt(std::string_view rx) {
  for (;;) {
    while (!rx.empty() && (rx.back() == ' ' || rx.back() == '\r' || rx.back() == '\n')) {
      rx.remove_suffix(1);
    }
    if (rx.empty() || rx.back() != '>') break;
    const std::size_t open = rx.rfind('<');
    if (open == std::string_view::npos) break;
    rx = rx.substr(0, open);
  }
  return rx.size() >= kEnginePasswordPrompt.size() &&
         EqualsNoCase(rx.substr(rx.size() - kEnginePasswordPrompt.size()), kEnginePasswordPrompt);
}

// Whether the log keeps the byte `c` of a text of `kind`.
bool Kept(char c, MonitorKind kind) {
  return kind == MonitorKind::kDirect || static_cast<unsigned char>(c) >= 32 || c == '\r' ||
         c == '\n';
}

// How much of the start of `text` the log would cut again at once: all before the end that
// alone takes the log past its limit (0 when the whole text does not).
std::size_t Overflow(std::string_view text, MonitorKind kind) {
  std::size_t kept = 0;
  for (std::size_t i = text.size(); i > 0; --i) {
    if (Kept(text[i - 1], kind) && ++kept > kMonitorLogLimit) return i - 1;
  }
  return 0;
}

}  // namespace

void MonitorLog::Monitor(std::string_view text, MonitorKind kind) {
  // Of a text longer than the log keeps, only the end can stay: the rest is never copied
  // (the pending text is logged on every tick, and may be megabytes long).
  text.remove_prefix(Overflow(text, kind));
  if (kind == MonitorKind::kDirect) {
    text_ += text;
  } else {
    for (const char c : text) {
      if (Kept(c, kind)) text_ += c;
    }
  }
  text_ += kEntryEnd;
  if (text_.size() > kMonitorLogLimit) text_.erase(0, text_.size() - kMonitorLogKept);
  if (listener_) listener_();
}

void MonitorLog::Replace(std::string text) {
  text_ = std::move(text);
  if (listener_) listener_();
}

void MonitorLog::Received(std::string_view rx) {
  const std::string& appPrompt = settings_.appPasswordPrompt;
  if (EndsWithPasswordPrompt(rx) ||
      (!appPrompt.empty() && FindNoCase(rx, appPrompt) != std::string_view::npos)) {
    atPasswordPrompt_ = true;
  }
  if (!settings_.monitor) return;
  // A heading the log would cut at once is left off, and so is the copy with it.
  const std::size_t cut = Overflow(rx, MonitorKind::kForms);
  if (cut > 0) {
    Monitor(rx.substr(cut), MonitorKind::kForms);
  } else {
    Monitor("RX:\r\n" + std::string(rx), MonitorKind::kForms);
  }
}

void MonitorLog::Sent(std::string_view data) {
  std::string shown(data);
  if (atPasswordPrompt_) {
    for (char& c : shown) {
      if (c != '\r' && c != '\n') c = '*';
    }
    const std::string& eos = settings_.eos;
    const bool lineEnded = data.find_first_of("\r\n") != std::string_view::npos ||
                           (!eos.empty() && data.ends_with(eos));
    if (lineEnded) atPasswordPrompt_ = false;
  }
  if (settings_.monitor) Monitor("TX :" + shown, MonitorKind::kDirect);
}

std::string MonitorLog::CommandToSend(const std::string& entry) {
  if (!atPasswordPrompt_) history_.push_back(entry);
  return entry + settings_.eos;
}

}  // namespace orvik::client
