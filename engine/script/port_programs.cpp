// Programs run inside the port: catalogued scripts and plugin applications.
//
// XRun finds a program and either schedules it (nothing runs yet) or, when a program is
// already running, runs the procedure at once. A scheduled program runs from the port's
// 200 ms timer, so that the input that started it returns to its host first; while it runs,
// the session state is "VERB" and its IInput calls receive what the host types. When it
// ends, the runner shows its first error under a fresh prompt (or disconnects a user who
// may not use TCL), frees its locks, closes the printer and drops its engines.

#include "numbers.h"
#include "port.h"
#include "script_host.h"
#include "vb_error.h"

namespace orvik {
Variant Port::XRun(const std::string& procedureName, std::span<Variant> args) {
  const auto self = shared_from_this();
  return programs_.XRun(procedureName, args);
}

bool Port::ProgramRunning() const { return programs_.Running(); }

const std::string& Port::RunError() const { return programs_.RunError(); }

std::shared_ptr<Dispatch> Port::ProgramReference() {
  return std::make_shared<WeakDispatch>(
      std::weak_ptr<Dispatch>(std::static_pointer_cast<Dispatch>(shared_from_this())));
}

std::optional<ProgramRunner::CatalogEntry> Port::CatalogEntryOf(const std::string& verb) {
  if (!account_.FindInCatalog(verb)) return std::nullopt;
  const auto text = [&](int column) {
    const Variant v = account_.Catalog()->FieldValue(column);
    return v.IsNull() ? std::string() : v.ToString();
  };
  return ProgramRunner::CatalogEntry{text(1), text(4)};
}

void Port::EndRun() {
  const std::string crlf(kCrLf);
  const std::string privilege = login_.Privilege();
  bool disconnect = false;
  try {
    terminal_.SetState(SessionState::kTcl);
    std::string status = login_.UserInst() + kValueMark + std::to_string(login_.ConnectionId()) +
                         kValueMark + account_.Account() + kValueMark + privilege + kValueMark +
                         "TCL" + kValueMark + "OK: Exit from app";
    UpdateUserRegistry(status);
    programs_.SetRunning(false);
    if (const Status released = locks_.Release({}, {}); !released.ok()) {
      errorDetail_ = released.Message();
      throw released.ToError();
    }
    if (Val(privilege) > 2) {
      std::string screen = TTag(-1) + TTag(1, 1);
      if (programs_.RunError().empty()) {
        screen += ":";
      } else {
        errorDetail_ = programs_.RunError();
        screen += crlf + programs_.RunError() + crlf + ":";
      }
      if (termType_ == "VBGUI") screen = "<TERMINAL>" + screen + "</TX>";
      SendResponse(screen);
    } else {
      // A user without TCL leaves with the program.
      SendResponse(kPortDisconnect);
      disconnect = true;
    }
    std::string close = "PRINTER CLOSE";
    ExecutePS(close);
    // The sentence starts by clearing the detail; the run's error is what it must keep.
    if (!programs_.RunError().empty()) errorDetail_ = programs_.RunError();
    // Input during the steps above may have started the next program already.
    if (!programs_.Running()) programs_.Close();
  } catch (...) {
    EndRunFailed(CurrentExceptionMessage());
    return;
  }
  if (!disconnect) TakeWaitingLines();
}

void Port::EndRunFailed(const std::string& message) {
  const std::string crlf(kCrLf);
  const std::string privilege = login_.Privilege();
  try {
    SendResponse(TTag(-1) + TTag(1, 1) + crlf + message + crlf + ":");
  } catch (...) {
  }
  terminal_.SetState(SessionState::kTcl);
  try {
    std::string close = "PRINTER CLOSE";
    ExecutePS(close);
  } catch (...) {
  }
  programs_.SetRunning(false);
  errorDetail_ = message;
  // The program's locks and engines go on this path too.
  Note(locks_.Release({}, {}));
  if (!programs_.Running()) programs_.Close();
  if (Val(privilege) <= 2) {
    SendResponse(kPortDisconnect);
    return;
  }
  TakeWaitingLines();
}

}  // namespace orvik
