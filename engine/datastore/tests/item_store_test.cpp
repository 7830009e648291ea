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

TEST_F(ItemStoreTest, AnItemChangedSinceItsCopyIsNotWrittenAndItsCheckLockGoes) {
  Row({"K1", "as read"});
  Variant item;
  ASSERT_TRUE(items_
                  ->Read(item, Variant("sales.cust"), Variant("K1"), std::nullopt,
                         ItemStore::LockTest::kTestOnly, true)
                  .ok());
  EXPECT_EQ(item.ToString(), "as read");
  Row({"K1", "changed by another"});
  const Status written = items_->WriteItem("mine", "sales.cust", "K1", false);
  EXPECT_EQ(written.Message(),
            "[925] TRANSACTION FAILED, another user has changed your record, please try again");
  EXPECT_TRUE(Sent("INSERT INTO dm.locks"));
  EXPECT_TRUE(Sent("DELETE FROM dm.locks WHERE A0 = ? AND UserInst = ?"));
  EXPECT_FALSE(Sent("REPLACE INTO"));
  // The copy is spent: the next write goes straight through, on the table's two columns.
  driver_->ClearCalls();
  driver_->Queue(Answer::Result({"A0", "A1"}, {}),
                 CallMatch::Prefix("SELECT * FROM sales.cust WHERE 1 = 0"));
  EXPECT_TRUE(items_->WriteItem("mine", "sales.cust", "K1", false).ok());
  EXPECT_TRUE(Sent("REPLACE INTO sales.cust"));
}

TEST_F(ItemStoreTest, AnotherLiveSessionsLockRefusesTheItem) {
  // Refused as the read's own statement takes the lock, and again as the lock is looked at.
  for (int i = 0; i < 2; ++i) {
    driver_->Queue(Answer::Error(dberr::kIntegrity, "Duplicate entry"),
                   CallMatch::Contains("INSERT INTO dm.locks"));
  }
  driver_->Queue(Answer::Result({"A0", "UserInst"},
                                {{std::string("sales.cust\xFFK1"), std::string("other*2")}}),
                 CallMatch::Prefix("SELECT A0, UserInst FROM dm.locks"));
  driver_->Queue(Answer::Result({"used"}, {{std::string("42")}}),
                 CallMatch::Contains("IS_USED_LOCK"));
  Variant item = Variant("kept?");
  const Status read = items_->Read(item, Variant("sales.cust"), Variant("K1"), std::nullopt,
                                   ItemStore::LockTest::kTake, false);
  EXPECT_EQ(read.Message(), "[920] Another user has this item locked");
  EXPECT_EQ(item.ToString(), "");
  EXPECT_FALSE(Sent("SELECT * FROM sales.cust"));
}

// On a server a lock costs round trips, not commits: a read for update takes its lock in the
// read's own statement, and the write that ends it looks for another holder, writes and
// frees the lock in one statement too.
TEST_F(ItemStoreTest, TheLockCycleTakesAndFreesItsLockInTheItemsOwnStatements) {
  Variant item;
  ASSERT_TRUE(ReadK1ForUpdate("as read", item).ok());
  EXPECT_EQ(item.ToString(), "as read");
  ASSERT_EQ(driver_->Calls().size(), 1u);
  EXPECT_EQ(driver_->Calls()[0].text,
            "BEGIN NOT ATOMIC INSERT INTO dm.locks (A0, UserInst) VALUES (?, ?); SELECT * FROM "
            "sales.cust WHERE A0 = ?; END");
  const std::string key = "sales.cust\xFFK1";
  EXPECT_EQ(driver_->Calls()[0].params, (std::vector<DbValue>{key, "me*1", "K1"}));

  driver_->ClearCalls();
  driver_->Queue(Answer::Result({"A0", "A1"}, {}),
                 CallMatch::Prefix("SELECT * FROM sales.cust WHERE 1 = 0"));
  ASSERT_TRUE(items_->WriteItem("mine", "sales.cust", "K1", false).ok());
  EXPECT_FALSE(Sent("SELECT A0, UserInst FROM dm.locks"));
  EXPECT_FALSE(Sent("REPLACE INTO"));
  EXPECT_FALSE(Sent("DELETE FROM dm.locks"));
  const RecordedCall& write = driver_->Calls().back();
  EXPECT_EQ(write.text,
            "BEGIN NOT ATOMIC IF NOT EXISTS (SELECT 1 FROM dm.locks WHERE A0 = ? AND UserInst <> "
            "?) THEN REPLACE INTO sales.cust (A0, A1) VALUES (?, ?); DELETE FROM dm.locks WHERE "
            "A0 = ? AND UserInst = ?; ELSE SIGNAL SQLSTATE '45000' SET MYSQL_ERRNO = 6920, "
            "MESSAGE_TEXT = 'Another user has this item locked'; END IF; END");
  EXPECT_EQ(write.params, (std::vector<DbValue>{key, "me*1", "K1", "mine", key, "me*1"}));

  // Freed: the next write of the item looks at the lock first, as any write does.
  driver_->ClearCalls();
  ASSERT_TRUE(items_->WriteItem("again", "sales.cust", "K1", false).ok());
  EXPECT_TRUE(Sent("SELECT A0, UserInst FROM dm.locks"));
  EXPECT_TRUE(Sent("REPLACE INTO sales.cust"));
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
}

// A write whose statement finds another holder after all (this port's lock row went behind
// its back) writes nothing there, and looks at the lock as any write does: a live holder
// refuses it, a gone one's lock is removed and the write goes on.
TEST_F(ItemStoreTest, AWriteThatFindsAnotherHolderLooksAsAnyWriteDoes) {
  const auto readForUpdate = [&] {
    Variant item;
    ASSERT_TRUE(ReadK1ForUpdate("x", item).ok());
  };
  const auto anotherHolds = [&](const char* used) {
    driver_->Queue(Answer::Error(dberr::kLockedByAnother, "Another user has this item locked"),
                   CallMatch::Contains("IF NOT EXISTS"));
    driver_->Queue(Answer::Result({"A0", "UserInst"},
                                  {{std::string("sales.cust\xFFK1"), std::string("other*2")}}),
                   CallMatch::Prefix("SELECT A0, UserInst FROM dm.locks"));
    driver_->Queue(Answer::Result({"used"}, {{used ? DbValue(used) : DbValue()}}),
                   CallMatch::Contains("IS_USED_LOCK"));
  };
  driver_->Queue(Answer::Result({"A0", "A1"}, {}),
                 CallMatch::Prefix("SELECT * FROM sales.cust WHERE 1 = 0"));
  readForUpdate();
  anotherHolds("42");
  driver_->ClearCalls();
  const Status refused = items_->WriteItem("mine", "sales.cust", "K1", false);
  EXPECT_EQ(refused.Message(), "[920] Another user has this item locked");
  EXPECT_FALSE(Sent("REPLACE INTO"));

  readForUpdate();
  anotherHolds(nullptr);
  driver_->ClearCalls();
  EXPECT_TRUE(items_->WriteItem("mine", "sales.cust", "K1", false).ok());
  EXPECT_TRUE(Sent("DELETE FROM dm.locks WHERE A0 = ? AND UserInst = ?"));  // the gone one's
  EXPECT_TRUE(Sent("REPLACE INTO sales.cust"));
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
  EXPECT_TRUE(locks_->Release("", "").ok());
  EXPECT_EQ(driver_->Calls().back().text, "DELETE FROM dm.locks WHERE UserInst = ?");
  // A connection that refuses the statement is a failure to report.
  driver_->Queue(Answer::Error(-2147467259, "gone", "Execute"));
  EXPECT_EQ(locks_->Release("sales.cust", "K1").Message(), "[-2147467259] gone");
}

}  // namespace
}  // namespace orvik
