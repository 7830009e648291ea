// The counter helper (counter_main.cpp) as a process of its own, for the tests of several
// processes sharing one datastore: ORVIK_COUNTER_PROGRAM names it.

#ifndef ORVIK_ENGINE_DATASTORE_TESTS_COUNTER_PROCESS_H_
#define ORVIK_ENGINE_DATASTORE_TESTS_COUNTER_PROCESS_H_

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "datastore_home.h"
#include "port.h"
#include "text.h"

namespace orvik::test_support {

// Starts a counter process of two ports on the engine home `home`, logged in as `user`,
// adding 1 to the item COUNTER of `fv` `rounds` times each; `slot` >= 0 has each port count
// its own increments too, `hold` then holds the item's lock until killed (see
// counter_main.cpp).
inline std::unique_ptr<QProcess> StartCounterIn(const std::string& home, const std::string& user,
                                                const std::string& fv, int rounds, int slot = -1,
                                                bool hold = false) {
  auto p = std::make_unique<QProcess>();
  p->setProcessChannelMode(QProcess::SeparateChannels);
  QStringList args{QString::fromStdString(home), QString::fromStdString(user), kTestPassword,
                   QString::fromStdString(fv), QString::number(rounds)};
  if (slot >= 0) args << QString::number(slot);
  if (hold) args << "hold";
  p->start(QString::fromStdString(ORVIK_COUNTER_PROGRAM), args);
  return p;
}

inline std::unique_ptr<QProcess> StartCounter(const DatastoreHome& home, const std::string& fv,
                                              int rounds, int slot = -1, bool hold = false) {
  return StartCounterIn(home.home(), home.user(), fv, rounds, slot, hold);
}

// Waits (up to `ms`) until the process has written `line`.
inline bool WaitForLine(QProcess& p, const QByteArray& line, int ms = 60000) {
  QElapsedTimer timer;
  timer.start();
  QByteArray seen;
  while (timer.elapsed() < ms) {
    p.waitForReadyRead(100);
    seen += p.readAllStandardOutput();
    if (seen.contains(line)) return true;
    if (p.state() == QProcess::NotRunning) return false;
  }
  return false;
}

// The counter item's attributes as `p` reads them from `fv`: the total, then each slot's own
// count.
inline std::vector<std::string> CounterAttributes(Port& p, const std::string& fv) {
  Variant item;
  EXPECT_TRUE(p.RRead(item, Variant(fv), Variant("COUNTER"))) << p.ErrorDetail();
  return SplitAt(item.ToString(), kAttributeMark);
}

// Waits for a counter process to end and tells how it went.
inline ::testing::AssertionResult Finished(QProcess& p, int ms = 120000) {
  if (!p.waitForFinished(ms)) return ::testing::AssertionFailure() << "counter did not finish";
  if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    return ::testing::AssertionFailure()
           << "counter failed: " << p.readAllStandardError().toStdString();
  }
  return ::testing::AssertionSuccess();
}

}  // namespace orvik::test_support

#endif  // ORVIK_ENGINE_DATASTORE_TESTS_COUNTER_PROCESS_H_
