// The programs a session runs: catalogued scripts and plugin applications, and the deferred
// runner that starts them.
//
// XRun finds a program by a keyword sentence (RUN, ACTIVEX, VBS, VBSCRIPT, JSCRIPT,
// JAVASCRIPT, PERL, PHP) or the account's catalog, and either schedules it (nothing runs yet)
// or, when a program is already running, runs the procedure at once. A scheduled program
// runs from a 200 ms timer, so that the input that started it returns to its host first;
// the timer is on exactly while a program is scheduled or runs. When the program has run,
// the runner hands the end of the run to its session (Host::ended), which reads RunError,
// turns the timer off and closes the program.
//
// Scripts see the port as "UserPort", the runner's own function library object as
// "OvEngFns" and the session's dictionary as "XCommon"; none of them keeps the port alive.
// A session that stops interrupts every loaded engine (the StopSwitch).
//
// Used on the port's thread only. XRun raises what finding, loading or running the program
// raised (908 for an unknown verb); what the scheduled run raises becomes RunError.

#ifndef ORVIK_ENGINE_SCRIPT_PROGRAM_RUNNER_H_
#define ORVIK_ENGINE_SCRIPT_PROGRAM_RUNNER_H_

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "dictionary.h"
#include "dispatch.h"
#include "functions.h"
#include "stop_switch.h"
#include "variant.h"

class QTimer;

namespace orvik {

class ScriptHost;

namespace scripterr {
inline constexpr int kUnknownVerb = 908;
}  // namespace scripterr

class ProgramRunner {
 public:
  // A catalog row's program: its kind (a language, RUN or ACTIVEX) and what it names.
  struct CatalogEntry {
    std::string kind;
    std::string program;
  };
  // What the runner needs of the session that runs its programs.
  struct Host {
    std::string home;  // where program files and plugins.ini are
    std::shared_ptr<StopSwitch> stop;
    // The port as programs hold it: a reference that does not keep the port alive.
    std::function<std::shared_ptr<Dispatch>()> port;
    // The port itself, kept while a program runs or ends so that it outlives the call.
    std::function<std::shared_ptr<void>()> hold;
    // The session's dictionary, handed to scripts as XCommon.
    std::function<std::shared_ptr<Dictionary>()> common;
    // The account's catalog row of a verb; none when there is none.
    std::function<std::optional<CatalogEntry>(const std::string& verb)> catalog;
    // The end of a scheduled program's run, once it has run.
    std::function<void()> ended;
  };

  explicit ProgramRunner(Host host);
  // Shuts down.
  ~ProgramRunner();
  ProgramRunner(const ProgramRunner&) = delete;
  ProgramRunner& operator=(const ProgramRunner&) = delete;

  // Finds, then schedules or runs, the program of `procedureName` with `args` by reference.
  Variant XRun(const std::string& procedureName, std::span<Variant> args = {});
  // Whether a program is scheduled or runs: the deferred runner's timer is on.
  bool Running() const;
  // Turns the timer on (the scheduled program starts as soon as the caller returns to the
  // event loop) or off.
  void SetRunning(bool running);
  // The first error text of the current (or last) run.
  const std::string& RunError() const { return runError_; }
  // Asks a scheduled or running application to close and lets it go; drops the engines.
  void Close();
  // For the session's end: the timer goes for good, then the program is closed.
  void Shutdown();
  // The function library object scripts see as OvEngFns; its Sleep ends with the session.
  Functions& Fns() { return fns_; }

 private:
  // The deferred runner: runs the scheduled program, then ends the run.
  void Tick();
  std::unique_ptr<ScriptHost> NewScriptHost(const std::string& language);
  // Puts a loaded engine on the stack, where the session's stop can interrupt it.
  void Keep(std::string name, std::unique_ptr<ScriptHost> host);
  Variant RunApplication(const std::string& program, const std::string& verb, std::string args,
                         bool keyword);
  Variant RunScript(const std::string& language, const std::string& program,
                    const std::string& verb, const std::string& args, bool keyword,
                    std::span<Variant> procedureArgs);

  Host host_;
  Functions fns_;
  struct PendingRun {
    std::string name;
    std::string kind;  // "SCRIPT" or "ACTIVEX"
    std::string args;  // the sentence's arguments
  };
  PendingRun pendingRun_;
  std::shared_ptr<Dispatch> activeApp_;
  std::vector<std::unique_ptr<ScriptHost>> scriptStack_;  // [0] is the program's own
  std::vector<StopSwitch::Registration> scriptStops_;     // parallel to scriptStack_
  std::vector<std::string> scriptNames_;                  // the procedure each was loaded for
  std::string runError_;
  // The deferred runner's 200 ms timer.
  std::unique_ptr<QTimer> timer_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_SCRIPT_PROGRAM_RUNNER_H_
