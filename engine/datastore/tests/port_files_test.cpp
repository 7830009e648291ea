// Files and raw items on a real datastore; built once for the embedded store and once for
// the private MariaDB server.

#include "datastore_home.h"
#include "layout.h"
#include "port.h"
#include "port_access.h"

namespace orvik {
namespace {

using namespace port_access;

constexpr char AM = '\xFE';

class PortFilesTest : public ::testing::Test {
 protected:
  PortFilesTest() : home_(ORVIK_TEST_DATASTORE) {
    port_ = Port::Create(home_.home());
    SetLogin(*port_, home_.user(), test_support::kTestPassword);
    EXPECT_TRUE(ConnectAccount(*port_, home_.account())) << port_->ErrorDetail();
  }

  bool MySql() const { return home_.dataStore() == "MYSQL"; }
  void Sql(const std::string& statement) { Parts(*port_).account.Connection()->Execute(statement); }
  // A column-mode file of n attributes with an empty dictionary.
  void MakeFile(const std::string& name, int n) {
    CreateFileTable(*Parts(*port_).account.Connection(), home_.dataStore(),
                    TableTemplate::kDataColumns, name, n);
    CreateFileTable(*Parts(*port_).account.Connection(), home_.dataStore(),
                    TableTemplate::kDictionary, name);
  }
  std::string Open(const std::string& name) {
    Variant fv;
    EXPECT_TRUE(port_->OOpen(Variant(name), fv)) << port_->ErrorDetail();
    return fv.ToString();
  }
  std::string Read(const std::string& fv, const std::string& id) {
    std::string item;
    EXPECT_TRUE(ReadItemRaw(*port_, item, fv, id)) << port_->ErrorDetail();
    return item;
  }
  const std::string& Account() const { return home_.account(); }

  test_support::DatastoreHome home_;
  std::shared_ptr<Port> port_;
};

TEST_F(PortFilesTest, ColumnModeRoundTripsEveryByte) {
  MakeFile("cust", 4);
  const std::string fv = Open("cust");
  EXPECT_EQ(fv, Account() + ".cust");
  std::string awkward = "O'Brien \\ \"quoted\" \xFD value \xFC sub \xFF";
  for (int c = 128; c <= 255; ++c) {
    if (c < 252 || c == 255) awkward.push_back(static_cast<char>(c));
  }
  const std::string item = "Smith" + std::string(1, AM) + awkward + AM + "" + AM + "10";
  ASSERT_TRUE(WriteItemRaw(*port_, item, fv, "C'1")) << port_->ErrorDetail();
  EXPECT_EQ(Read(fv, "C'1"), item);
  std::string value;
  ASSERT_TRUE(ReadAttributeRaw(*port_, value, fv, "C'1", 2));
  EXPECT_EQ(value, awkward);
}

TEST_F(PortFilesTest, AShorterItemClearsTheColumnsItNoLongerHas) {
  MakeFile("cust", 4);
  const std::string fv = Open("cust");
  ASSERT_TRUE(WriteItemRaw(*port_,
                           "a\xFE"
                           "b\xFE"
                           "c\xFE"
                           "d",
                           fv, "K"));
  ASSERT_TRUE(WriteItemRaw(*port_, "z", fv, "K"));
  EXPECT_EQ(Read(fv, "K"), "z\xFE\xFE\xFE");
}

TEST_F(PortFilesTest, AnItemWiderThanItsTableIsRefusedNotCut) {
  MakeFile("cust", 2);
  const std::string fv = Open("cust");
  ASSERT_TRUE(WriteItemRaw(*port_,
                           "a\xFE"
                           "b",
                           fv, "K"));
  EXPECT_FALSE(WriteItemRaw(*port_,
                            "1\xFE"
                            "2\xFE"
                            "3",
                            fv, "K"));
  EXPECT_EQ(port_->ErrorDetail(),
            "[914] Item \"K\" has 3 attributes; file '" + Account() + ".cust' holds 2");
  EXPECT_EQ(Read(fv, "K"),
            "a\xFE"
            "b");
}

TEST_F(PortFilesTest, NumericAttributesReadEmptyAsZero) {
  MakeFile("cust", 3);
  Sql("INSERT INTO cust_dict (A0, A3) VALUES ('<&NUM>', '2')");
  const std::string fv = Open("cust");
  EXPECT_EQ(fv, Account() +
                    ".cust\xFE"
                    "2\xFE\xFE");
  ASSERT_TRUE(WriteItemRaw(*port_,
                           "Smith\xFE\xFE"
                           "10",
                           fv, "C1"));
  EXPECT_EQ(Read(fv, "C1"),
            "Smith\xFE"
            "0\xFE"
            "10");
  ASSERT_TRUE(WriteItemRaw(*port_,
                           "Smith\xFE"
                           "5\xFD\xFD"
                           "7\xFE",
                           fv, "C2"));
  EXPECT_EQ(Read(fv, "C2"),
            "Smith\xFE"
            "5\xFD"
            "0\xFD"
            "7\xFE");
  std::string value;
  ASSERT_TRUE(ReadAttributeRaw(*port_, value, fv, "C1", 2));
  EXPECT_EQ(value, "0");
}

TEST_F(PortFilesTest, AWholeItemOfManyAttributesWithALongNumericList) {
  // The list is read once for the item, not once for each of its attributes: an item of
  // 100,000 attributes and a list of as many took half a minute to read.
  CreateFileTable(*Parts(*port_).account.Connection(), home_.dataStore(), TableTemplate::kDataItem,
                  "wide");
  CreateFileTable(*Parts(*port_).account.Connection(), home_.dataStore(),
                  TableTemplate::kDictionary, "wide");
  CreateFileTable(*Parts(*port_).account.Connection(), home_.dataStore(),
                  TableTemplate::kControlItem, "wide");
  constexpr int kAttributes = 100000;
  std::string list, item, expected;
  for (int k = 1; k <= kAttributes; ++k) {
    // (within the 64 KiB a server's dictionary column holds)
    if (k % 20 == 0) list += (list.empty() ? "" : "\xFD") + std::to_string(k);
    item += (k > 1 ? "\xFE" : "") + std::string(k % 3 == 0 ? "" : "v");
    expected += (k > 1 ? "\xFE" : "") + std::string(k % 3 != 0 ? "v" : k % 20 == 0 ? "0" : "");
  }
  const DbValue numbers[] = {list};
  Parts(*port_).account.Connection()->Execute("UPDATE wide_dict SET A3 = ?", numbers);
  const std::string fv = Open("wide");
  ASSERT_TRUE(WriteItemRaw(*port_, item, fv, "W1"));
  EXPECT_EQ(Read(fv, "W1"), expected);
}

TEST_F(PortFilesTest, LongValuesInMdAndADictionaryAreKeptWhole) {
  // A server's TEXT column holds 64 KiB and cut a longer value with only a warning.
  const std::string longValue(70000, 'x');
  const std::string md = Open("md");
  ASSERT_TRUE(WriteItemRaw(*port_, "N\xFE" + longValue, md, "LONGONE")) << port_->ErrorDetail();
  std::string stored;
  ASSERT_TRUE(ReadAttributeRaw(*port_, stored, md, "LONGONE", 2)) << port_->ErrorDetail();
  EXPECT_EQ(stored.size(), longValue.size());
  EXPECT_TRUE(stored == longValue) << stored.substr(0, 40);
  MakeFile("cust", 2);
  const DbValue value[] = {longValue};
  Parts(*port_).account.Connection()->Execute("INSERT INTO cust_dict (A0, A3) VALUES ('L', ?)",
                                              value);
  auto cursor =
      Parts(*port_).account.Connection()->Query("SELECT A3 FROM cust_dict WHERE A0 = 'L'");
  ASSERT_TRUE(cursor->Next());
  EXPECT_EQ(cursor->Row()[0].value_or("").size(), longValue.size());
}

TEST_F(PortFilesTest, ItemModeKeepsTheWholeItem) {
  CreateFileTable(*Parts(*port_).account.Connection(), home_.dataStore(), TableTemplate::kDataItem,
                  "notes");
  CreateFileTable(*Parts(*port_).account.Connection(), home_.dataStore(),
                  TableTemplate::kDictionary, "notes");
  CreateFileTable(*Parts(*port_).account.Connection(), home_.dataStore(),
                  TableTemplate::kControlItem, "notes");
  const std::string fv = Open("notes");
  EXPECT_EQ(fv, Account() + ".notes\xFE\xFEN\xFE");
  const std::string item =
      "a\xFE\xFE"
      "c\xFD"
      "d\xFE"
      "it's \\ \xFF";
  ASSERT_TRUE(WriteItemRaw(*port_, item, fv, "N1"));
  EXPECT_EQ(Read(fv, "N1"), item);
  std::string value;
  ASSERT_TRUE(ReadAttributeRaw(*port_, value, fv, "N1", 3));
  EXPECT_EQ(value,
            "c\xFD"
            "d");
  // Attributes written one at a time build a new item.
  ASSERT_TRUE(WriteAttributeRaw(*port_, "x", fv, "N2", 3));
  ASSERT_TRUE(WriteAttributeRaw(*port_, "y", fv, "N2", 1));
  EXPECT_EQ(Read(fv, "N2"), "y\xFE\xFEx");
}

TEST_F(PortFilesTest, AnItemTableWithoutItsControlItemStillHoldsWholeItems) {
  CreateFileTable(*Parts(*port_).account.Connection(), home_.dataStore(), TableTemplate::kDataItem,
                  "memo");
  const std::string fv = Open("memo");
  EXPECT_EQ(fv, Account() + ".memo");
  ASSERT_TRUE(WriteItemRaw(*port_, "one\xFEtwo\xFEthree", fv, "M1")) << port_->ErrorDetail();
  EXPECT_EQ(Read(fv, "M1"), "one\xFEtwo\xFEthree");
}

TEST_F(PortFilesTest, ANewItemWrittenOneAttributeAtATime) {
  MakeFile("cust", 4);
  const std::string fv = Open("cust");
  ASSERT_TRUE(WriteAttributeRaw(*port_, "x", fv, "N1", 3)) << port_->ErrorDetail();
  EXPECT_EQ(Read(fv, "N1"), "\xFE\xFEx\xFE");
  ASSERT_TRUE(WriteAttributeRaw(*port_, "O'Neil", fv, "N1", 1));
  EXPECT_EQ(Read(fv, "N1"), "O'Neil\xFE\xFEx\xFE");
  EXPECT_FALSE(WriteAttributeRaw(*port_, "v", fv, "N2", 9));
}

TEST_F(PortFilesTest, MissingItemsAndColumns) {
  MakeFile("cust", 4);
  const std::string fv = Open("cust");
  std::string item = "kept";
  EXPECT_FALSE(ReadItemRaw(*port_, item, fv, "X'9"));
  const std::string shownId = MySql() ? "X\\'9" : "X''9";
  const std::string table = MySql() ? Account() + ".cust" : "cust";
  EXPECT_EQ(port_->ErrorDetail(),
            "[912] ItemID \"X'9\" does not exist in recordset \"SELECT * FROM " + table +
                " WHERE A0 = '" + shownId + "'\"");
  EXPECT_EQ(item, "");
  ASSERT_TRUE(WriteItemRaw(*port_, "a", fv, "C1"));
  std::string value;
  EXPECT_FALSE(ReadAttributeRaw(*port_, value, fv, "C1", 5));
  EXPECT_EQ(value.rfind("ERROR: [", 0), 0u) << value;
}

TEST_F(PortFilesTest, NameForms) {
  MakeFile("orders", 2);
  EXPECT_EQ(Open("ORDERS"), Account() + ".ORDERS");
  EXPECT_EQ(Open(Account() + ".orders"), Account() + ".orders");
  EXPECT_EQ(Open(Account() + ",orders,"), Account() + ".orders");
  EXPECT_EQ(Open("dm.users"), "dm.users");  // another account
  EXPECT_EQ(Open("dm,users,"), "dm.users");
  Variant fv("stale");
  EXPECT_FALSE(port_->OOpen(Variant("nothing"), fv));
  EXPECT_EQ(port_->ErrorDetail(), "[911] File '" + Account() + ".nothing' not found.");
  EXPECT_EQ(fv.ToString(), "");
  // A.B.C is one name everywhere: account A, file "B.C", which no plain table can be.
  EXPECT_FALSE(port_->OOpen(Variant(Account() + ".orders.x"), fv));
  EXPECT_EQ(port_->ErrorDetail(), "[911] File '" + Account() + ".orders.x' not found.");
  EXPECT_FALSE(port_->OOpen(Variant("nosuchaccount.orders"), fv));
  EXPECT_FALSE(port_->OOpen(Variant("orders'; drop table md; --"), fv));
  EXPECT_EQ(Parts(*port_).account.Account(), Account());
}

TEST_F(PortFilesTest, CatalogPointers) {
  Sql("INSERT INTO md (A0, A1, A2, A3) VALUES ('PEOPLE', 'Q', 'dm', 'users')");
  Sql("INSERT INTO md (A0, A1, A2, A3) VALUES ('GHOST', 'q', 'dm', 'nosuch')");
  Sql("INSERT INTO md (A0, A1, A4) VALUES ('REPORT', 'JSCRIPT', 'report.js')");
  ASSERT_TRUE(ConnectAccount(*port_, Account()));  // reload the catalog
  EXPECT_EQ(Open("PEOPLE"), "dm.users");
  EXPECT_EQ(Open("GHOST"), "dm.nosuch");  // the target is not checked
  Variant fv;
  EXPECT_FALSE(port_->OOpen(Variant("REPORT"), fv));
  std::string privilege;
  ASSERT_TRUE(ReadAttributeRaw(*port_, privilege, Open("PEOPLE"), home_.user(), 8));
  EXPECT_EQ(privilege, "3");
}

TEST_F(PortFilesTest, FilesOfAnotherAccount) {
  MakeFile("cust", 2);
  const std::string fv = Account() + ".cust";
  ASSERT_TRUE(ConnectAccount(*port_, "dm"));
  ASSERT_TRUE(WriteItemRaw(*port_,
                           "a\xFE"
                           "b",
                           fv, "X1"))
      << port_->ErrorDetail();
  ASSERT_TRUE(WriteAttributeRaw(*port_, "c", fv, "X1", 2)) << port_->ErrorDetail();
  EXPECT_EQ(Read(fv, "X1"),
            "a\xFE"
            "c");
  EXPECT_EQ(Parts(*port_).account.Account(), "dm");
}

TEST_F(PortFilesTest, CCloseEmptiesTheVariable) {
  Variant fv(
      "x.y\xFE"
      "1");
  EXPECT_TRUE(port_->CClose(fv));
  EXPECT_EQ(fv.ToString(), "");
  EXPECT_TRUE(port_->CClose(fv));
}

}  // namespace
}  // namespace orvik
