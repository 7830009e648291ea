// The session input: every piece of input a host gives the port enters here. It echoes the
// input, files it in the type-ahead, and acts on it by the session state: the login
// dialogue, the paging keys, one TCL line at a time, or nothing while a program runs.

#include <chrono>

#include "port.h"
#include "vb_error.h"

namespace orvik {
namespace {

constexpr char kCr = '\r';
constexpr char kBs = '\b';

bool IsEnter(std::string_view s) { return s == "\r" || s == kCrLf; }

// Refused logins a session allows before it ends.
constexpr int kMaxRefusedLogins = 5;

// The password prompt shows one "*" per character; Enter moves to a new line and a
// Backspace rubs out the star of the character it removes.
std::string MaskedEcho(std::string_view s, std::size_t typedAhead) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == kCr) {
      out.append(kCrLf);
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
      typedAhead = 0;
    } else if (c == kBs) {
      if (typedAhead > 0) {
        out.append("\b \b");
        --typedAhead;
      }
    } else if (c != '\n') {
      out.push_back('*');
      ++typedAhead;
    }
  }
  return out;
}

// The position after the first line ending (CR, or CR LF) of s.
std::size_t LineEnd(std::string_view s) {
  std::size_t end = s.find(kCr) + 1;
  if (end < s.size() && s[end] == '\n') ++end;
  return end;
}

}  // namespace

bool Port::SessionInput(std::string_view s) {
  const SessionState state = terminal_.State();
  const std::string typed = terminal_.TypeAhead();

  // 1. Echo.
  if (terminal_.EchoOn()) {
    if (state == SessionState::kPasswordPrompt) {
      SendResponse(IsEnter(s) ? std::string(kCrLf) : MaskedEcho(s, typed.size()));
    } else if (state == SessionState::kUserPrompt && s.find(kCr) != std::string_view::npos &&
               LineEnd(s) < s.size()) {
      // A password typed ahead on the user-name line is shown as stars, never in clear.
      SendResponse(std::string(s.substr(0, s.find(kCr))) + std::string(kCrLf) +
                   MaskedEcho(s.substr(LineEnd(s)), 0));
    } else if (s.size() == 1 && s[0] == kBs) {
      if (!typed.empty()) SendResponse("\b \b");
    } else if (s.size() == 1 && s[0] == kItemLockMark && state == SessionState::kTcl) {
      SendResponse(lastSentence_ + std::string(kCrLf));
    } else if (terminal_.NoNewLine()) {
      if (!IsEnter(s)) SendResponse(s);
    } else {
      SendResponse(s == "\r" ? kCrLf : s);
    }
  }

  // 2. The paging states take the key itself.
  if (AwaitsKey(state)) {
    if (state != SessionState::kTclPage) terminal_.ClearTypeAhead();
    PagingInput(state, s);
    return TakeWaitingLines();
  }

  // 3. File the input.
  if (!terminal_.FileInput(s)) {
    SendResponse(std::string(kCrLf) + "[982] Input line longer than " +
                 std::to_string(kMaxInputLine) + " characters; it was discarded" +
                 std::string(kCrLf));
  }

  // 4. By state.
  if (state == SessionState::kVerb) return true;  // the running program's IInput takes it
  if (state == SessionState::kStartup) {
    terminal_.ClearTypeAhead();
    SendResponse(std::string(kCrLf) + "======== OrvikEngine 1.2 Please Login =========" +
                 std::string(kCrLf) + std::string(kCrLf) + "username: ");
    terminal_.SetState(SessionState::kUserPrompt);
    return true;
  }
  if (state == SessionState::kErrorExit) {
    SendResponse(kPortDisconnect);
    return false;
  }
  return TakeWaitingLines();
}

bool Port::TakeWaitingLines() {
  for (;;) {
    const SessionState state = terminal_.State();
    if (state == SessionState::kTcl && !pendingStartup_.empty()) {
      // The user's start-up sentences come before anything typed.
      const std::string sentence = std::move(pendingStartup_.front());
      pendingStartup_.pop_front();
      terminal_.SetState(SessionState::kVerb);
      RunTclVerb(sentence);
      lastSentence_ = sentence;
      continue;
    }
    // These states leave the type-ahead alone: a program reads it, or a key is awaited.
    if (state == SessionState::kVerb || state == SessionState::kStartup ||
        state == SessionState::kErrorExit || AwaitsKey(state) || Aborted())
      return true;
    std::optional<std::string> line = terminal_.TakeLine();
    if (!line) return true;
    if (!SessionLine(state, std::move(*line))) return false;
  }
}

bool Port::SessionLine(SessionState state, std::string line) {
  if (state == SessionState::kUserPrompt) {
    account_.SetLoginUser(LowerCase(line));
    terminal_.SetState(SessionState::kPasswordPrompt);
    SendResponse(std::string(kCrLf) + "password: ");
  } else if (state == SessionState::kPasswordPrompt) {
    account_.SetLoginPassword(LowerCase(line));
    LogIn();
    if (terminal_.State() == SessionState::kErrorExit && refusedLogins_ >= kMaxRefusedLogins)
      return false;
  } else if (state == SessionState::kTcl) {
    terminal_.SetState(SessionState::kVerb);
    if (line.size() == 1 && line[0] == kItemLockMark) line = lastSentence_;
    RunTclVerb(line);
    lastSentence_ = line;
  }
  // Any other state takes no line: it is dropped.
  return true;
}

void Port::LogIn() {
  const std::string crlf(kCrLf);
  if (!ConnectAccount("dm")) {
    SendResponse(crlf + crlf + errorDetail_ + crlf + crlf);
    for (const char* row : {"!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!",
                            "!      ERROR: Can not connect....                 !",
                            "!      Session therefore can not start.           !",
                            "!      Please report this to your systems people. !",
                            "!      Please now press any key to exit.          !",
                            "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!"}) {
      SendResponse(std::string(row) + crlf);
    }
    terminal_.SetState(SessionState::kErrorExit);
    return;
  }
  errorDetail_.clear();
  bool accepted = false;
  try {
    accepted = ValidateLogin();
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
  }
  if (loginTried_) loginTried_(account_.LoginUser(), accepted);
  if (!accepted) {
    const std::string reason = errorDetail_;
    if (!AfterRefusedLogin()) {
      SendResponse(crlf + crlf + "ERROR: Login not valid" + crlf + reason + crlf +
                   "[983] Too many failed logins; the session ends" + crlf +
                   std::string(kPortDisconnect));
      terminal_.SetState(SessionState::kErrorExit);
      return;
    }
    SendResponse(crlf + crlf + "ERROR: Login not valid" + crlf + reason + crlf +
                 "Please try again or check with your systems people" + crlf + crlf + "username: ");
    terminal_.SetState(SessionState::kUserPrompt);
    return;
  }
  refusedLogins_ = 0;
  const std::string stars(74, '*');
  SendResponse(crlf + crlf + stars + crlf +
               "*                  Welcome to OrvikEngine                                *" + crlf +
               stars + crlf + crlf + crlf + ":");
  terminal_.SetState(SessionState::kTcl);

  pendingStartup_.clear();
  for (std::size_t column = 12; column <= 17; ++column) {
    std::string sentence = login_.Column(column);
    if (sentence.empty()) break;
    pendingStartup_.push_back(std::move(sentence));
  }
  // The caller takes the waiting lines next, and the start-up sentences first among them.
}

bool Port::AfterRefusedLogin() {
  ++refusedLogins_;
  if (refusedLogins_ >= kMaxRefusedLogins) return false;
  // A typing mistake is answered at once; every further guess waits twice as long.
  if (refusedLogins_ > 1) {
    const auto delay = std::chrono::seconds(1 << (refusedLogins_ - 2));
    stop_->Wait(SteadyClock::now() + delay);
  }
  return !Aborted();
}

}  // namespace orvik
