// The port's terminal members, as the session's terminal (terminal.h) carries them out.

#include <QAbstractEventDispatcher>
#include <QObject>
#include <QThread>

#include "port.h"
#include "terminal_tags.h"

namespace orvik {

static_assert(Port::kMaxUndeliveredOutput == Terminal::kMaxUndeliveredOutput);
static_assert(Port::kMaxInputLine == Terminal::kMaxInputLine);

std::string Port::msState() const { return terminal_.StateText(); }

void Port::SetMsState(std::string state) { terminal_.SetStateText(std::move(state)); }

void Port::SetResponseHandler(ResponseHandler handler) {
  terminal_.SetResponseHandler(std::move(handler));
}

void Port::SetHostHooks(HostHooks hooks) {
  terminal_.SetOutputWaiting(std::move(hooks.outputWaiting));
  terminal_.SetStateChanged(std::move(hooks.stateChanged));
  loginTried_ = std::move(hooks.loginTried);
}

void Port::SetHostBacklog(std::size_t bytes) { terminal_.SetHostBacklog(bytes); }

std::string Port::TypeAhead() const { return terminal_.TypeAhead(); }

bool Port::InputPending() const { return terminal_.InputPending(); }

bool Port::NoNewLine() const { return terminal_.NoNewLine(); }

bool Port::EchoOn() const { return terminal_.EchoOn(); }

void Port::SendResponse(std::string_view s) { terminal_.Send(s); }

void Port::CRT(std::string_view s, bool newline) { terminal_.CRT(s, newline); }

std::string Port::TTag(std::int32_t x, std::int32_t y) const {
  return TerminalTag(termType_, x, y);
}

void Port::Echo(const Variant& v) {
  if (v.IsString()) {
    terminal_.SetEcho(!EqualsNoCase(TrimBlanks(v.StringRef()), "OFF"));
    return;
  }
  terminal_.SetEcho(v.ToBoolean());
}

bool Port::IInput(Variant& s, std::int32_t nLen, bool newLine, double timeFor) {
  const auto self = shared_from_this();  // the host may let go while we wait
  return Note(terminal_.Read(s, nLen, newLine, timeFor));
}

std::string Port::Execute(std::string_view command, std::string_view endOfTx) {
  const auto self = shared_from_this();
  errorDetail_.clear();
  bool timedOut = false;
  std::string answer = terminal_.Execute(
      command, endOfTx, executeCompareMethod_ == 1, executeTimeout_,
      [this](std::string_view input) { SessionInput(input); }, &timedOut);
  if (timedOut && errorDetail_.empty())
    errorDetail_ = Status::Error(termerr::kExecuteTimeout, "Timeout on Execute").Message();
  return answer;
}

std::string Port::ExecuteTX(std::string_view command) {
  return Terminal::Unframed(Execute(command, kEndOfTransmission), executeCompareMethod_ == 1);
}

bool Port::RequestA(std::string_view s) {
  terminal_.DriveAsynchronously();
  return SessionInput(s);
}

std::string Port::Response() { return terminal_.Response(); }

void Port::PortCClose() { terminal_.PortCClose(); }

void Port::PortInput(std::string text) {
  if (OnPortThread()) {
    SessionInput(text);
    return;
  }
  RunOnPortThread(
      [self = shared_from_this(), text = std::move(text)] { self->SessionInput(text); });
}

void Port::Abort() {
  stop_->Throw();
  // A wait pumping the port's events sleeps until something happens: this is something.
  terminal_.PortCClose();
  terminal_.WakeWaits();
  if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance(context_->thread()))
    d->wakeUp();
}

}  // namespace orvik
