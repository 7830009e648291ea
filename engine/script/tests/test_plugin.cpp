// A plugin application for the tests. "Test.App" greets with its arguments, reads a line
// through its CallBack and echoes it; "Test.App" also has a failing method and a method
// that runs a procedure of a script through XRun. "Test.Plain" has no CmdSentence.

#include <stdexcept>
#include <string>

#include "orvik_plugin.h"
#include "text.h"
#include "vb_error.h"

namespace {

using orvik::Dispatch;
using orvik::Variant;
using orvik::VbError;

class TestApp : public Dispatch {
 public:
  explicit TestApp(bool takesSentence) : takesSentence_(takesSentence) {}

  Variant Invoke(std::string_view name, CallType type, std::span<Variant> args) override {
    const auto is = [&](std::string_view n) { return orvik::EqualsNoCase(name, n); };
    if (is("CallBack")) {
      if (type == CallType::PropertyLet) {
        orvik::DispatchArgs a(args);
        a.Expect(1, 1);
        port_ = a.Ref(0).ObjectRef();
        return {};
      }
      return Variant(port_);
    }
    if (is("CmdSentence") && takesSentence_) {
      if (type == CallType::PropertyLet) {
        orvik::DispatchArgs a(args);
        a.Expect(1, 1);
        sentence_ = a.String(0);
        return {};
      }
      return Variant(sentence_);
    }
    if (type == CallType::PropertyLet) throw VbError(orvik::vberr::kNoSuchMember);
    if (is("Greet")) {
      Say("args=" + sentence_);
      Variant read[] = {Variant()};
      Port().Call("IInput", read);
      Say("got " + read[0].ToString());
      return {};
    }
    if (is("Fail")) throw VbError(920, "the application failed");
    if (is("Crash")) throw std::runtime_error("not a platform error");
    if (is("Main")) {
      Say("main ran");
      return {};
    }
    if (is("RunScript")) {
      // A nested procedure with two arguments, one of them written back.
      Variant call[] = {Variant(sentence_), Variant(20), Variant(22)};
      const Variant sum = Port().Call("XRun", call);
      Say("sum=" + sum.ToString() + " second=" + call[2].ToString());
      return {};
    }
    if (is("CallBackClose")) {
      Say("closed");
      return {};
    }
    throw VbError(orvik::vberr::kNoSuchMember);
  }

 private:
  Dispatch& Port() {
    if (!port_) throw VbError(orvik::vberr::kObjectVariableNotSet);
    return *port_;
  }
  void Say(const std::string& text) {
    Variant args[] = {Variant(text)};
    Port().Call("CRT", args);
  }

  bool takesSentence_;
  std::shared_ptr<Dispatch> port_;
  std::string sentence_;
};

}  // namespace

extern "C" int OrvikPluginAbiVersion(void) { return ORVIK_PLUGIN_ABI_VERSION; }

extern "C" orvik::Dispatch* OrvikCreateObject(const char* progId) {
  const std::string id = progId != nullptr ? progId : "";
  if (orvik::EqualsNoCase(id, "Test.App")) return new TestApp(true);
  if (orvik::EqualsNoCase(id, "Test.Plain")) return new TestApp(false);
  return nullptr;
}
