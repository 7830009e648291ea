// An engine link for tests: what the client sends is kept, with whether the session was to
// echo it; the output it takes is what the test queued; the session hangs up when the test
// says so.

#ifndef ORVIK_CLIENT_CORE_TESTING_FAKE_ENGINE_LINK_H_
#define ORVIK_CLIENT_CORE_TESTING_FAKE_ENGINE_LINK_H_

#include <string>
#include <vector>

#include "engine_link.h"

namespace orvik::client {

class FakeEngineLink : public EngineLink {
 public:
  void Send(const std::string& text, bool echo) override {
    if (released) return;
    sent.push_back(text);
    echoed.push_back(echo);
  }
  std::string TakeOutput() override {
    std::string out;
    if (!released) out.swap(output);
    return out;
  }
  bool HungUp() const override { return hungUp; }
  void Release() override { ++releases, released = true; }
  bool Released() const override { return released; }

  std::vector<std::string> sent;
  std::vector<bool> echoed;  // for each text sent
  std::string output;        // what the next TakeOutput returns
  bool hungUp = false;
  bool released = false;
  int releases = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTING_FAKE_ENGINE_LINK_H_
