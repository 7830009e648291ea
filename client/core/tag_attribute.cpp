#include "tag_attribute.h"

#include <algorithm>

#include "text.h"

namespace orvik::client {

std::string TagAttribute(std::string_view body, std::string_view key, std::string_view separator) {
  const std::string wanted = std::string(key) + "=";
  for (std::size_t at = FindNoCase(body, wanted); at != std::string_view::npos;
       at = FindNoCase(body, wanted, at + 1)) {
    const bool whole =
        at == 0 || (at >= separator.size() &&
                    body.substr(at - separator.size(), separator.size()) == separator);
    if (!whole) continue;
    const std::size_t value = at + wanted.size();
    const std::size_t end =
        separator.empty() ? body.size() : std::min(FindExact(body, separator, value), body.size());
    return std::string(body.substr(value, end - value));
  }
  return {};
}

}  // namespace orvik::client
