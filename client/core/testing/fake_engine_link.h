// An engine link for tests: what the client sends is kept, the output it takes is what the
// test queued.

#ifndef ORVIK_CLIENT_CORE_TESTING_FAKE_ENGINE_LINK_H_
#define ORVIK_CLIENT_CORE_TESTING_FAKE_ENGINE_LINK_H_

#include <string>
#include <vector>

#include "engine_link.h"

namespace orvik::client {

class FakeEngineLink : public EngineLink {
 public:
  void Send(const std::string& text) override {
    if (!released) sent.push_back(text);
  }
  std::string TakeOutput() override {
    std::string out;
    if (!released) out.swap(output);
    return out;
  }
  void Release() override { ++releases, released = true; }
  bool Released() const override { return released; }

  std::vector<std::string> sent;
  std::string output;  // what the next TakeOutput returns
  bool released = false;
  int releases = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTING_FAKE_ENGINE_LINK_H_
