// The embedded store under a long and a heavy load: its log file stays bounded however long
// ports lock and write (a catalogued program present, whose catalog the port keeps), and
// many ports on a busy machine wait for each other instead of failing.

#include <filesystem>
#include <thread>

#include "counter_process.h"
#include "datastore_home.h"
#include "layout.h"
#include "port.h"
#include "port_access.h"

namespace orvik {
namespace {

using namespace port_access;

using test_support::Finished;
using test_support::StartCounter;

std::uintmax_t SizeOf(const std::filesystem::path& file) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  return ec ? 0 : size;
}

class EmbeddedStoreLoadTest : public ::testing::Test {
 protected:
  EmbeddedStoreLoadTest() : home_("JET") {}

  std::shared_ptr<Port> LoggedIn() { return test_support::LoggedIn(home_); }
  std::filesystem::path Wal(const std::string& account) const {
    return std::filesystem::path(home_.home()) / "JetMDB" / (account + ".db-wal");
  }

  test_support::DatastoreHome home_;
};

TEST_F(EmbeddedStoreLoadTest, TheLogStaysBoundedUnderEndlessLockAndWrite) {
  {
    auto setup = LoggedIn();
    Parts(*setup).account.Connection()->Execute(
        "INSERT INTO md (A0, A1, A4) VALUES ('HELLO', 'JSCRIPT', 'hello.js')");
    CreateFileTable(*Parts(*setup).account.Connection(), "JET", TableTemplate::kDataColumns,
                    "counter", 2);
  }
  auto port = LoggedIn();  // its catalog now holds a program
  ASSERT_TRUE(Parts(*port).account.CatalogOpen());
  const std::string fv = home_.account() + ".counter";
  ASSERT_TRUE(port->WWrite("0", fv, "COUNTER"));
  // Another process writes the account as well, so that the log is written back by others
  // than the port that keeps the catalog.
  auto other = StartCounter(home_, fv, 200);
  const int cycles = 10000;
  std::uintmax_t largest = 0;
  for (int i = 1; i <= cycles; ++i) {
    Variant item;
    while (!port->RReadU(item, Variant(fv), Variant("COUNTER"))) {
      ASSERT_EQ(port->ErrorDetail(), "[920] Another user has this item locked");
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const std::string value = item.ToString().substr(0, item.ToString().find('\xFE'));
    ASSERT_TRUE(port->WWrite(std::to_string(std::stol(value) + 1) + "\xFE" + std::string(200, 'x'),
                             fv, "COUNTER"))
        << port->ErrorDetail();
    if (i % 500 == 0) {
      largest = std::max({largest, SizeOf(Wal(home_.account())), SizeOf(Wal("dm"))});
    }
  }
  ASSERT_TRUE(Finished(*other));
  // A log written back now and then stays near SQLite's checkpoint size (1000 pages): one
  // held back by an open read grows by every write (some tens of megabytes here).
  EXPECT_LT(largest, 8u * 1024 * 1024);
  Variant item;
  ASSERT_TRUE(port->RRead(item, Variant(fv), Variant("COUNTER")));
  EXPECT_EQ(item.ToString().substr(0, item.ToString().find('\xFE')),
            std::to_string(cycles + 2 * 200));
}

// Forty ports (twenty processes of two) lock and write one item on a machine kept busy:
// none fails with a busy database, and the count is exact.
TEST_F(EmbeddedStoreLoadTest, FortyPortsOnABusyMachineNeverFailBusy) {
  {
    auto setup = LoggedIn();
    CreateFileTable(*Parts(*setup).account.Connection(), "JET", TableTemplate::kDataColumns,
                    "counter", 2);
    ASSERT_TRUE(setup->WWrite("0", home_.account() + ".counter", "COUNTER"));
  }
  std::atomic<bool> stop{false};
  std::vector<std::thread> load;
  for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i) {
    load.emplace_back([&stop] {
      while (!stop.load(std::memory_order_relaxed)) {
      }
    });
  }
  const int processes = 20, rounds = 10;
  std::vector<std::unique_ptr<QProcess>> running;
  for (int i = 0; i < processes; ++i) {
    running.push_back(StartCounter(home_, home_.account() + ".counter", rounds));
  }
  for (auto& p : running) EXPECT_TRUE(Finished(*p, 300000));
  stop = true;
  for (auto& t : load) t.join();
  auto port = LoggedIn();
  Variant item;
  ASSERT_TRUE(port->RRead(item, Variant(home_.account() + ".counter"), Variant("COUNTER")));
  EXPECT_EQ(item.ToString(), std::to_string(processes * 2 * rounds) + "\xFE");
}

}  // namespace
}  // namespace orvik
