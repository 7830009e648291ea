// A terminal for tests of the session machine and the pager: it keeps what is written and
// a type-ahead, and can be told to fail as a terminal never should.

#ifndef ORVIK_ENGINE_SESSION_TESTS_FAKE_TERMINAL_H_
#define ORVIK_ENGINE_SESSION_TESTS_FAKE_TERMINAL_H_

#include <stdexcept>
#include <string>

#include "session_state.h"
#include "terminal_io.h"

namespace orvik::test_support {

class FakeTerminal : public TerminalIo {
 public:
  SessionState State() const override { return StateNamed(state_); }
  std::string StateText() const override { return state_; }
  void SetState(SessionState state) override { state_ = std::string(StateName(state)); }

  void Send(std::string_view text) override { output_.append(text); }
  bool EchoOn() const override { return echo_; }
  void SetEcho(bool on) override { echo_ = on; }
  bool NoNewLine() const override { return false; }

  std::string TypeAhead() const override { return typeAhead_; }
  void ClearTypeAhead() override { typeAhead_.clear(); }
  bool FileInput(std::string_view text) override {
    if (failFiling_) throw std::runtime_error("the terminal broke");
    for (char c : text) {
      if (c == '\b') {
        if (!typeAhead_.empty()) typeAhead_.pop_back();
      } else if (c != '\n') {
        typeAhead_.push_back(c);
      }
    }
    return true;
  }
  std::optional<std::string> TakeLine() override {
    const std::size_t cr = typeAhead_.find('\r');
    if (cr == std::string::npos) return std::nullopt;
    std::string line = typeAhead_.substr(0, cr);
    typeAhead_.erase(0, cr + 1);
    return line;
  }

  // What was written since the last call.
  std::string Output() { return std::exchange(output_, {}); }
  void FailFiling(bool fail) { failFiling_ = fail; }

 private:
  std::string state_ = "STARTUP";
  std::string output_;
  std::string typeAhead_;
  bool echo_ = false;
  bool failFiling_ = false;
};

}  // namespace orvik::test_support

#endif  // ORVIK_ENGINE_SESSION_TESTS_FAKE_TERMINAL_H_
