// The login dialogue: the wait for the login's turn (longer after each refused login), the
// account connection to the system account, the check of the name and password typed, the
// answers to a refused login and to an accepted one, and the user's start-up sentences.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>

#include "layout.h"
#include "screen_markup.h"
#include "session.h"

namespace orvik {

void Session::LogIn() {
  TerminalIo& terminal = parts_.terminal;
  const std::string crlf(kCrLf);
  // Woken from another session's thread when this login's place in line may have changed.
  auto woken = std::make_shared<std::atomic<bool>>(false);
  LoginTurn turn(*loginPace_, SteadyClock::now(), [woken, stop = parts_.stop.shared_from_this()] {
    woken->store(true);
    stop->Notify();
  });
  if (!AwaitLoginTurn(turn, *woken)) return;
  if (!Note(parts_.account.Connect(std::string(kSystemAccount)))) {
    // On a server the connection is made with the name and password typed: this is where
    // a wrong password is refused.
    turn.Answered(false);
    if (loginTried_) loginTried_(parts_.account.LoginUser(), false);
    terminal.Send(crlf + crlf + errorDetail_ + crlf + crlf);
    for (const char* row : {"!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!",
                            "!      ERROR: Can not connect....                 !",
                            "!      Session therefore can not start.           !",
                            "!      Please report this to your systems people. !",
                            "!      Please now press any key to exit.          !",
                            "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!"}) {
      terminal.Send(std::string(row) + crlf);
    }
    terminal.SetState(SessionState::kErrorExit);
    return;
  }
  Status validated;
  try {
    validated = parts_.login.Validate(terminal.StateText());
  } catch (...) {
    validated = Status::OfCurrentException();
  }
  const bool accepted = Report(validated);
  turn.Answered(accepted);
  if (loginTried_) loginTried_(parts_.account.LoginUser(), accepted);
  if (!accepted) {
    const std::string reason = errorDetail_;
    if (!AfterRefusedLogin()) {
      terminal.Send(crlf + crlf + "ERROR: Login not valid" + crlf + reason + crlf +
                    "[983] Too many failed logins; the session ends" + crlf +
                    std::string(protocol::kPortDisconnect));
      terminal.SetState(SessionState::kErrorExit);
      return;
    }
    terminal.Send(crlf + crlf + "ERROR: Login not valid" + crlf + reason + crlf +
                  "Please try again or check with your systems people" + crlf + crlf +
                  "username: ");
    terminal.SetState(SessionState::kUserPrompt);
    return;
  }
  refusedLogins_ = 0;
  const std::string stars(74, '*');
  terminal.Send(crlf + crlf + stars + crlf +
                "*                  Welcome to OrvikEngine                                *" +
                crlf + stars + crlf + crlf + crlf + ":");
  terminal.SetState(SessionState::kTcl);

  pendingStartup_.clear();
  for (std::size_t column = 12; column <= 17; ++column) {
    std::string sentence = parts_.login.Column(column);
    if (sentence.empty()) break;
    pendingStartup_.push_back(std::move(sentence));
  }
  // The caller takes the waiting lines next, and the start-up sentences first among them.
}

bool Session::AwaitLoginTurn(const LoginTurn& turn, std::atomic<bool>& woken) {
  // Wakes come with every change in line; the looks between them are only a safeguard.
  constexpr auto kLookAgain = std::chrono::seconds(1);
  bool told = false;
  for (;;) {
    const SteadyClock::time_point now = SteadyClock::now();
    const LoginStanding standing = turn.Look(now);
    if (standing.mayCheck) break;
    SteadyClock::time_point until = now + kLookAgain;
    if (standing.expected && *standing.expected > now) {
      until = std::min(until, *standing.expected);
      if (!told) {
        told = true;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*standing.expected - now);
        const auto seconds = std::chrono::ceil<std::chrono::seconds>(wait).count();
        parts_.terminal.Send(std::string(kCrLf) + "Too many failed logins: please wait " +
                             std::to_string(seconds) + (seconds == 1 ? " second" : " seconds"));
        if (loginWaits_) loginWaits_(parts_.account.LoginUser(), wait);
      }
    }
    parts_.stop.Wait(until, [&woken] { return woken.exchange(false); });
    if (parts_.stop.Thrown()) break;
  }
  return !parts_.stop.Thrown();
}

bool Session::AfterRefusedLogin() {
  ++refusedLogins_;
  return refusedLogins_ < kMaxRefusedLogins;
}

}  // namespace orvik
