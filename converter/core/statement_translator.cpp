#include "statement_translator.h"

#include "file_verbs.h"
#include "operator_rewrite.h"
#include "reference_rewrite.h"
#include "statement_work.h"
#include "string_works.h"
#include "text_rules.h"

namespace orvik::massage {
namespace {

// Step 1 and 2 of the text stage: string contents hidden as letters x, so that nothing
// inside a literal is rewritten; operators spaced so that every one is a word.
std::string HideStringsAndSpaceOperators(std::string statement, std::vector<std::string>& pieces) {
  if (!statement.empty() && statement[0] == '"') statement.insert(0, " ");
  pieces = SplitAt(statement, '"');
  std::string text;
  if (pieces.size() > 2) {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (i % 2 == 0) {
        text += pieces[i];
      } else {
        text += " \"" + std::string(pieces[i].size(), 'x') + "\" ";
      }
    }
  } else {
    text = statement;
  }
  text = NameTwoCharacterComparisons(text);
  static const char* const kSpacing[][2] = {
      {"'", " ' "}, {"<>", " NE "}, {"=", " = "}, {"+", " + "},  {"-", " - "},
      {"*", " * "}, {"/", " / "},   {"(", " ( "}, {")", " ) "},  {"<", " < "},
      {">", " > "}, {"[", " [ "},   {"]", " ] "}, {"!", " OR "}, {",", " , "}};
  for (const auto& [find, replacement] : kSpacing) text = ReplaceAll(text, find, replacement);
  text += " ";
  return ReplaceAll(text, "#", " NE ");
}

// A label's name: a letter, then letters, digits, points and underscores.
bool IsLabelName(std::string_view word) {
  if (word.empty() || !IsIdentifier(word.substr(0, 1))) return false;
  for (char c : word) {
    if (!IsLabelCharacter(c)) return false;
  }
  return true;
}

bool IsWordOrStartOf(std::string_view upper, std::string_view word) {
  return upper == word || StartsWith(upper, std::string(word) + " ");
}

}  // namespace

void StatementTranslator::Work::TakeUpper() { upper = UpperText(TrimBlanks(text)); }

std::string JoinLines(const std::vector<std::string>& prefix, const std::string& line,
                      const std::string& suffix) {
  std::string r;
  for (const std::string& p : prefix) {
    r += p;
    r += kCrLf;
  }
  r += line;
  if (!suffix.empty()) {
    r += kCrLf;
    r += suffix;
  }
  return r;
}

void StatementTranslator::StartConversion() {
  ForLoopStack.clear();
  OpenIfCount = 0;
  LockedReads.clear();
  LoopKind.clear();
  CasePending = false;
  Tokens.Reset();
}

std::string StatementTranslator::ConvertStatement(const std::string& statement) {
  Work work;
  std::string out = RewriteText(statement, work) ? work.result : TokenizeAndJoin(work);
  if (yield) yield();
  return out;
}

bool StatementTranslator::RewriteText(const std::string& statement, Work& work) {
  std::string text = HideStringsAndSpaceOperators(statement, work.pieces);

  std::size_t first = text.find_first_not_of(' ');
  work.indent = text.substr(0, first == std::string::npos ? text.size() : first);
  std::string joined;
  for (std::string& word : WriteOutCompoundAssignments(SplitWords(text))) {
    if (EqualsNoCase(word, "TRUE")) word = "TTrue";
    if (EqualsNoCase(word, "FALSE")) word = "FFalse";
    joined += joined.empty() ? word : " " + word;
  }
  work.text = joined + " ";
  work.TakeUpper();

  if (RewriteLabel(work)) return true;
  if (RewriteBlocks(work)) {
    work.result = JoinLines(work.prefix, work.result, "");
    return true;
  }
  work.text = RewriteSubstrings(work.text);
  work.text = RewriteDynamicArrays(work.text);
  FileVerbBlocks blocks{OpenIfCount, LockedReads};
  work.text = RewriteFileVerbs(work.text, blocks);
  RewriteElseBlocks(work);
  // A LOCATE whose THEN or ELSE ends the line opens an If block like any other.
  std::string upper = UpperText(TrimBlanks(work.text));
  if (FieldOf(upper, " ", "1") == "LOCATE" &&
      (EndsWith(upper, " THEN") || EndsWith(upper, " ELSE"))) {
    ++OpenIfCount;
  }
  RewriteLoopsAndDefinitions(work);

  // Print without new line: a trailing ":" (now " &") and one in front of a separator.
  std::string trimmed = TrimRightBlanks(work.text);
  if (EndsWith(trimmed, " &")) work.text = trimmed.substr(0, trimmed.size() - 2) + " , False ";
  for (const char* find : {" & : ", " &  : "}) {
    work.text = ReplaceAllNoCase(work.text, find, " , False : ");
  }
  const std::string lineEnd = " " + std::string(kLineBreakWord) + " ";
  work.text = ReplaceAll(work.text, " &" + lineEnd, " , False" + lineEnd);
  for (const char* find : {" & ELSE ", " & ) ELSE "}) {
    work.text = ReplaceAllNoCase(work.text, find, " , False Else ");
  }
  return false;
}

bool StatementTranslator::RewriteLabel(Work& work) {
  std::string first = FieldOf(work.upper, " ", "1");
  std::string second = FieldOf(work.upper, " ", "2");
  bool number = ReadsAsNumber(first);
  if (!number && !(IsLabelName(first) && second == "&")) return false;

  // A name keeps its case; its points become "_" as in every GOSUB and GOTO naming it.
  std::string label = number ? first : ReplaceAll(FieldOf(work.text, " ", "1"), ".", "_");
  if (number && first.find('.', 1) != std::string::npos) {
    label = "L" + ReplaceAll(first, ".", "_") + ":";
  }
  work.text = TrimLeftBlanks(std::string_view(work.text).substr(first.size()));
  if (StartsWith(work.text, "*")) {
    work.result = label + std::string(kLabelCommentNote) + TrimRightBlanks(work.text);
    return true;
  }
  if (StartsWith(work.text, "&")) {
    if (!EndsWith(label, ":") && !ReadsAsNumber(label)) label += ":";
    work.text = " " + work.text.substr(1);
    std::string rest = TrimBlanks(work.text);
    if (rest.empty()) {
      work.result = label;
      return true;
    }
    // START: * note -- the comment stays a comment.
    if (StartsWith(rest, "*")) {
      work.result = label + std::string(kLabelCommentNote) + rest;
      return true;
    }
  }
  work.prefix.push_back(label);
  // The blocks behind a label are blocks all the same: 10 IF X THEN opens one, 10 END closes.
  work.TakeUpper();
  return false;
}

void StatementTranslator::CloseBlock() {
  if (OpenIfCount > 0) --OpenIfCount;
  while (!LockedReads.empty() && LockedReads.back() > OpenIfCount) LockedReads.pop_back();
}

void StatementTranslator::RewriteElseBlocks(Work& work) {
  std::string text = TrimBlanks(work.text);
  std::string upper = UpperText(text);
  // A file verb's clauses already have their lines.
  if (!StartsWith(upper, "IF ") || text.find(kLineBreakMarker) != std::string::npos) return;
  const std::size_t thenPos = FindWordNoCase(text, "THEN");
  const std::size_t elsePos = FindWordNoCase(text, "ELSE");
  if (elsePos == std::string::npos) return;
  const std::string lineBreak = " " + std::string(kLineBreakWord) + " ";
  const bool elseEnds = elsePos + 4 == text.size();
  if (thenPos == std::string::npos) {
    // IF C ELSE S: the ELSE clause alone is the If's body.
    std::string condition = TrimBlanks(std::string_view(text).substr(3, elsePos - 3));
    std::string rest = text.substr(elsePos + 4);
    work.text = "If Not ( " + condition + " ) Then" + rest + " ";
    if (elseEnds) ++OpenIfCount;
  } else if (elseEnds && thenPos < elsePos) {
    // IF C THEN S ELSE, the ELSE's statements below: a one-line If cannot go on, so S gets a
    // line of its own inside the block.
    std::string body =
        TrimBlanks(std::string_view(text).substr(thenPos + 4, elsePos - thenPos - 4));
    if (body.empty()) return;
    work.text = text.substr(0, thenPos + 4) + lineBreak + body + lineBreak + "Else ";
    ++OpenIfCount;
  }
}

// CASE, loops, IF and END, by the upper-case copy of the statement behind any label.
// Returns true when the statement's text is decided (in work.result).
bool StatementTranslator::RewriteBlocks(Work& work) {
  const std::string& upper = work.upper;
  if (FindNoCase(work.text, "CASE") != std::string::npos) {
    if (upper == "END CASE") {
      work.result = work.indent + "End If";
      return true;
    }
    if (IsWordOrStartOf(upper, "CASE")) {
      if (CasePending) {
        work.text = ReplaceFirstNoCase(work.text, "CASE", "If") + " Then";
        CasePending = false;
      } else if (upper != "CASE 1") {
        work.text = ReplaceFirstNoCase(work.text, "CASE", "ElseIf") + " Then";
      } else {
        work.text = ReplaceFirstNoCase(work.text, "CASE 1", "Else");
      }
    } else if (FindNoCase(work.text, "BEGIN CASE") != std::string::npos) {
      CasePending = true;
      work.result = "'---- was a databasic BEGIN CASE ---";
      return true;
    }
  }

  if (IsWordOrStartOf(upper, "LOOP")) {
    work.text = ReplaceFirstNoCase(work.text, "LOOP", "Do");
    LoopKind = "Do";
    if (EndsWith(upper, " DO")) work.text = work.text.substr(0, FindLastNoCase(work.text, " DO"));
  } else if (IsWordOrStartOf(upper, "REPEAT")) {
    work.text = ReplaceFirstNoCase(work.text, "REPEAT", "Loop");
  } else if (StartsWith(upper, "UNTIL ") || StartsWith(upper, "WHILE ")) {
    bool until = StartsWith(upper, "UNTIL ");
    work.text =
        ReplaceFirstNoCase(work.text, until ? "UNTIL" : "WHILE", until ? "If" : "If Not ( ");
    // DO is a word of its own: UNTIL DONE DO keeps its DONE.
    std::size_t doPos = FindWordNoCase(work.text, "DO");
    if (doPos != std::string::npos) {
      work.text = ReplaceAt(work.text, doPos - 1, 3, until ? " Then Exit Do" : " ) Then Exit Do");
    }
  }

  // The clauses of a read whose LOCKED ended its line, each on lines of its own; a statement
  // behind the clause word goes on the next line.
  if (!LockedReads.empty() && LockedReads.back() == OpenIfCount) {
    const std::string found = LockedReadFound(LockedReads.size());
    for (const char* word : {"END THEN", "THEN", "END ELSE", "ELSE"}) {
      if (!IsWordOrStartOf(upper, word)) continue;
      bool then = EndsWith(word, "THEN");
      std::string line = work.indent + (then ? "ElseIf " : "ElseIf Not ") + found + " Then";
      std::size_t at = FindWordNoCase(work.text, then ? "THEN" : "ELSE");
      std::string rest = TrimBlanks(std::string_view(work.text).substr(at + 4));
      if (rest.empty()) {
        work.result = line;
        return true;
      }
      work.prefix.push_back(line);
      work.text = rest + " ";
      work.TakeUpper();
      return false;
    }
  }

  if (StartsWith(upper, "IF ") && EndsWith(upper, " THEN")) {
    ++OpenIfCount;
  } else if (IsWordOrStartOf(upper, "END ELSE")) {
    work.text = ReplaceFirstNoCase(work.text, "END ELSE", "Else");
    if (upper.size() > 8) {
      // END ELSE X = 1: the Else line, the statement indented under it, and the End If.
      std::size_t p = work.text.find("Else");
      work.prefix = {work.indent + work.text.substr(0, p + 5)};
      work.indent += std::string(p + 2, ' ');
      work.text = TrimBlanks(std::string_view(work.text).substr(p + 5)) + " ";
      work.TakeUpper();
      work.suffix = work.indent + "End If";
      // That End If closes the block: no later END may close it again.
      CloseBlock();
    }
  } else if (upper == "END") {
    if (OpenIfCount != 0) {
      work.result = work.indent + TrimRightBlanks(work.text) + " If";
      CloseBlock();
    } else {
      work.result = "Exit Sub  ' === END ===";
    }
    return true;
  }
  return false;
}

}  // namespace orvik::massage
