// A session's terminal: its state as hosts read it, its type-ahead, its one output sink, the
// echo switch, and the waits of a program that reads input (IInput) or of a host that runs
// one input and waits for its answer (Execute).
//
// The terminal is the only part of a port that other threads touch. These members may be
// called from any thread: State, StateText, ProgramRuns, TypeAhead, Response, InputPending,
// PortCClose, SetHostBacklog and WakeWaits. Every other member runs on the port's thread.
// Output goes, in this order of preference: to the Execute call in progress (innermost
// first), to the host's response handler once the host has driven the session
// asynchronously (RequestA), or into the buffer Response empties, the host being told once
// (outputWaiting) until it takes it. A host that does not keep up holds the session's output
// back (SetHostBacklog).
//
// A host that set the hang-up hook never reads that buffer for the disconnect marker: the
// terminal finds it here, once, as it is written, also when a program writes it in pieces
// (the end of a piece that could begin it waits up to kMarkerHold for the rest, or until the
// session waits for input). What was written before the marker enters the buffer and is
// announced first; then the hook runs; the marker and all output after it go nowhere.
//
// Text is the system's bytes. Failures of a read come back as a Status; nothing here
// throws but what a host's handler throws.

#ifndef ORVIK_ENGINE_SESSION_TERMINAL_H_
#define ORVIK_ENGINE_SESSION_TERMINAL_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "event_wait.h"
#include "status.h"
#include "stop_switch.h"
#include "terminal_io.h"
#include "variant.h"

class QTimer;

namespace orvik {

namespace termerr {
inline constexpr int kReadTimeout = 980;
inline constexpr int kNothingWaiting = 981;
inline constexpr int kExecuteTimeout = 960;
}  // namespace termerr

class Terminal : public TerminalIo {
 public:
  // Receives each piece of output once the host drives the session asynchronously.
  using ResponseHandler = std::function<void(std::string& text)>;

  // Output the host has taken but not delivered, past which the session's output waits.
  static constexpr std::size_t kMaxUndeliveredOutput = 1024 * 1024;
  // Input lines longer than this are refused, so that a client that never ends its line
  // cannot fill the session.
  static constexpr std::size_t kMaxInputLine = 64 * 1024;
  // What the user is told when a line was too long: the line is read as empty.
  static std::string LineRefusedNotice();
  // The answer of an Execute whose end marker did not come.
  static constexpr std::string_view kTimeoutAnswer = "ERROR: TIMEOUT";
  // How long the end of some output that could begin the disconnect marker waits for the
  // rest of it before it goes on as the text it turned out to be.
  static constexpr std::chrono::milliseconds kMarkerHold{250};

  // `stop` ends every wait for good.
  explicit Terminal(std::shared_ptr<StopSwitch> stop);
  ~Terminal() override;

  // --- The state (any thread) ------------------------------------------------------------

  SessionState State() const override;
  std::string StateText() const override;
  void SetState(SessionState state) override;
  // Any name, as a script writes msState.
  void SetStateText(std::string name);
  // Whether the state is a running program's (ProgramRunsIn). Any thread.
  bool ProgramRuns() const;
  // Runs on the port's thread after each change, with the new name and whether a program
  // runs in it.
  using StateChanged = std::function<void(const std::string& name, bool programRuns)>;
  void SetStateChanged(StateChanged changed) { stateChanged_ = std::move(changed); }

  // --- Output ---------------------------------------------------------------------------

  void Send(std::string_view text) override;
  // `text`, and CR LF when `newline`.
  void CRT(std::string_view text, bool newline);
  // The output collected for a synchronous host; reading it empties it. Any thread.
  std::string Response();
  void SetResponseHandler(ResponseHandler handler) { responseHandler_ = std::move(handler); }
  // From now on output goes to the response handler (RequestA).
  void DriveAsynchronously();
  // Runs on the port's thread when output enters the buffer Response empties: once until
  // Response is next read, however many pieces are written meanwhile.
  void SetOutputWaiting(std::function<void()> waiting) { outputWaiting_ = std::move(waiting); }
  // Output taken by the host and not yet delivered. Any thread.
  void SetHostBacklog(std::size_t bytes);
  // Runs on the port's thread when the session hangs up (see the top of this file). Set
  // once, before the session's first output.
  void SetHangUp(std::function<void()> hangUp) { hangUp_ = std::move(hangUp); }

  // --- Echo and input -------------------------------------------------------------------

  bool EchoOn() const override { return echoOn_; }
  void SetEcho(bool on) override { echoOn_ = on; }
  bool NoNewLine() const override { return noNewLine_; }
  std::string TypeAhead() const override;
  void ClearTypeAhead() override;
  bool FileInput(std::string_view text) override;
  std::optional<std::string> TakeLine() override;
  // Whether a program waits in Read. Any thread.
  bool InputPending() const { return inputPending_.load(); }

  // IInput: waits for a line up to CR, or `length` characters (0: one character without a
  // new line), pumping the thread's events meanwhile. A line past kMaxInputLine is read as
  // empty, its user told (LineRefusedNotice); TakeLine does the same. `tenths` below 0 waits for
  // ever, 0 does not wait. Once the session is stopped, reads answer the disconnect marker.
  Status Read(Variant& input, std::int32_t length, bool newLine, double tenths);
  // Asks a waiting Read to stop: it receives the disconnect marker. Any thread.
  void PortCClose();
  // Wakes every wait, so that it looks at the stop again. Any thread.
  void WakeWaits();

  // Execute: hands `command` (CR LF added unless it ends in "{NOCR}") to `input` and waits
  // up to `seconds` for output holding `endMarker` (any output when it is empty), compared
  // as text when `textCompare`. What the session writes meanwhile is the answer; it reaches
  // no host. kTimeoutAnswer, with `timedOut` set, when the marker did not come.
  std::string Execute(std::string_view command, std::string_view endMarker, bool textCompare,
                      double seconds, const std::function<void(std::string_view)>& input,
                      bool* timedOut);
  // The answer of Execute up to "</TX>", with the framing removed.
  static std::string Unframed(const std::string& answer, bool textCompare);

 private:
  // Holds the session while its host has too much output undelivered.
  void WaitForHostToCatchUp();
  // Puts `text` into the buffer Response empties, looking for the disconnect marker when a
  // host set the hang-up hook. Called with `lock` held; releases it.
  void Deliver(std::string_view text, std::unique_lock<std::mutex>& lock);
  // What waited as a possible start of the marker goes on as text.
  void ReleaseHeldOutput();

  std::shared_ptr<StopSwitch> stop_;
  // Made on the port's thread: wakes a Read when another thread changes its input.
  const EventWaker waker_;

  // Read by hosts on other threads, under mutex_.
  mutable std::mutex mutex_;
  SessionState state_ = SessionState::kStartup;
  std::string stateText_{StateName(SessionState::kStartup)};
  bool programRuns_ = false;
  std::string typeAhead_;
  std::uint64_t inputVersion_ = 0;  // counts changes of typeAhead_, for waiting readers
  std::string responseBuffer_;
  // Output of the Execute calls in progress, innermost last.
  std::vector<std::string> captures_;
  bool asyncMode_ = false;
  bool outputAnnounced_ = false;  // the host has been told of output it has not taken
  // The end of the output so far, held back while it could be the start of the marker.
  std::string heldOutput_;
  bool hungUp_ = false;  // the marker was written: output goes nowhere from now on
  std::atomic<bool> inputPending_{false};
  std::atomic<std::size_t> hostBacklog_{0};

  // The port's thread only.
  bool echoOn_ = false;
  bool noNewLine_ = false;
  bool lineInput_ = false;  // the waiting Read reads a whole line
  // Set while the rest of an over-long input line is thrown away, up to its end.
  bool discardingLine_ = false;
  ResponseHandler responseHandler_;
  std::function<void()> outputWaiting_;
  std::function<void()> hangUp_;
  StateChanged stateChanged_;
  std::unique_ptr<QTimer> holdTimer_;  // releases held output after kMarkerHold
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_SESSION_TERMINAL_H_
