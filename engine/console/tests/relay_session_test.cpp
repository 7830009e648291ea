// Real sessions over TCP, as users and careless or hostile clients meet them: pasted input,
// the keys of plain clients, telnet, lines without end, silent connections, guessed
// passwords, programs that never end and clients that read slowly. On the embedded store
// and on the private MariaDB server.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <thread>

#include "console_test_support.h"
#include "datastore_home.h"
#include "port_access.h"
#include "relay_server.h"

namespace orvik::console {
namespace {

using namespace orvik::port_access;

using test::Client;
using test::SecondsSince;
using test::WaitUntil;
using namespace std::chrono_literals;

const std::string kWelcome = "*                  Welcome to OrvikEngine";

// A query that would run for hours. (MariaDB stops a recursive one after 1,000 rounds.)
#ifdef ORVIK_TEST_MARIADB
const std::string kEndlessQuery = "SELECT MAX(MD5(seq)) FROM seq_1_to_100000000000";
#else
const std::string kEndlessQuery =
    "SELECT COUNT(*) FROM (WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
    "SELECT x FROM c) AS t";
#endif

class RelaySessionTest : public ::testing::Test {
 protected:
  RelaySessionTest() : home_(ORVIK_TEST_DATASTORE) {
    relay_.SetListenAddress(QHostAddress::LocalHost);
    relay_.SetLogHandler([this](const std::string& line) { log_.push_back(line); });
  }
  ~RelaySessionTest() override { relay_.EngineStop(); }

  void Start(int count = 3) { ASSERT_TRUE(relay_.EngineStart(count, 0)) << relay_.LastError(); }
  std::unique_ptr<Client> Connect() {
    auto c = std::make_unique<Client>(relay_.ListeningPort());
    EXPECT_TRUE(c->WaitConnected());
    return c;
  }
  // A client at the TCL prompt.
  std::unique_ptr<Client> LoggedIn() {
    auto c = Connect();
    c->Send("\r");
    EXPECT_TRUE(c->WaitFor("username: "));
    c->Send(home_.user() + "\r" + test_support::kTestPassword + "\r");
    EXPECT_TRUE(c->WaitFor(kWelcome)) << c->Received();
    EXPECT_TRUE(c->WaitFor("\r\n:"));
    c->Take();
    return c;
  }
  // A client at the TCL prompt of the test's own account (on a server the system account
  // is shared by every test).
  std::unique_ptr<Client> InAccount() {
    auto c = LoggedIn();
    c->Send("LOGTO " + home_.account() + "\r");
    EXPECT_TRUE(c->WaitFor("OK - you are now working in account")) << c->Received();
    EXPECT_TRUE(c->WaitFor("\r\n:"));
    c->Take();
    return c;
  }
  // A port of the test's own in the test's account, by way of the system account as a
  // session goes (the locks live there).
  std::shared_ptr<Port> AccountPort() {
    auto port = Port::Create(home_.home());
    SetLogin(*port, home_.user(), test_support::kTestPassword);
    EXPECT_TRUE(ConnectAccount(*port, "dm")) << port->ErrorDetail();
    EXPECT_TRUE(ConnectAccount(*port, home_.account())) << port->ErrorDetail();
    return port;
  }
  void Sql(const std::string& statement) {
    Parts(*AccountPort()).account.Connection()->Execute(statement);
  }
  void Catalog(const std::string& verb, const std::string& kind, const std::string& program) {
    std::string columns = "A0, A1, A4";
    std::string values = "'" + verb + "', '" + kind + "', '" + program + "'";
    for (int i : {2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}) {
      columns += ", A" + std::to_string(i);
      values += ", ''";
    }
    Sql("INSERT INTO md (" + columns + ") VALUES (" + values + ")");
  }
  void WriteProgram(const std::string& name, const std::string& text) {
    std::ofstream(home_.home() + "/" + name) << text;
  }
  bool Logged(const std::string& part) const {
    for (const std::string& line : log_)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }
  bool Embedded() const { return home_.dataStore() == "JET"; }

  test_support::DatastoreHome home_;
  RelayServer relay_{home_.home()};
  std::vector<std::string> log_;
};

TEST_F(RelaySessionTest, LinesPastedTogetherAreEachAnsweredAtOnceAndInOrder) {
  Start();
  auto c = Connect();
  c->Send("\r");
  ASSERT_TRUE(c->WaitFor("username: "));
  // Name and password in one write: the login happens now, not at the next key.
  c->Send(home_.user() + "\r" + test_support::kTestPassword + "\r");
  ASSERT_TRUE(c->WaitFor(kWelcome)) << c->Received();
  ASSERT_TRUE(c->WaitFor("\r\n:"));
  c->Take();
  c->Send("WHO\rLISTF\r");
  ASSERT_TRUE(c->WaitFor("LISTF = List of Files/Tables")) << c->Received();
  ASSERT_TRUE(c->WaitFor("md\r\n"));
  const std::string both = c->Take();
  EXPECT_LT(both.find(" dm\r\n:"), both.find("LISTF = List")) << both;
  // Nothing is left over to answer the next line in its place.
  c->Send("WHO\r");
  ASSERT_TRUE(c->WaitFor(" dm\r\n:"));
  WaitUntil([] { return false; }, 100);
  EXPECT_EQ(c->Received().find("LISTF"), std::string::npos) << c->Received();
  EXPECT_TRUE(Logged("login by " + home_.user()));
}

TEST_F(RelaySessionTest, APlainClientsLineFeedsAndDeleteKeysWork) {
  Start();
  auto c = Connect();
  c->Send("\n");
  ASSERT_TRUE(c->WaitFor("username: "));
  c->Send(home_.user() + "\n");
  ASSERT_TRUE(c->WaitFor("password: "));
  // A typing mistake, corrected with the key most terminals send for Backspace.
  const std::string password = test_support::kTestPassword;
  c->Send(password.substr(0, 2) + "xy\x7f\x7f" + password.substr(2) + "\n");
  EXPECT_TRUE(c->WaitFor(kWelcome)) << c->Received();
}

TEST_F(RelaySessionTest, ATelnetClientIsGreetedAtOnceAndSeesStarsForThePassword) {
  Start();
  auto c = Connect();
  // What a telnet client opens with; no key pressed yet.
  c->Send(std::string("\xff\xfd\x03\xff\xfb\x18", 6));
  ASSERT_TRUE(c->WaitFor("username: ")) << "greeted without pressing Enter";
  EXPECT_EQ(c->Received().rfind(std::string("\xff\xfb\x01\xff\xfb\x03", 6), 0), 0u)
      << "the server offers to echo and to take each key as typed";
  c->Send(std::string("\xff\xfd\x01", 3));  // the client lets the server echo
  c->Take();
  for (const char key : home_.user()) c->Send(std::string(1, key));
  ASSERT_TRUE(c->WaitFor(home_.user())) << "the name is echoed as typed";
  c->Send(std::string("\r\0", 2));
  ASSERT_TRUE(c->WaitFor("password: "));
  c->Take();
  for (const char key : std::string(test_support::kTestPassword)) c->Send(std::string(1, key));
  const std::string stars(std::string(test_support::kTestPassword).size(), '*');
  ASSERT_TRUE(c->WaitFor(stars)) << c->Received();
  EXPECT_EQ(c->Received().find(test_support::kTestPassword), std::string::npos);
  c->Send(std::string("\r\0", 2));
  EXPECT_TRUE(c->WaitFor(kWelcome)) << c->Received();
}

TEST_F(RelaySessionTest, ALineWithoutEndIsRefusedAndTheSessionGoesOn) {
  Start(1);
  auto c = LoggedIn();
  c->Send(std::string(Port::kMaxInputLine + 10, 'A'));
  ASSERT_TRUE(c->WaitFor("[982] Input line longer than 65536 characters; it was discarded"))
      << c->Received().substr(0, 200);
  c->Send(std::string(100000, 'B'));  // still the same line: thrown away
  c->Send("\rWHO\r");
  EXPECT_TRUE(c->WaitFor(" dm\r\n:"));
  EXPECT_EQ(c->Received().find("BBB"), std::string::npos) << "no part of it ran as a verb";

  // A client that sends a line without end and hangs up frees its slot.
  c->Send(std::string(3 * 1024 * 1024, 'C'));
  c->Close();
  EXPECT_TRUE(WaitUntil([&] { return !relay_.SlotBusy(1); }, 5000));
  auto next = Connect();
  next->Send("\r");
  EXPECT_TRUE(next->WaitFor("username: "));
}

TEST_F(RelaySessionTest, AConnectionThatDoesNotLogInInTimeIsClosed) {
  relay_.SetLoginTimeout(600ms);
  Start(2);
  auto silent = Connect();
  auto user = LoggedIn();
  EXPECT_TRUE(silent->WaitClosed(3000));
  EXPECT_NE(silent->Received().find("No login within 0 seconds: the connection is closed."),
            std::string::npos)
      << silent->Received();
  EXPECT_TRUE(Logged("no login in time"));
  // A session that logged in stays.
  WaitUntil([] { return false; }, 700);
  user->Send("WHO\r");
  EXPECT_TRUE(user->WaitFor(" dm\r\n:"));
  EXPECT_FALSE(user->Closed());
}

#ifndef ORVIK_TEST_MARIADB
// On a server a wrong password already fails the connection: the session cannot start.
TEST_F(RelaySessionTest, GuessedPasswordsAreSlowedDownLoggedAndEndTheSession) {
  Start(1);
  auto c = Connect();
  c->Send("\r");
  ASSERT_TRUE(c->WaitFor("username: "));
  const auto t0 = SteadyClock::now();
  // Five guesses in one paste: each is answered, more slowly each time.
  std::string guesses;
  for (int i = 0; i < 5; ++i) guesses += "intruder\rguess" + std::to_string(i) + "\r";
  c->Send(guesses);
  EXPECT_TRUE(c->WaitClosed(12000));
  EXPECT_GE(SecondsSince(t0), 1 + 2 + 4 - 0.5);
  EXPECT_NE(c->Received().find("[983] Too many failed logins; the session ends"),
            std::string::npos);
  int refusals = 0;
  for (const std::string& line : log_) {
    EXPECT_EQ(line.find("guess"), std::string::npos) << "no password in the log: " << line;
    if (line.find("login refused for intruder") != std::string::npos) ++refusals;
  }
  EXPECT_EQ(refusals, 5);
  EXPECT_TRUE(WaitUntil([&] { return !relay_.SlotBusy(1); }));
}

// A name typed at the login prompt reaches the console's record as text only.
TEST_F(RelaySessionTest, ControlCharactersInATypedNameNeverReachTheLog) {
  Start(1);
  auto c = Connect();
  c->Send("\r");
  ASSERT_TRUE(c->WaitFor("username: "));
  c->Send(
      "ev\x1b[2J\x9b"
      "2Jil\rguess\r");
  ASSERT_TRUE(c->WaitFor("Please try again")) << c->Received();
  ASSERT_TRUE(Logged("login refused for ev?2jil")) << (log_.empty() ? "" : log_.back());
  for (const std::string& line : log_) {
    for (const char ch : line) {
      const auto u = static_cast<unsigned char>(ch);
      EXPECT_FALSE(u < 32 || (u >= 127 && u < 160)) << line;
    }
  }
}

#endif

// --- Logins from one address take turns ----------------------------------------------------

// The answer to a login, right or wrong, on either store (a server refuses the connection).
bool Answered(const Client& c) {
  for (const char* answer : {"ERROR: Login not valid", "ERROR: Can not connect", kWelcome.c_str()})
    if (c.Received().find(answer) != std::string::npos) return true;
  return false;
}

// How long a client was told its login waits, in seconds; -1 when it was told nothing.
int ToldWait(const Client& c) {
  const std::string told = "Too many failed logins: please wait ";
  const std::size_t at = c.Received().find(told);
  return at == std::string::npos ? -1 : std::atoi(c.Received().c_str() + at + told.size());
}

// Twenty users behind one address (an office's gateway) log in at the same moment with right
// passwords: none is held, none told to wait.
TEST_F(RelaySessionTest, RightLoginsFromOneAddressAtOnceAreNotHeld) {
  Start(20);
  std::vector<std::unique_ptr<Client>> users;
  for (int i = 0; i < 20; ++i) {
    users.push_back(Connect());
    users.back()->Send("\r");
  }
  for (auto& u : users) ASSERT_TRUE(u->WaitFor("username: "));
  for (auto& u : users) u->Send(home_.user() + "\r" + test_support::kTestPassword + "\r");
  for (auto& u : users) {
    EXPECT_TRUE(u->WaitFor(kWelcome)) << u->Received();
    EXPECT_EQ(ToldWait(*u), -1) << u->Received();
  }
  EXPECT_FALSE(Logged(" waits "));
}

// Forty connections from one address send a wrong password at the same moment: no more than
// are checked side by side go at once; from the first refusal on the others are answered one
// after the other, ever more slowly, each told how long it waits at most; a session of that
// address that has logged in goes on.
TEST_F(RelaySessionTest, ParallelGuessesFromOneAddressTakeTurnsEachToldHowLong) {
  constexpr auto kFirst = 250ms;
  relay_.SetLoginHolds({.first = kFirst, .most = 10 * kFirst});
  Start(41);
  auto user = LoggedIn();
  std::vector<std::unique_ptr<Client>> guessers;
  for (int i = 0; i < 40; ++i) {
    guessers.push_back(Connect());
    guessers.back()->Send("\r");
  }
  for (auto& g : guessers) {
    ASSERT_TRUE(g->WaitFor("username: "));
    g->Send("intruder\r");
  }
  for (auto& g : guessers) ASSERT_TRUE(g->WaitFor("password: "));
  const auto t0 = SteadyClock::now();
  for (auto& g : guessers) g->Send("guess\r");

  // From the first refusal on, the n-th in line waits at least the holds of n refusals before
  // it: 0, 1, 3, 7, 15, 25 holds and so on. Each told wait is taken from when it was seen.
  const auto answered = [&] {
    return std::count_if(guessers.begin(), guessers.end(), [](auto& g) { return Answered(*g); });
  };
  std::map<const Client*, SteadyClock::time_point> toldUntil;
  const auto look = [&] {
    for (auto& g : guessers)
      if (ToldWait(*g) > 0 && !toldUntil.contains(g.get()))
        toldUntil.emplace(g.get(), SteadyClock::now() + std::chrono::seconds(ToldWait(*g)));
    return std::ranges::all_of(
        guessers, [&](auto& g) { return toldUntil.contains(g.get()) || Answered(*g); });
  };
  WaitUntil(
      [&] {
        look();
        return SteadyClock::now() > t0 + 10 * kFirst;
      },
      10000);
  EXPECT_LE(answered(), LoginSchedule::kSideBySide + 4) << "of 40 guesses, within ten holds";

  // Each not answered at once is told how long it waits, by the refusals before it.
  ASSERT_TRUE(WaitUntil(look)) << toldUntil.size();
  EXPECT_GE(std::ssize(toldUntil), 40 - LoginSchedule::kSideBySide - 1);
  std::vector<double> told;
  for (const auto& [client, until] : toldUntil)
    told.push_back(std::chrono::duration<double>(until - t0).count());
  std::ranges::sort(told);
  std::vector<double> atLeast{0};
  for (int n = 2; atLeast.size() < told.size(); ++n)
    atLeast.push_back(atLeast.back() + std::min(1 << (n - 2), 10));
  const double hold = std::chrono::duration<double>(kFirst).count();
  for (std::size_t i = 0; i < told.size(); ++i)
    EXPECT_GE(told[i], atLeast[i] * hold - 1) << "guess " << i << " told to wait";
  // The console's log has each refusal and each wait, with the address.
  const auto logged = [&](const std::string& what) {
    return std::ranges::count_if(log_, [&](const std::string& line) {
      return line.find(what) != std::string::npos &&
             line.find(" waiting from 127.0.0.1)") != std::string::npos;
    });
  };
  EXPECT_TRUE(
      WaitUntil([&] { return logged("login for intruder waits ") == std::ssize(toldUntil); }));
  // Counted as one answer follows another: the two agree between answers.
  EXPECT_TRUE(WaitUntil([&] { return logged("login refused for intruder (") == answered(); }));

  user->Send("WHO\r");
  EXPECT_TRUE(user->WaitFor(" dm\r\n:")) << user->Received();
}

// A user who mistypes his password once logs in at once. Once more logins from his address
// have been refused, he is told how long his next one waits, and the wait leaves him his
// whole time to log in.
TEST_F(RelaySessionTest, AWaitingLoginIsToldHowLongAndKeepsItsTimeToLogIn) {
  relay_.SetLoginHolds({.first = 2s, .most = 30s});
  relay_.SetLoginTimeout(600ms);
  Start(3);
  const auto login = [&](const std::string& user, const std::string& password) {
    auto c = Connect();
    c->Send("\r");
    EXPECT_TRUE(c->WaitFor("username: "));
    c->Send(user + "\r" + password + "\r");
    EXPECT_TRUE(WaitUntil([&] { return Answered(*c) || c->Closed(); }, 5000)) << c->Received();
    return c;
  };
  EXPECT_EQ(login(home_.user(), "secert")->Received().find(kWelcome), std::string::npos);
  auto mended = login(home_.user(), test_support::kTestPassword);
  EXPECT_NE(mended->Received().find(kWelcome), std::string::npos) << mended->Received();
  EXPECT_EQ(ToldWait(*mended), -1) << mended->Received();

  login("intruder", "guess");
  auto waiting = login(home_.user(), test_support::kTestPassword);
  EXPECT_EQ(ToldWait(*waiting), 2) << waiting->Received();
  EXPECT_NE(waiting->Received().find(kWelcome), std::string::npos) << waiting->Received();
  EXPECT_EQ(waiting->Received().find("No login within"), std::string::npos);
  EXPECT_TRUE(
      Logged("login for " + home_.user() + " waits 2 s (2 refused and 1 waiting from 127.0.0.1)"));
}

// --- Programs that never end ----------------------------------------------------------------

class RunawayTest : public RelaySessionTest {
 protected:
  // Starts `verb` on a logged-in client and hangs up; true when its slot, its thread and
  // its lock on ORDERS O1 are all free again within 2 seconds and a little.
  void ExpectStoppedWhenTheClientLeaves(const std::string& verb, const std::string& running) {
    Start(2);
    auto c = InAccount();
    c->Send(verb + "\r");
    ASSERT_TRUE(c->WaitFor(running)) << c->Received();
    ASSERT_EQ(relay_.SlotText(1), "CONNECTED, VERB") << c->Received();
    const auto t0 = SteadyClock::now();
    c->Close();
    ASSERT_TRUE(WaitUntil([&] { return !relay_.SlotBusy(1); }, 4000));
    EXPECT_TRUE(relay_.WaitForPortThreads(3000)) << "the session's thread has ended";
    EXPECT_LT(SecondsSince(t0), 2.5);
    // The item it held is free for the next user.
    auto other = AccountPort();
    Variant fv, item;
    ASSERT_TRUE(other->OOpen(Variant("ORDERS"), fv)) << other->ErrorDetail();
    EXPECT_TRUE(other->RReadU(item, fv, Variant("O1"))) << other->ErrorDetail();
  }
  void SetUp() override {
    auto port = AccountPort();
    std::string create = "CREATE FILE ORDERS 2";
    ASSERT_EQ(port->ExecutePS(create), "OK") << port->ErrorDetail();
    Variant fv;
    ASSERT_TRUE(port->OOpen(Variant("ORDERS"), fv)) << port->ErrorDetail();
    ASSERT_TRUE(port->WWrite(std::string("first"), fv.ToString(), "O1")) << port->ErrorDetail();
  }
};

TEST_F(RunawayTest, AJavaScriptLoopIsInterrupted) {
  WriteProgram("spin.js",
               "function SPIN() {\n"
               "  var fv = Ref(''), item = Ref('');\n"
               "  OOpen('ORDERS', fv);\n"
               "  RReadU(item, fv.value, 'O1');\n"
               "  CRT('spinning');\n"
               "  for (;;) { try { for (;;) {} } catch (e) {} }\n"
               "}\n");
  Catalog("SPIN", "JScript", "spin.js");
  ExpectStoppedWhenTheClientLeaves("SPIN", "spinning");
}

TEST_F(RunawayTest, APerlLoopIsInterrupted) {
  WriteProgram("spin.pl",
               "sub SPIN {\n"
               "  my ($fv, $item) = ('', '');\n"
               "  OOpen('ORDERS', $fv);\n"
               "  RReadU($item, $fv, 'O1');\n"
               "  CRT('spinning');\n"
               "  while (1) { eval { 1 while 1; }; }\n"
               "}\n");
  Catalog("SPIN", "Perl", "spin.pl");
  ExpectStoppedWhenTheClientLeaves("SPIN", "spinning");
}

TEST_F(RunawayTest, APhpLoopIsInterrupted) {
  WriteProgram("spin.php",
               "<?php\n"
               "function SPIN() {\n"
               "  $fv = Ref(''); $item = Ref('');\n"
               "  OOpen('ORDERS', $fv);\n"
               "  RReadU($item, $fv->value, 'O1');\n"
               "  CRT('spinning');\n"
               "  while (true) { try { while (true) {} } catch (Throwable $e) {} }\n"
               "}\n");
  Catalog("SPIN", "PHP", "spin.php");
  ExpectStoppedWhenTheClientLeaves("SPIN", "spinning");
}

TEST_F(RunawayTest, AQueryWithoutEndIsCancelled) {
  // The lock is taken by a program that then runs the query.
  WriteProgram("count.js",
               "function COUNT() {\n"
               "  var fv = Ref(''), item = Ref(''), rs = Ref(null);\n"
               "  OOpen('ORDERS', fv);\n"
               "  RReadU(item, fv.value, 'O1');\n"
               "  CRT('counting');\n"
               "  RsOOpen(\"" +
                   kEndlessQuery +
                   "\", rs);\n"
                   "  CRT('the query ended: ' + ErrorDetail);\n"
                   "}\n");
  Catalog("COUNT", "JScript", "count.js");
  ExpectStoppedWhenTheClientLeaves("COUNT", "counting");
}

TEST_F(RunawayTest, AQueryTypedAtThePromptIsCancelled) {
  Start(1);
  auto c = InAccount();
  c->Send(kEndlessQuery + "\r");
  ASSERT_TRUE(WaitUntil([&] { return relay_.SlotText(1) == "CONNECTED, VERB"; }));
  WaitUntil([] { return false; }, 200);
  const auto t0 = SteadyClock::now();
  c->Close();
  ASSERT_TRUE(WaitUntil([&] { return !relay_.SlotBusy(1); }, 4000));
  EXPECT_TRUE(relay_.WaitForPortThreads(3000));
  EXPECT_LT(SecondsSince(t0), 2.5);
}

// --- Output ---------------------------------------------------------------------------------

TEST_F(RelaySessionTest, ASlowReaderGetsALongListingWhole) {
  // 20 MB in numbered lines: the client reads far more slowly than the program writes.
  WriteProgram("listing.js",
               "function LISTING() {\n"
               "  var pad = new Array(1001).join('x');\n"
               "  for (var i = 0; i < 20000; ++i) CRT(('00000' + i).slice(-5) + pad);\n"
               "  CRT('END OF LISTING');\n"
               "}\n");
  Catalog("LISTING", "JScript", "listing.js");
  Start(1);
  auto c = InAccount();
  c->Socket().setReadBufferSize(64 * 1024);
  QObject::disconnect(&c->Socket(), &QTcpSocket::readyRead, nullptr, nullptr);
  c->Send("LISTING\r");
  std::string got;
  const auto deadline = SteadyClock::now() + 60s;
  while (got.find("END OF LISTING") == std::string::npos && SteadyClock::now() < deadline) {
    WaitUntil([] { return false; }, 5);  // about 10 MB/s at most
    const QByteArray b = c->Socket().read(48 * 1024);
    got.append(b.constData(), static_cast<std::size_t>(b.size()));
  }
  ASSERT_NE(got.find("END OF LISTING"), std::string::npos) << got.size() << " bytes arrived";
  std::size_t at = got.find("00000x");
  ASSERT_NE(at, std::string::npos);
  for (int i = 0; i < 20000; ++i) {
    char number[8];
    std::snprintf(number, sizeof number, "%05d", i);
    ASSERT_EQ(got.compare(at, 5, number), 0) << "line " << i;
    at += 5 + 1000 + 2;
  }
  EXPECT_EQ(got.compare(at, 14, "END OF LISTING"), 0);
  EXPECT_TRUE(relay_.SlotBusy(1));
}

// --- Raw terminal input ---------------------------------------------------------------------

// A line that arrives whole, however the client ends it, is echoed with its line end as a key
// typed by itself is: the answer starts on a line of its own.
TEST_F(RelaySessionTest, APastedLineIsEchoedOnALineOfItsOwn) {
  Start(1);
  auto c = Connect();
  c->Send(std::string("\xff\xfd\x03\xff\xfb\x18", 6));
  ASSERT_TRUE(c->WaitFor("username: "));
  c->Send(std::string("\xff\xfd\x01", 3));  // the server echoes
  c->Send(home_.user() + std::string("\r\0", 2) + test_support::kTestPassword +
          std::string("\r\0", 2));
  ASSERT_TRUE(c->WaitFor(kWelcome)) << c->Received();
  ASSERT_TRUE(c->WaitFor("\r\n:"));
  for (const std::string& end : {std::string("\r\0", 2), std::string("\r\n"), std::string("\r")}) {
    c->Take();
    c->Send("WHO" + end);
    ASSERT_TRUE(c->WaitFor(" dm\r\n:")) << c->Received();
    EXPECT_EQ(c->Received().rfind("WHO\r\n\r\n", 0), 0u) << c->Received();
  }
}

// Cursor keys, Ctrl-U, Ctrl-L and Ctrl-X: the command typed around them runs as typed.
TEST_F(RelaySessionTest, CursorAndControlKeysNeverReachACommand) {
  Start(1);
  auto c = LoggedIn();
  c->Send("W\x1b[D\x1b[1;5CH\x15\x0cO\x18\r");
  ASSERT_TRUE(c->WaitFor(" dm\r\n:")) << c->Received();
  EXPECT_EQ(c->Received().find("[908]"), std::string::npos) << c->Received();
}

// Ctrl-C while a program waits for input asks it to end, as a client that goes does: nothing
// typed becomes an item id, and nothing of the statements behind a read reaches the user.
TEST_F(RelaySessionTest, CtrlCEndsAProgramsInputAndShowsNoStatement) {
  WriteProgram("ask.js",
               "function ASK() {\n"
               "  var md = Ref(''), v = Ref(''), item = Ref('');\n"
               "  OOpen('md', md);\n"
               "  for (;;) {\n"
               "    CRT('Which entry? ', false);\n"
               "    IInput(v);\n"
               "    if (v.value === '<&PORT_DISCONNECT>') { CRT('Stopped.'); return; }\n"
               "    if (!RRead(item, md.value, v.value)) CRT(ErrorDetail);\n"
               "  }\n"
               "}\n");
  Catalog("ASK", "JScript", "ask.js");
  Start(1);
  auto c = InAccount();
  c->Send("ASK\r");
  ASSERT_TRUE(c->WaitFor("Which entry? ")) << c->Received();
  c->Send("\x03\r");
  ASSERT_TRUE(c->WaitFor("Stopped.")) << c->Received();
  EXPECT_TRUE(c->WaitFor("\r\n:"));
  EXPECT_EQ(c->Received().find("SELECT"), std::string::npos) << c->Received();
  EXPECT_EQ(c->Received().find("[912]"), std::string::npos) << c->Received();
}

// A line past 65,536 characters sent in one burst is refused at the prompt and in a
// program's input alike, and never comes back in an answer; one of 65,536 is a line.
TEST_F(RelaySessionTest, ALongLineInOneBurstIsRefusedOnEveryPath) {
  WriteProgram("len.js",
               "function LEN() {\n"
               "  var v = Ref('');\n"
               "  CRT('Line? ', false);\n"
               "  IInput(v);\n"
               "  CRT('length ' + v.value.length);\n"
               "}\n");
  Catalog("LEN", "JScript", "len.js");
  Start(1);
  auto c = InAccount();
  const std::string refused = "[982] Input line longer than 65536 characters; it was discarded";
  c->Send(std::string(Port::kMaxInputLine + 1, 'A') + "\r");
  ASSERT_TRUE(c->WaitFor(refused)) << c->Received().substr(0, 300);
  c->Send("WHO\r");
  ASSERT_TRUE(c->WaitFor(" " + home_.account() + "\r\n:"));
  EXPECT_EQ(c->Received().find("AAAA"), std::string::npos) << c->Received().substr(0, 300);
  c->Take();

  c->Send("LEN\r");
  ASSERT_TRUE(c->WaitFor("Line? ")) << c->Received();
  c->Send(std::string(Port::kMaxInputLine + 5000, 'B') + "\r");
  ASSERT_TRUE(c->WaitFor("length 0")) << c->Received().substr(0, 300);
  EXPECT_NE(c->Received().find(refused), std::string::npos);
  c->Take();

  c->Send(std::string(Port::kMaxInputLine, 'C') + "\r");
  EXPECT_TRUE(c->WaitFor("[908]")) << c->Received().substr(0, 300);
  EXPECT_EQ(c->Received().find("[982]"), std::string::npos);
}

}  // namespace
}  // namespace orvik::console
