// The dynamically typed value that programs, scripts and call-by-name pass around.
//
// It follows the platform's rules rather than C++'s: text converts to numbers by the
// numeric-text rules, doubles convert to integers by rounding halves to even, and a value
// that cannot convert raises the platform's numbered error (13 Type mismatch, 6 Overflow,
// 94 Invalid use of Null).

#ifndef ORVIK_FUNCTIONS_VARIANT_H_
#define ORVIK_FUNCTIONS_VARIANT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvik {

class Dispatch;
class Variant;

using VariantArray = std::vector<Variant>;

class Variant {
 public:
  enum class Type { Empty, Null, Missing, Boolean, Long, Double, String, Date, Object, Array };

  Variant() = default;  // Empty
  Variant(bool b) : type_(Type::Boolean), value_(b) {}
  Variant(std::int32_t n) : type_(Type::Long), value_(n) {}
  Variant(double d) : type_(Type::Double), value_(d) {}
  Variant(const char* s) : type_(Type::String), value_(std::string(s)) {}
  Variant(std::string s) : type_(Type::String), value_(std::move(s)) {}
  Variant(std::string_view s) : type_(Type::String), value_(std::string(s)) {}
  Variant(std::shared_ptr<Dispatch> object) : type_(Type::Object), value_(std::move(object)) {}
  Variant(VariantArray items)
      : type_(Type::Array), value_(std::make_shared<VariantArray>(std::move(items))) {}

  static Variant Null() { return Variant(Type::Null); }
  // An omitted optional argument.
  static Variant Missing() { return Variant(Type::Missing); }
  // A date serial: days since 30 December 1899, the fraction is the time of day.
  static Variant Date(double serial);

  Type type() const { return type_; }
  bool IsEmpty() const { return type_ == Type::Empty; }
  bool IsNull() const { return type_ == Type::Null; }
  bool IsMissing() const { return type_ == Type::Missing; }
  bool IsString() const { return type_ == Type::String; }
  bool IsObject() const { return type_ == Type::Object; }
  bool IsArray() const { return type_ == Type::Array; }
  // Boolean, Long, Double or Date.
  bool IsNumber() const;

  // The stored value without conversion; valid only for the matching type.
  const std::string& StringRef() const { return std::get<std::string>(value_); }
  std::string& StringRef() { return std::get<std::string>(value_); }
  const std::shared_ptr<Dispatch>& ObjectRef() const;
  const VariantArray& ArrayRef() const;
  VariantArray& ArrayRef();  // unshares the elements first

  // Conversions by the platform's rules (CStr, CLng, CInt, CDbl, CBool, CDate).
  std::string ToString() const;
  // The same text without a copy when the value is a String: borrowed from it, else
  // converted into `held`. Valid while both live unchanged.
  std::string_view TextView(std::string& held) const;
  std::int32_t ToLong() const;
  std::int16_t ToInteger() const;
  double ToDouble() const;
  bool ToBoolean() const;
  double ToDateSerial() const;

  // The platform's name of the type ("Empty", "String", "Long", ...), as TypeName gives.
  std::string TypeName() const;

  friend bool operator==(const Variant& a, const Variant& b);

 private:
  explicit Variant(Type t) : type_(t) {}

  Type type_ = Type::Empty;
  std::variant<std::monostate, bool, std::int32_t, double, std::string, std::shared_ptr<Dispatch>,
               std::shared_ptr<VariantArray>>
      value_;
};

// The conversion functions under the platform's own names.
inline std::string CStr(const Variant& v) { return v.ToString(); }
inline std::int32_t CLng(const Variant& v) { return v.ToLong(); }
inline std::int16_t CInt(const Variant& v) { return v.ToInteger(); }
inline double CDbl(const Variant& v) { return v.ToDouble(); }
inline bool CBool(const Variant& v) { return v.ToBoolean(); }

// True for a number, a Boolean, a date, Empty and text that reads wholly as a number.
bool IsNumeric(const Variant& v);

// The platform's date text: "m/d/yyyy", with " h:mm:ss AM" when there is a time of day.
std::string FormatDateSerial(double serial);

}  // namespace orvik

#endif  // ORVIK_FUNCTIONS_VARIANT_H_
