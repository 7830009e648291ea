// The file variable: what OOpen hands a program for an open file, and what the program hands
// back to every item operation.
//
// Its parts are joined by character 254: the table part (account "." file), the numeric
// attribute list (attribute numbers joined by character 253), the mode ("N" = the whole item
// in one ITEM column) and a fourth value carried unchanged. A file without a dictionary
// control item has the table part alone.

#ifndef ORVIK_ENGINE_DATASTORE_FILE_VARIABLE_H_
#define ORVIK_ENGINE_DATASTORE_FILE_VARIABLE_H_

#include <string>
#include <string_view>
#include <unordered_set>

namespace orvik {

struct FileVariable {
  std::string tablePart;
  std::string numericList;  // as stored: numbers joined by character 253
  std::string mode;         // as stored
  std::string carried;

  static FileVariable Parse(std::string_view text);

  // "N" after trimming blanks and upper-casing: the item lives in one ITEM column.
  bool ItemMode() const;
  // The account and the file: the table part split at its first ".". False (and nothing
  // set) when there is no "." or either side is not a plain identifier, so that "A.B.C"
  // can never be read as two different tables by two routines.
  bool Split(std::string* account, std::string* file) const;
};

// The text before the first character 254, or the whole text.
std::string_view TablePartOf(std::string_view fileVariable);

// The attributes a numeric attribute list (numbers joined by character 253) names, read once:
// an item of many attributes asks for each of them.
class NumericAttributes {
 public:
  explicit NumericAttributes(std::string_view list);
  bool Contains(int k) const;
  bool empty() const { return numbers_.empty(); }

 private:
  std::unordered_set<std::string> numbers_;
};

// An attribute of a numeric attribute: empty reads as "0", and so do the empty values and
// subvalues of a multivalued one. A single value is returned as it is.
std::string NormaliseNumericAttribute(std::string_view text);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_FILE_VARIABLE_H_
