// The TCP relay: one engine port per accepted connection, text relayed both ways.
//
// The relay listens on one TCP port and serves slots 1..N. A new connection takes the lowest
// free slot and gets a new port on a thread of its own (PortHost); when every slot is busy it
// waits, is told so once, and gets the next slot that frees. What the client sends goes to
// the port as typed input; what the port writes is sent as soon as it is written. When the
// session hangs up (PortHost::hungUp: it wrote the disconnect marker, which the relay never
// sees) the connection ends after the text written before; a stop ends every connection
// with kStopLine.
//
// A slot is in one state (SlotState) and has its deadlines in one ordered place
// (SlotDeadlines); the relay sleeps until the earliest, and does nothing on a clock
// otherwise: everything else is an event of a socket or a session.
//
// Nobody can hold what is not theirs. A client that stops reading holds back its own
// program, not the relay's memory, and is dropped when it has taken nothing for the stall
// time; a port that is not reading its input holds back its client; a line without end is
// refused by the session; a connection that has not logged in within the login time is
// closed; one whose peer vanished without a word (its machine or network gone) is found by
// probes after a minute of silence and counted as gone two minutes later. Logins from one
// address are paced together across all its connections, one after the other and ever more
// slowly once some are refused (login_throttle.h); a wait it is told of does not count
// against the login time. When a
// client goes away while its port runs a program (PortHost::ProgramRuns), the program is asked
// to stop, interrupted if it has not after 1.5 seconds, and the port released when it has stopped,
// or after 2 seconds whatever it does.
//
// Everything here runs on the thread that made the relay (the console's main thread); it
// never waits for a port, not even for one to be made: what a client types before its port
// is ready waits in its connection until it is.

#ifndef ORVIK_CONSOLE_RELAY_SERVER_H_
#define ORVIK_CONSOLE_RELAY_SERVER_H_

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "event_wait.h"
#include "home.h"
#include "login_throttle.h"
#include "port_host.h"
#include "slot_deadlines.h"
#include "telnet_filter.h"
#include "terminal_keys.h"

class QTcpSocket;

namespace orvik::console {

// Makes the port for a connection slot; runs on the port's thread.
using PortFactory = std::function<std::shared_ptr<Port>(std::int32_t slot)>;

// Where a slot stands. kFree: no session. kConnected: a client and its session, not yet
// logged in (the login time runs). kLoggedIn: a user's session. kGone: its client went while a
// program ran, which is given time to stop. kStopping: the server's stop is ending it.
enum class SlotState { kFree, kConnected, kLoggedIn, kGone, kStopping };

class RelayServer : public QObject {
 public:
  // How often input held back from a session that is not reading is looked at again.
  static constexpr std::chrono::milliseconds kInputRetryInterval{55};
  static constexpr std::chrono::seconds kTeardownTimeout{2};
  // When a program whose client went has not stopped by itself, it is interrupted.
  static constexpr std::chrono::milliseconds kInterruptAfter{1500};
  static constexpr int kMaxSlots = 50;
  // Clients kept waiting for a slot; further ones wait in the system's queue.
  static constexpr int kMaxWaiting = 50;
  // What a stop tells each connected terminal before it closes the connection: the words
  // with which the screen client sees a session end.
  static constexpr std::string_view kStopLine = "OrvikEngine disconnecting";

  // Ports are made by the engine home `home` unless a factory says otherwise.
  explicit RelayServer(std::shared_ptr<const Home> home, QObject* parent = nullptr);
  // The same, on a home of its own opened at `home`.
  explicit RelayServer(const std::string& home, QObject* parent = nullptr);
  // Stops the server, and waits a little for the ports' threads.
  ~RelayServer() override;

  // The address to listen on (every interface unless set). Takes effect at the next start.
  void SetListenAddress(const QHostAddress& address) { address_ = address; }
  // How a slot's port is made, on the port's own thread.
  void SetPortFactory(PortFactory factory) { factory_ = std::move(factory); }
  // How long a connection may take to log in (60 seconds unless set), waits for a login's
  // turn not counted.
  void SetLoginTimeout(std::chrono::milliseconds t) { loginTimeout_ = t; }
  // How long logins from one address wait behind each other.
  void SetLoginHolds(LoginHolds holds) { throttle_->SetHolds(holds); }
  // How long a client may leave output untaken before it counts as gone (60 seconds).
  void SetStallTimeout(std::chrono::milliseconds t) { stallTimeout_ = t; }
  // Receives the texts the relay puts into the console's status box.
  void SetStatusHandler(std::function<void(const std::string&)> handler) {
    statusHandler_ = std::move(handler);
  }
  // Told the slot number whenever a slot is taken or freed.
  void SetSlotHandler(std::function<void(int slot)> handler) { slotHandler_ = std::move(handler); }
  // Receives the record of who came and went: connections, logins tried (the name, never
  // the password), sessions ended, connections that could not be served.
  void SetLogHandler(std::function<void(const std::string&)> handler) {
    logHandler_ = std::move(handler);
  }

  // Listens on `tcpPortStart` (0: a port the system picks) with `tcpPorts` slots and
  // starts serving. False, with the reason in LastError, when it could not.
  bool EngineStart(int tcpPorts, int tcpPortStart);
  // Closes the listener and tears every slot down, the last slot first; a slot whose
  // program runs is given up to 2 seconds to end. Events keep being handled meanwhile.
  bool EngineStop();
  // The client of `slot` has gone: its port is released now, or its program is asked to
  // stop and the port released when it has, or at the latest 2 seconds later.
  void PortCClose(int slot);

  // Display text of a socket state number (0 closed ... 9 error).
  static std::string SocketStateName(int state);

  bool IsRunning() const { return running_; }
  bool IsStopping() const { return stopping_; }
  int SlotCount() const { return static_cast<int>(slots_.size()); }
  // The port actually listened on.
  std::uint16_t ListeningPort() const;
  const std::string& LastError() const { return lastError_; }
  bool SlotBusy(int slot) const;
  SlotState StateOf(int slot) const;
  // A slot's text in the status report: socket state and session state, "STANDBY" for a
  // free slot, "TCP Socket Server not running" while stopped.
  std::string SlotText(int slot) const;
  // Waits up to `ms` for the threads of released ports to end; false while some still run
  // (code that ignored every request to stop).
  bool WaitForPortThreads(int ms);

 private:
  using Deadline = SlotDeadlines::Kind;

  struct Slot {
    SlotState state = SlotState::kFree;
    std::unique_ptr<PortHost> host;  // the session; empty while the slot is free
    QTcpSocket* socket = nullptr;    // the client; none once it has gone
    TelnetFilter telnet;
    TerminalKeys keys;
    bool serverEchoes = false;
    std::string peer;
    std::string user;                   // once logged in
    SteadyClock::time_point lastDrain;  // the socket last had nothing unsent, or sent some
    SteadyClock::time_point lastTake;   // output was last taken from the port
  };

  Slot* Find(int slot, const QTcpSocket* socket);
  // Whether `slot` is still served by `host`: news of a session that has gone, or that
  // arrives after a stop has removed every slot, is for nobody.
  bool Serves(int slot, const PortHost* host) const;
  Slot& At(int slot) { return slots_[static_cast<std::size_t>(slot - 1)]; }
  int FirstFreeSlot() const;
  void AcceptPending();
  void ServeWaiting();
  void Wait(QTcpSocket* socket);
  void Open(int slot, QTcpSocket* socket);
  void OnPortReady(int slot);
  void OnPortFailed(int slot, const std::string& why);
  void OnReadyRead(int slot, QTcpSocket* socket);
  void OnOutputReady(int slot);
  void OnOutput(int slot);
  void OnHungUp(int slot);
  void OnBytesWritten(int slot, QTcpSocket* socket);
  void OnState(int slot, bool programRuns);
  void OnLogin(int slot, const std::string& user);
  void OnClientGone(int slot, QTcpSocket* socket);
  void Write(int slot, std::string_view text);
  // What was written to the slot's socket has to be taken by its client in time.
  void WatchForStall(int slot);

  // The loop: sleeps until the earliest deadline and meets those due.
  void SetDeadline(int slot, Deadline kind, SteadyClock::time_point when);
  void ClearDeadline(int slot, Deadline kind);
  void Sleep();
  void OnWake();
  void Meet(const SlotDeadlines::Due& due);
  void LoginTimedOut(int slot);
  void Stalled(int slot);

  // Ends the slot's session and frees the slot.
  void Release(int slot, const std::string& why);
  // Frees the slot of a session whose client has been dealt with.
  void Free(int slot);
  void Status(const std::string& text);
  void Log(const std::string& text);
  void LogSlot(int slot, const std::string& text);
  // The logins of `address` refused and waiting, for the log.
  std::string LoginsOf(const std::string& address) const;
  void SlotChanged(int slot);
  void RemoveLocksOfSessionsGone();

  std::shared_ptr<const Home> home_;
  QHostAddress address_ = QHostAddress::Any;
  PortFactory factory_;
  std::chrono::milliseconds loginTimeout_{60000};
  std::chrono::milliseconds stallTimeout_{60000};
  std::function<void(const std::string&)> statusHandler_;
  std::function<void(int)> slotHandler_;
  std::function<void(const std::string&)> logHandler_;

  QTcpServer listener_;
  SlotDeadlines deadlines_;
  QTimer wake_;  // at the earliest deadline
  std::vector<Slot> slots_;
  std::deque<QTcpSocket*> waiting_;
  std::shared_ptr<LoginThrottle> throttle_ = LoginThrottle::Make();
  std::vector<std::unique_ptr<PortHost>> retired_;
  bool running_ = false;
  bool stopping_ = false;
  bool paused_ = false;
  std::string lastError_;
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_RELAY_SERVER_H_
