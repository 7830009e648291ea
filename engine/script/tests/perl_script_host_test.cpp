// The Perl engine: objects by name, aliased arguments, values both ways, errors with their
// numbers and lines, and interpreters that stay apart.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "../../tests/process_probe.h"
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

TEST_F(PerlHostTest, AProgramCannotForkOrReplaceTheEngine) {
  // A fork would copy the whole engine and run the program on in the copy, out of its
  // session's reach; exec would replace the engine.
  host_->AddCode(
      "sub Fork { fork(); }\n"
      "sub CoreFork { CORE::fork(); }\n"
      "sub Exec { exec('true'); }\n"
      "sub Syscall { syscall(57); }\n"
      "sub Reap { wait(); }\n"
      "sub Dump { CORE::dump(); }\n"
      "sub Signal { kill(0, $$); }\n"
      "sub CoreExit { CORE::exit(3); }\n"
      // A pipe open without a command forks and runs the program on in the child.
      "sub PipeFork { my $pid = open(my $fh, '-|') // return 'no fork';\n"
      "  if (!$pid) { print 'the child ran'; exit(0); }\n"
      "  local $/; my $got = <$fh>; close($fh); return $got // ''; }\n");
  for (const auto& [procedure, op] :
       {std::pair{"Fork", "fork"}, std::pair{"CoreFork", "fork"}, std::pair{"Exec", "exec"},
        std::pair{"Syscall", "syscall"}, std::pair{"Reap", "wait"}, std::pair{"Dump", "dump"},
        std::pair{"Signal", "kill of the engine or of a process group"}}) {
    const ScriptError e = RunError(procedure);
    EXPECT_EQ(e.number, scripterr::kNotForPrograms) << procedure;
    EXPECT_EQ(e.description, std::string("'") + op + "' is not available to programs");
    EXPECT_GT(e.line, 0) << procedure;
  }
  EXPECT_EQ(Run("PipeFork").ToString(), "");
  EXPECT_TRUE(Run("CoreExit").IsEmpty());  // the procedure ends, not the engine
  // Nothing was left running, nor waits to be reaped.
  host_.reset();
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(PerlHostTest, CommandsInheritNothingAndEndWithTheProgram) {
  // A socket of the engine's that nobody marked close-on-exec, as a library might leave one.
  const int listening = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listening, 0);
  ASSERT_EQ(listen(listening, 1), 0);
  struct stat own {};
  ASSERT_EQ(fstat(listening, &own), 0);
  host_->AddCode(
      "sub Start { system('sleep 30 &');\n"
      "  my $pid = `sh -c 'sleep 30 >/dev/null 2>&1 & echo \\$!'`; chomp $pid; return $pid; }");
  const auto pid = static_cast<pid_t>(Run("Start").ToLong());
  ASSERT_GT(pid, 0);
  const std::map<int, std::string> fds = test_support::DescriptorsOf(pid);
  close(listening);
  EXPECT_EQ(fds.at(0), "/dev/null");  // not the engine's own input
  for (const auto& [fd, target] : fds)
    EXPECT_NE(target, "socket:[" + std::to_string(own.st_ino) + "]") << fd;
  EXPECT_FALSE(test_support::ProcessEnded(pid));

  host_.reset();  // the program's end
  const auto ended = [&] {
    for (int i = 0; i < 40 && !test_support::ProcessEnded(pid); ++i) usleep(50000);
    return test_support::ProcessEnded(pid);
  };
  EXPECT_TRUE(ended()) << "the background command outlived the program";
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

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

TEST(PerlMemoryTest, WhatAProgramTookGoesBackWhenItsInterpreterEnds) {
  // A deep recursion takes its memory in many small pieces, which the C library would keep
  // for the engine's process long after the session had gone.
  const long before = ResidentKb();
  long taken = 0;
  {
    auto host = ScriptHost::Create("Perl");
    host->AddCode(
        "sub Down { my $n = shift; my @a = map { \"x$_\" } (1 .. 20);\n"
        "  return $n ? Down($n - 1) : 0; }\n");
    Variant depth(100000);
    host->Run("Down", std::span<Variant>(&depth, 1));
    taken = ResidentKb() - before;
  }
  ASSERT_GT(taken, 100 * 1024);
  EXPECT_LT(ResidentKb() - before, taken / 4);
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
