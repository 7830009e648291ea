// Script engines: one loaded program's code, in one language, with the port's objects in
// reach.
//
// A host is made for a language name (compared without regard to case): "JScript" and
// "JavaScript" run on Qt's JavaScript engine, "Perl" and "PerlScript" on an embedded perl,
// "PHP" in a php process of its own (php_script_host.cpp says why).
// Objects reach a script by name through their Dispatch interface; an object added with its
// members also gives the script those members as global names.
//
// By-reference arguments. JavaScript has none of its own, so a reference is an object with
// a `value` property: pass `Ref(x)` (or any `{value: x}`) where a member writes back, and
// read `.value` afterwards. A procedure that the host runs receives each argument the same
// way and may assign `.value`. Perl passes its arguments aliased: a member or procedure that
// assigns `$_[0]` changes the caller's variable. PHP passes `Ref($x)` to a member as
// JavaScript does (`->value`), and a procedure receives PHP references where it declares
// its parameters `&$x`.
//
// Properties. In JavaScript a property reads and assigns as one (`UserPort.ErrorDetail`,
// `UserPort.TermType = "VT100"`); a property that takes arguments is called like a method
// (`XCommon.Item("key")`), and `obj.LetProperty(name, args..., value)` assigns one. In Perl
// every member is a method (`$UserPort->ErrorDetail`), and `LetProperty` assigns. PHP reads
// and assigns properties as JavaScript does (`$UserPort->TermType = 'VT100'`).
//
// Errors. A failure inside a script, or one raised by a member it called, leaves the error
// in Error() (number, description, line) and is raised to the caller as a VbError with the
// same number and description. A member's VbError reaches the script as an error object
// with `number` and `description`; a script raises a numbered error by throwing (JavaScript,
// PHP: an `Orvik\Error`) or dying with (Perl) an object with those two fields. No C++
// exception ever crosses a script engine's frames.

#ifndef ORVIK_ENGINE_SCRIPT_SCRIPT_HOST_H_
#define ORVIK_ENGINE_SCRIPT_SCRIPT_HOST_H_

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "dispatch.h"
#include "variant.h"

namespace orvik {

// Error numbers of script failures that carry none of their own.
namespace scripterr {
inline constexpr int kSyntax = 1002;         // the code does not compile
inline constexpr int kUndefined = 5009;      // an undefined name
inline constexpr int kUncaught = 5022;       // anything else thrown and not caught
inline constexpr int kNoEngine = 429;        // no engine for the language here
inline constexpr int kNoProcedure = 438;     // Run of a procedure the script does not have
inline constexpr int kInvalidValue = 380;    // a setting the host does not support
inline constexpr int kInterrupted = 18;      // the session ended while the script ran
inline constexpr int kNotForPrograms = 987;  // fork, exec and kin, refused to programs
}  // namespace scripterr

struct ScriptError {
  int number = 0;
  std::string description;
  int line = 0;    // 1-based line of the script text; 0 when unknown
  int column = 0;  // 0 when the engine does not tell
};

class ScriptHost {
 public:
  // A host for `language`. Raises 429 for a language that has no engine here (VBScript,
  // or PHP on a machine without a php interpreter).
  static std::unique_ptr<ScriptHost> Create(std::string_view language);
  // Raises what Create raises for a language without an engine here.
  static void RequireEngine(std::string_view language);

  // Gives what the engine's memory allocator holds free back to the system when the process
  // grew much while the program ran: a program takes its memory in many small pieces, which
  // would otherwise stay with the engine's process after the session has gone.
  virtual ~ScriptHost();
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;

  // The language name as it was given.
  const std::string& Language() const { return language_; }
  // Milliseconds a call may run; -1 (no limit) is the only value supported, others raise
  // 380.
  void SetTimeout(int milliseconds);
  int Timeout() const { return -1; }
  // Neither engine here has a user interface of its own, so this only records the choice.
  void SetAllowUI(bool allow) { allowUI_ = allow; }
  bool AllowUI() const { return allowUI_; }

  // Makes `object` reachable as `name`; with `addMembers` its members become global names
  // too (an earlier object's name, or one of the language's own, is not replaced).
  virtual void AddObject(const std::string& name, std::shared_ptr<Dispatch> object,
                         bool addMembers) = 0;
  // Compiles the code and runs its top level; raises on failure.
  virtual void AddCode(std::string_view code) = 0;
  // Runs the procedure (found without regard to case) with `args` by reference and returns
  // its result; raises on failure.
  virtual Variant Run(std::string_view procedure, std::span<Variant> args) = 0;

  // Stops the script: the only member that may be called from any thread, at any time,
  // also while Run or AddCode runs on the port's thread. The running code ends as soon as
  // the engine can stop it safely (between statements), and Run raises kInterrupted; every
  // later AddCode or Run raises it at once. It cannot be undone: it is how a session that
  // ends takes back the thread and the processor from a program that never returns.
  virtual void Interrupt() = 0;

  // The last failure.
  const ScriptError& Error() const { return error_; }

 protected:
  explicit ScriptHost(std::string language);
  // Records `e` as the last failure and raises it.
  [[noreturn]] void Fail(ScriptError e);
  void ClearError() { error_ = {}; }

 private:
  std::string language_;
  bool allowUI_ = false;
  ScriptError error_;
  long long residentAtStart_;  // bytes of the process in memory when this host was made
};

// Whether `name` can be a global name in every engine: ASCII letters, digits and '_', not
// starting with a digit.
bool IsScriptIdentifier(std::string_view name);

// What Run and AddCode raise once Interrupt was called.
ScriptError InterruptedError();

// The number and description of the exception being handled (call only inside a catch
// block): a VbError's own, else the run time's numbers for memory and other failures.
ScriptError ErrorOfCurrentException();

// A reference to an object that does not keep it alive: what a script or an application
// holds of the port that runs it, so that neither keeps the port from ending. Calls after
// the object has gone raise 91.
class WeakDispatch : public Dispatch {
 public:
  explicit WeakDispatch(std::weak_ptr<Dispatch> target) : target_(std::move(target)) {}
  Variant Invoke(std::string_view name, CallType type, std::span<Variant> args) override;
  MemberKind KindOf(std::string_view name) override;
  std::vector<std::string> MemberNames() override;

 private:
  std::shared_ptr<Dispatch> Lock() const;
  std::weak_ptr<Dispatch> target_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_SCRIPT_SCRIPT_HOST_H_
