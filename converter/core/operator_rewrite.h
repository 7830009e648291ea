// The operators of two characters that the translator's spacing would tear apart: ">=" and
// "<=" (comparisons), and the assignments "+=", "-=", "*=", "/=" and ":=", whose meaning VB
// has no operator for and which are written out.

#ifndef ORVIK_CONVERTER_CORE_OPERATOR_REWRITE_H_
#define ORVIK_CONVERTER_CORE_OPERATOR_REWRITE_H_

#include <string>
#include <vector>

namespace orvik::massage {

// Before spacing, on a statement with its strings hidden: "<=" becomes " LE " and ">=" " GE ",
// except a ">" that closes a reference in front of an "=" (X<1>=5 stores or compares a field).
std::string NameTwoCharacterComparisons(std::string text);

// On the spaced words: X + = 1 becomes X = X + 1 (the splitter's ":" is "&", so X := A gives
// X = X & A). The target may be a reference or an element (X < 1 >, X ( I )); a value of
// several words that could bind otherwise is put in parentheses. The value ends at a THEN,
// ELSE or LOCKED of a clause the assignment stands in.
std::vector<std::string> WriteOutCompoundAssignments(std::vector<std::string> words);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_OPERATOR_REWRITE_H_
