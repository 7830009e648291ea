#include "file_verbs.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "text_rules.h"

namespace orvik::massage {
namespace {

constexpr auto npos = std::string::npos;

constexpr std::array<std::string_view, 5> kSearches = {" OPEN ", " READ", " WRITE", " MATREAD",
                                                       " MATWRITE"};
constexpr std::array<std::string_view, 13> kVerbs = {
    "OPEN",   "READ",    "READV",   "READU",    "READVU",   "WRITE",    "WRITEV",
    "WRITEU", "WRITEVU", "MATREAD", "MATREADU", "MATWRITE", "MATWRITEU"};

bool IsFileVerb(std::string_view word) {
  return std::find(kVerbs.begin(), kVerbs.end(), word) != kVerbs.end();
}

// TO, FROM and ON between the arguments are argument separators.
std::string SeparateArguments(std::string_view args) {
  std::string r = " " + std::string(args);
  for (std::string_view word : {" TO ", " FROM ", " ON "}) r = ReplaceFirstNoCase(r, word, " , ");
  return r.substr(1);
}

}  // namespace

std::string RewriteFileVerbs(std::string text, int& openedIfs) {
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

    // A clause may carry THEN, ELSE or both (THEN first); only the arguments in front of
    // them are the call's.
    std::size_t elsePos = FindWordNoCase(upper, "ELSE", verb.size());
    std::size_t thenPos = FindWordNoCase(upper, "THEN", verb.size());
    std::size_t argsBegin = std::min(verb.size() + 1, clause.size());
    std::size_t argsEnd = clause.size();
    std::string head;
    std::string tail;
    if (thenPos != npos && (elsePos == npos || thenPos < elsePos)) {
      head = "If " + call + " ( ";
      argsEnd = thenPos - 1;
      tail = " ) Then" + clause.substr(thenPos + 4);
      ++openedIfs;
    } else if (elsePos != npos) {
      head = "If Not " + call + " ( ";
      argsEnd = elsePos - 1;
      tail = " ) Then" + clause.substr(elsePos + 4);
      ++openedIfs;
    } else {
      head = "CALL " + call + " ( ";
      tail = " )";
    }
    std::string args = argsEnd > argsBegin ? clause.substr(argsBegin, argsEnd - argsBegin) : "";
    text = text.substr(0, verbPos) + head + SeparateArguments(args) + tail;
    from = FindNoCase(text, call) + 4;
  }
  return text;
}

}  // namespace orvik::massage
