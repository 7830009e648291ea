// Consoles on the three nodes of a Galera cluster, as users run them where one server is not
// enough: each console's home names its own node, and they share the items and the system
// account through the cluster. Built once for the private cluster and once for the private
// server, where the three consoles reach the same server.

#include <QProcess>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "console_test_support.h"
#include "counter_process.h"
#include "datastore_home.h"
#include "ini_file.h"
#include "layout.h"
#include "mariadb/tests/mariadb_test_server.h"
#include "mariadb/tests/test_site.h"
#include "port_access.h"
#include "relay_server.h"

namespace orvik::console {
namespace {

using namespace orvik::port_access;
using namespace std::chrono_literals;

using test::Client;
using test::WaitUntil;
using test_support::CounterAttributes;
using test_support::Finished;
using test_support::StartCounterIn;
using test_support::WaitForLine;

const char* const kLocked = "[920] Another user has this item locked";
const std::string kWelcome = "*                  Welcome to OrvikEngine";
// Short enough that the tests do not wait long for a dead session's locks, long enough that
// the cluster's own pause when a node dies (two to three seconds), stretched by a machine
// busy with the rest of the tests, costs no live session its lease.
constexpr int kLeaseSeconds = 20;

class ClusterTest : public ::testing::Test {
 protected:
  ClusterTest() : base_("MYSQL") {
    // Console 3 falls back on node 1 should its own node be gone.
    const std::string servers[] = {site_.Node(1), site_.Node(2),
                                   site_.Node(3) + "," + site_.Node(1)};
    for (int i = 0; i < 3; ++i) {
      homes_[i] = base_.home() + "/console" + std::to_string(i + 1);
      std::filesystem::create_directories(homes_[i]);
      IniFile ini(homes_[i] + "/OrvikEngine.ini");
      ini.Write("Global", "DataStore", "MYSQL");
      ini.Write("MySQL", "Server", servers[i]);
      ini.Write("MySQL", "SessionLease", std::to_string(kLeaseSeconds));
    }
    auto p = Session(0);
    CreateFileTable(*Parts(*p).account.Connection(), "MYSQL", TableTemplate::kDataItem, "tally");
    fv_ = base_.account() + ".tally";
    EXPECT_TRUE(p->WWrite("0", fv_, "COUNTER")) << p->ErrorDetail();
  }
  ~ClusterTest() override {
    for (auto& r : relays_) {
      if (r) r->EngineStop();
    }
    for (auto& p : counters_) {
      if (p->state() != QProcess::NotRunning) {
        p->kill();
        p->waitForFinished(5000);
      }
    }
  }

  // A session of console `c` (0..2), logged in and in the test's account.
  std::shared_ptr<Port> Session(int c) {
    auto p = Port::Create(homes_[c]);
    SetLogin(*p, base_.user(), test_support::kTestPassword);
    EXPECT_TRUE(ConnectAccount(*p, "dm")) << p->ErrorDetail();
    EXPECT_TRUE(ValidateLogin(*p)) << p->ErrorDetail();
    EXPECT_TRUE(ConnectAccount(*p, base_.account())) << p->ErrorDetail();
    return p;
  }
  QProcess& Counter(int c, int rounds, int slot, bool hold = false) {
    counters_.push_back(StartCounterIn(homes_[c], base_.user(), fv_, rounds, slot, hold));
    return *counters_.back();
  }
  // A terminal at the TCL prompt of console `c`, which the test starts.
  std::unique_ptr<Client> Terminal(int c) {
    if (!relays_[c]) {
      relays_[c] = std::make_unique<RelayServer>(homes_[c]);
      relays_[c]->SetListenAddress(QHostAddress::LocalHost);
      EXPECT_TRUE(relays_[c]->EngineStart(3, 0)) << relays_[c]->LastError();
    }
    auto t = std::make_unique<Client>(relays_[c]->ListeningPort());
    EXPECT_TRUE(t->WaitConnected());
    t->Send("\r");
    EXPECT_TRUE(t->WaitFor("username: "));
    t->Send(base_.user() + "\r" + test_support::kTestPassword + "\r");
    EXPECT_TRUE(t->WaitFor(kWelcome, 10000)) << t->Received();
    EXPECT_TRUE(t->WaitFor("\r\n:"));
    t->Take();
    return t;
  }
  // What a line typed at the prompt answers, up to the next prompt.
  static std::string Typed(Client& t, const std::string& line) {
    t.Take();
    t.Send(line + "\r");
    EXPECT_TRUE(t.WaitFor("\r\n:", 10000)) << t.Received();
    return t.Take();
  }
  // Reads the counter for update through `p`, retrying for `ms` while it is locked.
  bool ReadForUpdate(Port& p, Variant& item, int ms = 5000) {
    return WaitUntil(
        [&] {
          if (p.RReadU(item, Variant(fv_), Variant("COUNTER"))) return true;
          EXPECT_EQ(p.ErrorDetail(), kLocked);
          return false;
        },
        ms);
  }

  mariadb_test::TestSite site_;
  test_support::DatastoreHome base_;
  std::string homes_[3];
  std::string fv_;
  std::unique_ptr<RelayServer> relays_[3];
  std::vector<std::unique_ptr<QProcess>> counters_;
};

// Twelve sessions, four on each console, add one to the same item again and again: every
// increment acknowledged is in the item, each exactly once, and every session gets done.
TEST_F(ClusterTest, EveryIncrementFromEveryNodeIsKept) {
  const int rounds = 12;
  for (int slot = 0; slot < 6; ++slot) Counter(slot % 3, rounds, slot);
  for (auto& p : counters_) EXPECT_TRUE(Finished(*p, 240000));
  auto p = Session(0);
  const std::vector<std::string> a = CounterAttributes(*p, fv_);
  ASSERT_EQ(a.size(), 13u);
  EXPECT_EQ(a[0], std::to_string(12 * rounds));
  for (std::size_t port = 1; port < a.size(); ++port) EXPECT_EQ(a[port], std::to_string(rounds));
}

// A lock taken through one node holds on every other, and goes with the write that ends it:
// the next session reads what that write wrote, on whichever node it is.
TEST_F(ClusterTest, ALockTakenThroughOneNodeHoldsOnEveryNode) {
  auto one = Session(0), two = Session(1), three = Session(2);
  Variant item;
  ASSERT_TRUE(one->RReadU(item, Variant(fv_), Variant("COUNTER"))) << one->ErrorDetail();
  for (Port* other : {two.get(), three.get()}) {
    EXPECT_FALSE(other->RReadU(item, Variant(fv_), Variant("COUNTER")));
    EXPECT_EQ(other->ErrorDetail(), kLocked);
    // A plain write is refused too, and changes nothing.
    EXPECT_FALSE(other->WWrite("stolen", fv_, "COUNTER"));
    EXPECT_EQ(other->ErrorDetail(), kLocked);
  }
  ASSERT_TRUE(one->WWrite("1", fv_, "COUNTER")) << one->ErrorDetail();
  ASSERT_TRUE(ReadForUpdate(*three, item)) << three->ErrorDetail();
  EXPECT_EQ(item.ToString(), "1");
  EXPECT_FALSE(two->RReadU(item, Variant(fv_), Variant("COUNTER")));
  ASSERT_TRUE(three->WWrite("2", fv_, "COUNTER")) << three->ErrorDetail();
  ASSERT_TRUE(ReadForUpdate(*two, item)) << two->ErrorDetail();
  EXPECT_EQ(item.ToString(), "2");
  ASSERT_TRUE(two->Release(Variant(fv_), Variant("COUNTER")));
}

// LISTU on each console lists the sessions of all three, each under a user instance that no
// other session has, its own marked.
TEST_F(ClusterTest, ListuOnEveryConsoleListsEverySession) {
  std::unique_ptr<Client> terminals[3];
  std::string instances[3];
  for (int c = 0; c < 3; ++c) {
    terminals[c] = Terminal(c);
    const std::string who = Typed(*terminals[c], "WHO");
    const std::size_t at = who.find(base_.user() + "*");
    ASSERT_NE(at, std::string::npos) << who;
    instances[c] = who.substr(at, who.find(' ', at) - at);
  }
  EXPECT_EQ(std::set<std::string>(std::begin(instances), std::end(instances)).size(), 3u);
  for (int c = 0; c < 3; ++c) {
    SCOPED_TRACE(c);
    const std::string report = Typed(*terminals[c], "LISTU");
    ASSERT_NE(report.find("Me UserInstance  CnID Account       TimeEl State   Actions "),
              std::string::npos)
        << report;
    for (int other = 0; other < 3; ++other) {
      const std::string line = (other == c ? "** " : "   ") + instances[other].substr(0, 13);
      EXPECT_NE(report.find(line), std::string::npos) << report;
    }
    // Its own session as it stands: LISTU at its prompt. (The others' rows tell what they did
    // a moment ago: their sessions write them as they go.)
    const std::size_t mine = report.find("** " + instances[c].substr(0, 13));
    EXPECT_EQ(report.find("** "), mine);
    EXPECT_NE(report.find("TCL     LISTU", mine), std::string::npos) << report;
  }
}

// A console's sessions die: on a cluster their node is killed, on one server their process.
// The others go on, nothing acknowledged is lost, and the dead sessions' locks go with their
// lease (at once on one server, whose sessions' marks go with their connections). On a
// cluster the live sessions of the dead node's console end, saying so, and a new login
// there reaches the cluster through the next node its settings name.
// LISTU lists a session that logged in through another node even when its own node has
// fallen behind the cluster: node 1 applies nothing from the others while its tables are
// locked for reading, and the listing waits for it to catch up rather than leave one out.
TEST_F(ClusterTest, ListuOnANodeBehindListsASessionJustLoggedInElsewhere) {
  const auto watcher = Terminal(0);
  mariadb_test::AdminSession node1(mariadb_test::LoadServerInfo());
  if (site_.Cluster()) node1.Run("FLUSH TABLES WITH READ LOCK");
  const auto other = Terminal(1);
  const std::string who = Typed(*other, "WHO");
  const std::size_t at = who.find(base_.user() + "*");
  ASSERT_NE(at, std::string::npos) << who;
  const std::string instance = who.substr(at, who.find(' ', at) - at);
  std::thread unlock([&node1] {
    std::this_thread::sleep_for(1s);
    node1.Run("UNLOCK TABLES");
  });
  const std::string report = Typed(*watcher, "LISTU");
  unlock.join();
  EXPECT_NE(report.find("   " + instance.substr(0, 13)), std::string::npos) << report;
}

TEST_F(ClusterTest, TheSessionsOfADeadNodeGoAndTheirLocksWithTheirLease) {
  const int rounds = 8;
  QProcess& holder = Counter(2, 3, 0, /*hold=*/true);
  ASSERT_TRUE(WaitForLine(holder, "holding")) << holder.readAllStandardError().toStdString();
  std::unique_ptr<Client> stranded;
  if (site_.Cluster()) stranded = Terminal(2);
  QProcess& first = Counter(0, rounds, 1);
  QProcess& second = Counter(1, rounds, 2);
  ASSERT_TRUE(first.waitForStarted());
  ASSERT_TRUE(second.waitForStarted());
  // They wait on the live holder meanwhile.
  EXPECT_FALSE(first.waitForFinished(2000));

  struct Revive {
    const mariadb_test::TestSite& site;
    ~Revive() {
      if (site.Cluster()) site.Restart(3);
    }
  } revive{site_};
  const auto died = std::chrono::steady_clock::now();
  if (site_.Cluster()) {
    site_.Kill(3);
  } else {
    holder.kill();
  }
  ASSERT_TRUE(Finished(first));
  ASSERT_TRUE(Finished(second));
  if (site_.Cluster()) {
    // The lock stood until the lease of its dead holder ran out (measured from the last beat
    // seen, a quarter of the lease at most before the node died), not before.
    EXPECT_GE(std::chrono::steady_clock::now() - died, std::chrono::seconds(kLeaseSeconds * 3 / 4));
  }
  auto p = Session(0);
  const std::vector<std::string> a = CounterAttributes(*p, fv_);
  ASSERT_EQ(a.size(), 7u);
  EXPECT_EQ(a, (std::vector<std::string>{std::to_string(3 * 2 + 4 * rounds), "3", "3",
                                         std::to_string(rounds), std::to_string(rounds),
                                         std::to_string(rounds), std::to_string(rounds)}));
  Variant item;
  ASSERT_TRUE(p->RReadU(item, Variant(fv_), Variant("COUNTER"))) << p->ErrorDetail();
  ASSERT_TRUE(p->Release(Variant(fv_), Variant("COUNTER")));
  if (!site_.Cluster()) return;

  ASSERT_TRUE(stranded->WaitClosed(kLeaseSeconds * 1000)) << stranded->Received();
  EXPECT_NE(stranded->Received().find("[928] The session's hold on the datastore is lost"),
            std::string::npos)
      << stranded->Received();
  auto again = Terminal(2);
  EXPECT_NE(Typed(*again, "WHO").find(base_.user() + "*"), std::string::npos);
}

}  // namespace
}  // namespace orvik::console
