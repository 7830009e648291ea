#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <thread>

#include "event_wait.h"
#include "port_access.h"
#include "port_test_support.h"
#include "vb_error.h"

namespace orvik {
namespace {

using namespace port_access;

using namespace std::chrono_literals;

class PortTerminalTest : public test_support::PortTest {
 protected:
  // Puts the session where a program runs, so input only waits for IInput.
  void RunningProgram() { port_->SetMsState("VERB"); }
  // Calls `fn` from the event loop after `ms`, as a host or timer would while the port waits.
  static void Later(int ms, std::function<void()> fn) {
    QTimer::singleShot(ms, QCoreApplication::instance(), std::move(fn));
  }
};

// --- The output sink ----------------------------------------------------------------------

TEST_F(PortTerminalTest, SynchronousOutputCollectsUntilTaken) {
  port_->CRT("one");
  port_->CRT("two", false);
  EXPECT_EQ(port_->Response(), "one\r\ntwo");
  EXPECT_EQ(port_->Response(), "");
}

TEST_F(PortTerminalTest, AsynchronousOutputGoesToTheHandler) {
  std::vector<std::string> got;
  port_->SetResponseHandler([&](std::string& s) {
    got.push_back(s);
    s = "changed by the host";
  });
  port_->Echo(Variant(true));
  RunningProgram();
  EXPECT_TRUE(port_->RequestA("x"));
  port_->CRT("out");
  EXPECT_EQ(got, (std::vector<std::string>{"x", "out\r\n"}));
  EXPECT_EQ(port_->Response(), "");
}

TEST_F(PortTerminalTest, PortInputKeepsOutputForPolling) {
  bool called = false;
  port_->SetResponseHandler([&](std::string&) { called = true; });
  port_->Echo(Variant("on"));
  RunningProgram();
  port_->PortInput("abc");
  EXPECT_FALSE(called);
  EXPECT_EQ(port_->Response(), "abc");
  EXPECT_EQ(port_->TypeAhead(), "abc");
}

TEST_F(PortTerminalTest, PortInputFromAnotherThreadRunsOnThePortsThread) {
  RunningProgram();
  std::thread host([p = port_] { p->PortInput("typed\r"); });
  host.join();
  EXPECT_EQ(port_->TypeAhead(), "");  // queued, not yet delivered
  Variant s;
  EXPECT_TRUE(port_->IInput(s));
  EXPECT_EQ(s.ToString(), "typed");
}

TEST_F(PortTerminalTest, EchoSwitch) {
  port_->Echo(Variant(" off "));
  EXPECT_FALSE(Parts(*port_).terminal.EchoOn());
  port_->Echo(Variant(""));
  EXPECT_TRUE(Parts(*port_).terminal.EchoOn());
  port_->Echo(Variant(0));
  EXPECT_FALSE(Parts(*port_).terminal.EchoOn());
  port_->Echo(Variant(-1));
  EXPECT_TRUE(Parts(*port_).terminal.EchoOn());
  EXPECT_THROW(port_->Echo(Variant::Null()), VbError);
  EXPECT_TRUE(Parts(*port_).terminal.EchoOn());
}

TEST_F(PortTerminalTest, EchoRulesAndFiling) {
  port_->Echo(Variant(true));
  RunningProgram();
  port_->PortInput("ab");
  port_->PortInput("\b");
  port_->PortInput("\r\n");
  EXPECT_EQ(port_->Response(), "ab\b \b\r\n");
  EXPECT_EQ(port_->TypeAhead(), "a\r");
  Variant s;
  port_->IInput(s);
  port_->PortInput("\b");  // nothing to rub out: nothing echoed or filed
  EXPECT_EQ(port_->Response(), "");
  EXPECT_EQ(port_->TypeAhead(), "");
}

// --- IInput -------------------------------------------------------------------------------

TEST_F(PortTerminalTest, IInputReadsALineTypedWhileItWaits) {
  RunningProgram();
  Later(10, [&] { port_->PortInput("ab"); });
  Later(20, [&] { port_->PortInput("c\r\nnext"); });
  Variant s;
  EXPECT_TRUE(port_->IInput(s));
  EXPECT_EQ(s.ToString(), "abc");
  EXPECT_EQ(port_->TypeAhead(), "next");
  EXPECT_FALSE(port_->InputPending());
}

TEST_F(PortTerminalTest, IInputLengthRules) {
  RunningProgram();
  port_->PortInput("abcdef");
  Variant s;
  EXPECT_TRUE(port_->IInput(s, 4));
  EXPECT_EQ(s.ToString(), "abcd");
  port_->PortInput("x\r");
  EXPECT_TRUE(port_->IInput(s, 3));  // a CR ends the read before the length
  EXPECT_EQ(s.ToString(), "efx");
  port_->PortInput("longer than three\r");
  EXPECT_TRUE(port_->IInput(s, 3));  // a whole line wins over the length
  EXPECT_EQ(s.ToString(), "longer than three");
  port_->PortInput("no line yet");
  EXPECT_TRUE(port_->IInput(s, 3));
  EXPECT_EQ(s.ToString(), "no ");
}

TEST_F(PortTerminalTest, IInputOfOneCharacterWantsNoNewLine) {
  RunningProgram();
  bool sawNoNewLine = false;
  Later(10, [&] {
    sawNoNewLine = port_->NoNewLine() && port_->InputPending();
    port_->PortInput("yz");
  });
  Variant s;
  EXPECT_TRUE(port_->IInput(s, 0));
  EXPECT_EQ(s.ToString(), "y");
  EXPECT_TRUE(sawNoNewLine);
  EXPECT_FALSE(port_->NoNewLine());
}

TEST_F(PortTerminalTest, IInputThatMustNotWait) {
  RunningProgram();
  Variant s;
  EXPECT_FALSE(port_->IInput(s, -1, true, 0));
  EXPECT_EQ(port_->ErrorDetail(), "[981] IInput \"timeFOR = 0\" finds no waiting characters.");
  // Part of a line typed ahead: returned at once instead of waiting for ever.
  port_->PortInput("par");
  EXPECT_FALSE(port_->IInput(s, -1, true, 0));
  EXPECT_EQ(s.ToString(), "par");
  EXPECT_EQ(port_->ErrorDetail(), "[980] IInput \"FOR\" Timeout at 0 sec.");
  EXPECT_EQ(port_->TypeAhead(), "");
  port_->PortInput("whole\r");
  EXPECT_TRUE(port_->IInput(s, -1, true, 0));
  EXPECT_EQ(s.ToString(), "whole");
}

TEST_F(PortTerminalTest, IInputTimesOut) {
  RunningProgram();
  Later(20, [&] { port_->PortInput("pa"); });
  Variant s;
  const auto start = SteadyClock::now();
  EXPECT_FALSE(port_->IInput(s, -1, true, 2.5));
  EXPECT_GE(SteadyClock::now() - start, 250ms);
  EXPECT_EQ(s.ToString(), "pa");
  EXPECT_EQ(port_->ErrorDetail(), "[980] IInput \"FOR\" Timeout at 0.25 sec.");
  EXPECT_EQ(port_->TypeAhead(), "");
}

TEST_F(PortTerminalTest, PortCCloseStopsAWaitingRead) {
  RunningProgram();
  port_->PortInput("kept");
  port_->PortCClose();  // nobody waits: nothing happens
  EXPECT_EQ(port_->TypeAhead(), "kept");
  EXPECT_EQ(port_->Response(), "");
  Later(10, [&] { port_->PortCClose(); });
  Variant s;
  EXPECT_TRUE(port_->IInput(s));
  EXPECT_EQ(s.ToString(), "<&PORT_DISCONNECT>");
  EXPECT_EQ(port_->TypeAhead(), "");
}

TEST_F(PortTerminalTest, HostReleaseWhileAProgramWaits) {
  RunningProgram();
  std::weak_ptr<Port> watch = port_;
  Port* raw = port_.get();
  Later(10, [&] { port_.reset(); });
  Variant s;
  EXPECT_TRUE(raw->IInput(s));
  EXPECT_EQ(s.ToString(), "<&PORT_DISCONNECT>");
  // The port outlived the release while its call ran; it goes now that the call returned.
  EXPECT_TRUE(watch.expired());
}

TEST_F(PortTerminalTest, ConsoleOperationsFromAnotherThread) {
  RunningProgram();
  std::atomic<bool> stop{false};
  std::string state;
  std::thread console([&, p = port_] {
    state = p->State();
    while (!p->InputPending()) std::this_thread::sleep_for(1ms);
    p->PortCClose();
  });
  Variant s;
  EXPECT_TRUE(port_->IInput(s));
  console.join();
  EXPECT_EQ(state, "VERB");
  EXPECT_EQ(s.ToString(), "<&PORT_DISCONNECT>");
}

TEST_F(PortTerminalTest, AWaitInsideAQueuedCallSeesInputQueuedBehindIt) {
  RunningProgram();
  Variant s;
  bool done = false;
  // As a console delivers input: each piece is a call queued to the port's thread. The first
  // starts a read that waits; the second, already queued, must reach it.
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [&] {
        port_->IInput(s, -1, true, 50);
        done = true;
      },
      Qt::QueuedConnection);
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [&] { port_->PortInput("queued\r"); }, Qt::QueuedConnection);
  const auto start = SteadyClock::now();
  PumpEventsUntil(start + std::chrono::seconds(10), [&] { return done; });
  EXPECT_TRUE(done);
  EXPECT_EQ(s.ToString(), "queued");
  EXPECT_LT(SteadyClock::now() - start, std::chrono::seconds(2));
}

// --- Execute ------------------------------------------------------------------------------

TEST_F(PortTerminalTest, ExecuteAddsCrLfUnlessTheCommandEndsInNoCr) {
  port_->Echo(Variant(true));
  RunningProgram();
  EXPECT_EQ(port_->Execute("WHO"), "WHO\r\n");
  EXPECT_EQ(port_->TypeAhead(), "WHO\r");
  Variant s;
  port_->IInput(s);
  EXPECT_EQ(port_->Execute("ab{nocr}  "), "ab");
  EXPECT_EQ(port_->TypeAhead(), "ab");  // the marker is not input
  port_->IInput(s, 2);
  EXPECT_EQ(port_->Execute("a{NOCR}b"), "a{NOCR}b\r\n");
}

TEST_F(PortTerminalTest, ExecuteWaitsForItsEndMarker) {
  RunningProgram();
  Later(10, [&] { port_->CRT("partial", false); });
  Later(30, [&] { port_->CRT("rest:", false); });
  EXPECT_EQ(port_->Execute("go", ":"), "partialrest:");
  EXPECT_EQ(port_->ErrorDetail(), "");
}

TEST_F(PortTerminalTest, ExecuteEndMarkerCompareMethod) {
  RunningProgram();
  Later(10, [&] { port_->CRT("done</tx>", false); });
  port_->SetExecuteTimeout(0.3);
  EXPECT_EQ(port_->Execute("go", "</TX>"), "ERROR: TIMEOUT");
  port_->Response();
  port_->SetExecuteCompareMethod(1);
  Later(10, [&] { port_->CRT("done</tx>", false); });
  EXPECT_EQ(port_->Execute("go", "</TX>"), "done</tx>");
}

TEST_F(PortTerminalTest, ExecuteTimesOut) {
  RunningProgram();
  port_->SetExecuteTimeout(0.2);
  const auto start = SteadyClock::now();
  EXPECT_EQ(port_->Execute("go", "never"), "ERROR: TIMEOUT");
  EXPECT_GE(SteadyClock::now() - start, 200ms);
  EXPECT_EQ(port_->ErrorDetail(), "[960] Timeout on Execute");
}

TEST_F(PortTerminalTest, ExecuteLeavesTheHostsOutputAlone) {
  std::vector<std::string> events;
  port_->SetResponseHandler([&](std::string& s) { events.push_back(s); });
  RunningProgram();
  port_->RequestA("");  // an asynchronous host
  Later(10, [&] { port_->CRT("answer"); });
  EXPECT_EQ(port_->Execute("q", "answer"), "answer\r\n");
  // Output after Execute still reaches the asynchronous host.
  port_->CRT("later");
  EXPECT_EQ(events, std::vector<std::string>{"later\r\n"});
}

TEST_F(PortTerminalTest, ExecuteDoesNotSwallowOutputAwaitingAPollingHost) {
  RunningProgram();
  port_->CRT("pending for the console");
  Later(10, [&] { port_->CRT(":", false); });
  EXPECT_EQ(port_->Execute("x", ":"), ":");
  EXPECT_EQ(port_->Response(), "pending for the console\r\n");
}

TEST_F(PortTerminalTest, ExecuteTXRemovesTheFraming) {
  RunningProgram();
  Later(10, [&] { port_->CRT("noise<TX>data</TX>:", false); });
  EXPECT_EQ(port_->ExecuteTX("go"), "data");
  Later(10, [&] { port_->CRT("data</TX>", false); });
  EXPECT_EQ(port_->ExecuteTX("go"), "data");
  // A "<TX>" after the last "</TX>" opens nothing.
  Later(10, [&] { port_->CRT("data</TX><TX>", false); });
  EXPECT_EQ(port_->ExecuteTX("go"), "data");
  port_->SetExecuteTimeout(0.1);
  EXPECT_EQ(port_->ExecuteTX("go"), "ERROR: TIMEOUT");
}

TEST_F(PortTerminalTest, NestedExecuteAnswersTheInnerCall) {
  RunningProgram();
  std::string inner;
  Later(10, [&] {
    Later(10, [&] { port_->CRT("inner!", false); });
    inner = port_->Execute("i", "!");
    port_->CRT("outer.", false);
  });
  EXPECT_EQ(port_->Execute("o", "."), "outer.");
  EXPECT_EQ(inner, "inner!");
}

}  // namespace
}  // namespace orvik
