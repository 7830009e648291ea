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
constexpr std::string_view kCrLf = "\r\n";

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
  const std::string state = msState();
  const std::string typed = TypeAhead();

  // 1. Echo.
  if (echoOn_) {
    if (state == "PASSWORDPROMPT") {
      SendResponse(IsEnter(s) ? std::string(kCrLf) : MaskedEcho(s, typed.size()));
    } else if (state == "USERPROMPT" && s.find(kCr) != std::string_view::npos &&
               LineEnd(s) < s.size()) {
      // A password typed ahead on the user-name line is shown as stars, never in clear.
      SendResponse(std::string(s.substr(0, s.find(kCr))) + std::string(kCrLf) +
                   MaskedEcho(s.substr(LineEnd(s)), 0));
    } else if (s.size() == 1 && s[0] == kBs) {
      if (!typed.empty()) SendResponse("\b \b");
    } else if (s.size() == 1 && s[0] == kItemLockMark && state == "TCL") {
      SendResponse(lastSentence_ + std::string(kCrLf));
    } else if (noNewLine_) {
      if (!IsEnter(s)) SendResponse(s);
    } else {
      SendResponse(s == "\r" ? kCrLf : s);
    }
  }

  // 2. The paging states take the key itself.
  if (state == "TCLPAGE" || state == "TCLQUERYVBGUI" || state == "TCLQUERYSHOW") {
    if (state != "TCLPAGE") {
      std::lock_guard lock(ioMutex_);
      typeAhead_.clear();
      ++inputVersion_;
    }
    PagingInput(state, s);
    return TakeWaitingLines();
  }

  // 3. File the input.
  if (!FileInput(s)) {
    SendResponse(std::string(kCrLf) + "[982] Input line longer than " +
                 std::to_string(kMaxInputLine) + " characters; it was discarded" +
                 std::string(kCrLf));
  }

  // 4. By state.
  if (state == "VERB") return true;  // the input waits for the running program's IInput
  if (state == "STARTUP") {
    {
      std::lock_guard lock(ioMutex_);
      typeAhead_.clear();
      ++inputVersion_;
    }
    SendResponse(std::string(kCrLf) + "======== OrvikEngine 1.2 Please Login =========" +
                 std::string(kCrLf) + std::string(kCrLf) + "username: ");
    SetMsState("USERPROMPT");
    return true;
  }
  if (state == "ERROR_EXIT") {
    SendResponse(kPortDisconnect);
    return false;
  }
  return TakeWaitingLines();
}

bool Port::TakeWaitingLines() {
  for (;;) {
    const std::string state = msState();
    if (state == "TCL" && !pendingStartup_.empty()) {
      // The user's start-up sentences come before anything typed.
      const std::string sentence = std::move(pendingStartup_.front());
      pendingStartup_.pop_front();
      SetMsState("VERB");
      RunTclVerb(sentence);
      lastSentence_ = sentence;
      continue;
    }
    // These states leave the type-ahead alone: a program reads it, or a key is awaited.
    if (state == "VERB" || state == "STARTUP" || state == "ERROR_EXIT" || state == "TCLPAGE" ||
        state == "TCLQUERYVBGUI" || state == "TCLQUERYSHOW" || Aborted())
      return true;
    std::optional<std::string> line = TakeLine();
    if (!line) return true;
    if (!SessionLine(state, std::move(*line))) return false;
  }
}

std::optional<std::string> Port::TakeLine() {
  std::lock_guard lock(ioMutex_);
  const std::size_t cr = typeAhead_.find(kCr);
  if (cr == std::string::npos) return std::nullopt;
  std::string line = typeAhead_.substr(0, cr);
  typeAhead_.erase(0, cr + 1);
  ++inputVersion_;
  return line;
}

bool Port::SessionLine(const std::string& state, std::string line) {
  if (state == "USERPROMPT") {
    account_.SetLoginUser(LowerCase(line));
    SetMsState("PASSWORDPROMPT");
    SendResponse(std::string(kCrLf) + "password: ");
  } else if (state == "PASSWORDPROMPT") {
    account_.SetLoginPassword(LowerCase(line));
    LogIn();
    if (msState() == "ERROR_EXIT" && refusedLogins_ >= kMaxRefusedLogins) return false;
  } else if (state == "TCL") {
    SetMsState("VERB");
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
    SetMsState("ERROR_EXIT");
    return;
  }
  errorDetail_.clear();
  bool accepted = false;
  try {
    accepted = ValidateLogin();
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
  }
  if (hooks_.loginTried) hooks_.loginTried(account_.LoginUser(), accepted);
  if (!accepted) {
    const std::string reason = errorDetail_;
    if (!AfterRefusedLogin()) {
      SendResponse(crlf + crlf + "ERROR: Login not valid" + crlf + reason + crlf +
                   "[983] Too many failed logins; the session ends" + crlf +
                   std::string(kPortDisconnect));
      SetMsState("ERROR_EXIT");
      return;
    }
    SendResponse(crlf + crlf + "ERROR: Login not valid" + crlf + reason + crlf +
                 "Please try again or check with your systems people" + crlf + crlf + "username: ");
    SetMsState("USERPROMPT");
    return;
  }
  refusedLogins_ = 0;
  const std::string stars(74, '*');
  SendResponse(crlf + crlf + stars + crlf +
               "*                  Welcome to OrvikEngine                                *" + crlf +
               stars + crlf + crlf + crlf + ":");
  SetMsState("TCL");

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

bool Port::FileInput(std::string_view s) {
  std::lock_guard lock(ioMutex_);
  if (discardingLine_) {
    // The rest of a line already refused goes, up to its end.
    const std::size_t cr = s.find(kCr);
    if (cr == std::string_view::npos) return true;
    discardingLine_ = false;
    s.remove_prefix(cr);
  }
  if (s.find(kBs) != std::string_view::npos) {
    for (char c : s) {
      if (c != kBs) {
        typeAhead_.push_back(c);
      } else if (!typeAhead_.empty()) {
        typeAhead_.pop_back();
      }
    }
  } else {
    typeAhead_.append(s);
  }
  // Lines end in CR alone from here on, whatever the terminal sent.
  for (std::size_t p = typeAhead_.find(kCrLf); p != std::string::npos;
       p = typeAhead_.find(kCrLf, p)) {
    typeAhead_.erase(p + 1, 1);
    ++p;
  }
  ++inputVersion_;
  // A line that never ends would fill the session; a program that reads by length, or
  // is busy, owns its input and is left alone.
  const bool readsLines = msState_ != "VERB" || (inputPending_ && lineInput_);
  const std::size_t lineStart = typeAhead_.rfind(kCr) + 1;  // 0 when there is no CR
  if (readsLines && typeAhead_.size() - lineStart > kMaxInputLine) {
    typeAhead_.resize(lineStart);
    discardingLine_ = true;
    return false;
  }
  return true;
}

}  // namespace orvik
