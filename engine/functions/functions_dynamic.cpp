// Placeholder: the dynamic-array members are being written.
#include "functions.h"
#include "vb_error.h"

namespace orvik {

Variant Functions::Extract(std::string_view, std::int32_t, std::int32_t, std::int32_t) {
  throw VbError(vberr::kNoSuchMember);
}
std::string Functions::RReplace(std::string_view, std::int32_t, const Variant&, const Variant&,
                                const Variant&) {
  throw VbError(vberr::kNoSuchMember);
}
std::string Functions::Insert(std::string_view, std::int32_t, const Variant&, const Variant&,
                              const Variant&) {
  throw VbError(vberr::kNoSuchMember);
}
std::string Functions::Dylete(std::string_view, std::int32_t, const Variant&, const Variant&) {
  throw VbError(vberr::kNoSuchMember);
}
bool Functions::Locate(std::string_view, std::string_view, std::string_view, std::span<Variant>) {
  throw VbError(vberr::kNoSuchMember);
}
std::string Functions::MVR(const Variant&) const { throw VbError(vberr::kNoSuchMember); }
std::string Functions::MVW(std::string_view) const { throw VbError(vberr::kNoSuchMember); }

}  // namespace orvik
