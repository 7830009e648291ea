// The session machine against a fake terminal, with the datastore's parts on a recording
// driver: no port and no datastore behind it. The login dialogue, the start-up sentences,
// the lines a state takes, and failures told rather than dropped.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "fake_print_backend.h"
#include "fake_terminal.h"
#include "password_hash.h"
#include "recording_driver.h"
#include "screen_markup.h"
#include "session.h"
#include "user_registry.h"

namespace orvik {
namespace {

using test_support::FakeTerminal;

class SessionMachineTest : public ::testing::Test {
 protected:
  SessionMachineTest() {
    home_ = std::filesystem::temp_directory_path() /
            ("orvik-session-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(home_);
  }
  ~SessionMachineTest() override {
    session_.reset();
    programs_.reset();
    std::filesystem::remove_all(home_);
  }

  // The users table's row of "tester": password "secret", privilege 3, and `startUp` as the
  // start-up sentence.
  void KnownUser(const std::string& startUp = {}) {
    std::vector<std::string> fields;
    std::vector<DbValue> row;
    for (int i = 0; i <= 20; ++i) {
      fields.push_back("A" + std::to_string(i));
      row.emplace_back(i == 0    ? "tester"
                       : i == 7  ? HashPassword("secret")
                       : i == 8  ? "3"
                       : i == 12 ? startUp
                                 : "");
    }
    answers_.push_back({Answer::Result(fields, {row}), CallMatch::Prefix("select * from users")});
  }
  void Type(std::string_view text) { session_->Input(text); }

  std::filesystem::path home_;
  // Answers for the drivers the account connection makes.
  std::vector<std::pair<Answer, CallMatch>> answers_;
  FakeTerminal terminal_;
  std::shared_ptr<StopSwitch> stop_ = StopSwitch::Make();
  std::shared_ptr<FakePrintBackend> printers_ = std::make_shared<FakePrintBackend>();
  AccountConnection account_{home_.string(), EngineSettings{}, [this](std::string_view kind) {
                               auto d = std::make_shared<RecordingDriver>(std::string(kind));
                               for (const auto& [answer, match] : answers_) d->Queue(answer, match);
                               return d;
                             }};
  LockTable locks_{account_};
  Login login_{account_, locks_, std::make_shared<UserRegistry>(home_.string())};
  Printer printer_{printers_->Sharing(), [this](std::string_view text) { terminal_.Send(text); }};
  std::unique_ptr<ProgramRunner> programs_ = std::make_unique<ProgramRunner>(ProgramRunner::Host{
      home_.string(), stop_, [] { return std::shared_ptr<Dispatch>(); },
      [] { return std::shared_ptr<void>(); }, [] { return std::shared_ptr<Dictionary>(); },
      [](const std::string&) { return std::optional<ProgramRunner::CatalogEntry>(); }, [] {}});
  std::unique_ptr<Session> session_ = std::make_unique<Session>(
      Session::Parts{terminal_, *stop_, account_, login_, locks_, printer_, *programs_});
};

TEST_F(SessionMachineTest, TheLoginDialogueLeadsToThePromptAndTheStartUpSentences) {
  KnownUser("WHO");
  std::vector<std::pair<std::string, bool>> tried;
  session_->SetLoginTried([&](const std::string& user, bool ok) { tried.push_back({user, ok}); });
  terminal_.FileInput("typed before the greeting");
  Type("\r");
  EXPECT_EQ(terminal_.Output(),
            "\r\n======== OrvikEngine 1.2 Please Login =========\r\n\r\nusername: ");
  EXPECT_EQ(terminal_.TypeAhead(), "");  // what came with the first input is gone
  EXPECT_EQ(terminal_.State(), SessionState::kUserPrompt);
  Type("TESTER\r");
  EXPECT_EQ(terminal_.Output(), "\r\npassword: ");
  EXPECT_EQ(terminal_.State(), SessionState::kPasswordPrompt);
  Type("SeCrEt\r");  // both compared without regard to case
  const std::string welcome = terminal_.Output();
  EXPECT_NE(welcome.find("Welcome to OrvikEngine"), std::string::npos);
  // The start-up sentence ran at once, before anything typed.
  EXPECT_NE(welcome.find("\r\n:\r\n" + login_.UserInst() + " dm\r\n:"), std::string::npos)
      << welcome;
  EXPECT_EQ(terminal_.State(), SessionState::kTcl);
  EXPECT_EQ(login_.UserInst().rfind("tester*", 0), 0u);
  EXPECT_EQ(tried, (std::vector<std::pair<std::string, bool>>{{"tester", true}}));
}

TEST_F(SessionMachineTest, ARefusedLoginSaysWhyAndAsksAgain) {
  // No row for the user: the users table knows nobody.
  Type("\r");
  Type("nobody\rwhatever\r");
  const std::string out = terminal_.Output();
  EXPECT_NE(out.find("ERROR: Login not valid\r\n[915] User name or password not accepted\r\n"
                     "Please try again or check with your systems people\r\n\r\nusername: "),
            std::string::npos)
      << out;
  EXPECT_EQ(terminal_.State(), SessionState::kUserPrompt);
  EXPECT_EQ(session_->ErrorDetail(), "[915] User name or password not accepted");
  EXPECT_TRUE(login_.UserInst().empty());
}

TEST_F(SessionMachineTest, ASessionThatCannotConnectEndsAtTheNextInput) {
  answers_.push_back({Answer::Error(-2147467259, "no datastore here", "Connect"), {}});
  Type("\r");
  Type("tester\rsecret\r");
  const std::string out = terminal_.Output();
  EXPECT_NE(out.find("[-2147467259] no datastore here"), std::string::npos);
  EXPECT_NE(out.find("!      ERROR: Can not connect....                 !"), std::string::npos);
  EXPECT_EQ(terminal_.State(), SessionState::kErrorExit);
  EXPECT_FALSE(session_->Input("x"));
  EXPECT_EQ(terminal_.Output(), protocol::kPortDisconnect);
}

TEST_F(SessionMachineTest, ThePasswordIsEchoedAsStarsEvenWhenTypedAhead) {
  KnownUser();
  terminal_.SetEcho(true);
  Type("\r");
  terminal_.Output();
  Type("tester\rsecx\bret\r");
  const std::string out = terminal_.Output();
  EXPECT_EQ(out.rfind("tester\r\n****\b \b***\r\n", 0), 0u) << out;
  EXPECT_EQ(terminal_.State(), SessionState::kTcl);
  EXPECT_EQ(out.find("secret"), std::string::npos);
}

TEST_F(SessionMachineTest, LinesAreTakenOnlyAtThePromptAndAFailureIsTold) {
  KnownUser();
  Type("\r");
  Type("tester\rsecret\r");
  terminal_.Output();
  // Pasted lines are each answered, in order; the recall character runs the last again.
  Type("WHO\r\xFF\rEXIT\r");
  const std::string out = terminal_.Output();
  const std::string who = "\r\n" + login_.UserInst() + " dm\r\n:";
  EXPECT_EQ(out, who + who + std::string(protocol::kPortDisconnect) + "\r\n:");
  // A program's state takes no line: its IInput reads the type-ahead.
  terminal_.SetState(SessionState::kVerb);
  Type("for the program\r");
  EXPECT_EQ(terminal_.TypeAhead(), "for the program\r");
  EXPECT_EQ(terminal_.Output(), "");
  // A failure on the way is said, and the session goes on.
  terminal_.SetState(SessionState::kTcl);
  terminal_.FailFiling(true);
  EXPECT_TRUE(session_->Input("x"));
  EXPECT_EQ(terminal_.Output(), "ERROR: [440] the terminal broke\r\n:");
  EXPECT_EQ(session_->ErrorDetail(), "[440] the terminal broke");
}

TEST_F(SessionMachineTest, InputNotToBeEchoedIsNotWhateverTheEchoSwitchSays) {
  KnownUser();
  Type("\r");
  Type("tester\rsecret\r");
  terminal_.SetEcho(true);
  terminal_.Output();
  const std::string who = "\r\n" + login_.UserInst() + " dm\r\n:";
  Type("WHO\r");
  EXPECT_EQ(terminal_.Output(), "WHO\r\n" + who);
  // A reply its host shows itself: only the answer comes back, whatever the reply holds.
  session_->Input("WHO\r", false);
  EXPECT_EQ(terminal_.Output(), who);
  terminal_.SetState(SessionState::kVerb);
  session_->Input("Spring<MSGBOX>\r", false);
  EXPECT_EQ(terminal_.Output(), "");
  EXPECT_EQ(terminal_.TypeAhead(), "Spring<MSGBOX>\r") << "and it reaches the program all the same";
}

TEST_F(SessionMachineTest, SentencesAnswerWithoutATerminal) {
  std::string sentence = "  TERM vbgui ; ";
  EXPECT_EQ(session_->ExecutePS(sentence), "OK");
  EXPECT_EQ(sentence, "TERM vbgui");
  EXPECT_EQ(session_->TermType(), "VBGUI");
  sentence = "ECHO maybe";
  EXPECT_EQ(session_->ExecutePS(sentence), "ERROR");
  EXPECT_EQ(session_->ErrorDetail(), "[961] syntax error in ECHO ON|OFF");
  sentence = "ECHO ON";
  EXPECT_EQ(session_->ExecutePS(sentence), "OK");
  EXPECT_TRUE(terminal_.EchoOn());
  sentence = "PRINTER SIDEWAYS";
  EXPECT_EQ(session_->ExecutePS(sentence), "ERROR");
  EXPECT_EQ(session_->ErrorDetail(), "[975] syntax error in PRINTER ON|OFF|CLOSE");
  // Nothing is connected: a statement says so.
  sentence = "UPDATE t SET A1 = 1";
  EXPECT_EQ(session_->ExecutePS(sentence), "ERROR");
  EXPECT_EQ(session_->ErrorDetail(), "[3704] Operation is not allowed when the object is closed.");
  EXPECT_EQ(terminal_.Output(), "");
}

}  // namespace
}  // namespace orvik
