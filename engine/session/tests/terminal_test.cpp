// The terminal alone, without a port: its state as hosts read it, where output goes, how
// typed input is filed, and the waits of a reading program and of Execute.

#include "terminal.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <thread>

#include "event_wait.h"
#include "screen_markup.h"

namespace orvik {
namespace {

using namespace std::chrono_literals;

class TerminalTest : public ::testing::Test {
 protected:
  // Runs `fn` from the event loop after `ms`, as a host's input or a timer would.
  static void Later(int ms, std::function<void()> fn) {
    QTimer::singleShot(ms, QCoreApplication::instance(), std::move(fn));
  }

  std::shared_ptr<StopSwitch> stop_ = StopSwitch::Make();
  Terminal terminal_{stop_};
};

TEST(SessionStateTest, NamesAreTheTablesAndAnyOtherNameIsKeptAsWritten) {
  for (SessionState s :
       {SessionState::kStartup, SessionState::kUserPrompt, SessionState::kPasswordPrompt,
        SessionState::kTcl, SessionState::kVerb, SessionState::kTclPage,
        SessionState::kTclQueryVbGui, SessionState::kTclQueryShow, SessionState::kErrorExit}) {
    EXPECT_EQ(StateNamed(StateName(s)), s) << StateName(s);
  }
  EXPECT_EQ(StateName(SessionState::kTclQueryVbGui), "TCLQUERYVBGUI");
  // Names compare exactly: a script's "tcl" or "MYVERB" is a state of its own.
  EXPECT_EQ(StateNamed("tcl"), SessionState::kOther);
  EXPECT_EQ(StateNamed("MYVERB"), SessionState::kOther);
  EXPECT_TRUE(AwaitsKey(SessionState::kTclPage));
  EXPECT_FALSE(AwaitsKey(SessionState::kTcl));
}

TEST(SessionStateTest, OnlyAStateEndingInCapitalVerbCountsAsRunning) {
  EXPECT_TRUE(ProgramRunsIn("VERB"));
  EXPECT_TRUE(ProgramRunsIn("TCLVERB"));
  EXPECT_FALSE(ProgramRunsIn("verb"));
  EXPECT_FALSE(ProgramRunsIn("VERB "));
  EXPECT_FALSE(ProgramRunsIn("VERBS"));
  EXPECT_FALSE(ProgramRunsIn("ERB"));
  EXPECT_FALSE(ProgramRunsIn(""));
}

TEST_F(TerminalTest, TheStateIsToldOncePerChangeAndAScriptsNameIsKept) {
  std::vector<std::string> told;
  terminal_.SetStateChanged(
      [&](const std::string& name, bool runs) { told.push_back(name + (runs ? " runs" : "")); });
  EXPECT_EQ(terminal_.StateText(), "STARTUP");
  terminal_.SetState(SessionState::kTcl);
  terminal_.SetState(SessionState::kTcl);
  terminal_.SetStateText("REPORTVERB");
  EXPECT_EQ(terminal_.State(), SessionState::kOther);
  EXPECT_EQ(terminal_.StateText(), "REPORTVERB");
  EXPECT_TRUE(terminal_.ProgramRuns()) << "hosts have always taken such a name for a program";
  terminal_.SetStateText("VERB");
  EXPECT_EQ(terminal_.State(), SessionState::kVerb);
  EXPECT_EQ(told, (std::vector<std::string>{"TCL", "REPORTVERB runs", "VERB runs"}));
  // Another thread reads it as it stands.
  std::string seen;
  std::thread host([&] { seen = terminal_.StateText(); });
  host.join();
  EXPECT_EQ(seen, "VERB");
}

TEST_F(TerminalTest, OutputGoesToExecuteThenToTheHandlerThenToTheBuffer) {
  int announced = 0;
  terminal_.SetOutputWaiting([&] { ++announced; });
  terminal_.CRT("one", true);
  terminal_.Send("two");
  EXPECT_EQ(announced, 1);  // once until the host takes it
  EXPECT_EQ(terminal_.Response(), "one\r\ntwo");
  terminal_.Send("three");
  EXPECT_EQ(announced, 2);
  EXPECT_EQ(terminal_.Response(), "three");

  // An Execute in progress takes what the session writes, before any host sees it.
  bool timedOut = true;
  const std::string answer = terminal_.Execute(
      "WHO", "</TX>", false, 5,
      [&](std::string_view input) {
        EXPECT_EQ(input, "WHO\r\n");
        terminal_.Send("me</TX>");
      },
      &timedOut);
  EXPECT_FALSE(timedOut);
  EXPECT_EQ(answer, "me</TX>");
  EXPECT_EQ(terminal_.Response(), "");

  std::vector<std::string> handled;
  terminal_.SetResponseHandler([&](std::string& s) { handled.push_back(s); });
  terminal_.Send("kept for polling");
  terminal_.DriveAsynchronously();
  terminal_.Send("handed over");
  EXPECT_EQ(handled, std::vector<std::string>{"handed over"});
  EXPECT_EQ(terminal_.Response(), "kept for polling");
}

TEST_F(TerminalTest, AHostIsToldOfTheMarkerOnceAfterTheTextBeforeItAndNeverSeesIt) {
  std::vector<std::string> told;
  terminal_.SetOutputWaiting([&] { told.push_back("output"); });
  terminal_.SetHangUp([&] { told.push_back("hang up"); });
  // In two pieces: the first could begin the marker, and waits for the rest.
  terminal_.Send("Bye\r\n<&PORT_");
  EXPECT_EQ(terminal_.Response(), "Bye\r\n");
  terminal_.Send("DISCONNECT>not for the host");
  terminal_.Send("nor this");
  EXPECT_EQ(terminal_.Response(), "");
  EXPECT_EQ(told, (std::vector<std::string>{"output", "hang up"}));

  // Whole, after text written in the same piece.
  Terminal other(StopSwitch::Make());
  told.clear();
  other.SetOutputWaiting([&] { told.push_back("output"); });
  other.SetHangUp([&] { told.push_back("hang up"); });
  other.Send(std::string("Goodbye") + std::string(protocol::kPortDisconnect) + "after");
  EXPECT_EQ(told, (std::vector<std::string>{"output", "hang up"}));
  EXPECT_EQ(other.Response(), "Goodbye");
}

TEST_F(TerminalTest, TextThatOnlyBeganLikeTheMarkerGoesOnAfterAllAndAtOnceToAReader) {
  int hangUps = 0;
  terminal_.SetHangUp([&] { ++hangUps; });
  terminal_.Send("a <");
  EXPECT_EQ(terminal_.Response(), "a ");
  terminal_.Send("b>");  // not the marker's rest: both go on
  EXPECT_EQ(terminal_.Response(), "<b>");
  terminal_.Send("c <&");
  EXPECT_EQ(terminal_.Response(), "c ");
  std::string later;
  EXPECT_TRUE(PumpEventsUntil(SteadyClock::now() + 2s, [&] {
    later += terminal_.Response();
    return !later.empty();
  })) << "the held text goes on by itself after a while";
  EXPECT_EQ(later, "<&");

  terminal_.Send("Answer <");
  EXPECT_EQ(terminal_.Response(), "Answer ");
  terminal_.SetState(SessionState::kVerb);
  std::string seenWhileReading;
  Later(0, [&] { seenWhileReading = terminal_.Response(); });
  Later(20, [this] { terminal_.FileInput("x\r"); });
  Variant input;
  EXPECT_TRUE(terminal_.Read(input, -1, true, -1).ok());
  EXPECT_EQ(seenWhileReading, "<") << "a prompt is not held back from its reader";
  EXPECT_EQ(hangUps, 0);

  // A host that reads the stream itself (no hook) gets the marker as it was written.
  Terminal reader(StopSwitch::Make());
  reader.Send("<&PORT_");
  reader.Send("DISCONNECT>");
  EXPECT_EQ(reader.Response(), protocol::kPortDisconnect);
}

TEST_F(TerminalTest, AStoppedTerminalWritesNothingAndReadsTheDisconnectMarker) {
  terminal_.FileInput("left over\r");
  stop_->Throw();
  terminal_.Send("unseen");
  EXPECT_EQ(terminal_.Response(), "");
  Variant input;
  EXPECT_TRUE(terminal_.Read(input, -1, true, -1).ok());
  EXPECT_EQ(input.ToString(), protocol::kPortDisconnect);
  EXPECT_EQ(terminal_.TypeAhead(), "");
}

TEST_F(TerminalTest, FilingRubsOutAndEndsLinesInCrAlone) {
  terminal_.SetState(SessionState::kTcl);
  EXPECT_TRUE(terminal_.FileInput("abd\bc\r\nsecond\r"));
  EXPECT_EQ(terminal_.TypeAhead(), "abc\rsecond\r");
  EXPECT_EQ(terminal_.TakeLine(), "abc");
  EXPECT_EQ(terminal_.TakeLine(), "second");
  EXPECT_EQ(terminal_.TakeLine(), std::nullopt);
  terminal_.FileInput("\b\b");  // nothing left to rub out
  EXPECT_EQ(terminal_.TypeAhead(), "");
}

TEST_F(TerminalTest, ALineTooLongIsThrownAwayUpToItsEnd) {
  terminal_.SetState(SessionState::kTcl);
  EXPECT_TRUE(terminal_.FileInput("kept\r"));
  EXPECT_FALSE(terminal_.FileInput(std::string(Terminal::kMaxInputLine + 1, 'x')));
  EXPECT_TRUE(terminal_.FileInput("more of it"));
  EXPECT_TRUE(terminal_.FileInput(" still\rnext\r"));
  EXPECT_EQ(terminal_.TypeAhead(), "kept\r\rnext\r");
  // A program that reads by length owns its input, however long.
  terminal_.SetState(SessionState::kVerb);
  EXPECT_TRUE(terminal_.FileInput(std::string(Terminal::kMaxInputLine + 1, 'y')));
}

TEST_F(TerminalTest, AReadWaitsForItsLineOrLengthWhileEventsRun) {
  terminal_.SetState(SessionState::kVerb);
  Later(20, [this] { terminal_.FileInput("ab"); });
  Later(40, [this] { terminal_.FileInput("c\rxyz"); });
  Variant input;
  EXPECT_TRUE(terminal_.Read(input, -1, true, -1).ok());
  EXPECT_EQ(input.ToString(), "abc");
  EXPECT_TRUE(terminal_.Read(input, 2, true, -1).ok());
  EXPECT_EQ(input.ToString(), "xy");
  EXPECT_TRUE(terminal_.Read(input, 0, true, -1).ok());  // "z" is there already
  EXPECT_EQ(input.ToString(), "z");
  EXPECT_FALSE(terminal_.InputPending());
  // One character, and no new line wanted while it waits.
  bool noNewLine = false, pending = false;
  Later(10, [&] {
    noNewLine = terminal_.NoNewLine();
    pending = terminal_.InputPending();
  });
  Later(20, [this] { terminal_.FileInput("q"); });
  EXPECT_TRUE(terminal_.Read(input, 0, true, -1).ok());
  EXPECT_EQ(input.ToString(), "q");
  EXPECT_TRUE(noNewLine);
  EXPECT_TRUE(pending);
  EXPECT_FALSE(terminal_.NoNewLine());
}

TEST_F(TerminalTest, AReadThatMayNotWaitOrRunsOutOfTimeSaysSo) {
  Variant input;
  const Status none = terminal_.Read(input, -1, true, 0);
  EXPECT_EQ(none.Message(), "[981] IInput \"timeFOR = 0\" finds no waiting characters.");
  terminal_.FileInput("part");
  const Status now = terminal_.Read(input, -1, true, 0);
  EXPECT_TRUE(now.Is(termerr::kReadTimeout));
  EXPECT_EQ(input.ToString(), "part");
  terminal_.FileInput("half");
  const auto start = std::chrono::steady_clock::now();
  const Status late = terminal_.Read(input, -1, true, 2);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
  EXPECT_EQ(late.Message(), "[980] IInput \"FOR\" Timeout at 0.2 sec.");
  EXPECT_EQ(input.ToString(), "half");
}

TEST_F(TerminalTest, PortCCloseEndsAWaitingReadFromAnotherThread) {
  std::thread host;
  Later(20, [&] { host = std::thread([this] { terminal_.PortCClose(); }); });
  Variant input;
  EXPECT_TRUE(terminal_.Read(input, -1, true, -1).ok());
  host.join();
  EXPECT_EQ(input.ToString(), protocol::kPortDisconnect);
  // Nobody waits now: the request is not kept for a later read.
  terminal_.PortCClose();
  EXPECT_EQ(terminal_.TypeAhead(), "");

  // A terminal that outlives its thread's event loop (a port released after the application
  // that made it has ended) is still closed and woken without harm.
  std::unique_ptr<Terminal> outlived;
  std::unique_ptr<QThread> thread(
      QThread::create([&] { outlived = std::make_unique<Terminal>(StopSwitch::Make()); }));
  thread->start();
  ASSERT_TRUE(thread->wait(5000));
  thread.reset();
  outlived->PortCClose();
  outlived->WakeWaits();
  EXPECT_EQ(outlived->TypeAhead(), "");
}

TEST_F(TerminalTest, ExecuteSendsWithoutCrLfOnlyWhenAskedAndTimesOut) {
  std::string got;
  bool timedOut = false;
  terminal_.Execute(
      "raw{nocr}  ", "", false, 5,
      [&](std::string_view input) {
        got = input;
        terminal_.Send("x");
      },
      &timedOut);
  EXPECT_EQ(got, "raw");
  // The marker compared as text finds "</tx>"; compared exactly it does not, and the
  // answer is the timeout's.
  const auto answer = [&](bool textCompare) {
    return terminal_.Execute(
        "q", "</TX>", textCompare, 0.2, [&](std::string_view) { terminal_.Send("a</tx>"); },
        &timedOut);
  };
  EXPECT_EQ(answer(true), "a</tx>");
  EXPECT_FALSE(timedOut);
  EXPECT_EQ(answer(false), Terminal::kTimeoutAnswer);
  EXPECT_TRUE(timedOut);
  EXPECT_EQ(Terminal::Unframed("noise<TX>body</TX>", false), "body");
  EXPECT_EQ(Terminal::Unframed("body</TX>", false), "body");
  EXPECT_EQ(Terminal::Unframed("a</tx>", true), "a");
}

TEST_F(TerminalTest, ASlowHostHoldsTheOutputBackUntilItCatchesUp) {
  terminal_.SetOutputWaiting([] {});
  terminal_.SetHostBacklog(Terminal::kMaxUndeliveredOutput);
  std::thread host([this] {
    std::this_thread::sleep_for(50ms);
    terminal_.SetHostBacklog(0);
  });
  const auto start = std::chrono::steady_clock::now();
  terminal_.Send("one more");
  EXPECT_GE(std::chrono::steady_clock::now() - start, 40ms);
  host.join();
  EXPECT_EQ(terminal_.Response(), "one more");
}

}  // namespace
}  // namespace orvik
