// Item members, locks and the write check with two ports on one datastore; built once for
// the embedded store and once for the private MariaDB server.

#include "counter_process.h"
#include "datastore_home.h"
#include "layout.h"
#include "lock_table.h"
#include "port.h"
#include "port_access.h"

namespace orvik {
namespace {

using namespace port_access;

const char* const kLocked = "[920] Another user has this item locked";
const char* const kChanged =
    "[925] TRANSACTION FAILED, another user has changed your record, please try again";

class PortItemsTest : public ::testing::Test {
 protected:
  PortItemsTest() : home_(ORVIK_TEST_DATASTORE) {
    a_ = LoggedIn();
    b_ = LoggedIn();
    CreateFileTable(*Parts(*a_).account.Connection(), home_.dataStore(),
                    TableTemplate::kDataColumns, "orders", 3);
    CreateFileTable(*Parts(*a_).account.Connection(), home_.dataStore(),
                    TableTemplate::kDataColumns, "orders2", 3);
    fv_ = home_.account() + ".orders";
    EXPECT_TRUE(
        a_->WWrite("one\xFE"
                   "1",
                   fv_, "C1"))
        << a_->ErrorDetail();
  }

  std::shared_ptr<Port> LoggedIn() { return test_support::LoggedIn(home_); }
  // This home's lock rows (the server's dm is shared by every test).
  int LockRows(Port& p) { return static_cast<int>(test_support::LockHolders(home_, p).size()); }
  // Puts `holder`'s lock row for the item `id` in place of whatever row it had, as another
  // session (or an administrator's statement) would behind a port's back.
  void ReplaceLockRow(Port& p, const std::string& id, const std::string& holder) {
    const bool server = home_.dataStore() == "MYSQL";
    Driver& d = server ? *Parts(p).account.Connection() : *Parts(p).account.SystemConnection();
    const std::string table = server ? "dm.locks" : "locks";
    const DbValue key{LockTable::Key(fv_, id)};
    d.Execute("DELETE FROM " + table + " WHERE A0 = ?", std::span<const DbValue>(&key, 1));
    const DbValue row[] = {key, holder};
    d.Execute("INSERT INTO " + table + " (A0, UserInst) VALUES (?, ?)", row);
  }
  std::string Read(Port& p, const std::string& id) {
    Variant item;
    EXPECT_TRUE(p.RRead(item, Variant(fv_), Variant(id))) << p.ErrorDetail();
    return item.ToString();
  }

  test_support::DatastoreHome home_;
  std::shared_ptr<Port> a_, b_;
  std::string fv_;
};

TEST_F(PortItemsTest, AnUpdateLockKeepsOtherUpdatersOut) {
  Variant item;
  ASSERT_TRUE(a_->RReadU(item, Variant(fv_), Variant("C1")));
  EXPECT_EQ(item.ToString(),
            "one\xFE"
            "1\xFE");
  Variant other("stale");
  EXPECT_FALSE(b_->RReadU(other, Variant(fv_), Variant("C1")));
  EXPECT_EQ(b_->ErrorDetail(), kLocked);
  EXPECT_EQ(other.ToString(), "");
  EXPECT_FALSE(b_->WWrite("x", fv_, "C1"));
  EXPECT_EQ(b_->ErrorDetail(), kLocked);
  // Plain reads go on; a read for a transaction does not.
  EXPECT_EQ(Read(*b_, "C1"),
            "one\xFE"
            "1\xFE");
  EXPECT_FALSE(b_->RReadTR(other, Variant(fv_), Variant("C1")));
  EXPECT_EQ(b_->ErrorDetail(), kLocked);

  ASSERT_TRUE(a_->WWrite("two", fv_, "C1"));  // writes and lets go
  EXPECT_EQ(LockRows(*a_), 0);
  ASSERT_TRUE(b_->RReadU(other, Variant(fv_), Variant("c1")));  // ids ignore case
  EXPECT_EQ(other.ToString(), "two\xFE\xFE");
}

// The lock a read for update took can go behind the port's back (its holder judged gone).
// Another live session's lock refuses the write. A gone one's is removed: on the embedded
// store the write then goes on; on a server, whose lock goes in the write's transaction, the
// write is refused all the same, since the item may have changed since it was read.
TEST_F(PortItemsTest, AWriteWhoseLockWentBehindItsBackLooksAtTheLockAgain) {
  Variant item;
  ASSERT_TRUE(a_->RReadU(item, Variant(fv_), Variant("C1")));
  ReplaceLockRow(*a_, "C1", b_->UserInst());
  EXPECT_FALSE(a_->WWrite("lost", fv_, "C1"));
  EXPECT_EQ(a_->ErrorDetail(), kLocked);
  EXPECT_EQ(Read(*b_, "C1"),
            "one\xFE"
            "1\xFE");
  ASSERT_TRUE(b_->WWrite("theirs", fv_, "C1"));
  EXPECT_EQ(LockRows(*a_), 0);

  ASSERT_TRUE(a_->RReadU(item, Variant(fv_), Variant("C1")));
  ReplaceLockRow(*a_, "C1", "gone*999");
  if (home_.dataStore() == "MYSQL") {
    EXPECT_FALSE(a_->WWrite("mine", fv_, "C1"));
    EXPECT_EQ(a_->ErrorDetail(), kLocked);
    EXPECT_EQ(Read(*b_, "C1"), "theirs\xFE\xFE");
    ASSERT_TRUE(a_->RReadU(item, Variant(fv_), Variant("C1"))) << a_->ErrorDetail();
  }
  ASSERT_TRUE(a_->WWrite("mine", fv_, "C1")) << a_->ErrorDetail();
  EXPECT_EQ(Read(*b_, "C1"), "mine\xFE\xFE");
  EXPECT_EQ(LockRows(*a_), 0);
}

TEST_F(PortItemsTest, UpdateWritesKeepTheLock) {
  Variant item;
  ASSERT_TRUE(a_->RReadU(item, Variant(fv_), Variant("C1")));
  ASSERT_TRUE(a_->WWriteU("kept", fv_, "C1"));
  EXPECT_FALSE(b_->RReadU(item, Variant(fv_), Variant("C1")));
  ASSERT_TRUE(a_->WWriteVU("v", fv_, "C2", 2));  // an unlocked item: locked now
  EXPECT_EQ(LockRows(*a_), 2);
  EXPECT_FALSE(b_->WWriteV("w", fv_, "C2", 2));
  ASSERT_TRUE(a_->WWriteV("w", fv_, "C2", 2));  // a plain write ends the hold
  EXPECT_EQ(LockRows(*a_), 1);
}

TEST_F(PortItemsTest, AttributeZeroIsTheIdAndNeverWritten) {
  // b holds the id that a write of attribute 0 would rename C1 to.
  Variant item;
  EXPECT_FALSE(b_->RReadU(item, Variant(fv_), Variant("C7")));
  for (std::int32_t attribute : {0, -1}) {
    EXPECT_FALSE(a_->WWriteV("C7", fv_, "C1", attribute));
    EXPECT_EQ(a_->ErrorDetail(),
              "[914] File '" + fv_ + "' has no attribute " + std::to_string(attribute));
    EXPECT_FALSE(a_->WWriteVU("C7", fv_, "C1", attribute));
  }
  EXPECT_EQ(Read(*a_, "C1"),
            "one\xFE"
            "1\xFE");
  Variant missing;
  EXPECT_FALSE(a_->RRead(missing, Variant(fv_), Variant("C7")));
  ASSERT_TRUE(b_->WWrite("b's own", fv_, "C7"));
}

TEST_F(PortItemsTest, APlainWriteOfAnUnlockedItemTakesNoLock) {
  ASSERT_TRUE(a_->WWrite("z", fv_, "C9"));
  EXPECT_EQ(LockRows(*a_), 0);
}

TEST_F(PortItemsTest, ReadingAMissingItemForUpdateLocksItForItsCreation) {
  Variant item("x");
  EXPECT_FALSE(a_->RReadU(item, Variant(fv_), Variant("NEW")));
  EXPECT_EQ(a_->ErrorDetail().rfind("[912] ItemID \"NEW\"", 0), 0u);
  EXPECT_FALSE(b_->RReadU(item, Variant(fv_), Variant("NEW")));
  ASSERT_TRUE(a_->WWrite("created", fv_, "NEW"));
  EXPECT_EQ(LockRows(*a_), 0);
}

TEST_F(PortItemsTest, TheWriteCheckCatchesAnotherPortsChange) {
  Variant item;
  ASSERT_TRUE(a_->RReadTR(item, Variant(fv_), Variant("C1")));
  ASSERT_TRUE(b_->WWrite("changed by b", fv_, "C1"));
  EXPECT_FALSE(a_->WWrite("a's change", fv_, "C1"));
  EXPECT_EQ(a_->ErrorDetail(), kChanged);
  EXPECT_EQ(Read(*a_, "C1"), "changed by b\xFE\xFE");
  // The copy went with the failure: the retry is not checked.
  ASSERT_TRUE(a_->WWrite("a's change", fv_, "C1"));
}

TEST_F(PortItemsTest, AnUnchangedItemPassesTheCheck) {
  CreateFileTable(*Parts(*a_).account.Connection(), home_.dataStore(), TableTemplate::kDictionary,
                  "orders");
  Parts(*a_).account.Connection()->Execute(
      "INSERT INTO orders_dict (A0, A3) VALUES ('<&NUM>', '2')");
  Variant fv;
  ASSERT_TRUE(a_->OOpen(Variant("orders"), fv));
  ASSERT_TRUE(
      a_->WWrite("odd \xFF text\xFE\xFE"
                 "3",
                 fv.ToString(), "C3"));
  Variant item;
  ASSERT_TRUE(a_->RReadTR(item, fv, Variant("C3")));
  EXPECT_EQ(item.ToString(),
            "odd \xFF text\xFE"
            "0\xFE"
            "3");
  // Character 255 in the data and a numeric attribute read as 0 do not look like a change.
  ASSERT_TRUE(a_->WWrite("new", fv.ToString(), "C3")) << a_->ErrorDetail();
}

TEST_F(PortItemsTest, TheCopyBelongsToOneItem) {
  Variant item;
  ASSERT_TRUE(a_->RReadTR(item, Variant(fv_), Variant("C1")));
  ASSERT_TRUE(a_->WWrite("other item", fv_, "C5"));  // unchecked, the copy of C1 stays
  ASSERT_TRUE(b_->WWrite("changed", fv_, "C1"));
  EXPECT_FALSE(a_->WWrite("late", fv_, "C1"));
  EXPECT_EQ(a_->ErrorDetail(), kChanged);
}

TEST_F(PortItemsTest, APlainReadDropsTheCopy) {
  Variant item;
  ASSERT_TRUE(a_->RReadTR(item, Variant(fv_), Variant("C1")));
  ASSERT_TRUE(b_->WWrite("five", fv_, "C5"));
  Read(*a_, "C5");
  ASSERT_TRUE(b_->WWrite("changed", fv_, "C1"));
  EXPECT_TRUE(a_->WWrite("unchecked", fv_, "C1"));
}

TEST_F(PortItemsTest, AnItemDeletedMeanwhileCountsAsChanged) {
  Variant item;
  ASSERT_TRUE(a_->RReadTR(item, Variant(fv_), Variant("C1")));
  ASSERT_TRUE(b_->Delete(Variant(fv_), Variant("C1")));
  EXPECT_FALSE(a_->WWrite("resurrected", fv_, "C1"));
  EXPECT_EQ(a_->ErrorDetail(), kChanged);
}

TEST_F(PortItemsTest, Delete) {
  EXPECT_FALSE(a_->Delete(Variant(fv_), Variant("NOPE")));
  EXPECT_EQ(a_->ErrorDetail(), "");
  Variant item;
  ASSERT_TRUE(b_->RReadU(item, Variant(fv_), Variant("C1")));
  EXPECT_FALSE(a_->Delete(Variant(fv_), Variant("C1")));
  EXPECT_EQ(a_->ErrorDetail(), kLocked);
  ASSERT_TRUE(b_->Delete(Variant(fv_), Variant("C1")));
  EXPECT_EQ(LockRows(*a_), 0);
  EXPECT_FALSE(a_->RRead(item, Variant(fv_), Variant("C1")));
}

TEST_F(PortItemsTest, ReleaseFormsAndTheirReach) {
  Variant item;
  const std::string fv2 = home_.account() + ".orders2";
  // A file whose name would match "orders" as a pattern ("_" is any one character).
  const std::string fvPattern = home_.account() + ".order_";
  ASSERT_TRUE(a_->WWriteU("1", fv_, "K1"));
  ASSERT_TRUE(a_->WWriteU("2", fv_, "K2"));
  ASSERT_TRUE(a_->WWriteU("3", fv2, "K3"));
  ASSERT_TRUE(b_->WWriteU("4", fv_, "K4"));
  // The lock is taken before the read, which fails: there is no such table.
  EXPECT_FALSE(a_->RReadU(item, Variant(fvPattern), Variant("K6")));
  EXPECT_EQ(LockRows(*a_), 5);
  ASSERT_TRUE(a_->Release(Variant(fv_), Variant("K1")));
  EXPECT_EQ(LockRows(*a_), 4);
  // A file's release reaches exactly that file's rows, never another port's.
  ASSERT_TRUE(a_->Release(Variant(fvPattern), Variant(std::string())));
  EXPECT_EQ(LockRows(*a_), 3);  // K2 of orders and K3 of orders2 stay
  ASSERT_TRUE(a_->Release(Variant(UpperCase(fv_)), Variant(std::string())));
  EXPECT_EQ(LockRows(*a_), 2);  // orders2's K3 and b's K4
  EXPECT_FALSE(b_->RReadU(item, Variant(fv2), Variant("K3")));
  ASSERT_TRUE(a_->WWriteU("5", fv_, "K5"));
  ASSERT_TRUE(a_->Release());
  EXPECT_EQ(LockRows(*a_), 1);  // b's
  Variant fvb(fv_);
  ASSERT_TRUE(b_->CClose(fvb));
  EXPECT_EQ(LockRows(*a_), 0);
}

TEST_F(PortItemsTest, AnEndingPortLetsGoOfItsLocks) {
  Variant item;
  ASSERT_TRUE(b_->RReadU(item, Variant(fv_), Variant("C1")));
  b_.reset();
  EXPECT_EQ(LockRows(*a_), 0);
  EXPECT_TRUE(a_->RReadU(item, Variant(fv_), Variant("C1")));
}

TEST_F(PortItemsTest, MembersByName) {
  Variant fv;
  Variant open[] = {Variant("orders"), fv};
  ASSERT_TRUE(a_->Call("OOpen", open).ToBoolean());
  Variant read[] = {Variant(), open[1], Variant("C1")};
  ASSERT_TRUE(a_->Call("RReadU", read).ToBoolean());
  EXPECT_EQ(read[0].ToString(),
            "one\xFE"
            "1\xFE");
  Variant write[] = {Variant("by name"), open[1], Variant("C1")};
  ASSERT_TRUE(a_->Call("WWrite", write).ToBoolean());
  Variant value[] = {Variant(), open[1], Variant("C1"), Variant("1")};
  ASSERT_TRUE(a_->Call("RReadV", value).ToBoolean());
  EXPECT_EQ(value[0].ToString(), "by name");
  EXPECT_TRUE(a_->Call("Release", {}).ToBoolean());
}

// Several processes, two ports each, add one to a counter many times, retrying while another
// holds it. Every increment must survive: the final count is exact.
TEST_F(PortItemsTest, ConcurrentIncrementsAreNeverLost) {
  ASSERT_TRUE(a_->WWrite("0", fv_, "COUNTER"));
  const int processes = 4, perPort = 40;
  std::vector<std::unique_ptr<QProcess>> running;
  for (int i = 0; i < processes; ++i) {
    running.push_back(test_support::StartCounter(home_, fv_, perPort));
  }
  for (auto& p : running) EXPECT_TRUE(test_support::Finished(*p));
  EXPECT_EQ(Read(*a_, "COUNTER"), std::to_string(processes * 2 * perPort) + "\xFE\xFE");
}

}  // namespace
}  // namespace orvik
