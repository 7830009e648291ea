// One real session, end to end, typed at a terminal: login, verbs, a file, SQL, a paged
// query, SHOW, a move to another account and back, a catalogued JavaScript program that reads
// input and writes an item, LISTU and logoff. On the embedded store and on MariaDB.

#include <QTimer>
#include <chrono>
#include <fstream>

#include "datastore_home.h"
#include "event_wait.h"
#include "port.h"
#include "port_access.h"
#include "session_test_support.h"

namespace orvik {
namespace {

using namespace port_access;

using test_support::Terminal;

const std::string kCrLf = "\r\n";

TEST(EndToEndTest, ASessionFromLoginToLogoff) {
  test_support::DatastoreHome home(ORVIK_TEST_DATASTORE);
  std::ofstream(home.home() + "/orderin.js")
      << "function ORDERIN() {\n"
         "  CRT('Order id?');\n"
         "  var id = Ref('');\n"
         "  IInput(id);\n"
         "  var fv = Ref('');\n"
         "  if (!OOpen('ORDERS', fv)) { CRT('no file'); return; }\n"
         "  var first = Ref('');\n"
         "  RRead(first, fv.value, 'O1');\n"
         "  WWrite('copy of ' + first.value.split('\\u00fe')[0], fv.value, id.value);\n"
         "  CRT('Written ' + id.value);\n"
         "}\n";
  Terminal t(home.home());
  const auto type = [&](const std::string& line) { return t.Send(line + "\r"); };

  EXPECT_EQ(t.Send("\r"), kCrLf + "======== OrvikEngine 1.2 Please Login =========" + kCrLf +
                              kCrLf + "username: ");
  type(home.user());
  const std::string welcome = type("secret");
  EXPECT_NE(welcome.find("*                  Welcome to OrvikEngine"), std::string::npos);
  EXPECT_EQ(type("WHO"), kCrLf + t.port().UserInst() + " dm" + kCrLf + ":");
  EXPECT_NE(type("LISTF").find("md"), std::string::npos);

  EXPECT_NE(type("LOGTO " + home.account()).find("OK - you are now working in account"),
            std::string::npos);
  EXPECT_EQ(type("CREATE-FILE ORDERS 2"), kCrLf + "OK" + kCrLf + ":" + kCrLf + ":");
  EXPECT_EQ(type("INSERT INTO ORDERS (A0, A1, A2) VALUES ('O1', 'Widgets', '10')"),
            kCrLf + "OK: 1 records affected" + kCrLf + ":" + kCrLf + ":");
  type("INSERT INTO ORDERS (A0, A1, A2) VALUES ('O2', 'Bolts', '5')");
  const std::string page = type("SELECT * FROM ORDERS ORDER BY A0");
  EXPECT_EQ(page.rfind(kCrLf + "    O1" + kCrLf + "001 Widgets" + kCrLf + "002 10" + kCrLf, 0), 0u)
      << page;
  EXPECT_NE(page.find("******  end of query  ******"), std::string::npos);
  EXPECT_NE(type("SHOW ORDERS").find("Count = 2 items."), std::string::npos);
  t.Send("\r");
  EXPECT_EQ(t.port().State(), "TCL");

  type("LOGTO dm");
  type("LOGTO " + home.account());
  EXPECT_EQ(Parts(t.port()).account.Account(), home.account());

  // A catalogued program: it asks for an id, reads O1 and writes a copy under that id.
  Parts(t.port()).account.Connection()->Execute(
      "INSERT INTO md (A0, A1, A4) VALUES ('ORDERIN', 'JSCRIPT', 'orderin.js')");
  type("LOGTO " + home.account());  // the catalog is read when the account is entered
  // The program waits for input inside the runner's tick: the terminal answers it from a
  // timer, as a user at a real terminal would, while the event loop runs.
  bool asked = false;
  QTimer terminal;
  terminal.setInterval(20);
  QObject::connect(&terminal, &QTimer::timeout, [&] {
    if (!asked && t.Output().find("Order id?") != std::string::npos) {
      asked = true;
      EXPECT_EQ(t.port().State(), "VERB");
      t.Send("O3\r");
    }
  });
  terminal.start();
  type("ORDERIN");
  EXPECT_TRUE(PumpEventsUntil(SteadyClock::now() + std::chrono::seconds(10), [&] {
    return asked && t.port().State() == "TCL";
  })) << t.Output();
  terminal.stop();
  EXPECT_NE(t.Output().find("Written O3"), std::string::npos) << t.Output();
  Variant item;
  Variant fv;
  ASSERT_TRUE(t.port().OOpen(Variant("ORDERS"), fv));
  ASSERT_TRUE(t.port().RRead(item, fv, Variant("O3")));
  EXPECT_EQ(item.ToString(), "copy of Widgets\xFE");

  EXPECT_NE(type("LISTU").find("Me UserInstance"), std::string::npos);
  EXPECT_EQ(type("OFF"), "<&PORT_DISCONNECT>" + kCrLf + ":");
}

}  // namespace
}  // namespace orvik
