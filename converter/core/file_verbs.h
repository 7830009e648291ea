// The file verbs (OPEN, READ.., READNEXT, WRITE.., MATREAD.., MATWRITE..) with their LOCKED,
// THEN and ELSE clauses, turned into calls of the port's doubled-letter members inside an If.

#ifndef ORVIK_CONVERTER_CORE_FILE_VERBS_H_
#define ORVIK_CONVERTER_CORE_FILE_VERBS_H_

#include <string>

namespace orvik::massage {

// Rewrites at most two file verbs of the working text. READ R FROM F , K ELSE gives
// If Not RREAD ( R , F , K ) Then, WRITE R ON F , K gives CALL WWRITE ( R , F , K ).
// `openedIfs` rises by one for every verb whose THEN, ELSE or LOCKED ends the line (a block
// that an END closes). A LOCKED clause makes the statement several lines, parted by
// kLineBreakWord.
std::string RewriteFileVerbs(std::string text, int& openedIfs);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_FILE_VERBS_H_
