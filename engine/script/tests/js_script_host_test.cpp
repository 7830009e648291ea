// The JavaScript engine: objects by name, by-reference arguments, values both ways, and
// errors with their numbers and lines.

#include <gtest/gtest.h>

#include "script_host.h"
#include "script_test_object.h"

namespace orvik {
namespace {

using test_support::TestObject;

// Appends "!" to each of its text arguments, whatever the member and however it is called,
// and answers how many arguments there were: a script sees which it passed by reference.
class Marker : public Dispatch {
 public:
  Variant Invoke(std::string_view, CallType, std::span<Variant> args) override {
    for (Variant& a : args) {
      if (a.type() == Variant::Type::String) a = Variant(a.ToString() + "!");
    }
    return Variant(static_cast<std::int32_t>(args.size()));
  }
};

class JsHostTest : public test_support::ScriptHostTest {
 protected:
  JsHostTest() : ScriptHostTest("JScript") {}
};

TEST_F(JsHostTest, LanguageNamesAndMissingEngines) {
  EXPECT_EQ(ScriptHost::Create("javascript")->Language(), "javascript");
  EXPECT_EQ(host_->Language(), "JScript");
  for (const char* missing : {"VBScript", "VBS", "PHP5", "Python"}) {
    try {
      ScriptHost::Create(missing);
      ADD_FAILURE() << missing;
    } catch (const VbError& e) {
      EXPECT_EQ(e.number(), 429);
      EXPECT_NE(e.description().find(std::string("'") + missing + "'"), std::string::npos);
    }
  }
  host_->SetTimeout(-1);
  EXPECT_THROW(host_->SetTimeout(1000), VbError);
}

TEST_F(JsHostTest, ObjectsByNameAndTheirMembersAsGlobals) {
  host_->AddCode(
      "function Go() { return Obj.Twice(20) + Twice(1); }\n"
      "function Relabel() { Obj.Name = 'renamed'; return Name; }\n"
      "function Items() { Obj.LetProperty('Item', 'k', 'v'); return Obj.Item('k'); }\n"
      "function Children() { var c = Obj.Child(); return c.Name + '/' + NameOf(c); }\n"
      "function Missing() { return typeof Obj.NoSuchMember; }\n");
  ExpectMembersReached();
  EXPECT_EQ(Run("Missing").ToString(), "undefined");
}

TEST_F(JsHostTest, AScriptsOwnNamesComeBeforeMembers) {
  host_->AddObject("Other", std::make_shared<TestObject>(), true);
  host_->AddCode("function Twice(x) { return 'own ' + x; }\nfunction Go() { return Twice(2); }");
  EXPECT_EQ(Run("Go").ToString(), "own 2");
  // A name of the language's own is never replaced by a member.
  host_->AddCode("function Types() { return typeof String + typeof Object; }");
  EXPECT_EQ(Run("Types").ToString(), "functionfunction");
}

TEST_F(JsHostTest, ReferencesGoBothWays) {
  host_->AddCode(
      "function Caller() { var r = Ref('hi'); var ok = Shout(r); return ok + ' ' + r.value; }\n"
      "function Plain() { var s = 'hi'; Shout(s); return s; }\n"
      "function Callee(a, b) { a.value = a.value + b.value; b.value = 'changed'; return 'done'; "
      "}\n");
  EXPECT_EQ(Run("Caller").ToString(), "true hi!");
  EXPECT_EQ(Run("Plain").ToString(), "hi");  // a plain value is passed by value
  Variant args[] = {Variant(40), Variant(2)};
  EXPECT_EQ(host_->Run("callee", args).ToString(), "done");
  EXPECT_EQ(args[0].ToLong(), 42);
  EXPECT_EQ(args[1].ToString(), "changed");
}

TEST_F(JsHostTest, ReferencesAnywhereAmongTheArguments) {
  host_->AddObject("M", std::make_shared<Marker>(), false);
  host_->AddCode(
      "function Mixed() {\n"
      "  var a = Ref('a'), c = {value: 'c'}, list = ['l'], when = new Date(2000, 0, 2);\n"
      "  list.value = 'v';\n"
      "  when.value = 'd';\n"
      "  var n = M.Mark(a, 'b', c, a, list, when);\n"
      "  return n + ' ' + a.value + ' ' + c.value + ' ' + list.value + when.value;\n"
      "}\n"
      "function Marked(count, refs) {\n"
      "  var args = [], out = [];\n"
      "  for (var i = 0; i < count; ++i) args.push(refs.indexOf(i) >= 0 ? Ref(String(i)) : i);\n"
      "  out.push(M.Mark.apply(null, args));\n"
      "  for (i = 0; i < count; ++i) out.push(typeof args[i] === 'object' ? args[i].value : '');\n"
      "  return out.join(',').replace(/,+/g, ',') + ' ' + args[1] + args[count - 2];\n"
      "}\n"
      "function Some() { return Marked(30, [0, 29]); }\n"
      "function Many() { return Marked(45, [0, 29, 30, 31, 44]); }\n"
      "function Assigned() { var r = Ref('x'); M.LetProperty('P', 'k', r); return r.value; }\n"
      "function Claimed() { return M.__orvikHolder.call(0, [], 1 << 21, 0); }\n"
      "function Tampered() {\n"
      "  var args = new Array(40), r = Ref('t');\n"
      "  for (var i = 0; i < 40; ++i) args[i] = i;\n"
      "  args[35] = r;\n"
      "  Array.isArray = function () { return true; };\n"
      "  Array.prototype.indexOf = Array.prototype.push = null;\n"
      "  M.Mark.apply(null, args);\n"
      "  return r.value;\n"
      "}\n");
  // The same reference twice gets what the member left in its last place; an array or a date
  // goes by value even with a "value" of its own.
  EXPECT_EQ(Run("Mixed").ToString(), "6 a! c! vd");
  EXPECT_EQ(Run("Some").ToString(), "30,0!,29! 128");
  EXPECT_EQ(Run("Many").ToString(), "45,0!,29!,30!,31!,44! 143");
  EXPECT_EQ(Run("Assigned").ToString(), "x!");
  // A count the arguments do not have is refused, not made room for.
  EXPECT_EQ(RunError("Claimed").number, vberr::kWrongArgumentCount);
  // A script that changes the language's own functions still has its references kept.
  EXPECT_EQ(Run("Tampered").ToString(), "t!");
}

// What a program's loop does call after call: references that hold objects, a member that
// fails while references wait for its values, then more calls that must still get theirs.
TEST_F(JsHostTest, ManyCallsKeepTheirReferencesThroughFailures) {
  host_->AddCode(
      "function Loop() {\n"
      "  var o = Ref(Obj), out = [];\n"
      "  for (var i = 0; i < 3; ++i) {\n"
      "    var r = Ref('r' + i), spare = Ref('s');\n"
      "    try { Shout(spare, r); } catch (e) { out.push(e.number); }\n"
      "    Shout(r);\n"
      "    out.push(r.value, spare.value, NameOf(o), o.value.Twice(i), Obj.Twice === Obj.Twice);\n"
      "  }\n"
      "  Obj.LetProperty('Item', 'k', Ref('v'));\n"
      "  return out.join(' ') + ' ' + Obj.Item('k') + ' ' + Obj.Name;\n"
      "}\n"
      "function Forged() { return NameOf({__orvikHolder: 5}); }\n"
      "function Hooked() {\n"
      "  Object.defineProperty(Array.prototype, '0', {set: function () {}, configurable: true});\n"
      "  var r = Ref('h');\n"
      "  Shout(r);\n"
      "  delete Array.prototype[0];\n"
      "  return r.value;\n"
      "}\n");
  EXPECT_EQ(Run("Loop").ToString(),
            "450 r0! s start 0 true 450 r1! s start 2 true 450 r2! s start 4 true v start");
  EXPECT_EQ(RunError("Forged").number, vberr::kTypeMismatch);
  // A setter a script puts on arrays' places does not take its references.
  EXPECT_EQ(Run("Hooked").ToString(), "h!");
}

TEST_F(JsHostTest, ValuesKeepTheirKinds) {
  host_->AddCode(
      "function Types() {\n"
      "  return [TypeOf(1), TypeOf(1.5), TypeOf('x'), TypeOf(true), TypeOf(null),\n"
      "          TypeOf(undefined), TypeOf([1, 2]), TypeOf(Obj), TypeOf(new Date(2000, 0, 2))];\n"
      "}\n"
      "function Text(r) { return r.value + '\\u00e9\\u00fe' + r.value.length; }\n"
      "function Wide() { return '\\u20ac1\\ud83d\\ude00'; }\n");
  EXPECT_EQ(TypeNames("Types"), "Long,Double,String,Boolean,Null,Empty,Variant(),Object,Date,");
  ExpectSingleByteText();
  // What a single byte cannot hold comes as '?', one a UTF-16 unit.
  EXPECT_EQ(Run("Wide").ToString(), "?1??");
}

TEST_F(JsHostTest, ACompileErrorHasItsLineAndColumn) {
  const ScriptError e = LoadError("function Ok() {}\nfunction Bad() {\n  var x = ;\n}\n");
  EXPECT_EQ(e.number, scripterr::kSyntax);
  EXPECT_NE(e.description.find("SyntaxError"), std::string::npos) << e.description;
  EXPECT_EQ(e.line, 3);
  EXPECT_GT(e.column, 0);
}

TEST_F(JsHostTest, RunTimeErrorsHaveNumbersAndLines) {
  host_->AddCode(
      "function Undefined() {\n"
      "  var a = 1;\n"
      "  return nothingLikeThis(a);\n"
      "}\n"
      "function Member() {\n"
      "  Obj.Fail();\n"
      "}\n"
      "function Own() {\n"
      "  throw {number: 950, description: 'own failure'};\n"
      "}\n"
      "function Caught() {\n"
      "  try { Fail(); } catch (e) { return e.number + ':' + e.description; }\n"
      "}\n"
      "function NotAFunction() {\n"
      "  Obj.NoSuchMember();\n"
      "}\n");
  ScriptError e = RunError("Undefined");
  EXPECT_EQ(e.number, scripterr::kUndefined);
  EXPECT_EQ(e.line, 3);
  ExpectMemberAndOwnErrors();
  EXPECT_EQ(Run("Caught").ToString(), "920:the member failed");
  e = RunError("NotAFunction");
  EXPECT_EQ(e.number, vberr::kNoSuchMember);
  EXPECT_EQ(e.line, 15);
  e = RunError("NoSuchProcedure");
  EXPECT_EQ(e.number, scripterr::kNoProcedure);
  host_->AddCode("function Shapeless() { return {a: 1}; }");
  EXPECT_EQ(RunError("Shapeless").number, vberr::kTypeMismatch);
}

TEST_F(JsHostTest, TopLevelCodeRunsWhenAdded) {
  host_->AddCode("Obj.Name = 'loaded';\nvar counter = 0;\nfunction Next() { return ++counter; }");
  EXPECT_EQ(object_->name, "loaded");
  Run("Next");
  EXPECT_EQ(Run("Next").ToLong(), 2);  // the script's state lasts between runs
  const ScriptError e = LoadError("Obj.Name = 'x';\nObj.Fail();\n");
  EXPECT_EQ(e.number, 920);
  EXPECT_EQ(e.line, 2);
}

}  // namespace
}  // namespace orvik
