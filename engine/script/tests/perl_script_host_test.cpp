// The Perl engine: objects by name, aliased arguments, values both ways, errors with their
// numbers and lines, and interpreters that stay apart.

#include <gtest/gtest.h>
#include <unistd.h>

#include "script_host.h"
#include "script_test_object.h"

namespace orvik {
namespace {

using test_support::TestObject;

class PerlHostTest : public test_support::ScriptHostTest {
 protected:
  PerlHostTest() : ScriptHostTest("PerlScript") {}
};

TEST_F(PerlHostTest, ObjectsByNameAndTheirMembersAsGlobals) {
  EXPECT_EQ(ScriptHost::Create("perl")->Language(), "perl");
  host_->AddCode(
      "sub Go { return $Obj->Twice(20) + Twice(1); }\n"
      "sub Relabel { $Obj->LetProperty('Name', 'renamed'); return Name(); }\n"
      "sub Items { $Obj->LetProperty('Item', 'k', 'v'); return $Obj->Item('k'); }\n"
      "sub Children { my $c = $Obj->Child; return $c->Name . '/' . NameOf($c); }\n");
  ExpectMembersReached();
}

TEST_F(PerlHostTest, ObjectsAreVariablesThatStrictAccepts) {
  // An object may bear the name of an earlier object's member.
  host_->AddObject("Name", std::make_shared<TestObject>(), false);
  host_->AddCode(
      "use strict;\n"
      "sub Go { return $Obj->Twice(2) . ' ' . $Name->Name . ' ' . Name(); }\n");
  EXPECT_EQ(Run("Go").ToString(), "4 start start");
}

TEST_F(PerlHostTest, AScriptsOwnSubsComeBeforeMembers) {
  host_->AddCode("sub Twice { return 'own ' . $_[0]; }\nsub Go { return Twice(2); }");
  EXPECT_EQ(Run("Go").ToString(), "own 2");
}

TEST_F(PerlHostTest, ArgumentsAreAliasedBothWays) {
  host_->AddCode(
      "sub Caller { my $s = 'hi'; my $ok = Shout($s); return \"$ok $s\"; }\n"
      "sub Literal { return Shout('hi') ? 'no harm' : 'failed'; }\n"
      "sub Callee { $_[0] = $_[0] + $_[1]; $_[1] = 'changed'; return 'done'; }\n");
  EXPECT_EQ(Run("Caller").ToString(), "1 hi!");
  EXPECT_EQ(Run("Literal").ToString(), "no harm");  // a constant cannot be written to
  Variant args[] = {Variant(40), Variant(2)};
  EXPECT_EQ(host_->Run("callee", args).ToString(), "done");
  EXPECT_EQ(args[0].ToLong(), 42);
  EXPECT_EQ(args[1].ToString(), "changed");
}

TEST_F(PerlHostTest, ValuesKeepTheirKinds) {
  host_->AddCode(
      "sub Types { return [map { TypeOf($_) } (1, 1.5, 'x', undef, [1, 2], $Obj)]; }\n"
      "sub Text { return $_[0] . \"\\xE9\\xFE\" . length($_[0]); }\n");
  EXPECT_EQ(TypeNames("Types"), "Long,Double,String,Empty,Variant(),Object,");
  ExpectSingleByteText();
}

TEST_F(PerlHostTest, ACompileErrorHasItsLine) {
  const ScriptError e = LoadError("sub Ok { 1 }\nsub Bad {\n  my $x = ;\n}\n");
  EXPECT_EQ(e.number, scripterr::kSyntax);
  EXPECT_NE(e.description.find("syntax error"), std::string::npos) << e.description;
  EXPECT_EQ(e.line, 3);
  const ScriptError strict = LoadError("use strict;\nsub Bad {\n  $undeclared = 1;\n}\n");
  EXPECT_EQ(strict.number, scripterr::kSyntax);
  EXPECT_EQ(strict.line, 3);
}

TEST_F(PerlHostTest, RunTimeErrorsHaveNumbersAndLines) {
  host_->AddCode(
      "sub Divide {\n"
      "  my $zero = 0;\n"
      "  return 1 / $zero;\n"
      "}\n"
      "sub Member {\n"
      "  $Obj->Fail;\n"
      "}\n"
      "sub Own {\n"
      "  die { number => 950, description => 'own failure' };\n"
      "}\n"
      "sub Caught {\n"
      "  eval { Fail() }; return \"$@->{number}:$@->{description}:$@\";\n"
      "}\n"
      "sub Text {\n"
      "  die \"plain words\\n\";\n"
      "}\n"
      "sub Quit { exit; }\n");
  ScriptError e = RunError("Divide");
  EXPECT_EQ(e.number, scripterr::kUncaught);
  EXPECT_EQ(e.description, "Illegal division by zero");
  EXPECT_EQ(e.line, 3);
  ExpectMemberAndOwnErrors();
  EXPECT_EQ(Run("Caught").ToString(), "920:the member failed:[920] the member failed");
  e = RunError("Text");
  EXPECT_EQ(e.description, "plain words");
  EXPECT_EQ(e.line, 15);
  // exit ends the procedure, never the process.
  EXPECT_TRUE(Run("Quit").IsEmpty());
  EXPECT_EQ(RunError("NoSuchProcedure").number, scripterr::kNoProcedure);
}

TEST_F(PerlHostTest, AForkedChildNeverComesBackIntoTheEngine) {
  // The child of a script's fork has the engine's memory but none of its other threads:
  // back in the engine it would be a second session on the same terminal and files.
  const pid_t engine = getpid();
  const auto run = [&](std::string_view procedure) {
    const Variant result = Run(procedure);
    if (getpid() != engine) _exit(77);  // a child came back
    return result.ToString();
  };
  host_->AddCode(
      "sub Fork { my $pid = fork(); return 'child' if $pid == 0; waitpid($pid, 0);\n"
      "  return $? >> 8; }\n"
      "sub ForkExit { my $pid = fork(); exit(3) if $pid == 0; waitpid($pid, 0);\n"
      "  return $? >> 8; }\n"
      "sub ForkCall { my $pid = fork(); if ($pid == 0) { $Obj->Twice(1); return 'child'; }\n"
      "  waitpid($pid, 0); return $? >> 8; }\n"
      "our $status = -1;\n"
      "my $top = fork(); if ($top) { waitpid($top, 0); $status = $? >> 8; }\n"
      "sub TopStatus { return $status; }\n");
  if (getpid() != engine) _exit(77);
  EXPECT_EQ(run("TopStatus"), "0");
  EXPECT_EQ(run("Fork"), "0");
  EXPECT_EQ(run("ForkExit"), "3");
  // The engine's objects are out of the child's reach: its call fails and ends it.
  EXPECT_EQ(run("ForkCall"), "255");
}

TEST_F(PerlHostTest, TheEnginesStandardInputIsNotTheProgramsToRead) {
  // The console's keyboard, say, with a line typed: a program must neither take it nor wait
  // on it out of the session's reach.
  int typed[2];
  ASSERT_EQ(pipe(typed), 0);
  ASSERT_EQ(write(typed[1], "typed\n", 6), 6);
  const int engineInput = dup(STDIN_FILENO);
  ASSERT_GE(dup2(typed[0], STDIN_FILENO), 0);
  host_->AddCode("sub ReadIn { my $line = <STDIN>; return defined $line ? $line : 'nothing'; }");
  const std::string read = Run("ReadIn").ToString();
  dup2(engineInput, STDIN_FILENO);
  for (int fd : {engineInput, typed[0], typed[1]}) close(fd);
  EXPECT_EQ(read, "nothing");
}

TEST_F(PerlHostTest, InterpretersStayApart) {
  // A second engine with a sub of the same name keeps its own.
  auto other = ScriptHost::Create("Perl");
  other->AddCode("our $n = 100; sub Count { return ++$n; }");
  host_->AddCode("our $n = 0; sub Count { return ++$n; }");
  EXPECT_EQ(Run("Count").ToLong(), 1);
  EXPECT_EQ(other->Run("Count", {}).ToLong(), 101);
  EXPECT_EQ(Run("Count").ToLong(), 2);

  // Objects handed to the script are let go when the engine goes.
  std::weak_ptr<TestObject> watch = object_;
  host_->AddCode("our $keep = $Obj->Child;");
  host_.reset();
  object_.reset();
  EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace orvik
