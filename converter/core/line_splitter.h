// Character-level work on one source line before any word is looked at: comment lines,
// string literals, the "&", ":" and ";" operators, and the cut into statements.

#ifndef ORVIK_CONVERTER_CORE_LINE_SPLITTER_H_
#define ORVIK_CONVERTER_CORE_LINE_SPLITTER_H_

#include <functional>
#include <string>

#include "statement_translator.h"

namespace orvik::massage {

// Statements translated per line; the rest of a longer line is returned as it was.
inline constexpr int kMaxStatementsPerLine = 30;

// Turns one statement, as the splitter cut it out, into its translation.
using StatementConverter = std::function<std::string(const std::string& statement)>;

// The VB translation of one source line (depth 0 for a line from the file); several VB
// lines may come back, joined by CR LF.
std::string SplitSourceLine(StatementTranslator& translator, std::string line, int depth = 0);
// The same with any converter of statements; every statement, an empty one included, goes
// through it in order.
std::string SplitSourceLine(const StatementConverter& convert, std::string line, int depth = 0);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_LINE_SPLITTER_H_
