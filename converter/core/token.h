// One word of the statement being translated, and the list of them that the translator and
// the reducer rewrite in place.

#ifndef ORVIK_CONVERTER_CORE_TOKEN_H_
#define ORVIK_CONVERTER_CORE_TOKEN_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::massage {

// Kinds of token.
namespace ttype {
inline constexpr std::string_view kOpen = "(";
inline constexpr std::string_view kClose = ")";
inline constexpr std::string_view kKeyword = "KEYWORD";
inline constexpr std::string_view kElement = "ELEMENT";
inline constexpr std::string_view kNumber = "NUMBER";
inline constexpr std::string_view kString = "STRING";
inline constexpr std::string_view kOp = "OP";
inline constexpr std::string_view kRelate = "RELATE";
inline constexpr std::string_view kComma = "COMMA";
inline constexpr std::string_view kAssemble = "ASSEMBLE";
inline constexpr std::string_view kVarVal = "VARVAL";
}  // namespace ttype

class clsToken {
 public:
  clsToken() = default;
  clsToken(std::string value, std::string_view type) : TType(type), value_(std::move(value)) {
    if (value_.empty()) TType.clear();
  }

  const std::string& Value() const { return value_; }
  // Emptying the value empties the kind too: a consumed token is a blank.
  void SetValue(std::string value) {
    value_ = std::move(value);
    if (value_.empty()) TType.clear();
  }
  bool IsBlank() const { return value_.empty(); }

  std::string TType;
  std::int32_t NestLevel = 0;  // kept for the record's shape; nothing sets or reads it

 private:
  std::string value_;
};

// Tokens numbered from 1. Reading a slot outside 1..Count() yields a blank token and writing
// one does nothing, so rewrites that look at neighbours never run off either end.
class TokenList {
 public:
  int Count() const { return static_cast<int>(slots_.size()); }
  bool Has(int k) const { return k >= 1 && k <= Count(); }

  const std::string& V(int k) const { return Get(k).Value(); }
  const std::string& T(int k) const { return Get(k).TType; }
  const clsToken& Get(int k) const;

  void SetV(int k, std::string value);
  void SetT(int k, std::string_view type);
  void Clear(int k) { SetV(k, ""); }

  void Add(clsToken token) { slots_.push_back(std::move(token)); }
  void Reset() { slots_.clear(); }
  // Removes every blank slot, moving the following slots down.
  void Compact();

 private:
  std::vector<clsToken> slots_;
};

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_TOKEN_H_
