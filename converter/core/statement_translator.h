// Translates one PICK BASIC statement into Visual Basic text written against the engine's
// Port and the function library's Functions.

#ifndef ORVIK_CONVERTER_CORE_STATEMENT_TRANSLATOR_H_
#define ORVIK_CONVERTER_CORE_STATEMENT_TRANSLATOR_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "token.h"

namespace orvik::massage {

// Written between a label and the comment behind it: START: * note gives
// START: '-- label, was * note.
inline constexpr std::string_view kLabelCommentNote = " '-- label, was ";

// An open FOR .. UNTIL / FOR .. WHILE loop turned into a DO loop: its NEXT closes it.
struct ForLoopEntry {
  std::string variable;  // upper case
  std::string limit;
};

class StatementTranslator {
 public:
  // Returns the VB text for one statement as the line splitter cut it out: several lines
  // joined by CR LF (a label, comment lines, a closing line), no CR LF at the end.
  std::string ConvertStatement(const std::string& statement);

  // Starts a new file: no open loops, no open If blocks, no loop kind, no pending CASE.
  void StartConversion();

  // Called once per statement, after its text is built, so that a window stays responsive.
  std::function<void()> yield;

  // State kept from statement to statement while one file converts.
  std::vector<ForLoopEntry> ForLoopStack;
  int OpenIfCount = 0;
  // For each open read whose LOCKED ended its line, the OpenIfCount its block stands at.
  std::vector<int> LockedReads;
  std::string LoopKind;  // "Do" or "For": the kind of the loop opened last
  bool CasePending = false;
  TokenList Tokens;  // the statement being translated

 private:
  struct Work;
  // The text stage: strings hidden, operators spaced, blocks, references and file verbs
  // rewritten. Returns true when the statement's result is already final (in work.result).
  bool RewriteText(const std::string& statement, Work& work);
  // Takes a label off the front; true when the label is all the statement's text.
  bool RewriteLabel(Work& work);
  bool RewriteBlocks(Work& work);
  // IF C ELSE, and a THEN clause's statement followed by an ELSE that ends the line.
  void RewriteElseBlocks(Work& work);
  // An END closed the innermost open block.
  void CloseBlock();
  void RewriteLoopsAndDefinitions(Work& work);
  // The token stage: words to tokens, strings restored, groups reduced, tokens joined.
  std::string TokenizeAndJoin(Work& work);
  // One VB line of it; `strings` counts the literals met so far in the statement.
  std::string TokenizeAndJoinLine(const Work& work, const std::vector<std::string>& words,
                                  int& strings);
};

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_STATEMENT_TRANSLATOR_H_
