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
  driver_->Queue(Answer::Error(dberr::kIntegrity, "Duplicate entry"),
                 CallMatch::Prefix("INSERT INTO dm.locks"));
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
