// A session's lease, the judge of the others' and the servers a setting names, without a
// server: a renewing session is never judged gone, one that stands still is, after its whole
// lease; a session that cannot renew gives its lease up before anyone may judge it gone.

#include "session_lease.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "recording_driver.h"
#include "server_list.h"
#include "session_table.h"
#include "vb_error.h"

namespace orvik {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(LeaseJudgeTest, ASessionIsGoneOnlyOnceItsBeatStoodStillForTheWholeLease) {
  Clock::time_point now{};
  LeaseJudge judge([&] { return now; });
  EXPECT_FALSE(judge.Expired(7, 1, 10));  // first seen
  now += 9s;
  EXPECT_FALSE(judge.Expired(7, 1, 10));
  now += 2s;
  EXPECT_FALSE(judge.Expired(7, 2, 10));  // it renewed: measured afresh
  now += 9s;
  EXPECT_FALSE(judge.Expired(7, 2, 10));
  now += 1s;
  EXPECT_TRUE(judge.Expired(7, 2, 10));
  // Each session on its own.
  EXPECT_FALSE(judge.Expired(8, 2, 10));
  judge.Forget(7);
  EXPECT_FALSE(judge.Expired(7, 2, 10));
}

// The renewals as the sessions table receives them, from the lease's thread.
class Renewals : public RecordingDriver {
 public:
  Renewals() : RecordingDriver("MYSQL") {
    ConnectParams dm;
    dm.account = "dm";
    Connect(dm);
  }
  std::int64_t Execute(std::string_view sql, std::span<const DbValue> params) override {
    std::lock_guard lock(mutex_);
    if (failing_) throw VbError(dberr::kUnspecified, "Lost connection to server");
    statements_.emplace_back(sql);
    last_.assign(params.begin(), params.end());
    return rowGone_ ? 0 : 1;
  }
  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return statements_.size();
  }
  std::vector<DbValue> Last() {
    std::lock_guard lock(mutex_);
    return last_;
  }
  void Fail() {
    std::lock_guard lock(mutex_);
    failing_ = true;
  }
  void RowGone() {
    std::lock_guard lock(mutex_);
    rowGone_ = true;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> statements_;
  std::vector<DbValue> last_;
  bool failing_ = false, rowGone_ = false;
};

class SessionLeaseTest : public ::testing::Test {
 protected:
  std::unique_ptr<SessionLease> Start(int seconds, bool renewed = false) {
    return std::make_unique<SessionLease>(
        [this] {
          ++connects_;
          return db_;
        },
        SessionTable(Dialect::Of("MYSQL")), 42, seconds, [this] { ++lost_; }, renewed);
  }
  bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    const auto until = Clock::now() + limit;
    while (!done()) {
      if (Clock::now() > until) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }
  std::shared_ptr<Renewals> db_ = std::make_shared<Renewals>();
  std::atomic<int> lost_{0};
  std::atomic<int> connects_{0};
};

TEST_F(SessionLeaseTest, ItRenewsAtOnceAndEveryQuarterOfItsLeaseWithWhatTheSessionDoes) {
  auto lease = Start(2);
  EXPECT_TRUE(Eventually([&] { return db_->Count() >= 3; }));  // every half second
  EXPECT_TRUE(lease->Held());
  lease->SetStatus(SessionStatus{"sales", "VERB", "RUN REPORT"});
  EXPECT_TRUE(Eventually([&] { return db_->Last().size() == 4; }, 300ms));
  EXPECT_EQ(db_->Last(), (std::vector<DbValue>{"sales", "VERB", "RUN REPORT", "42"}));
  EXPECT_EQ(lost_, 0);
}

// A login that renewed its row itself leaves the lease's first renewal to a quarter of the
// lease later, but not its connection: made only then, a slow connect would eat the time left
// before the session must give its lease up. From then on it renews as ever.
TEST_F(SessionLeaseTest, ALeaseItsLoginRenewedConnectsBeforeItsFirstRenewalIsDue) {
  auto lease = Start(4, true);
  EXPECT_EQ(connects_, 0);  // not side by side with the login
  EXPECT_TRUE(Eventually([&] { return connects_ == 1; }, 900ms));
  EXPECT_EQ(db_->Count(), 0u);
  EXPECT_TRUE(lease->Held());
  EXPECT_TRUE(Eventually([&] { return db_->Count() >= 2; }, 4s));
  EXPECT_EQ(connects_, 1);
  EXPECT_TRUE(lease->Held());
  EXPECT_EQ(lost_, 0);
}

// Cut off from its node, the session gives its lease up after half the lease: a quarter of a
// lease before any other may judge it gone, it can neither lock nor write.
TEST_F(SessionLeaseTest, ASessionThatCannotRenewGivesItsLeaseUpFirst) {
  auto lease = Start(2);
  ASSERT_TRUE(Eventually([&] { return db_->Count() >= 1; }));
  const auto cut = Clock::now();
  db_->Fail();
  ASSERT_TRUE(Eventually([&] { return !lease->Held(); }));
  EXPECT_LT(Clock::now() - cut, 2s);
  EXPECT_TRUE(Eventually([&] { return lost_ == 1; }));
}

TEST_F(SessionLeaseTest, ASessionJudgedGoneLearnsItAtItsNextRenewal) {
  auto lease = Start(2);
  ASSERT_TRUE(Eventually([&] { return db_->Count() >= 1; }));
  db_->RowGone();
  EXPECT_TRUE(Eventually([&] { return lost_ == 1; }));
  EXPECT_FALSE(lease->Held());
}

TEST(ServerListTest, NamesWithOrWithoutPortsAndAddressesInBrackets) {
  const std::vector<ServerAddress> servers =
      ParseServerList(" db1, db2:3307 ,, [fd00::3]:3308, fd00::4, 10.0.0.5", "3306");
  ASSERT_EQ(servers.size(), 5u);
  EXPECT_EQ(servers[0].Shown(), "db1:3306");
  EXPECT_EQ(servers[1].Shown(), "db2:3307");
  EXPECT_EQ(servers[2].host, "fd00::3");
  EXPECT_EQ(servers[2].Shown(), "[fd00::3]:3308");
  EXPECT_EQ(servers[3].Shown(), "[fd00::4]:3306");
  EXPECT_EQ(servers[4].Shown(), "10.0.0.5:3306");
  // As a driver is handed back the one it reached.
  EXPECT_EQ(ParseServerList(servers[2].Shown(), "3306")[0].Shown(), "[fd00::3]:3308");
  for (const char* bad : {"db1:", "db1:0", "db1:70000", "db1:33x", ":3306", "[fd00::3", "[]:1"})
    EXPECT_THROW(ParseServerList(bad, "3306"), VbError) << bad;
}

}  // namespace
}  // namespace orvik
