// The client's reader of one attribute of a tag: KEY=value inside a tag body.
//
// Unlike the function library's PropertyParse, which finds "ACTION=" inside "SUBACTION=" and
// "NAME=" inside "LABELS.FONT.NAME=", the key must stand whole: at the start of the body or
// right after the separator. The key is found without regard to case; the value runs to the
// next separator (exact) or to the end, quotes and all. Pure; any thread.

#ifndef ORVIK_CLIENT_CORE_TAG_ATTRIBUTE_H_
#define ORVIK_CLIENT_CORE_TAG_ATTRIBUTE_H_

#include <string>
#include <string_view>

namespace orvik::client {

// "" when the key is absent.
std::string TagAttribute(std::string_view body, std::string_view key,
                         std::string_view separator = " ");

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TAG_ATTRIBUTE_H_
