// What the translator keeps about the statement in hand while it rewrites it.

#ifndef ORVIK_CONVERTER_CORE_STATEMENT_WORK_H_
#define ORVIK_CONVERTER_CORE_STATEMENT_WORK_H_

#include <string>
#include <vector>

#include "statement_translator.h"

namespace orvik::massage {

struct StatementTranslator::Work {
  std::string text;                 // the working text
  std::string upper;                // its upper-case trimmed copy, re-taken where the rules say
  std::string indent;               // the statement's leading blanks
  std::vector<std::string> pieces;  // the statement cut at double quotes
  std::vector<std::string> prefix;  // lines written in front of the statement
  std::string suffix;               // a line written behind it
  std::string result;               // the final text, when a rule decides it early

  void TakeUpper();
};

// The prefix lines, the statement's line and the suffix, joined by CR LF.
std::string JoinLines(const std::vector<std::string>& prefix, const std::string& line,
                      const std::string& suffix);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_STATEMENT_WORK_H_
