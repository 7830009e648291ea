// The port's connection on a real datastore. The same cases run on the embedded store and,
// in a second program built from this file, on the private MariaDB server.

#include <filesystem>
#include <fstream>

#include "datastore_home.h"
#include "layout.h"
#include "password_hash.h"
#include "port.h"
#include "port_access.h"
#include "sqlite_driver.h"
#include "vb_error.h"

namespace orvik {
namespace {

using namespace port_access;

class PortConnectionTest : public ::testing::Test {
 protected:
  PortConnectionTest() : home_(ORVIK_TEST_DATASTORE) {
    port_ = Port::Create(home_.home());
    SetLogin(*port_, home_.user(), test_support::kTestPassword);
  }

  bool Embedded() const { return home_.dataStore() == "JET"; }

  // The rows of a query as "a|b" lines, Null shown as "<null>".
  std::vector<std::string> Rows(std::string_view query) {
    std::shared_ptr<Recordset> rs;
    EXPECT_TRUE(port_->RsOOpen(query, rs)) << port_->ErrorDetail();
    std::vector<std::string> out;
    while (rs->IsOpen() && !rs->AtEOF()) {
      std::string line;
      for (int i = 0; i < rs->FieldCount(); ++i) {
        if (i) line += "|";
        const DbValue& v = rs->Value(i);
        line += v ? *v : "<null>";
      }
      out.push_back(line);
      rs->MoveNext();
    }
    return out;
  }

  test_support::DatastoreHome home_;
  std::shared_ptr<Port> port_;
};

TEST_F(PortConnectionTest, ConnectsToTheSystemAccount) {
  ASSERT_TRUE(ConnectAccount(*port_, "dm")) << port_->ErrorDetail();
  EXPECT_EQ(Parts(*port_).account.Account(), "dm");
  EXPECT_TRUE(Parts(*port_).account.CatalogOpen());
  // The embedded store keeps the item locks in a file of their own (reached under the same
  // name), not among the system account's tables.
  for (const char* table : {"users", "printhold", "md"}) {
    EXPECT_NE(Parts(*port_).account.TableList().find(std::string(1, kAttributeMark) + table +
                                                     kAttributeMark),
              std::string::npos)
        << table << " in " << Parts(*port_).account.TableList();
  }
  EXPECT_EQ(Parts(*port_).account.TableList().front(), kAttributeMark);
  EXPECT_EQ(Parts(*port_).account.TableList().back(), kAttributeMark);
  if (Embedded()) {
    EXPECT_EQ(Parts(*port_).account.TableList(), "\xFEusers\xFEprinthold\xFEmd\xFE");
    EXPECT_NO_THROW(Parts(*port_).account.Connection()->Query("SELECT A0, UserInst FROM locks"));
    EXPECT_EQ(Parts(*port_).account.SystemConnection(), Parts(*port_).account.Connection());
  }
  EXPECT_EQ(Rows("select A0, A8 from users where A0 = '" + home_.user() + "'"),
            std::vector<std::string>{home_.user() + "|3"});
  // The embedded store keeps the password as a salted hash, never as typed; a server checks
  // it at its own login and the table keeps none.
  const std::vector<std::string> stored =
      Rows("select A7 from users where A0 = '" + home_.user() + "'");
  ASSERT_EQ(stored.size(), 1u);
  if (Embedded()) {
    EXPECT_EQ(stored[0].rfind("$2b$", 0), 0u) << stored[0];
    EXPECT_EQ(CheckPassword("secret", stored[0]), PasswordCheck::kMatches);
  } else {
    EXPECT_TRUE(stored[0].empty() || stored[0] == "<null>") << stored[0];
  }
}

TEST_F(PortConnectionTest, MovesBetweenAccounts) {
  ASSERT_TRUE(ConnectAccount(*port_, "dm"));
  ASSERT_TRUE(ConnectAccount(*port_, home_.account())) << port_->ErrorDetail();
  EXPECT_EQ(Parts(*port_).account.Account(), home_.account());
  EXPECT_EQ(Parts(*port_).account.TableList(), "\xFEmd\xFE");
  EXPECT_TRUE(Parts(*port_).account.CatalogOpen());
  std::shared_ptr<Recordset> rs;
  EXPECT_FALSE(port_->RsOOpen("select * from users", rs));  // users live in dm only
  if (Embedded()) {
    // The system account stays in reach for locks and users.
    ASSERT_TRUE(Parts(*port_).account.SystemConnection());
    EXPECT_NE(Parts(*port_).account.SystemConnection(), Parts(*port_).account.Connection());
    auto cursor = Parts(*port_).account.SystemConnection()->Query("select A0 from users");
    EXPECT_TRUE(cursor->Next());
  }
}

TEST_F(PortConnectionTest, AFailedMoveKeepsTheOldAccountWorking) {
  ASSERT_TRUE(ConnectAccount(*port_, home_.account()));
  EXPECT_FALSE(ConnectAccount(*port_, "nosuchaccount"));
  EXPECT_EQ(port_->ErrorDetail().rfind("[-2147217843] ", 0), 0u) << port_->ErrorDetail();
  EXPECT_EQ(Parts(*port_).account.Account(), home_.account());
  EXPECT_EQ(Parts(*port_).account.TableList(), "\xFEmd\xFE");
  EXPECT_TRUE(Rows("select A0 from md").empty());
  // Nothing was created by trying.
  EXPECT_FALSE(ConnectAccount(*port_, "nosuchaccount"));
}

// A catalog entry for an account that is not there is a mistake, never a new account;
// named with --account too, the account is made and the entry goes in.
TEST_F(PortConnectionTest, TheSetUpCataloguesOnlyInAccountsThatAreThere) {
  const std::string typo = home_.account() + "x";
  SetupOptions o;
  o.catalog = {{typo, "HELLO", "JScript", "hello.js"}};
  std::string error;
  bool refused = false;
  EXPECT_FALSE(home_.Setup(o, &error, {}, &refused));
  EXPECT_TRUE(refused);
  EXPECT_EQ(error, "No account '" + typo + "' for the catalog entry " + typo +
                       ",HELLO: --account " + typo + " makes it.");
  EXPECT_FALSE(ConnectAccount(*port_, typo));

  o.accounts = {typo};
  ASSERT_TRUE(home_.Setup(o, &error, {}, &refused)) << error;
  EXPECT_FALSE(refused);
  ASSERT_TRUE(ConnectAccount(*port_, typo)) << port_->ErrorDetail();
  EXPECT_EQ(Rows("select A1 from md where A0 = 'HELLO'").size(), 1u);
}

TEST_F(PortConnectionTest, BadAccountNamesNeverReachTheStore) {
  ASSERT_TRUE(ConnectAccount(*port_, "dm"));
  for (const char* bad : {"../dm", "a/b", "a'b", "dm; drop table users", "a b", ""}) {
    EXPECT_FALSE(ConnectAccount(*port_, bad)) << bad;
    EXPECT_EQ(port_->ErrorDetail().rfind("[913] ", 0), 0u) << port_->ErrorDetail();
    EXPECT_EQ(Parts(*port_).account.Account(), "dm");
  }
  EXPECT_FALSE(ConnectAccount(*port_, std::string("d\0m", 3)));
  EXPECT_EQ(Rows("select A0 from users where A0 = '" + home_.user() + "'").size(), 1u);
  if (Embedded()) {
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::path(home_.home()) / "JetMDB" / ".." / "dm.db"));
  }
}

#ifndef ORVIK_TEST_MARIADB  // embedded store only
TEST_F(PortConnectionTest, AccountWithoutCatalog) {
  SqliteDriver::CreateAccount(home_.home(), "bare");
  ASSERT_TRUE(ConnectAccount(*port_, "BARE")) << port_->ErrorDetail();
  EXPECT_FALSE(Parts(*port_).account.CatalogOpen());
  EXPECT_EQ(Parts(*port_).account.TableList(), "\xFE");
  EXPECT_EQ(Parts(*port_).account.Account(), "BARE");
}
#endif

TEST_F(PortConnectionTest, RsOOpenDropsOneTrailingSemicolon) {
  ASSERT_TRUE(ConnectAccount(*port_, "dm"));
  std::shared_ptr<Recordset> rs;
  ASSERT_TRUE(port_->RsOOpen("select A0 from users where A0 = '" + home_.user() + "';", rs))
      << port_->ErrorDetail();
  EXPECT_EQ(rs->Source(), "select A0 from users where A0 = '" + home_.user() + "'");
  EXPECT_FALSE(rs->AtEOF());
  EXPECT_TRUE(port_->RsOOpen("select A0 from users", rs));
  EXPECT_FALSE(port_->RsOOpen("select nothing from nowhere;", rs));
  EXPECT_EQ(port_->ErrorDetail().front(), '[');
  EXPECT_FALSE(rs->IsOpen());
}

TEST_F(PortConnectionTest, RecordSetsWalkNullsFindAndGetString) {
  ASSERT_TRUE(ConnectAccount(*port_, home_.account()));
  ASSERT_TRUE(Parts(*port_).account.Connection());
  CreateFileTable(*Parts(*port_).account.Connection(), home_.dataStore(),
                  TableTemplate::kDictionary, "cust");
  for (const char* key : {"c", "a", "b"}) {
    const DbValue row[] = {std::string(key), key == std::string("b") ? DbValue() : DbValue("x")};
    Parts(*port_).account.Connection()->Execute("insert into cust_dict (A0, A1) values (?, ?)",
                                                row);
  }
  std::shared_ptr<Recordset> rs;
  ASSERT_TRUE(port_->RsOOpen("select A0, A1 from cust_dict order by A0", rs));
  EXPECT_FALSE(rs->AtBOF());
  EXPECT_EQ(*rs->Value("a0"), "a");
  rs->Find("A0 = 'b'");
  ASSERT_FALSE(rs->AtEOF());
  EXPECT_EQ(*rs->Value(0), "b");
  rs->Find("A0 = 'zz'");
  EXPECT_TRUE(rs->AtEOF());
  rs->MoveFirst();
  EXPECT_EQ(rs->GetString("|", ";", "NULL"), "a|x;b|NULL;c|x;");
  EXPECT_TRUE(rs->AtEOF());
  EXPECT_THROW(rs->Value(0), VbError);

  ASSERT_TRUE(port_->RsOOpen("select A0, A1 from cust_dict where A0 = 'B'", rs));
  ASSERT_FALSE(rs->AtEOF());  // keys compare without regard to case
  EXPECT_TRUE(rs->FieldValue(1).IsNull());
  EXPECT_EQ(rs->FieldValue(0).ToString(), "b");
}

#ifndef ORVIK_TEST_MARIADB  // embedded store only
TEST_F(PortConnectionTest, JetQRefReadsAnotherEmbeddedAccount) {
  ASSERT_TRUE(ConnectAccount(*port_, home_.account()));
  std::shared_ptr<Recordset> rs;
  EXPECT_EQ(
      port_->JetQRef("dm", "users", "select A8 from users where A0 = '" + home_.user() + "'", rs),
      "");
  ASSERT_FALSE(rs->AtEOF());
  EXPECT_EQ(*rs->Value(0), "3");
  EXPECT_EQ(Parts(*port_).account.Account(), home_.account());
  EXPECT_THROW(port_->JetQRef("nosuch", "t", "select 1", rs), VbError);
}
#endif

#ifndef ORVIK_TEST_MARIADB  // embedded store only
TEST_F(PortConnectionTest, AnUnknownDataStoreMakesNoConnection) {
  std::ofstream(std::filesystem::path(home_.home()) / "OrvikEngine.ini")
      << "[Global]\nDataStore=ORACLE\n";
  auto port = Port::Create(home_.home());
  EXPECT_TRUE(ConnectAccount(*port, "dm"));
  EXPECT_EQ(Parts(*port).account.Account(), "dm");
  EXPECT_FALSE(Parts(*port).account.Connection());
  std::shared_ptr<Recordset> rs;
  EXPECT_FALSE(port->RsOOpen("select 1", rs));
  EXPECT_EQ(port->ErrorDetail().rfind("[3704] ", 0), 0u);
}
#endif

}  // namespace
}  // namespace orvik

namespace orvik {
namespace {

TEST_F(PortConnectionTest, ScriptsWalkARecordSetByName) {
  ASSERT_TRUE(ConnectAccount(*port_, "dm"));
  std::shared_ptr<Recordset> rs;
  ASSERT_TRUE(port_->RsOOpen("select A0, A8 from users where A0 = '" + home_.user() + "'", rs));
  Dispatch& d = *rs;
  EXPECT_FALSE(d.Get("EOF").ToBoolean());
  Variant byName[] = {Variant("a8")};
  EXPECT_EQ(d.Call("Fields", byName).ObjectRef()->Get("Value").ToString(), "3");
  Variant byPosition[] = {Variant(0)};
  const Variant field = d.Call("Fields", byPosition);
  EXPECT_EQ(field.ObjectRef()->Get("Name").ToString(), "A0");
  EXPECT_EQ(d.Get("Fields").ObjectRef()->Get("Count").ToLong(), 2);
  d.Call("MoveNext", {});
  EXPECT_TRUE(d.Get("eof").ToBoolean());
  // A field object read after the end says so rather than showing stale data.
  EXPECT_THROW(field.ObjectRef()->Get("Value"), VbError);
  Variant missing[] = {Variant("nope")};
  try {
    d.Call("Fields", missing);
    FAIL();
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), rserr::kItemNotFound);
  }
}

}  // namespace
}  // namespace orvik

namespace orvik {
namespace {

TEST_F(PortConnectionTest, RecordSetsAddAndUpdateRows) {
  ASSERT_TRUE(ConnectAccount(*port_, home_.account()));
  CreateFileTable(*Parts(*port_).account.Connection(), home_.dataStore(),
                  TableTemplate::kDictionary, "inv");
  std::shared_ptr<Recordset> rs;
  ASSERT_TRUE(port_->RsOOpen("select * from inv_dict where A0 = 'K1'", rs));
  EXPECT_TRUE(rs->AtEOF());
  rs->AddNew();
  rs->SetValue("A0", "K1");
  rs->SetValue("a2", "O'Brien \xFE\xFD\\");
  rs->Update();
  EXPECT_EQ(Rows("select A0, A1, A2 from inv_dict"),
            std::vector<std::string>{"K1|<null>|O'Brien \xFE\xFD\\"});

  ASSERT_TRUE(port_->RsOOpen("select * from inv_dict where A0 = 'k1'", rs));
  ASSERT_FALSE(rs->AtEOF());
  rs->SetValue("A1", "first");
  rs->Update();
  EXPECT_EQ(Rows("select A1, A2 from inv_dict where A0 = 'K1'"),
            std::vector<std::string>{"first|O'Brien \xFE\xFD\\"});
}

}  // namespace
}  // namespace orvik
