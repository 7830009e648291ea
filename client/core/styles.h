// Named styles of menus and forms: records of 31 text positions joined by character 254,
// kept in one dictionary for the whole client, with the three built-in records "mdefault"
// (menus), "fdefault" (forms) and "msgrey".
//
// GUI thread only. Sizes are point sizes written with '.' as the decimal point, whatever the
// user's locale; colours are decimal texts or the "&H...&" form; switches "1" or "0".

#ifndef ORVIK_CLIENT_CORE_STYLES_H_
#define ORVIK_CLIENT_CORE_STYLES_H_

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "dictionary.h"
#include "twips.h"

namespace orvik::client {

inline constexpr std::size_t kStylePositions = 31;
using StyleFields = std::array<std::string, kStylePositions>;

// Splits a record at character 254 into its positions; positions past the record's end are
// "" and text past position 30 is dropped.
StyleFields SplitStyleRecord(std::string_view record);
std::string JoinStyleRecord(const StyleFields& fields);

// Style name to style record; names compare without regard to case. Created once by the
// client's start-up and shared by every screen form.
class StylesDictionary {
 public:
  bool Exists(std::string_view name) const;
  // The record, or nullptr when the name is not there.
  const std::string* Find(std::string_view name) const;
  // Throws VbError 457 when the name is already there.
  void Add(std::string_view name, std::string record);
  // Adds the name or replaces its record.
  void Set(std::string_view name, std::string record);

 private:
  Dictionary records_{Dictionary::CompareMode::Text};
};

// The base font size: the cell width (in twips) rounded to a whole number, integer-divided
// by 12.
int BaseFontSize(double cellWidth);

// Adds "mdefault", "fdefault" and "msgrey", built for a character cell `cellWidth` twips wide.
// Each starts from the one before it. Throws VbError 457 when one of them is already there:
// the built-in records are made once, when the first screen form loads.
void StyleDefaultsSet(StylesDictionary& styles, double cellWidth);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_STYLES_H_
