// The login dialogue and the session states, scripted through RequestA and the response
// handler as a client drives them; on the embedded store and on the private MariaDB server.

#include <sqlite3.h>

#include <filesystem>

#include "datastore_home.h"
#include "port.h"
#include "port_access.h"
#include "session_test_support.h"

namespace orvik {
namespace {

using namespace port_access;

using test_support::Terminal;

const std::string kCrLf = "\r\n";
const std::string kBanner = "\r\n======== OrvikEngine 1.2 Please Login =========\r\n\r\nusername: ";
const std::string kStars(74, '*');
const std::string kWelcome =
    "\r\n\r\n" + kStars + "\r\n" +
    "*                  Welcome to OrvikEngine                                *" + "\r\n" + kStars +
    "\r\n\r\n\r\n:";

class LoginDialogueTest : public ::testing::Test {
 protected:
  LoginDialogueTest() : home_(ORVIK_TEST_DATASTORE) {}
  bool Embedded() const { return home_.dataStore() == "JET"; }
  const std::string& User() const { return home_.user(); }
  // Sets columns of the test user's row in the users table.
  void SetUserColumns(const std::string& assignments) {
    auto port = Port::Create(home_.home());
    SetLogin(*port, home_.user(), test_support::kTestPassword);
    ASSERT_TRUE(ConnectAccount(*port, "dm"));
    Parts(*port).account.Connection()->Execute("UPDATE users SET " + assignments + " WHERE A0 = '" +
                                               home_.user() + "'");
  }

  test_support::DatastoreHome home_;
};

TEST_F(LoginDialogueTest, TheFirstInputGreetsAndClearsWhatCameWithIt) {
  Terminal t(home_.home());
  EXPECT_EQ(t.Send("anything\r"), kBanner);
  EXPECT_EQ(t.port().State(), "USERPROMPT");
  EXPECT_EQ(t.port().TypeAhead(), "");
}

TEST_F(LoginDialogueTest, AnAcceptedLoginReachesThePrompt) {
  Terminal t(home_.home());
  t.Send("\r");
  EXPECT_EQ(t.Send(UpperCase(User()) + "\r"), "\r\npassword: ");  // names are taken in lower case
  EXPECT_EQ(t.port().State(), "PASSWORDPROMPT");
  EXPECT_EQ(t.Send("Secret\r"), kWelcome);
  EXPECT_EQ(t.port().State(), "TCL");
  EXPECT_EQ(t.port().UserName(), User());
  EXPECT_EQ(t.port().UserInst(), User() + "*" + std::to_string(t.port().Connection_ID()));
  EXPECT_GT(t.port().Connection_ID(), 0);
  EXPECT_EQ(t.Send("who\r"), "\r\n" + t.port().UserInst() + " dm\r\n:");
}

TEST_F(LoginDialogueTest, ARefusedLoginAsksAgain) {
  Terminal t(home_.home());
  t.Send("\r");
  t.Send(User() + "\r");
  const std::string refusal = t.Send("wrong\r");
  if (!Embedded()) {
    // A server checks the password when the connection opens: the session cannot start.
    EXPECT_NE(refusal.find("Access denied"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("ERROR: Can not connect...."), std::string::npos);
    EXPECT_EQ(t.port().State(), "ERROR_EXIT");
    return;
  }
  EXPECT_EQ(refusal.rfind("\r\n\r\nERROR: Login not valid\r\n[", 0), 0u) << refusal;
  EXPECT_NE(
      refusal.find("\r\nPlease try again or check with your systems people\r\n\r\nusername: "),
      std::string::npos);
  EXPECT_EQ(t.port().State(), "USERPROMPT");
  EXPECT_NE(refusal.find("[915] User name or password not accepted"), std::string::npos);
  t.Send("nobody\r");
  const std::string unknown = t.Send("secret\r");
  EXPECT_NE(unknown.find("ERROR: Login not valid\r\n["), std::string::npos);
  // After a second refusal the next login waits a second, and says so.
  t.Send(User() + "\r");
  EXPECT_EQ(t.Send("secret\r"), "\r\nToo many failed logins: please wait 1 second" + kWelcome);
}

TEST_F(LoginDialogueTest, EchoAtThePrompts) {
  Terminal t(home_.home());
  t.port().Echo(Variant(true));
  EXPECT_EQ(t.Send("x"), "x" + kBanner);
  EXPECT_EQ(t.Send(User() + "x"), User() + "x");
  EXPECT_EQ(t.Send("\b"), "\b \b");
  EXPECT_EQ(t.Send("\r"), "\r\n\r\npassword: ");
  EXPECT_EQ(t.Send("se"), "**");
  EXPECT_EQ(t.Send("\b"), "\b \b");  // a Backspace rubs out a star, it adds none
  EXPECT_EQ(t.Send("ecret"), "*****");
  EXPECT_EQ(t.Send("\r"), "\r\n" + kWelcome);
}

TEST_F(LoginDialogueTest, LinesSentTogetherAreEachAnsweredAtOnce) {
  Terminal t(home_.home());
  t.port().Echo(Variant(true));
  t.Send("\r");
  // Name and password pasted in one go: both are taken now, and the password, typed ahead,
  // is never shown in clear.
  EXPECT_EQ(t.Send(User() + "\rsecret\r"),
            User() + "\r\n******\r\n\r\npassword: \r\n" + kWelcome.substr(2));
  EXPECT_EQ(t.port().State(), "TCL");
  EXPECT_EQ(t.port().TypeAhead(), "");
  // Two sentences in one input: each answered, in order, none left for the next input.
  t.port().Echo(Variant(false));
  const std::string who = "\r\n" + t.port().UserInst() + " dm\r\n:";
  EXPECT_EQ(t.Send("WHO\rWHO\r"), who + who);
  // A line left unfinished waits for its end.
  EXPECT_EQ(t.Send("WH"), "");
  EXPECT_EQ(t.Send("O\r"), who);
}

TEST_F(LoginDialogueTest, RecallRunsThePreviousSentenceAgain) {
  Terminal t(home_.home());
  t.LogIn(User(), "secret");
  t.port().Echo(Variant(true));
  t.Send("WHO\r");
  EXPECT_EQ(t.Send("\xFF"), "WHO\r\n");  // the recalled sentence is shown in its place
  EXPECT_EQ(t.Send("\r"), "\r\n\r\n" + t.port().UserInst() + " dm\r\n:");
}

TEST_F(LoginDialogueTest, AnEmptyLineIsJustAPrompt) {
  Terminal t(home_.home());
  t.LogIn(User(), "secret");
  EXPECT_EQ(t.Send("   \r"), "\r\n:");
  EXPECT_EQ(t.port().State(), "TCL");
}

TEST_F(LoginDialogueTest, StartUpSentencesRunInOrderAfterTheWelcome) {
  SetUserColumns("A12 = 'WHO', A13 = 'LOGTO " + home_.account() + "', A14 = '', A15 = 'WHO'");
  Terminal t(home_.home());
  t.Send("\r");
  t.Send(User() + "\r");
  const std::string out = t.Send("secret\r");
  ASSERT_EQ(out.rfind(kWelcome, 0), 0u) << out;
  const std::string rest = out.substr(kWelcome.size());
  EXPECT_EQ(rest, "\r\n" + t.port().UserInst() +
                      " dm\r\n:" + "\r\nOK - you are now working in account \"" + home_.account() +
                      "\"\r\n\r\n:");
  EXPECT_EQ(Parts(t.port()).account.Account(), home_.account());
}

TEST_F(LoginDialogueTest, TwoSessionsHaveTheirOwnIdentity) {
  Terminal a(home_.home()), b(home_.home());
  a.LogIn(User(), "secret");
  b.LogIn(User(), "secret");
  EXPECT_NE(a.port().UserInst(), b.port().UserInst());
  EXPECT_NE(a.port().UserInst(), "");
}

TEST_F(LoginDialogueTest, ExitDisconnects) {
  Terminal t(home_.home());
  t.LogIn(User(), "secret");
  EXPECT_EQ(t.Send("off\r"), "<&PORT_DISCONNECT>\r\n:");
}

#ifndef ORVIK_TEST_MARIADB  // the embedded store's own registry and failures

TEST_F(LoginDialogueTest, AConnectionFailureEndsTheSession) {
  std::filesystem::remove(std::filesystem::path(home_.home()) / "JetMDB" / "dm.db");
  Terminal t(home_.home());
  const std::string out = t.LogIn(User(), "secret");
  const std::string box =
      "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\r\n"
      "!      ERROR: Can not connect....                 !\r\n"
      "!      Session therefore can not start.           !\r\n"
      "!      Please report this to your systems people. !\r\n"
      "!      Please now press any key to exit.          !\r\n"
      "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\r\n";
  EXPECT_EQ(t.port().State(), "ERROR_EXIT");
  EXPECT_EQ(t.Send("x"), "<&PORT_DISCONNECT>");
  EXPECT_FALSE(t.result());
  EXPECT_FALSE(t.result());
  EXPECT_EQ(t.Send("y"), "<&PORT_DISCONNECT>");
  EXPECT_EQ(out.rfind("\r\n\r\n[", 0), 0u) << out;  // the datastore's reason first
  EXPECT_NE(out.find("\r\n\r\n" + box), std::string::npos) << out;
}

TEST_F(LoginDialogueTest, TheRegistryListsLoggedInSessionsOnly) {
  Terminal a(home_.home());
  a.LogIn(User(), "secret");
  std::string gone;
  {
    Terminal b(home_.home());
    b.LogIn(User(), "secret");
    b.Send("WHO\r");  // its status line now names it
    gone = b.port().UserInst();
    EXPECT_NE(ListProcesses(a.port()).find(gone + "\xFD"), std::string::npos);
  }
  EXPECT_EQ(ListProcesses(a.port()).find(gone + "\xFD"), std::string::npos);
  // A line left by a process that died is pruned at the next login.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((home_.home() + "/registry.db").c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "INSERT INTO lines (line, pid, started) VALUES ('ghost', 999999999, 1)", nullptr,
               nullptr, nullptr);
  sqlite3_close(db);
  Terminal c(home_.home());
  c.LogIn(User(), "secret");
  const std::string list = ListProcesses(a.port());
  EXPECT_EQ(list.find("ghost"), std::string::npos);
  EXPECT_NE(c.port().Connection_ID(), a.port().Connection_ID());
}

#endif

}  // namespace
}  // namespace orvik
