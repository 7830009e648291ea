// The file verbs (OPEN, READ.., READNEXT, WRITE.., MATREAD.., MATWRITE..) with their LOCKED,
// THEN and ELSE clauses, turned into calls of the port's doubled-letter members inside an If.

#ifndef ORVIK_CONVERTER_CORE_FILE_VERBS_H_
#define ORVIK_CONVERTER_CORE_FILE_VERBS_H_

#include <cstddef>
#include <string>
#include <vector>

namespace orvik::massage {

// The If blocks that file verbs open and that an END on a later line closes.
struct FileVerbBlocks {
  int& openIfs;  // rises by one for every such block
  // The open-block count at which each still-open read whose LOCKED ended its line stands,
  // innermost last: its THEN and ELSE come on lines of their own.
  std::vector<int>& lockedReads;
};

// Rewrites at most two file verbs of the working text. READ R FROM F , K ELSE gives
// If Not RREAD ( R , F , K ) Then, WRITE R ON F , K gives CALL WWRITE ( R , F , K ).
// Every verb whose THEN, ELSE or LOCKED ends the line opens a block. A LOCKED clause makes the
// statement several lines, parted by kLineBreakWord.
std::string RewriteFileVerbs(std::string text, FileVerbBlocks& blocks);

// The variable that holds whether the read opened the `level`-th open LOCKED block found
// its item: the clauses on the lines below test it.
std::string LockedReadFound(std::size_t level);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_FILE_VERBS_H_
