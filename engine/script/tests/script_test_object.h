// An object for the script engines' tests (a property, a property with an argument, a
// method that writes back to its argument, one that fails with a numbered error, and one
// that hands out another object), and a fixture of one language's host holding it.

#ifndef ORVIK_ENGINE_SCRIPT_TESTS_SCRIPT_TEST_OBJECT_H_
#define ORVIK_ENGINE_SCRIPT_TESTS_SCRIPT_TEST_OBJECT_H_

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "dispatch.h"
#include "script_host.h"
#include "vb_error.h"

namespace orvik::test_support {

class TestObject : public Dispatch, public std::enable_shared_from_this<TestObject> {
 public:
  std::string name = "start";
  std::map<std::string, std::string> items;
  int closes = 0;

  Variant Invoke(std::string_view member, CallType type, std::span<Variant> args) override {
    return Table().Invoke(*this, member, type, args);
  }
  MemberKind KindOf(std::string_view member) override { return Table().Kind(member); }
  std::vector<std::string> MemberNames() override { return Table().Names(); }

 private:
  static const MemberTable<TestObject>& Table() {
    static const MemberTable<TestObject> table = [] {
      MemberTable<TestObject> t;
      t.Property(
          "Name",
          [](TestObject& o, DispatchArgs& a) {
            a.Expect(0, 0);
            return Variant(o.name);
          },
          [](TestObject& o, DispatchArgs& a) {
            a.Expect(1, 1);
            o.name = a.String(0);
          });
      t.Property(
          "Item",
          [](TestObject& o, DispatchArgs& a) {
            a.Expect(1, 1);
            return Variant(o.items[a.String(0)]);
          },
          [](TestObject& o, DispatchArgs& a) {
            a.Expect(2, 2);
            o.items[a.String(0)] = a.String(1);
          });
      t.Method("Twice", [](TestObject&, DispatchArgs& a) {
        a.Expect(1, 1);
        return Variant(a.Long(0) * 2);
      });
      // Appends "!" to its argument and answers whether it did.
      t.Method("Shout", [](TestObject&, DispatchArgs& a) {
        a.Expect(1, 1);
        a.Ref(0) = Variant(a.Ref(0).ToString() + "!");
        return Variant(true);
      });
      t.Method("Fail", [](TestObject&, DispatchArgs& a) -> Variant {
        a.Expect(0, 0);
        throw VbError(920, "the member failed");
      });
      t.Method("Child", [](TestObject& o, DispatchArgs& a) {
        a.Expect(0, 0);
        auto child = std::make_shared<TestObject>();
        child->name = o.name + ".child";
        return Variant(std::static_pointer_cast<Dispatch>(child));
      });
      t.Method("NameOf", [](TestObject&, DispatchArgs& a) {
        a.Expect(1, 1);
        const Variant& v = a.Ref(0);
        if (!v.IsObject() || !v.ObjectRef()) throw VbError(vberr::kTypeMismatch);
        return v.ObjectRef()->Get("Name");
      });
      t.Method("TypeOf", [](TestObject&, DispatchArgs& a) {
        a.Expect(1, 1);
        return Variant(a.Ref(0).TypeName());
      });
      t.Method("Close", [](TestObject& o, DispatchArgs& a) {
        a.Expect(0, 0);
        ++o.closes;
        return Variant();
      });
      return t;
    }();
    return table;
  }
};

// A host of one language with the test object "Obj" added, and the errors its calls raise.
class ScriptHostTest : public ::testing::Test {
 protected:
  explicit ScriptHostTest(const char* language)
      : host_(ScriptHost::Create(language)), object_(std::make_shared<TestObject>()) {
    host_->AddObject("Obj", object_, true);
  }
  Variant Run(std::string_view procedure) { return host_->Run(procedure, {}); }
  // Loads `code` and returns the error it raises (number 0 when it raises none).
  ScriptError LoadError(std::string_view code) {
    try {
      host_->AddCode(code);
    } catch (const VbError& e) {
      EXPECT_EQ(e.number(), host_->Error().number);
      EXPECT_EQ(e.description(), host_->Error().description);
      return host_->Error();
    }
    return {};
  }
  // The errors of the procedures Member (a member's, at line 6) and Own (the script's own
  // numbered error, at line 9) that every language's error script defines.
  void ExpectMemberAndOwnErrors() {
    ScriptError e = RunError("Member");
    EXPECT_EQ(e.number, 920);
    EXPECT_EQ(e.description, "the member failed");
    EXPECT_EQ(e.line, 6);
    e = RunError("Own");
    EXPECT_EQ(e.number, 950);
    EXPECT_EQ(e.description, "own failure");
    EXPECT_EQ(e.line, 9);
  }
  // Runs what every language's test script defines for the test object (Go, Relabel,
  // Items, Children) and checks what reached it.
  void ExpectMembersReached() {
    EXPECT_EQ(Run("GO").ToLong(), 42);  // procedures are found without regard to case
    EXPECT_EQ(Run("Relabel").ToString(), "renamed");
    EXPECT_EQ(object_->name, "renamed");
    EXPECT_EQ(Run("Items").ToString(), "v");
    EXPECT_EQ(object_->items["k"], "v");
    EXPECT_EQ(Run("Children").ToString(), "renamed.child/renamed.child");
  }
  // The type names of the list `procedure` returns, each followed by a comma.
  std::string TypeNames(std::string_view procedure) {
    const Variant types = Run(procedure);
    std::string joined;
    for (const Variant& t : types.ArrayRef()) joined += t.ToString() + ",";
    return joined;
  }
  // Text is single-byte both ways: the script's Text procedure returns its argument, then
  // the letter 233 and the attribute mark, then the argument's length.
  void ExpectSingleByteText() {
    Variant arg[] = {
        Variant(std::string("a\xFD"
                            "b"))};
    EXPECT_EQ(host_->Run("Text", arg).ToString(),
              "a\xFD"
              "b\xE9\xFE"
              "3");
  }
  ScriptError RunError(std::string_view procedure) {
    try {
      Run(procedure);
    } catch (const VbError& e) {
      EXPECT_EQ(e.number(), host_->Error().number);
      return host_->Error();
    }
    return {};
  }

  std::unique_ptr<ScriptHost> host_;
  std::shared_ptr<TestObject> object_;
};

}  // namespace orvik::test_support

#endif  // ORVIK_ENGINE_SCRIPT_TESTS_SCRIPT_TEST_OBJECT_H_
