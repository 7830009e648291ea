// What every engine owes a port on a thread of its own: a program that never returns is
// stopped by Interrupt from another thread, and programs of two threads run at once.

#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <chrono>
#include <latch>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "event_wait.h"
#include "script_host.h"
#include "vb_error.h"

namespace orvik {
namespace {

using namespace std::chrono_literals;

// Where programs on different threads meet: Started and Arrive count callers, Arrived
// tells how many have arrived.
class MeetingPoint : public Dispatch {
 public:
  std::atomic<int> started{0};
  std::atomic<int> arrived{0};

  Variant Invoke(std::string_view member, CallType type, std::span<Variant> args) override {
    return Table().Invoke(*this, member, type, args);
  }
  MemberKind KindOf(std::string_view member) override { return Table().Kind(member); }
  std::vector<std::string> MemberNames() override { return Table().Names(); }

 private:
  static const MemberTable<MeetingPoint>& Table() {
    static const MemberTable<MeetingPoint> table = [] {
      MemberTable<MeetingPoint> t;
      t.Method("Started", [](MeetingPoint& m, DispatchArgs&) { return Variant(++m.started); });
      t.Method("Arrive", [](MeetingPoint& m, DispatchArgs&) { return Variant(++m.arrived); });
      t.Method("Arrived", [](MeetingPoint& m, DispatchArgs&) { return Variant(m.arrived.load()); });
      return t;
    }();
    return table;
  }
};

// The session's end, as another thread sees it: once the program runs, stop it; the time
// of the stop goes to `at` when one is given.
std::unique_ptr<QThread> StopOnceStarted(ScriptHost& host, const MeetingPoint& point,
                                         std::atomic<SteadyClock::rep>* at = nullptr) {
  std::unique_ptr<QThread> stopper(QThread::create([&host, &point, at] {
    while (point.started.load() == 0) QThread::msleep(5);
    QThread::msleep(50);
    if (at != nullptr) *at = SteadyClock::now().time_since_epoch().count();
    host.Interrupt();
  }));
  stopper->start();
  return stopper;
}

void ExpectInterrupted(ScriptHost& host, std::string_view procedure) {
  try {
    host.Run(procedure, {});
    ADD_FAILURE() << "the program was not stopped";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), scripterr::kInterrupted) << e.description();
  }
}

struct Language {
  const char* name;
  const char* program;  // Spin: never returns; Meet: waits until two have arrived
};

void PrintTo(const Language& language, std::ostream* out) { *out << language.name; }

class ThreadsTest : public ::testing::TestWithParam<Language> {
 protected:
  std::unique_ptr<ScriptHost> Load(const std::shared_ptr<MeetingPoint>& point) {
    auto host = ScriptHost::Create(GetParam().name);
    host->AddObject("Point", point, true);
    host->AddCode(GetParam().program);
    return host;
  }
};

TEST_P(ThreadsTest, InterruptStopsAProgramThatNeverReturns) {
  const auto point = std::make_shared<MeetingPoint>();
  auto host = Load(point);
  std::atomic<SteadyClock::rep> interruptedAt{0};
  const auto stopper = StopOnceStarted(*host, *point, &interruptedAt);
  ExpectInterrupted(*host, "Spin");
  const auto stoppedIn =
      SteadyClock::now().time_since_epoch() - SteadyClock::duration(interruptedAt.load());
  stopper->wait();
  EXPECT_LT(stoppedIn, 2s);
  EXPECT_EQ(host->Error().number, scripterr::kInterrupted);
  // It cannot be undone: every later call is refused at once.
  EXPECT_THROW(host->Run("Meet", {}), VbError);
  EXPECT_EQ(host->Error().number, scripterr::kInterrupted);
  EXPECT_THROW(host->AddCode(""), VbError);
  EXPECT_EQ(point->arrived.load(), 0);
}

TEST(PerlSleepTest, InterruptEndsASleepThatWouldNeverEnd) {
  // Perl's sleep waits in the system, where no check between ops reaches it: the session's
  // end would wait on a program that sleeps for ever.
  const auto point = std::make_shared<MeetingPoint>();
  auto host = ScriptHost::Create("Perl");
  host->AddObject("Point", point, true);
  host->AddCode(
      "sub Nap { Started(); sleep; }\n"
      "sub Short { return sleep(0) . sleep(1); }\n");
  // What sleep returns is what it slept, in whole seconds.
  EXPECT_EQ(host->Run("Short", {}).ToString(), "01");
  const auto stopper = StopOnceStarted(*host, *point);
  ExpectInterrupted(*host, "Nap");
  stopper->wait();
}

TEST_P(ThreadsTest, ProgramsOnTwoThreadsRunAtOnce) {
  // Each program waits for the other: if one engine held up the other, neither would end.
  const auto point = std::make_shared<MeetingPoint>();
  // The hosts while they may be stopped from here (a host ends on its own thread).
  std::mutex hostsMutex;
  ScriptHost* hosts[2] = {nullptr, nullptr};
  std::string results[2];
  std::unique_ptr<QThread> threads[2];
  for (int i = 0; i < 2; ++i) {
    threads[i].reset(QThread::create([&, i] {
      std::unique_ptr<ScriptHost> host;
      try {
        host = Load(point);
        {
          std::lock_guard lock(hostsMutex);
          hosts[i] = host.get();
        }
        results[i] = host->Run("Meet", {}).ToString();
      } catch (const VbError& e) {
        results[i] = e.Message();
      }
      std::lock_guard lock(hostsMutex);
      hosts[i] = nullptr;
      host.reset();
    }));
    threads[i]->start();
  }
  const bool ended = PumpEventsUntil(SteadyClock::now() + 20s, [&] {
    return threads[0]->isFinished() && threads[1]->isFinished();
  });
  if (!ended) {
    std::lock_guard lock(hostsMutex);
    for (ScriptHost* host : hosts) {
      if (host != nullptr) host->Interrupt();
    }
  }
  for (auto& t : threads) t->wait();
  EXPECT_TRUE(ended);
  EXPECT_EQ(results[0], "met");
  EXPECT_EQ(results[1], "met");
}

TEST_P(ThreadsTest, HostsMadeOnManyThreadsAtOnceEachRunTheirOwnCode) {
  // Sessions that log in together start their engines together; the first engine of the
  // process is the one most likely to be made on two threads at the same moment.
  constexpr int kThreads = 8;
  std::latch go(kThreads);
  std::string results[kThreads];
  std::vector<std::unique_ptr<QThread>> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back(QThread::create([&, i] {
      go.arrive_and_wait();
      try {
        auto host = ScriptHost::Create(GetParam().name);
        host->AddCode(GetParam().program);
        results[i] = host->Run("Twice", {}).ToString();
      } catch (const VbError& e) {
        results[i] = e.Message();
      }
    }));
    threads.back()->start();
  }
  for (auto& t : threads) t->wait();
  for (const std::string& result : results) EXPECT_EQ(result, "2");
}

INSTANTIATE_TEST_SUITE_P(
    Engines, ThreadsTest,
    ::testing::Values(Language{"JScript",
                               "function Spin() { Started(); while (true) {} }\n"
                               "function Meet() { Arrive(); while (Arrived() < 2) {} return "
                               "'met'; }\n"
                               "function Twice() { return 1 + 1; }\n"},
                      Language{"Perl",
                               "sub Spin { Started(); while (1) {} }\n"
                               "sub Meet { Arrive(); while (Arrived() < 2) {} return 'met'; }\n"
                               "sub Twice { return 1 + 1; }\n"},
                      Language{"PHP",
                               "function Spin() { Started(); while (true) {} }\n"
                               "function Meet() { Arrive(); while (Arrived() < 2) {} return "
                               "'met'; }\n"
                               "function Twice() { return 1 + 1; }\n"}),
    [](const ::testing::TestParamInfo<Language>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvik
