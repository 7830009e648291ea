// The item store and the lock table on a recording driver, without a login or a port: the
// statements they send and the outcomes they report.

#include "item_store.h"

#include <gtest/gtest.h>

#include "lock_table.h"
#include "recording_driver.h"

namespace orvik {
namespace {

class ItemStoreTest : public ::testing::Test {
 protected:
  ItemStoreTest() {
    EngineSettings settings;
    settings.dataStore = "MYSQL";
    account_ = std::make_unique<AccountConnection>(
        "/nonexistent", settings, [this](std::string_view kind) {
          auto d = std::make_shared<RecordingDriver>(std::string(kind));
          d->set_compound_statements(true);  // a MariaDB server
          driver_ = d.get();
          return d;
        });
    locks_ = std::make_unique<LockTable>(*account_);
    items_ = std::make_unique<ItemStore>(*account_, *locks_);
    EXPECT_TRUE(account_->Connect("sales").ok());
    locks_->SetHolder("me*1", nullptr);
    driver_->ClearCalls();
  }

  std::vector<std::string> Statements() const { return driver_->Statements(); }
  bool Sent(std::string_view prefix) const {
    for (const std::string& s : Statements()) {
      if (s.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }
  // K1 read for update, its lock taken by the read's own statement where the server can.
  Status ReadK1ForUpdate(const std::string& text, Variant& item) {
    driver_->Queue(Answer::Result({"A0", "A1"}, {{std::string("K1"), text}}),
                   CallMatch::Contains("SELECT * FROM sales.cust WHERE A0 = ?"));
    return items_->Read(item, Variant("sales.cust"), Variant("K1"), std::nullopt,
                        ItemStore::LockTest::kTake, false);
  }
  Status ReadK3ForUpdate(Variant& item) {
    return items_->Read(item, Variant("sales.cust"), Variant("K3"), std::nullopt,
                        ItemStore::LockTest::kTake, false);
  }
  void Row(std::vector<DbValue> values) {
    driver_->Queue(Answer::Result({"A0", "A1"}, {std::move(values)}),
                   CallMatch::Prefix("SELECT * FROM sales.cust"));
  }

  RecordingDriver* driver_ = nullptr;
  std::unique_ptr<AccountConnection> account_;
  std::unique_ptr<LockTable> locks_;
  std::unique_ptr<ItemStore> items_;
};

TEST_F(ItemStoreTest, AMissingItemIsReportedWithTheStatementAsTyped) {
  std::string item = "left over";
  const Status read = items_->ReadItemRaw(item, "sales.cust", "O'X");
  EXPECT_TRUE(read.Is(dberr::kItemMissing));
  EXPECT_EQ(read.Message(),
            "[912] ItemID \"O'X\" does not exist in recordset \"SELECT * FROM sales.cust WHERE A0 "
            "= 'O\\'X'\"");
  EXPECT_EQ(item, "");
  // The value itself went as a parameter.
  ASSERT_EQ(driver_->Calls().size(), 1u);
  EXPECT_EQ(driver_->Calls()[0].text, "SELECT * FROM sales.cust WHERE A0 = ?");
}

// On MariaDB the lock's test, the write check, the write and the lock's release are one
// transaction: a write refused changes nothing.
TEST_F(ItemStoreTest, AnItemChangedSinceItsCopyIsNotWrittenAndNothingIsCommitted) {
  Row({"K1", "as read"});
  Variant item;
  ASSERT_TRUE(items_
                  ->Read(item, Variant("sales.cust"), Variant("K1"), std::nullopt,
                         ItemStore::LockTest::kTestOnly, true)
                  .ok());
  EXPECT_EQ(item.ToString(), "as read");
  // The test sees a lock another session holds open, and does not wait for it.
  EXPECT_EQ(Statements().front(),
            "SET STATEMENT innodb_lock_wait_timeout=0 FOR SELECT A0, UserInst FROM dm.locks "
            "WHERE A0 = ? LOCK IN SHARE MODE");
  driver_->ClearCalls();
  Row({"K1", "changed by another"});
  const Status written = items_->WriteItem("mine", "sales.cust", "K1", false);
  EXPECT_EQ(written.Message(),
            "[925] TRANSACTION FAILED, another user has changed your record, please try again");
  EXPECT_EQ(Statements(),
            (std::vector<std::string>{"START TRANSACTION",
                                      "SET STATEMENT innodb_lock_wait_timeout=0 FOR INSERT INTO "
                                      "dm.locks (A0, UserInst) VALUES (?, ?)",
                                      "SELECT * FROM sales.cust WHERE A0 = ?", "ROLLBACK"}));
  // The copy is spent: the next write goes straight through, on the table's two columns, its
  // lock taken and freed in the write's own statement.
  driver_->ClearCalls();
  driver_->Queue(Answer::Result({"A0", "A1"}, {}),
                 CallMatch::Prefix("SELECT * FROM sales.cust WHERE 1 = 0"));
  EXPECT_TRUE(items_->WriteItem("mine", "sales.cust", "K1", false).ok());
  const std::vector<std::string> sent = Statements();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1],
            "BEGIN NOT ATOMIC START TRANSACTION; SET STATEMENT innodb_lock_wait_timeout=0 FOR "
            "INSERT INTO dm.locks (A0, UserInst) VALUES (?, ?); REPLACE INTO sales.cust (A0, A1) "
            "VALUES (?, ?); DELETE FROM dm.locks WHERE A0 = ? AND UserInst = ?; COMMIT; END");
  const std::string key = "sales.cust\xFFK1";
  EXPECT_EQ(driver_->Calls().back().params,
            (std::vector<DbValue>{key, "me*1", "K1", "mine", key, "me*1"}));
}

TEST_F(ItemStoreTest, AnotherLiveSessionsLockRefusesTheItemAndTheWrite) {
  const auto anotherHolds = [&] {
    driver_->Queue(Answer::Error(dberr::kIntegrity, "Duplicate entry"),
                   CallMatch::Contains("INSERT INTO dm.locks"));
    driver_->Queue(Answer::Result({"A0", "UserInst"},
                                  {{std::string("sales.cust\xFFK1"), std::string("other*2")}}),
                   CallMatch::Contains("SELECT A0, UserInst FROM dm.locks"));
    driver_->Queue(Answer::Result({"used"}, {{std::string("42")}}),
                   CallMatch::Prefix("SELECT IS_USED_LOCK"));
  };
  // Refused as the read's own statement takes the lock, and again as the lock is looked at.
  anotherHolds();
  driver_->Queue(Answer::Error(dberr::kIntegrity, "Duplicate entry"),
                 CallMatch::Contains("INSERT INTO dm.locks"));
  Variant item = Variant("kept?");
  const Status read = items_->Read(item, Variant("sales.cust"), Variant("K1"), std::nullopt,
                                   ItemStore::LockTest::kTake, false);
  EXPECT_EQ(read.Message(), "[920] Another user has this item locked");
  EXPECT_EQ(item.ToString(), "");
  EXPECT_FALSE(Sent("SELECT * FROM sales.cust"));

  // The write's own statement finds the lock row there, and the lock is looked at as above.
  driver_->ClearCalls();
  driver_->Queue(Answer::Result({"A0", "A1"}, {}),
                 CallMatch::Prefix("SELECT * FROM sales.cust WHERE 1 = 0"));
  driver_->Queue(Answer::Error(dberr::kIntegrity, "Duplicate entry"),
                 CallMatch::Contains("INSERT INTO dm.locks"));
  anotherHolds();
  EXPECT_EQ(items_->WriteItem("mine", "sales.cust", "K1", false).Message(),
            "[920] Another user has this item locked");
  EXPECT_FALSE(Sent("REPLACE INTO sales.cust (A0"));
  EXPECT_EQ(Statements().back(), "ROLLBACK");
}

// On a server alone the read for update leaves its transaction open, the lock not committed
// (others see it as they try for the item), and the write that ends it commits the lock's
// take, the write and the release as one: one durable commit for the whole change.
TEST_F(ItemStoreTest, OnAServerAloneTheLockCycleIsOneTransaction) {
  // (The table's columns are looked at once, at its first write: a statement of its own.)
  driver_->Queue(Answer::Result({"A0", "A1"}, {}),
                 CallMatch::Prefix("SELECT * FROM sales.cust WHERE 1 = 0"));
  ASSERT_TRUE(items_->WriteItem("first", "sales.cust", "K0", false).ok());
  driver_->ClearCalls();
  Variant item;
  ASSERT_TRUE(ReadK1ForUpdate("as read", item).ok());
  EXPECT_EQ(item.ToString(), "as read");
  ASSERT_EQ(driver_->Calls().size(), 1u);
  EXPECT_EQ(driver_->Calls()[0].text,
            "BEGIN NOT ATOMIC START TRANSACTION; SET STATEMENT innodb_lock_wait_timeout=0 FOR "
            "INSERT INTO dm.locks (A0, UserInst) VALUES (?, ?); SELECT * FROM sales.cust WHERE A0 "
            "= ?; END");
  const std::string key = "sales.cust\xFFK1";
  EXPECT_EQ(driver_->Calls()[0].params, (std::vector<DbValue>{key, "me*1", "K1"}));
  EXPECT_TRUE(driver_->Deferred());

  driver_->ClearCalls();
  ASSERT_TRUE(items_->WriteItem("mine", "sales.cust", "K1", false).ok());
  ASSERT_EQ(driver_->Calls().size(), 1u);
  const RecordedCall& write = driver_->Calls().back();
  EXPECT_EQ(write.text,
            "BEGIN NOT ATOMIC DELETE FROM dm.locks WHERE A0 = ? AND UserInst = ?; IF ROW_COUNT() = "
            "0 THEN SIGNAL SQLSTATE '45000' SET MYSQL_ERRNO = 6920, MESSAGE_TEXT = 'Another user "
            "has this item locked'; END IF; REPLACE INTO sales.cust (A0, A1) VALUES (?, ?); "
            "COMMIT; END");
  EXPECT_EQ(write.params, (std::vector<DbValue>{key, "me*1", "K1", "mine"}));
  EXPECT_FALSE(driver_->Deferred());

  // Freed: the next write of the item takes the lock for itself in its own statement.
  driver_->ClearCalls();
  ASSERT_TRUE(items_->WriteItem("again", "sales.cust", "K1", false).ok());
  EXPECT_EQ(Statements().size(), 1u);
  EXPECT_TRUE(Sent("BEGIN NOT ATOMIC START TRANSACTION; SET STATEMENT"));
}

TEST_F(ItemStoreTest, AnyOtherStatementCommitsTheLockAReleaseRollsItBack) {
  Variant item;
  ASSERT_TRUE(ReadK1ForUpdate("x", item).ok());
  driver_->ClearCalls();
  Row({"K2", "other"});
  ASSERT_TRUE(items_
                  ->Read(item, Variant("sales.cust"), Variant("K2"), std::nullopt,
                         ItemStore::LockTest::kNone, false)
                  .ok());
  EXPECT_EQ(Statements(),
            (std::vector<std::string>{"COMMIT", "SELECT * FROM sales.cust WHERE A0 = ?"}));

  ASSERT_TRUE(ReadK1ForUpdate("x", item).ok());
  driver_->ClearCalls();
  // A missing item stays locked for the write that makes it.
  EXPECT_EQ(ReadK3ForUpdate(item).Message().substr(0, 6), "[912] ");
  EXPECT_EQ(Statements().front(), "COMMIT");  // K1's lock
  driver_->ClearCalls();
  EXPECT_TRUE(locks_->Release("sales.cust", "K3").ok());
  EXPECT_EQ(Statements(), std::vector<std::string>{"ROLLBACK"});
}

// On a cluster every node must see the lock at once: the read for update commits it, and the
// write that ends it opens a transaction of its own.
TEST_F(ItemStoreTest, OnAClusterTheLockIsCommittedAtOnce) {
  driver_->set_facts(ServerFacts{true, false, "node1", "db1:3306"});
  Variant item;
  ASSERT_TRUE(ReadK1ForUpdate("as read", item).ok());
  EXPECT_TRUE(driver_->Calls()[0].text.ends_with("WHERE A0 = ?; COMMIT; END"));
  EXPECT_FALSE(driver_->Deferred());
  driver_->ClearCalls();
  driver_->Queue(Answer::Result({"A0", "A1"}, {}),
                 CallMatch::Prefix("SELECT * FROM sales.cust WHERE 1 = 0"));
  ASSERT_TRUE(items_->WriteItem("mine", "sales.cust", "K1", false).ok());
  EXPECT_TRUE(driver_->Calls().back().text.starts_with(
      "BEGIN NOT ATOMIC START TRANSACTION; DELETE FROM dm.locks"));
}

// Transactions that collide with another session's (a deadlock, a cluster's failed
// certification) are run again, and refused as the item's lock if they keep colliding:
// never the server's own error.
TEST_F(ItemStoreTest, ACollisionIsTriedAgainThenRefusedAsTheItemsLock) {
  driver_->set_facts(ServerFacts{true, false, "node1", "db1:3306"});
  const auto collide = [&](const char* statement, int times) {
    for (int i = 0; i < times; ++i)
      driver_->Queue(Answer::Error(dberr::kConflict, "Deadlock found when trying to get lock"),
                     CallMatch::Contains(statement));
  };
  driver_->Queue(Answer::Result({"A0", "A1"}, {}),
                 CallMatch::Prefix("SELECT * FROM sales.cust WHERE 1 = 0"));
  Variant item;
  ASSERT_TRUE(ReadK1ForUpdate("x", item).ok());
  collide("IF ROW_COUNT()", 1);
  EXPECT_TRUE(items_->WriteItem("once", "sales.cust", "K1", false).ok());

  ASSERT_TRUE(ReadK1ForUpdate("x", item).ok());
  collide("IF ROW_COUNT()", 10);
  driver_->ClearCalls();
  EXPECT_EQ(items_->WriteItem("never", "sales.cust", "K1", false).Message(),
            "[920] Another user has this item locked");
  EXPECT_GT(driver_->PendingAnswers(), 0u);  // a few tries, not all ten

  // A plain write: its own statement first, then the transaction that looks at the lock.
  collide("REPLACE INTO", 20);
  EXPECT_EQ(items_->WriteItem("plain", "sales.cust", "K1", false).Message(),
            "[920] Another user has this item locked");
}

// A lock this port took that went behind its back (its holder judged gone by another
// session) refuses the write: the item may have changed since it was read.
TEST_F(ItemStoreTest, AWriteWhoseLockWentBehindItsBackIsRefused) {
  Variant item;
  ASSERT_TRUE(ReadK1ForUpdate("x", item).ok());
  driver_->Queue(Answer::Error(dberr::kLockedByAnother, "Another user has this item locked"),
                 CallMatch::Contains("IF ROW_COUNT()"));
  driver_->Queue(Answer::Result({"A0", "A1"}, {}),
                 CallMatch::Prefix("SELECT * FROM sales.cust WHERE 1 = 0"));
  driver_->ClearCalls();
  EXPECT_EQ(items_->WriteItem("mine", "sales.cust", "K1", false).Message(),
            "[920] Another user has this item locked");
  EXPECT_EQ(Statements().back(), "ROLLBACK");

  // The same found by a write for update, which keeps its lock: no lock, no write.
  ASSERT_TRUE(ReadK1ForUpdate("x", item).ok());
  driver_->Commit();  // (another statement came between)
  driver_->ClearCalls();
  EXPECT_EQ(items_->WriteItem("mine", "sales.cust", "K1", true).Message(),
            "[920] Another user has this item locked");  // its insert went in: not its own
  EXPECT_FALSE(Sent("REPLACE INTO"));
  EXPECT_EQ(Statements().back(), "ROLLBACK");
}

// MySQL has no compound statements: there the lock goes in and out on its own.
TEST_F(ItemStoreTest, AServerWithoutCompoundStatementsTakesAndFreesTheLockOnItsOwn) {
  driver_->set_compound_statements(false);
  Variant item;
  ASSERT_TRUE(ReadK1ForUpdate("as read", item).ok());
  EXPECT_EQ(item.ToString(), "as read");
  EXPECT_EQ(Statements(),
            (std::vector<std::string>{"INSERT INTO dm.locks (A0, UserInst) VALUES (?, ?)",
                                      "SELECT * FROM sales.cust WHERE A0 = ?"}));
  driver_->ClearCalls();
  driver_->Queue(Answer::Result({"A0", "A1"}, {}),
                 CallMatch::Prefix("SELECT * FROM sales.cust WHERE 1 = 0"));
  driver_->Queue(
      Answer::Result({"A0", "UserInst"}, {{std::string("sales.cust\xFFK1"), std::string("me*1")}}),
      CallMatch::Prefix("SELECT A0, UserInst FROM dm.locks"));
  ASSERT_TRUE(items_->WriteItem("mine", "sales.cust", "K1", false).ok());
  EXPECT_TRUE(Sent("REPLACE INTO sales.cust"));
  EXPECT_TRUE(Sent("DELETE FROM dm.locks WHERE A0 = ? AND UserInst = ?"));
  EXPECT_FALSE(Sent("BEGIN NOT ATOMIC"));
  EXPECT_FALSE(Sent("START TRANSACTION"));
}

TEST_F(ItemStoreTest, DeletingWhatIsNotThereIsARefusalWithoutAReason) {
  const Status deleted = items_->Delete("sales.cust", "NONE");
  EXPECT_FALSE(deleted.ok());
  EXPECT_EQ(deleted.Message(), "");
  EXPECT_TRUE(Sent("DELETE FROM sales.cust WHERE A0 = ?"));
  // A name that is no table is raised, as the member raises it.
  EXPECT_THROW(items_->Delete("sales.c'x", "K"), VbError);
}

TEST_F(ItemStoreTest, ReleaseFreesOneItemAFileOrEverything) {
  EXPECT_TRUE(locks_->Release("sales.cust", "K1").ok());
  EXPECT_EQ(driver_->Calls().back().params[0], DbValue("sales.cust\xFFK1"));
  driver_->Queue(Answer::Result(
      {"A0"}, {{std::string("sales.cust\xFFK1")}, {std::string("sales.cust2\xFFK9")}}));
  EXPECT_TRUE(locks_->Release("SALES.CUST", "").ok());
  // Exactly the file's own keys, never another file that starts with its name.
  EXPECT_EQ(driver_->Calls().back().params[0], DbValue("sales.cust\xFFK1"));
  // All of them: found, then freed by key, never by a statement that would go through the
  // other sessions' rows (and wait for those their transactions hold open).
  driver_->Queue(Answer::Result({"A0"}, {{std::string("sales.cust2\xFFK9")}}));
  driver_->ClearCalls();
  EXPECT_TRUE(locks_->Release("", "").ok());
  EXPECT_EQ(Statements(),
            (std::vector<std::string>{"SELECT A0 FROM dm.locks WHERE UserInst = ?",
                                      "DELETE FROM dm.locks WHERE A0 = ? AND UserInst = ?"}));
  EXPECT_EQ(driver_->Calls().back().params[0], DbValue("sales.cust2\xFFK9"));
  // A connection that refuses the statement is a failure to report.
  driver_->Queue(Answer::Error(-2147467259, "gone", "Execute"));
  EXPECT_EQ(locks_->Release("sales.cust", "K1").Message(), "[-2147467259] gone");
}

}  // namespace
}  // namespace orvik
