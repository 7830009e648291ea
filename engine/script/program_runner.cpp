#include "program_runner.h"

#include <QTimer>

#include "plugin_host.h"
#include "program_files.h"
#include "script_host.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

constexpr std::string_view kCrLf = "\r\n";

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

ProgramRunner::ProgramRunner(Host host)
    : host_(std::move(host)), timer_(std::make_unique<QTimer>()) {
  timer_->setInterval(200);
  QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this] { Tick(); });
  // A program's Sleep ends with the session.
  fns_.SetStopFlag(&host_.stop->Flag());
}

ProgramRunner::~ProgramRunner() { Shutdown(); }

void ProgramRunner::Shutdown() {
  // No tick may start a program while the session ends.
  timer_.reset();
  Close();
}

bool ProgramRunner::Running() const { return timer_ && timer_->isActive(); }

void ProgramRunner::SetRunning(bool running) {
  if (!timer_) return;
  if (running) {
    timer_->start();
    // The program starts as soon as the input that scheduled it has returned, not a tick
    // later; the timer stays on as the sign that a program runs.
    QMetaObject::invokeMethod(
        timer_.get(), [this] { Tick(); }, Qt::QueuedConnection);
  } else {
    timer_->stop();
  }
}

std::unique_ptr<ScriptHost> ProgramRunner::NewScriptHost(const std::string& language) {
  std::unique_ptr<ScriptHost> script = ScriptHost::Create(language);
  script->SetTimeout(-1);
  script->SetAllowUI(false);
  script->AddObject("UserPort", host_.port(), true);
  script->AddObject("OvEngFns",
                    std::make_shared<WeakDispatch>(
                        std::weak_ptr<Dispatch>(std::shared_ptr<Dispatch>(host_.hold(), &fns_))),
                    true);
  script->AddObject("XCommon", host_.common(), false);
  return script;
}

void ProgramRunner::Keep(std::string name, std::unique_ptr<ScriptHost> script) {
  ScriptHost* raw = script.get();
  scriptStops_.push_back(host_.stop->Register([raw] { raw->Interrupt(); }));
  scriptNames_.push_back(std::move(name));
  scriptStack_.push_back(std::move(script));
}

Variant ProgramRunner::XRun(const std::string& procedureName, std::span<Variant> args) {
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
    const std::optional<CatalogEntry> entry = host_.catalog(s);
    if (!entry)
      throw VbError(scripterr::kUnknownVerb, "'" + s + "' not a command and not found in catalog");
    kind = Trimmed(entry->kind);
    program = Trimmed(entry->program);
  }

  if (EqualsNoCase(kind, "RUN") || EqualsNoCase(kind, "ACTIVEX"))
    return RunApplication(program, s, sentenceArgs, keyword);
  return RunScript(kind, program, s, sentenceArgs, keyword, args);
}

Variant ProgramRunner::RunApplication(const std::string& program, const std::string& verb,
                                      std::string args, bool keyword) {
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

  std::shared_ptr<Dispatch> app = CreatePluginObject(host_.home, progId);
  app->Let("CallBack", Variant(host_.port()));
  try {
    app->Let("CmdSentence", Variant(args));
  } catch (...) {
    // An application without arguments need not take them.
  }
  if (Running()) {
    // A nested application does its work now and is let go; it gets no CallBackClose.
    app->Call(method, {});
    return Variant();
  }
  Close();  // anything left of a run that never started
  activeApp_ = std::move(app);
  pendingRun_ = {method, "ACTIVEX", {}};
  return Variant();
}

Variant ProgramRunner::RunScript(const std::string& language, const std::string& program,
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
  const bool running = Running();

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
    const std::string text = ReadProgramFile(host_.home, file);
    std::unique_ptr<ScriptHost> script = NewScriptHost(language);
    try {
      script->AddCode(text);
    } catch (const VbError& e) {
      if (runError_.empty()) {
        const ScriptError& err = script->Error();
        runError_ = e.Message() + std::string(kCrLf) + script->Language() + " syntax error in '" +
                    name + "', line=" + std::to_string(err.line) +
                    ", col=" + std::to_string(err.column);
      }
      throw;
    }
    if (!running) Close();  // a new program starts with its own engine alone
    Keep(name, std::move(script));
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

void ProgramRunner::Close() {
  if (std::shared_ptr<Dispatch> app = std::move(activeApp_)) {
    try {
      app->Call("CallBackClose", {});
    } catch (...) {
      // An application that fails to close is let go all the same; nobody waits for it.
    }
  }
  // An engine that goes while the session stops must not run its clean-up code unchecked.
  if (host_.stop->Thrown()) {
    for (const auto& script : scriptStack_) script->Interrupt();
  }
  scriptStops_.clear();
  scriptNames_.clear();
  scriptStack_.clear();
}

void ProgramRunner::Tick() {
  if (pendingRun_.name.empty()) return;  // also what every tick finds while a program runs
  const std::shared_ptr<void> keep = host_.hold();
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
      // The run's own error, if any, is what the user sees; closing is the application's.
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
    host_.ended();
  } catch (...) {
    // Nothing may escape into the event loop; the session's end of a run reports its own
    // failures.
  }
}

}  // namespace orvik
