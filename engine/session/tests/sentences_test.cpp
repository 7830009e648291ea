// Programmatic sentences and printing, on the embedded store and on the private MariaDB
// server; printers are a fake backend.

#include <filesystem>

#include "datastore_home.h"
#include "fake_print_backend.h"
#include "port.h"
#include "port_access.h"
#include "vb_error.h"

namespace orvik {
namespace {

using namespace port_access;

class SentencesTest : public ::testing::Test {
 protected:
  SentencesTest() : home_(ORVIK_TEST_DATASTORE) {
    fake_ = std::make_shared<FakePrintBackend>();
    fake_->SetPrinters({"Office Laser", "Label"}, "Office Laser");
    PortOptions options;
    options.home = home_.home();
    // Every port prints on the one fake, so that the test sees all jobs.
    options.printing = fake_->Sharing();
    port_ = Port::Create(std::move(options));
    EXPECT_EQ(Run("LOGIN " + home_.user() + " secret"), "OK") << port_->ErrorDetail();
    EXPECT_EQ(Run("USE " + home_.account()), "OK") << port_->ErrorDetail();
  }

  std::string Run(std::string sentence) { return port_->ExecutePS(sentence); }
  bool MySql() const { return home_.dataStore() == "MYSQL"; }
  std::string Cell(int field, int row) {
    return port_->SelectArray().ArrayRef().at(field).ArrayRef().at(row).ToString();
  }

  test_support::DatastoreHome home_;
  std::shared_ptr<FakePrintBackend> fake_;
  std::shared_ptr<Port> port_;
};

TEST_F(SentencesTest, SessionSentences) {
  EXPECT_EQ(port_->State(), "TCL");
  EXPECT_EQ(Run("who"), port_->UserInst() + " " + home_.account());
  EXPECT_EQ(Run("USERINST"), port_->UserInst());
  EXPECT_EQ(Run("ACCOUNT"), home_.account());
  EXPECT_EQ(Run("USER 8"), "3");
  const std::string known = " (known: VBGUI, MM-MON, MMMON, VT100, VT-100, VT100+C, VT-100+C)";
  EXPECT_EQ(Run("TERM FOO"), "ERROR");
  EXPECT_EQ(port_->ErrorDetail(), "[970] Unknown TermType, so continuing with none" + known);
  EXPECT_EQ(Run("TERM vt100"), "OK");
  EXPECT_EQ(port_->TermType(), "VT100");
  EXPECT_EQ(Run("TERM ANSI"), "ERROR");
  EXPECT_EQ(port_->ErrorDetail(), "[970] Unknown TermType, so continuing with VT100" + known);
  EXPECT_EQ(Run("ECHO YES"), "ERROR");
  EXPECT_EQ(port_->ErrorDetail(), "[961] syntax error in ECHO ON|OFF");
  EXPECT_EQ(Run("ECHO -1"), "OK");
  EXPECT_TRUE(Parts(*port_).terminal.EchoOn());
  EXPECT_EQ(Run("USE nosuchaccount"), "ERROR");
  EXPECT_EQ(Parts(*port_).account.Account(), home_.account());
  EXPECT_EQ(Run("TERM"), "ERROR");  // a missing word
  EXPECT_EQ(port_->ErrorDetail(), "[9] Subscript out of range");
}

TEST_F(SentencesTest, ALoginThatFailsLeavesTheSessionEnded) {
  auto other = Port::Create(home_.home());
  std::string sentence = "LOGIN nobody nothing";
  EXPECT_EQ(other->ExecutePS(sentence), "ERROR");
  EXPECT_EQ(other->State(), "ERROR_EXIT");
}

// A session that logs in again is listed once, under its new number. (On a server the
// administrator's LISTU lists every session of the system account, which the tests running
// beside this one share: there only the new number is looked at.)
TEST_F(SentencesTest, ALoginAgainIsListedOnce) {
  const std::string first = port_->UserInst();
  if (!MySql()) {
    ASSERT_EQ(Run("LISTU").find('\xFE'), std::string::npos) << Run("LISTU");
  }
  EXPECT_EQ(Run("LOGIN " + home_.user() + " secret"), "OK") << port_->ErrorDetail();
  EXPECT_NE(port_->UserInst(), first);
  const std::string listed = Run("LISTU");
  EXPECT_FALSE(listed.empty());
  if (!MySql()) {
    EXPECT_EQ(listed.find('\xFE'), std::string::npos) << listed;
  }
  // A server numbers and lists its sessions itself: its home gets no registry file.
  EXPECT_EQ(std::filesystem::exists(home_.home() + "/registry.db"), !MySql());
}

TEST_F(SentencesTest, TheSentenceComesBackTrimmed) {
  std::string sentence = "   select A0 from md ;  ";
  port_->ExecutePS(sentence);
  EXPECT_EQ(sentence, "select A0 from md");
}

TEST_F(SentencesTest, QueriesFillSelectArray) {
  ASSERT_EQ(Run("CREATE-FILE CUST 3"), "OK") << port_->ErrorDetail();
  ASSERT_EQ(Run("INSERT INTO cust (A0, A1, A2, A3) VALUES ('C1', 'Smith', 'x', '10')"), "OK");
  ASSERT_EQ(Run("INSERT INTO cust (A0, A1, A2, A3) VALUES ('C2', 'Jones', 'y', '20')"), "OK");
  EXPECT_EQ(Run("  select A0, A1, A3 from cust order by A0 ; "),
            "2\xFE"
            "2");
  EXPECT_EQ(Cell(0, 0), "");
  EXPECT_EQ(Cell(0, 1), "C1");
  EXPECT_EQ(Cell(2, 2), "20");
  EXPECT_EQ(Run("select A0 from cust where A0 = 'none'"), "ERROR");
  EXPECT_EQ(port_->ErrorDetail().rfind("[3021] ", 0), 0u);
  EXPECT_EQ(Run("DELETE FROM cust WHERE A0 = 'C2'"), "OK");
  EXPECT_EQ(Run("select A0 from cust"),
            "0\xFE"
            "1");
}

TEST_F(SentencesTest, LargeQueriesAreRationed) {
  ASSERT_EQ(Run("CREATE FILE BIG 1"), "OK");
  const std::string value(400000, 'v');
  for (const char* id : {"K1", "K2", "K3", "K4"}) {
    Parts(*port_).account.Connection()->Execute("INSERT INTO big (A0, A1) VALUES ('" +
                                                std::string(id) + "', '" + value + "')");
  }
  EXPECT_EQ(Run("SELECT A0, A1 FROM big ORDER BY A0"),
            "1\xFE"
            "3");
  EXPECT_EQ(port_->ErrorDetail(),
            "WARNING: [921] excessive quantity of data in recordset, output rationed to 1 Meg");
  EXPECT_EQ(Cell(0, 3), "K3");
}

TEST_F(SentencesTest, CreatingFiles) {
  EXPECT_EQ(Run("CREATE-FILE CUST 5"), "OK");
  std::string list = LowerCase(Run("LISTF"));
  EXPECT_NE(list.find("cust"), std::string::npos);
  EXPECT_EQ(list.find("cust_dict"), std::string::npos);  // no fifth word: no dictionary
  EXPECT_EQ(Run("CREATE.FILE ORD 5 7"), "OK");
  list = LowerCase(Run("LISTF"));
  EXPECT_NE(list.find("ord_dict"), std::string::npos);
  std::string sentence = "CREATE_FILE NOTES N";
  EXPECT_EQ(port_->ExecutePS(sentence), "OK");
  // MariaDB gets every name in lower case, whatever its lower_case_table_names.
  EXPECT_EQ(sentence, "INSERT INTO " + std::string(MySql() ? home_.account() + ".notes" : "NOTES") +
                          "_dict(A0, A7) VALUES('<&NUM>', 'N')");
  Variant fv;
  ASSERT_TRUE(port_->OOpen(Variant("NOTES"), fv));
  EXPECT_EQ(fv.ToString(), home_.account() + ".NOTES\xFE\xFEN\xFE");
  // Runs of blanks never shift the words: this is file X5 of 3 attributes.
  EXPECT_EQ(Run("CREATE-FILE      X5     3"), "OK");
  EXPECT_NE(LowerCase(Run("LISTF")).find("x5"), std::string::npos);
  EXPECT_EQ(Run("CREATE FILE bad;name 3"), "ERROR");
  EXPECT_EQ(Run("CREATE FILE CUST 0"), "ERROR");
  EXPECT_EQ(Run("CREATE WIDGET x"), "ERROR");
  EXPECT_EQ(port_->ErrorDetail(), "[962] syntax error in CREATE FILE|ACCOUNT|TABLE|DATABASE");
}

TEST_F(SentencesTest, MasterDictionaries) {
  if (MySql()) {
    // Logins make no databases on a server: the set-up does, and gives them their rights.
    EXPECT_EQ(Run("CREATE ACCOUNT " + home_.account() + "x"), "ERROR");
    SetupOptions o;
    o.accounts = {home_.account() + "x"};
    std::string error;
    ASSERT_TRUE(home_.Setup(o, &error)) << error;
    // Without the master dictionary the set-up made, as CREATE ACCOUNT leaves an account.
    ASSERT_EQ(Run("USE " + home_.account() + "x"), "OK") << port_->ErrorDetail();
    ASSERT_EQ(Run("DROP TABLE md"), "OK") << port_->ErrorDetail();
  } else {
    ASSERT_EQ(Run("CREATE ACCOUNT " + home_.account() + "x"), "0") << port_->ErrorDetail();
  }
  ASSERT_EQ(Run("USE " + home_.account() + "x"), "OK") << port_->ErrorDetail();
  EXPECT_FALSE(Parts(*port_).account.CatalogOpen());
  EXPECT_EQ(Run("CREATE FILE DICT.MD"), "OK") << port_->ErrorDetail();
  EXPECT_EQ(Run("LISTF"), "md");
  EXPECT_EQ(Run("CREATE FILE MD"), "ERROR");  // it is there already
  EXPECT_NE(Run("LISTA").find(home_.account() + "x"), std::string::npos);
}

TEST_F(SentencesTest, HeldPrintRoundTripsAwkwardText) {
  EXPECT_EQ(Run("SP-ASSIGN H"), "OK");
  EXPECT_EQ(Run("PRINTER ON"), "OK");
  port_->PPrint("O'Brien \\ \"quoted\"");
  port_->PPrint("second", false);
  EXPECT_EQ(Run("PRINTER CLOSE"), "OK") << port_->ErrorDetail();
  EXPECT_EQ(Run("PRINTER CLOSE"), "OK");  // nothing held: no empty row
  EXPECT_EQ(Run("PRINTER ON"), "OK");
  port_->PPrint("next job");
  EXPECT_EQ(Run("PRINTER CLOSE"), "OK");
  const std::string table = MySql() ? "dm.printhold" : "printhold";
  auto dm = Port::Create(home_.home());
  std::string login = "LOGIN " + home_.user() + " secret";
  dm->ExecutePS(login);
  // A server's printhold is shared by every account on it: queue 3 may hold jobs of other runs.
  std::string last = "SELECT COALESCE(MAX(Sequence), 0) FROM " + table + " WHERE Queue = 3";
  ASSERT_EQ(dm->ExecutePS(last),
            "0\xFE"
            "1")
      << dm->ErrorDetail();
  const long before = std::stol(dm->SelectArray().ArrayRef().at(0).ArrayRef().at(1).ToString());
  EXPECT_EQ(Run("SP-ASSIGN 3 H"), "OK");
  EXPECT_EQ(Run("PRINTER ON"), "OK");
  port_->PPrint("queue three");
  EXPECT_EQ(Run("PRINTER CLOSE"), "OK");
  std::string query = "SELECT Queue, Sequence, UserID, PrintText FROM " + table +
                      " WHERE Account = '" + home_.account() + "' ORDER BY Queue, Sequence";
  ASSERT_EQ(dm->ExecutePS(query),
            "3\xFE"
            "3")
      << dm->ErrorDetail();
  const auto cell = [&](int f, int r) {
    return dm->SelectArray().ArrayRef().at(f).ArrayRef().at(r).ToString();
  };
  EXPECT_EQ(cell(3, 1), "O'Brien \\ \"quoted\"\r\nsecond");
  EXPECT_EQ(cell(2, 1), home_.user());
  EXPECT_EQ(cell(0, 3), "3");
  EXPECT_EQ(cell(1, 3), std::to_string(before + 1));  // its own numbering, not queue 0's
}

TEST_F(SentencesTest, RawDevices) {
  EXPECT_EQ(Run("DEV-MAKE R 0 Label"), "ERROR");
  EXPECT_EQ(port_->ErrorDetail(), "[977] Device number out of range");
  EXPECT_EQ(Run("DEV-MAKE R 51 Label"), "ERROR");
  EXPECT_EQ(Run("DEV-MAKE R 2 Nowhere"), "ERROR");
  EXPECT_EQ(port_->ErrorDetail(), "[978] The Printer Name Nowhere is not recognized.");
  EXPECT_EQ(Run("DEV-MAKE R 12 'Office Laser'"), "OK");  // every number up to 50 has a place
  EXPECT_EQ(Run("SP-ASSIGN 12"), "OK");
  EXPECT_EQ(Run("PRINTER ON"), "OK");
  port_->PPrint("\x1B@raw\xFF", false);
  EXPECT_EQ(Run("PRINTER CLOSE"), "OK");
  ASSERT_EQ(fake_->raw_jobs().size(), 1u);
  EXPECT_EQ(fake_->raw_jobs()[0].printer, "Office Laser");
  EXPECT_EQ(fake_->raw_jobs()[0].documentName, "OrvikEngine " + port_->UserInst());
  EXPECT_EQ(fake_->raw_jobs()[0].bytes, "\x1B@raw\xFF");
  EXPECT_TRUE(fake_->raw_jobs()[0].finished);
  // The closed channel does not swallow later output.
  EXPECT_EQ(Run("PRINTER ON"), "OK");
  EXPECT_THROW(port_->PPrint("lost?"), VbError);
}

TEST_F(SentencesTest, PrinterObjects) {
  EXPECT_EQ(Run("DEV-MAKE P 1 label"), "OK");
  EXPECT_EQ(Run("DEV-MAKE P 2 missing"), "ERROR");
  EXPECT_EQ(Run("SP-ASSIGN 1"), "OK");
  EXPECT_EQ(Run("PRINTER LANDSCAPE"), "OK");
  EXPECT_EQ(Run("PRINTER COPIES 2"), "OK");
  EXPECT_EQ(Run("PRINTER ON"), "OK");
  port_->PPrint("page one\fpage two");
  EXPECT_EQ(Run("PRINTER CLOSE"), "OK");
  ASSERT_EQ(fake_->text_jobs().size(), 1u);
  const auto& job = fake_->text_jobs()[0];
  EXPECT_EQ(job.printer, "Label");
  EXPECT_EQ(job.pages, (std::vector<std::string>{"page one", "page two\r\n"}));
  EXPECT_EQ(job.settings.orientation, 2);
  EXPECT_EQ(job.settings.copies, 2);
  // After a close the printer is back to portrait, A4 and one copy.
  EXPECT_EQ(Run("PRINTER ON"), "OK");
  port_->PPrint("again");
  EXPECT_EQ(Run("PRINTER CLOSE"), "OK");
  ASSERT_EQ(fake_->text_jobs().size(), 2u);
  EXPECT_EQ(fake_->text_jobs()[1].settings.orientation, 1);
  EXPECT_EQ(fake_->text_jobs()[1].settings.copies, 1);
  EXPECT_EQ(Run("PRINTER SIDEWAYS"), "ERROR");
  EXPECT_EQ(port_->ErrorDetail(), "[975] syntax error in PRINTER ON|OFF|CLOSE");
}

TEST_F(SentencesTest, APrinterAssignedAfterARawDevicePrintsOnThatPrinter) {
  EXPECT_EQ(Run("DEV-MAKE R 2 Label"), "OK");
  EXPECT_EQ(Run("DEV-MAKE P 1 label"), "OK");
  EXPECT_EQ(Run("SP-ASSIGN 2"), "OK");
  EXPECT_EQ(Run("PRINTER ON"), "OK");
  port_->PPrint("raw", false);
  EXPECT_EQ(Run("PRINTER CLOSE"), "OK");
  EXPECT_EQ(Run("SP-ASSIGN 1"), "OK");
  EXPECT_EQ(Run("PRINTER ON"), "OK");
  EXPECT_NO_THROW(port_->PPrint("on paper"));
  EXPECT_EQ(Run("PRINTER CLOSE"), "OK") << port_->ErrorDetail();
  ASSERT_EQ(fake_->text_jobs().size(), 1u);
  EXPECT_EQ(fake_->text_jobs()[0].printer, "Label");
  EXPECT_EQ(fake_->text_jobs()[0].pages, std::vector<std::string>{"on paper\r\n"});

  // A raw job still open when another device is assigned is sent as it stands.
  EXPECT_EQ(Run("DEV-MAKE R 3 'Office Laser'"), "OK");
  EXPECT_EQ(Run("SP-ASSIGN 3"), "OK");
  EXPECT_EQ(Run("PRINTER ON"), "OK");
  port_->PPrint("half", false);
  EXPECT_EQ(Run("SP-ASSIGN 1"), "OK");
  port_->PPrint("paper two", false);
  EXPECT_EQ(Run("PRINTER CLOSE"), "OK");
  ASSERT_EQ(fake_->raw_jobs().size(), 2u);
  EXPECT_EQ(fake_->raw_jobs()[1].bytes, "half");
  EXPECT_TRUE(fake_->raw_jobs()[1].finished);
  EXPECT_EQ(fake_->open_channels(), 0);
  ASSERT_EQ(fake_->text_jobs().size(), 2u);
  EXPECT_EQ(fake_->text_jobs()[1].pages, std::vector<std::string>{"paper two"});
}

TEST_F(SentencesTest, PrintingOffGoesToTheTerminal) {
  port_->Response();
  port_->PPrint("hello");
  EXPECT_EQ(port_->Response(), "hello\r\n");
}

}  // namespace
}  // namespace orvik
