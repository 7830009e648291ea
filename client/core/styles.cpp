#include "styles.h"

#include <algorithm>

#include "numbers.h"
#include "text.h"
#include "variant.h"

namespace orvik::client {

StyleFields SplitStyleRecord(std::string_view record) {
  StyleFields fields;
  std::size_t from = 0;
  for (std::string& field : fields) {
    if (from > record.size()) break;
    const std::size_t mark = std::min(record.find(kAttributeMark, from), record.size());
    field = record.substr(from, mark - from);
    from = mark + 1;
  }
  return fields;
}

std::string JoinStyleRecord(const StyleFields& fields) {
  std::string record = fields[0];
  for (std::size_t i = 1; i < fields.size(); ++i) {
    record += kAttributeMark;
    record += fields[i];
  }
  return record;
}

bool StylesDictionary::Exists(std::string_view name) const {
  return records_.Exists(Variant(name));
}

const std::string* StylesDictionary::Find(std::string_view name) const {
  const Variant* record = records_.Find(Variant(name));
  return record ? &record->StringRef() : nullptr;
}

void StylesDictionary::Add(std::string_view name, std::string record) {
  records_.Add(Variant(name), Variant(std::move(record)));
}

void StylesDictionary::Set(std::string_view name, std::string record) {
  records_.SetItem(Variant(name), Variant(std::move(record)));
}

int BaseFontSize(double cellWidth) { return static_cast<int>(RoundHalfEven(cellWidth)) / 12; }

void StyleDefaultsSet(StylesDictionary& styles, double cellWidth) {
  const int base = BaseFontSize(cellWidth);
  const std::string baseSize = std::to_string(base);
  const std::string narrowSize = FormatDouble(base * 0.8);
  const std::string inputSize = FormatDouble(base * 0.9);

  // One working record, not cleared between the three styles.
  StyleFields f;
  f[3] = "1";
  f[4] = "&H00C000C0&";  // purple
  f[5] = "16777215";     // white
  f[6] = "menubg.gif";
  f[8] = baseSize;
  f[9] = "Arial";
  f[10] = "8388608";  // dark blue
  f[11] = "1";
  f[13] = "16711935";  // magenta
  f[24] = narrowSize;
  f[25] = "MS Sans Serif";
  f[26] = f[4];
  f[27] = "1";
  f[28] = "0";
  f[29] = "&H80000018&";  // the system's tool-tip background
  styles.Add("mdefault", JoinStyleRecord(f));

  f[2] = "TRAIL";
  f[3] = "1";
  f[4] = "128";       // dark red
  f[5] = "14474460";  // light grey
  f[6] = "backgrnd.gif";
  f[9] = "Courier New";
  f[10] = "0";
  f[13] = "";
  f[16] = inputSize;
  f[17] = "MS Sans Serif";
  f[18] = "0";
  f[19] = "1";
  f[20] = "0";
  f[21] = "16777215";
  f[26] = f[4];
  styles.Add("fdefault", JoinStyleRecord(f));

  f[3] = "0";
  f[4] = "8421504";  // grey
  f[9] = "MS Sans Serif";
  f[26] = "0";
  f[28] = "1";
  styles.Add("msgrey", JoinStyleRecord(f));
}

}  // namespace orvik::client
