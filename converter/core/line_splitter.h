// Character-level work on one source line before any word is looked at: comment lines,
// string literals, the "&", ":" and ";" operators, and the cut into statements.

#ifndef ORVIK_CONVERTER_CORE_LINE_SPLITTER_H_
#define ORVIK_CONVERTER_CORE_LINE_SPLITTER_H_

#include <cstddef>
#include <functional>
#include <string>

#include "statement_translator.h"

namespace orvik::massage {

// Statements translated per line; the rest of a longer line is returned as it was.
inline constexpr int kMaxStatementsPerLine = 30;
// Bytes of one statement that are translated. The translator's work grows with the square of
// a statement's length, so one hostile line of megabytes would hold a conversion for hours; a
// statement longer than this, far past anything VB can hold on a line, is returned as it was.
inline constexpr std::size_t kMaxStatementBytes = 4096;

// Turns one statement, as the splitter cut it out, into its translation.
using StatementConverter = std::function<std::string(const std::string& statement)>;

// The VB translation of one source line (depth 0 for a line from the file); several VB
// lines may come back, joined by CR LF.
std::string SplitSourceLine(StatementTranslator& translator, std::string line, int depth = 0);
// The same with any converter of statements; every statement, an empty one included, goes
// through it in order, except those over kMaxStatementBytes.
std::string SplitSourceLine(const StatementConverter& convert, std::string line, int depth = 0);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_LINE_SPLITTER_H_
