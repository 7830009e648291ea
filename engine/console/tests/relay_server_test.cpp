#include "relay_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTcpServer>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

#include "console_test_support.h"

namespace orvik::console {
namespace {

using test::Client;
using test::EchoPort;
using test::Journal;
using test::PortRunning;
using test::ReadLine;
using test::SecondsSince;
using test::WaitUntil;

using namespace std::chrono_literals;

const std::string kMarker(protocol::kPortDisconnect);

class RelayServerTest : public test::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    relay_ = std::make_unique<RelayServer>(Home());
    relay_->SetListenAddress(QHostAddress::LocalHost);
    relay_->SetPortFactory([this](std::int32_t slot) { return factory_(slot); });
    relay_->SetStatusHandler([this](const std::string& text) { statusTexts_.push_back(text); });
  }
  void TearDown() override {
    stopPrograms_ = true;
    relay_.reset();
    TempHome::TearDown();
  }

  void Start(int count) {
    ASSERT_TRUE(relay_->EngineStart(count, 0)) << relay_->LastError();
    port_ = relay_->ListeningPort();
  }
  std::unique_ptr<Client> Connect() {
    auto c = std::make_unique<Client>(port_);
    EXPECT_TRUE(c->WaitConnected());
    return c;
  }
  // A connection through the system's own calls, for what Qt's socket would not do; with a
  // receive window of `window` bytes when that is not 0. -1 when it cannot connect.
  int PlainSocket(int window = 0) const {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (window > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
      return fd;
    if (fd >= 0) ::close(fd);
    return -1;
  }
  bool WaitBusy(int slot, bool busy, int ms = 3000) {
    return WaitUntil([&] { return relay_->SlotBusy(slot) == busy; }, ms);
  }

  // A program that runs until told to stop and takes no notice of its input.
  void IgnoreInput(Port& p) {
    p.SetMsState("VERB");
    p.CRT("RUNNING");
    while (!stopPrograms_) PumpEventsUntil(SteadyClock::now() + 20ms);
    p.SetMsState("TCL");
  }

  std::unique_ptr<RelayServer> relay_;
  std::uint16_t port_ = 0;
  PortFactory factory_ = [this](std::int32_t) { return EchoPort(Home()); };
  std::atomic<bool> stopPrograms_{false};
  std::vector<std::string> statusTexts_;
  Journal journal_;
};

// --- Relaying -------------------------------------------------------------------------------

TEST_F(RelayServerTest, TextIsRelayedBothWaysForEachClient) {
  Start(3);
  auto a = Connect();
  auto b = Connect();
  auto c = Connect();
  ASSERT_TRUE(WaitBusy(3, true));
  a->Send("from a");
  b->Send("from b\r\nsecond line");
  c->Send("from c");
  EXPECT_TRUE(a->WaitFor("from a"));
  EXPECT_TRUE(b->WaitFor("second line"));
  EXPECT_TRUE(c->WaitFor("from c"));
  WaitUntil([] { return false; }, 150);
  EXPECT_EQ(a->Received(), "from a");
  EXPECT_EQ(b->Received(), "from b\r\nsecond line");
  EXPECT_EQ(c->Received(), "from c");
  EXPECT_EQ(relay_->SlotText(1), "CONNECTED, ECHOING");
}

// What a terminal sends reaches the session as typed text: every byte of data (Latin-1 and the
// marks), Enter as CR, Backspace as BS; never an escape sequence or a control key.
TEST_F(RelayServerTest, TypedTextReachesTheSessionButNotEscapeSequencesOrControlKeys) {
  Start(1);
  auto a = Connect();
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  a->Send(all);
  std::string expected = "\b\t\r\n\r\n";  // BS, Tab, LF, CR; LF and CR each end a line
  for (int c = 32; c < 127; ++c) expected.push_back(static_cast<char>(c));
  expected += '\b';  // DEL
  for (int c = 128; c < 256; ++c) expected.push_back(static_cast<char>(c));
  ASSERT_TRUE(a->WaitFor(expected)) << a->Received();
  a->Take();
  // Cursor and function keys with and without parameters, Alt with a key, bracketed paste, a
  // terminal's answer; one of them split across reads.
  a->Send(
      "line \x1b[A\x1b[1;5Dtwo\x1bOP\x1b[15~\x1b[200~pasted\x1b[201~\x1b"
      "b\x1b]0;title\x07\xfe\xfd\xfc\x1b");
  WaitUntil([] { return false; }, 50);
  a->Send("[3");
  WaitUntil([] { return false; }, 50);
  a->Send("~end\r");
  ASSERT_TRUE(a->WaitFor("end\r\n")) << a->Received();
  EXPECT_EQ(a->Received(),
            "line twopasted\xfe\xfd\xfc"
            "end\r\n");
}

TEST_F(RelayServerTest, ALineEndSplitAcrossReadsIsOneLineEnd) {
  Start(1);
  auto a = Connect();
  a->Send("one\r");
  ASSERT_TRUE(a->WaitFor("one\r\n"));
  a->Send("\ntwo\n\n");
  EXPECT_TRUE(a->WaitFor("two\r\n\r\n"));
  WaitUntil([] { return false; }, 100);
  EXPECT_EQ(a->Received(), "one\r\ntwo\r\n\r\n");
}

TEST_F(RelayServerTest, NewConnectionsTakeTheLowestFreeSlot) {
  factory_ = [this](std::int32_t) {
    return PortRunning(Home(), [](Port& p) {
      while (ReadLine(p) != kMarker) p.CRT("SLOT " + std::to_string(p.Slot()));
    });
  };
  Start(4);
  std::vector<std::unique_ptr<Client>> clients;
  for (int i = 1; i <= 3; ++i) {
    clients.push_back(Connect());
    clients.back()->Send("\r");
    EXPECT_TRUE(clients.back()->WaitFor("SLOT " + std::to_string(i) + "\r\n"))
        << clients.back()->Received();
  }
  clients[1]->Close();
  ASSERT_TRUE(WaitBusy(2, false));
  auto d = Connect();
  d->Send("\r");
  EXPECT_TRUE(d->WaitFor("SLOT 2\r\n"));
  EXPECT_FALSE(relay_->SlotBusy(4));
}

TEST_F(RelayServerTest, AFullServerKeepsTheNextClientWaitingUntilASlotFrees) {
  Start(2);
  auto a = Connect();
  auto b = Connect();
  ASSERT_TRUE(WaitBusy(2, true));
  Client c(port_);
  ASSERT_TRUE(c.WaitConnected());
  const std::string note = "All 2 sessions are busy: you will be connected when one is free.\r\n";
  ASSERT_TRUE(c.WaitFor(note)) << "told once that it waits";
  c.Send("typed while waiting");
  WaitUntil([] { return false; }, 300);
  EXPECT_EQ(c.Take(), note);

  a->Send(kMarker);  // the echo carries the marker: slot 1's session hangs up
  EXPECT_TRUE(a->WaitClosed());
  EXPECT_TRUE(c.WaitFor("typed while waiting"));
  EXPECT_TRUE(relay_->SlotBusy(1));
  c.Send(" and after");
  EXPECT_TRUE(c.WaitFor("and after"));
  b->Send("b still served");
  EXPECT_TRUE(b->WaitFor("b still served"));
}

TEST_F(RelayServerTest, TheDisconnectMarkerClosesTheConnectionAfterTheTextBeforeIt) {
  Start(2);
  auto a = Connect();
  a->Send("Goodbye\r\n" + kMarker + "not for the client");
  EXPECT_TRUE(a->WaitClosed());
  EXPECT_EQ(a->Received(), "Goodbye\r\n");
  EXPECT_TRUE(WaitBusy(1, false));
  EXPECT_EQ(relay_->SlotText(1), "STANDBY");
}

TEST_F(RelayServerTest, AMarkerWrittenInTwoPiecesIsStillFound) {
  factory_ = [this](std::int32_t) {
    return PortRunning(Home(), [](Port& p) {
      p.CRT("Bye\r\n<&PORT_", false);
      PumpEventsUntil(SteadyClock::now() + 30ms);  // the first piece has been sent on
      p.CRT("DISCONNECT>", false);
    });
  };
  Start(1);
  auto a = Connect();
  EXPECT_TRUE(a->WaitClosed());
  EXPECT_EQ(a->Received(), "Bye\r\n");
}

TEST_F(RelayServerTest, TextThatOnlyLooksLikeTheStartOfAMarkerIsSentAfterAll) {
  factory_ = [this](std::int32_t) {
    return PortRunning(Home(), [this](Port& p) {
      p.CRT("a <", false);
      while (!stopPrograms_) PumpEventsUntil(SteadyClock::now() + 20ms);
    });
  };
  Start(1);
  auto a = Connect();
  EXPECT_TRUE(a->WaitFor("a <"));
  EXPECT_FALSE(a->Closed());
}

TEST_F(RelayServerTest, TelnetNegotiationNeverReachesTheSession) {
  Start(1);
  auto a = Connect();
  a->Send(std::string("\xff\xfb\x18\xff\xfd\x01", 6) + "abc");
  EXPECT_TRUE(a->WaitFor("abc"));
  // The server offers to echo and to take each key as typed; the client's WILL 24 is
  // refused, its DO ECHO agreed.
  EXPECT_EQ(a->Take(), std::string("\xff\xfb\x01\xff\xfb\x03\xff\xfe\x18", 9) + "abc");
  a->Send(std::string("\xfe\xff\xff", 3));  // a mark, and the data byte 255
  ASSERT_TRUE(a->WaitBytes(3));
  EXPECT_EQ(a->Received(), std::string("\xfe\xff\xff", 3));
}

// --- Clients that go ------------------------------------------------------------------------

TEST_F(RelayServerTest, AClientLeavingWithoutAProgramFreesItsSlotAtOnce) {
  Start(1);
  auto a = Connect();
  ASSERT_TRUE(WaitBusy(1, true));
  const auto t0 = SteadyClock::now();
  a->Close();
  ASSERT_TRUE(WaitBusy(1, false));
  EXPECT_LT(SecondsSince(t0), 0.5);
}

TEST_F(RelayServerTest, AProgramIsAskedToStopAndItsSlotFreedWhenItEnds) {
  factory_ = [this](std::int32_t) {
    return PortRunning(Home(), [this](Port& p) {
      p.SetMsState("VERB");
      p.CRT("RUNNING");
      journal_.Add("got " + ReadLine(p));
      PumpEventsUntil(SteadyClock::now() + 300ms);  // tidying up
      p.SetMsState("TCL");
    });
  };
  Start(1);
  auto a = Connect();
  ASSERT_TRUE(a->WaitFor("RUNNING"));
  const auto t0 = SteadyClock::now();
  a->Close();
  EXPECT_TRUE(WaitUntil([&] { return relay_->SlotText(1) == "Closed, VERB"; }, 250));
  ASSERT_TRUE(WaitBusy(1, false));
  EXPECT_GE(SecondsSince(t0), 0.25);
  EXPECT_LT(SecondsSince(t0), 1.5);
  EXPECT_EQ(journal_.Lines(), std::vector<std::string>{"got " + kMarker});
  EXPECT_TRUE(relay_->WaitForPortThreads(2000));
}

TEST_F(RelayServerTest, AProgramThatIgnoresTheStopIsCutOffAfterTwoSeconds) {
  factory_ = [this](std::int32_t) {
    return PortRunning(Home(), [this](Port& p) { IgnoreInput(p); });
  };
  Start(2);
  auto a = Connect();
  ASSERT_TRUE(a->WaitFor("RUNNING"));
  const auto t0 = SteadyClock::now();
  a->Close();
  ASSERT_TRUE(WaitBusy(1, false, 4000));
  EXPECT_GE(SecondsSince(t0), 1.95);
  EXPECT_LT(SecondsSince(t0), 2.7);
  // The released session's thread ends when its program finally does.
  EXPECT_FALSE(relay_->WaitForPortThreads(100));
  stopPrograms_ = true;
  EXPECT_TRUE(relay_->WaitForPortThreads(2000));
}

TEST_F(RelayServerTest, ASessionThatCannotStartClosesItsConnectionAndFreesTheSlot) {
  std::atomic<int> made{0};
  factory_ = [&](std::int32_t) -> std::shared_ptr<Port> {
    if (made++ == 0) throw std::runtime_error("no datastore");
    return EchoPort(Home());
  };
  std::vector<std::string> log;
  relay_->SetLogHandler([&](const std::string& text) { log.push_back(text); });
  Start(1);
  Client a(port_);
  EXPECT_TRUE(a.WaitClosed());
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.back().find("no session could be started"), std::string::npos) << log.back();
  EXPECT_NE(log.back().find("no datastore"), std::string::npos) << log.back();
  auto b = Connect();
  b->Send("second try");
  EXPECT_TRUE(b->WaitFor("second try"));
  EXPECT_TRUE(relay_->SlotBusy(1));
}

// --- Threads --------------------------------------------------------------------------------

// Ports are made on their own threads: one slow to make holds up neither the other clients nor
// what its own client types meanwhile, and a client that goes before it is made leaves
// nothing behind.
class PortMadeSlowly : public RelayServerTest {
 protected:
  void SetUp() override {
    RelayServerTest::SetUp();
    factory_ = [this](std::int32_t slot) {
      if (slot == 1) {
        const auto until = SteadyClock::now() + 5s;
        while (!letGo_ && SteadyClock::now() < until) std::this_thread::sleep_for(5ms);
        journal_.Add(letGo_ ? "made" : "gave up");
      }
      auto port = EchoPort(Home());
      std::lock_guard lock(mutex_);
      made_.push_back(port);
      return port;
    };
  }
  bool AllMadeGone() {
    std::lock_guard lock(mutex_);
    return std::all_of(made_.begin(), made_.end(), [](const auto& p) { return p.expired(); });
  }

  std::atomic<bool> letGo_{false};
  std::mutex mutex_;
  std::vector<std::weak_ptr<Port>> made_;
};

TEST_F(PortMadeSlowly, OthersAreServedMeanwhileAndWhatItsClientTypedAtOnceArrivesWhole) {
  Start(2);
  auto a = Connect();
  a->Send("typed at once\r\nand");
  ASSERT_TRUE(WaitBusy(1, true));
  a->Send(" more");
  auto b = Connect();
  b->Send("b is served");
  EXPECT_TRUE(b->WaitFor("b is served")) << "while slot 1's port is still being made";
  EXPECT_EQ(a->Received(), "");
  letGo_ = true;
  EXPECT_TRUE(a->WaitFor("typed at once\r\nand more")) << a->Received();
  a->Send(", then later");
  EXPECT_TRUE(a->WaitFor("and more, then later")) << a->Received();
  EXPECT_EQ(journal_.Lines(), std::vector<std::string>{"made"});
}

TEST_F(PortMadeSlowly, AClientGoneBeforeItsPortIsMadeLeavesNoSlotOrPortBehind) {
  Start(1);
  auto a = Connect();
  ASSERT_TRUE(WaitBusy(1, true));
  a->Send("typed and gone");
  a->Close();
  ASSERT_TRUE(WaitBusy(1, false));
  EXPECT_TRUE(journal_.Lines().empty()) << "the slot was freed while its port was being made";
  letGo_ = true;
  EXPECT_TRUE(relay_->WaitForPortThreads(3000));
  EXPECT_TRUE(AllMadeGone()) << "the port made for nobody was dropped";
  EXPECT_EQ(journal_.Lines(), std::vector<std::string>{"made"});
  auto b = Connect();
  b->Send("next");
  EXPECT_TRUE(b->WaitFor("next"));
}

TEST_F(RelayServerTest, ASlowSessionNeverHoldsUpAnother) {
  factory_ = [this](std::int32_t slot) -> std::shared_ptr<Port> {
    if (slot != 1) return EchoPort(Home());
    return PortRunning(Home(), [this](Port& p) {
      p.CRT("READY");
      ReadLine(p);
      journal_.Add("busy");
      std::this_thread::sleep_for(1500ms);  // a long query: the thread does nothing else
      p.CRT("DONE");
    });
  };
  Start(2);
  auto slow = Connect();
  ASSERT_TRUE(slow->WaitFor("READY"));
  auto quick = Connect();
  ASSERT_TRUE(WaitBusy(2, true));
  slow->Send("go\r");
  ASSERT_TRUE(WaitUntil([&] { return !journal_.Lines().empty(); }));
  const auto blocked = SteadyClock::now();
  for (int i = 0; i < 5; ++i) {
    const auto t0 = SteadyClock::now();
    const std::string text = "key" + std::to_string(i);
    quick->Send(text);
    ASSERT_TRUE(quick->WaitFor(text, 1000));
    EXPECT_LT(SecondsSince(t0), 0.3) << "round trip " << i;
  }
  EXPECT_LT(SecondsSince(blocked), 1.5) << "the round trips ran while the other port was busy";
  slow->Send("typed meanwhile");
  EXPECT_TRUE(slow->WaitFor("DONE", 3000));
}

TEST_F(RelayServerTest, FiftySessionsRunAtOnceAndAWaitingOneDelaysNoOther) {
  constexpr int kClients = 50;
  constexpr int kRounds = 5;
  factory_ = [this](std::int32_t) {
    return PortRunning(Home(), [](Port& p) {
      p.SetMsState("VERB");
      p.CRT("READY");
      for (;;) {
        const std::string line = ReadLine(p);
        if (line == kMarker) break;
        if (line == "BYE") {
          p.CRT("Goodbye");
          p.CRT(kMarker);
          break;
        }
        p.CRT("GOT " + line);
      }
      p.SetMsState("TCL");
    });
  };
  Start(kClients);
  std::vector<std::unique_ptr<Client>> clients;
  for (int i = 0; i < kClients; ++i) clients.push_back(Connect());
  for (auto& c : clients) ASSERT_TRUE(c->WaitFor("READY\r\n"));

  // The last client leaves its program waiting for input; the others work and leave.
  const auto t0 = SteadyClock::now();
  for (int round = 0; round < kRounds; ++round) {
    const std::string line = "line " + std::to_string(round);
    for (int i = 0; i + 1 < kClients; ++i) clients[i]->Send(line + "\r");
    for (int i = 0; i + 1 < kClients; ++i) {
      ASSERT_TRUE(clients[i]->WaitFor("GOT " + line + "\r\n")) << "client " << i;
    }
  }
  for (int i = 0; i + 1 < kClients; ++i) clients[i]->Send("BYE\r");
  for (int i = 0; i + 1 < kClients; ++i) {
    ASSERT_TRUE(clients[i]->WaitClosed()) << "client " << i;
    std::string expected = "READY\r\n";
    for (int round = 0; round < kRounds; ++round)
      expected += "GOT line " + std::to_string(round) + "\r\n";
    EXPECT_EQ(clients[i]->Received(), expected + "Goodbye\r\n");
  }
  EXPECT_LT(SecondsSince(t0), 5.0);
  EXPECT_TRUE(WaitUntil([&] {
    for (int s = 1; s < kClients; ++s)
      if (relay_->SlotBusy(s)) return false;
    return true;
  }));
  EXPECT_EQ(relay_->SlotText(kClients), "CONNECTED, VERB");
  EXPECT_FALSE(clients.back()->Closed());
}

// --- Bounds ---------------------------------------------------------------------------------

TEST_F(RelayServerTest, InputWaitsForABusySessionWithoutLoss) {
  constexpr std::size_t kChunk = 64 * 1024;
  constexpr std::size_t kTotal = 64 * kChunk;  // 4 MiB, well past what the relay holds back
  factory_ = [this](std::int32_t) {
    return PortRunning(Home(), [](Port& p) {
      std::this_thread::sleep_for(800ms);  // busy: the input piles up
      for (std::size_t got = 0; got < kTotal;) {
        Variant s;
        p.IInput(s, static_cast<std::int32_t>(kChunk));
        if (s.ToString() == kMarker) return;
        got += s.ToString().size();
        p.CRT(s.ToString(), false);
      }
    });
  };
  Start(1);
  auto a = Connect();
  std::string payload(kTotal, '\0');
  std::mt19937 random(7);
  for (char& c : payload) {
    do c = static_cast<char>(random() & 0xff);
    while (static_cast<unsigned char>(c) < 32 || c == '\x7f');  // text only
  }
  a->Send(payload);
  ASSERT_TRUE(a->WaitBytes(kTotal, 20000));
  EXPECT_TRUE(a->Received() == payload);
}

TEST_F(RelayServerTest, AClientThatHangsUpWhileItsInputIsHeldBackIsSeenToGo) {
  factory_ = [this](std::int32_t) {
    return PortRunning(Home(), [this](Port&) {
      while (!stopPrograms_) std::this_thread::sleep_for(10ms);  // reads nothing
    });
  };
  Start(1);
  const int fd = PlainSocket();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(WaitBusy(1, true));
  // More than the relay takes from a client whose session reads nothing (1 MiB for the
  // session and 64 KiB in the socket's buffer), by so little that the rest fits in the
  // smallest window the connection may have: the client's end of sending travels behind its
  // last bytes, and behind a full window it would never arrive.
  const std::string data(1024 * 1024 + 64 * 1024 + 32 * 1024, 'x');
  ASSERT_EQ(::send(fd, data.data(), data.size(), 0), static_cast<ssize_t>(data.size()));
  WaitUntil([] { return false; }, 300);
  ::shutdown(fd, SHUT_WR);
  EXPECT_TRUE(WaitBusy(1, false, 4000));
  ::close(fd);
}

TEST_F(RelayServerTest, AClientThatReadsNothingHoldsItsProgramBackAndIsDroppedInTheEnd) {
  std::atomic<int> written{0};
  factory_ = [this, &written](std::int32_t) {
    return PortRunning(Home(), [this, &written](Port& p) {
      const std::string block(1024 * 1024, 'x');
      for (int i = 0; i < 64 && !stopPrograms_; ++i) {
        p.CRT(block, false);
        ++written;
      }
    });
  };
  relay_->SetStallTimeout(1500ms);
  Start(1);
  // A plain socket that never reads, with a small receive window.
  const int fd = PlainSocket(16 * 1024);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(WaitBusy(1, true));
  WaitUntil([] { return false; }, 1000);
  EXPECT_LT(written.load(), 8) << "the program waits for its client instead of filling memory";
  EXPECT_TRUE(WaitBusy(1, false, 6000)) << "and a client that takes nothing is dropped";
  EXPECT_TRUE(relay_->WaitForPortThreads(3000));
  ::close(fd);
}

TEST_F(RelayServerTest, ANegotiationFloodFromAClientThatReadsNothingIsHeldBack) {
  relay_->SetStallTimeout(1500ms);
  Start(1);
  // Every offer is answered with a refusal; a client that reads none of them must not make
  // the relay keep them all.
  const int fd = PlainSocket(16 * 1024);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(WaitBusy(1, true));
  std::string offers;
  for (int i = 0; i < 20000; ++i) offers += "\xff\xfb\x18";
  constexpr std::size_t kEnough = 256u * 1024 * 1024;
  std::size_t sent = 0;
  for (int idle = 0; idle < 25 && sent < kEnough;) {
    const ssize_t n = ::send(fd, offers.data(), offers.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      idle = 0;
    } else {
      ++idle;
    }
    WaitUntil([] { return false; }, n > 0 ? 0 : 20);
  }
  EXPECT_LT(sent, 64u * 1024 * 1024) << "the relay stops reading from a client that takes nothing";
  EXPECT_TRUE(WaitBusy(1, false, 6000)) << "and drops it in the end";
  ::close(fd);
}

TEST_F(RelayServerTest, ConnectionsAreProbedSoThatAPeerThatVanishedIsFound) {
  Start(1);
  const int served = PlainSocket();
  const int waiting = PlainSocket();
  ASSERT_GE(served, 0);
  ASSERT_GE(waiting, 0);
  ASSERT_TRUE(WaitBusy(1, true));
  WaitUntil([] { return false; }, 200);
  // The relay's end of each connection is a descriptor of this process: the one whose peer
  // is the client's end.
  const auto relayEnd = [](int client) {
    sockaddr_storage mine{};
    socklen_t length = sizeof mine;
    ::getsockname(client, reinterpret_cast<sockaddr*>(&mine), &length);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
      const int fd = std::stoi(entry.path().filename().string());
      sockaddr_storage peer{};
      socklen_t peerLength = sizeof peer;
      if (fd != client && ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0 &&
          peerLength == length && std::memcmp(&peer, &mine, length) == 0)
        return fd;
    }
    return -1;
  };
  for (const int client : {served, waiting}) {
    const int fd = relayEnd(client);
    ASSERT_GE(fd, 0);
    int on = 0, idle = 0, interval = 0, probes = 0;
    socklen_t size = sizeof on;
    ::getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, &size);
    ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, &size);
    ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, &size);
    ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, &size);
    EXPECT_EQ(on, 1) << "a silent peer is probed";
    EXPECT_LE(idle + interval * probes, 300) << "and found gone within minutes, not hours";
  }
  ::close(served);
  ::close(waiting);
}

// --- Start and stop -------------------------------------------------------------------------

TEST_F(RelayServerTest, StopTearsDownFromTheLastSlotAndStartServesAgain) {
  factory_ = [this](std::int32_t) {
    return PortRunning(Home(), [this](Port& p) {
      p.SetMsState("VERB");
      p.CRT("RUNNING");
      ReadLine(p);
      journal_.Add(std::to_string(p.Slot()));
      p.SetMsState("TCL");
    });
  };
  Start(3);
  std::vector<std::unique_ptr<Client>> clients;
  for (int i = 0; i < 3; ++i) {
    clients.push_back(Connect());
    ASSERT_TRUE(clients.back()->WaitFor("RUNNING"));
  }
  const auto t0 = SteadyClock::now();
  EXPECT_TRUE(relay_->EngineStop());
  EXPECT_LT(SecondsSince(t0), 1.5);
  EXPECT_EQ(journal_.Lines(), (std::vector<std::string>{"3", "2", "1"}));
  ASSERT_EQ(statusTexts_.size(), 1u);
  EXPECT_NE(statusTexts_[0].find("\r\nStatus: Now issuing TCP/IP UserPort shutdown signal.\r\n"
                                 "PLEASE WAIT: This is an up-to-5-second process."),
            std::string::npos);
  // Each user is told, as the last thing before the connection goes.
  for (auto& c : clients) {
    EXPECT_TRUE(c->WaitClosed());
    EXPECT_TRUE(c->Received().ends_with("\r\nOrvikEngine disconnecting\r\n")) << c->Received();
  }
  EXPECT_FALSE(relay_->IsRunning());
  EXPECT_EQ(relay_->SlotText(1), "TCP Socket Server not running");

  Client refused(port_);
  EXPECT_FALSE(refused.WaitConnected(500)) << "nobody listens while stopped";

  factory_ = [this](std::int32_t) { return EchoPort(Home()); };
  ASSERT_TRUE(relay_->EngineStart(3, port_)) << relay_->LastError();
  auto again = Connect();
  again->Send("back");
  EXPECT_TRUE(again->WaitFor("back"));
}

TEST_F(RelayServerTest, AStopGivesAProgramThatIgnoresItTwoSeconds) {
  factory_ = [this](std::int32_t slot) -> std::shared_ptr<Port> {
    if (slot == 2) return EchoPort(Home());
    return PortRunning(Home(), [this](Port& p) { IgnoreInput(p); });
  };
  Start(2);
  auto a = Connect();
  ASSERT_TRUE(a->WaitFor("RUNNING"));
  auto b = Connect();
  ASSERT_TRUE(WaitBusy(2, true));
  const auto t0 = SteadyClock::now();
  EXPECT_TRUE(relay_->EngineStop());
  EXPECT_GE(SecondsSince(t0), 1.9);
  EXPECT_LT(SecondsSince(t0), 3.0);
  EXPECT_TRUE(b->WaitClosed());
  EXPECT_TRUE(a->WaitClosed());
}

TEST_F(RelayServerTest, AStartOnABusyPortFailsAndCanBeRepeated) {
  QTcpServer other;
  ASSERT_TRUE(other.listen(QHostAddress::LocalHost, 0));
  const std::uint16_t busy = other.serverPort();
  EXPECT_FALSE(relay_->EngineStart(2, busy));
  EXPECT_NE(relay_->LastError().find(std::to_string(busy)), std::string::npos);
  EXPECT_FALSE(relay_->IsRunning());
  other.close();
  ASSERT_TRUE(relay_->EngineStart(2, busy)) << relay_->LastError();
  EXPECT_FALSE(relay_->EngineStart(2, busy)) << "already running";
  EXPECT_TRUE(relay_->IsRunning());
  port_ = busy;
  auto a = Connect();
  a->Send("ok");
  EXPECT_TRUE(a->WaitFor("ok"));
}

TEST_F(RelayServerTest, SlotCountsOutsideOneToFiftyAreRefused) {
  EXPECT_FALSE(relay_->EngineStart(0, 0));
  EXPECT_FALSE(relay_->EngineStart(51, 0));
  EXPECT_FALSE(relay_->IsRunning());
}

// --- Names ----------------------------------------------------------------------------------

TEST(RelayNamesTest, SocketStatesHaveTheirDisplayNames) {
  const char* names[] = {"Closed",     "Standby",    "LISTEN",    "Connecting", "Connecting",
                         "Connecting", "Connecting", "CONNECTED", "Closing",    "ERROR"};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(RelayServer::SocketStateName(i), names[i]) << i;
  EXPECT_EQ(RelayServer::SocketStateName(10), "");
  EXPECT_EQ(RelayServer::SocketStateName(-1), "");
}

}  // namespace
}  // namespace orvik::console
