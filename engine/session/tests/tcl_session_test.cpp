// TCL verbs, paging and the query forms, typed at a terminal as a user would; on the
// embedded store and on the private MariaDB server.

#include "datastore_home.h"
#include "port.h"
#include "port_access.h"
#include "session_test_support.h"
#include "vb_error.h"

namespace orvik {
namespace {

using namespace port_access;

using test_support::Terminal;

const std::string kCrLf = "\r\n";

class TclSessionTest : public ::testing::Test {
 protected:
  TclSessionTest() : home_(ORVIK_TEST_DATASTORE), t_(home_.home()) {
    t_.LogIn(home_.user(), "secret");
    EXPECT_EQ(t_.port().State(), "TCL");
    t_.Send("LOGTO " + home_.account() + "\r");
  }
  std::string Type(const std::string& line) { return t_.Send(line + "\r"); }
  bool MySql() const { return home_.dataStore() == "MYSQL"; }
  // A file of `attributes` columns holding one item per entry of `ids`.
  void MakeFile(const std::string& name, int attributes, const std::vector<std::string>& ids) {
    Type("CREATE-FILE " + name + " " + std::to_string(attributes));
    for (const std::string& id : ids) {
      std::string columns = "A0", values = "'" + id + "'";
      for (int k = 1; k <= attributes; ++k) {
        columns += ", A" + std::to_string(k);
        values += ", 'v" + std::to_string(k) + "'";
      }
      Parts(t_.port()).account.Connection()->Execute("INSERT INTO " + name + " (" + columns +
                                                     ") VALUES (" + values + ")");
    }
  }

  test_support::DatastoreHome home_;
  Terminal t_;
};

TEST_F(TclSessionTest, SmallVerbs) {
  EXPECT_EQ(Type("  who  "), kCrLf + t_.port().UserInst() + " " + home_.account() + kCrLf + ":");
  EXPECT_EQ(Type("SWRITE colour dark  blue"), kCrLf + "OK" + kCrLf + kCrLf + ":");
  EXPECT_EQ(t_.port().XCommon()->Item("COLOUR").ToString(), "dark  blue");
  EXPECT_EQ(Type("ACCOUNTS"), kCrLf + "Syntax error in LOGTO statement, there should be " + kCrLf +
                                  "one SPACE between LOGTO and accountname." + kCrLf + kCrLf + ":");
  EXPECT_EQ(Type("logto dm"),
            kCrLf + "OK - you are now working in account \"dm\"" + kCrLf + kCrLf + ":");
  EXPECT_EQ(Type("LOGTO nosuchaccount").rfind(kCrLf + "LOGTO request failed:" + kCrLf + "[", 0),
            0u);
  EXPECT_EQ(Parts(t_.port()).account.Account(), "dm");
  EXPECT_EQ(Type("TERM vt100"), kCrLf + "OK" + kCrLf + ":" + kCrLf + ":");
  EXPECT_EQ(Type("ECHO OFF"), kCrLf + "OK" + kCrLf + kCrLf + ":");
}

TEST_F(TclSessionTest, ListingsOfFilesAndAccounts) {
  Type("CREATE-FILE ORDERS 3");
  const std::string files = Type("LISTFILES");
  EXPECT_EQ(files.rfind("LISTF = List of Files/Tables" + kCrLf + kCrLf, 0), 0u) << files;
  EXPECT_NE(LowerCase(files).find(kCrLf + "orders" + kCrLf), std::string::npos);
  const std::string accounts = Type("LISTA");
  EXPECT_EQ(accounts.rfind("LISTA = List of Accounts/Databases" + kCrLf + kCrLf, 0), 0u);
  EXPECT_NE(accounts.find(home_.account()), std::string::npos);
  t_.port().SetTermType("VBGUI");
  const std::string framed = Type("LISTF");
  EXPECT_EQ(framed.rfind("<TERMINAL><ATF @=-1><POSITION TOP=1 LEFT=0>LISTF = List", 0), 0u);
  EXPECT_NE(framed.find(":</TX>"), std::string::npos);
}

TEST_F(TclSessionTest, SqlSentences) {
  MakeFile("cust", 2, {"C1"});
  EXPECT_EQ(Type("DELETE FROM cust WHERE A0 = 'none'"),
            kCrLf + "OK: 0 records affected" + kCrLf + ":" + kCrLf + ":");
  EXPECT_EQ(Type("SELECT A0 FROM cust WHERE A0 = 'none'"),
            kCrLf + "Query ResultSet is Empty eg empty table." + kCrLf + ":" + kCrLf + ":");
  const std::string error = Type("SELECT nothing FROM nowhere");
  EXPECT_EQ(error.rfind(kCrLf + "[", 0), 0u) << error;
  EXPECT_EQ(t_.port().State(), "TCL");
  EXPECT_EQ(Type("CREATE-FILE INV 2"), kCrLf + "OK" + kCrLf + ":" + kCrLf + ":");
}

TEST_F(TclSessionTest, PagesOfALongRecord) {
  MakeFile("wide", 30, {"W1"});
  const std::string first = Type("SELECT * FROM wide");
  EXPECT_EQ(t_.port().State(), "TCLPAGE");
  // The empty line and the id are two screen lines; 20 fields fill the page of 22.
  EXPECT_EQ(first.rfind(kCrLf + "    W1" + kCrLf + "001 v1" + kCrLf, 0), 0u) << first;
  EXPECT_NE(first.find("007 v7" + kCrLf), std::string::npos);
  EXPECT_NE(first.find("020 v20" + kCrLf + kCrLf +
                       "Press any key to continue or ('q' to quit this output):"),
            std::string::npos);
  EXPECT_EQ(first.find("021 v21"), std::string::npos);
  const std::string second = t_.Send(" ");
  EXPECT_EQ(second.rfind("021 v21" + kCrLf, 0), 0u) << second;
  EXPECT_NE(second.find("******  end of query  ******" + kCrLf + ":"), std::string::npos);
  EXPECT_EQ(t_.port().State(), "TCL");
}

TEST_F(TclSessionTest, QuittingAPagedQuery) {
  std::vector<std::string> ids;
  for (int i = 0; i < 40; ++i) ids.push_back("K" + std::to_string(100 + i));
  MakeFile("many", 3, ids);
  Type("SELECT * FROM many ORDER BY A0");
  EXPECT_EQ(t_.port().State(), "TCLPAGE");
  // Only q quits a page: x shows the next one.
  EXPECT_EQ(t_.Send("x").rfind(kCrLf + "    K104" + kCrLf, 0), 0u);
  EXPECT_EQ(t_.port().State(), "TCLPAGE");
  EXPECT_EQ(t_.Send("Q"), kCrLf + "Quit from current output" + kCrLf + ":");
  EXPECT_EQ(t_.port().State(), "TCL");
}

TEST_F(TclSessionTest, AShortQueryEndsOnItsFirstPage) {
  MakeFile("small", 3, {"S1"});
  const std::string out = Type("SELECT * FROM small");
  // Five screen lines, then empty lines down to line 20.
  std::string tail;
  for (int i = 5; i <= 19; ++i) tail += kCrLf;
  EXPECT_EQ(out, kCrLf + "    S1" + kCrLf + "001 v1" + kCrLf + "002 v2" + kCrLf + "003 v3" + kCrLf +
                     tail + kCrLf + "******  end of query  ******" + kCrLf + ":" + kCrLf + ":");
}

TEST_F(TclSessionTest, StoredMarkersAreShownNotObeyed) {
  MakeFile("notes", 1, {});
  Parts(t_.port()).account.Connection()->Execute(
      "INSERT INTO notes (A0, A1) VALUES ('N1', 'bye <&PORT_DISCONNECT> </TX> a\\\\b')");
  const std::string out = Type("SELECT * FROM notes");
  EXPECT_EQ(out.find("<&PORT_DISCONNECT>"), std::string::npos) << out;
  EXPECT_EQ(out.find("</TX>"), std::string::npos);
  EXPECT_NE(out.find("< &PORT_DISCONNECT>"), std::string::npos);
}

TEST_F(TclSessionTest, QueryFormsForTheGraphicalClient) {
  MakeFile("cust", 2, {"C1", "C2"});
  t_.port().SetTermType("VBGUI");
  const std::string form = Type("SELECT * FROM cust ORDER BY A0");
  EXPECT_EQ(t_.port().State(), "TCLQUERYVBGUI");
  EXPECT_EQ(form.rfind("<FORM SCREEN=FULL TYPE=FUNCTION><FORMHEADER>Query,Page1,TCL"
                       "<PROGRAM NAME=TCLQUERYVBGUI><POSITION TOP=3 LEFT=1><LABEL>SELECT * FROM "
                       "cust ORDER BY A0",
                       0),
            0u)
      << form;
  EXPECT_NE(form.find("<GRIDFILL>" + kCrLf + "<DATA>A0\\C1" + kCrLf + "<DATA>A1\\v1" + kCrLf),
            std::string::npos)
      << form;
  EXPECT_EQ(form.substr(form.size() - 5), "</TX>");
  const std::string next = t_.Send("\r");
  EXPECT_EQ(
      next.rfind("<REFRESH><FORMHEADER>Query,Page2,TCL<GRIDFILL>" + kCrLf + "<DATA>A0\\C2", 0), 0u)
      << next;
  EXPECT_EQ(t_.Send("\r"),
            "<TERMINAL><ATF @=-1><ATF @=-37><POSITION LEFT=1 TOP=1>No more records in this "
            "query.<ATF @=-40><POSITION LEFT=1 TOP=3>:<POSITION LEFT=2 TOP=3></TX>");
  EXPECT_EQ(t_.port().State(), "TCL");
  Type("SELECT * FROM cust");
  EXPECT_EQ(t_.Send("q"),
            "<TERMINAL><ATF @=-1><POSITION LEFT=1 TOP=1>Quit from query output"
            "<POSITION LEFT=1 TOP=2>:<POSITION LEFT=2 TOP=2></TX>");
}

TEST_F(TclSessionTest, ShowListsColumnsBesideTheirDictionary) {
  MakeFile("cust", 3, {"C1", "C2"});
  const std::string bare = Type("SHOW cust");
  EXPECT_EQ(t_.port().State(), "TCLQUERYSHOW");
  EXPECT_NE(bare.find("Count = 2 items."), std::string::npos) << bare;
  EXPECT_NE(bare.find("<DATA>A0 \\"), std::string::npos);
  EXPECT_NE(bare.find(" \\ \\ \\ItemID" + kCrLf), std::string::npos) << bare;
  EXPECT_EQ(t_.Send("\r"),
            "<TERMINAL><ATF @=-1><POSITION LEFT=1 TOP=2>:<POSITION LEFT=2 TOP=2></TX>");

  Type("CREATE-FILE CUST2 3 D");
  auto& c = *Parts(t_.port()).account.Connection();
  c.Execute(
      "INSERT INTO CUST2_dict (A0, A1, A2, A3, A5, A7, A8) VALUES ('NAME', 'A', '1', 'Name', 'S', "
      "'MCU', '')");
  c.Execute("INSERT INTO CUST2_dict (A0, A1, A2, A3, A7) VALUES ('DUE', 'A', '3', 'Due', 'D2/')");
  c.Execute(
      "INSERT INTO CUST2_dict (A0, A1, A2, A3, A5, A7) VALUES ('DUE2', 'A', '3', 'Due again', 'M', "
      "'X')");
  const std::string show = Type("SHOW CUST2");
  EXPECT_NE(show.find("<FORMHEADER>Query,SHOW CUST2,TCL"), std::string::npos) << show;
  EXPECT_NE(show.find(" \\S \\MCU \\NAME, Name" + kCrLf), std::string::npos) << show;
  // Rows whose A8 is Null count; Conv prefers a date or amount code.
  EXPECT_NE(show.find(" \\M \\D2/ \\DUE, Due, DUE2, Due again" + kCrLf), std::string::npos) << show;
}

TEST_F(TclSessionTest, ErrorsKeepTheSessionUsable) {
  const std::string out = Type("SHOW nosuchtable");
  EXPECT_EQ(out.rfind("ERROR: [", 0), 0u) << out;
  EXPECT_EQ(out.substr(out.size() - 3), kCrLf + ":");
  EXPECT_EQ(t_.port().State(), "TCL");
  EXPECT_EQ(Type("SWRITE lonely"), "ERROR: [5] Invalid procedure call or argument" + kCrLf + ":");
}

TEST_F(TclSessionTest, ListUsersNeedsPrivilege) {
  const std::string report = Type("LISTU");
  EXPECT_NE(report.find("Me UserInstance  CnID Account       "), std::string::npos) << report;
  if (!MySql()) {
    EXPECT_NE(report.find("** " + t_.port().UserInst()), std::string::npos) << report;
  }
  Type("LOGTO dm");
  Parts(t_.port()).account.Connection()->Execute("UPDATE users SET A8 = '2' WHERE A0 = '" +
                                                 home_.user() + "'");
  Terminal low(home_.home());
  low.LogIn(home_.user(), "secret");
  EXPECT_EQ(low.Send("LISTU\r"), "NOT AVAILABLE: you do not have the necessary security" + kCrLf +
                                     "privileges to run a LISTU.  See your admin/systems people." +
                                     kCrLf + kCrLf + kCrLf + ":");
}

TEST_F(TclSessionTest, ALargeResultPagesWithoutWaitingForAllOfIt) {
  MakeFile("huge", 1, {});
  auto& c = *Parts(t_.port()).account.Connection();
  if (MySql()) c.Execute("SET SESSION max_recursive_iterations = 200000");
  c.Execute(MySql() ? "INSERT INTO huge (A0, A1) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                      "SELECT i + 1 FROM n WHERE i < 100000) SELECT CONCAT('K', i), 'v' FROM n"
                    : "INSERT INTO huge (A0, A1) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                      "SELECT i + 1 FROM n WHERE i < 100000) SELECT 'K' || i, 'v' FROM n");
  const std::string first = Type("SELECT * FROM huge");
  EXPECT_NE(first.find("Press any key to continue or ('q' to quit):"), std::string::npos);
  // The session's other work goes on while the query is open.
  std::string sentence = "SELECT COUNT(*) FROM huge";
  EXPECT_EQ(t_.port().ExecutePS(sentence),
            "0\xFE"
            "1");
  EXPECT_EQ(t_.port().SelectArray().ArrayRef()[0].ArrayRef()[1].ToString(), "100000");
  EXPECT_NE(t_.Send(" ").find("    K"), std::string::npos);
  EXPECT_EQ(t_.Send("q"), kCrLf + "Quit from current output" + kCrLf + ":");
}

TEST(JDecodeTest, ShiftsWithinThePrintableRing) {
  auto port = Port::Create(std::filesystem::temp_directory_path().string());
  std::string key = "!";
  EXPECT_EQ(port->JDecode("AB", key).ToString(), "C@");
  key = "abc";
  const std::string once = port->JDecode("message", key).ToString();
  EXPECT_EQ(key, "abcabcabcabc");  // doubled in place until long enough
  EXPECT_EQ(once.size(), 7u);
  for (char c : once)
    EXPECT_TRUE(static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) <= 127);
  EXPECT_NE(port->JDecode(once, key).ToString(), "message");
  key = "";
  EXPECT_EQ(port->JDecode("", key).ToString(), "");
  EXPECT_THROW(port->JDecode("text", key), VbError);  // an empty key would double for ever
}

}  // namespace
}  // namespace orvik
namespace orvik {
namespace {

#ifdef ORVIK_TEST_MARIADB
// The process list, read again and again between other statements, never leaves the
// connection out of step.
TEST_F(TclSessionTest, ServerListingsKeepTheConnectionUsable) {
  for (int i = 0; i < 50; ++i) {
    std::shared_ptr<Recordset> rs;
    ASSERT_TRUE(t_.port().RsOOpen("SHOW PROCESSLIST", rs)) << t_.port().ErrorDetail();
    while (!rs->AtEOF()) rs->MoveNext();
    rs.reset();
    try {
      Parts(t_.port()).account.Connection()->Execute("SELECT 1");
    } catch (const VbError& e) {
      FAIL() << "iteration " << i << ": " << e.Message();
    }
  }
}
#endif
}  // namespace
}  // namespace orvik
