// The messages between the PHP host and its php process: fields and values as bytes.
//
// php_bridge.php describes the protocol and holds the PHP side. Used on the thread that owns
// the host only. Text crosses unchanged (single-byte on both sides). A message that does
// not read as the protocol says raises WireError: the process on the other side can no
// longer be trusted, and the host ends it.

#ifndef ORVIK_ENGINE_SCRIPT_PHP_WIRE_H_
#define ORVIK_ENGINE_SCRIPT_PHP_WIRE_H_

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

#include "dispatch.h"
#include "variant.h"

namespace orvik::php {

class WireError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The engine's objects that the PHP side holds, by handle. Handle 0 is Nothing; every
// object sent gets a handle of its own, which the PHP side gives back when its wrapper goes.
class ObjectTable {
 public:
  std::uint32_t Add(std::shared_ptr<Dispatch> object);
  // Raises 91 for a handle the PHP side was never given (or has given back).
  std::shared_ptr<Dispatch> Find(std::uint32_t handle) const;
  void Release(std::uint32_t handle) { objects_.erase(handle); }
  void Clear() { objects_.clear(); }

 private:
  std::unordered_map<std::uint32_t, std::shared_ptr<Dispatch>> objects_;
  std::uint32_t next_ = 1;
};

// Builds one message: its kind, then fields in order.
class WireWriter {
 public:
  WireWriter(char kind, ObjectTable& objects) : objects_(objects) { bytes_.push_back(kind); }
  WireWriter& U32(std::uint32_t n);
  WireWriter& I32(std::int32_t n) { return U32(static_cast<std::uint32_t>(n)); }
  WireWriter& Byte(char c) {
    bytes_.push_back(c);
    return *this;
  }
  WireWriter& Str(std::string_view s);
  WireWriter& Value(const Variant& v);
  WireWriter& Values(std::span<const Variant> items);
  std::string Take() { return std::move(bytes_); }

 private:
  void Double(double d);
  ObjectTable& objects_;
  std::string bytes_;
};

// Reads the fields of one message in order.
class WireReader {
 public:
  WireReader(std::string_view bytes, ObjectTable& objects) : bytes_(bytes), objects_(objects) {}
  char Byte();
  std::uint32_t U32();
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  std::string Str();
  // A value; an object handle the table does not know raises 91.
  Variant Value();
  std::vector<Variant> Values();
  // A call argument: its value, and whether the caller passed it by reference.
  Variant Argument(bool* byReference);

 private:
  std::string_view Take(std::size_t n);
  double Double();
  std::string_view bytes_;
  std::size_t at_ = 0;
  ObjectTable& objects_;
};

}  // namespace orvik::php

#endif  // ORVIK_ENGINE_SCRIPT_PHP_WIRE_H_
