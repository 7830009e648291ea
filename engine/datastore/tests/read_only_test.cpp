// A console on a read-only server, as an asynchronous replica is: it reads, and refuses every
// change with a numbered message, even for a login whose rights would beat the server's own
// read-only setting (what it wrote there would stop the replication). On a private server of
// its own, which the tests make read-only and back.

#include "datastore_home.h"
#include "layout.h"
#include "mariadb/tests/mariadb_test_server.h"
#include "port_access.h"
#include "vb_error.h"

namespace orvik {
namespace {

using namespace port_access;

const std::string kReadOnly =
    "[927] This datastore is read-only (a replica): it takes no changes; they go to its primary";

class ReadOnlyServerTest : public ::testing::Test {
 protected:
  ReadOnlyServerTest()
      : home_("MYSQL"), admin_(mariadb_test::LoadServerInfo()), fv_(home_.account() + ".items") {
    auto p = test_support::LoggedIn(home_);
    CreateFileTable(*Parts(*p).account.Connection(), "MYSQL", TableTemplate::kDataColumns, "items",
                    2);
    EXPECT_TRUE(p->WWrite("before", fv_, "K1")) << p->ErrorDetail();
    // As the logins of a replica often are: every right, which beats read_only.
    for (const char* host : {"localhost", "%"})
      admin_.Run("GRANT ALL PRIVILEGES ON *.* TO '" + home_.user() + "'@'" + host + "'");
    admin_.Run("SET GLOBAL read_only = ON");
  }
  ~ReadOnlyServerTest() override { admin_.Run("SET GLOBAL read_only = OFF"); }

  std::string Read(Port& p, const std::string& id) {
    Variant item;
    if (!p.RRead(item, Variant(fv_), Variant(id))) return "<" + p.ErrorDetail().substr(0, 5);
    return item.ToString();
  }

  test_support::DatastoreHome home_;
  mariadb_test::AdminSession admin_;
  std::string fv_;
};

TEST_F(ReadOnlyServerTest, ItReadsAndRefusesEveryChange) {
  auto p = test_support::LoggedIn(home_);
  EXPECT_EQ(Read(*p, "K1"), "before\xFE");
  EXPECT_FALSE(p->WWrite("after", fv_, "K1"));
  EXPECT_EQ(p->ErrorDetail(), kReadOnly);
  EXPECT_FALSE(p->WWriteV("v", fv_, "K2", 1));
  EXPECT_EQ(p->ErrorDetail(), kReadOnly);
  // A lock there would hold on the replica alone: none is taken.
  Variant item;
  EXPECT_FALSE(p->RReadU(item, Variant(fv_), Variant("K1")));
  EXPECT_EQ(p->ErrorDetail(), kReadOnly);
  EXPECT_FALSE(p->Delete(Variant(fv_), Variant("K1")));
  EXPECT_EQ(p->ErrorDetail(), kReadOnly);
  // SQL typed at the prompt too.
  try {
    Parts(*p).account.Connection()->Execute("DELETE FROM items");
    ADD_FAILURE() << "a typed change went through";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), dberr::kReadOnly);
  }
  admin_.Run("SET GLOBAL read_only = OFF");
  EXPECT_EQ(Read(*test_support::LoggedIn(home_), "K1"), "before\xFE");
}

// Its sessions are numbered by their connections, as the sessions table takes no rows there;
// LISTU lists them from the server's process list.
TEST_F(ReadOnlyServerTest, ItsSessionsAreListed) {
  auto p = test_support::LoggedIn(home_);
  EXPECT_EQ(p->UserInst(), home_.user() + "*" + std::to_string(p->Connection_ID()));
  EXPECT_NE(ListProcesses(*p).find(p->UserInst()), std::string::npos) << p->ErrorDetail();
}

}  // namespace
}  // namespace orvik
