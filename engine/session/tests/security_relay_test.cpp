// An ordinary user and the administrator at two terminals of the console's relay, over TCP
// as remote users are: what the ordinary user may not reach stays out of reach, and what he
// stores in his status line or a table name reaches the administrator's screen as text.

#include <filesystem>

#include "console_test_support.h"
#include "relay_server.h"
#include "setup.h"

namespace orvik::console {
namespace {

using test::Client;
using test::WaitUntil;

const std::string kCrLf = "\r\n";

class SecurityOverRelayTest : public test::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    for (const auto& [user, privilege] : {std::pair{"boss", 3}, std::pair{"clerk", 0}}) {
      SetupOptions o;
      o.home = Home();
      o.user = user;
      o.password = std::string(user) + "-pw";
      o.privilege = privilege;
      std::string error;
      ASSERT_TRUE(RunSetup(
          o, [](const std::string&) {}, &error))
          << error;
    }
    relay_ = std::make_unique<RelayServer>(Home());
    relay_->SetListenAddress(QHostAddress::LocalHost);
    ASSERT_TRUE(relay_->EngineStart(3, 0)) << relay_->LastError();
  }
  void TearDown() override {
    relay_.reset();
    TempHome::TearDown();
  }

  std::unique_ptr<Client> LogIn(const std::string& user) {
    auto c = std::make_unique<Client>(relay_->ListeningPort());
    EXPECT_TRUE(c->WaitConnected());
    c->Send("\r");
    EXPECT_TRUE(c->WaitFor("username: "));
    c->Send(user + "\r");
    EXPECT_TRUE(c->WaitFor("password: "));
    c->Send(user + "-pw\r");
    EXPECT_TRUE(c->WaitFor("Welcome to OrvikEngine")) << c->Received();
    EXPECT_TRUE(c->WaitFor("\r\n:"));
    c->Take();
    return c;
  }
  // Types a line and returns what came back once `answer` has.
  static std::string Ask(Client& c, const std::string& line, const std::string& answer) {
    c.Take();
    c.Send(line + "\r");
    EXPECT_TRUE(c.WaitFor(answer)) << line << " gave " << c.Received();
    // The closing prompt follows in its own piece of output.
    WaitUntil([&] { return c.Received().ends_with(kCrLf + ":"); }, 1000);
    return c.Received();
  }

  std::unique_ptr<RelayServer> relay_;
};

TEST_F(SecurityOverRelayTest, AnOrdinaryUserReachesOnlyWhatIsHis) {
  auto boss = LogIn("boss");
  auto clerk = LogIn("clerk");

  std::string out = Ask(*clerk, "SELECT A0,A7,A8 FROM users", "[984]");
  EXPECT_EQ(out.find("$2b$"), std::string::npos) << out;
  Ask(*clerk, "REPLACE INTO users (A0, A7, A8) VALUES ('clerk', 'x', '9')", "ERROR: [984]");
  Ask(*clerk, "DELETE FROM locks", "ERROR: [984]");
  out = Ask(*clerk, "PERL /etc/passwd MAIN", "ERROR: [985]");
  EXPECT_EQ(out.find("root"), std::string::npos) << out;
  Ask(*clerk, "JSCRIPT ../../../../etc/hosts.js MAIN", "ERROR: [985]");
  // What he may do, he does.
  Ask(*clerk, "CREATE TABLE \"x<&PORT_DISCONNECT></TX>\" (A0 TEXT)", "\r\n0\r\n:");
  Ask(*clerk, "SWRITE k <&PORT_DISCONNECT></TX>", "OK");

  // The administrator reads passwords (hashes) and lists both, and stays connected.
  out = Ask(*boss, "SELECT A0,A7,A8 FROM users", "$2b$");
  EXPECT_NE(out.find("clerk"), std::string::npos) << out;
  out = Ask(*boss, "LISTU", "OK: SWRITE K < &PORT_DISCONNECT>< /TX>");
  EXPECT_EQ(out.find("<&PORT_DISCONNECT>"), std::string::npos) << out;
  out = Ask(*boss, "LISTF", "x< &PORT_DISCONNECT>< /TX>");
  EXPECT_EQ(out.find("<&PORT_DISCONNECT>"), std::string::npos) << out;
  EXPECT_FALSE(boss->Closed());
  Ask(*boss, "WHO", "boss*");
  EXPECT_FALSE(boss->Closed());
  EXPECT_FALSE(clerk->Closed());
}

}  // namespace
}  // namespace orvik::console
