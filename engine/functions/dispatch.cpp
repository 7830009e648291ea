#include "dispatch.h"

#include "text.h"
#include "vb_error.h"

namespace orvik {

void DispatchArgs::Expect(std::size_t min, std::size_t max) const {
  if (args_.size() < min || args_.size() > max) throw VbError(vberr::kWrongArgumentCount);
}

const Variant& DispatchArgs::Required(std::size_t i) const {
  if (i >= args_.size() || args_[i].IsMissing()) throw VbError(vberr::kArgumentNotOptional);
  return args_[i];
}

Variant& DispatchArgs::Ref(std::size_t i) {
  if (i >= args_.size()) throw VbError(vberr::kArgumentNotOptional);
  return args_[i];
}

std::string DispatchArgs::String(std::size_t i) const { return Required(i).ToString(); }
std::int32_t DispatchArgs::Long(std::size_t i) const { return Required(i).ToLong(); }
double DispatchArgs::Double(std::size_t i) const { return Required(i).ToDouble(); }
bool DispatchArgs::Boolean(std::size_t i) const { return Required(i).ToBoolean(); }

std::int32_t DispatchArgs::LongOr(std::size_t i, std::int32_t fallback) const {
  return Present(i) ? args_[i].ToLong() : fallback;
}

std::span<Variant> DispatchArgs::Rest(std::size_t from) const {
  return from < args_.size() ? args_.subspan(from) : std::span<Variant>();
}

std::string DispatchKey(std::string_view name) { return LowerCase(name); }

void ThrowNoSuchMember() { throw VbError(vberr::kNoSuchMember); }

}  // namespace orvik
