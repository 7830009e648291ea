// The program runner alone, without a port: a catalog of its own, an object standing for the
// port, and a session end that the test watches.

#include "program_runner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <filesystem>
#include <fstream>
#include <thread>

#include "event_wait.h"
#include "script_test_object.h"
#include "vb_error.h"

namespace orvik {
namespace {

using namespace std::chrono_literals;
using test_support::TestObject;

class ProgramRunnerTest : public ::testing::Test {
 protected:
  ProgramRunnerTest() {
    home_ = std::filesystem::temp_directory_path() /
            ("orvik-runner-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(home_);
    ProgramRunner::Host host;
    host.home = home_.string();
    host.stop = stop_;
    host.port = [this] { return std::static_pointer_cast<Dispatch>(port_); };
    host.hold = [this] { return std::static_pointer_cast<void>(port_); };
    host.common = [this] { return common_; };
    host.catalog = [this](const std::string& verb) -> std::optional<ProgramRunner::CatalogEntry> {
      const auto it = catalog_.find(verb);
      if (it == catalog_.end()) return std::nullopt;
      return it->second;
    };
    host.ended = [this] {
      ends_.push_back(runner_->RunError());
      runner_->SetRunning(false);
      runner_->Close();
    };
    runner_ = std::make_unique<ProgramRunner>(std::move(host));
  }
  ~ProgramRunnerTest() override {
    runner_.reset();
    std::filesystem::remove_all(home_);
  }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(home_ / name) << text;
  }
  // Schedules `sentence` and lets the deferred runner run it to its end.
  void RunToItsEnd(const std::string& sentence) {
    runner_->XRun(sentence);
    runner_->SetRunning(true);
    EXPECT_TRUE(PumpEventsUntil(SteadyClock::now() + 5s, [&] { return !runner_->Running(); }));
  }

  std::filesystem::path home_;
  std::shared_ptr<StopSwitch> stop_ = StopSwitch::Make();
  std::shared_ptr<TestObject> port_ = std::make_shared<TestObject>();
  std::shared_ptr<Dictionary> common_ = std::make_shared<Dictionary>(Dictionary::CompareMode::Text);
  std::map<std::string, ProgramRunner::CatalogEntry> catalog_;
  std::vector<std::string> ends_;
  std::unique_ptr<ProgramRunner> runner_;
};

TEST_F(ProgramRunnerTest, ACataloguedScriptWaitsForTheEventLoopThenEndsItsRun) {
  Write("hello.js",
        "function HELLO(args) { UserPort.Name = 'ran ' + args.value; "
        "XCommon.LetProperty('Item', 'seen', OvEngFns.Field('no*yes', '*', 2)); }");
  catalog_["HELLO"] = {" JScript ", " hello.js "};
  runner_->XRun("hello  world ");
  EXPECT_EQ(port_->name, "start");  // scheduled, not run
  runner_->SetRunning(true);
  EXPECT_TRUE(runner_->Running());
  EXPECT_EQ(port_->name, "start");  // not before the caller has returned to the event loop
  EXPECT_TRUE(PumpEventsUntil(SteadyClock::now() + 5s, [&] { return !runner_->Running(); }));
  EXPECT_EQ(port_->name, "ran world");
  EXPECT_EQ(common_->Item(Variant("seen")).ToString(), "yes");
  EXPECT_EQ(ends_, std::vector<std::string>{""});
}

TEST_F(ProgramRunnerTest, UnknownVerbsAndFilesAreRaisedBeforeAnythingIsScheduled) {
  try {
    runner_->XRun("NOSUCH thing");
    ADD_FAILURE();
  } catch (const VbError& e) {
    EXPECT_EQ(e.Message(), "[908] 'NOSUCH' not a command and not found in catalog");
  }
  catalog_["VB"] = {"VBScript", "old.vbs"};
  EXPECT_THROW(runner_->XRun("VB"), VbError);
  EXPECT_THROW(runner_->XRun("JSCRIPT ../outside.js"), VbError);
  EXPECT_FALSE(runner_->Running());
  EXPECT_TRUE(ends_.empty());
}

TEST_F(ProgramRunnerTest, ErrorsOfARunNameTheLanguageProcedureAndLine) {
  // A program that does not compile is raised, and is the first error of the run.
  Write("syntax.js", "function SYNTAX( {");
  EXPECT_THROW(runner_->XRun("JSCRIPT syntax.js"), VbError);
  EXPECT_NE(runner_->RunError().find("\r\nJSCRIPT syntax error in 'SYNTAX', line="),
            std::string::npos)
      << runner_->RunError();
  // A run starts with no error, and keeps the first it meets.
  Write("broken.js", "function BROKEN() {\n  return nosuch.value;\n}");
  RunToItsEnd("JavaScript broken.js");
  ASSERT_EQ(ends_.size(), 1u);
  EXPECT_NE(ends_[0].find("\r\nJSCRIPT runtime error in 'BROKEN', line=2"), std::string::npos)
      << ends_[0];
}

TEST_F(ProgramRunnerTest, WhileAProgramRunsACallRunsAtOnceInItsLoadedEngine) {
  Write("calc.js",
        "var calls = 0;\n"
        "function CALC() { UserPort.Name = 'outer'; }\n"
        "function DOUBLE(x) { calls++; return x.value * 2 + calls; }\n");
  runner_->XRun("JSCRIPT calc.js");
  runner_->SetRunning(true);
  // As the program's own call would, while it runs.
  std::vector<Variant> args{Variant(20)};
  EXPECT_EQ(runner_->XRun("JSCRIPT calc.js DOUBLE", args).ToLong(), 41);
  EXPECT_EQ(runner_->XRun("JSCRIPT calc.js DOUBLE", args).ToLong(), 42);  // the same engine
  EXPECT_TRUE(PumpEventsUntil(SteadyClock::now() + 5s, [&] { return !runner_->Running(); }));
  EXPECT_EQ(port_->name, "outer");
}

TEST_F(ProgramRunnerTest, TheSessionsStopInterruptsARunningScript) {
  Write("loop.js", "function LOOP() { while (true) {} }");
  std::thread stopper([stop = stop_] {
    std::this_thread::sleep_for(100ms);
    stop->Throw();
  });
  RunToItsEnd("JSCRIPT loop.js");
  stopper.join();
  ASSERT_EQ(ends_.size(), 1u);
  EXPECT_NE(ends_[0].find("[18]"), std::string::npos) << ends_[0];
}

}  // namespace
}  // namespace orvik
