#include "layout.h"

#include "driver.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {

std::string FileTableSql(std::string_view dataStore, TableTemplate kind, std::string_view name,
                         int columns) {
  return Dialect::Of(dataStore).FileTableSql(kind, name, columns);
}

void CheckItemId(std::string_view id) {
  if (id.size() > kItemIdLength) {
    throw VbError(dberr::kIdTooLong, "ItemID \"" + std::string(id) + "\" is longer than " +
                                         std::to_string(kItemIdLength) + " characters");
  }
}

VbError KeyTooLong() {
  return VbError(dberr::kIdTooLong,
                 "An ItemID is longer than " + std::to_string(kItemIdLength) + " characters");
}

bool SameKey(std::string_view stored, std::string_view id) {
  const auto trimmed = [](std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
  };
  return EqualsNoCase(trimmed(stored), trimmed(id));
}

}  // namespace orvik
