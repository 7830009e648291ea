#include "client_shell.h"

#include <algorithm>

#include "bracket_runs.h"
#include "engine_protocol.h"
#include "rx_process.h"
#include "text.h"

namespace orvik::client {
namespace {

using protocol::kEndOfTransmission;
using protocol::kSubformClose;
using protocol::kSubformOpen;
// What the engine writes after a command, also after one whose transmission ended with its
// own prompt and "</TX>".
constexpr std::string_view kTclPrompt = "\r\n:";

// Where a search for `marker` starts when the text's first `seen` characters have been
// searched for it: the first place a marker reaching past them could begin.
std::size_t SearchFrom(std::size_t seen, std::string_view marker) {
  return seen >= marker.size() ? seen - marker.size() + 1 : 0;
}

// The markers in `text` that do not lie wholly within its first `seen` characters.
std::int32_t NewMarkers(std::string_view text, std::string_view marker, std::size_t seen) {
  std::int32_t count = 0;
  for (std::size_t at = FindNoCase(text, marker, SearchFrom(seen, marker));
       at != std::string_view::npos; at = FindNoCase(text, marker, at + marker.size())) {
    if (at + marker.size() > seen) ++count;
  }
  return count;
}

bool EndsWithNoCase(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && EqualsNoCase(text.substr(text.size() - end.size()), end);
}

}  // namespace

ClientShell::ClientShell(ClientSettings& settings, Functions& fns, Dialogs& dialogs,
                         MonitorLog& monitor, EventPump& pump, EngineLink& link, ShellHost& host,
                         float cellWidth, float cellHeight)
    : context_{settings, styles_, fns, dialogs, &monitor, cellWidth, 0, {}},
      monitor_(monitor),
      pump_(pump),
      link_(link),
      host_(host),
      cellHeight_(cellHeight) {}

ClientShell::~ClientShell() = default;

ScreenFormCore* ClientShell::Form(std::int32_t index) {
  if (index < 0 || index >= FormCount()) return nullptr;
  return &forms_[static_cast<std::size_t>(index)]->Core();
}

void ClientShell::Start() {
  stateMain_ = "LOGIN";
  msRX_ = kStagedFirstText;
  Send("\r\n");
}

void ClientShell::Send(std::string text) {
  context_.dataToSend = std::move(text);
  SendData();
}

void ClientShell::SendData() {
  monitor_.Sent(context_.dataToSend);
  if (!dataPrefix.empty()) {
    context_.dataToSend = dataPrefix + context_.dataToSend;
    dataPrefix.clear();
  }
  // A menu or form shows what its user answered; only the terminal screen draws the echo.
  ScreenFormCore* top = Top();
  const bool echoed = top == nullptr || top->Model().states.msState == state::kTerminal;
  link_.Send(context_.dataToSend, echoed);
}

void ClientShell::SetAwaitingReply(bool awaiting) {
  awaitingReply_ = awaiting;
  host_.SetBusyPointer(awaiting);
}

void ClientShell::TakeOutput() {
  std::string s = link_.TakeOutput();
  if (s.find('\a') != std::string::npos) {
    std::erase(s, '\a');
    host_.Beep();  // one beep however many bells
  }
  msRX_ += s;
}

void ClientShell::OutputArrived() {
  if (ending_) return;
  TakeOutput();
  Tick(false);
}

void ClientShell::TimerTick() {
  if (ending_) return;
  TakeOutput();
  Tick(true);
}

void ClientShell::Tick(bool counting) {
  if (ending_ || creatingForm_) return;
  // The counter starts when text is pending and, once above 0, counts until the
  // dispatcher sets it back.
  if (counting && !(context_.pollCounter <= 0 && msRX_.empty()))
    context_.pollCounter += kTickSeconds;
  // The session hung up: what it wrote before is not dispatched.
  if (link_.HungUp()) {
    Disconnect();
    return;
  }
  if (msRX_.empty()) return;
  // What was seen on an earlier tick has been cleared of bracket runs.
  BracketRunsFrom(msRX_, std::min(markersSeen_, msRX_.size()));
  monitor_.Received(msRX_);
  SubformMarkers();
  if (stateMain_ == "FORMS") {
    Dispatch();
  } else {
    FirstScreen();
  }
}

void ClientShell::Disconnect() {
  if (ending_) return;
  ending_ = true;
  link_.Release();
  context_.dialogs.MessageBox(kDisconnectingBox, BoxButtons::kOk, BoxIcon::kNone);
  host_.EndProgram(0);
}

void ClientShell::End() {
  if (ending_) return;
  ending_ = true;
  link_.Release();
  host_.EndProgram(0);
}

void ClientShell::MainWindowClosed() { End(); }

void ClientShell::Closedown() { link_.Release(); }

void ClientShell::SubformMarkers() {
  const std::int32_t opened = NewMarkers(msRX_, kSubformOpen, markersSeen_);
  const std::int32_t closed = NewMarkers(msRX_, kSubformClose, markersSeen_);
  markersSeen_ = msRX_.size();
  // Before the first screen form there is no form to stack on.
  if (forms_.empty()) return;
  std::int32_t refused = 0;
  for (std::int32_t i = 0; i < opened; ++i) {
    if (FormCount() < kMostForms) {
      PushSubform();
    } else {
      ++refused;
    }
  }
  subformsRefused_ += refused;
  // The ends of refused sub-forms come first: they close none that is open.
  const std::int32_t ending = std::min(closed, subformsRefused_);
  subformsRefused_ -= ending;
  if (closed > ending) PopSubforms(closed - ending);
  if (refused > 0) {
    context_.Box("ERROR: Sub-forms nested more than " + std::to_string(kMostForms - 1) +
                     " deep; OrvikLink shows the deeper ones on the last.",
                 BoxIcon::kExclamation);
  }
}

void ClientShell::PushSubform() {
  Top()->CoveredBySubform();
  creatingForm_ = true;
  top_ = FormCount();
  forms_.push_back(host_.NewScreenForm(*this));
  ScreenFormCore& form = forms_.back()->Core();
  form.Load();
  form.Show();
  creatingForm_ = false;
  if (context_.settings.monitor)
    monitor_.Monitor("****** Create SUBFORM ******\r\n", MonitorKind::kForms);
}

void ClientShell::PopSubforms(std::int32_t markers) {
  for (std::int32_t i = 0; i < markers && top_ > 0; ++i) {
    forms_.pop_back();
    --top_;
  }
  Top()->UncoveredBySubform();
  if (context_.settings.monitor)
    monitor_.Monitor("****** EXIT from SUBFORM ******\r\n", MonitorKind::kForms);
}

void ClientShell::FirstScreen() {
  creatingForm_ = true;
  top_ = 0;
  forms_.push_back(host_.NewScreenForm(*this));
  forms_.back()->Core().Load();
  creatingForm_ = false;
  host_.HideMainWindow();
  stateMain_ = "FORMS";
  // The text waits for the next tick, which need not wait for the timer.
  host_.ScheduleTick();
}

bool ClientShell::Transmission(ScreenFormCore& top) {
  const bool terminal = top.Model().states.msState == state::kTerminal;
  if (afterFrame_) {
    afterFrame_ = false;
    if (terminal && msRX_.starts_with(kTclPrompt)) {
      // The prompt is in the frame already.
      msRX_.erase(0, kTclPrompt.size());
      quietChecked_ = 0;
      markersSeen_ -= std::min(markersSeen_, kTclPrompt.size());
      if (msRX_.empty()) {
        context_.pollCounter = 0;
        return false;
      }
    }
  }
  return true;
}

void ClientShell::Dispatch() {
  ScreenFormCore& top = *Top();
  if (!Transmission(top)) return;
  const bool terminal = top.Model().states.msState == state::kTerminal;
  if (quietInTerminal_ != terminal) quietChecked_ = 0;
  if (RXWaitsForRest(msRX_, quietChecked_, top.Model().states, context_)) {
    quietChecked_ = msRX_.size();
    quietInTerminal_ = terminal;
    return;
  }
  quietChecked_ = 0;
  // The text is taken out while it is dispatched: a tick inside a box or a wait of the
  // screen sees only what arrives meanwhile.
  std::string pending;
  pending.swap(msRX_);
  const std::string received = pending;
  markersSeen_ = 0;
  if (RXProcess(pending, top, context_)) {
    quietChecked_ = pending.size();
    quietInTerminal_ = top.Model().states.msState == state::kTerminal;
  }
  if (pending != received) {
    afterFrame_ = top.Model().states.msState == state::kTerminal &&
                  EndsWithNoCase(received, kEndOfTransmission);
  }
  // What is left was scanned for markers; so was what came meanwhile, as far as its ticks
  // went.
  markersSeen_ += pending.size();
  msRX_ = pending + msRX_;
}

void ClientShell::ScreenFormUnloaded(ScreenForm& form) {
  const auto it = std::find_if(forms_.begin(), forms_.end(),
                               [&](const auto& handle) { return &handle->Core() == &form; });
  if (it == forms_.end()) return;
  if (it == forms_.begin() || top_ == 0) {
    End();
    return;
  }
  const bool wasTop = std::next(it) == forms_.end();
  forms_.erase(it);
  top_ = FormCount() - 1;
  if (wasTop) Top()->UncoveredBySubform();
}

}  // namespace orvik::client
