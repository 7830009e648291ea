// FOR .. UNTIL / WHILE loops turned into DO loops, their NEXT, EQU and EXIT.

#include "statement_translator.h"
#include "statement_work.h"
#include "string_works.h"
#include "text_rules.h"

namespace orvik::massage {
namespace {

constexpr auto npos = std::string::npos;

std::size_t Nearest(std::size_t a, std::size_t b) { return a < b ? a : b; }

// Every "," outside parentheses becomes ":" (EQU A TO 1, B TO 2 is two definitions).
std::string SeparateDefinitions(std::string text) {
  int depth = 0;
  for (char& c : text) {
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (c == ',' && depth == 0) c = ':';
  }
  return text;
}

}  // namespace

void StatementTranslator::RewriteLoopsAndDefinitions(Work& work) {
  work.text = TrimBlanks(work.text) + " ";
  work.TakeUpper();
  const std::string& text = work.text;
  const std::string& upper = work.upper;  // same positions as the text
  std::string first = FieldOf(upper, " ", "1");

  if (first == "FOR") {
    LoopKind = "For";
    std::size_t cond = FindNoCase(text, " UNTIL ");
    if (cond == npos) cond = FindNoCase(text, " WHILE ");
    if (cond != npos) {
      std::size_t eq = upper.find(" = ");
      std::size_t to = eq == npos ? npos : upper.find(" TO ", eq);
      if (eq == npos || to == npos || to > cond || eq < 4) {
        work.prefix.push_back(work.indent +
                              "'-- OrvikMassage could not take this FOR loop apart: left as it "
                              "was");
        return;
      }
      std::string variable = upper.substr(4, eq - 4);
      std::string from = text.substr(eq + 3, to - eq - 3);
      std::size_t stepPos = upper.find(" STEP ", to);
      if (stepPos > cond) stepPos = npos;
      std::string step = stepPos == npos ? "1" : text.substr(stepPos + 6, cond - stepPos - 6);
      std::size_t limitEnd = Nearest(stepPos, cond);
      std::string limit = text.substr(to + 4, limitEnd - to - 4);

      work.prefix.push_back(work.indent +
                            "'-- FOR .. UNTIL|WHILE convert to DO .. LOOP, orig was:");
      work.prefix.push_back(work.indent + "'-- " + TrimRightBlanks(text));
      work.prefix.push_back(work.indent + variable + " = " + from + " - 1");
      work.suffix = work.indent + "  " + variable + " = " + variable + " + " + step;
      ForLoopStack.push_back({variable, limit});
      work.text = "DO" + text.substr(cond);
    }
  } else if (first == "NEXT") {
    std::string variable = upper.size() > 5 ? TrimBlanks(upper.substr(5)) : "";
    if (!ForLoopStack.empty() && variable == ForLoopStack.back().variable) {
      work.text = "Loop Until " + ForLoopStack.back().variable + " >= " + ForLoopStack.back().limit;
      ForLoopStack.pop_back();
    }
  } else if (first == "EQU" || first == "EQUATE") {
    work.text = SeparateDefinitions(ReplaceAll(text.substr(first.size()), " TO ", " = "));
  }

  if (upper == "EXIT" || EndsWith(upper, " EXIT")) work.text += LoopKind;
  // An EXIT that ends one of the lines a statement became leaves the loop the same way.
  if (!LoopKind.empty()) {
    const std::string lineEnd = " " + std::string(kLineBreakWord) + " ";
    work.text = ReplaceAllNoCase(work.text, " EXIT" + lineEnd, " EXIT " + LoopKind + lineEnd);
  }
}

}  // namespace orvik::massage
