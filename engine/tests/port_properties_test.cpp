#include <fstream>

#include "port_access.h"
#include "port_test_support.h"
#include "vb_error.h"

namespace orvik {
namespace {

using namespace port_access;

using PortPropertiesTest = test_support::PortTest;

TEST_F(PortPropertiesTest, ANewPort) {
  EXPECT_EQ(port_->State(), "STARTUP");
  EXPECT_EQ(port_->UserName(), "");
  EXPECT_EQ(port_->UserInst(), "");
  EXPECT_EQ(port_->Connection_ID(), 0);
  EXPECT_EQ(port_->ErrorDetail(), "");
  EXPECT_EQ(port_->ExecuteCompareMethod(), 0);
  EXPECT_EQ(Parts(*port_).account.Settings().dataStore, "JET");
  EXPECT_FALSE(Parts(*port_).terminal.EchoOn());
  EXPECT_EQ(port_->SelectArray().ArrayRef().size(), 1u);
}

TEST_F(PortPropertiesTest, ReadsItsSettingsFileWhenMade) {
  std::ofstream(home_ / "OrvikEngine.ini") << "[Global]\nDataStore= mssql \n";
  const auto other = Port::Create(home_.string());
  EXPECT_EQ(Parts(*other).account.Settings().dataStore, "MSSQL");
  EXPECT_EQ(Parts(*port_).account.Settings().dataStore, "JET");  // made before the change
}

TEST_F(PortPropertiesTest, StateIsReadOnlyButMsStateIsNot) {
  port_->SetState("TCL");
  EXPECT_EQ(port_->State(), "STARTUP");
  port_->SetMsState("TCL");
  EXPECT_EQ(port_->State(), "TCL");
  port_->Let("State", Variant("VERB"));
  EXPECT_EQ(port_->Get("state").ToString(), "TCL");
  port_->Let("msState", Variant("VERB"));
  EXPECT_EQ(port_->Get("State").ToString(), "VERB");
}

TEST_F(PortPropertiesTest, TermTypeIsTrimmedAndUpperCased) {
  port_->SetTermType("  vt100 ");
  EXPECT_EQ(port_->TermType(), "VT100");
  port_->Let("TermType", Variant("vbgui"));
  EXPECT_EQ(port_->Get("TermType").ToString(), "VBGUI");
  EXPECT_EQ(port_->TTag(-1), "<ATF @=-1>");
}

TEST_F(PortPropertiesTest, XCommonComparesKeysAsText) {
  port_->XCommon()->Add("Customer", 1);
  EXPECT_TRUE(port_->XCommon()->Exists("CUSTOMER"));
  Variant got = port_->Get("XCommon");
  Variant key[] = {Variant("customer")};
  EXPECT_EQ(got.ObjectRef()->Call("Item", key).ToLong(), 1);
  auto replacement = std::make_shared<Dictionary>();
  port_->Let("XCommon", Variant(std::static_pointer_cast<Dispatch>(replacement)));
  EXPECT_EQ(port_->XCommon(), replacement);
}

TEST_F(PortPropertiesTest, MembersByName) {
  port_->Let("Description", Variant("demo"));
  port_->Let("UserName", Variant("ignored"));
  EXPECT_EQ(port_->Get("UserName").ToString(), "");
  Variant crt[] = {Variant("hello")};
  port_->Call("crt", crt);
  EXPECT_EQ(port_->Get("Response").ToString(), "hello\r\n");
  Variant tag[] = {Variant(3), Variant(7)};
  port_->SetTermType("VT-100");
  EXPECT_EQ(port_->Call("TTag", tag).ToString(), "\x1B[8;4H");
  try {
    port_->Call("NoSuchMember", {});
    FAIL();
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), vberr::kNoSuchMember);
  }
}

TEST_F(PortPropertiesTest, ReleasingAPortThatNeverLoggedInIsQuiet) {
  std::weak_ptr<Port> watch = port_;
  port_.reset();
  EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace orvik
