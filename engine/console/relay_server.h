// The TCP relay: one engine port per accepted connection, text relayed both ways.
//
// The relay listens on one TCP port and serves slots 1..N. A new connection takes the lowest
// free slot and gets a new port on a thread of its own (PortThread). What the client sends
// goes to the port as typed input, a chunk at a time; every 55 ms the pump takes each port's
// pending output and sends it. Output holding the disconnect marker ends the connection.
// When a client goes away while its port runs a program (a state ending in "VERB"), the
// program is asked to stop and the port is released when it has, or after 2 seconds.
//
// Everything here runs on the thread that made the relay (the console's main thread); it
// never waits for a port, only polls its thread-safe operations.

#ifndef ORVIK_CONSOLE_RELAY_SERVER_H_
#define ORVIK_CONSOLE_RELAY_SERVER_H_

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "event_wait.h"
#include "port_thread.h"
#include "telnet_filter.h"

class QTcpSocket;

namespace orvik::console {

class RelayServer : public QObject {
 public:
  static constexpr std::chrono::milliseconds kPumpInterval{55};
  static constexpr std::chrono::seconds kTeardownTimeout{2};
  static constexpr int kMaxSlots = 50;

  // Ports are made on the engine home `home` unless a factory says otherwise.
  explicit RelayServer(std::string home, QObject* parent = nullptr);
  // Stops the server, and waits a little for the ports' threads.
  ~RelayServer() override;

  // The address to listen on (every interface unless set). Takes effect at the next start.
  void SetListenAddress(const QHostAddress& address) { address_ = address; }
  // How a slot's port is made, on the port's own thread.
  void SetPortFactory(PortFactory factory) { factory_ = std::move(factory); }
  // Receives the texts the relay puts into the console's status box.
  void SetStatusHandler(std::function<void(const std::string&)> handler) {
    statusHandler_ = std::move(handler);
  }
  // Told the slot number whenever a slot is taken or freed.
  void SetSlotHandler(std::function<void(int slot)> handler) { slotHandler_ = std::move(handler); }
  // Receives notes about connections that could not be served.
  void SetLogHandler(std::function<void(const std::string&)> handler) {
    logHandler_ = std::move(handler);
  }

  // Listens on `tcpPortStart` (0: a port the system picks) with `tcpPorts` slots and
  // starts the pump. False, with the reason in LastError, when it could not.
  bool EngineStart(int tcpPorts, int tcpPortStart);
  // Closes the listener and tears every slot down, the last slot first; a slot whose
  // program runs is given up to 2 seconds to end. Events keep being handled meanwhile.
  bool EngineStop();
  // The client of `slot` has gone: its port is released now, or its program is asked to
  // stop and the port released when it has, or at the latest 2 seconds later.
  void PortCClose(int slot);

  // Display text of a socket state number (0 closed ... 9 error).
  static std::string SocketStateName(int state);
  // An application program runs on a session exactly while its state ends in "VERB".
  static bool EndsInVerb(std::string_view state);

  bool IsRunning() const { return running_; }
  bool IsStopping() const { return stopping_; }
  int SlotCount() const { return static_cast<int>(slots_.size()); }
  // The port actually listened on.
  std::uint16_t ListeningPort() const;
  const std::string& LastError() const { return lastError_; }
  bool SlotBusy(int slot) const;
  // A slot's text in the status report: socket state and session state, "STANDBY" for a
  // free slot, "TCP Socket Server not running" while stopped.
  std::string SlotText(int slot) const;
  // Waits up to `ms` for the threads of released ports to end; false while some still run
  // (a program that ignored the request to stop).
  bool WaitForPortThreads(int ms);

 private:
  struct Slot {
    std::shared_ptr<Port> port;  // the only host reference: dropping it ends the session
    std::unique_ptr<PortThread> thread;
    QTcpSocket* socket = nullptr;
    TelnetFilter telnet;
    // Input handed to the port's thread and not yet taken into its type-ahead.
    std::shared_ptr<std::atomic<std::size_t>> inFlight;
    // Set while a program is given time to stop after its client went.
    std::optional<SteadyClock::time_point> closeDeadline;
    bool clientGone = false;
  };

  Slot* Find(int slot, const QTcpSocket* socket);
  int FirstFreeSlot() const;
  void AcceptPending();
  void Open(int slot, QTcpSocket* socket);
  void OnReadyRead(int slot, QTcpSocket* socket);
  void OnClientGone(int slot, QTcpSocket* socket);
  void OnTick();
  void Write(Slot& s, std::string_view text);
  std::size_t InputBacklog(const Slot& s) const;
  // Ends the slot's session and frees the slot.
  void Release(int slot);
  void ReapThread(const PortThread* thread);
  void Status(const std::string& text);
  void Log(const std::string& text);
  void SlotChanged(int slot);

  std::string home_;
  QHostAddress address_ = QHostAddress::Any;
  PortFactory factory_;
  std::function<void(const std::string&)> statusHandler_;
  std::function<void(int)> slotHandler_;
  std::function<void(const std::string&)> logHandler_;

  QTcpServer listener_;
  QTimer pump_;
  std::vector<Slot> slots_;
  std::vector<std::unique_ptr<PortThread>> retired_;
  bool running_ = false;
  bool stopping_ = false;
  bool paused_ = false;
  std::string lastError_;
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_RELAY_SERVER_H_
