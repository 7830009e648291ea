// Item ids longer than 25 characters, typed in SQL at the prompt: refused by the files
// themselves, those CREATE-FILE makes and those of a home made before, which the set-up
// brings up to date; nothing is cut and no item replaced. On the embedded store and on the
// private MariaDB server.

#include "datastore_home.h"
#include "port_access.h"
#include "session_test_support.h"

namespace orvik {
namespace {

using namespace port_access;

const std::string kCrLf = "\r\n";
// The longest id there is, and the start of every key typed below.
const std::string kKept = "ABCDEFGHIJKLMNOPQRSTUVWXY";

class LongKeysTest : public ::testing::Test {
 protected:
  LongKeysTest() : home_(ORVIK_TEST_DATASTORE), t_(home_.home()) {
    t_.LogIn(home_.user(), test_support::kTestPassword);
    Type("LOGTO " + home_.account());
  }
  std::string Type(const std::string& line) { return t_.Send(line + "\r"); }
  bool MySql() const { return home_.dataStore() == "MYSQL"; }
  Driver& Connection() { return *Parts(t_.port()).account.Connection(); }

  // Keys of 26, 30, 37 and 300 characters typed into `table`: each refused, and kKept, which
  // the table holds with "kept" in `column`, stays the only item.
  void ExpectLongKeysRefused(const std::string& table, const std::string& column) {
    // The last is what a server without strict mode cuts a long key to CHAR(255): 25
    // characters and blanks, which a CHAR column drops.
    for (const std::string& key : {kKept + "Z", kKept + "Z-oth", kKept + "Z-other-item",
                                   kKept + std::string(274, ' ') + "Z"}) {
      for (const std::string verb : {"INSERT", "REPLACE"}) {
        EXPECT_EQ(Type(verb + " INTO " + table + " (A0, " + column + ") VALUES ('" + key +
                       "', 'clobbered')"),
                  "ERROR: [916] An ItemID is longer than 25 characters" + kCrLf + ":")
            << verb << " " << key.size() << " into " << table;
      }
    }
    auto rows =
        Connection().Query("SELECT A0, " + column + " FROM " + table + " WHERE A0 <> '<&NUM>'");
    ASSERT_TRUE(rows->Next()) << table;
    EXPECT_EQ(rows->Row()[0], kKept);
    EXPECT_EQ(rows->Row()[1], "kept");
    EXPECT_FALSE(rows->Next()) << table << " holds " << rows->Row()[0].value_or("NULL");
  }

  // A table keyed as files were before their keys checked their length.
  std::string OldTable(const std::string& name, int columns) const {
    std::string sql = "CREATE TABLE " + name +
                      (MySql() ? "(A0 CHAR(25) CHARACTER SET latin1 COLLATE latin1_general_ci "
                                 "PRIMARY KEY"
                               : "(A0 CHAR(25) COLLATE LATIN1_NOCASE CONSTRAINT idxItemID "
                                 "PRIMARY KEY");
    for (int i = 1; i <= columns; ++i)
      sql += ", A" + std::to_string(i) + (MySql() ? " LONGTEXT NOT NULL" : " TEXT");
    return sql + ")";
  }

  test_support::DatastoreHome home_;
  test_support::Terminal t_;
};

TEST_F(LongKeysTest, FilesTheSessionMakesRefuseThem) {
  Type("CREATE-FILE kc 1");
  Type("CREATE-FILE kn N");
  for (const auto& [table, column] : std::vector<std::pair<std::string, std::string>>{
           {"kc", "A1"}, {"kn", "ITEM"}, {"kn_dict", "A1"}, {"md", "A1"}}) {
    EXPECT_EQ(
        Type("INSERT INTO " + table + " (A0, " + column + ") VALUES ('" + kKept + "', 'kept')"),
        kCrLf + "OK: 1 records affected" + kCrLf + ":" + kCrLf + ":");
    ExpectLongKeysRefused(table, column);
  }
}

TEST_F(LongKeysTest, TheSetUpGivesAnOlderHomeTheCheck) {
  Driver& c = Connection();
  c.Execute("DROP TABLE md");
  c.Execute(OldTable("md", 20));
  c.Execute(OldTable("oldf", 2));
  for (const std::string table : {"md", "oldf"})
    c.Execute("INSERT INTO " + table + " (A0, A1) VALUES ('" + kKept + "', 'kept')");
  // The embedded store kept a long key whole, where no program can read it.
  const std::string stored = kKept + "Z-other-item";
  if (!MySql()) {
    c.Execute(OldTable("oldlong", 1));
    c.Execute("INSERT INTO oldlong (A0, A1) VALUES ('" + stored + "', 'whole')");
  }

  std::vector<std::string> reports;
  const auto setUp = [&] {
    reports.clear();
    std::string error;
    EXPECT_TRUE(home_.Setup({}, &error, [&](const std::string& r) { reports.push_back(r); }))
        << error;
  };
  setUp();
  ExpectLongKeysRefused("md", "A1");
  ExpectLongKeysRefused("oldf", "A1");
  const std::string mine = home_.account() + ".";
  if (!MySql()) {
    EXPECT_EQ(std::count(reports.begin(), reports.end(),
                         mine + "oldlong holds 1 item ids longer than 25 characters, which no "
                                "program can read: shorten them and set up again to give its "
                                "key its length check"),
              1);
  }

  // Again: nothing more to do, and the long key is reported again, not lost.
  setUp();
  for (const std::string& r : reports) {
    EXPECT_TRUE(r.find(mine) == std::string::npos || r.find(mine + "oldlong holds") == 0) << r;
  }
  ExpectLongKeysRefused("oldf", "A1");
  if (!MySql()) {
    auto kept = c.Query("SELECT A0, A1 FROM oldlong");
    ASSERT_TRUE(kept->Next());
    EXPECT_EQ(kept->Row()[0], stored);
    EXPECT_EQ(kept->Row()[1], "whole");
  }
}

}  // namespace
}  // namespace orvik
