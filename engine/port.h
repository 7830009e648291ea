// One user session of the engine, as hosts, scripts and plugins see it.
//
// A Port is the published face of a session. Behind it are parts that each own their state
// (port_parts.h): the terminal, the session machine, the datastore's account connection,
// item store, lock table and login, the printer and the program runner. This header holds
// what hosts, scripts and plugins use: the members of the published interface (by name
// through Dispatch, for scripts and plugins) and the host operations. The engine's own code
// and tests reach what lies behind the face through the parts (PartsOf).
//
// Hosts make ports with Port::Create and drive them either asynchronously (RequestA, output
// through the response handler) or synchronously (Execute, Response); the console uses
// PortInput and Response from a thread of its own (through PortHost).
//
// A port is single-threaded: every member except the host operations marked thread-safe
// runs on the thread that made it. Its long waits (IInput, Execute) pump that thread's
// event loop, so input, timer ticks and host calls reach the port while it waits. Members
// report success as a Boolean and leave a numbered message in ErrorDetail; those that raise
// throw VbError, which the script engines turn into script errors.

#ifndef ORVIK_ENGINE_PORT_H_
#define ORVIK_ENGINE_PORT_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dispatch.h"
#include "driver_factory.h"
#include "engine_protocol.h"
#include "engine_settings.h"
#include "print_factory.h"
#include "screen_markup.h"
#include "session_state.h"
#include "variant.h"

namespace orvik {

class Dictionary;
class LoginPace;
class Recordset;
struct PortParts;
class UserRegistry;

// What a port is made with. Everything has a default, so `{}` is an ordinary port.
struct PortOptions {
  // The engine home, where OrvikEngine.ini and the datastore files are; empty: EngineHome().
  std::string home;
  // Makes the port's datastore drivers; empty: the built-in driver of each datastore.
  DriverFactory drivers;
  // Makes the port's print backend when it first prints; empty: CUPS.
  PrintBackendFactory printing;
  // The home's settings as its Home holds them; empty: read from OrvikEngine.ini in `home`.
  std::optional<EngineSettings> settings;
  // The home's user registry, shared by the ports its Home makes; empty: the port's own.
  std::shared_ptr<UserRegistry> registry;
};

// What a host that serves a port from another thread (PortHost) is told. Each runs on the
// port's thread and must only hand the news on.
struct HostHooks {
  // Output has entered the buffer that Response empties: once until Response is next read,
  // however many pieces are written meanwhile.
  std::function<void()> outputWaiting;
  // The session hangs up: it wrote the disconnect marker. What it wrote before the marker
  // is in the buffer already (and announced before this); the marker and whatever follows it
  // are not, nor ever will be. The host lets go of the port.
  std::function<void()> hangUp;
  // msState has changed to `state`; `programRuns` as StateRunsProgram says.
  std::function<void(const std::string& state, bool programRuns)> stateChanged;
  // A login was tried with `user` (never the password) and accepted or refused.
  std::function<void(const std::string& user, bool accepted)> loginTried;
  // A login waits `wait` for its turn before it is checked (its user told so).
  std::function<void(const std::string& user, std::chrono::milliseconds wait)> loginWaits;
};

class Port : public Dispatch, public std::enable_shared_from_this<Port> {
 public:
  // Receives each piece of output while the port serves a host asynchronously. It runs on
  // the port's thread, from inside whichever member produced the output.
  using ResponseHandler = std::function<void(std::string& text)>;

  // A new port in state "STARTUP", with the settings given or else those of OrvikEngine.ini
  // in `home` (the engine home when empty). The host's reference is special: dropping the last copy
  // of it ends the session, and a call still on the port's stack finishes first (a waiting IInput
  // then returns the disconnect marker).
  static std::shared_ptr<Port> Create(PortOptions options);
  static std::shared_ptr<Port> Create(const std::string& home = {});
  ~Port() override;

  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;

  // --- Properties ----------------------------------------------------------------------

  // 0 binary, 1 text: how Execute and ExecuteTX find their end marker.
  std::int32_t ExecuteCompareMethod() const { return executeCompareMethod_; }
  void SetExecuteCompareMethod(std::int32_t method) { executeCompareMethod_ = method; }
  // The session state. Thread-safe. Writing State has no effect; msState is the writable one.
  std::string State() const { return msState(); }
  // The session state, typed (any name no state has is kOther), and whether it is a running
  // program's ("VERB", or a name a script wrote that ends in it). Thread-safe.
  SessionState StateKind() const;
  bool StateRunsProgram() const;
  void SetState(std::string_view) {}
  std::string msState() const;
  void SetMsState(std::string state);
  // The user name part of UserInst; empty before login. Writing it has no effect.
  std::string UserName() const;
  void SetUserName(std::string_view) {}
  const std::string& TermType() const;
  void SetTermType(std::string_view type);
  const std::string& UserInst() const;
  std::int32_t Connection_ID() const;
  const Variant& SelectArray() const;
  const std::string& ErrorDetail() const;
  void SetDescription(std::string text);
  const std::shared_ptr<Dictionary>& XCommon() const;
  void SetXCommon(std::shared_ptr<Dictionary> common);

  // --- Terminal output and input -------------------------------------------------------

  // s, and CR LF when `newline`, into the output sink.
  void CRT(std::string_view s, bool newline = true);
  // The cursor or attribute sequence for @(x, y), or @(x) when y is -1.
  std::string TTag(std::int32_t x, std::int32_t y = -1) const;
  // Text "OFF" (any case, blanks around) switches echo off, any other text on; other values
  // convert to Boolean.
  void Echo(const Variant& v);
  // Waits for typed input: a line up to CR, or nLen characters (0 = one character without a
  // new line). timeFor is in tenths of a second; below 0 waits for ever, 0 does not wait.
  bool IInput(Variant& s, std::int32_t nLen = -1, bool newLine = true, double timeFor = -1);
  // Runs one input and returns its output up to the end marker (any output at all when the
  // marker is empty), or "ERROR: TIMEOUT" after ExecuteTimeout seconds. A command ending in
  // "{NOCR}" goes without the CR LF otherwise added.
  std::string Execute(std::string_view command, std::string_view endOfTx = {});
  // Execute up to "</TX>", with the framing removed.
  std::string ExecuteTX(std::string_view command);
  // Asynchronous input: from now on output goes to the response handler.
  bool RequestA(std::string_view s);
  // The output collected for a synchronous host; reading it empties it. Thread-safe.
  std::string Response();
  // Asks a program that waits in IInput to stop: it receives the disconnect marker.
  // Thread-safe.
  void PortCClose();

  // --- Datastore, files and items --------------------------------------------------------

  // Opens a new record set on a query over the current account's connection.
  bool RsOOpen(std::string_view query, std::shared_ptr<Recordset>& rst);
  // Runs a query against another embedded account, on a connection of its own. Failures
  // are raised to the caller.
  std::string JetQRef(const std::string& account, std::string_view table, std::string_view query,
                      std::shared_ptr<Recordset>& rst);
  // Opens a file by "F", "A.F" or "A,F," and gives its file variable. False with "[911] File
  // '...' not found." when there is no such table (nor a catalog pointer to one).
  bool OOpen(const Variant& file, Variant& fileVariable);
  // Ends the use of a file variable: this port's locks in the file go, the variable is
  // emptied.
  bool CClose(Variant& fileVariable);
  // Every item member returns True when done; the reason for a False is in ErrorDetail. The
  // U members lock the item for this port; a plain write releases this port's lock after
  // it. RReadTR keeps a copy that the next write of the item is checked against ("[925]").
  bool RRead(Variant& item, const Variant& fileVariable, const Variant& itemId);
  bool RReadTR(Variant& item, const Variant& fileVariable, const Variant& itemId);
  bool RReadV(Variant& value, const Variant& fileVariable, const Variant& itemId,
              const Variant& fieldNumber);
  bool RReadU(Variant& item, const Variant& fileVariable, const Variant& itemId);
  bool RReadVU(Variant& value, const Variant& fileVariable, const Variant& itemId,
               const Variant& fieldNumber);
  bool WWrite(std::string_view item, std::string_view fileVariable, std::string_view itemId);
  bool WWriteU(std::string_view item, std::string_view fileVariable, std::string_view itemId);
  bool WWriteV(std::string_view value, std::string_view fileVariable, std::string_view itemId,
               std::int32_t fieldId);
  bool WWriteVU(std::string_view value, std::string_view fileVariable, std::string_view itemId,
                std::int32_t fieldId);
  bool Delete(const Variant& fileVariable, const Variant& itemId);
  // Frees this port's locks: one item, every item of a file (empty id), or all (no file).
  bool Release(const Variant& fileVariable = Variant(std::string()),
               const Variant& itemId = Variant(std::string()));
  // Turns a text into another of the same length with a key (datastore/scrambler.h).
  Variant JDecode(const std::string& text, std::string& key);

  // --- Sentences, printing and programs --------------------------------------------------

  // Runs one programmatic sentence and answers "OK", "ERROR" or the sentence's value, with
  // the details in ErrorDetail and a query's rows in SelectArray. `sentence` comes back
  // trimmed and without a closing ";" (after CREATE ACCOUNT and CREATE FILE: the statement
  // last sent).
  std::string ExecutePS(std::string& sentence);
  // Prints s (and CR LF when `newline`): to the terminal while printing is off, else to the
  // print-hold text, a raw device or the current printer.
  void PPrint(std::string_view s, bool newline = true);
  // Finds a program by a keyword sentence or the account's catalog. With no program running
  // it loads the program and schedules it for the deferred runner; with one running it runs
  // the procedure at once, with `args` by reference, and returns its result. Raises 908 for
  // an unknown verb, and the error of a script that does not load.
  Variant XRun(const std::string& procedureName, std::span<Variant> args = {});

  // --- Host operations -----------------------------------------------------------------

  void SetResponseHandler(ResponseHandler handler);
  // The console's connection slot that serves this port. Thread-safe.
  void PortCOpen(std::int32_t slot) { slot_.store(slot); }
  std::int32_t Slot() const { return slot_.load(); }
  // Input exactly as RequestA takes it, except that output stays in the buffer for
  // Response and no handler is called. Thread-safe: from another thread the input is
  // queued to the port's thread. Input not `echoed` is not echoed even with Echo on: a
  // host that shows what its user answered (a screen form's entries) needs no copy back.
  void PortInput(std::string text, bool echoed = true);
  // The type-ahead not yet read. Thread-safe.
  std::string TypeAhead() const;
  bool InputPending() const;
  bool NoNewLine() const;
  // Seconds that Execute waits for its end marker.
  void SetExecuteTimeout(double seconds) { executeTimeout_ = seconds; }
  // Set once, before the port serves its host from another thread.
  void SetHostHooks(HostHooks hooks);
  // The pace of logins this session shares with others (say, those from one address);
  // without one it paces its own. Set before the first input.
  void SetLoginPace(std::shared_ptr<LoginPace> pace);
  // Output the host has taken but not yet delivered (say, what a socket still holds). While
  // it and the port's own buffer pass kMaxUndeliveredOutput, the port's next output waits
  // for the host to catch up, so a slow reader slows its program down instead of filling
  // memory. Thread-safe.
  void SetHostBacklog(std::size_t bytes);
  static constexpr std::size_t kMaxUndeliveredOutput = 1024 * 1024;
  // Input lines longer than this are refused, so that a client that never ends its line
  // cannot fill the session.
  static constexpr std::size_t kMaxInputLine = 64 * 1024;
  // Ends whatever the session is doing, from any thread and for good: a running script is
  // interrupted, a running statement cancelled, every wait (input, a slow client, a login
  // delay) ends, IInput answers the disconnect marker from now on and output goes nowhere.
  // What the session holds (locks, its registry line) is freed as it unwinds and ends. A
  // host calls this when it lets go, so that no program can keep the session's thread.
  void Abort();
  bool Aborted() const;

  // Every published member above by name, for scripts and plugins.
  Variant Invoke(std::string_view name, CallType type, std::span<Variant> args) override;
  MemberKind KindOf(std::string_view name) override;
  std::vector<std::string> MemberNames() override;

 private:
  friend PortParts& PartsOf(Port& port);

  explicit Port(PortOptions options);

  // Every piece of input enters here; false when the session asked to disconnect.
  bool SessionInput(std::string_view s, bool echoed = true);
  // Called when the host's last reference goes.
  void HostReleased();
  // Runs `fn` on the port's thread: at once when already there, else queued.
  void RunOnPortThread(std::function<void()> fn);
  bool OnPortThread() const;

  std::unique_ptr<PortParts> parts_;
  std::int32_t executeCompareMethod_ = 0;
  double executeTimeout_ = 8.0;
  std::atomic<std::int32_t> slot_{0};
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_PORT_H_
