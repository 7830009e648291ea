#include "script_host.h"

#include <malloc.h>
#include <unistd.h>

#include <fstream>
#include <new>
#include <stdexcept>

#include "js_script_host.h"
#include "perl_script_host.h"
#include "php_script_host.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

enum class Engine { None, JavaScript, Perl, Php };

Engine EngineFor(std::string_view language) {
  const std::string_view name = TrimBlanks(language);
  if (EqualsNoCase(name, "JScript") || EqualsNoCase(name, "JavaScript")) return Engine::JavaScript;
  if (EqualsNoCase(name, "Perl") || EqualsNoCase(name, "PerlScript")) return Engine::Perl;
  if (EqualsNoCase(name, "PHP")) return Engine::Php;
  return Engine::None;
}

// How much the process may have grown while a program ran before its end gives the
// allocator's free memory back. Giving memory back makes every processor this process runs
// on forget the pages, and the next program takes them back a fault at a time: after every
// small program, in a console of fifty sessions, that cost more than the programs' own work.
constexpr long long kGrewMuch = 64LL * 1024 * 1024;

// The bytes of this process in memory; 0 when they cannot be read.
long long Resident() {
  std::ifstream statm("/proc/self/statm");
  long long size = 0, resident = 0;
  if (!(statm >> size >> resident)) return 0;
  return resident * ::sysconf(_SC_PAGESIZE);
}

}  // namespace

ScriptHost::ScriptHost(std::string language)
    : language_(std::move(language)), residentAtStart_(Resident()) {}

ScriptHost::~ScriptHost() {
  if (Resident() - residentAtStart_ > kGrewMuch) ::malloc_trim(0);
}

std::unique_ptr<ScriptHost> ScriptHost::Create(std::string_view language) {
  switch (EngineFor(language)) {
    case Engine::JavaScript:
      return MakeJsScriptHost(std::string(language));
    case Engine::Perl:
      return MakePerlScriptHost(std::string(language));
    case Engine::Php:
      return MakePhpScriptHost(std::string(language));
    case Engine::None:
      break;
  }
  RequireEngine(language);
  return nullptr;
}

void ScriptHost::RequireEngine(std::string_view language) {
  const Engine engine = EngineFor(language);
  if (engine == Engine::Php && !PhpInterpreterInstalled()) {
    throw VbError(scripterr::kNoEngine, "No script engine for the language '" +
                                            std::string(language) +
                                            "' exists here (the php interpreter is not installed)");
  }
  if (engine != Engine::None) return;
  throw VbError(scripterr::kNoEngine,
                "No script engine for the language '" + std::string(language) +
                    "' exists here (there are JScript/JavaScript, Perl/PerlScript and PHP)");
}

void ScriptHost::SetTimeout(int milliseconds) {
  if (milliseconds != -1)
    throw VbError(scripterr::kInvalidValue,
                  "Invalid property value: a script's time limit can only be -1 (none)");
}

void ScriptHost::Fail(ScriptError e) {
  error_ = std::move(e);
  throw VbError(error_.number, error_.description);
}

bool IsScriptIdentifier(std::string_view name) {
  if (name.empty() || IsAsciiDigit(name[0])) return false;
  for (char c : name) {
    if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '_') return false;
  }
  return true;
}

ScriptError InterruptedError() {
  return {scripterr::kInterrupted, "The session ended while the program ran", 0, 0};
}

ScriptError ErrorOfCurrentException() {
  ScriptError e;
  try {
    throw;
  } catch (const VbError& v) {
    e.number = v.number();
    e.description = v.description();
  } catch (const std::bad_alloc&) {
    e.number = vberr::kOutOfMemory;
    e.description = std::string(StandardErrorText(vberr::kOutOfMemory));
  } catch (const std::exception& x) {
    e.number = vberr::kAutomationError;
    e.description = x.what();
  } catch (...) {
    e.number = vberr::kAutomationError;
    e.description = std::string(StandardErrorText(vberr::kAutomationError));
  }
  return e;
}

std::shared_ptr<Dispatch> WeakDispatch::Lock() const {
  std::shared_ptr<Dispatch> target = target_.lock();
  if (!target) throw VbError(vberr::kObjectVariableNotSet);
  return target;
}

Variant WeakDispatch::Invoke(std::string_view name, CallType type, std::span<Variant> args) {
  return Lock()->Invoke(name, type, args);
}

Dispatch::MemberKind WeakDispatch::KindOf(std::string_view name) {
  const std::shared_ptr<Dispatch> target = target_.lock();
  return target ? target->KindOf(name) : MemberKind::Unknown;
}

std::vector<std::string> WeakDispatch::MemberNames() {
  const std::shared_ptr<Dispatch> target = target_.lock();
  return target ? target->MemberNames() : std::vector<std::string>();
}

}  // namespace orvik
