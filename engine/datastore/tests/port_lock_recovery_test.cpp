// Locks are never held for good: a session that dies (killed, its server connection gone)
// leaves locks that the next port asking for the item, every login and the console's start
// remove, while a live holder's lock is never taken. Built once for the embedded store and
// once for each private MariaDB server.

#include <QElapsedTimer>
#include <thread>

#include "counter_process.h"
#include "datastore_home.h"
#include "home.h"
#include "layout.h"
#include "lock_holders.h"
#include "port.h"
#include "port_access.h"
#include "vb_error.h"

namespace orvik {
namespace {

using namespace port_access;

using test_support::CounterAttributes;
using test_support::Finished;
using test_support::StartCounter;
using test_support::WaitForLine;

const char* const kLocked = "[920] Another user has this item locked";

class LockRecoveryTest : public ::testing::Test {
 protected:
  LockRecoveryTest() : home_(ORVIK_TEST_DATASTORE) {
    a_ = LoggedIn();
    // An item-mode file: the counter keeps one attribute per port.
    CreateFileTable(*Parts(*a_).account.Connection(), home_.dataStore(), TableTemplate::kDataItem,
                    "tally");
    fv_ = home_.account() + ".tally";
    EXPECT_TRUE(a_->WWrite("0", fv_, "COUNTER")) << a_->ErrorDetail();
  }

  std::shared_ptr<Port> LoggedIn() { return test_support::LoggedIn(home_); }
  std::vector<std::string> LockHolders(Port& p) { return test_support::LockHolders(home_, p); }
  // A counter process that has taken the lock of COUNTER and waits, alive.
  std::unique_ptr<QProcess> Holder(int rounds) {
    auto p = StartCounter(home_, fv_, rounds, 0, true);
    EXPECT_TRUE(WaitForLine(*p, "holding")) << p->readAllStandardError().toStdString();
    return p;
  }
  // Kills a process as a power cut would, and waits until the datastore has seen its session
  // end (a server notices a closed connection a moment later).
  void Kill(QProcess& p, const std::string& holder) {
    p.kill();
    p.waitForFinished(10000);
    Driver& dm = home_.dataStore() == "MYSQL" ? *Parts(*a_).account.Connection()
                                              : *Parts(*a_).account.SystemConnection();
    QElapsedTimer timer;
    timer.start();
    while (home_.dataStore() == "MYSQL" &&
           !HolderGone(dm, Dialect::Of(home_.dataStore()), nullptr, holder) &&
           timer.elapsed() < 10000) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  test_support::DatastoreHome home_;
  std::shared_ptr<Port> a_;
  std::string fv_;
};

// One process holds the counter's lock and is killed between its read and its write; the
// others wait for it while it lives, then take the item over. Every increment made survives,
// none is counted twice, and no lock is left.
TEST_F(LockRecoveryTest, AKilledSessionsLockIsTakenOverAndNoIncrementIsLost) {
  auto holder = Holder(5);
  const std::vector<std::string> holders = LockHolders(*a_);
  ASSERT_EQ(holders.size(), 1u);
  Variant item;
  EXPECT_FALSE(a_->RReadU(item, Variant(fv_), Variant("COUNTER")));
  EXPECT_EQ(a_->ErrorDetail(), kLocked);

  const int rounds = 20;
  auto first = StartCounter(home_, fv_, rounds, 1);
  auto second = StartCounter(home_, fv_, rounds, 2);
  // They log in and wait on the live holder meanwhile.
  ASSERT_TRUE(first->waitForStarted());
  EXPECT_FALSE(first->waitForFinished(500));
  EXPECT_EQ(LockHolders(*a_), holders);

  Kill(*holder, holders[0]);
  ASSERT_TRUE(Finished(*first));
  ASSERT_TRUE(Finished(*second));

  const std::vector<std::string> a = CounterAttributes(*a_, fv_);
  ASSERT_EQ(a.size(), 7u);
  // Total, then each port's own count: slot 0 (killed after 5 rounds), slots 1 and 2.
  EXPECT_EQ(a, (std::vector<std::string>{"90", "5", "5", "20", "20", "20", "20"}));
  EXPECT_TRUE(LockHolders(*a_).empty());
  EXPECT_TRUE(a_->RReadU(item, Variant(fv_), Variant("COUNTER"))) << a_->ErrorDetail();
}

// The console removes a dead session's locks when it starts (on the embedded store; on a
// server, where it holds no login, the next login does), and never a live port's.
TEST_F(LockRecoveryTest, StartAndLoginRemoveTheLocksOfDeadSessionsOnly) {
  auto holder = Holder(0);
  const std::string dead = LockHolders(*a_).at(0);
  ASSERT_TRUE(a_->WWriteU("live", fv_, "OTHER"));
  Kill(*holder, dead);

  const std::int64_t removed = Home::Open(home_.home())->RemoveStaleLocks();
  if (home_.dataStore() == "JET") {
    EXPECT_EQ(removed, 1);
  } else {
    EXPECT_EQ(removed, 0);
    // (Another test's login on the shared server may sweep the dead lock first.)
    LoggedIn();
  }
  EXPECT_EQ(LockHolders(*a_), std::vector<std::string>{a_->UserInst()});
  EXPECT_EQ(Home::Open(home_.home())->RemoveStaleLocks(), 0);
  EXPECT_EQ(LockHolders(*a_), std::vector<std::string>{a_->UserInst()});
}

TEST_F(LockRecoveryTest, ALiveSessionsLocksAreNeverJudgedGone) {
  auto b = LoggedIn();
  Variant item;
  ASSERT_TRUE(b->RReadU(item, Variant(fv_), Variant("COUNTER")));
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(a_->RReadU(item, Variant(fv_), Variant("COUNTER")));
    EXPECT_EQ(a_->ErrorDetail(), kLocked);
  }
  LoggedIn();  // a login's sweep leaves it too
  Home::Open(home_.home())->RemoveStaleLocks();
  EXPECT_EQ(LockHolders(*a_), std::vector<std::string>{b->UserInst()});
}

// A Delete whose statement fails goes to the caller as its error, and lets go of the lock
// the port held on the item, as a Delete that ran does.
TEST_F(LockRecoveryTest, DeleteFreesItsLockWhenItsStatementFails) {
  const std::string missing = home_.account() + ".nosuchfile";
  Variant item;
  // The lock is taken before the read, which fails: there is no such table.
  EXPECT_FALSE(a_->RReadU(item, Variant(missing), Variant("K1")));
  ASSERT_EQ(LockHolders(*a_).size(), 1u);
  EXPECT_THROW(a_->Delete(Variant(missing), Variant("K1")), VbError);
  EXPECT_TRUE(LockHolders(*a_).empty());
}

}  // namespace
}  // namespace orvik
