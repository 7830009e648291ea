// Programs run inside the port: catalogued scripts and plugin applications.
//
// XRun finds a program and either schedules it (nothing runs yet) or, when a program is
// already running, runs the procedure at once. A scheduled program runs from the port's
// 200 ms timer, so that the input that started it returns to its host first; while it runs,
// the session state is "VERB" and its IInput calls receive what the host types. When it
// ends, the runner shows its first error under a fresh prompt (or disconnects a user who
// may not use TCL), frees its locks, closes the printer and drops its engines.

#include <QTimer>

#include "numbers.h"
#include "plugin_host.h"
#include "port.h"
#include "program_files.h"
#include "script_host.h"
#include "vb_error.h"

namespace orvik {
namespace {

std::string Trimmed(std::string_view s) { return std::string(TrimBlanks(s)); }

// The first word of `s` and the rest after its first blank, trimmed.
std::pair<std::string, std::string> FirstWord(std::string_view s) {
  const std::size_t blank = s.find(' ');
  if (blank == std::string_view::npos) return {std::string(s), {}};
  return {std::string(s.substr(0, blank)), Trimmed(s.substr(blank + 1))};
}

// The procedure a keyword sentence runs when it names none: the file's own name.
std::string ProcedureOfFile(const std::string& file) {
  std::string name = file;
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.find('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return UpperCase(name);
}

}  // namespace

bool Port::ProgramRunning() const { return xTimer1_ && xTimer1_->isActive(); }

void Port::SetProgramRunning(bool enabled) {
  if (!xTimer1_) return;
  if (enabled) {
    xTimer1_->start();
    // The program starts as soon as the input that scheduled it has returned, not a tick
    // later; the timer stays on as the sign that a program runs.
    QMetaObject::invokeMethod(
        context_.get(), [this] { XTimer1_Tick(); }, Qt::QueuedConnection);
  } else {
    xTimer1_->stop();
  }
}

std::shared_ptr<Dispatch> Port::ProgramReference() {
  return std::make_shared<WeakDispatch>(
      std::weak_ptr<Dispatch>(std::static_pointer_cast<Dispatch>(shared_from_this())));
}

std::unique_ptr<ScriptHost> Port::NewScriptHost(const std::string& language) {
  std::unique_ptr<ScriptHost> host = ScriptHost::Create(language);
  host->SetTimeout(-1);
  host->SetAllowUI(false);
  host->AddObject("UserPort", ProgramReference(), true);
  host->AddObject("OvEngFns",
                  std::make_shared<WeakDispatch>(std::weak_ptr<Dispatch>(
                      std::shared_ptr<Dispatch>(shared_from_this(), &fns_))),
                  true);
  host->AddObject("XCommon", xCommon_, false);
  return host;
}

void Port::KeepScriptHost(std::string name, std::unique_ptr<ScriptHost> host) {
  ScriptHost* raw = host.get();
  scriptStops_.push_back(stop_->Register([raw] { raw->Interrupt(); }));
  scriptNames_.push_back(std::move(name));
  scriptStack_.push_back(std::move(host));
}

Variant Port::XRun(const std::string& procedureName, std::span<Variant> args) {
  const auto self = shared_from_this();
  std::string s = Trimmed(procedureName);
  std::string kind;
  std::string program;
  std::string sentenceArgs;
  bool keyword = false;

  if (s.find(' ') != std::string::npos) {
    auto [first, rest] = FirstWord(s);
    const std::string w = UpperCase(first);
    if (w == "RUN" || w == "ACTIVEX") {
      kind = "ACTIVEX";
    } else if (w == "VBS" || w == "VBSCRIPT") {
      kind = "VBSCRIPT";
    } else if (w == "JSCRIPT" || w == "JAVASCRIPT") {
      kind = "JSCRIPT";
    } else if (w == "PERL" || w == "PHP") {
      kind = w;
    } else {
      sentenceArgs = rest;
      s = w;
    }
    if (!kind.empty()) {
      program = rest;
      keyword = true;
    }
  }

  if (kind.empty()) {
    if (!account_.FindInCatalog(s))
      throw VbError(908, "'" + s + "' not a command and not found in catalog");
    const auto text = [&](int column) {
      const Variant v = account_.Catalog()->FieldValue(column);
      return v.IsNull() ? std::string() : v.ToString();
    };
    kind = Trimmed(text(1));
    program = Trimmed(text(4));
  }

  if (EqualsNoCase(kind, "RUN") || EqualsNoCase(kind, "ACTIVEX"))
    return RunApplication(program, s, sentenceArgs, keyword);
  return RunScript(kind, program, s, sentenceArgs, keyword, args);
}

Variant Port::RunApplication(const std::string& program, const std::string& verb, std::string args,
                             bool keyword) {
  auto [progId, rest] = FirstWord(program);
  std::string method;
  if (!rest.empty()) {
    auto [name, more] = FirstWord(rest);
    method = name;
    if (!more.empty()) args = more;
  } else {
    // A keyword sentence names no verb to stand for the method.
    method = keyword ? "Main" : verb;
  }

  std::shared_ptr<Dispatch> app = CreatePluginObject(home_, progId);
  app->Let("CallBack", Variant(ProgramReference()));
  try {
    app->Let("CmdSentence", Variant(args));
  } catch (...) {
    // An application without arguments need not take them.
  }
  if (ProgramRunning()) {
    // A nested application does its work now and is let go; it gets no CallBackClose.
    app->Call(method, {});
    return Variant();
  }
  CloseProgram();  // anything left of a run that never started
  activeApp_ = std::move(app);
  pendingRun_ = {method, "ACTIVEX", {}};
  return Variant();
}

Variant Port::RunScript(const std::string& language, const std::string& program,
                        const std::string& verb, const std::string& args, bool keyword,
                        std::span<Variant> procedureArgs) {
  std::string file = program;
  std::string name = verb;
  const std::size_t lastBlank = program.rfind(' ');
  if (lastBlank != std::string::npos) {
    file = Trimmed(program.substr(0, lastBlank));
    name = UpperCase(Trimmed(program.substr(lastBlank + 1)));
  } else if (keyword) {
    name = ProcedureOfFile(file);
  }
  const bool running = ProgramRunning();

  ScriptHost* engine = nullptr;
  if (running) {
    for (std::size_t i = 0; i < scriptNames_.size(); ++i) {
      if (EqualsNoCase(scriptNames_[i], name)) {
        engine = scriptStack_[i].get();
        break;
      }
    }
  }
  if (engine == nullptr) {
    // A language without an engine says so before its file is looked for.
    ScriptHost::RequireEngine(language);
    const std::string text = ReadProgramFile(home_, file);
    std::unique_ptr<ScriptHost> host = NewScriptHost(language);
    try {
      host->AddCode(text);
    } catch (const VbError& e) {
      if (runError_.empty()) {
        const ScriptError& err = host->Error();
        runError_ = e.Message() + std::string(kCrLf) + host->Language() + " syntax error in '" +
                    name + "', line=" + std::to_string(err.line) +
                    ", col=" + std::to_string(err.column);
      }
      throw;
    }
    if (!running) CloseProgram();  // a new program starts with its own engine alone
    KeepScriptHost(name, std::move(host));
    engine = scriptStack_.back().get();
  }

  if (!running) {
    pendingRun_ = {name, "SCRIPT", args};
    return Variant();
  }
  try {
    return engine->Run(name, procedureArgs);
  } catch (const VbError& e) {
    if (runError_.empty()) {
      runError_ = e.Message() + std::string(kCrLf) + engine->Language() + " runtime error in '" +
                  name + "', line=" + std::to_string(engine->Error().line);
    }
    throw;
  }
}

void Port::CloseProgram() {
  if (std::shared_ptr<Dispatch> app = std::move(activeApp_)) {
    try {
      app->Call("CallBackClose", {});
    } catch (...) {
    }
  }
  // An engine that goes while the session stops must not run its clean-up code unchecked.
  if (Aborted()) {
    for (const auto& host : scriptStack_) host->Interrupt();
  }
  scriptStops_.clear();
  scriptNames_.clear();
  scriptStack_.clear();
}

void Port::XTimer1_Tick() {
  if (pendingRun_.name.empty()) return;  // also what every tick finds while a program runs
  const auto self = shared_from_this();
  const PendingRun run = std::move(pendingRun_);
  pendingRun_ = {};
  runError_.clear();

  if (run.kind == "ACTIVEX") {
    const std::shared_ptr<Dispatch> app = activeApp_;
    try {
      if (!app) throw VbError(vberr::kObjectVariableNotSet);
      app->Call(run.name, {});
    } catch (...) {
      if (runError_.empty())
        runError_ = CurrentExceptionMessage() + std::string(kCrLf) + "in ACTIVEX " + run.name;
    }
    try {
      if (app) app->Call("CallBackClose", {});
    } catch (...) {
    }
    activeApp_.reset();
  } else {
    ScriptHost* engine = scriptStack_.empty() ? nullptr : scriptStack_.front().get();
    try {
      if (engine == nullptr) throw VbError(vberr::kObjectVariableNotSet);
      // The sentence's arguments, when it had any, reach the procedure as its argument.
      std::vector<Variant> args;
      if (!run.args.empty()) args.emplace_back(run.args);
      engine->Run(run.name, args);
    } catch (...) {
      if (runError_.empty()) {
        runError_ = CurrentExceptionMessage() + std::string(kCrLf) +
                    (engine != nullptr ? engine->Language() : std::string("Script")) +
                    " runtime error in '" + run.name +
                    "', line=" + std::to_string(engine != nullptr ? engine->Error().line : 0);
      }
    }
  }
  try {
    EndRun();
  } catch (...) {
    // Nothing may escape into the event loop.
  }
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
    SetProgramRunning(false);
    if (const Status released = locks_.Release({}, {}); !released.ok()) {
      errorDetail_ = released.Message();
      throw released.ToError();
    }
    if (Val(privilege) > 2) {
      std::string screen = TTag(-1) + TTag(1, 1);
      if (runError_.empty()) {
        screen += ":";
      } else {
        errorDetail_ = runError_;
        screen += crlf + runError_ + crlf + ":";
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
    if (!runError_.empty()) errorDetail_ = runError_;
    // Input during the steps above may have started the next program already.
    if (!ProgramRunning()) CloseProgram();
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
  SetProgramRunning(false);
  errorDetail_ = message;
  // The program's locks and engines go on this path too.
  Note(locks_.Release({}, {}));
  if (!ProgramRunning()) CloseProgram();
  if (Val(privilege) <= 2) {
    SendResponse(kPortDisconnect);
    return;
  }
  TakeWaitingLines();
}

}  // namespace orvik
