// The session machine: what a session does with each piece of input, by its state.
//
// Input is echoed and filed in the terminal's type-ahead, then taken by state: the login
// dialogue (the user name, the password, the welcome and the user's start-up sentences), one
// TCL line at a time at the prompt (TCL verbs, SQL, LOGTO, programs), a key for a paged
// query (pager.h), or nothing while a program runs, whose IInput takes it. The session also
// carries out the programmatic sentences (ExecutePS) and ends each program's run.
//
// It keeps the session's published properties that scripts read and write: ErrorDetail
// (the outcome of the last member, set from a Status), TermType, SelectArray, XCommon and
// Description. The terminal, the datastore's parts, the printer and the program runner are
// its collaborators, each owning its own state.
//
// Used on the port's thread only. Members report outcomes in ErrorDetail; what a member
// raises (ExecutePS never does) is thrown as VbError.

#ifndef ORVIK_ENGINE_SESSION_SESSION_H_
#define ORVIK_ENGINE_SESSION_SESSION_H_

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "account_connection.h"
#include "dictionary.h"
#include "lock_table.h"
#include "login.h"
#include "login_pace.h"
#include "pager.h"
#include "printer.h"
#include "program_runner.h"
#include "status.h"
#include "stop_switch.h"
#include "terminal_io.h"
#include "variant.h"

namespace orvik {

class Session {
 public:
  // The parts the session works with; they outlive it.
  struct Parts {
    TerminalIo& terminal;
    StopSwitch& stop;
    AccountConnection& account;
    Login& login;
    LockTable& locks;
    Printer& printer;
    ProgramRunner& programs;
  };
  // Refused logins a session allows before it ends.
  static constexpr int kMaxRefusedLogins = 5;

  explicit Session(Parts parts);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Every piece of input enters here; false when the session asked to disconnect. A failure
  // on the way is told on the terminal and left in ErrorDetail, never dropped: a session
  // that waited for a key is back at its prompt, one that has not logged in stays where it
  // is. Only what the terminal itself throws (a host's handler) reaches the caller. Input
  // that is not to be `echoed` is not, whatever the terminal's echo switch says.
  bool Input(std::string_view text, bool echoed = true);
  // Runs one programmatic sentence: "OK", "ERROR" or its value, the details in ErrorDetail.
  // `sentence` comes back trimmed, without a closing ";" (or the statement last sent).
  std::string ExecutePS(std::string& sentence);
  // The end of a scheduled program's run (the program runner's hook).
  void EndRun();
  // The session's hold on its datastore is lost (Login::SetLostHandler): it says so and
  // asks its host to hang up.
  void HoldLost();
  // Told of every login tried: the user (never the password) and whether it was accepted.
  void SetLoginTried(std::function<void(const std::string&, bool)> tried) {
    loginTried_ = std::move(tried);
  }
  // Told of every login that waits for its turn before it is checked, and for how long.
  void SetLoginWaits(std::function<void(const std::string&, std::chrono::milliseconds)> waits) {
    loginWaits_ = std::move(waits);
  }
  // The pace this session's logins keep, shared with other sessions; without one the
  // session paces its own.
  void SetLoginPace(std::shared_ptr<LoginPace> pace) { loginPace_ = std::move(pace); }

  // --- Published properties ---------------------------------------------------------------

  const std::string& ErrorDetail() const { return errorDetail_; }
  void ClearErrorDetail() { errorDetail_.clear(); }
  // Sets ErrorDetail to the outcome's message; whether it was a success.
  bool Report(const Status& outcome);
  // Sets ErrorDetail to the outcome's message when it is a failure; whether it was a success.
  bool Note(const Status& outcome);
  const std::string& TermType() const { return termType_; }
  // Trimmed and upper-cased.
  void SetTermType(std::string_view type);
  // The cursor or attribute sequence for @(x, y), or @(x) when y is -1, for the terminal.
  std::string TTag(std::int32_t x, std::int32_t y = -1) const;
  const Variant& SelectArray() const { return selectArray_; }
  const std::shared_ptr<Dictionary>& XCommon() const { return xCommon_; }
  void SetXCommon(std::shared_ptr<Dictionary> common) { xCommon_ = std::move(common); }
  void SetDescription(std::string text) { description_ = std::move(text); }

 private:
  bool TakeInput(std::string_view text, bool echoed);
  void Failed(const Status& failure);
  // Handles the complete lines waiting in the type-ahead, in order, for as long as the
  // session is in a state that takes lines: what a user pasted, or typed while a program
  // ran, is answered at once and never one line late.
  bool TakeWaitingLines();
  // Acts on one line; false when the session asked to disconnect.
  bool Line(SessionState state, std::string line);
  void Echo(SessionState state, std::string_view text, std::string_view typed);

  // The login dialogue (login_dialogue.cpp).
  void LogIn();
  // Waits for the login's turn, telling the user how long when it waits for a hold; false
  // when the session ended meanwhile. `woken` is set by the pace when the turn may have come.
  bool AwaitLoginTurn(const LoginTurn& turn, std::atomic<bool>& woken);
  // After kMaxRefusedLogins refused logins the session ends. False when it ends.
  bool AfterRefusedLogin();

  // TCL (tcl_verbs.cpp): one line typed at the prompt or taken from the start-up sentences.
  void RunTclVerb(const std::string& line);
  void ShowTable(const std::string& table);
  void ClosingStep(const std::string& verb);
  // The session's line of the user registry: its state and what it does.
  std::string StatusLine(SessionState state, const std::string& action) const;
  void WriteStatus(SessionState state, const std::string& action);
  std::string ProcessReport();

  // Sentences (sentences.cpp, printing_sentences.cpp).
  static Status NoFiles() { return Status::Error(910, "no files found in this account"); }
  std::string RunSentence(std::string& sentence, const std::vector<std::string>& words);
  std::string QuerySentence(const std::string& sentence);
  std::string PrinterSentence(const std::vector<std::string>& words);
  std::string SpAssign(const std::vector<std::string>& words);
  std::string DevMake(const std::vector<std::string>& words);
  // PRINTER CLOSE: the held text goes to the system account's print hold.
  Status ClosePrintJob();
  std::string JobTitle() const;

  // The end of a run that failed on its way (run_end.cpp).
  void EndRunFailed(const std::string& message);

  Parts parts_;
  Pager pager_;
  std::string errorDetail_;
  std::string termType_;
  std::string description_;
  Variant selectArray_;
  std::shared_ptr<Dictionary> xCommon_;
  std::string lastSentence_;
  // The user's start-up sentences still to run, one at a time while the session is at the
  // prompt: a sentence that starts a program holds the rest back until it ends.
  std::deque<std::string> pendingStartup_;
  int refusedLogins_ = 0;
  std::function<void(const std::string&, bool)> loginTried_;
  std::function<void(const std::string&, std::chrono::milliseconds)> loginWaits_;
  std::shared_ptr<LoginPace> loginPace_ = LoginPace::Own();
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_SESSION_SESSION_H_
