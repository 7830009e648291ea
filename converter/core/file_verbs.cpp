#include "file_verbs.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "text_rules.h"

namespace orvik::massage {
namespace {

constexpr auto npos = std::string::npos;

constexpr std::array<std::string_view, 5> kSearches = {" OPEN ", " READ", " WRITE", " MATREAD",
                                                       " MATWRITE"};
constexpr std::array<std::string_view, 14> kVerbs = {
    "OPEN",   "READ",   "READV",   "READU",   "READVU",   "READNEXT", "WRITE",
    "WRITEV", "WRITEU", "WRITEVU", "MATREAD", "MATREADU", "MATWRITE", "MATWRITEU"};

// The port leaves "[920] Another user has this item locked" in ErrorDetail when a read for
// update fails on another port's lock.
constexpr std::string_view kLockedByAnother = "Val ( Mid ( ErrorDetail , 2 ) ) = 920";

bool IsFileVerb(std::string_view word) {
  return std::find(kVerbs.begin(), kVerbs.end(), word) != kVerbs.end();
}

// TO, FROM and ON between the arguments are argument separators.
std::string SeparateArguments(std::string_view args) {
  std::string r(1, ' ');
  r += args;
  for (std::string_view word : {" TO ", " FROM ", " ON "}) r = ReplaceFirstNoCase(r, word, " , ");
  return r.substr(1);
}

// The word in front of the verb at `verbPos` makes it a condition: WHILE or UNTIL.
bool ConditionWordInFront(const std::string& text, std::size_t verbPos) {
  std::vector<std::string> words = SplitWords(std::string_view(text).substr(0, verbPos));
  return !words.empty() &&
         (EqualsNoCase(words.back(), "WHILE") || EqualsNoCase(words.back(), "UNTIL"));
}

std::string JoinAsLines(const std::vector<std::string>& lines) {
  std::string r;
  for (const std::string& line : lines) {
    if (!r.empty()) {
      r += ' ';
      r += kLineBreakWord;
      r += ' ';
    }
    r += line;
  }
  return r;
}

// READU R FROM F , K LOCKED s1 [THEN s2] [ELSE s3]: the read's three outcomes as one If
// block, in the order VB needs them: found (THEN), locked by another port (LOCKED), not found
// (ELSE). When the line ends with a clause word, that clause's statements follow on the next
// lines and the block stays open for the END that closes it.
std::string LockedClause(const std::string& call, const std::string& clause,
                         const std::string& upper, std::size_t argsBegin, std::size_t lockedPos,
                         FileVerbBlocks& blocks) {
  const std::size_t lockedEnd = lockedPos + 6;
  std::size_t thenPos = FindWordNoCase(upper, "THEN", lockedEnd);
  const std::size_t elsePos = FindWordNoCase(upper, "ELSE", lockedEnd);
  if (thenPos != npos && elsePos != npos && thenPos > elsePos) thenPos = npos;  // ELSE's own
  const auto part = [&clause](std::size_t begin, std::size_t end) {
    return TrimBlanks(std::string_view(clause).substr(begin, end - begin));
  };
  const std::string args =
      SeparateArguments(lockedPos > argsBegin ? part(argsBegin, lockedPos) : "");
  const std::string locked = part(lockedEnd, std::min({thenPos, elsePos, clause.size()}));
  const std::string found =
      thenPos == npos ? "" : part(thenPos + 4, std::min(elsePos, clause.size()));
  const std::string missing = elsePos == npos ? "" : part(elsePos + 4, clause.size());
  const bool block = elsePos != npos   ? missing.empty()
                     : thenPos != npos ? found.empty()
                                       : locked.empty();
  std::vector<std::string> lines;
  if (block && elsePos == npos && thenPos == npos) {
    // LOCKED ends the line: the locked statements come first, THEN and ELSE on later lines
    // test what the read found.
    const std::string found = LockedReadFound(blocks.lockedReads.size() + 1);
    lines = {found + " = " + call + " ( " + args + " )",
             "If Not " + found + " And " + std::string(kLockedByAnother) + " Then"};
    ++blocks.openIfs;
    blocks.lockedReads.push_back(blocks.openIfs);
    return JoinAsLines(lines);
  }
  if (block && elsePos == npos && thenPos != npos) {
    // The found statements come on the next lines, so they must be the last branch.
    lines = {"If Not " + call + " ( " + args + " ) Then",
             "If " + std::string(kLockedByAnother) + " Then"};
    if (!locked.empty()) lines.push_back(locked);
    lines.insert(lines.end(), {"End If", "Else"});
  } else {
    lines = {"If " + call + " ( " + args + " ) Then"};
    if (!found.empty()) lines.push_back(found);
    lines.push_back("ElseIf " + std::string(kLockedByAnother) + " Then");
    if (!locked.empty()) lines.push_back(locked);
    if (elsePos != npos) lines.push_back("Else");
    if (!missing.empty()) lines.push_back(missing);
    if (!block) lines.push_back("End If");
  }
  if (block) ++blocks.openIfs;
  return JoinAsLines(lines);
}

}  // namespace

std::string LockedReadFound(std::size_t level) { return "ReadFound" + std::to_string(level); }

std::string RewriteFileVerbs(std::string text, FileVerbBlocks& blocks) {
  std::size_t from = 0;
  for (int pass = 0; pass < 2; ++pass) {
    std::string searched = " " + text;
    std::size_t hit = npos;
    for (std::string_view needle : kSearches) {
      hit = FindNoCase(searched, needle, from);
      if (hit != npos) break;
    }
    if (hit == npos) break;
    std::size_t verbPos = hit;  // the blank in front of the text shifts positions by one
    std::string clause = text.substr(verbPos);
    std::string upper = UpperText(TrimRightBlanks(clause));
    std::string verb = upper.substr(0, upper.find(' '));
    if (!IsFileVerb(verb)) break;
    std::string call = StartsWith(verb, "MAT") ? verb : verb.substr(0, 1) + verb;

    // A clause may carry LOCKED, THEN and ELSE (in that order); only the arguments in front
    // of them are the call's.
    std::size_t elsePos = FindWordNoCase(upper, "ELSE", verb.size());
    std::size_t thenPos = FindWordNoCase(upper, "THEN", verb.size());
    std::size_t lockedPos = FindWordNoCase(upper, "LOCKED", verb.size());
    std::size_t argsBegin = std::min(verb.size() + 1, clause.size());
    if (lockedPos != npos && lockedPos < std::min(thenPos, elsePos)) {
      text =
          text.substr(0, verbPos) + LockedClause(call, clause, upper, argsBegin, lockedPos, blocks);
      from = FindNoCase(text, call) + 4;
      continue;
    }
    std::size_t argsEnd = clause.size();
    std::size_t word = npos;  // the THEN or ELSE that ends the arguments
    std::string head;
    if (thenPos != npos && (elsePos == npos || thenPos < elsePos)) {
      head = "If " + call + " ( ";
      word = thenPos;
    } else if (elsePos != npos) {
      head = "If Not " + call + " ( ";
      word = elsePos;
    } else if (ConditionWordInFront(text, verbPos)) {
      head = call + " ( ";  // LOOP WHILE READNEXT ID DO: the call is the loop's condition
    } else {
      head = "CALL " + call + " ( ";
    }
    std::string tail = " )";
    if (word != npos) {
      argsEnd = word - 1;
      std::string rest = clause.substr(word + 4);
      tail = " ) Then" + rest;
      // Only a clause word that ends the line opens a block; READ R FROM F, K ELSE STOP is
      // a one-line If that no END closes.
      if (TrimBlanks(rest).empty()) ++blocks.openIfs;
    }
    std::string args = argsEnd > argsBegin ? clause.substr(argsBegin, argsEnd - argsBegin) : "";
    text = text.substr(0, verbPos) + head + SeparateArguments(args) + tail;
    from = FindNoCase(text, call) + 4;
  }
  return text;
}

}  // namespace orvik::massage
