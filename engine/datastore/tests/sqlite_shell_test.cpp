// A home's files are its users' data: the plain sqlite3 shell, as any SQLite tool, reads,
// searches and changes them by key, those of a home set up now and those of a home an
// engine of before made, once the set-up has brought it up to date. Keys stay one item
// whatever case of a letter (Latin-1 ones too) the shell or the engine writes them in.

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "datastore_home.h"
#include "layout.h"
#include "port.h"
#include "port_access.h"

namespace orvik {
namespace {

using namespace port_access;

// What the shell says to `sql` on `file`, standard output and error together, without the
// last line end.
std::string Shell(const std::filesystem::path& file, const std::string& sql) {
  EXPECT_TRUE(std::filesystem::exists(file)) << file;  // the shell would make a new one
  const std::string command =
      std::string(ORVIK_SQLITE3_SHELL) + " -batch '" + file.string() + "' \"" + sql + "\" 2>&1";
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      out.append(buffer, n);
    ::pclose(pipe);
  }
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// The shell speaks UTF-8; the engine Latin-1.
const std::string kMuellerUtf8 = "M\xC3\x9CLLER";  // MÜLLER
const std::string kMueller = "M\xDCLLER";

class SqliteShellTest : public ::testing::Test {
 protected:
  SqliteShellTest() : home_("JET") {}

  std::filesystem::path File(const std::string& account) const {
    return std::filesystem::path(home_.home()) / "JetMDB" / (account + ".db");
  }
  std::filesystem::path Account() const { return File(home_.account()); }
  std::string Read(Port& port, const std::string& id) {
    Variant item;
    if (!port.RRead(item, Variant(home_.account() + ".people"), Variant(id)))
      return port.ErrorDetail().substr(0, 5);
    return item.ToString();
  }
  // What every file of the home says to the shell's own check.
  void ExpectEveryFileSound() {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(home_.home()) / "JetMDB")) {
      if (entry.path().extension() == ".db") {
        EXPECT_EQ(Shell(entry.path(), "PRAGMA integrity_check"), "ok") << entry.path();
      }
    }
  }
  // The shell searches the file by key and keeps its keys apart by the engine's rule.
  void ExpectTheShellKeepsTheKeys(Port& port) {
    EXPECT_EQ(Shell(Account(), "SELECT A1 FROM people WHERE A0 = 'c1001'"), "Smith");
    EXPECT_EQ(Shell(Account(), "SELECT A1 FROM people WHERE A0 = '" + kMuellerUtf8 + "'"),
              "Mueller");
    EXPECT_EQ(Shell(Account(), "INSERT INTO people (A0, A1) VALUES ('C1001', 'twin')"),
              "Error: stepping, UNIQUE constraint failed: people.A0 (19)");
    EXPECT_EQ(Shell(Account(), "INSERT INTO people (A0, A1) VALUES ('m\xC3\x9Cller', 'twin')"),
              "Error: stepping, UNIQUE constraint failed: index 'people key' (19)");
    // An item the shell writes is the engine's in any case of its letters.
    EXPECT_EQ(Shell(Account(), "INSERT INTO people (A0, A1) VALUES ('Zo\xC3\xAB', 'Zoe')"), "");
    EXPECT_EQ(Read(port, "ZO\xCB"), "Zoe");
    EXPECT_EQ(Read(port, "m\xDCller"), "Mueller");
    EXPECT_EQ(Read(port, "M\xFCLLER"), "[912]");  // 252, the subvalue mark: no letter
    EXPECT_EQ(Shell(File("dm"), "SELECT count(*) FROM users WHERE A0 = 'TESTER'"), "1");
    ExpectEveryFileSound();
  }

  test_support::DatastoreHome home_;
};

TEST_F(SqliteShellTest, SearchesAndChangesTheFilesOfAHomeSetUpNow) {
  auto port = test_support::LoggedIn(home_);
  CreateFileTable(*Parts(*port).account.Connection(), "JET", TableTemplate::kDataColumns, "people",
                  1);
  const std::string fv = home_.account() + ".people";
  ASSERT_TRUE(port->WWrite("Smith", fv, "C1001")) << port->ErrorDetail();
  ASSERT_TRUE(port->WWrite("Mueller", fv, kMueller)) << port->ErrorDetail();
  // A lock held: the locks file is searched by its key too.
  Variant item;
  ASSERT_TRUE(port->RReadU(item, Variant(fv), Variant("c1001")));
  EXPECT_EQ(Shell(File("locks"), "SELECT count(*) FROM locks WHERE A0 = '" + fv +
                                     "' || char(255) "
                                     "|| 'C1001'"),
            "1");
  ExpectTheShellKeepsTheKeys(*port);
}

TEST_F(SqliteShellTest, SearchesTheFilesOfAHomeOfBeforeOnceItIsSetUpAgain) {
  // The tables and the locks file as engines of before made them.
  const std::string oldKey =
      "A0 CHAR(25) COLLATE LATIN1_NOCASE CONSTRAINT idxItemID PRIMARY KEY CONSTRAINT "
      "ItemIDLength CHECK (length(A0) <= 25)";
  {
    auto port = test_support::LoggedIn(home_);
    Driver& account = *Parts(*port).account.Connection();
    account.Execute("CREATE TABLE people(" + oldKey + ", A1 TEXT)");
    for (const auto& [id, name] : std::vector<std::pair<std::string, std::string>>{
             {"C1001", "Smith"},
             {kMueller, "Mueller"},
             {"\xC4PFEL", "Apple"},
             // Ordered one way by the collation of before, the other way by NOCASE.
             {"a1", "a"},
             {"_1", "_"}}) {
      const DbValue row[] = {id, name};
      account.Execute("INSERT INTO people VALUES (?, ?)", row);
    }
    // A table made by hand in the engine's shape, whose ids are one item twice over.
    account.Execute(
        "CREATE TABLE twins(A0 CHAR(25) COLLATE NOCASE PRIMARY KEY, A1 TEXT, "
        "CONSTRAINT ItemIDLength CHECK (length(A0) <= 25))");
    account.Execute("INSERT INTO twins VALUES ('\xE4pfel', 'small'), ('\xC4PFEL', 'capital')");
    Driver& dm = *Parts(*port).account.SystemConnection();
    std::string columns;
    for (int i = 1; i <= 20; ++i) columns += ", A" + std::to_string(i) + " TEXT";
    dm.Execute("ALTER TABLE users RENAME TO users_was");
    dm.Execute("CREATE TABLE users(" + oldKey + columns + ")");
    dm.Execute("INSERT INTO users SELECT * FROM users_was");
    dm.Execute("DROP TABLE users_was");
  }
  sqlite3* locks = nullptr;
  ASSERT_EQ(sqlite3_open_v2(File("locks").c_str(), &locks, SQLITE_OPEN_READWRITE, nullptr),
            SQLITE_OK);
  sqlite3_create_collation(locks, "LATIN1_NOCASE", SQLITE_UTF8, nullptr,
                           [](void*, int n1, const void* a, int n2, const void* b) {
                             const int r = std::memcmp(a, b, std::min(n1, n2));
                             return r != 0 ? r : n1 - n2;
                           });
  EXPECT_EQ(sqlite3_exec(locks,
                         "DROP TABLE locks; CREATE TABLE locks (A0 VARCHAR(255) COLLATE "
                         "LATIN1_NOCASE PRIMARY KEY, UserInst VARCHAR(255) NOT NULL) WITHOUT "
                         "ROWID; INSERT INTO locks VALUES ('held by a port of before', 'old*1')",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(locks);
  EXPECT_EQ(Shell(Account(), "SELECT A1 FROM people WHERE A0 = 'c1001'"),
            "Error: in prepare, no such collation sequence: LATIN1_NOCASE");

  std::vector<std::string> reports;
  std::string error;
  ASSERT_TRUE(home_.Setup({}, &error, [&](const std::string& r) { reports.push_back(r); }))
      << error;
  const std::string people = home_.account() + ".people";
  EXPECT_NE(std::find(reports.begin(), reports.end(),
                      "gave the key of " + people +
                          " the collation NOCASE, which every SQLite "
                          "tool knows"),
            reports.end());
  EXPECT_NE(std::find(reports.begin(), reports.end(),
                      "gave " + people + " the index of its keys folded to capitals"),
            reports.end());
  const std::string twins = home_.account() +
                            ".twins holds 1 item ids that differ from others only in the case "
                            "of their letters: the engine reads one of each; make them one and "
                            "set up again to give it the index of its keys";
  EXPECT_NE(std::find(reports.begin(), reports.end(), twins), reports.end());
  auto port = test_support::LoggedIn(home_);
  EXPECT_EQ(Read(*port, "\xE4pfel"), "Apple");
  // The locks file's table was made again (its row of a session long gone removed since).
  Variant item;
  ASSERT_TRUE(port->RReadU(item, Variant(people), Variant("c1001")));
  EXPECT_EQ(Shell(File("locks"),
                  "SELECT count(*) FROM locks WHERE A0 = '" + people + "' || char(255) || 'C1001'"),
            "1");
  ExpectTheShellKeepsTheKeys(*port);

  // Again: nothing left to do.
  reports.clear();
  ASSERT_TRUE(home_.Setup({}, &error, [&](const std::string& r) { reports.push_back(r); }))
      << error;
  for (const std::string& r : reports) EXPECT_EQ(r.find("gave"), std::string::npos) << r;
  EXPECT_NE(std::find(reports.begin(), reports.end(), twins), reports.end());
}

}  // namespace
}  // namespace orvik
