#include "relay_server.h"

#include <QAbstractEventDispatcher>
#include <QTcpSocket>
#include <algorithm>
#include <climits>

#include "status_text.h"

namespace orvik::console {
namespace {

// What Qt buffers of a connection's input; beyond it the client waits (TCP flow control).
constexpr qint64 kSocketReadBuffer = 64 * 1024;
// Input a port has not read yet; beyond it the relay stops reading from the client.
constexpr std::size_t kMaxPendingInput = 1024 * 1024;
// Output a client has not taken yet; beyond it the client counts as gone.
constexpr qint64 kMaxUnsentOutput = 8 * 1024 * 1024;
// How long a closed connection may take to deliver what was written to it.
constexpr int kCloseGraceMs = 5000;

constexpr std::string_view kNotRunning = "TCP Socket Server not running";
constexpr std::string_view kStandby = "STANDBY";

// The socket states as the console reports them.
int StateNumber(QAbstractSocket::SocketState state) {
  switch (state) {
    case QAbstractSocket::UnconnectedState:
      return 0;
    case QAbstractSocket::BoundState:
      return 1;
    case QAbstractSocket::ListeningState:
      return 2;
    case QAbstractSocket::HostLookupState:
      return 4;
    case QAbstractSocket::ConnectingState:
      return 6;
    case QAbstractSocket::ConnectedState:
      return 7;
    case QAbstractSocket::ClosingState:
      return 8;
  }
  return 9;
}

// Closes a connection once what was written to it has gone out (or the grace time has
// passed); the socket then deletes itself. It sends the relay nothing more.
void CloseGracefully(QTcpSocket* socket) {
  socket->disconnect();
  QObject::connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
  QTimer::singleShot(kCloseGraceMs, socket, [socket] {
    socket->abort();
    socket->deleteLater();
  });
  socket->disconnectFromHost();
  if (socket->state() == QAbstractSocket::UnconnectedState) socket->deleteLater();
}

}  // namespace

RelayServer::RelayServer(std::string home, QObject* parent)
    : QObject(parent), home_(std::move(home)) {
  factory_ = [this](std::int32_t) { return Port::Create(home_); };
  pump_.setInterval(kPumpInterval);
  connect(&pump_, &QTimer::timeout, this, [this] { OnTick(); });
  connect(&listener_, &QTcpServer::newConnection, this, [this] { AcceptPending(); });
}

RelayServer::~RelayServer() {
  // Whoever listened may be going away too: a stop at this point tells nobody.
  statusHandler_ = nullptr;
  slotHandler_ = nullptr;
  logHandler_ = nullptr;
  if (running_) EngineStop();
  listener_.close();
  WaitForPortThreads(3000);
  // A thread whose program ignores every request to stop cannot be joined; it is left to
  // the end of the process rather than destroyed while it runs.
  for (auto& t : retired_) {
    if (!t->IsFinished()) (void)t.release();
  }
}

std::string RelayServer::SocketStateName(int state) {
  switch (state) {
    case 0:
      return "Closed";
    case 1:
      return "Standby";
    case 2:
      return "LISTEN";
    case 3:
    case 4:
    case 5:
    case 6:
      return "Connecting";
    case 7:
      return "CONNECTED";
    case 8:
      return "Closing";
    case 9:
      return "ERROR";
    default:
      return "";
  }
}

bool RelayServer::EndsInVerb(std::string_view state) {
  return state.size() >= 4 && state.substr(state.size() - 4) == "VERB";
}

std::uint16_t RelayServer::ListeningPort() const { return listener_.serverPort(); }

bool RelayServer::EngineStart(int tcpPorts, int tcpPortStart) {
  lastError_.clear();
  if (running_ || stopping_) {
    lastError_ = "the server is already running";
    return false;
  }
  if (tcpPorts < 1 || tcpPorts > kMaxSlots) {
    lastError_ = "the number of ports must be between 1 and " + std::to_string(kMaxSlots);
    return false;
  }
  if (tcpPortStart < 0 || tcpPortStart > 65535) {
    lastError_ = "the TCP port must be between 1 and 65535";
    return false;
  }
  slots_.clear();
  slots_.resize(static_cast<std::size_t>(tcpPorts));
  listener_.close();
  if (!listener_.listen(address_, static_cast<quint16>(tcpPortStart))) {
    lastError_ = "cannot listen on TCP port " + std::to_string(tcpPortStart) + ": " +
                 listener_.errorString().toStdString();
    return false;
  }
  paused_ = false;
  running_ = true;
  pump_.start();
  return true;
}

bool RelayServer::EngineStop() {
  if (stopping_) return false;  // a stop is already under way
  stopping_ = true;
  Status(GeneralDateTime() + "\r\nStatus: Now issuing TCP/IP UserPort shutdown signal.\r\n" +
         "PLEASE WAIT: This is an up-to-5-second process.");
  pump_.stop();
  // Connections that arrive while stopped would otherwise wait for ever.
  listener_.close();
  for (int i = SlotCount(); i >= 1; --i) {
    Slot& s = slots_[static_cast<std::size_t>(i - 1)];
    if (s.socket) {
      CloseGracefully(s.socket);
      s.socket = nullptr;
    }
    if (s.port && EndsInVerb(s.port->State())) {
      s.port->PortCClose();
      PumpEventsUntil(SteadyClock::now() + kTeardownTimeout,
                      [&s] { return !s.port || !EndsInVerb(s.port->State()); });
    }
    Release(i);
  }
  slots_.clear();
  running_ = false;
  stopping_ = false;
  return true;
}

void RelayServer::PortCClose(int slot) {
  if (slot < 1 || slot > SlotCount()) return;
  Slot& s = slots_[static_cast<std::size_t>(slot - 1)];
  if (!s.port) return;
  if (!EndsInVerb(s.port->State())) {
    Release(slot);
    return;
  }
  s.port->PortCClose();
  s.closeDeadline = SteadyClock::now() + kTeardownTimeout;
}

bool RelayServer::SlotBusy(int slot) const {
  return slot >= 1 && slot <= SlotCount() && slots_[static_cast<std::size_t>(slot - 1)].port;
}

std::string RelayServer::SlotText(int slot) const {
  if (!running_ || slot < 1 || slot > SlotCount()) return std::string(kNotRunning);
  const Slot& s = slots_[static_cast<std::size_t>(slot - 1)];
  if (!s.port) return std::string(kStandby);
  const int state = s.socket ? StateNumber(s.socket->state()) : 0;
  return SocketStateName(state) + ", " + s.port->State();
}

RelayServer::Slot* RelayServer::Find(int slot, const QTcpSocket* socket) {
  if (slot < 1 || slot > SlotCount()) return nullptr;
  Slot& s = slots_[static_cast<std::size_t>(slot - 1)];
  return s.port && s.socket == socket ? &s : nullptr;
}

int RelayServer::FirstFreeSlot() const {
  for (int i = 1; i <= SlotCount(); ++i) {
    if (!slots_[static_cast<std::size_t>(i - 1)].port) return i;
  }
  return 0;
}

void RelayServer::AcceptPending() {
  if (!running_ || stopping_) return;
  for (;;) {
    const int slot = FirstFreeSlot();
    if (slot == 0) {
      // Every slot is busy: further clients wait in the system's queue until one frees.
      if (!paused_) listener_.pauseAccepting();
      paused_ = true;
      return;
    }
    if (paused_) {
      listener_.resumeAccepting();
      paused_ = false;
    }
    if (!listener_.hasPendingConnections()) return;
    QTcpSocket* socket = listener_.nextPendingConnection();
    if (!socket) return;
    Open(slot, socket);
  }
}

void RelayServer::Open(int slot, QTcpSocket* socket) {
  socket->setParent(this);
  Slot& s = slots_[static_cast<std::size_t>(slot - 1)];
  try {
    s.thread = std::make_unique<PortThread>(factory_, slot);
  } catch (const std::exception& e) {
    Log("slot " + std::to_string(slot) + ": no session could be started: " + e.what());
    s.thread.reset();
    socket->abort();
    socket->deleteLater();
    return;
  } catch (...) {
    Log("slot " + std::to_string(slot) + ": no session could be started");
    s.thread.reset();
    socket->abort();
    socket->deleteLater();
    return;
  }
  s.port = s.thread->TakePort();
  s.port->PortCOpen(slot);
  s.socket = socket;
  s.telnet = TelnetFilter();
  s.inFlight = std::make_shared<std::atomic<std::size_t>>(0);
  s.closeDeadline.reset();
  s.clientGone = false;

  socket->setReadBufferSize(kSocketReadBuffer);
  connect(socket, &QTcpSocket::readyRead, this,
          [this, slot, socket] { OnReadyRead(slot, socket); });
  connect(socket, &QAbstractSocket::disconnected, this,
          [this, slot, socket] { OnClientGone(slot, socket); });
  connect(socket, &QAbstractSocket::errorOccurred, this,
          [this, slot, socket](QAbstractSocket::SocketError) { OnClientGone(slot, socket); });
  SlotChanged(slot);

  // The client may have typed, or given up, while it waited for a slot.
  if (socket->bytesAvailable() > 0) OnReadyRead(slot, socket);
  if (socket->state() != QAbstractSocket::ConnectedState) OnClientGone(slot, socket);
}

std::size_t RelayServer::InputBacklog(const Slot& s) const {
  return s.inFlight->load() + s.port->TypeAhead().size();
}

void RelayServer::OnReadyRead(int slot, QTcpSocket* socket) {
  Slot* s = Find(slot, socket);
  if (!s || s->clientGone) {
    socket->readAll();  // nobody to give it to
    return;
  }
  // A port that is not reading keeps the client waiting; the pump looks again each tick.
  if (InputBacklog(*s) >= kMaxPendingInput) return;
  const QByteArray bytes = socket->readAll();
  std::string answer;
  std::string text = s->telnet.Receive(
      std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), &answer);
  if (!answer.empty()) socket->write(answer.data(), static_cast<qint64>(answer.size()));
  if (text.empty()) return;
  s->inFlight->fetch_add(text.size());
  s->thread->Post([core = s->port->shared_from_this(), inFlight = s->inFlight,
                   text = std::move(text)]() mutable {
    inFlight->fetch_sub(text.size());
    // This input may start a program that waits for more, in a loop nested inside this
    // call. The thread's dispatcher lets such a loop see calls queued before this one
    // only after a wake-up, so that input already here is not left waiting.
    QThread::currentThread()->eventDispatcher()->wakeUp();
    try {
      core->PortInput(std::move(text));
    } catch (...) {
      // A failure inside the session is the session's; the thread's event loop goes on.
    }
  });
}

void RelayServer::OnClientGone(int slot, QTcpSocket* socket) {
  Slot* s = Find(slot, socket);
  if (!s || s->clientGone) return;
  s->clientGone = true;
  socket->disconnect(this);
  socket->abort();
  PortCClose(slot);
  if (s->port) SlotChanged(slot);  // tearing down; a released slot has told already
}

void RelayServer::Write(Slot& s, std::string_view text) {
  const std::string wire = s.telnet.Send(text);
  s.socket->write(wire.data(), static_cast<qint64>(wire.size()));
}

void RelayServer::OnTick() {
  for (int i = 1; i <= SlotCount(); ++i) {
    Slot& s = slots_[static_cast<std::size_t>(i - 1)];
    if (!s.port) continue;
    if (s.socket && !s.clientGone && s.socket->state() == QAbstractSocket::ConnectedState) {
      if (s.socket->bytesToWrite() > kMaxUnsentOutput) {
        Log("slot " + std::to_string(i) + ": the client stopped reading; connection dropped");
        OnClientGone(i, s.socket);
      } else {
        std::string out = s.port->Response();
        const std::size_t marker = out.find(kPortDisconnect);
        if (marker != std::string::npos) {
          // The session hangs up: what it wrote before the marker still goes out.
          out.resize(marker);
          if (!out.empty()) Write(s, out);
          CloseGracefully(s.socket);
          s.socket = nullptr;
          Release(i);
          continue;
        }
        if (!out.empty()) Write(s, out);
        if (s.socket->bytesAvailable() > 0) OnReadyRead(i, s.socket);
      }
    }
    if (s.port && s.closeDeadline) {
      s.port->Response();  // output for a client that has gone is dropped
      if (!EndsInVerb(s.port->State()) || SteadyClock::now() > *s.closeDeadline) Release(i);
    }
  }
}

void RelayServer::Release(int slot) {
  Slot& s = slots_[static_cast<std::size_t>(slot - 1)];
  if (!s.port && !s.thread && !s.socket) return;
  if (s.socket) {
    CloseGracefully(s.socket);
    s.socket = nullptr;
  }
  s.closeDeadline.reset();
  s.clientGone = false;
  s.inFlight.reset();
  s.port.reset();  // the session ends on its own thread
  if (s.thread) {
    const PortThread* raw = s.thread.get();
    connect(s.thread->Thread(), &QThread::finished, this, [this, raw] { ReapThread(raw); });
    s.thread->Retire();
    retired_.push_back(std::move(s.thread));
  }
  SlotChanged(slot);
  AcceptPending();
}

void RelayServer::ReapThread(const PortThread* thread) {
  const auto it = std::find_if(retired_.begin(), retired_.end(),
                               [thread](const auto& t) { return t.get() == thread; });
  if (it == retired_.end()) return;
  (*it)->Wait(ULONG_MAX);
  retired_.erase(it);
}

bool RelayServer::WaitForPortThreads(int ms) {
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(ms);
  for (auto it = retired_.begin(); it != retired_.end();) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::max(deadline - SteadyClock::now(), SteadyClock::duration::zero()));
    if ((*it)->Wait(static_cast<unsigned long>(left.count()))) {
      it = retired_.erase(it);
    } else {
      ++it;
    }
  }
  return retired_.empty();
}

void RelayServer::Status(const std::string& text) {
  if (statusHandler_) statusHandler_(text);
}

void RelayServer::Log(const std::string& text) {
  if (logHandler_) logHandler_(text);
}

void RelayServer::SlotChanged(int slot) {
  if (slotHandler_) slotHandler_(slot);
}

}  // namespace orvik::console
