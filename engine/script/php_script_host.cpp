// PHP in a process of its own, one per loaded program.
//
// Why a process. PHP's usual builds (Debian's among them) are not thread-safe: one
// interpreter per process, with globals that two threads would trample. Ports run on
// threads of their own, several at once, so an embedded PHP would have to be shared behind
// a lock and one user's long program would hold up every other's. A process per program
// keeps them apart, costs the interpreter's start when a program loads, and makes the stop that a
// session needs at its end simple and sure: Interrupt kills the process group, from any thread,
// whatever the program is doing (an endless loop, a sleep, a child process of its own).
//
// How it talks. The process runs php_bridge.php (embedded in the engine, handed to `php`
// on its standard input) and serves one socket; php_bridge.php describes the messages. The
// host sends objects, code and procedure runs; while it waits for the answer, the
// program's calls to members arrive and are served here, on the host's thread, and a
// member may itself run a procedure of this or another program before it answers: calls
// nest both ways, one message at a time. While a procedure runs the host waits with the
// thread's event loop turning (as IInput does), so the port keeps receiving input, ticks
// and the host's calls; loading code waits without it, as the other engines do, since no
// program runs yet.
//
// What a program sees. `UserPort`, `OvEngFns` and `XCommon` are constants (usable in any
// function: `UserPort->CRT('x')`) and globals (`$UserPort`); an object's members are
// methods (`XCommon->Item('k')`) and its properties read as properties
// (`UserPort->UserInst`). PHP assigns no property through a constant, so a program assigns
// through the global (`$UserPort->TermType = 'VT100'`), or with `LetProperty(name, args...,
// value)`, which also assigns one that takes arguments. The members of an object added
// with its members are also global functions, unless PHP or the program has a function of
// that name (`CRT('x')`, `ErrorDetail()`). A member writes back through a `Ref($x)`
// argument (read `->value` afterwards); a procedure the host runs receives PHP references
// where it declares its parameters `&$x`. A member's failure is thrown as an
// `Orvik\Error` (an Exception) with `number` and `description`; a program fails with a
// number of its own by throwing one.
//
// How a process ends. `exit` ends the program: the call waiting for it returns Empty and
// later runs raise 440. A fatal error (one PHP cannot throw) is raised with its line, and
// again by every later run; a process that dies without a word raises 440.

#include "php_script_host.h"

#include <atomic>

#include "php_process.h"
#include "php_wire.h"
#include "vb_error.h"

namespace orvik {

// The bridge's source (php_bridge_code.cpp, made by the build from php_bridge.php).
extern const char kPhpBridge[];

namespace {

using php::WireReader;
using php::WireWriter;

constexpr int kEngineFailure = vberr::kAutomationError;

// Member call types as the bridge numbers them.
Dispatch::CallType CallTypeOf(char code) {
  switch (code) {
    case 1:
      return Dispatch::CallType::PropertyGet;
    case 2:
      return Dispatch::CallType::PropertyLet;
    default:
      return Dispatch::CallType::Method;
  }
}

class PhpHost : public ScriptHost {
 public:
  explicit PhpHost(std::string language) : ScriptHost(std::move(language)), process_(kPhpBridge) {
    const std::optional<std::string> hello = process_.Receive(false);
    if (!hello || *hello != "h")
      throw VbError(scripterr::kNoEngine,
                    "No script engine for the language 'PHP' exists here (the php "
                    "interpreter did not start)");
  }

  void AddObject(const std::string& name, std::shared_ptr<Dispatch> object,
                 bool addMembers) override;
  void AddCode(std::string_view code) override;
  Variant Run(std::string_view procedure, std::span<Variant> args) override;
  void Interrupt() override {
    stop_.store(true);
    process_.Kill();
  }

 private:
  struct Answer {
    Variant result;
    std::vector<Variant> args;
    bool found = true;
  };
  enum class End { None, Exit, Failure };

  // Sends a command and serves the program's calls until its answer comes; raises the
  // error the program answers with.
  Answer Converse(const std::string& command, bool pumpEvents);
  // Serves one call of the program to a member, and sends the result or the error.
  void ServeCall(WireReader& in);
  // What a command gets once the process has ended.
  Answer Ended();
  // Raises at once when no command can run any more.
  void CheckRunning();
  [[noreturn]] void Broken(const std::string& why);
  ScriptError ReadError(WireReader& in);

  php::Process process_;
  php::ObjectTable objects_;
  std::atomic<bool> stop_{false};
  End end_ = End::None;
  ScriptError endError_;
};

void PhpHost::CheckRunning() {
  if (stop_.load()) Fail(InterruptedError());
  if (end_ == End::Failure) Fail(endError_);
  if (end_ == End::Exit) Fail({kEngineFailure, "The PHP program has ended: it called exit", 0, 0});
}

PhpHost::Answer PhpHost::Ended() {
  if (stop_.load()) Fail(InterruptedError());
  if (end_ == End::Exit) return {};
  if (end_ == End::None) {
    end_ = End::Failure;
    endError_ = {kEngineFailure, "The PHP interpreter ended unexpectedly", 0, 0};
  }
  Fail(endError_);
}

void PhpHost::Broken(const std::string& why) {
  process_.Kill();
  end_ = End::Failure;
  endError_ = {kEngineFailure, "The PHP engine broke off: " + why, 0, 0};
  Fail(endError_);
}

ScriptError PhpHost::ReadError(WireReader& in) {
  ScriptError e;
  e.number = in.I32();
  e.description = in.Str();
  e.line = in.I32();
  return e;
}

PhpHost::Answer PhpHost::Converse(const std::string& command, bool pumpEvents) {
  CheckRunning();
  if (!process_.Send(command)) return Ended();
  for (;;) {
    const std::optional<std::string> message = process_.Receive(pumpEvents);
    if (!message) return Ended();
    try {
      WireReader in(*message, objects_);
      switch (in.Byte()) {
        case 'K':
          ServeCall(in);
          break;
        case 'F':
          for (std::uint32_t n = in.U32(); n > 0; --n) objects_.Release(in.U32());
          break;
        case 'r': {
          Answer answer;
          try {
            answer.result = in.Value();
            answer.args = in.Values();
          } catch (const VbError&) {
            Fail(ErrorOfCurrentException());  // an object the program may not hand back
          }
          return answer;
        }
        case 'x':
          Fail(ReadError(in));
        case 'n': {
          Answer answer;
          answer.found = false;
          return answer;
        }
        case 'e':
          end_ = End::Exit;
          return {};
        case 'z':
          end_ = End::Failure;
          endError_ = ReadError(in);
          Fail(endError_);
        default:
          throw php::WireError("a message of an unknown kind");
      }
    } catch (const php::WireError& e) {
      Broken(e.what());
    }
  }
}

void PhpHost::ServeCall(WireReader& in) {
  const std::uint32_t handle = in.U32();
  const std::string name = in.Str();
  const Dispatch::CallType type = CallTypeOf(in.Byte());
  std::vector<Variant> args;
  std::vector<bool> byReference;
  std::string reply;
  try {
    for (std::uint32_t count = in.U32(); count > 0; --count) {
      bool ref = false;
      args.push_back(in.Argument(&ref));
      byReference.push_back(ref);
    }
    const Variant result = objects_.Find(handle)->Invoke(name, type, args);
    // Only what the program passed by reference goes back.
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (!byReference[i]) args[i] = Variant();
    }
    reply = WireWriter('r', objects_).Value(result).Values(args).Take();
  } catch (const php::WireError&) {
    throw;
  } catch (...) {
    // An object handle the program was never given fails the call as Nothing would.
    const ScriptError e = ErrorOfCurrentException();
    reply = WireWriter('x', objects_).I32(e.number).Str(e.description).Take();
  }
  // A process that has gone is found by the next Receive.
  process_.Send(reply);
}

void PhpHost::AddObject(const std::string& name, std::shared_ptr<Dispatch> object,
                        bool addMembers) {
  if (!IsScriptIdentifier(name)) throw VbError(vberr::kInvalidProcedureCall);
  std::vector<Variant> members;
  if (addMembers && object) {
    for (std::string& member : object->MemberNames()) members.emplace_back(std::move(member));
  }
  WireWriter out('M', objects_);
  out.Str(name).U32(objects_.Add(std::move(object))).Byte(addMembers ? 1 : 0).Values(members);
  Converse(out.Take(), false);
}

void PhpHost::AddCode(std::string_view code) {
  Converse(WireWriter('C', objects_).Str(code).Take(), false);
}

Variant PhpHost::Run(std::string_view procedure, std::span<Variant> args) {
  WireWriter out('P', objects_);
  out.Str(procedure).Values(args);
  Answer answer = Converse(out.Take(), true);
  if (!answer.found) {
    Fail({scripterr::kNoProcedure, "The script has no procedure '" + std::string(procedure) + "'",
          0, 0});
  }
  for (std::size_t i = 0; i < args.size() && i < answer.args.size(); ++i)
    args[i] = std::move(answer.args[i]);
  return answer.result;
}

}  // namespace

std::unique_ptr<ScriptHost> MakePhpScriptHost(std::string language) {
  return std::make_unique<PhpHost>(std::move(language));
}

bool PhpInterpreterInstalled() { return !php::Process::Interpreter().empty(); }

}  // namespace orvik
