#include "token.h"

#include <algorithm>

namespace orvik::massage {

const clsToken& TokenList::Get(int k) const {
  static const clsToken kBlank;
  return Has(k) ? slots_[static_cast<std::size_t>(k - 1)] : kBlank;
}

void TokenList::SetV(int k, std::string value) {
  if (Has(k)) slots_[static_cast<std::size_t>(k - 1)].SetValue(std::move(value));
}

void TokenList::SetT(int k, std::string_view type) {
  if (Has(k)) slots_[static_cast<std::size_t>(k - 1)].TType = std::string(type);
}

void TokenList::Compact() {
  std::erase_if(slots_, [](const clsToken& t) { return t.IsBlank(); });
}

}  // namespace orvik::massage
