#include "style_parse.h"

#include <algorithm>
#include <string>

#include "colours.h"
#include "numbers.h"
#include "pair_scanner.h"
#include "tag_attribute.h"
#include "text.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

enum class Stored { kValue, kUpperCase, kColour, kSize };

struct StyleKey {
  std::string_view key;
  std::size_t position;
  Stored stored;
};

constexpr StyleKey kStyleKeys[] = {
    {"GUIPLUS", 1, Stored::kValue},
    {"VALIDGREEN", 2, Stored::kUpperCase},
    {"IHEADER", 3, Stored::kValue},
    {"FORMHEADER", 3, Stored::kValue},
    {"AUTOHEADER", 3, Stored::kValue},
    {"ICOLOUR", 4, Stored::kColour},
    {"ICOLOR", 4, Stored::kColour},
    {"BACKCOLOR", 5, Stored::kColour},
    {"BACKCOLOUR", 5, Stored::kColour},
    {"BACKGROUND", 6, Stored::kValue},
    {"LABELS.FONT.SIZE", 8, Stored::kSize},
    {"LABELS.FONT.NAME", 9, Stored::kValue},
    {"LABELS.FORECOLOR", 10, Stored::kColour},
    {"LABELS.FORECOLOUR", 10, Stored::kColour},
    {"LABELS.FONT.BOLD", 11, Stored::kValue},
    {"LABELS.FONT.ITALIC", 12, Stored::kValue},
    {"LABELS.BACKCOLOR", 13, Stored::kColour},
    {"LABELS.BACKCOLOUR", 13, Stored::kColour},
    {"HIGHLIGHTER", 13, Stored::kColour},
    {"LABELS.FONT.UNDERLINE", 14, Stored::kValue},
    {"INPUTS.FONT.SIZE", 16, Stored::kSize},
    {"INPUTS.FONT.NAME", 17, Stored::kValue},
    {"INPUTS.FORECOLOR", 18, Stored::kColour},
    {"INPUTS.FORECOLOUR", 18, Stored::kColour},
    {"INPUTS.FONT.BOLD", 19, Stored::kValue},
    {"INPUTS.FONT.ITALIC", 20, Stored::kValue},
    {"INPUTS.BACKCOLOR", 21, Stored::kColour},
    {"INPUTS.BACKCOLOUR", 21, Stored::kColour},
    {"NARRS.FONT.SIZE", 24, Stored::kSize},
    {"NARRS.FONT.NAME", 25, Stored::kValue},
    {"NARRS.FORECOLOR", 26, Stored::kColour},
    {"NARRS.FORECOLOUR", 26, Stored::kColour},
    {"NARRS.FONT.BOLD", 27, Stored::kValue},
    {"NARRS.FONT.ITALIC", 28, Stored::kValue},
    {"NARRS.BACKCOLOR", 29, Stored::kColour},
    {"NARRS.BACKCOLOUR", 29, Stored::kColour},
};

std::string ColourText(const std::string& value) {
  std::string colour = UpperCase(value);
  if (colour.starts_with("RGB")) {
    try {
      colour = std::to_string(RgbParse(colour));
    } catch (const VbError&) {
      // Kept as the upper-cased text.
    }
  }
  return colour;
}

std::string SizeText(const std::string& value, double cellWidth) {
  if (!value.starts_with("*")) return value;
  return FormatDouble(BaseFontSize(cellWidth) * Val(std::string_view(value).substr(1)));
}

std::string StoredText(const StyleKey& key, const std::string& value, double cellWidth) {
  switch (key.stored) {
    case Stored::kUpperCase:
      return UpperCase(value);
    case Stored::kColour:
      return ColourText(value);
    case Stored::kSize:
      return SizeText(value, cellWidth);
    case Stored::kValue:
      break;
  }
  return value;
}

}  // namespace

void StyleParse(std::string_view text, StylesDictionary& styles, char tagSeparator,
                double cellWidth) {
  std::string body(TrimBlanks(text));
  if (tagSeparator == ',') std::replace(body.begin(), body.end(), ',', ' ');

  const std::string name = TagAttribute(body, "NAME");
  std::string_view base = LowerCase(name) == "mdefault" ? "mdefault" : "fdefault";
  const std::string type = UpperCase(TagAttribute(body, "TYPE"));
  if (type == "MENU") base = "mdefault";
  if (type == "FUNCTION") base = "fdefault";
  const std::string* baseRecord = styles.Find(base);
  StyleFields fields = SplitStyleRecord(baseRecord ? *baseRecord : std::string());

  ScanPairs(body, ' ', [&](const std::string& key, const std::string& value) {
    for (const StyleKey& k : kStyleKeys) {
      if (k.key == key) {
        fields[k.position] = StoredText(k, value, cellWidth);
        return;
      }
    }
  });
  styles.Set(name, JoinStyleRecord(fields));
}

}  // namespace orvik::client
