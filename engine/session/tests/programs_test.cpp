// Catalogued programs run inside the session: scripts in JavaScript, Perl and PHP and
// plugin applications, started at the prompt, run by the deferred runner, fed with input
// while they wait, and ended back at the prompt; on the embedded store and on MariaDB.

#include <sys/stat.h>

#include <QThread>
#include <QTimer>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>

#include "datastore_home.h"
#include "event_wait.h"
#include "port.h"
#include "port_access.h"
#include "vb_error.h"

namespace orvik {
namespace {

using namespace port_access;

const std::string kCrLf = "\r\n";
// The prompt screen after a program on a terminal of no known type: @(-1), @(1, 1).
const std::string kPromptScreen = "\x1B*\x01\x1B=\x01\x01";

// A session driven as a client drives it. Answers queued with Feed are typed one at a time
// whenever the running program waits in IInput.
class Session {
 public:
  explicit Session(const std::string& home) : port_(Port::Create(home)) {
    port_->SetResponseHandler([this](std::string& s) {
      if (failOnce_ && s.find(failOn_) != std::string::npos) {
        failOnce_ = false;
        throw VbError(57, "Device I/O error");
      }
      output_ += s;
    });
    feeder_.setInterval(5);
    QObject::connect(&feeder_, &QTimer::timeout, [this] {
      if (stop_ && port_->InputPending()) {
        stop_ = false;
        port_->PortCClose();
      } else if (!answers_.empty() && port_->InputPending()) {
        const std::string next = answers_.front();
        answers_.pop_front();
        port_->RequestA(next);
      }
    });
    feeder_.start();
  }

  std::string Send(std::string_view text) {
    output_.clear();
    port_->RequestA(text);
    return output_;
  }
  void LogIn(const std::string& user, const std::string& account) {
    Send("\r");
    Send(user + "\r");
    const std::string answer = Send(std::string(test_support::kTestPassword) + "\r");
    ASSERT_EQ(port_->State(), "TCL") << answer;
    Send("LOGTO " + account + "\r");
    ASSERT_EQ(Parts(*port_).account.Account(), account);
  }
  // Types a line, then Enter, and waits for the program it starts to end; returns all the
  // output.
  std::string RunProgram(const std::string& line, std::deque<std::string> answers = {}) {
    answers_ = std::move(answers);
    output_.clear();
    port_->RequestA(line);
    port_->RequestA("\r");
    WaitForTheEnd();
    return output_;
  }
  void WaitForTheEnd() {
    PumpEventsUntil(SteadyClock::now() + std::chrono::seconds(20),
                    [this] { return !Parts(*port_).programs.Running(); });
    EXPECT_FALSE(Parts(*port_).programs.Running()) << output_;
  }
  // Asks the program to stop when it next waits for input, as a host does.
  void StopWhenWaiting() { stop_ = true; }
  // The next output holding `text` fails in the host, once.
  void FailOutput(std::string text) {
    failOn_ = std::move(text);
    failOnce_ = true;
  }
  const std::string& output() const { return output_; }
  Port& port() { return *port_; }

 private:
  std::shared_ptr<Port> port_;
  std::string output_;
  std::deque<std::string> answers_;
  QTimer feeder_;
  std::string failOn_;
  bool failOnce_ = false;
  bool stop_ = false;
};

class ProgramsTest : public ::testing::Test {
 protected:
  ProgramsTest() : home_(ORVIK_TEST_DATASTORE) {}

  // Runs a statement in the test's account (or the system account).
  void Sql(const std::string& statement, std::span<const DbValue> params = {},
           const std::string& account = {}) {
    auto port = Port::Create(home_.home());
    SetLogin(*port, home_.user(), test_support::kTestPassword);
    ASSERT_TRUE(ConnectAccount(*port, account.empty() ? home_.account() : account))
        << port->ErrorDetail();
    Parts(*port).account.Connection()->Execute(statement, params);
  }
  void Catalog(const std::string& verb, const std::string& kind, const std::string& program,
               const std::string& account = {}) {
    const DbValue row[] = {verb, kind, program};
    std::string sql = "INSERT INTO md (A0, A1, A4";
    std::string values = "VALUES (?, ?, ?";
    // Every column has a value, whatever the datastore's defaults.
    for (int i : {2, 3}) {
      sql += ", A" + std::to_string(i);
      values += ", ''";
    }
    for (int i = 5; i <= 20; ++i) {
      sql += ", A" + std::to_string(i);
      values += ", ''";
    }
    Sql(sql + ") " + values + ")", row, account);
  }
  void SetPrivilege(const std::string& privilege) {
    const DbValue p[] = {privilege, home_.user()};
    Sql("UPDATE users SET A8 = ? WHERE A0 = ?", p, "dm");
  }
  void WriteFile(const std::string& name, const std::string& text) {
    std::ofstream(std::filesystem::path(home_.home()) / name, std::ios::binary) << text;
  }
  void RegisterPlugins() {
    WriteFile("plugins.ini",
              "[Plugins]\nTest.App=" ORVIK_TEST_PLUGIN "\nTest.Plain=" ORVIK_TEST_PLUGIN "\n");
  }
  std::unique_ptr<Session> LoggedIn() {
    auto s = std::make_unique<Session>(home_.home());
    s->LogIn(home_.user(), home_.account());
    return s;
  }

  // Runs the catalogued hello program of a language (`verb`: its verb) as a logged-in user,
  // and checks what it wrote and saw; the session it ran in, at the prompt again.
  std::unique_ptr<Session> ExpectHelloRuns(const std::string& verb) {
    auto s = LoggedIn();
    s->Send("SWRITE greeting hi\r");

    EXPECT_EQ(s->Send(verb + "\r"), "");  // scheduled: the input returns first
    EXPECT_EQ(s->port().State(), "VERB");
    EXPECT_TRUE(Parts(s->port()).programs.Running());
    s->WaitForTheEnd();
    EXPECT_EQ(s->output(), "hello " + home_.user() + " as " + s->port().UserInst() + kCrLf +
                               "hi b y []" + kCrLf + "VERB" + kCrLf + kPromptScreen + ":");
    EXPECT_EQ(s->port().State(), "TCL");
    EXPECT_EQ(s->port().ErrorDetail(), "");

    // A verb typed with arguments is looked up upper-cased; the script receives them.
    const std::string out = s->RunProgram(LowerCase(verb) + "  one two ");
    EXPECT_NE(out.find("[one two]"), std::string::npos) << out;
    return s;
  }

  test_support::DatastoreHome home_;
};

TEST_F(ProgramsTest, ACatalogScriptRunsOnceItsInputHasReturned) {
  Catalog("HELLO", "JScript", "hello.js");
  WriteFile("hello.js",
            "function Hello(args) {\n"
            "  CRT('hello ' + UserName + ' as ' + UserPort.UserInst);\n"
            "  CRT(XCommon.Item('greeting') + ' ' + OvEngFns.Field('a*b*c', '*', 2) + ' ' +\n"
            "      Field('x.y', '.', 2) + ' [' + (args === undefined ? '' : args.value) + ']');\n"
            "  CRT(State);\n"
            "}\n");
  const auto s = ExpectHelloRuns("HELLO");
  // The session goes on at the prompt.
  EXPECT_EQ(s->Send("WHO\r"), kCrLf + s->port().UserInst() + " " + home_.account() + kCrLf + ":");
}

// The demo program a new user meets first, as the README walks it: what the user sees names
// the entry asked for and never the statement behind the read, which ErrorDetail keeps for
// the developer.
TEST_F(ProgramsTest, TheDemoHelloTellsTheUserWhatItFoundInWords) {
  std::filesystem::copy_file(ORVIK_DEMO_DIR "/hello.js",
                             std::filesystem::path(home_.home()) / "hello.js");
  Catalog("HELLO", "JScript", "hello.js HELLO");
  auto s = LoggedIn();
  const std::string out = s->RunProgram("HELLO", {"hello\r", "nosuch\r", "\r"});
  EXPECT_NE(out.find("Hello " + home_.user() + ", this is a catalogued JavaScript program."),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("HELLO: kind JScript, program hello.js HELLO"), std::string::npos) << out;
  EXPECT_NE(out.find("There is no catalog entry NOSUCH." + kCrLf), std::string::npos) << out;
  EXPECT_NE(out.find("Goodbye."), std::string::npos) << out;
  EXPECT_EQ(out.find("SELECT"), std::string::npos) << out;
  EXPECT_EQ(out.find("[912]"), std::string::npos) << out;
}

TEST_F(ProgramsTest, KeywordSentencesNameTheFileAndProcedure) {
  WriteFile("Tools.js",
            "function Shout() { CRT('shout'); }\n"
            "function Tools() { CRT('tools itself'); }\n");
  WriteFile("tools.pl", "sub shout { CRT('perl shout'); }\n");
  WriteFile("tools.php",
            "<?php\nfunction shout() { CRT('php shout'); }\nfunction tools() { CRT('php tools'); "
            "}\n");
  auto s = LoggedIn();
  EXPECT_EQ(s->RunProgram("JSCRIPT tools.js shout"), "shout" + kCrLf + kPromptScreen + ":");
  EXPECT_EQ(s->RunProgram("javascript TOOLS.JS"), "tools itself" + kCrLf + kPromptScreen + ":");
  EXPECT_EQ(s->RunProgram("PERL tools.pl SHOUT"), "perl shout" + kCrLf + kPromptScreen + ":");
  EXPECT_EQ(s->RunProgram("PHP tools.php SHOUT"), "php shout" + kCrLf + kPromptScreen + ":");
  EXPECT_EQ(s->RunProgram("php TOOLS.PHP"), "php tools" + kCrLf + kPromptScreen + ":");

  // Languages without an engine here, and files that are not there.
  EXPECT_EQ(s->Send("VBS tools.vbs MAIN\r")
                .rfind("ERROR: [429] No script engine for the "
                       "language 'VBSCRIPT' exists here",
                       0),
            0u);
  EXPECT_EQ(s->Send("JSCRIPT missing.js MAIN\r"),
            "ERROR: [53] File not found: 'missing.js'" + kCrLf + ":");
  EXPECT_EQ(s->Send("PHP missing.php MAIN\r"),
            "ERROR: [53] File not found: 'missing.php'" + kCrLf + ":");
  EXPECT_EQ(s->port().State(), "TCL");
  EXPECT_FALSE(Parts(s->port()).programs.Running());
}

TEST_F(ProgramsTest, ProgramsAreReadOnlyWhereProgramsLive) {
  namespace fs = std::filesystem;
  const fs::path home(home_.home());
  fs::create_directories(home / "programs" / "sub");
  // A folder beside the home, with scripts that leave a mark when they run and hold a
  // secret that must never reach an error text.
  const fs::path outside = home.string() + "-outside";
  fs::create_directories(outside);
  const fs::path ran = outside / "ran";
  const std::string secret = "open(my $f, '>', '" + ran.string() + "'); close $f;\n" +
                             "sub MAIN { CRT('secret words'); }\nsecret words here\n";
  for (const char* name : {"secret.pl", "secret.js"})
    std::ofstream(outside / name, std::ios::binary) << secret;
  fs::create_symlink(outside / "secret.pl", home / "link.pl");
  fs::create_symlink(outside / "secret.pl", home / "programs" / "inner.pl");
  fs::create_symlink("/dev/zero", home / "programs" / "zero.js");
  ASSERT_EQ(::mkfifo((home / "programs" / "pipe.js").c_str(), 0600), 0);
  WriteFile("programs/sub/post.js", "function Post() { CRT('posted'); }\n");
  WriteFile("programs/Helper.pl", "sub shout { CRT('helped'); }\n");
  fs::create_symlink(home / "programs" / "sub" / "post.js", home / "alias.js");
  Catalog("STEAL", "Perl", (outside / "secret.pl").string() + " MAIN");
  SetPrivilege("0");
  auto s = LoggedIn();

  const auto refused = [](const std::string& name) {
    return "ERROR: [985] '" + name +
           "' is no program file: programs are read only from the engine home and its "
           "programs folder" +
           kCrLf + ":";
  };
  for (const std::string& name :
       {(outside / "secret.pl").string(), "../" + outside.filename().string() + "/secret.pl",
        "programs/../../" + outside.filename().string() + "/secret.pl",
        std::string("C:\\progs\\secret.pl"), std::string("link.pl"),
        std::string("programs/inner.pl"), std::string("zero.js"), std::string("programs/pipe.js"),
        std::string("JetMDB/dm.db"), std::string("OrvikEngine.ini"), std::string("sub/post.js")}) {
    const std::string line = "PERL " + name + " MAIN";
    EXPECT_EQ(s->Send(line + "\r"), refused(name)) << line;
  }
  EXPECT_EQ(s->Send("JSCRIPT ../" + outside.filename().string() + "/secret.js\r"),
            refused("../" + outside.filename().string() + "/secret.js"));
  EXPECT_EQ(s->Send("STEAL\r"), refused((outside / "secret.pl").string()));
  EXPECT_EQ(s->port().State(), "TCL");
  EXPECT_FALSE(Parts(s->port()).programs.Running());
  EXPECT_FALSE(fs::exists(ran)) << "a program outside the home ran";
  EXPECT_EQ(Parts(s->port()).programs.RunError().find("secret"), std::string::npos)
      << Parts(s->port()).programs.RunError();

  // Where programs live they run: the home, programs/ and its folders, links that stay in.
  // (a user below privilege 3 leaves with the program)
  const std::string bye = std::string(protocol::kPortDisconnect);
  EXPECT_EQ(s->RunProgram("JSCRIPT programs/sub/post.js POST"), "posted" + kCrLf + bye);
  EXPECT_EQ(s->RunProgram("JSCRIPT alias.js POST"), "posted" + kCrLf + bye);
  EXPECT_EQ(s->RunProgram("PERL helper.pl SHOUT"), "helped" + kCrLf + bye);
  fs::remove_all(outside);
}

TEST_F(ProgramsTest, UnknownVerbsAndTheCatalogCriterion) {
  Catalog("A'B", "JScript", "quote.js QUOTE");
  WriteFile("quote.js", "function Quote() { CRT('quoted'); }\n");
  auto s = LoggedIn();
  EXPECT_EQ(s->Send("NOSUCHVERB\r"),
            "ERROR: [908] 'NOSUCHVERB' not a command and not found in catalog" + kCrLf + ":");
  EXPECT_EQ(s->Send("nosuch with args\r"),
            "ERROR: [908] 'NOSUCH' not a command and not found in catalog" + kCrLf + ":");
  // The verb is a value of the criterion, never part of its syntax.
  EXPECT_EQ(s->Send("A''B\r"),
            "ERROR: [908] 'A''B' not a command and not found in catalog" + kCrLf + ":");
  EXPECT_EQ(s->RunProgram("A'B"), "quoted" + kCrLf + kPromptScreen + ":");
}

TEST_F(ProgramsTest, NestedCallsReturnValuesAndShareEngines) {
  Catalog("OUTER", "JScript", "outer.js");
  WriteFile(
      "outer.js",
      "function Outer() {\n"
      "  var b = Ref(22);\n"
      "  var sum = XRun('JSCRIPT calc.js ADD', 20, b);\n"
      "  CRT('sum=' + sum + ' b=' + b.value);\n"
      "  CRT('perl=' + XRun('PERL calc.pl Add', 1, 2));\n"
      "  CRT('count=' + XRun('JSCRIPT calc.js COUNT') + ',' + XRun('JSCRIPT calc.js COUNT'));\n"
      "  CRT('still here');\n"
      "}\n");
  WriteFile("calc.js",
            "var calls = 0;\n"
            "function Add(a, b) { var s = a.value + b.value; b.value = 'seen'; return s; }\n"
            "function Count() { return ++calls; }\n");
  WriteFile("calc.pl", "sub ADD { my $s = $_[0] + $_[1]; $_[1] = 'seen'; return $s; }\n");
  auto s = LoggedIn();
  EXPECT_EQ(s->RunProgram("OUTER"), "sum=42 b=seen" + kCrLf + "perl=3" + kCrLf + "count=1,2" +
                                        kCrLf + "still here" + kCrLf + kPromptScreen + ":");
}

TEST_F(ProgramsTest, ErrorTextsNameTheLanguageProcedureAndLine) {
  Catalog("BROKEN", "JScript", "broken.js");
  Catalog("FAILS", "JScript", "fails.js");
  Catalog("PFAILS", "Perl", "fails.pl PFAILS");
  Catalog("NESTED", "JScript", "nested.js");
  WriteFile("broken.js", "function Broken() {\n  var ok = 1;\n  var x = ;\n}\n");
  std::string fails = "function Fails() {\n";
  for (int line = 2; line < 12; ++line) fails += "  CRT('line " + std::to_string(line) + "');\n";
  fails += "  notDefinedAnywhere();\n}\n";  // line 12
  WriteFile("fails.js", fails);
  WriteFile("fails.pl", "sub pfails {\n  my $x = 0;\n  CRT('before');\n  UserPort->Nothing;\n}\n");
  WriteFile("nested.js",
            "function Nested() {\n"
            "  try { XRun('JSCRIPT broken.js BROKEN'); } catch (e) { CRT('caught ' + e.number); }\n"
            "  XRun('JSCRIPT fails.js FAILS');\n"
            "}\n");
  auto s = LoggedIn();

  // Compile errors go to the caller at once; the run error keeps the syntax text.
  const std::string compiled = s->Send("BROKEN\r");
  EXPECT_EQ(compiled.rfind("ERROR: [1002] SyntaxError", 0), 0u) << compiled;
  EXPECT_EQ(s->port().State(), "TCL");
  const std::string& syntax = Parts(s->port()).programs.RunError();
  EXPECT_EQ(syntax.rfind("[1002] SyntaxError", 0), 0u) << syntax;
  EXPECT_NE(syntax.find("\r\nJScript syntax error in 'BROKEN', line=3, col="), std::string::npos)
      << syntax;

  // Run-time errors are shown under the prompt and kept in ErrorDetail.
  std::string out = s->RunProgram("FAILS");
  const std::string text =
      "[5009] ReferenceError: notDefinedAnywhere is not defined\r\n"
      "JScript runtime error in 'FAILS', line=12";
  EXPECT_NE(out.find("line 11" + kCrLf + kPromptScreen + kCrLf + text + kCrLf + ":"),
            std::string::npos)
      << out;
  EXPECT_EQ(s->port().ErrorDetail(), text);
  EXPECT_EQ(s->port().State(), "TCL");

  out = s->RunProgram("PFAILS");
  EXPECT_NE(out.find("before" + kCrLf + kPromptScreen + kCrLf +
                     "[5022] Can't locate object method \"Nothing\" via package \"UserPort\""),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\r\nPerl runtime error in 'PFAILS', line=4\r\n:"), std::string::npos) << out;

  // The first error of a run wins, even when the program handled it.
  out = s->RunProgram("NESTED");
  EXPECT_NE(out.find("caught 1002"), std::string::npos) << out;
  EXPECT_NE(out.find("JSCRIPT syntax error in 'BROKEN', line=3"), std::string::npos) << out;
  EXPECT_EQ(out.find("runtime error"), std::string::npos) << out;
}

TEST_F(ProgramsTest, TheEndOfARunDependsOnThePrivilege) {
  Catalog("QUICK", "JScript", "quick.js");
  WriteFile("quick.js", "function Quick() { CRT('done'); }\n");
  Catalog("PQUICK", "PHP", "quick.php");
  WriteFile("quick.php", "<?php function PQuick() { CRT('done'); }\n");
  for (const std::string verb : {"QUICK", "PQUICK"}) {
    {
      SetPrivilege("3");
      auto s = LoggedIn();
      EXPECT_EQ(s->RunProgram(verb), "done" + kCrLf + kPromptScreen + ":");
      s->port().SetTermType("VBGUI");
      EXPECT_EQ(s->RunProgram(verb),
                "done" + kCrLf + "<TERMINAL><ATF @=-1><POSITION LEFT=1 TOP=1>:</TX>");
    }
    {
      SetPrivilege("1");
      auto s = LoggedIn();
      EXPECT_EQ(s->RunProgram(verb), "done" + kCrLf + std::string(protocol::kPortDisconnect));
    }
  }
}

TEST_F(ProgramsTest, StartUpSentencesWaitForTheProgramToEnd) {
  // The system account's catalog may be shared with other tests: the verb is this test's own.
  const std::string verb = UpperCase(home_.account());
  Catalog(verb, "JScript", "first.js FIRST", "dm");
  WriteFile("first.js", "function First() { CRT('first'); }\n");
  const DbValue p[] = {verb, home_.user()};
  Sql("UPDATE users SET A12 = ?, A13 = 'WHO', A14 = '' WHERE A0 = ?", p, "dm");
  Session s(home_.home());
  s.Send("\r");
  s.Send(home_.user() + "\r");
  s.Send(std::string(test_support::kTestPassword) + "\r");
  EXPECT_EQ(s.port().State(), "VERB");  // the program holds the second sentence back
  s.WaitForTheEnd();
  // After the welcome box and its prompt: the program, then the second sentence.
  const std::string& out = s.output();
  const std::string box = std::string(74, '*') + kCrLf + kCrLf + kCrLf + ":";
  ASSERT_NE(out.find(box), std::string::npos) << out;
  EXPECT_EQ(out.substr(out.find(box) + box.size()), "first" + kCrLf + kPromptScreen + ":" + kCrLf +
                                                        s.port().UserInst() + " dm" + kCrLf + ":");
  EXPECT_EQ(s.port().State(), "TCL");
}

TEST_F(ProgramsTest, AJavaScriptProgramReadsInputAndAnItem) {
  Catalog("ASK", "JScript", "ask.js");
  WriteFile("ask.js",
            "function Ask() {\n"
            "  var md = Ref(''), id = Ref(''), item = Ref('');\n"
            "  if (!OOpen('md', md)) { CRT(ErrorDetail); return; }\n"
            "  CRT('Which entry? ', false);\n"
            "  while (IInput(id) && id.value !== 'END') {\n"
            "    if (RRead(item, md.value, id.value))\n"
            "      CRT(id.value + ' is ' + item.value.split('\\u00fe')[0]);\n"
            "    else\n"
            "      CRT(ErrorDetail);\n"
            "  }\n"
            "}\n");
  auto s = LoggedIn();
  s->port().Echo(Variant(true));
  // Keys as a terminal sends them: the text, then Enter.
  const std::string out = s->RunProgram("ASK", {"ASK", "\r", "NONE", "\r", "END", "\r"});
  EXPECT_EQ(out.rfind("ASK" + kCrLf + "Which entry? ASK" + kCrLf + "ASK is JScript" + kCrLf, 0), 0u)
      << out;
  EXPECT_NE(out.find("NONE" + kCrLf + "[912] "), std::string::npos) << out;
  EXPECT_NE(out.find("END" + kCrLf + kPromptScreen + ":"), std::string::npos) << out;
}

TEST_F(ProgramsTest, APerlProgramReadsInputAndAnItem) {
  Catalog("PASK", "Perl", "ask.pl PASK");
  WriteFile("ask.pl",
            "sub pask {\n"
            "  my ($md, $id, $item);\n"
            "  OOpen('md', $md) or return CRT(ErrorDetail());\n"
            "  CRT('Which entry? ', 0);\n"
            "  IInput($id);\n"
            "  return CRT('stopped') if $id eq '<&PORT_DISCONNECT>';\n"
            "  RRead($item, $md, $id) or return CRT(ErrorDetail());\n"
            "  my @attributes = split /\\xFE/, $item;\n"
            "  CRT(\"$id is $attributes[0] from $attributes[3]\");\n"
            "}\n");
  auto s = LoggedIn();
  EXPECT_EQ(s->RunProgram("PASK", {"PASK\r"}),
            "Which entry? PASK is Perl from ask.pl PASK" + kCrLf + kPromptScreen + ":");
  // A host that stops the program while it waits: it gets the disconnect line.
  s->StopWhenWaiting();
  EXPECT_EQ(s->RunProgram("PASK"), "Which entry? stopped" + kCrLf + kPromptScreen + ":");
}

TEST_F(ProgramsTest, APhpProgramRunsFromTheCatalog) {
  Catalog("PHELLO", "php", "hello.php");
  WriteFile("hello.php",
            "<?php\n"
            "function PHello($args = '') {\n"
            "  CRT('hello ' . UserName() . ' as ' . UserPort->UserInst);\n"
            "  CRT(XCommon->Item('greeting') . ' ' . OvEngFns->Field('a*b*c', '*', 2) . ' ' .\n"
            "      Field('x.y', '.', 2) . ' [' . $args . ']');\n"
            "  CRT(State());\n"
            "}\n");
  ExpectHelloRuns("PHELLO");
}

TEST_F(ProgramsTest, APhpProgramReadsInputAndWritesAnItem) {
  Catalog("PHPASK", "PHP", "ask.php PHPASK");
  WriteFile("ask.php",
            "<?php\n"
            "function PhpAsk() {\n"
            "  $md = Ref(); $id = Ref(); $item = Ref();\n"
            "  if (!OOpen('md', $md)) return CRT(ErrorDetail());\n"
            "  CRT('Which entry? ', false);\n"
            "  while (IInput($id) && $id->value !== 'END') {\n"
            "    if ($id->value === '<&PORT_DISCONNECT>') return CRT('stopped');\n"
            "    if (!RRead($item, $md->value, $id->value)) { CRT(ErrorDetail()); continue; }\n"
            "    $attributes = explode(\"\\xFE\", $item->value);\n"
            "    CRT(\"{$id->value} is {$attributes[0]} from {$attributes[3]}\");\n"
            "    $attributes[0] = 'copied ' . $attributes[0];\n"
            "    WWrite(implode(\"\\xFE\", $attributes), $md->value, $id->value . '.COPY')\n"
            "      or CRT(ErrorDetail());\n"
            "  }\n"
            "}\n");
  auto s = LoggedIn();
  // The copy written for the first answer is read back for the second.
  const std::string out = s->RunProgram("PHPASK", {"PHPASK\r", "PHPASK.COPY\r", "NONE\r", "END\r"});
  EXPECT_EQ(out.rfind("Which entry? PHPASK is PHP from ask.php PHPASK" + kCrLf +
                          "PHPASK.COPY is copied PHP from ask.php PHPASK" + kCrLf + "[912] ",
                      0),
            0u)
      << out;
  EXPECT_EQ(out.substr(out.size() - kPromptScreen.size() - 3), kCrLf + kPromptScreen + ":") << out;
  // A host that stops the program while it waits: it gets the disconnect line.
  s->StopWhenWaiting();
  EXPECT_EQ(s->RunProgram("PHPASK"), "Which entry? stopped" + kCrLf + kPromptScreen + ":");
}

TEST_F(ProgramsTest, NestedCallsReachPhpAndComeBack) {
  Catalog("POUTER", "PHP", "outer.php");
  WriteFile("outer.php",
            "<?php\n"
            "function POuter() {\n"
            "  $b = Ref(22);\n"
            "  $sum = XRun('JSCRIPT calc.js ADD', 20, $b);\n"
            "  CRT(\"sum=$sum b={$b->value}\");\n"
            "  $c = Ref(2);\n"
            "  $php = XRun('PHP calc.php PADD', 1, $c);\n"
            "  CRT(\"php=$php c={$c->value}\");\n"
            "  CRT('tally=' . XRun('PHP calc.php TALLY') . ',' . XRun('PHP calc.php TALLY'));\n"
            "  CRT('php from js=' . XRun('JSCRIPT calc.js VIAPHP', 5));\n"
            "  CRT('still here');\n"
            "}\n");
  WriteFile("calc.js",
            "function Add(a, b) { var s = a.value + b.value; b.value = 'seen'; return s; }\n"
            "function ViaPhp(n) { return XRun('PHP calc.php PADD', n.value, 10); }\n");
  WriteFile("calc.php",
            "<?php\n"
            "$calls = 0;\n"
            "function PAdd(&$a, &$b) { $s = $a + $b; $b = 'seen'; return $s; }\n"
            "function Tally() { global $calls; return ++$calls; }\n");
  auto s = LoggedIn();
  EXPECT_EQ(s->RunProgram("POUTER"), "sum=42 b=seen" + kCrLf + "php=3 c=seen" + kCrLf +
                                         "tally=1,2" + kCrLf + "php from js=15" + kCrLf +
                                         "still here" + kCrLf + kPromptScreen + ":");
}

TEST_F(ProgramsTest, PhpErrorsNameTheProcedureAndLine) {
  Catalog("PBROKEN", "PHP", "broken.php");
  Catalog("POWN", "PHP", "fails.php POWN");
  Catalog("PMEMBER", "PHP", "fails.php PMEMBER");
  WriteFile("broken.php", "<?php\nfunction PBroken() {\n  $x = ;\n}\n");
  WriteFile("fails.php",
            "<?php\n"
            "function POwn() {\n"
            "  CRT('before');\n"
            "  throw new Orvik\\Error(950, 'own failure');\n"
            "}\n"
            "function PMember() {\n"
            "  try { UserPort->Nothing(); } catch (Exception $e) { CRT('caught ' . $e->number); }\n"
            "  UserPort->Nothing();\n"
            "}\n");
  auto s = LoggedIn();

  const std::string compiled = s->Send("PBROKEN\r");
  EXPECT_EQ(compiled.rfind("ERROR: [1002] syntax error", 0), 0u) << compiled;
  EXPECT_EQ(s->port().State(), "TCL");
  EXPECT_NE(
      Parts(s->port()).programs.RunError().find("\r\nPHP syntax error in 'PBROKEN', line=3, col=0"),
      std::string::npos)
      << Parts(s->port()).programs.RunError();

  std::string out = s->RunProgram("POWN");
  const std::string own = "[950] own failure\r\nPHP runtime error in 'POWN', line=4";
  EXPECT_NE(out.find("before" + kCrLf + kPromptScreen + kCrLf + own + kCrLf + ":"),
            std::string::npos)
      << out;
  EXPECT_EQ(s->port().ErrorDetail(), own);

  out = s->RunProgram("PMEMBER");
  EXPECT_NE(out.find("caught 438" + kCrLf + kPromptScreen + kCrLf + "[438] "), std::string::npos)
      << out;
  EXPECT_NE(out.find("\r\nPHP runtime error in 'PMEMBER', line=8\r\n:"), std::string::npos) << out;
}

TEST_F(ProgramsTest, PhpProgramsOnTwoPortsRunAtOnce) {
  // Each program waits until the other has started: one holding up the other would leave
  // both waiting until their deadlines.
  Catalog("MEET", "PHP", "meet.php");
  const std::string home = home_.home();
  WriteFile("meet.php",
            "<?php\n"
            "function Meet($who) {\n"
            "  $dir = '" +
                home +
                "/';\n"
                "  touch($dir . $who . '.here');\n"
                "  $deadline = microtime(true) + 15;\n"
                "  while (!file_exists($dir . 'a.here') || !file_exists($dir . 'b.here')) {\n"
                "    if (microtime(true) > $deadline) return CRT('alone ' . $who);\n"
                "    usleep(10000);\n"
                "  }\n"
                "  CRT('met ' . $who);\n"
                "}\n");
  std::string outputs[2];
  std::unique_ptr<QThread> threads[2];
  for (int i = 0; i < 2; ++i) {
    threads[i].reset(QThread::create([&, i] {
      // The port is made, driven and ended on this thread, as the console does.
      auto s = LoggedIn();
      outputs[i] = s->RunProgram(std::string("MEET ") + (i == 0 ? "a" : "b"));
    }));
    threads[i]->start();
  }
  for (auto& t : threads) t->wait();
  EXPECT_EQ(outputs[0], "met a" + kCrLf + kPromptScreen + ":");
  EXPECT_EQ(outputs[1], "met b" + kCrLf + kPromptScreen + ":");
}

TEST_F(ProgramsTest, APluginApplicationRunsFromTheCatalog) {
  RegisterPlugins();
  Catalog("GREET", "ACTIVEX", "Test.App Greet");
  Catalog("FIXED", "RUN", "Test.App Greet fixed words");
  Catalog("PLAIN", "ActiveX", "Test.Plain Main");
  Catalog("APPFAIL", "ACTIVEX", "Test.App Fail");
  Catalog("NOTREG", "ACTIVEX", "Not.Registered Main");
  Catalog("SUM", "ACTIVEX", "Test.App RunScript JSCRIPT calc.js ADD");
  WriteFile("calc.js",
            "function Add(a, b) { var s = a.value + b.value; b.value = 'seen'; return s; }\n");
  auto s = LoggedIn();

  EXPECT_EQ(s->RunProgram("GREET one two", {"yes\r"}),
            "args=one two" + kCrLf + "got yes" + kCrLf + "closed" + kCrLf + kPromptScreen + ":");
  EXPECT_EQ(s->RunProgram("FIXED typed", {"\r"}),
            "args=fixed words" + kCrLf + "got " + kCrLf + "closed" + kCrLf + kPromptScreen + ":");
  // An application without CmdSentence runs all the same; the keyword form runs Main.
  EXPECT_EQ(s->RunProgram("PLAIN x"), "main ran" + kCrLf + "closed" + kCrLf + kPromptScreen + ":");
  EXPECT_EQ(s->RunProgram("RUN Test.App"),
            "main ran" + kCrLf + "closed" + kCrLf + kPromptScreen + ":");
  EXPECT_EQ(s->RunProgram("SUM"),
            "sum=42 second=seen" + kCrLf + "closed" + kCrLf + kPromptScreen + ":");
  EXPECT_EQ(s->RunProgram("APPFAIL"), "closed" + kCrLf + kPromptScreen + kCrLf +
                                          "[920] the application failed" + kCrLf +
                                          "in ACTIVEX Fail" + kCrLf + ":");
  const std::string refused = s->Send("NOTREG\r");
  EXPECT_EQ(refused.rfind("ERROR: [429] ActiveX component can't create object 'Not.Registered'", 0),
            0u)
      << refused;
  EXPECT_EQ(s->port().State(), "TCL");
}

TEST_F(ProgramsTest, ARunFreesItsLocksAndEngines) {
  Catalog("HOLD", "Perl", "hold.pl HOLD");
  WriteFile("hold.pl",
            "END { CRT('engine dropped'); }\n"
            "sub hold {\n"
            "  my ($f, $item);\n"
            "  OOpen('md', $f) or die ErrorDetail();\n"
            "  RReadU($item, $f, 'HOLD') or die ErrorDetail();\n"
            "  CRT('holding');\n"
            "}\n");
  auto s = LoggedIn();
  auto other = LoggedIn();
  EXPECT_EQ(s->RunProgram("HOLD"),
            "holding" + kCrLf + kPromptScreen + ":" + "engine dropped" + kCrLf);
  // The other session can take the same lock now.
  EXPECT_EQ(other->RunProgram("HOLD"),
            "holding" + kCrLf + kPromptScreen + ":" + "engine dropped" + kCrLf);

  // When ending the run fails, the error is shown under a fresh prompt, and the locks and
  // the engines go all the same.
  s->FailOutput(kPromptScreen + ":");
  const std::string out = s->RunProgram("HOLD");
  EXPECT_EQ(out, "holding" + kCrLf + kPromptScreen + kCrLf + "[57] Device I/O error" + kCrLf + ":" +
                     "engine dropped" + kCrLf);
  EXPECT_EQ(s->port().State(), "TCL");
  EXPECT_EQ(s->port().ErrorDetail(), "[57] Device I/O error");
  EXPECT_EQ(other->RunProgram("HOLD").rfind("holding", 0), 0u);
}

}  // namespace
}  // namespace orvik
