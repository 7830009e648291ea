// A keyed collection that keeps insertion order, as the scripting run time's Dictionary.
//
// Keys compare exactly (binary) or, in text mode, without regard to case. Text and number
// keys are distinct: the key "1" is not the key 1.

#ifndef ORVIK_FUNCTIONS_DICTIONARY_H_
#define ORVIK_FUNCTIONS_DICTIONARY_H_

#include <list>
#include <string>
#include <unordered_map>
#include <utility>

#include "dispatch.h"
#include "variant.h"

namespace orvik {

class Dictionary : public Dispatch {
 public:
  enum class CompareMode { Binary = 0, Text = 1 };

  explicit Dictionary(CompareMode mode = CompareMode::Binary) : mode_(mode) {}

  CompareMode compareMode() const { return mode_; }
  // Only an empty dictionary may change its mode (error 5 otherwise).
  void SetCompareMode(CompareMode mode);

  // A key already present is error 457.
  void Add(const Variant& key, Variant item);
  bool Exists(const Variant& key) const;
  // Reading a key that is not there adds it with an Empty item, as the original did.
  Variant& Item(const Variant& key);
  // The item, or nullptr, without adding anything.
  const Variant* Find(const Variant& key) const;
  void SetItem(const Variant& key, Variant item);
  // Renames a key; the old must exist (32811) and the new must not (457).
  void Rename(const Variant& oldKey, const Variant& newKey);
  // A key that is not there is error 32811.
  void Remove(const Variant& key);
  void RemoveAll();
  VariantArray Keys() const;
  VariantArray Items() const;
  int Count() const { return static_cast<int>(entries_.size()); }

  Variant Invoke(std::string_view name, CallType type, std::span<Variant> args) override;
  MemberKind KindOf(std::string_view name) override;
  std::vector<std::string> MemberNames() override;

 private:
  using Entry = std::pair<Variant, Variant>;  // key, item
  std::string Lookup(const Variant& key) const;

  CompareMode mode_;
  std::list<Entry> entries_;
  std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};

}  // namespace orvik

#endif  // ORVIK_FUNCTIONS_DICTIONARY_H_
