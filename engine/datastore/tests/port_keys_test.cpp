// Keys are kept whole and distinct on every datastore: an id longer than a key column holds
// is refused, never cut; ids compare without regard to case but with every other difference
// (accents, the marks); table names work in any case. Built once for the embedded store and
// once for each private MariaDB server.

#include "datastore_home.h"
#include "layout.h"
#include "port.h"
#include "port_access.h"

namespace orvik {
namespace {

using namespace port_access;

const std::string kMuellerUpper = "M\xDCLLER";  // Ü: a capital letter
const std::string kMyller = "MYLLER";
const std::string kMarkInside = "M\xFCLLER";  // 252: the subvalue mark, no letter here

class PortKeysTest : public ::testing::Test {
 protected:
  PortKeysTest() : home_(ORVIK_TEST_DATASTORE) {
    a_ = LoggedIn();
    b_ = LoggedIn();
    CreateFileTable(*Parts(*a_).account.Connection(), home_.dataStore(),
                    TableTemplate::kDataColumns, "people", 2);
    fv_ = home_.account() + ".people";
  }

  std::shared_ptr<Port> LoggedIn() { return test_support::LoggedIn(home_); }
  // The item under `id`, or "<" and the error number when there is none.
  std::string Read(const std::string& id) {
    Variant item;
    if (a_->RRead(item, Variant(fv_), Variant(id))) return item.ToString();
    return "<" + a_->ErrorDetail().substr(0, 5);
  }
  int LockRows() { return static_cast<int>(test_support::LockHolders(home_, *a_).size()); }

  test_support::DatastoreHome home_;
  std::shared_ptr<Port> a_, b_;
  std::string fv_;
};

TEST_F(PortKeysTest, IdsOfTwentyFiveCharactersAreKeptWholeLongerOnesRefused) {
  const std::string id25 = "ABCDEFGHIJKLMNOPQRSTUVWXY";
  ASSERT_EQ(id25.size(), kItemIdLength);
  ASSERT_TRUE(a_->WWrite("twenty-five", fv_, id25)) << a_->ErrorDetail();
  EXPECT_EQ(Read(id25), "twenty-five\xFE");

  // Cut to 25, these two would both name id25's item.
  for (const std::string& id26 : {id25 + "Z", id25 + "1"}) {
    SCOPED_TRACE(id26);
    EXPECT_FALSE(a_->WWrite("twenty-six", fv_, id26));
    EXPECT_EQ(a_->ErrorDetail(), "[916] ItemID \"" + id26 + "\" is longer than 25 characters");
    EXPECT_FALSE(a_->WWriteV("v", fv_, id26, 1));
    EXPECT_EQ(a_->ErrorDetail().substr(0, 5), "[916]");
    EXPECT_EQ(Read(id26), "<[916]");
    Variant item;
    EXPECT_FALSE(a_->RReadU(item, Variant(fv_), Variant(id26)));
    EXPECT_EQ(a_->ErrorDetail().substr(0, 5), "[916]");
    EXPECT_FALSE(a_->Delete(Variant(fv_), Variant(id26)));
    EXPECT_EQ(a_->ErrorDetail().substr(0, 5), "[916]");
  }
  EXPECT_EQ(Read(id25), "twenty-five\xFE");
  EXPECT_EQ(LockRows(), 0);
}

TEST_F(PortKeysTest, IdsIgnoreCaseButNoOtherDifference) {
  ASSERT_TRUE(a_->WWrite("Ue", fv_, kMuellerUpper)) << a_->ErrorDetail();
  ASSERT_TRUE(a_->WWrite("Y", fv_, kMyller)) << a_->ErrorDetail();
  ASSERT_TRUE(a_->WWrite("Ae", fv_, "\xC4PFEL")) << a_->ErrorDetail();  // ÄPFEL
  ASSERT_TRUE(a_->WWrite("ss", fv_, "STRASSE")) << a_->ErrorDetail();
  ASSERT_TRUE(a_->WWrite("sz", fv_,
                         "STRA\xDF"
                         "E"))
      << a_->ErrorDetail();  // STRAßE
  EXPECT_EQ(Read(kMuellerUpper), "Ue\xFE");
  EXPECT_EQ(Read(kMyller), "Y\xFE");
  EXPECT_EQ(Read("m\xDCller"), "Ue\xFE");
  EXPECT_EQ(Read("\xE4pfel"), "Ae\xFE");  // äpfel: the same letters
  EXPECT_EQ(Read("APFEL"), "<[912]");
  EXPECT_EQ(Read("strasse"), "ss\xFE");
  EXPECT_EQ(Read("stra\xDF"
                 "e"),
            "sz\xFE");

  // Locks of distinct items are distinct; the same item in another case is the same lock.
  Variant item;
  ASSERT_TRUE(a_->RReadU(item, Variant(fv_), Variant(kMuellerUpper)));
  EXPECT_TRUE(b_->RReadU(item, Variant(fv_), Variant(kMyller))) << b_->ErrorDetail();
  EXPECT_FALSE(b_->RReadU(item, Variant(fv_), Variant("m\xDCller")));
  EXPECT_TRUE(b_->RReadU(item, Variant(fv_), Variant("\xE4PFEL")));
  EXPECT_FALSE(a_->RReadU(item, Variant(fv_), Variant("\xC4pfel")));
}

// Every letter of Latin-1 that has a capital in it: an item written under the small letter is
// read, rewritten, locked and deleted under the capital.
TEST_F(PortKeysTest, EveryLatin1LetterIgnoresCase) {
  for (int small = 224; small <= 251; ++small) {
    if (small == 247) continue;  // the division sign
    const std::string lower = "k" + std::string(1, static_cast<char>(small));
    const std::string upper = "K" + std::string(1, static_cast<char>(small - 32));
    SCOPED_TRACE(small);
    ASSERT_TRUE(a_->WWrite("first", fv_, lower)) << a_->ErrorDetail();
    EXPECT_EQ(Read(upper), "first\xFE");
    ASSERT_TRUE(a_->WWrite("second", fv_, upper)) << a_->ErrorDetail();
    EXPECT_EQ(Read(lower), "second\xFE");
    Variant item;
    ASSERT_TRUE(a_->RReadU(item, Variant(fv_), Variant(lower)));
    EXPECT_FALSE(b_->RReadU(item, Variant(fv_), Variant(upper)));
    ASSERT_TRUE(a_->Release(Variant(fv_), Variant(upper)));
    EXPECT_TRUE(b_->Delete(Variant(fv_), Variant(upper))) << b_->ErrorDetail();
    EXPECT_EQ(Read(lower), "<[912]");
  }
  EXPECT_EQ(LockRows(), 0);
}

// A mark is no letter: an id holding 252 never names the item of an id holding Ü. The
// embedded store keeps both; a server's collation pairs them, so there the second is refused
// rather than allowed to replace the first.
TEST_F(PortKeysTest, AMarkNeverEqualsALetter) {
  ASSERT_TRUE(a_->WWrite("letter", fv_, kMuellerUpper)) << a_->ErrorDetail();
  EXPECT_EQ(Read(kMarkInside), "<[912]");
  if (home_.dataStore() == "JET") {
    ASSERT_TRUE(a_->WWrite("mark", fv_, kMarkInside)) << a_->ErrorDetail();
    EXPECT_EQ(Read(kMarkInside), "mark\xFE");
  } else {
    EXPECT_FALSE(a_->WWrite("mark", fv_, kMarkInside));
    EXPECT_EQ(a_->ErrorDetail().substr(0, 6), "[917] ");
    EXPECT_FALSE(a_->WWriteV("mark", fv_, kMarkInside, 1));
    EXPECT_FALSE(a_->Delete(Variant(fv_), Variant(kMarkInside)));
    Variant value;
    EXPECT_FALSE(a_->RReadV(value, Variant(fv_), Variant(kMarkInside), Variant(1)));
    EXPECT_EQ(a_->ErrorDetail().substr(0, 6), "[912] ");
  }
  EXPECT_EQ(Read(kMuellerUpper), "letter\xFE");
  // The lock of one is never the lock of the other.
  Variant item;
  ASSERT_TRUE(a_->RReadU(item, Variant(fv_), Variant(kMuellerUpper)));
  const bool distinct = b_->RReadU(item, Variant(fv_), Variant(kMarkInside));
  EXPECT_EQ(distinct, home_.dataStore() == "JET");
  ASSERT_TRUE(a_->WWrite("still the letter", fv_, kMuellerUpper));
  EXPECT_EQ(Read(kMuellerUpper), "still the letter\xFE");
}

// Whatever case a program names a file in, it reaches the one table, on every server
// setting of lower_case_table_names.
TEST_F(PortKeysTest, FileNamesInAnyCase) {
  Variant fv;
  ASSERT_TRUE(a_->OOpen(Variant("PEOPLE"), fv)) << a_->ErrorDetail();
  ASSERT_TRUE(a_->WWrite("upper", fv.ToString(), "P1")) << a_->ErrorDetail();
  ASSERT_TRUE(a_->OOpen(Variant(UpperCase(home_.account()) + ".People"), fv));
  Variant item;
  ASSERT_TRUE(a_->RRead(item, fv, Variant("p1"))) << a_->ErrorDetail();
  EXPECT_EQ(item.ToString(), "upper\xFE");
  ASSERT_TRUE(a_->Delete(fv, Variant("P1"))) << a_->ErrorDetail();
  std::string sentence = "CREATE-FILE LEDGER 3";
  ASSERT_EQ(a_->ExecutePS(sentence), "OK") << a_->ErrorDetail();
  ASSERT_TRUE(a_->OOpen(Variant("Ledger"), fv)) << a_->ErrorDetail();
  ASSERT_TRUE(a_->WWrite("x", fv.ToString(), "L1")) << a_->ErrorDetail();
  EXPECT_TRUE(b_->RRead(item, Variant(home_.account() + ".LEDGER"), Variant("L1")))
      << b_->ErrorDetail();
}

}  // namespace
}  // namespace orvik
