// A home that a set-up of before made on a server: its locks in a MEMORY table, which no
// cluster replicates, and no sessions table. Its sessions still work; the set-up brings it to
// what the engine needs now, once, and changes nothing when run again. On a server of its
// own, whose system account the test changes.

#include "datastore_home.h"
#include "mariadb/tests/mariadb_test_server.h"
#include "port_access.h"

namespace orvik {
namespace {

using namespace port_access;

class SetupUpgradeTest : public ::testing::Test {
 protected:
  SetupUpgradeTest() : home_("MYSQL"), admin_(mariadb_test::LoadServerInfo()) {}

  // What each run of the set-up says it did to the system account's tables.
  std::vector<std::string> RunSetup() {
    std::vector<std::string> said;
    std::string error;
    EXPECT_TRUE(home_.Setup(SetupOptions{}, &error, [&](const std::string& line) {
      if (line.find("dm.") != std::string::npos) said.push_back(line);
    })) << error;
    return said;
  }

  test_support::DatastoreHome home_;
  mariadb_test::AdminSession admin_;
};

TEST_F(SetupUpgradeTest, AnEarlierHomeWorksAndIsBroughtUpToDateOnce) {
  admin_.Run("DROP VIEW dm.own_sessions");
  admin_.Run("DROP TABLE dm.sessions");
  admin_.Run("ALTER TABLE dm.locks ENGINE=MEMORY");
  const std::string fv = home_.account() + ".md";
  {
    auto p = test_support::LoggedIn(home_);
    EXPECT_EQ(p->UserInst(), home_.user() + "*" + std::to_string(p->Connection_ID()));
    ASSERT_TRUE(p->WWrite("x", fv, "K1")) << p->ErrorDetail();
    Variant item;
    ASSERT_TRUE(p->RReadU(item, Variant(fv), Variant("K1"))) << p->ErrorDetail();
    ASSERT_TRUE(p->WWrite("y", fv, "K1")) << p->ErrorDetail();
  }

  EXPECT_EQ(RunSetup(),
            (std::vector<std::string>{"created table dm.sessions", "created table dm.own_sessions",
                                      "made table dm.locks transactional"}));
  EXPECT_EQ(admin_.Value("SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA = 'dm' "
                         "AND TABLE_NAME = 'locks'"),
            "InnoDB");
  EXPECT_TRUE(RunSetup().empty());

  auto p = test_support::LoggedIn(home_);
  EXPECT_EQ(admin_.Value("SELECT LoginUser FROM dm.sessions WHERE Number = " +
                         std::to_string(p->Connection_ID())),
            home_.user());
  EXPECT_NE(ListProcesses(*p).find(p->UserInst()), std::string::npos) << p->ErrorDetail();
}

}  // namespace
}  // namespace orvik
