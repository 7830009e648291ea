#include "dictionary.h"

#include "numbers.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {

// The index key: a kind letter, so that text and number keys never meet, then the key.
std::string Dictionary::Lookup(const Variant& key) const {
  std::string out;
  switch (key.type()) {
    case Variant::Type::String:
      out.push_back('s');
      out.append(mode_ == CompareMode::Text ? LowerCase(key.StringRef()) : key.StringRef());
      break;
    case Variant::Type::Empty:
      out.push_back('e');
      break;
    case Variant::Type::Null:
      throw VbError(vberr::kInvalidUseOfNull);
    case Variant::Type::Object:
      out.push_back('o');
      out.append(std::to_string(reinterpret_cast<std::uintptr_t>(key.ObjectRef().get())));
      break;
    case Variant::Type::Array:
    case Variant::Type::Missing:
      throw VbError(vberr::kTypeMismatch);
    default:
      out.push_back('n');
      out.append(FormatDouble(key.ToDouble()));
  }
  return out;
}

void Dictionary::SetCompareMode(CompareMode mode) {
  if (!entries_.empty() && mode != mode_) throw VbError(vberr::kInvalidProcedureCall);
  mode_ = mode;
}

void Dictionary::Add(const Variant& key, Variant item) {
  std::string k = Lookup(key);
  if (index_.contains(k)) throw VbError(vberr::kDuplicateKey);
  entries_.emplace_back(key, std::move(item));
  index_.emplace(std::move(k), std::prev(entries_.end()));
}

bool Dictionary::Exists(const Variant& key) const { return index_.contains(Lookup(key)); }

const Variant* Dictionary::Find(const Variant& key) const {
  const auto it = index_.find(Lookup(key));
  return it == index_.end() ? nullptr : &it->second->second;
}

Variant& Dictionary::Item(const Variant& key) {
  std::string k = Lookup(key);
  auto it = index_.find(k);
  if (it == index_.end()) {
    entries_.emplace_back(key, Variant());
    it = index_.emplace(std::move(k), std::prev(entries_.end())).first;
  }
  return it->second->second;
}

void Dictionary::SetItem(const Variant& key, Variant item) { Item(key) = std::move(item); }

void Dictionary::Rename(const Variant& oldKey, const Variant& newKey) {
  const auto it = index_.find(Lookup(oldKey));
  if (it == index_.end()) throw VbError(vberr::kElementNotFound);
  std::string k = Lookup(newKey);
  if (index_.contains(k)) throw VbError(vberr::kDuplicateKey);
  auto entry = it->second;
  index_.erase(it);
  entry->first = newKey;
  index_.emplace(std::move(k), entry);
}

void Dictionary::Remove(const Variant& key) {
  const auto it = index_.find(Lookup(key));
  if (it == index_.end()) throw VbError(vberr::kElementNotFound);
  entries_.erase(it->second);
  index_.erase(it);
}

void Dictionary::RemoveAll() {
  entries_.clear();
  index_.clear();
}

VariantArray Dictionary::Keys() const {
  VariantArray out;
  out.reserve(entries_.size());
  for (const auto& e : entries_) out.push_back(e.first);
  return out;
}

VariantArray Dictionary::Items() const {
  VariantArray out;
  out.reserve(entries_.size());
  for (const auto& e : entries_) out.push_back(e.second);
  return out;
}

namespace {

const MemberTable<Dictionary>& DictionaryMembers() {
  static const MemberTable<Dictionary> table = [] {
    MemberTable<Dictionary> t;
    t.Method("Add", [](Dictionary& d, DispatchArgs& a) {
      a.Expect(2, 2);
      d.Add(a.Ref(0), a.Ref(1));
      return Variant();
    });
    t.Method("Exists", [](Dictionary& d, DispatchArgs& a) {
      a.Expect(1, 1);
      return Variant(d.Exists(a.Ref(0)));
    });
    t.Property(
        "Item",
        [](Dictionary& d, DispatchArgs& a) {
          a.Expect(1, 1);
          return d.Item(a.Ref(0));
        },
        [](Dictionary& d, DispatchArgs& a) {
          a.Expect(2, 2);
          d.SetItem(a.Ref(0), a.Ref(1));
        });
    t.Property("Key", nullptr, [](Dictionary& d, DispatchArgs& a) {
      a.Expect(2, 2);
      d.Rename(a.Ref(0), a.Ref(1));
    });
    t.Method("Remove", [](Dictionary& d, DispatchArgs& a) {
      a.Expect(1, 1);
      d.Remove(a.Ref(0));
      return Variant();
    });
    t.Method("RemoveAll", [](Dictionary& d, DispatchArgs& a) {
      a.Expect(0, 0);
      d.RemoveAll();
      return Variant();
    });
    t.Method("Keys", [](Dictionary& d, DispatchArgs& a) {
      a.Expect(0, 0);
      return Variant(d.Keys());
    });
    t.Method("Items", [](Dictionary& d, DispatchArgs& a) {
      a.Expect(0, 0);
      return Variant(d.Items());
    });
    t.Property("Count", [](Dictionary& d, DispatchArgs& a) {
      a.Expect(0, 0);
      return Variant(d.Count());
    });
    t.Property(
        "CompareMode",
        [](Dictionary& d, DispatchArgs& a) {
          a.Expect(0, 0);
          return Variant(static_cast<std::int32_t>(d.compareMode()));
        },
        [](Dictionary& d, DispatchArgs& a) {
          a.Expect(1, 1);
          const std::int32_t m = a.Long(0);
          if (m != 0 && m != 1) throw VbError(vberr::kInvalidProcedureCall);
          d.SetCompareMode(static_cast<Dictionary::CompareMode>(m));
        });
    return t;
  }();
  return table;
}

}  // namespace

Variant Dictionary::Invoke(std::string_view name, CallType type, std::span<Variant> args) {
  return DictionaryMembers().Invoke(*this, name, type, args);
}

Dispatch::MemberKind Dictionary::KindOf(std::string_view name) {
  return DictionaryMembers().Kind(name);
}

std::vector<std::string> Dictionary::MemberNames() { return DictionaryMembers().Names(); }

}  // namespace orvik
