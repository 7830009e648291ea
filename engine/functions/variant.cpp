#include "variant.h"

#include <cmath>
#include <limits>

#include "calendar.h"
#include "numbers.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

// Converts a double to an integer type by rounding halves to even; out of range is error 6.
template <typename Int>
Int RoundToInt(double d) {
  if (std::isnan(d)) throw VbError(vberr::kOverflow);
  const double r = RoundHalfEven(d);
  if (r < static_cast<double>(std::numeric_limits<Int>::min()) ||
      r > static_cast<double>(std::numeric_limits<Int>::max()))
    throw VbError(vberr::kOverflow);
  return static_cast<Int>(r);
}

}  // namespace

Variant Variant::Date(double serial) {
  Variant v(Type::Date);
  v.value_ = serial;
  return v;
}

bool Variant::IsNumber() const {
  return type_ == Type::Boolean || type_ == Type::Long || type_ == Type::Double ||
         type_ == Type::Date;
}

const std::shared_ptr<Dispatch>& Variant::ObjectRef() const {
  if (type_ != Type::Object) throw VbError(vberr::kObjectRequired);
  return std::get<std::shared_ptr<Dispatch>>(value_);
}

const VariantArray& Variant::ArrayRef() const {
  if (type_ != Type::Array) throw VbError(vberr::kTypeMismatch);
  return *std::get<std::shared_ptr<VariantArray>>(value_);
}

VariantArray& Variant::ArrayRef() {
  if (type_ != Type::Array) throw VbError(vberr::kTypeMismatch);
  auto& p = std::get<std::shared_ptr<VariantArray>>(value_);
  // Arrays are values: a copy of the Variant must not see later changes.
  if (p.use_count() > 1) p = std::make_shared<VariantArray>(*p);
  return *p;
}

std::string_view Variant::TextView(std::string& held) const {
  if (IsString()) return StringRef();
  held = ToString();
  return held;
}

std::string Variant::ToString() const {
  switch (type_) {
    case Type::Empty:
      return {};
    case Type::Null:
      throw VbError(vberr::kInvalidUseOfNull);
    case Type::Missing:
      throw VbError(vberr::kArgumentNotOptional);
    case Type::Boolean:
      return std::get<bool>(value_) ? "True" : "False";
    case Type::Long:
      return std::to_string(std::get<std::int32_t>(value_));
    case Type::Double:
      return FormatDouble(std::get<double>(value_));
    case Type::String:
      return std::get<std::string>(value_);
    case Type::Date:
      return FormatDateSerial(std::get<double>(value_));
    case Type::Object:
    case Type::Array:
      throw VbError(vberr::kTypeMismatch);
  }
  return {};
}

double Variant::ToDouble() const {
  switch (type_) {
    case Type::Empty:
      return 0.0;
    case Type::Null:
      throw VbError(vberr::kInvalidUseOfNull);
    case Type::Missing:
      throw VbError(vberr::kArgumentNotOptional);
    case Type::Boolean:
      return std::get<bool>(value_) ? -1.0 : 0.0;
    case Type::Long:
      return std::get<std::int32_t>(value_);
    case Type::Double:
    case Type::Date:
      return std::get<double>(value_);
    case Type::String: {
      const auto n = ParseNumber(std::get<std::string>(value_));
      if (!n) throw VbError(vberr::kTypeMismatch);
      return *n;
    }
    case Type::Object:
    case Type::Array:
      throw VbError(vberr::kTypeMismatch);
  }
  return 0.0;
}

std::int32_t Variant::ToLong() const {
  if (type_ == Type::Long) return std::get<std::int32_t>(value_);
  return RoundToInt<std::int32_t>(ToDouble());
}

std::int16_t Variant::ToInteger() const { return RoundToInt<std::int16_t>(ToDouble()); }

bool Variant::ToBoolean() const {
  if (type_ == Type::Boolean) return std::get<bool>(value_);
  if (type_ == Type::String) {
    const std::string& s = std::get<std::string>(value_);
    if (EqualsNoCase(s, "True")) return true;
    if (EqualsNoCase(s, "False")) return false;
  }
  return ToDouble() != 0.0;
}

double Variant::ToDateSerial() const {
  if (type_ == Type::Date) return std::get<double>(value_);
  // Text dates are read by the date conversions of the function library; here only numbers.
  return ToDouble();
}

std::string Variant::TypeName() const {
  switch (type_) {
    case Type::Empty:
      return "Empty";
    case Type::Null:
      return "Null";
    case Type::Missing:
      return "Error";
    case Type::Boolean:
      return "Boolean";
    case Type::Long:
      return "Long";
    case Type::Double:
      return "Double";
    case Type::String:
      return "String";
    case Type::Date:
      return "Date";
    case Type::Object:
      return "Object";
    case Type::Array:
      return "Variant()";
  }
  return "Unknown";
}

bool operator==(const Variant& a, const Variant& b) {
  return a.type_ == b.type_ && a.value_ == b.value_;
}

bool IsNumeric(const Variant& v) {
  switch (v.type()) {
    case Variant::Type::Empty:
    case Variant::Type::Boolean:
    case Variant::Type::Long:
    case Variant::Type::Double:
    case Variant::Type::Date:
      return true;
    case Variant::Type::String:
      return ParseNumber(v.StringRef()).has_value();
    default:
      return false;
  }
}

std::string FormatDateSerial(double serial) {
  // A Date handed in from outside (a script's value) may be any double; past the whole
  // numbers a double holds exactly, or NaN, it names no day the calendar can work on.
  if (!(std::fabs(serial) <= 9007199254740992.0)) throw VbError(vberr::kOverflow);
  const double day = std::floor(serial);
  // The platform keeps the time as the fraction's distance from the day, also before 1899.
  double fraction = std::fabs(serial - std::trunc(serial));
  const CivilDate c =
      CivilFromSerial(static_cast<std::int64_t>(serial < 0 ? std::ceil(serial) : day));
  std::string out =
      std::to_string(c.month) + "/" + std::to_string(c.day) + "/" + std::to_string(c.year);
  long seconds = std::lround(fraction * 86400.0);
  if (seconds > 0 && seconds < 86400) {
    const long h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    char buf[32];
    std::snprintf(buf, sizeof buf, " %ld:%02ld:%02ld %s", h % 12 == 0 ? 12 : h % 12, m, s,
                  h < 12 ? "AM" : "PM");
    out += buf;
  }
  return out;
}

}  // namespace orvik
