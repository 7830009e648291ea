// Placeholder: the conversion members are being written.
#include "functions.h"
#include "vb_error.h"

namespace orvik {

Variant Functions::OConv(std::string_view, std::string_view) { throw VbError(vberr::kNoSuchMember); }
Variant Functions::IConv(std::string_view, std::string_view) { throw VbError(vberr::kNoSuchMember); }
std::string Functions::MVOConv(const Variant&, std::string_view) {
  throw VbError(vberr::kNoSuchMember);
}
std::string Functions::MVIConv(std::string_view, std::string_view) {
  throw VbError(vberr::kNoSuchMember);
}

}  // namespace orvik
