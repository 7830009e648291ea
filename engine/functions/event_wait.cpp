#include "event_wait.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <algorithm>
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

}  // namespace

void PumpPendingEvents() {
  if (HasEventLoop()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool PumpEventsUntil(SteadyClock::time_point deadline, const std::function<bool()>& done) {
  const bool loop = HasEventLoop();
  for (;;) {
    if (done && done()) return true;
    const auto now = SteadyClock::now();
    if (now >= deadline) return false;
    const auto step = std::min<SteadyClock::duration>(deadline - now, kMaxStep);
    if (loop) {
      // Events posted before this wait began (say, input queued behind the call that is
      // waiting now) are not seen by a nested blocking wait until something new arrives:
      // deliver them first.
      QCoreApplication::sendPostedEvents();
      if (done && done()) return true;
      // A single-shot timer guarantees the blocking wait wakes at the step's end.
      QTimer wake;
      wake.setSingleShot(true);
      wake.setTimerType(Qt::PreciseTimer);
      wake.start(std::max<int>(
          1, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(step).count())));
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    } else {
      std::this_thread::sleep_for(step);
    }
  }
}

}  // namespace orvik
