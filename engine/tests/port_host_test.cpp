// The host adapter and the session's stop: output and news reach the host's thread, a
// released session frees its thread whatever it was waiting for, and the stop reaches
// everything that registered with it.

#include "port_host.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <mutex>
#include <thread>

#include "event_wait.h"
#include "port_access.h"
#include "port_test_support.h"
#include "recording_driver.h"
#include "stop_switch.h"

namespace orvik {
namespace {

using namespace port_access;

using namespace std::chrono_literals;

bool WaitUntil(const std::function<bool()>& done, int ms = 3000) {
  return PumpEventsUntil(SteadyClock::now() + std::chrono::milliseconds(ms), done);
}

class PortHostTest : public test_support::PortTest {
 protected:
  // A port that echoes and keeps its input to itself, on a thread of its own.
  std::unique_ptr<PortHost> Host() {
    const std::string home = home_.string();
    return std::make_unique<PortHost>([home] {
      auto port = Port::Create(home);
      port->Echo(Variant(true));
      port->SetMsState("ECHOING");
      return port;
    });
  }
};

TEST_F(PortHostTest, OutputReachesTheHostOnItsThreadOnceUntilTaken) {
  auto host = Host();
  int notices = 0;
  bool onHostThread = true;
  QObject::connect(host.get(), &PortHost::outputReady, host.get(), [&] {
    ++notices;
    onHostThread = onHostThread && QThread::currentThread() == qApp->thread();
  });
  host->Input("abc");
  ASSERT_TRUE(WaitUntil([&] { return notices > 0; }));
  EXPECT_EQ(host->TakeOutput(), "abc");
  EXPECT_EQ(host->TakeOutput(), "") << "each piece reaches the host once";

  notices = 0;
  host->Post([](Port& p) {
    for (int i = 0; i < 100; ++i) p.CRT("line " + std::to_string(i));
  });
  ASSERT_TRUE(WaitUntil([&] { return notices > 0; }));
  WaitUntil([] { return false; }, 100);
  EXPECT_EQ(notices, 1) << "a hundred small writes before the host takes them are one notice";
  const std::string out = host->TakeOutput();
  EXPECT_EQ(out.substr(0, 8), "line 0\r\n");
  EXPECT_EQ(out.substr(out.size() - 9), "line 99\r\n");
  EXPECT_TRUE(onHostThread);
}

TEST_F(PortHostTest, OutputWrittenBeforeLongWorkIsNotHeldBackByIt) {
  auto host = Host();
  bool told = false;
  QObject::connect(host.get(), &PortHost::outputReady, host.get(), [&] { told = true; });
  std::atomic<bool> workDone{false};
  host->Post([&workDone](Port& p) {
    p.CRT("Please wait");
    std::this_thread::sleep_for(1500ms);  // a long query: no event loop meanwhile
    workDone = true;
  });
  ASSERT_TRUE(WaitUntil([&] { return told; }));
  EXPECT_FALSE(workDone.load()) << "the host heard of the line while the work went on";
  EXPECT_EQ(host->TakeOutput(), "Please wait\r\n");
  WaitUntil([&] { return workDone.load(); });
}

TEST_F(PortHostTest, StateChangesAreToldTyped) {
  auto host = Host();
  std::vector<std::string> states;
  QObject::connect(host.get(), &PortHost::stateChanged, host.get(),
                   [&](const QByteArray& s, bool runs) {
                     states.push_back(s.toStdString() + (runs ? " runs" : ""));
                   });
  host->Post([](Port& p) {
    p.SetMsState("VERB");
    p.SetMsState("VERB");  // no change, no news
    p.SetMsState("TCL");
    p.SetMsState("REPORTVERB");
  });
  ASSERT_TRUE(WaitUntil([&] { return states.size() >= 3; }));
  WaitUntil([] { return false; }, 50);
  EXPECT_EQ(states, (std::vector<std::string>{"VERB runs", "TCL", "REPORTVERB runs"}));
  EXPECT_EQ(host->State(), "REPORTVERB");
  EXPECT_EQ(host->StateKind(), SessionState::kOther);
  EXPECT_TRUE(host->ProgramRuns());
}

TEST_F(PortHostTest, AHangUpIsToldAfterTheOutputBeforeItAndTheMarkerNeverArrives) {
  auto host = Host();
  std::vector<std::string> heard;
  std::string taken;
  QObject::connect(host.get(), &PortHost::outputReady, host.get(), [&] {
    heard.push_back("output");
    taken += host->TakeOutput();
  });
  QObject::connect(host.get(), &PortHost::hungUp, host.get(), [&] {
    heard.push_back("hung up");
    taken += host->TakeOutput();
  });
  host->Post([](Port& p) {
    p.CRT("Goodbye");
    p.CRT("<&PORT_", false);
    p.CRT("DISCONNECT>and after it", false);
    p.CRT("more");
  });
  ASSERT_TRUE(WaitUntil([&] { return host->HungUp(); }));
  WaitUntil([] { return false; }, 50);
  EXPECT_EQ(heard, (std::vector<std::string>{"output", "hung up"}));
  EXPECT_EQ(taken, "Goodbye\r\n");
}

TEST_F(PortHostTest, AReleasedSessionEndsItsThreadWhateverItWaitedFor) {
  // A program waiting for input, one held back by a host that takes no output, one asleep.
  const std::vector<std::function<void(Port&)>> programs = {
      [](Port& p) {
        Variant line;
        p.IInput(line);
      },
      [](Port& p) {
        for (int i = 0; i < 64; ++i) p.CRT(std::string(1024 * 1024, 'x'));
      },
      [](Port& p) { Parts(p).programs.Fns().Sleep(3600); },
  };
  for (std::size_t i = 0; i < programs.size(); ++i) {
    auto host = Host();
    host->Post([program = programs[i]](Port& p) {
      p.SetMsState("VERB");
      program(p);
    });
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(host->State(), "VERB") << "program " << i << " is still at it";
    const auto t0 = SteadyClock::now();
    host->Release();
    EXPECT_TRUE(host->Wait(2000)) << "program " << i;
    EXPECT_LT(SteadyClock::now() - t0, 1s) << "program " << i;
  }
}

TEST_F(PortHostTest, AFactoryThatFailsIsReportedToTheHost) {
  EXPECT_THROW(PortHost([]() -> std::shared_ptr<Port> { throw std::runtime_error("no home"); }),
               std::runtime_error);
  EXPECT_THROW(PortHost([] { return std::shared_ptr<Port>(); }), std::runtime_error);
  // Begun without waiting, the failure comes as news, and what was given meanwhile is dropped.
  auto host =
      PortHost::Begin([]() -> std::shared_ptr<Port> { throw std::runtime_error("no home"); });
  std::string why;
  QObject::connect(host.get(), &PortHost::failed, host.get(),
                   [&](const QByteArray& w) { why = w.toStdString(); });
  host->Input("lost");
  ASSERT_TRUE(WaitUntil([&] { return !why.empty(); }));
  EXPECT_EQ(why, "no home");
  EXPECT_FALSE(host->Ready());
  EXPECT_TRUE(host->Wait(2000));
}

// A host that does not wait for its port to be made: what it is given meanwhile reaches the
// port in order once it is; released before then, the port is dropped as soon as it is made.
TEST_F(PortHostTest, APortBegunWithoutWaitingKeepsWhatItIsGivenOrIsDroppedWhenReleased) {
  const std::string home = home_.string();
  std::atomic<bool> letGo{false};
  std::mutex mutex;
  std::weak_ptr<Port> made;
  const auto slowly = [&, home] {
    while (!letGo) std::this_thread::sleep_for(5ms);
    auto port = Port::Create(home);
    port->Echo(Variant(true));
    port->SetMsState("ECHOING");
    std::lock_guard lock(mutex);
    made = port;
    return port;
  };
  auto host = PortHost::Begin(slowly);
  std::vector<std::string> heard;
  QObject::connect(host.get(), &PortHost::ready, host.get(), [&] { heard.push_back("ready"); });
  QObject::connect(host.get(), &PortHost::outputReady, host.get(),
                   [&] { heard.push_back("output"); });
  host->Input("one ");
  host->Post([](Port& p) { p.CRT("two", false); });
  host->Input(" three");
  EXPECT_FALSE(host->Ready());
  EXPECT_EQ(host->TakeOutput(), "");
  EXPECT_EQ(host->InputBacklog(), 10u);
  letGo = true;
  ASSERT_TRUE(WaitUntil([&] { return !heard.empty() && heard.back() == "output"; }));
  EXPECT_EQ(heard.front(), "ready");
  std::string taken;
  WaitUntil([&] {
    taken += host->TakeOutput();
    return taken.size() >= 13;
  });
  EXPECT_EQ(taken, "one two three");

  letGo = false;
  auto early = PortHost::Begin(slowly);
  early->Input("for nobody");
  early->Release();
  letGo = true;
  EXPECT_TRUE(early->Wait(2000));
  std::lock_guard lock(mutex);
  EXPECT_TRUE(made.expired());
}

TEST_F(PortHostTest, TheStopReachesTheDriversThePortStillHasAndNoOther) {
  std::vector<RecordingDriver*> made;
  PortOptions options;
  options.home = home_.string();
  options.drivers = [&made](std::string_view kind) -> std::unique_ptr<Driver> {
    auto d = std::make_unique<RecordingDriver>(std::string(kind));
    made.push_back(d.get());
    return d;
  };
  auto port = Port::Create(std::move(options));
  ASSERT_TRUE(ConnectAccount(*port, "dm")) << port->ErrorDetail();
  ASSERT_TRUE(ConnectAccount(*port, "sales")) << port->ErrorDetail();
  ASSERT_EQ(made.size(), 2u);  // the system account's connection is kept, the other replaced
  auto* dm = made[0];
  auto* sales = made[1];
  EXPECT_FALSE(port->Aborted());
  std::thread host([&] { port->Abort(); });
  host.join();
  EXPECT_TRUE(port->Aborted());
  EXPECT_EQ(dm->Interrupts(), 1);
  EXPECT_EQ(sales->Interrupts(), 1);
  // A driver made after the stop is stopped as it is made.
  ASSERT_TRUE(ConnectAccount(*port, "other")) << port->ErrorDetail();
  EXPECT_EQ(made.back()->Interrupts(), 1);
  // Output of a stopped session goes nowhere; its input reads end at once.
  port->CRT("lost");
  EXPECT_EQ(port->Response(), "");
  Variant line;
  EXPECT_TRUE(port->IInput(line));
  EXPECT_EQ(line.ToString(), protocol::kPortDisconnect);
}

TEST(StopSwitchTest, InterruptsRegisteredOnesOnceAndWakesWaits) {
  auto stop = StopSwitch::Make();
  int a = 0, b = 0;
  auto ra = stop->Register([&] { ++a; });
  {
    auto rb = stop->Register([&] { ++b; });
  }  // gone before the throw
  std::atomic<bool> ready{false};
  std::thread waiter([&] {
    EXPECT_FALSE(stop->Wait(SteadyClock::time_point::max(), [&] { return ready.load(); }));
  });
  std::this_thread::sleep_for(50ms);
  stop->Throw();
  waiter.join();
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 0);
  int late = 0;
  auto rl = stop->Register([&] { ++late; });
  EXPECT_EQ(late, 1) << "registered after the throw: interrupted at once";

  auto other = StopSwitch::Make();
  std::thread notifier([&] {
    std::this_thread::sleep_for(50ms);
    ready = true;
    other->Notify();
  });
  EXPECT_TRUE(other->Wait(SteadyClock::now() + 5s, [&] { return ready.load(); }));
  notifier.join();
  EXPECT_FALSE(other->Wait(SteadyClock::now() + 20ms, [] { return false; })) << "deadline";
}

}  // namespace
}  // namespace orvik
