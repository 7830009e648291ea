// Character-level work on one source line before any word is looked at: comment lines,
// string literals, the "&", ":" and ";" operators, and the cut into statements.

#ifndef ORVIK_CONVERTER_CORE_LINE_SPLITTER_H_
#define ORVIK_CONVERTER_CORE_LINE_SPLITTER_H_

#include <string>

#include "statement_translator.h"

namespace orvik::massage {

// Statements translated per line; the rest of a longer line is returned as it was.
inline constexpr int kMaxStatementsPerLine = 30;

// The VB translation of one source line (depth 0 for a line from the file); several VB
// lines may come back, joined by CR LF.
std::string SplitSourceLine(StatementTranslator& translator, std::string line, int depth = 0);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_LINE_SPLITTER_H_
