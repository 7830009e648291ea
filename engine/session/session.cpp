// The session input: every piece of input a host gives the port enters here. It echoes the
// input, files it in the type-ahead, and acts on it by the session state: the login
// dialogue, the paging keys, one TCL line at a time, or nothing while a program runs.

#include "session.h"

#include "screen_markup.h"
#include "terminal.h"
#include "terminal_tags.h"
#include "text.h"

namespace orvik {
namespace {

constexpr char kCr = '\r';
constexpr char kBs = '\b';

bool IsEnter(std::string_view s) { return s == "\r" || s == kCrLf; }

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

// `s` with each line end in it (CR, or CR LF) shown as `lineEnd`: a line that arrives whole,
// pasted or sent with its Enter, moves to a new line as one typed key by key does, so that the
// answer does not overwrite it.
std::string EchoedLineEnds(std::string_view s, std::string_view lineEnd) {
  if (s.find(kCr) == std::string_view::npos) return std::string(s);
  std::string out;
  out.reserve(s.size() + 8);
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != kCr) {
      out.push_back(s[i]);
      continue;
    }
    out.append(lineEnd);
    if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
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

Session::Session(Parts parts)
    : parts_(parts),
      pager_(parts.terminal),
      xCommon_(std::make_shared<Dictionary>(Dictionary::CompareMode::Text)) {
  // A programmatic SELECT's result starts as a two-dimensional array of one element.
  selectArray_ = Variant(VariantArray{Variant(VariantArray{Variant("")})});
}

bool Session::Report(const Status& outcome) {
  errorDetail_ = outcome.Message();
  return outcome.ok();
}

bool Session::Note(const Status& outcome) {
  if (!outcome.ok()) errorDetail_ = outcome.Message();
  return outcome.ok();
}

void Session::SetTermType(std::string_view type) { termType_ = UpperCase(TrimBlanks(type)); }

std::string Session::TTag(std::int32_t x, std::int32_t y) const {
  return TerminalTag(termType_, x, y);
}

void Session::Echo(SessionState state, std::string_view s, std::string_view typed) {
  TerminalIo& terminal = parts_.terminal;
  if (state == SessionState::kPasswordPrompt) {
    terminal.Send(IsEnter(s) ? std::string(kCrLf) : MaskedEcho(s, typed.size()));
  } else if (state == SessionState::kUserPrompt && s.find(kCr) != std::string_view::npos &&
             LineEnd(s) < s.size()) {
    // A password typed ahead on the user-name line is shown as stars, never in clear.
    terminal.Send(std::string(s.substr(0, s.find(kCr))) + std::string(kCrLf) +
                  MaskedEcho(s.substr(LineEnd(s)), 0));
  } else if (s.size() == 1 && s[0] == kBs) {
    if (!typed.empty()) terminal.Send("\b \b");
  } else if (s.size() == 1 && s[0] == kItemLockMark && state == SessionState::kTcl) {
    terminal.Send(lastSentence_ + std::string(kCrLf));
  } else if (terminal.NoNewLine()) {
    if (!IsEnter(s)) terminal.Send(EchoedLineEnds(s, ""));
  } else {
    terminal.Send(EchoedLineEnds(s, kCrLf));
  }
}

bool Session::Input(std::string_view s, bool echoed) {
  try {
    return TakeInput(s, echoed);
  } catch (...) {
    Failed(Status::OfCurrentException());
    return true;
  }
}

void Session::Failed(const Status& failure) {
  TerminalIo& terminal = parts_.terminal;
  errorDetail_ = failure.Message();
  std::string text = "ERROR: " + errorDetail_ + std::string(kCrLf);
  if (AwaitsKey(terminal.State())) terminal.SetState(SessionState::kTcl);
  if (terminal.State() == SessionState::kTcl) text += ":";
  terminal.Send(termType_ == "VBGUI" ? TerminalFrame(text) : text);
}

bool Session::TakeInput(std::string_view s, bool echoed) {
  TerminalIo& terminal = parts_.terminal;
  const SessionState state = terminal.State();

  // 1. Echo.
  if (echoed && terminal.EchoOn()) Echo(state, s, terminal.TypeAhead());

  // 2. The paging states take the key itself.
  if (AwaitsKey(state)) {
    if (state != SessionState::kTclPage) terminal.ClearTypeAhead();
    pager_.Key(state, s);
    return TakeWaitingLines();
  }

  // 3. File the input.
  if (!terminal.FileInput(s)) terminal.Send(Terminal::LineRefusedNotice());

  // 4. By state.
  if (state == SessionState::kVerb) return true;  // the running program's IInput takes it
  if (state == SessionState::kStartup) {
    terminal.ClearTypeAhead();
    terminal.Send(std::string(kCrLf) + "======== OrvikEngine 1.2 Please Login =========" +
                  std::string(kCrLf) + std::string(kCrLf) + "username: ");
    terminal.SetState(SessionState::kUserPrompt);
    return true;
  }
  if (state == SessionState::kErrorExit) {
    terminal.Send(protocol::kPortDisconnect);
    return false;
  }
  return TakeWaitingLines();
}

bool Session::TakeWaitingLines() {
  TerminalIo& terminal = parts_.terminal;
  for (;;) {
    const SessionState state = terminal.State();
    if (state == SessionState::kTcl && !pendingStartup_.empty()) {
      // The user's start-up sentences come before anything typed.
      const std::string sentence = std::move(pendingStartup_.front());
      pendingStartup_.pop_front();
      terminal.SetState(SessionState::kVerb);
      RunTclVerb(sentence);
      lastSentence_ = sentence;
      continue;
    }
    // These states leave the type-ahead alone: a program reads it, or a key is awaited.
    if (state == SessionState::kVerb || state == SessionState::kStartup ||
        state == SessionState::kErrorExit || AwaitsKey(state) || parts_.stop.Thrown())
      return true;
    std::optional<std::string> line = terminal.TakeLine();
    if (!line) return true;
    if (!Line(state, std::move(*line))) return false;
  }
}

bool Session::Line(SessionState state, std::string line) {
  TerminalIo& terminal = parts_.terminal;
  if (state == SessionState::kUserPrompt) {
    parts_.account.SetLoginUser(LowerCase(line));
    terminal.SetState(SessionState::kPasswordPrompt);
    terminal.Send(std::string(kCrLf) + "password: ");
  } else if (state == SessionState::kPasswordPrompt) {
    parts_.account.SetLoginPassword(LowerCase(line));
    LogIn();
    if (terminal.State() == SessionState::kErrorExit && refusedLogins_ >= kMaxRefusedLogins)
      return false;
  } else if (state == SessionState::kTcl) {
    terminal.SetState(SessionState::kVerb);
    if (line.size() == 1 && line[0] == kItemLockMark) line = lastSentence_;
    RunTclVerb(line);
    lastSentence_ = line;
  }
  // Any other state takes no line: it is dropped.
  return true;
}

void Session::HoldLost() {
  TerminalIo& terminal = parts_.terminal;
  const std::string crlf(kCrLf);
  terminal.Send(crlf + "[" + std::to_string(dberr::kSessionLost) + "] " +
                std::string(kSessionLostText) + crlf);
  terminal.Send(protocol::kPortDisconnect);
}

}  // namespace orvik
