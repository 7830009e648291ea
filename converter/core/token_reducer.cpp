#include "token_reducer.h"

#include <string>

#include "string_works.h"
#include "text_rules.h"

namespace orvik::massage {
namespace {

const std::string kMarker(1, kSemicolonMarker);

bool IsValueKind(const std::string& type) {
  return type == ttype::kString || type == ttype::kVarVal || type == ttype::kElement;
}

std::string Quoted(std::string_view word) { return "\"" + std::string(word) + "\""; }

// GOTO 10.5 jumps to the label that the translator writes as L10_5.
void JoinJumpTarget(TokenList& t, int k) {
  int at = k + 1;
  // GO TO 10 (GO already Goto): the TO is part of the jump, not its target.
  if (EqualsNoCase(t.V(k), "GOTO") && EqualsNoCase(t.V(at), "TO") && t.Has(at + 1)) {
    t.Clear(at);
    ++at;
  }
  if (!t.Has(at)) return;  // nothing to join
  const std::string& target = t.V(at);
  if (target.find('.') != std::string::npos && ReadsAsNumber(target)) {
    t.SetV(k, t.V(k) + " L" + ReplaceAll(target, ".", "_"));
  } else {
    t.SetV(k, t.V(k) + " " + target);
  }
  t.SetT(k, ttype::kAssemble);
  t.Clear(at);
}

void RewriteMat(TokenList& t, int k) {
  if (t.V(k + 2) == "=") {
    t.SetV(k, "Call Mat(" + t.V(k + 1) + ", " + t.V(k + 3) + ")");
    t.SetT(k, ttype::kAssemble);
    for (int i = 1; i <= 3; ++i) t.Clear(k + i);
  } else if (t.T(k + 1) == ttype::kElement) {
    t.Clear(k);
    if (!EndsWith(t.V(k + 1), ")")) t.SetV(k + 1, t.V(k + 1) + "()");
  }
}

void RewriteMatches(TokenList& t, int k) {
  if (k < 2) return;  // no value in front to test
  t.SetV(k - 1, "MATCHES(" + t.V(k - 1) + ", " + t.V(k + 1) + ")");
  t.SetT(k - 1, ttype::kVarVal);
  t.Clear(k);
  t.Clear(k + 1);
}

// LOCATE(X, L, A; P) or LOCATE(X, L, A; P; BY): the marker at k is the first ";".
void RewriteLocateFunction(TokenList& t, int start, int k) {
  t.SetV(start + 1, t.V(start + 1) + ", " + Quoted("IN"));
  t.SetT(start + 1, ttype::kAssemble);
  int decider;
  if (t.V(k + 2) != kMarker) {
    t.SetV(k, ", " + Quoted("SETTING") + ", ");
    decider = k + 3;
  } else {
    t.SetV(k,
           ", " + Quoted("BY") + ", " + t.V(k + 3) + ", " + Quoted("SETTING") + ", " + t.V(k + 1));
    for (int i = 1; i <= 3; ++i) t.Clear(k + i);
    decider = k + 5;
  }
  t.SetT(k, ttype::kAssemble);
  std::string clause = UpperText(t.V(decider));
  if (clause == "ELSE") {
    t.SetV(start - 1, "IF NOT LOCATE");
    t.SetV(decider, "THEN");
  } else if (clause == "THEN") {
    t.SetV(start - 1, "IF LOCATE");
  } else {
    t.SetV(start - 1, "CALL LOCATE");
  }
}

void RewriteLocateStatement(TokenList& t, int k) {
  for (int l = k + 1; l <= t.Count(); ++l) {
    std::string word = UpperText(t.V(l));
    if (word == "IN" || word == "BY" || word == "SETTING") {
      t.SetV(l, ", " + Quoted(word) + ",");
      t.SetT(l, ttype::kComma);
    } else if (word == "THEN" || word == "ELSE") {
      t.SetV(l, ") THEN");
      t.SetV(k, word == "THEN" ? "IF LOCATE(" : "IF NOT LOCATE(");
      t.SetT(k, ttype::kAssemble);
      return;
    }
  }
}

// CONVERT X TO Y IN S
void RewriteConvertStatement(TokenList& t, int k) {
  if (!EqualsNoCase(t.V(k + 2), "TO") || !EqualsNoCase(t.V(k + 4), "IN")) return;
  t.SetV(k,
         t.V(k + 5) + " = CConvert(" + t.V(k + 5) + ", " + t.V(k + 1) + ", " + t.V(k + 3) + ") ");
  t.SetT(k, ttype::kAssemble);
  for (int i = 1; i <= 5; ++i) t.Clear(k + i);
}

// Two values side by side are a value and its format mask.
void ApplyFormatMask(TokenList& t, int start, int k) {
  if (k <= start || !IsValueKind(t.T(k))) return;
  int j = k - 1;
  while (j >= 1 && t.T(j).empty()) --j;
  if (j < 1 || !IsValueKind(t.T(j))) return;
  t.SetV(j, "FMT(" + t.V(j) + ", " + t.V(k) + ")");
  t.SetT(j, ttype::kVarVal);
  t.Clear(k);
}

bool IsGroup(const TokenList& t, int start, int end) {
  return start >= 2 && t.V(start) == "(" && t.V(end) == ")";
}

}  // namespace

void ReduceTokens(TokenList& t, int start, int end) {
  for (int k = start; k <= end; ++k) {
    std::string word = UpperText(t.V(k));
    if (word == "GOTO" || word == "GOSUB") {
      JoinJumpTarget(t, k);
    } else if (word == "MAT") {
      RewriteMat(t, k);
    } else if (word == "MATCHES") {
      RewriteMatches(t, k);
    } else if (word == kMarker && IsGroup(t, start, end)) {
      std::string owner = UpperText(t.V(start - 1));
      if (owner == "INSERT") {
        t.SetV(k, ",");
        t.SetT(k, ttype::kComma);
        break;
      }
      if (owner == "LOCATE") {
        RewriteLocateFunction(t, start, k);
        break;
      }
    } else if (word == "LOCATE") {
      RewriteLocateStatement(t, k);
    } else if (word == "CONVERT") {
      RewriteConvertStatement(t, k);
    }
    ApplyFormatMask(t, start, k);
  }

  bool merged = false;
  if (IsGroup(t, start, end)) {
    if (EqualsNoCase(t.V(start - 1), "CONVERT")) {
      t.SetV(start, t.V(start + 1) + " = CConvert(");
      t.SetT(start, ttype::kAssemble);
      t.Clear(start - 1);
    } else {
      merged = t.T(start - 1) == ttype::kElement;
      if (start >= 3 && StartsWith(t.V(start - 1), "@") && EqualsNoCase(t.V(start - 2), "CALL")) {
        t.SetV(start, "Call XCallByName(" + t.V(start - 1).substr(1) + ",");
        t.SetT(start, ttype::kAssemble);
        t.Clear(start - 1);
        t.Clear(start - 2);
      }
    }
  }

  std::string joined = t.V(start);
  for (int i = start + 1; i <= end; ++i) {
    if (t.V(i).empty()) continue;
    joined += joined.empty() ? t.V(i) : " " + t.V(i);
    t.Clear(i);
  }
  if (merged) {
    joined = t.V(start - 1) + joined;
    t.Clear(start - 1);
  }
  std::string type = t.T(start);
  t.SetV(start, joined);
  t.SetT(start, type == ttype::kAssemble ? ttype::kAssemble : ttype::kVarVal);
  t.Compact();
}

}  // namespace orvik::massage
