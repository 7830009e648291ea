#include "event_wait.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <thread>

namespace orvik {
namespace {

bool HasEventLoop() {
  return QCoreApplication::instance() != nullptr &&
         QThread::currentThread()->eventDispatcher() != nullptr;
}

// Upper bound on one blocking step, so that `done` is looked at even when nothing posts
// an event (a condition changed by another thread, say).
constexpr auto kMaxStep = std::chrono::milliseconds(20);
// About 24 days: a QTimer counts milliseconds in an int.
constexpr std::int64_t kLongestTimer = 2'000'000'000;

}  // namespace

EventWaker::EventWaker()
    : dispatcher_(HasEventLoop() ? QThread::currentThread()->eventDispatcher() : nullptr) {}

void EventWaker::Wake() const {
  // The dispatcher remembers a wake that comes before its thread blocks: none is lost.
  if (QObject* d = dispatcher_.data()) static_cast<QAbstractEventDispatcher*>(d)->wakeUp();
}

bool EventWaker::WakesThisThread() const {
  return !dispatcher_.isNull() && HasEventLoop() &&
         dispatcher_.data() == QThread::currentThread()->eventDispatcher();
}

void PumpPendingEvents() {
  if (HasEventLoop()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool PumpEventsUntil(SteadyClock::time_point deadline, const std::function<bool()>& done,
                     const EventWaker* waker) {
  const bool loop = HasEventLoop();
  const bool woken = loop && waker != nullptr && waker->WakesThisThread();
  for (;;) {
    if (done && done()) return true;
    const auto now = SteadyClock::now();
    if (now >= deadline) return false;
    const auto step = woken ? deadline - now : std::min<SteadyClock::duration>(deadline - now, kMaxStep);
    if (loop) {
      // Events posted before this wait began (say, input queued behind the call that is
      // waiting now) are not seen by a nested blocking wait until something new arrives:
      // deliver them first.
      QCoreApplication::sendPostedEvents();
      if (done && done()) return true;
      // A single-shot timer guarantees the blocking wait wakes at the step's end; a wait
      // longer than a timer can count is woken by its condition's changes alone.
      QTimer wake;
      wake.setSingleShot(true);
      wake.setTimerType(Qt::PreciseTimer);
      const auto ms = std::chrono::ceil<std::chrono::milliseconds>(step).count();
      if (ms < kLongestTimer) wake.start(std::max<int>(1, static_cast<int>(ms)));
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    } else {
      std::this_thread::sleep_for(step);
    }
  }
}

}  // namespace orvik
