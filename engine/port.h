// One user session of the engine.
//
// A Port holds everything one session has: its terminal state, its type-ahead and output
// buffers, its login and its datastore connections, the program it runs and its print
// state. Hosts make ports with Port::Create and drive them either asynchronously
// (RequestA, output through the response handler) or synchronously (Execute, Response);
// the console uses PortInput and Response from a thread of its own.
//
// A port is single-threaded: every member except the host operations marked thread-safe
// runs on the thread that made it. Its long waits (IInput, Execute) pump that thread's
// event loop, so input, timer ticks and host calls reach the port while it waits.

#ifndef ORVIK_ENGINE_PORT_H_
#define ORVIK_ENGINE_PORT_H_

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "account_connection.h"
#include "dictionary.h"
#include "dispatch.h"
#include "driver.h"
#include "driver_factory.h"
#include "engine_settings.h"
#include "functions.h"
#include "item_store.h"
#include "lock_table.h"
#include "login.h"
#include "markup.h"
#include "print_backend.h"
#include "printer.h"
#include "program_runner.h"
#include "recordset.h"
#include "stop_switch.h"
#include "terminal.h"
#include "variant.h"

class QObject;
class QTimer;

namespace orvik {
class ScriptHost;
}  // namespace orvik

namespace orvik {

// What a port is made with. Everything has a default, so `{}` is an ordinary port.
struct PortOptions {
  // The engine home, where OrvikEngine.ini and the datastore files are; empty: EngineHome().
  std::string home;
  // Makes the port's datastore drivers; empty: the built-in driver of each datastore.
  DriverFactory drivers;
  // Makes the port's print backend when it first prints; empty: CUPS.
  PrintBackendFactory printing;
};

// What a host that serves a port from another thread (PortHost) is told. Each runs on the
// port's thread and must only hand the news on.
struct HostHooks {
  // Output has entered the buffer that Response empties: once until Response is next read,
  // however many pieces are written meanwhile.
  std::function<void()> outputWaiting;
  // msState has changed to `state`.
  std::function<void(const std::string& state)> stateChanged;
  // A login was tried with `user` (never the password) and accepted or refused.
  std::function<void(const std::string& user, bool accepted)> loginTried;
};

class Port : public Dispatch, public std::enable_shared_from_this<Port> {
 public:
  // Receives each piece of output while the port serves a host asynchronously. It runs on
  // the port's thread, from inside whichever member produced the output.
  using ResponseHandler = std::function<void(std::string& text)>;

  // A new port in state "STARTUP", reading OrvikEngine.ini from `home` (the engine home
  // when empty). The host's reference is special: dropping the last copy of it ends the
  // session, and a call still on the port's stack finishes first (a waiting IInput then
  // returns the disconnect marker).
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
  void SetState(std::string_view) {}
  std::string msState() const;
  void SetMsState(std::string state);
  // The user name part of UserInst; empty before login. Writing it has no effect.
  std::string UserName() const;
  void SetUserName(std::string_view) {}
  const std::string& TermType() const { return termType_; }
  void SetTermType(std::string_view type);
  const std::string& UserInst() const { return login_.UserInst(); }
  std::int32_t Connection_ID() const { return login_.ConnectionId(); }
  const Variant& SelectArray() const { return selectArray_; }
  const std::string& ErrorDetail() const { return errorDetail_; }
  void SetDescription(std::string text) { description_ = std::move(text); }
  const std::shared_ptr<Dictionary>& XCommon() const { return xCommon_; }
  void SetXCommon(std::shared_ptr<Dictionary> common) { xCommon_ = std::move(common); }
  // The port's own function library object, handed to scripts.
  Functions& Fns() { return programs_.Fns(); }
  const EngineSettings& Settings() const { return account_.Settings(); }
  const std::string& Home() const { return home_; }

  // --- Terminal output and input -------------------------------------------------------

  // s, and CR LF when `newline`, into the output sink.
  void CRT(std::string_view s, bool newline = true);
  // The cursor or attribute sequence for @(x, y), or @(x) when y is -1.
  std::string TTag(std::int32_t x, std::int32_t y = -1) const;
  // Text "OFF" (any case, blanks around) switches echo off, any other text on; other values
  // convert to Boolean.
  void Echo(const Variant& v);
  bool EchoOn() const;
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
  // Ends whatever the session is doing, from any thread and for good: a running script is
  // interrupted, a running statement cancelled, every wait (input, a slow client, a login
  // delay) ends, IInput answers the disconnect marker from now on and output goes nowhere.
  // What the session holds (locks, its registry line) is freed as it unwinds and ends. A
  // host calls this when it lets go, so that no program can keep the session's thread.
  void Abort();
  bool Aborted() const { return stop_->Thrown(); }

  // --- Datastore ------------------------------------------------------------------------

  // Moves the port to `account` on its datastore: a new connection (the embedded store) or
  // the same one switched (servers). On failure the port stays where it was, working, and
  // ErrorDetail says why.
  bool ConnectAccount(const std::string& account);
  // Opens a new record set on a query over the current account's connection.
  bool RsOOpen(std::string_view query, std::shared_ptr<Recordset>& rst);
  // Runs a query against another embedded account, on a connection of its own. Failures
  // are raised to the caller.
  std::string JetQRef(const std::string& account, std::string_view table, std::string_view query,
                      std::shared_ptr<Recordset>& rst);
  const std::string& Account() const { return account_.Account(); }
  // The account's tables: character 254 before each name and one more at the end; empty
  // after a failed refresh.
  const std::string& TableList() const { return account_.TableList(); }
  bool CatalogOpen() const { return account_.CatalogOpen(); }
  // The current account's catalog (all rows of md), when CatalogOpen.
  const std::shared_ptr<Recordset>& Catalog() const { return account_.Catalog(); }
  const std::shared_ptr<Driver>& Connection() const { return account_.Connection(); }
  // The embedded store only: the connection to the system account, kept across moves.
  const std::shared_ptr<Driver>& DmConnection() const { return account_.SystemConnection(); }
  const std::string& JetProvider() const { return account_.JetProvider(); }
  // The name and password typed at login (lower case); servers are reached with them.
  void SetLogin(std::string user, std::string password);

  // --- Files ----------------------------------------------------------------------------

  // Opens a file by "F", "A.F" or "A,F," and gives its file variable. False with "[911] File
  // '...' not found." when there is no such table (nor a catalog pointer to one).
  bool OOpen(const Variant& file, Variant& fileVariable);
  // Ends the use of a file variable: this port's locks in the file go, the variable is
  // emptied.
  bool CClose(Variant& fileVariable);

  // Raw item storage: one item, or one attribute of it, between a file table and a dynamic
  // array. No locks and no write check; the item members build on these. False with the
  // reason in ErrorDetail (a read's output is then "ERROR: " and the reason).
  bool ReadItemRaw(std::string& item, std::string_view fileVariable, std::string_view id);
  bool ReadAttributeRaw(std::string& value, std::string_view fileVariable, std::string_view id,
                        std::int32_t attribute);
  bool WriteItemRaw(std::string_view item, std::string_view fileVariable, std::string_view id);
  bool WriteAttributeRaw(std::string_view value, std::string_view fileVariable, std::string_view id,
                         std::int32_t attribute);
  // Forgets what is known of the tables' columns (after a table was made, changed or
  // dropped).
  void ForgetTableShapes() { account_.ForgetTableShapes(); }

  // --- Items ----------------------------------------------------------------------------
  //
  // Every member returns True when done; the reason for a False is in ErrorDetail. The U
  // members lock the item for this port; a plain write releases this port's lock after it.
  // RReadTR keeps a copy that the next write of the item is checked against ("[925]").

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

  // --- Sentences and printing -----------------------------------------------------------

  // Runs one programmatic sentence and answers "OK", "ERROR" or the sentence's value, with
  // the details in ErrorDetail and a query's rows in SelectArray. `sentence` comes back
  // trimmed and without a closing ";" (after CREATE ACCOUNT and CREATE FILE: the statement
  // last sent).
  std::string ExecutePS(std::string& sentence);
  // Prints s (and CR LF when `newline`): to the terminal while printing is off, else to the
  // print-hold text, a raw device or the current printer.
  void PPrint(std::string_view s, bool newline = true);

  // Turns a text into another of the same length with a key (character codes 32..127 shift
  // within that ring). `key` is doubled in place until it is as long as the text; an empty
  // key with a text is refused (error 5).
  Variant JDecode(const std::string& text, std::string& key);

  // --- Programs -------------------------------------------------------------------------

  // Finds a program by a keyword sentence (RUN, ACTIVEX, VBS, VBSCRIPT, JSCRIPT, JAVASCRIPT,
  // PERL, PHP) or the account's catalog. With no program running it loads the program and
  // schedules it for the deferred runner (the caller then enables it); with one running it
  // runs the procedure at once, with `args` by reference, and returns its result. Raises
  // 908 for an unknown verb, and the error of a script that does not load.
  Variant XRun(const std::string& procedureName, std::span<Variant> args = {});
  // True while a program is scheduled or running: the deferred runner's timer is enabled.
  bool ProgramRunning() const;
  // The first error text of the current (or last) run.
  const std::string& RunError() const;

  // --- Login and the session --------------------------------------------------------------

  // The user's row of the users table, by column (Null as ""); empty before login.
  const std::vector<std::string>& UserRow() const { return login_.UserRow(); }
  // Checks the login typed at the prompts against the users table and gives the session its
  // identity (UserInst, Connection_ID). False with the reason in ErrorDetail.
  bool ValidateLogin();
  // Keeps this session's line in the list of logged-in ports up to date (cut to 60
  // characters, as is `line`).
  void UpdateUserRegistry(std::string& line);
  // Every logged-in session: lines joined by character 254, six values each joined by 253.
  std::string ListProcesses();

  // --- Host operations -----------------------------------------------------------------

  void SetResponseHandler(ResponseHandler handler);
  // The console's connection slot that serves this port. Thread-safe.
  void PortCOpen(std::int32_t slot) { slot_.store(slot); }
  std::int32_t Slot() const { return slot_.load(); }
  // Input exactly as RequestA takes it, except that output stays in the buffer for
  // Response and no handler is called. Thread-safe: from another thread the input is
  // queued to the port's thread.
  void PortInput(std::string text);
  // The type-ahead not yet read. Thread-safe.
  std::string TypeAhead() const;
  bool InputPending() const;
  bool NoNewLine() const;
  // Seconds that Execute waits for its end marker.
  void SetExecuteTimeout(double seconds) { executeTimeout_ = seconds; }
  // Set once, before the port serves its host from another thread.
  void SetHostHooks(HostHooks hooks);
  // Output the host has taken but not yet delivered (say, what a socket still holds). While
  // it and the port's own buffer pass kMaxUndeliveredOutput, the port's next output waits
  // for the host to catch up, so a slow reader slows its program down instead of filling
  // memory. Thread-safe.
  void SetHostBacklog(std::size_t bytes);
  static constexpr std::size_t kMaxUndeliveredOutput = 1024 * 1024;
  // Input lines longer than this are refused, so that a client that never ends its line
  // cannot fill the session.
  static constexpr std::size_t kMaxInputLine = 64 * 1024;

  // Every public member above by name, for scripts and plugins.
  Variant Invoke(std::string_view name, CallType type, std::span<Variant> args) override;
  MemberKind KindOf(std::string_view name) override;
  std::vector<std::string> MemberNames() override;

 private:
  explicit Port(PortOptions options);

  // The only way output leaves a session.
  void SendResponse(std::string_view s);
  // Sets ErrorDetail to the outcome, and answers whether it was a success.
  bool Report(const Status& outcome);
  // Sets ErrorDetail when the outcome is a failure.
  bool Note(const Status& outcome);
  // Every piece of input enters here; false when the session asked to disconnect.
  bool SessionInput(std::string_view s);
  // Acts on one line in a state that takes lines; false when the session asked to
  // disconnect.
  bool SessionLine(SessionState state, std::string line);
  // Handles the complete lines waiting in the type-ahead, in order, for as long as the
  // session is in a state that takes lines: what a user pasted, or typed while a program
  // ran, is answered at once and never one line late.
  bool TakeWaitingLines();
  // The datastore driver of `kind`, made by the port's factory, that the port's stop can
  // interrupt.
  std::shared_ptr<Driver> NewDriver(std::string_view kind);
  // Called when the host's last reference goes.
  void HostReleased();
  // Runs `fn` on the port's thread: at once when already there, else queued.
  void RunOnPortThread(std::function<void()> fn);
  bool OnPortThread() const;
  // Paged and form output of TCL queries.
  void PageOutput();
  void ShowQueryRecord(const std::string& query);
  void ShowTable(const std::string& table);
  // The key or line typed in one of the paging states ("TCLPAGE", "TCLQUERYVBGUI",
  // "TCLQUERYSHOW").
  void PagingInput(SessionState state, std::string_view s);
  std::string RunSentence(std::string& sentence, const std::vector<std::string>& words);
  std::string QuerySentence(const std::string& sentence);
  std::string PrinterSentence(const std::vector<std::string>& words);
  std::string SpAssign(const std::vector<std::string>& words);
  std::string DevMake(const std::vector<std::string>& words);
  // PRINTER CLOSE: the held text goes to the system account's print hold.
  Status ClosePrintJob();
  void LogIn();
  // Slows down guessing: each refused login on this session waits longer before it is
  // answered, and after a few the session ends. False when it ends.
  bool AfterRefusedLogin();
  // One TCL line, as typed at the prompt or taken from the user's start-up sentences.
  void RunTclVerb(const std::string& line);
  void ClosingStep(const std::string& verb);
  std::string Listing(const std::string& title, const std::string& list);
  void WriteStatus(SessionState state, const std::string& action);
  // The end of a scheduled program's run.
  void EndRun();
  void EndRunFailed(const std::string& message);
  // The port as programs hold it: a reference that does not keep the port alive.
  std::shared_ptr<Dispatch> ProgramReference();
  std::optional<ProgramRunner::CatalogEntry> CatalogEntryOf(const std::string& verb);

  // Settings and identity.
  std::string home_;
  DriverFactory driverFactory_;
  PrintBackendFactory printFactory_;
  std::string errorDetail_;
  std::string termType_;
  std::string description_;
  Variant selectArray_;
  std::shared_ptr<Dictionary> xCommon_;

  // Thrown by Abort; what may run long registers with it.
  std::shared_ptr<StopSwitch> stop_ = StopSwitch::Make();
  // Each port has its own current printer, devices and held job.
  Printer printer_;
  Terminal terminal_;

  // The TCL query being shown, and where its paging stands.
  std::shared_ptr<Recordset> queryRecordset_;
  std::int32_t pageFieldPos_ = 0;
  std::int32_t pageLineCount_ = 0;
  std::int32_t queryPage_ = 0;
  std::int32_t queryFieldCount_ = 0;

  // Login state.
  int refusedLogins_ = 0;
  // The user's start-up sentences still to run, one at a time while the session is at the
  // prompt: a sentence that starts a program holds the rest back until it ends.
  std::deque<std::string> pendingStartup_;
  std::int32_t executeCompareMethod_ = 0;
  std::atomic<std::int32_t> slot_{0};

  bool released_ = false;
  std::function<void(const std::string& user, bool accepted)> loginTried_;
  double executeTimeout_ = 8.0;
  std::string lastSentence_;

  // The datastore's parts.
  AccountConnection account_;
  LockTable locks_{account_};
  Login login_{account_, locks_};
  ItemStore items_{account_, locks_};

  // Lives on the port's thread; queued host calls are delivered through it.
  std::unique_ptr<QObject> context_;
  // Programs (scripts and applications) and their deferred runner.
  ProgramRunner programs_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_PORT_H_
