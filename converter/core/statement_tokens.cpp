// The token stage of a statement: words to tokens, keywords renamed, string literals
// restored, parenthesised groups reduced innermost first, the tokens joined into one line.

#include <array>
#include <string_view>
#include <utility>

#include "statement_translator.h"
#include "statement_work.h"
#include "string_works.h"
#include "text_rules.h"
#include "token_reducer.h"

namespace orvik::massage {
namespace {

struct Renamed {
  std::string_view word;
  std::string_view value;
  std::string_view type;
};

constexpr std::array<Renamed, 16> kRenamed = {{
    {"SUBROUTINE", "SUB", ttype::kKeyword},
    {"BEEP", "BBeep", ttype::kElement},
    {"STOP", "SStop", ttype::kKeyword},
    {"DIR", "DDIR", ttype::kElement},
    {"TYPE", "TTYPE", ttype::kElement},
    {"ANY", "AANY", ttype::kElement},
    {"ERASE", "EERASE", ttype::kElement},
    {"MATCH", "MATCHES", ttype::kKeyword},
    {"GO", "Goto", ttype::kKeyword},
    {"@", "TTag", ttype::kElement},
    {"PRINT", "PPrint", ttype::kKeyword},
    {"INPUT", "IInput", ttype::kKeyword},
    {"DELETE", "Dylete", ttype::kKeyword},
    {"CHAR", "Chr", ttype::kElement},
    {"NULL", "Continue", ttype::kKeyword},
    {"STR", "SStr", ttype::kElement},
}};

constexpr std::array<std::string_view, 10> kOperators = {"+", "-",   "*",  "/",   "**",
                                                         "^", "AND", "OR", "NOT", "&"};
constexpr std::array<std::string_view, 12> kRelations = {
    "=", "<>", ">", "<", ">=", "<=", "EQ", "NE", "GT", "LT", "GE", "LE"};
constexpr std::array<std::string_view, 40> kKeywords = {
    "IF",      "ELSEIF",   "ELSE",   "THEN",    "EXIT",     "FOR",      "TO",        "STEP",
    "NEXT",    "DO",       "REPEAT", "DIM",     "CALL",     "GOTO",     "WHILE",     "UNTIL",
    "GOSUB",   "PROMPT",   "CRT",    "MATREAD", "MATREADU", "MATWRITE", "MATWRITEU", "RELEASE",
    "ON",      "OOPEN",    "RREAD",  "RREADV",  "RREADU",   "RREADVU",  "WWRITE",    "WWRITEV",
    "WWRITEU", "WWRITEVU", "LOCATE", "IN",      "BY",       "DATA",     ":",         "RREADNEXT"};

template <std::size_t N>
bool OneOf(const std::array<std::string_view, N>& list, std::string_view word) {
  for (std::string_view w : list) {
    if (w == word) return true;
  }
  return false;
}

// A literal's contents as the splitter passed them, made into a VB literal: the marked
// apostrophe and double quote come back (the quote doubled), escaped bytes as they were.
std::string RestoreLiteral(std::string_view contents) {
  std::string r = "\"";
  for (std::size_t i = 0; i < contents.size(); ++i) {
    char c = contents[i];
    if (c == kLiteralEscape && i + 1 < contents.size()) {
      r += contents[++i];
    } else if (c == kApostropheMarker) {
      r += '\'';
    } else if (c == kQuoteMarker) {
      r += "\"\"";
    } else {
      r += c;
    }
  }
  return r + "\"";
}

// A word outside a literal never holds an escape, unless a literal was left open.
std::string DropEscapes(std::string_view word) {
  std::string r;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (word[i] == kLiteralEscape && i + 1 < word.size()) ++i;
    r += word[i];
  }
  return r;
}

clsToken MakeToken(const std::string& word, bool firstWord) {
  std::string upper = UpperText(word);
  if (word == "(" || word == ")") return {word, word};
  for (const Renamed& r : kRenamed) {
    if (upper == r.word) return {std::string(r.value), r.type};
  }
  if (upper == "LOOP") return firstWord ? clsToken(word, "") : clsToken("LLOOP", ttype::kElement);
  if (word == "," || word == ";") return {word, ttype::kComma};
  if (OneOf(kOperators, upper)) return {word, ttype::kOp};
  if (OneOf(kRelations, upper)) return {word, ttype::kRelate};
  if (OneOf(kKeywords, upper)) return {word, ttype::kKeyword};
  if (ReadsAsNumber(word)) return {word, ttype::kNumber};
  return {ReplaceAll(DropEscapes(word), ".", "_"), ttype::kElement};
}

// The relational words become VB operators, outside string literals only.
std::string RenameRelations(const std::string& line) {
  static const char* const kRelationWords[][2] = {{" EQ ", " = "},  {" NE ", " <> "},
                                                  {" GT ", " > "},  {" LT ", " < "},
                                                  {" GE ", " >= "}, {" LE ", " <= "}};
  std::string r;
  std::size_t i = 0;
  while (i < line.size()) {
    std::size_t open = line.find('"', i);
    std::string code = line.substr(i, open == std::string::npos ? std::string::npos : open - i);
    for (const auto& [find, replacement] : kRelationWords) {
      code = ReplaceAllNoCase(code, find, replacement);
    }
    r += code;
    if (open == std::string::npos) break;
    std::size_t close = line.find('"', open + 1);
    std::size_t end = close == std::string::npos ? line.size() : close + 1;
    r += line.substr(open, end - open);
    i = end;
  }
  return r;
}

}  // namespace

std::string StatementTranslator::TokenizeAndJoin(Work& work) {
  // A statement that became several lines is tokenized line by line; its string literals
  // are counted through all of them.
  int strings = 0;
  std::vector<std::vector<std::string>> lines(1);
  for (std::string& word : SplitWords(work.text)) {
    if (word == kLineBreakWord) {
      lines.emplace_back();
    } else {
      lines.back().push_back(std::move(word));
    }
  }
  std::string joined;
  for (const std::vector<std::string>& words : lines) {
    if (!joined.empty()) joined += kCrLf;
    joined += RenameRelations(work.indent + TokenizeAndJoinLine(work, words, strings));
  }
  return JoinLines(work.prefix, joined, work.suffix);
}

std::string StatementTranslator::TokenizeAndJoinLine(const Work& work,
                                                     const std::vector<std::string>& words,
                                                     int& strings) {
  Tokens.Reset();
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (StartsWith(words[i], "\"")) {
      std::size_t piece = static_cast<std::size_t>(2 * ++strings - 1);
      std::string contents = piece < work.pieces.size() ? work.pieces[piece] : "";
      Tokens.Add({RestoreLiteral(contents), ttype::kString});
    } else {
      Tokens.Add(MakeToken(words[i], i == 0));
    }
  }
  if (Tokens.Count() == 0) Tokens.Add({});

  // Innermost group first: the first ")" and the last "(" in front of it. Each reduction
  // consumes one "(", so the loop ends; unmatched parentheses are left as they are.
  for (int guard = Tokens.Count(); guard > 0; --guard) {
    int open = 0;
    int close = 0;
    for (int k = 1; k <= Tokens.Count() && close == 0; ++k) {
      if (Tokens.V(k) == "(") open = k;
      if (Tokens.V(k) == ")" && open != 0) close = k;
    }
    if (close == 0) break;
    ReduceTokens(Tokens, open, close);
  }
  ReduceTokens(Tokens, 1, Tokens.Count());

  std::string line;
  for (int k = 1; k <= Tokens.Count(); ++k) {
    if (k > 1) line += " ";
    line += Tokens.V(k);
  }
  return line;
}

}  // namespace orvik::massage
