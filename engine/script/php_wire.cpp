#include "php_wire.h"

#include <bit>
#include <cstring>

#include "vb_error.h"

namespace orvik::php {
namespace {

// Arrays inside arrays deeper than this are refused rather than followed down the stack.
constexpr int kMaxDepth = 200;

thread_local int tDepth = 0;

class DepthGuard {
 public:
  DepthGuard() {
    if (++tDepth > kMaxDepth) {
      --tDepth;
      throw WireError("values nested too deep");
    }
  }
  ~DepthGuard() { --tDepth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
};

}  // namespace

std::uint32_t ObjectTable::Add(std::shared_ptr<Dispatch> object) {
  if (!object) return 0;
  std::uint32_t handle = next_++;
  if (handle == 0) handle = next_++;  // after 2^32 objects the count wraps past Nothing
  objects_[handle] = std::move(object);
  return handle;
}

std::shared_ptr<Dispatch> ObjectTable::Find(std::uint32_t handle) const {
  const auto it = objects_.find(handle);
  if (it == objects_.end()) throw VbError(vberr::kObjectVariableNotSet);
  return it->second;
}

WireWriter& WireWriter::U32(std::uint32_t n) {
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
  return *this;
}

WireWriter& WireWriter::Str(std::string_view s) {
  U32(static_cast<std::uint32_t>(s.size()));
  bytes_.append(s);
  return *this;
}

void WireWriter::Double(double d) {
  const auto bits = std::bit_cast<std::uint64_t>(d);
  for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

WireWriter& WireWriter::Value(const Variant& v) {
  DepthGuard depth;
  switch (v.type()) {
    case Variant::Type::Empty:
    case Variant::Type::Missing:
      return Byte('E');
    case Variant::Type::Null:
      return Byte('U');
    case Variant::Type::Boolean:
      return Byte('B').Byte(v.ToBoolean() ? 1 : 0);
    case Variant::Type::Long:
      return Byte('I').I32(v.ToLong());
    case Variant::Type::Double:
      Byte('D');
      Double(v.ToDouble());
      return *this;
    case Variant::Type::Date:
      Byte('T');
      Double(v.ToDateSerial());
      return *this;
    case Variant::Type::String:
      return Byte('S').Str(v.StringRef());
    case Variant::Type::Object:
      return Byte('O').U32(objects_.Add(v.ObjectRef()));
    case Variant::Type::Array:
      Byte('A');
      return Values(v.ArrayRef());
  }
  return Byte('E');
}

WireWriter& WireWriter::Values(std::span<const Variant> items) {
  U32(static_cast<std::uint32_t>(items.size()));
  for (const Variant& item : items) Value(item);
  return *this;
}

std::string_view WireReader::Take(std::size_t n) {
  if (n > bytes_.size() - at_) throw WireError("a message ends early");
  const std::string_view part = bytes_.substr(at_, n);
  at_ += n;
  return part;
}

char WireReader::Byte() { return Take(1)[0]; }

std::uint32_t WireReader::U32() {
  const std::string_view b = Take(4);
  std::uint32_t n = 0;
  for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(b[i]);
  return n;
}

double WireReader::Double() {
  const std::string_view b = Take(8);
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | static_cast<unsigned char>(b[i]);
  return std::bit_cast<double>(bits);
}

std::string WireReader::Str() { return std::string(Take(U32())); }

Variant WireReader::Value() {
  DepthGuard depth;
  const char tag = Byte();
  switch (tag) {
    case 'E':
      return Variant();
    case 'U':
      return Variant::Null();
    case 'B':
      return Variant(Byte() != 0);
    case 'I':
      return Variant(I32());
    case 'D':
      return Variant(Double());
    case 'T':
      return Variant::Date(Double());
    case 'S':
      return Variant(Str());
    case 'O': {
      const std::uint32_t handle = U32();
      return Variant(handle == 0 ? std::shared_ptr<Dispatch>() : objects_.Find(handle));
    }
    case 'A':
      return Variant(Values());
    default:
      throw WireError("a value of an unknown kind");
  }
}

std::vector<Variant> WireReader::Values() {
  const std::uint32_t n = U32();
  std::vector<Variant> items;
  // Every value takes a byte at least: a count beyond what is left is a broken message.
  if (n > bytes_.size() - at_) throw WireError("a list longer than its message");
  items.reserve(n);
  for (std::uint32_t i = 0; i < n; ++i) items.push_back(Value());
  return items;
}

Variant WireReader::Argument(bool* byReference) {
  *byReference = at_ < bytes_.size() && bytes_[at_] == 'R';
  if (*byReference) ++at_;
  return Value();
}

}  // namespace orvik::php
