// Whole-program checks of a conversion: what a person pasting the result into VB would
// otherwise find by hand. The source is read on its own terms (labels, comments), the
// result as VB (blocks, jump targets), so that neither side trusts the converter's rules.

#ifndef ORVIK_CONVERTER_TESTS_CORPUS_CHECK_PROGRAM_CHECK_H_
#define ORVIK_CONVERTER_TESTS_CORPUS_CHECK_PROGRAM_CHECK_H_

#include <string>
#include <vector>

namespace orvik::massage::corpus {

struct ProgramCounts {
  // A source label without its label line in the result, or a GoSub/GoTo whose target no
  // label line of the result defines.
  int labelsLost = 0;
  // A source comment (REM, *, ! at the start, after a label, or behind a ";") whose text is
  // not inside a VB comment in that line's result.
  int commentsAsCode = 0;
  // A block line without its opener (Else, End If, Loop, Next, End Select, Exit Do/For out
  // of its loop), a block still open at the end, or an Exit Sub with code after it.
  int unbalancedBlocks = 0;
  // A VB statement still holding DATABASIC: a [ or ], a relational word EQ, LOCKED, an
  // operator split from its "=" (> =, < =, + =, - =, * =, / =, & =), an empty Mid( ), a THEN
  // or ELSE outside an If line, or OR standing alone.
  int untranslated = 0;
  std::vector<std::string> notes;  // one per count, naming the line

  ProgramCounts& operator+=(const ProgramCounts& o);
  int Total() const { return labelsLost + commentsAsCode + unbalancedBlocks + untranslated; }
};

// `translations[i]` is the result for `source[i]` (VB lines joined by CR LF).
ProgramCounts CheckProgram(const std::vector<std::string>& source,
                           const std::vector<std::string>& translations);

// Converts the program as the tool does, line by line with one translator, and checks it.
ProgramCounts ConvertAndCheck(const std::vector<std::string>& source);

}  // namespace orvik::massage::corpus

#endif  // ORVIK_CONVERTER_TESTS_CORPUS_CHECK_PROGRAM_CHECK_H_
