// The file verbs (OPEN, READ.., WRITE.., MATREAD.., MATWRITE..) with their THEN and ELSE
// clauses, turned into calls of the port's doubled-letter members inside an If.

#ifndef ORVIK_CONVERTER_CORE_FILE_VERBS_H_
#define ORVIK_CONVERTER_CORE_FILE_VERBS_H_

#include <string>

namespace orvik::massage {

// Rewrites at most two file verbs of the working text. READ R FROM F , K ELSE gives
// If Not RREAD ( R , F , K ) Then, WRITE R ON F , K gives CALL WWRITE ( R , F , K ).
// `openedIfs` rises by one for every verb that got a THEN or ELSE.
std::string RewriteFileVerbs(std::string text, int& openedIfs);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_FILE_VERBS_H_
