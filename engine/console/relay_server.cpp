#include "relay_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <QTcpSocket>
#include <algorithm>

#include "session_state.h"
#include "status_text.h"
#include "vb_error.h"

namespace orvik::console {
namespace {

// What Qt buffers of a connection's input; beyond it the client waits (TCP flow control).
constexpr qint64 kSocketReadBuffer = 64 * 1024;
// Input a port has not read yet; beyond it the relay stops reading from the client.
constexpr std::size_t kMaxPendingInput = 1024 * 1024;
// Output not yet taken by the client; beyond it the relay stops reading from the client too.
// A port holds its own output back well below this, but the answers the relay owes to
// telnet negotiation come from no port and would otherwise pile up without end.
constexpr qint64 kMaxUnsentOutput = 4 * 1024 * 1024;
// A connection silent this long is probed, every kKeepAliveInterval, and counted as gone when
// kKeepAliveProbes probes in a row go unanswered: a peer that vanished without a word (its
// machine or its network gone) otherwise holds its slot and its locks for ever.
constexpr int kKeepAliveIdleSeconds = 60;
constexpr int kKeepAliveIntervalSeconds = 10;
constexpr int kKeepAliveProbes = 6;
// How long a closed connection may take to deliver what was written to it.
constexpr int kCloseGraceMs = 5000;
// The shortest time between two takes of a slot's output while it keeps coming.
constexpr auto kTakeInterval = std::chrono::milliseconds(1);

constexpr std::string_view kNotRunning = "TCP Socket Server not running";
constexpr std::string_view kStandby = "STANDBY";
// What quits output that waits for a key.
constexpr char kQuitKey = '\x18';

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
// passed); the socket then deletes itself. It sends the relay nothing more. What fits goes to
// the system at once: a console that stops ends its event loop right after.
void CloseGracefully(QTcpSocket* socket) {
  socket->flush();
  socket->disconnect();
  QObject::connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
  QTimer::singleShot(kCloseGraceMs, socket, [socket] {
    socket->abort();
    socket->deleteLater();
  });
  socket->disconnectFromHost();
  if (socket->state() == QAbstractSocket::UnconnectedState) socket->deleteLater();
}

void WatchForDeadPeer(QTcpSocket* socket) {
  socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
  const int fd = static_cast<int>(socket->socketDescriptor());
  if (fd < 0) return;
  for (const auto& [option, value] : {std::pair{TCP_KEEPIDLE, kKeepAliveIdleSeconds},
                                      std::pair{TCP_KEEPINTVL, kKeepAliveIntervalSeconds},
                                      std::pair{TCP_KEEPCNT, kKeepAliveProbes}}) {
    ::setsockopt(fd, IPPROTO_TCP, option, &value, sizeof value);
  }
}

// Whether the peer has closed its side: seen without reading, for a connection whose input
// the relay holds back (Qt learns of the close only by reading, and stops reading when its
// buffer is full).
bool HungUp(const QTcpSocket* socket) {
  pollfd p{};
  p.fd = static_cast<int>(socket->socketDescriptor());
  p.events = POLLRDHUP;
  return p.fd >= 0 && ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

// A name a client typed, fit for a log line: control characters (the 8-bit ones too, which
// an operator's terminal may obey) cannot forge lines or drive the terminal.
std::string Printable(std::string_view text) {
  std::string out(text.substr(0, 64));
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || (u >= 127 && u < 160)) c = '?';
  }
  return out;
}

// The user's stop key (Ctrl-C, Ctrl-X), on the port's thread after what was typed before it:
// output that waits for a key is quit, as the session's own quit key does; a program that waits
// for input is asked to end, as when its client goes; anywhere else it does nothing.
void StopKey(Port& port) {
  if (AwaitsKey(port.StateKind())) {
    port.PortInput(std::string(1, kQuitKey));
  } else {
    port.PortCClose();
  }
}

std::string PeerOf(const QTcpSocket* socket) {
  QHostAddress address = socket->peerAddress();
  bool isV4 = false;
  const quint32 v4 = address.toIPv4Address(&isV4);
  if (isV4) address = QHostAddress(v4);
  return address.toString().toStdString() + ":" + std::to_string(socket->peerPort());
}

}  // namespace

RelayServer::RelayServer(std::shared_ptr<const Home> home, QObject* parent)
    : QObject(parent), home_(std::move(home)) {
  factory_ = [home = home_](std::int32_t) { return home->MakePort(); };
  wake_.setSingleShot(true);
  // Deadlines of seconds are met to the millisecond, not to a coarse timer's 5 per cent.
  wake_.setTimerType(Qt::PreciseTimer);
  connect(&wake_, &QTimer::timeout, this, [this] { OnWake(); });
  connect(&listener_, &QTcpServer::newConnection, this, [this] { AcceptPending(); });
}

RelayServer::RelayServer(const std::string& home, QObject* parent)
    : RelayServer(Home::Open(home), parent) {}

RelayServer::~RelayServer() {
  // Whoever listened may be going away too: a stop at this point tells nobody.
  statusHandler_ = nullptr;
  slotHandler_ = nullptr;
  logHandler_ = nullptr;
  if (running_) EngineStop();
  listener_.close();
  WaitForPortThreads(3000);
  // A thread whose code ignores every request to stop cannot be joined; it is left to the
  // end of the process rather than destroyed while it runs.
  for (auto& h : retired_) {
    if (!h->IsFinished()) (void)h.release();
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
  deadlines_.ClearAll();
  RemoveLocksOfSessionsGone();
  return true;
}

void RelayServer::RemoveLocksOfSessionsGone() {
  // Locks left by the sessions of a console that was killed would otherwise wait for the next
  // user who asks for those items.
  try {
    const std::int64_t removed = home_->RemoveStaleLocks();
    if (removed > 0)
      Log("removed " + std::to_string(removed) + " item lock(s) of sessions that are gone");
  } catch (...) {
    Log("item locks of sessions that are gone could not be looked for: " +
        CurrentExceptionMessage());
  }
}

bool RelayServer::EngineStop() {
  if (stopping_) return false;  // a stop is already under way
  stopping_ = true;
  Status(GeneralDateTime() + "\r\nStatus: Now issuing TCP/IP UserPort shutdown signal.\r\n" +
         "PLEASE WAIT: This is an up-to-5-second process.");
  // The stop decides every slot's end from here: no deadline of before meets it.
  wake_.stop();
  deadlines_.ClearAll();
  // Connections that arrive while stopped would otherwise wait for ever.
  listener_.close();
  for (QTcpSocket* socket : std::exchange(waiting_, {})) {
    socket->disconnect(this);
    CloseGracefully(socket);
  }
  for (int i = SlotCount(); i >= 1; --i) {
    Slot& s = At(i);
    if (s.state == SlotState::kFree) continue;
    const bool clientThere = s.state != SlotState::kGone;
    s.state = SlotState::kStopping;
    if (s.socket) {
      s.socket->disconnect(this);
      // The user is told the session ends, as his own client tells him when it does, rather
      // than left to find the connection gone.
      if (clientThere) Write(i, "\r\n" + std::string(kStopLine) + "\r\n");
      CloseGracefully(s.socket);
      s.socket = nullptr;
    }
    if (s.host->ProgramRuns()) {
      s.host->AskToStop();
      const auto start = SteadyClock::now();
      bool interrupted = false;
      PumpEventsUntil(start + kTeardownTimeout, [&s, &interrupted, start] {
        if (!s.host || !s.host->ProgramRuns()) return true;
        if (!interrupted && SteadyClock::now() >= start + kInterruptAfter) {
          s.host->Interrupt();
          interrupted = true;
        }
        return false;
      });
    }
    Release(i, "the server stopped");
  }
  slots_.clear();
  running_ = false;
  stopping_ = false;
  return true;
}

void RelayServer::PortCClose(int slot) {
  if (slot < 1 || slot > SlotCount()) return;
  Slot& s = At(slot);
  // Free, given time to stop already, or ended by the stop.
  if (s.state == SlotState::kFree || s.state == SlotState::kGone || s.state == SlotState::kStopping)
    return;
  if (!s.host->ProgramRuns()) {
    Release(slot, "the client went away");
    return;
  }
  s.host->AskToStop();
  s.state = SlotState::kGone;
  // What was for a client that is there no longer.
  for (Deadline kind : {Deadline::kInputRetry, Deadline::kStall, Deadline::kLogin})
    ClearDeadline(slot, kind);
  const auto now = SteadyClock::now();
  SetDeadline(slot, Deadline::kInterrupt, now + kInterruptAfter);
  SetDeadline(slot, Deadline::kCutOff, now + kTeardownTimeout);
}

bool RelayServer::SlotBusy(int slot) const { return StateOf(slot) != SlotState::kFree; }

SlotState RelayServer::StateOf(int slot) const {
  if (slot < 1 || slot > SlotCount()) return SlotState::kFree;
  return slots_[static_cast<std::size_t>(slot - 1)].state;
}

std::string RelayServer::SlotText(int slot) const {
  if (!running_ || slot < 1 || slot > SlotCount()) return std::string(kNotRunning);
  const Slot& s = slots_[static_cast<std::size_t>(slot - 1)];
  if (s.state == SlotState::kFree) return std::string(kStandby);
  const int state = s.socket ? StateNumber(s.socket->state()) : 0;
  return SocketStateName(state) + ", " + s.host->State();
}

bool RelayServer::Serves(int slot, const PortHost* host) const {
  return slot >= 1 && slot <= SlotCount() &&
         slots_[static_cast<std::size_t>(slot - 1)].host.get() == host;
}

RelayServer::Slot* RelayServer::Find(int slot, const QTcpSocket* socket) {
  if (slot < 1 || slot > SlotCount()) return nullptr;
  Slot& s = At(slot);
  return s.state != SlotState::kFree && s.socket == socket ? &s : nullptr;
}

int RelayServer::FirstFreeSlot() const {
  for (int i = 1; i <= SlotCount(); ++i) {
    if (StateOf(i) == SlotState::kFree) return i;
  }
  return 0;
}

void RelayServer::AcceptPending() {
  if (!running_ || stopping_) return;
  while (listener_.hasPendingConnections()) {
    const int slot = waiting_.empty() ? FirstFreeSlot() : 0;
    if (slot == 0 && static_cast<int>(waiting_.size()) >= kMaxWaiting) {
      // Enough are waiting already: further clients wait in the system's queue.
      listener_.pauseAccepting();
      paused_ = true;
      return;
    }
    QTcpSocket* socket = listener_.nextPendingConnection();
    if (!socket) return;
    if (slot == 0) {
      Wait(socket);
    } else {
      Open(slot, socket);
    }
  }
}

void RelayServer::Wait(QTcpSocket* socket) {
  socket->setParent(this);
  // What it types meanwhile stays in the socket, for its session; only so much of it.
  socket->setReadBufferSize(kSocketReadBuffer);
  WatchForDeadPeer(socket);
  waiting_.push_back(socket);
  const std::string note = "All " + std::to_string(SlotCount()) +
                           " sessions are busy: you will be connected when one is free.\r\n";
  socket->write(note.data(), static_cast<qint64>(note.size()));
  Log("a client from " + PeerOf(socket) + " waits for a free slot");
  const auto gone = [this, socket] {
    const auto it = std::find(waiting_.begin(), waiting_.end(), socket);
    if (it == waiting_.end()) return;
    waiting_.erase(it);
    socket->disconnect(this);
    socket->deleteLater();
    ServeWaiting();
  };
  connect(socket, &QAbstractSocket::disconnected, this, gone);
  connect(socket, &QAbstractSocket::errorOccurred, this, gone);
}

void RelayServer::ServeWaiting() {
  if (!running_ || stopping_) return;
  while (!waiting_.empty()) {
    const int slot = FirstFreeSlot();
    if (slot == 0) break;
    QTcpSocket* socket = waiting_.front();
    waiting_.pop_front();
    socket->disconnect(this);
    if (socket->state() != QAbstractSocket::ConnectedState) {
      socket->deleteLater();
      continue;
    }
    Open(slot, socket);
  }
  if (paused_ && static_cast<int>(waiting_.size()) < kMaxWaiting) {
    listener_.resumeAccepting();
    paused_ = false;
    AcceptPending();
  }
}

void RelayServer::Open(int slot, QTcpSocket* socket) {
  socket->setParent(this);
  const std::string peer = PeerOf(socket);
  const std::string address = LoginThrottle::KeyOf(socket->peerAddress());
  // The port is made on its own thread while the relay goes on serving the others: fifty
  // clients arriving together do not wait for each other's ports.
  std::unique_ptr<PortHost> host =
      PortHost::Begin([factory = factory_, slot, pace = throttle_->PaceOf(address)]() {
        std::shared_ptr<Port> port = factory(slot);
        if (port) {
          port->PortCOpen(slot);
          port->SetLoginPace(pace);
        }
        return port;
      });
  PortHost* h = host.get();
  connect(h, &PortHost::ready, this, [this, slot, h] {
    if (Serves(slot, h)) OnPortReady(slot);
  });
  connect(h, &PortHost::failed, this, [this, slot, h](const QByteArray& why) {
    if (Serves(slot, h)) OnPortFailed(slot, why.toStdString());
  });
  connect(h, &PortHost::outputReady, this, [this, slot, h] {
    if (Serves(slot, h)) OnOutputReady(slot);
  });
  connect(h, &PortHost::hungUp, this, [this, slot, h] {
    if (Serves(slot, h)) OnHungUp(slot);
  });
  connect(h, &PortHost::stateChanged, this, [this, slot, h](const QByteArray&, bool programRuns) {
    if (Serves(slot, h)) OnState(slot, programRuns);
  });
  // Heard even after the session ended: the last refused login is what ended it.
  connect(h, &PortHost::loginTried, this,
          [this, slot, h, peer, address](const QByteArray& user, bool accepted) {
            const std::string name = Printable(user.toStdString());
            if (accepted && Serves(slot, h)) OnLogin(slot, name);
            Log("slot " + std::to_string(slot) + " (" + peer + "): " +
                (accepted ? "login by " + name : "login refused for " + name + LoginsOf(address)));
          });
  connect(h, &PortHost::loginWaits, this,
          [this, slot, h, peer, address](const QByteArray& user, qint64 ms) {
            const std::chrono::milliseconds wait(ms);
            // A wait for the login's turn is no time the client took.
            const auto login =
                Serves(slot, h) ? deadlines_.At(slot, Deadline::kLogin) : std::nullopt;
            if (login) SetDeadline(slot, Deadline::kLogin, *login + wait);
            Log("slot " + std::to_string(slot) + " (" + peer + "): login for " +
                Printable(user.toStdString()) + " waits " +
                std::to_string(std::chrono::ceil<std::chrono::seconds>(wait).count()) + " s" +
                LoginsOf(address));
          });

  Slot& s = At(slot);
  s = Slot();
  s.state = SlotState::kConnected;
  s.host = std::move(host);
  s.socket = socket;
  s.peer = peer;
  s.lastDrain = SteadyClock::now();
  SetDeadline(slot, Deadline::kLogin, s.lastDrain + loginTimeout_);

  socket->setReadBufferSize(kSocketReadBuffer);
  WatchForDeadPeer(socket);
  // A prompt written right after an echo must not wait for the client's acknowledgement.
  socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  connect(socket, &QTcpSocket::readyRead, this,
          [this, slot, socket] { OnReadyRead(slot, socket); });
  connect(socket, &QTcpSocket::bytesWritten, this,
          [this, slot, socket] { OnBytesWritten(slot, socket); });
  connect(socket, &QAbstractSocket::disconnected, this,
          [this, slot, socket] { OnClientGone(slot, socket); });
  connect(socket, &QAbstractSocket::errorOccurred, this,
          [this, slot, socket](QAbstractSocket::SocketError) { OnClientGone(slot, socket); });
  LogSlot(slot, "connection");
  // The slot is shown once its port is made (OnPortReady): before, it has no state to show.
  // A client that gave up while it waited for a slot.
  if (socket->state() != QAbstractSocket::ConnectedState) OnClientGone(slot, socket);
}

void RelayServer::OnPortReady(int slot) {
  Slot& s = At(slot);
  if (s.state == SlotState::kStopping) return;
  SlotChanged(slot);
  // What the session wrote before anyone listened (a program its factory started), and
  // what the client typed while its port was made or it waited for a slot.
  if (s.host->HungUp()) {
    OnHungUp(slot);
    return;
  }
  OnOutput(slot);
  if (s.socket && s.socket->bytesAvailable() > 0) OnReadyRead(slot, s.socket);
}

void RelayServer::OnPortFailed(int slot, const std::string& why) {
  Slot& s = At(slot);
  Log("slot " + std::to_string(slot) + ": no session could be started for " + s.peer + ": " + why);
  if (s.socket) {
    s.socket->disconnect(this);
    s.socket->abort();
    s.socket->deleteLater();
    s.socket = nullptr;
  }
  Free(slot);
}

void RelayServer::OnReadyRead(int slot, QTcpSocket* socket) {
  Slot* s = Find(slot, socket);
  if (!s) {
    socket->readAll();  // nobody to give it to
    return;
  }
  // What comes before the port is made stays in the socket until it is (OnPortReady).
  if (!s->host->Ready()) return;
  // A port that is not reading, or a client that is not taking its output, keeps the client
  // waiting; the relay looks again a little later.
  if (s->host->InputBacklog() >= kMaxPendingInput || socket->bytesToWrite() >= kMaxUnsentOutput) {
    if (!deadlines_.At(slot, Deadline::kInputRetry))
      SetDeadline(slot, Deadline::kInputRetry, SteadyClock::now() + kInputRetryInterval);
    return;
  }
  ClearDeadline(slot, Deadline::kInputRetry);
  const QByteArray bytes = socket->readAll();
  std::string answer;
  const bool wasTelnet = s->telnet.IsTelnet();
  std::string text = s->telnet.Receive(
      std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), &answer);
  if (!answer.empty()) {
    socket->write(answer.data(), static_cast<qint64>(answer.size()));
    WatchForStall(slot);
  }
  std::vector<TerminalKeys::Piece> pieces = s->keys.Translate(text);
  if (s->telnet.ServerEchoes() != s->serverEchoes) {
    // The client no longer echoes what its user types: the session does, with stars at
    // the password prompt.
    s->serverEchoes = s->telnet.ServerEchoes();
    s->host->Post([on = s->serverEchoes](Port& port) { port.Echo(Variant(on)); });
  }
  // A telnet client has spoken, if only in commands: its user is greeted at once.
  if (!wasTelnet && s->telnet.IsTelnet() && pieces.empty()) pieces.push_back({"\r"});
  for (TerminalKeys::Piece& piece : pieces) {
    if (!piece.text.empty()) s->host->Input(std::move(piece.text));
    if (piece.stop) s->host->Post(StopKey);
  }
}

void RelayServer::OnOutputReady(int slot) {
  const Slot& s = At(slot);
  if (deadlines_.At(slot, Deadline::kTakeOutput)) return;  // a take is on its way
  const auto next = s.lastTake + kTakeInterval;
  if (SteadyClock::now() >= next) {
    OnOutput(slot);
    return;
  }
  // Output that keeps coming is taken in pieces of at least a millisecond's worth, so that
  // a long listing goes out in large writes; the first piece after a pause goes at once.
  SetDeadline(slot, Deadline::kTakeOutput, next);
}

void RelayServer::OnOutput(int slot) {
  Slot& s = At(slot);
  if (s.state == SlotState::kFree) return;
  s.lastTake = SteadyClock::now();
  const std::string out = s.host->TakeOutput();
  // Output for a client that has gone is dropped.
  if (!out.empty() && s.socket && s.state != SlotState::kGone) Write(slot, out);
}

void RelayServer::OnHungUp(int slot) {
  // What the session wrote before it hung up still goes out; and what it told before (a
  // refused login, its last state) has come already, ahead of this.
  ClearDeadline(slot, Deadline::kTakeOutput);
  OnOutput(slot);
  // A program whose client went ends by hanging up as often as not.
  Release(slot, StateOf(slot) == SlotState::kGone ? "its program ended" : "the session hung up");
}

void RelayServer::OnBytesWritten(int slot, QTcpSocket* socket) {
  Slot* s = Find(slot, socket);
  if (!s) return;
  s->lastDrain = SteadyClock::now();
  s->host->SetUndelivered(static_cast<std::size_t>(socket->bytesToWrite()));
}

void RelayServer::OnState(int slot, bool programRuns) {
  // A program given time to stop after its client went has stopped.
  if (StateOf(slot) == SlotState::kGone && !programRuns) Release(slot, "its program ended");
}

void RelayServer::OnLogin(int slot, const std::string& user) {
  Slot& s = At(slot);
  s.user = user;
  if (s.state != SlotState::kConnected) return;
  s.state = SlotState::kLoggedIn;
  ClearDeadline(slot, Deadline::kLogin);
}

void RelayServer::OnClientGone(int slot, QTcpSocket* socket) {
  Slot* s = Find(slot, socket);
  if (!s) return;
  s->socket = nullptr;
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();
  LogSlot(slot, "the client went away");
  PortCClose(slot);
  if (StateOf(slot) == SlotState::kGone) SlotChanged(slot);  // a released slot has told already
}

void RelayServer::Write(int slot, std::string_view text) {
  Slot& s = At(slot);
  const std::string wire = s.telnet.Send(text);
  s.socket->write(wire.data(), static_cast<qint64>(wire.size()));
  s.host->SetUndelivered(static_cast<std::size_t>(s.socket->bytesToWrite()));
  WatchForStall(slot);
}

void RelayServer::WatchForStall(int slot) {
  Slot& s = At(slot);
  if (stopping_ || !s.socket || s.socket->bytesToWrite() == 0) return;
  if (deadlines_.At(slot, Deadline::kStall)) return;  // watched already, since it last drained
  s.lastDrain = SteadyClock::now();
  SetDeadline(slot, Deadline::kStall, s.lastDrain + stallTimeout_);
}

// --- The loop ----------------------------------------------------------------------------

void RelayServer::SetDeadline(int slot, Deadline kind, SteadyClock::time_point when) {
  if (stopping_) return;
  const auto before = deadlines_.Next();
  deadlines_.Set(slot, kind, when);
  if (!before || when < *before) Sleep();
}

void RelayServer::ClearDeadline(int slot, Deadline kind) {
  // The sleep may end early for a deadline no longer there: it finds nothing due, and sleeps
  // again until the next. Rearming on every clear would cost more than that rare wake.
  deadlines_.Clear(slot, kind);
}

void RelayServer::Sleep() {
  const auto next = deadlines_.Next();
  if (!next) {
    wake_.stop();
    return;
  }
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
      std::max(*next - SteadyClock::now(), SteadyClock::duration::zero()));
  wake_.start(wait);
}

void RelayServer::OnWake() {
  while (const std::optional<SlotDeadlines::Due> due = deadlines_.PopDue(SteadyClock::now())) {
    Meet(*due);
  }
  if (!stopping_) Sleep();
}

void RelayServer::Meet(const SlotDeadlines::Due& due) {
  const int i = due.slot;
  if (StateOf(i) == SlotState::kFree) return;
  Slot& s = At(i);
  switch (due.kind) {
    case Deadline::kTakeOutput:
      OnOutput(i);
      break;
    case Deadline::kInputRetry:
      if (!s.socket) break;
      if (HungUp(s.socket)) {
        OnClientGone(i, s.socket);
      } else {
        OnReadyRead(i, s.socket);
      }
      break;
    case Deadline::kStall:
      Stalled(i);
      break;
    case Deadline::kLogin:
      LoginTimedOut(i);
      break;
    case Deadline::kInterrupt:
      // Asked, and still running: the program is stopped wherever it is.
      s.host->Interrupt();
      break;
    case Deadline::kCutOff:
      Release(i, "its program was cut off");
      break;
  }
}

void RelayServer::LoginTimedOut(int slot) {
  if (StateOf(slot) != SlotState::kConnected) return;
  Write(slot, "\r\nNo login within " +
                  std::to_string(
                      std::chrono::duration_cast<std::chrono::seconds>(loginTimeout_).count()) +
                  " seconds: the connection is closed.\r\n");
  Release(slot, "no login in time");
}

void RelayServer::Stalled(int slot) {
  Slot& s = At(slot);
  if (!s.socket || s.socket->bytesToWrite() == 0) return;  // it drained meanwhile
  const auto now = SteadyClock::now();
  if (now - s.lastDrain < stallTimeout_) {
    // It took some since: watched again from then.
    SetDeadline(slot, Deadline::kStall, s.lastDrain + stallTimeout_);
    return;
  }
  LogSlot(slot, "the client stopped reading");
  OnClientGone(slot, s.socket);
}

void RelayServer::Release(int slot, const std::string& why) {
  Slot& s = At(slot);
  if (s.state == SlotState::kFree) return;
  LogSlot(slot, "session ended: " + why);
  if (s.socket) {
    s.socket->disconnect(this);
    CloseGracefully(s.socket);
    s.socket = nullptr;
  }
  Free(slot);
}

void RelayServer::Free(int slot) {
  Slot& s = At(slot);
  deadlines_.ClearSlot(slot);
  if (s.host) {
    PortHost* h = s.host.get();
    disconnect(h, &PortHost::ready, this, nullptr);
    disconnect(h, &PortHost::failed, this, nullptr);
    disconnect(h, &PortHost::outputReady, this, nullptr);
    disconnect(h, &PortHost::hungUp, this, nullptr);
    disconnect(h, &PortHost::stateChanged, this, nullptr);
    h->Release();  // the session ends on its own thread
    const auto forget = [this, h] {
      // Not from inside the host's own signal.
      QMetaObject::invokeMethod(
          this,
          [this, h] {
            const auto it = std::find_if(retired_.begin(), retired_.end(),
                                         [h](const auto& r) { return r.get() == h; });
            if (it != retired_.end()) retired_.erase(it);
          },
          Qt::QueuedConnection);
    };
    connect(h, &PortHost::finished, this, forget);
    retired_.push_back(std::move(s.host));
    // A thread that ended before its port was made (or could be) has told so already.
    if (h->IsFinished()) forget();
  }
  s = Slot();
  SlotChanged(slot);
  ServeWaiting();
  AcceptPending();
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

std::string RelayServer::LoginsOf(const std::string& address) const {
  const LoginThrottle::Counts counts = throttle_->CountsOf(address);
  return " (" + std::to_string(counts.refused) + " refused and " + std::to_string(counts.waiting) +
         " waiting from " + address + ")";
}

void RelayServer::Status(const std::string& text) {
  if (statusHandler_) statusHandler_(text);
}

void RelayServer::Log(const std::string& text) {
  if (logHandler_) logHandler_(text);
}

void RelayServer::LogSlot(int slot, const std::string& text) {
  const Slot& s = At(slot);
  std::string line = "slot " + std::to_string(slot) + " (" + s.peer;
  if (!s.user.empty()) line += ", " + s.user;
  Log(line + "): " + text);
}

void RelayServer::SlotChanged(int slot) {
  if (slotHandler_) slotHandler_(slot);
}

}  // namespace orvik::console
