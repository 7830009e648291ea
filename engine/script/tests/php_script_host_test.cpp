// The PHP engine: objects by name, references both ways, values both ways, errors with
// their numbers and lines, the end of the process, and programs that stay apart.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "script_host.h"
#include "script_test_object.h"

namespace orvik {
namespace {

using test_support::TestObject;

class PhpHostTest : public test_support::ScriptHostTest {
 protected:
  PhpHostTest() : ScriptHostTest("PHP") {}
};

TEST(PhpEngineTest, WithoutAnInterpreterPhpIsRefusedWith429) {
  const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  ::setenv("PATH", "/nonexistent", 1);
  for (const auto& attempt : {std::function<void()>([] { ScriptHost::RequireEngine("php"); }),
                              std::function<void()>([] { ScriptHost::Create("PHP"); })}) {
    try {
      attempt();
      ADD_FAILURE() << "no error";
    } catch (const VbError& e) {
      EXPECT_EQ(e.number(), scripterr::kNoEngine);
      EXPECT_NE(e.description().find("php interpreter is not installed"), std::string::npos)
          << e.description();
    }
  }
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_NO_THROW(ScriptHost::RequireEngine("php"));
}

TEST_F(PhpHostTest, ObjectsByNameAndTheirMembersAsGlobals) {
  EXPECT_EQ(ScriptHost::Create("php")->Language(), "php");
  host_->AddCode(
      "function Go() { return Obj->Twice(20) + Twice(1); }\n"
      "function Relabel() { global $Obj; $Obj->Name = 'renamed'; return Obj->Name; }\n"
      "function Items() { Obj->LetProperty('Item', 'k', 'v'); return Obj->Item('k'); }\n"
      "function Children() { $c = Obj->Child(); return $c->Name . '/' . NameOf($c); }\n"
      "function Named() { return Name(); }\n");
  ExpectMembersReached();
  EXPECT_EQ(Run("Named").ToString(), "renamed");
  // Members are not procedures the host may run.
  EXPECT_EQ(RunError("Twice").number, scripterr::kNoProcedure);
  // Nor are PHP's own functions: a sentence names the procedure, and a user who types one
  // must not reach them.
  EXPECT_EQ(RunError("system").number, scripterr::kNoProcedure);
  EXPECT_EQ(RunError("Ref").number, scripterr::kNoProcedure);
}

TEST_F(PhpHostTest, AProgramsOwnFunctionsAndPhpsComeBeforeMembers) {
  host_->AddObject("Other", std::make_shared<TestObject>(), true);
  // Close is a member; the program has a Twice of its own.
  host_->AddCode(
      "<?php\n"
      "function Twice($x) { return 'own ' . $x; }\n"
      "function Go() { return Twice(2) . ' ' . Obj->Twice(2) . ' ' . Other->Twice(3); }\n");
  EXPECT_EQ(Run("Go").ToString(), "own 2 4 6");
  // A function the program declares twice, or one of PHP's, is a syntax error at its line,
  // and the engine goes on.
  ScriptError e = LoadError("function ok() {}\n\nfunction Go() {}\n");
  EXPECT_EQ(e.number, scripterr::kSyntax);
  EXPECT_EQ(e.description, "Cannot redeclare Go()");
  EXPECT_EQ(e.line, 3);
  EXPECT_EQ(LoadError("\nfunction strlen($s) { return 0; }").line, 2);
  EXPECT_EQ(Run("Go").ToString(), "own 2 4 6");
  // Methods of classes, closures and code in strings declare no functions.
  host_->AddCode(
      "class Box { function strlen() { return 'm'; } function Close() { return 'c'; } }\n"
      "$f = function () { return 'f'; };\n"
      "$s = \"function Close() {}\";\n"
      "function Boxed() { $b = new Box(); return $b->strlen() . $b->Close() . TypeOf(Close()); "
      "}\n");
  EXPECT_EQ(Run("Boxed").ToString(), "mcEmpty");
  EXPECT_EQ(object_->closes, 1);
}

TEST_F(PhpHostTest, ReferencesGoBothWays) {
  host_->AddCode(
      "function Caller() { $r = Ref('hi'); $ok = Shout($r); return ($ok ? 'true' : 'false') . ' ' "
      ". $r->value; }\n"
      "function Plain() { $s = 'hi'; Shout($s); return $s; }\n"
      "function Callee(&$a, &$b, $c = 'unused') { $a = $a + $b; $b = 'changed'; $c = 'lost'; "
      "return 'done'; }\n"
      "function Missing($a, $b) { return $b === null ? 'padded' : 'given'; }\n");
  EXPECT_EQ(Run("Caller").ToString(), "true hi!");
  EXPECT_EQ(Run("Plain").ToString(), "hi");  // a plain value is passed by value
  Variant args[] = {Variant(40), Variant(2), Variant("kept")};
  EXPECT_EQ(host_->Run("callee", args).ToString(), "done");
  EXPECT_EQ(args[0].ToLong(), 42);
  EXPECT_EQ(args[1].ToString(), "changed");
  EXPECT_EQ(args[2].ToString(), "kept");  // not declared by reference
  // Parameters the host leaves out arrive as null.
  Variant one[] = {Variant(1)};
  EXPECT_EQ(host_->Run("Missing", one).ToString(), "padded");
}

TEST_F(PhpHostTest, ValuesKeepTheirKinds) {
  host_->AddCode(
      "function Types() {\n"
      "  return [TypeOf(1), TypeOf(1.5), TypeOf('x'), TypeOf(true), TypeOf(null),\n"
      "          TypeOf([1, 2]), TypeOf(Obj), TypeOf(new DateTime('2000-01-02 12:00')),\n"
      "          TypeOf(3000000000)];\n"
      "}\n"
      "function Text($s) { return $s . \"\\xE9\\xFE\" . strlen($s); }\n"
      "function Echo_($v) { return $v; }\n"
      "function DateText($d) { return $d->format('Y-m-d H:i:s.v'); }\n"
      "function Shapeless() { return ['a' => 1]; }\n"
      "function Passes() { try { Twice(['a' => 1]); } catch (Exception $e) { return $e->number; } "
      "}\n");
  EXPECT_EQ(TypeNames("Types"), "Long,Double,String,Boolean,Empty,Variant(),Object,Date,Double,");
  ExpectSingleByteText();
  // Dates keep their day and time of day both ways; arrays and objects come back whole.
  Variant date[] = {Variant::Date(36527.5625)};  // 2000-01-02 13:30
  EXPECT_EQ(host_->Run("DateText", date).ToString(), "2000-01-02 13:30:00.000");
  EXPECT_DOUBLE_EQ(host_->Run("Echo_", date).ToDateSerial(), 36527.5625);
  Variant list[] = {Variant(VariantArray{Variant(1), Variant("x"), Variant(VariantArray{})})};
  const Variant back = host_->Run("Echo_", list);
  ASSERT_TRUE(back.IsArray());
  ASSERT_EQ(back.ArrayRef().size(), 3u);
  EXPECT_EQ(back.ArrayRef()[0].ToLong(), 1);
  EXPECT_EQ(back.ArrayRef()[1].ToString(), "x");
  EXPECT_TRUE(back.ArrayRef()[2].IsArray());
  Variant object[] = {Variant(std::static_pointer_cast<Dispatch>(object_))};
  EXPECT_EQ(host_->Run("Echo_", object).ObjectRef(), object_);
  EXPECT_TRUE(host_->Run("Echo_", std::span<Variant>()).IsEmpty());
  // A value with no form in the engine.
  EXPECT_EQ(RunError("Shapeless").number, vberr::kTypeMismatch);
  EXPECT_EQ(Run("Passes").ToLong(), vberr::kTypeMismatch);
}

TEST_F(PhpHostTest, ACompileErrorHasItsLine) {
  const ScriptError e = LoadError("function Ok() {}\nfunction Bad() {\n  $x = ;\n}\n");
  EXPECT_EQ(e.number, scripterr::kSyntax);
  EXPECT_NE(e.description.find("syntax error"), std::string::npos) << e.description;
  EXPECT_EQ(e.line, 3);
  // Nothing of the failed code was kept.
  EXPECT_EQ(RunError("Ok").number, scripterr::kNoProcedure);
}

TEST_F(PhpHostTest, RunTimeErrorsHaveNumbersAndLines) {
  host_->AddCode(
      "function Undefined() {\n"
      "  $a = 1;\n"
      "  return nothingLikeThis($a);\n"
      "}\n"
      "function Member() {\n"
      "  Obj->Fail();\n"
      "}\n"
      "function Own() {\n"
      "  throw new Orvik\\Error(950, 'own failure');\n"
      "}\n"
      "function Caught() {\n"
      "  try { Fail(); } catch (Exception $e) { return $e->number . ':' . $e->description; }\n"
      "}\n"
      "function NotAMember() {\n"
      "  Obj->NoSuchMember();\n"
      "}\n"
      "function Divide() {\n"
      "  return 1 % 0;\n"
      "}\n");
  ScriptError e = RunError("Undefined");
  EXPECT_EQ(e.number, scripterr::kUncaught);
  EXPECT_EQ(e.description, "Call to undefined function nothingLikeThis()");
  EXPECT_EQ(e.line, 3);
  ExpectMemberAndOwnErrors();
  EXPECT_EQ(Run("Caught").ToString(), "920:the member failed");
  e = RunError("NotAMember");
  EXPECT_EQ(e.number, vberr::kNoSuchMember);
  EXPECT_EQ(e.line, 15);
  e = RunError("Divide");
  EXPECT_EQ(e.description, "Modulo by zero");
  EXPECT_EQ(e.line, 18);
  EXPECT_EQ(RunError("NoSuchProcedure").number, scripterr::kNoProcedure);
}

TEST_F(PhpHostTest, TopLevelCodeRunsWhenAddedAndItsVariablesAreGlobal) {
  host_->AddCode(
      "$Obj->Name = 'loaded';\n$counter = 0;\nfunction Step() { global $counter; return "
      "++$counter; }");
  EXPECT_EQ(object_->name, "loaded");
  Run("Step");
  EXPECT_EQ(Run("Step").ToLong(), 2);  // the program's state lasts between runs
  const ScriptError e = LoadError("$Obj->Name = 'x';\nObj->Fail();\n");
  EXPECT_EQ(e.number, 920);
  EXPECT_EQ(e.line, 2);
}

TEST_F(PhpHostTest, ExitEndsTheProgram) {
  host_->AddCode(
      "function Quit() { Obj->LetProperty('Name', 'quitting'); exit; }\n"
      "function After() { return 'still here'; }\n");
  EXPECT_TRUE(Run("Quit").IsEmpty());  // the run ends as the program's own end
  EXPECT_EQ(object_->name, "quitting");
  const ScriptError e = RunError("After");
  EXPECT_EQ(e.number, 440);
  EXPECT_EQ(e.description, "The PHP program has ended: it called exit");
}

TEST_F(PhpHostTest, AFatalErrorHasItsLineAndEndsTheProcess) {
  host_->AddCode(
      "function After() { return 'still here'; }\n"
      "function Hungry() {\n"
      "  ini_set('memory_limit', '16M');\n"
      "  $s = str_repeat('x', 64 * 1024 * 1024);\n"
      "}\n");
  const ScriptError e = RunError("Hungry");
  EXPECT_EQ(e.number, scripterr::kUncaught);
  EXPECT_NE(e.description.find("Allowed memory size"), std::string::npos) << e.description;
  EXPECT_EQ(e.line, 4);
  // The process has gone: every later call says why.
  EXPECT_EQ(RunError("After").description, e.description);
}

TEST_F(PhpHostTest, AProgramsMemoryIsBoundedEvenWhenItLiftsPhpsLimit) {
  host_->AddCode("function Grow() { return strlen(str_repeat('x', 512 * 1024 * 1024)); }");
  ScriptError e = RunError("Grow");
  EXPECT_NE(e.description.find("Allowed memory size"), std::string::npos) << e.description;
  // The fatal error ended that process; a new one, whose program lifts the limit.
  host_ = ScriptHost::Create("PHP");
  host_->AddCode(
      "function Unbounded() { ini_set('memory_limit', '-1');\n"
      "  return strlen(str_repeat('x', 1536 * 1024 * 1024)); }\n");
  // PHP cannot report what it cannot allocate: its process ends.
  e = RunError("Unbounded");
  EXPECT_EQ(e.number, 440);
  EXPECT_EQ(e.description, "The PHP interpreter ended unexpectedly");
}

TEST_F(PhpHostTest, AProgramThatForgesAMessageIsCutOff) {
  host_->AddCode(
      "function Forged() { $f = fopen('php://fd/3', 'wb'); fwrite($f, pack('V', 1) . 'Q');\n"
      "  sleep(30); }\n");
  const ScriptError e = RunError("Forged");
  EXPECT_EQ(e.number, 440);
  EXPECT_EQ(e.description, "The PHP engine broke off: a message of an unknown kind");
  EXPECT_EQ(RunError("Forged").number, 440);  // the process is gone already
}

TEST_F(PhpHostTest, AProgramThatFloodsTheEngineIsCutOff) {
  // A message longer than any the bridge sends: the engine's memory does not go into it.
  host_->AddCode(
      "function Flood() { $f = fopen('php://fd/3', 'wb'); fwrite($f, pack('V', 0x7FFFFFFF));\n"
      "  while (true) fwrite($f, str_repeat('x', 65536)); }\n");
  const ScriptError e = RunError("Flood");
  EXPECT_EQ(e.number, 440);
  EXPECT_EQ(e.description, "The PHP interpreter ended unexpectedly");
}

TEST_F(PhpHostTest, InterruptStopsAProgramThatSleeps) {
  // Tells another thread that the program has started.
  class Flag : public Dispatch {
   public:
    std::atomic<bool> raised{false};
    Variant Invoke(std::string_view, CallType, std::span<Variant>) override {
      raised = true;
      return Variant();
    }
  };
  const auto flag = std::make_shared<Flag>();
  host_->AddObject("Flag", flag, false);
  host_->AddCode("function Nap() { Flag->Raise(); sleep(60); }\n");
  std::thread stopper([&] {
    while (!flag->raised) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    host_->Interrupt();
  });
  const ScriptError e = RunError("Nap");
  stopper.join();
  EXPECT_EQ(e.number, scripterr::kInterrupted);
}

TEST_F(PhpHostTest, ProgramsStayApartAndLetTheirObjectsGo) {
  auto other = ScriptHost::Create("PHP");
  other->AddCode("$n = 100; function Count_() { global $n; return ++$n; }");
  host_->AddCode("$n = 0; function Count_() { global $n; return ++$n; }");
  EXPECT_EQ(Run("Count_").ToLong(), 1);
  EXPECT_EQ(other->Run("Count_", {}).ToLong(), 101);
  EXPECT_EQ(Run("Count_").ToLong(), 2);

  // An object the program lets go is let go here too, at its next call; the ones it keeps
  // go with the engine.
  host_->AddCode(
      "function Take($o) { global $held; $held = $o; }\n"
      "function Drop() { global $held; $held = null; }\n");
  auto lent = std::make_shared<TestObject>();
  std::weak_ptr<TestObject> watchLent = lent;
  Variant arg[] = {Variant(std::static_pointer_cast<Dispatch>(lent))};
  host_->Run("Take", arg);
  arg[0] = Variant();
  lent.reset();
  EXPECT_FALSE(watchLent.expired());
  Run("Drop");
  EXPECT_TRUE(watchLent.expired());

  std::weak_ptr<TestObject> watch = object_;
  host_->AddCode("$keep = Obj;\n");
  host_.reset();
  object_.reset();
  EXPECT_TRUE(watch.expired());
}

TEST_F(PhpHostTest, NestedRunsGoBothWays) {
  // A member that runs a procedure of the same program while the program waits for it.
  class Runner : public Dispatch {
   public:
    explicit Runner(ScriptHost** host) : host_(host) {}
    Variant Invoke(std::string_view, CallType, std::span<Variant> args) override {
      Variant inner[] = {args[0], Variant(0)};
      const Variant r = (*host_)->Run("Inner", inner);
      args[0] = inner[1];
      return r;
    }

   private:
    ScriptHost** host_;
  };
  ScriptHost* self = host_.get();
  host_->AddObject("Runner", std::make_shared<Runner>(&self), false);
  host_->AddCode(
      "$depth = 0;\n"
      "function Inner($n, &$out) { global $depth; ++$depth; $out = $n * 10;\n"
      "  return $n > 0 ? Runner->Call(Ref($n - 1)) + 1 : 0; }\n"
      "function Outer() { $r = Ref(3); $sum = Runner->Call($r);\n"
      "  global $depth; return \"$sum {$r->value} $depth\"; }\n");
  EXPECT_EQ(Run("Outer").ToString(), "3 30 4");
}

}  // namespace
}  // namespace orvik
