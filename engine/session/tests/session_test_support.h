// A terminal for session tests: input through RequestA, output through the response
// handler, as the client drives a port.

#ifndef ORVIK_ENGINE_SESSION_TESTS_SESSION_TEST_SUPPORT_H_
#define ORVIK_ENGINE_SESSION_TESTS_SESSION_TEST_SUPPORT_H_

#include <memory>
#include <string>
#include <string_view>

#include "port.h"

namespace orvik::test_support {

class Terminal {
 public:
  explicit Terminal(const std::string& home) : port_(Port::Create(home)) {
    port_->SetResponseHandler([this](std::string& s) { output_ += s; });
  }
  // Sends one piece of input; returns what the session wrote in answer.
  std::string Send(std::string_view text) {
    output_.clear();
    result_ = port_->RequestA(text);
    return output_;
  }
  std::string LogIn(const std::string& user, const std::string& password) {
    Send("\r");
    Send(user + "\r");
    return Send(password + "\r");
  }
  // Everything written since the last Send, also from timers and programs meanwhile.
  const std::string& Output() const { return output_; }
  Port& port() { return *port_; }
  bool result() const { return result_; }
  std::shared_ptr<Port>& handle() { return port_; }

 private:
  std::shared_ptr<Port> port_;
  std::string output_;
  bool result_ = true;
};

}  // namespace orvik::test_support

#endif  // ORVIK_ENGINE_SESSION_TESTS_SESSION_TEST_SUPPORT_H_
