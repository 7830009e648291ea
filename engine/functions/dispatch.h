// Call-by-name: how scripts, plugins and converted programs reach an object.
//
// Members are found by name without regard to case. Arguments are the caller's own
// Variants, so a member may write back to a by-reference parameter; an omitted optional
// argument is a Missing Variant.

#ifndef ORVIK_FUNCTIONS_DISPATCH_H_
#define ORVIK_FUNCTIONS_DISPATCH_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "variant.h"

namespace orvik {

class Dispatch {
 public:
  enum class CallType { Method, PropertyGet, PropertyLet };
  // What a name is. Script languages that tell reading a property from calling a method
  // (JavaScript) ask this; Unknown is treated as a method.
  enum class MemberKind { None, Method, Property, Unknown };

  virtual ~Dispatch() = default;

  // For PropertyLet the new value is the last argument. An unknown member raises 438.
  virtual Variant Invoke(std::string_view name, CallType type, std::span<Variant> args) = 0;

  // An object that cannot tell answers Unknown and lists no names.
  virtual MemberKind KindOf(std::string_view) { return MemberKind::Unknown; }
  // The members' names, as spelt by the object: what a script may use as global names.
  virtual std::vector<std::string> MemberNames() { return {}; }

  Variant Call(std::string_view name, std::span<Variant> args) {
    return Invoke(name, CallType::Method, args);
  }
  Variant Get(std::string_view name) { return Invoke(name, CallType::PropertyGet, {}); }
  void Let(std::string_view name, Variant value) {
    Invoke(name, CallType::PropertyLet, std::span<Variant>(&value, 1));
  }
};

// A member's view of its arguments, with the platform's conversions and errors.
class DispatchArgs {
 public:
  explicit DispatchArgs(std::span<Variant> args) : args_(args) {}

  std::size_t size() const { return args_.size(); }
  // Raises 450 unless min <= size() <= max.
  void Expect(std::size_t min, std::size_t max) const;

  // The caller's variable itself (by reference). Raises 449 past the end.
  Variant& Ref(std::size_t i);
  bool Present(std::size_t i) const { return i < args_.size() && !args_[i].IsMissing(); }
  // The argument, or Missing when it was left out.
  Variant Optional(std::size_t i) const {
    return i < args_.size() ? args_[i] : Variant::Missing();
  }

  std::string String(std::size_t i) const;
  std::int32_t Long(std::size_t i) const;
  // An optional Long: 0 when left out, as the platform passes omitted optional Longs.
  std::int32_t LongOr(std::size_t i, std::int32_t fallback) const;
  double Double(std::size_t i) const;
  bool Boolean(std::size_t i) const;
  std::span<Variant> Rest(std::size_t from) const;

 private:
  const Variant& Required(std::size_t i) const;
  std::span<Variant> args_;
};

// The name-to-member table of one class: built once, shared by every object of the class.
template <typename T>
class MemberTable {
 public:
  using Handler = std::function<Variant(T&, DispatchArgs&)>;
  using Setter = std::function<void(T&, DispatchArgs&)>;

  MemberTable& Method(std::string_view name, Handler h) {
    Entry& e = entries_[Key(name)];
    e.name = name;
    e.method = std::move(h);
    return *this;
  }
  // A property: the getter also answers a method call of the same name.
  MemberTable& Property(std::string_view name, Handler get, Setter let = nullptr) {
    Entry& e = entries_[Key(name)];
    e.name = name;
    e.property = true;
    e.method = std::move(get);
    e.let = std::move(let);
    return *this;
  }

  Variant Invoke(T& self, std::string_view name, Dispatch::CallType type,
                 std::span<Variant> args) const;
  bool Has(std::string_view name) const { return entries_.contains(Key(name)); }
  Dispatch::MemberKind Kind(std::string_view name) const {
    const auto it = entries_.find(Key(name));
    if (it == entries_.end()) return Dispatch::MemberKind::None;
    return it->second.property ? Dispatch::MemberKind::Property : Dispatch::MemberKind::Method;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& [key, e] : entries_) out.push_back(e.name);
    return out;
  }

 private:
  struct Entry {
    std::string name;
    bool property = false;
    Handler method;
    Setter let;
  };
  static std::string Key(std::string_view name);
  std::unordered_map<std::string, Entry> entries_;
};

// Defined out of line so that each use does not repeat the lookup logic.
std::string DispatchKey(std::string_view name);
[[noreturn]] void ThrowNoSuchMember();

template <typename T>
std::string MemberTable<T>::Key(std::string_view name) {
  return DispatchKey(name);
}

template <typename T>
Variant MemberTable<T>::Invoke(T& self, std::string_view name, Dispatch::CallType type,
                               std::span<Variant> args) const {
  const auto it = entries_.find(Key(name));
  if (it == entries_.end()) ThrowNoSuchMember();
  DispatchArgs a(args);
  if (type == Dispatch::CallType::PropertyLet) {
    if (!it->second.let) ThrowNoSuchMember();
    it->second.let(self, a);
    return {};
  }
  if (!it->second.method) ThrowNoSuchMember();
  return it->second.method(self, a);
}

}  // namespace orvik

#endif  // ORVIK_FUNCTIONS_DISPATCH_H_
