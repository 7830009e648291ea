#include "reference_rewrite.h"

#include <algorithm>

#include "text_rules.h"

namespace orvik::massage {
namespace {

constexpr auto npos = std::string::npos;

// Each rewrite consumes the "<" it starts at, but a reference whose name holds a "<" copies
// it into the assignment form; this bound keeps such a statement from rewriting forever.
constexpr int kMaxReferences = 500;

// Where the name in front of the "<" at `a` starts: a word, or a word with its
// parenthesised arguments (F ( 1 ) stays whole).
std::size_t NameStart(const std::string& text, std::size_t a) {
  int depth = 0;
  bool passed = false;
  for (std::size_t i = a; i-- > 0;) {
    char c = text[i];
    if (c == ')') {
      ++depth;
    } else if (c == '(') {
      --depth;
    } else if (c == ' ') {
      if (depth == 0 && passed) return i + 1;
    } else if (depth == 0) {
      passed = true;
    }
  }
  return 0;
}

// End (exclusive) of the right-hand side of X < a > = rhs, starting at `from`: all of the
// rest of the statement (X<5> = TOTAL + TAX stores the sum), up to the THEN, ELSE or LOCKED
// of a clause it stands in.
std::size_t RightHandSideEnd(const std::string& text, std::size_t from) {
  int depth = 0;
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] == '(') {
      ++depth;
    } else if (text[i] == ')') {
      --depth;
    } else if (text[i] == ' ' && depth <= 0) {
      std::size_t e = std::min(text.find(' ', i + 1), text.size());
      std::string word = UpperText(std::string_view(text).substr(i + 1, e - i - 1));
      if (word == "THEN" || word == "ELSE" || word == "LOCKED") return i;
    }
  }
  return text.size();
}

// Between the angle brackets of a reference stand positions only. A logical or clause word
// there means that "<" and ">" are comparisons: IF A < B AND C > D THEN.
bool HoldsComparisonWords(std::string_view between) {
  for (const std::string& word : SplitWords(UpperText(between))) {
    for (const char* w : {"AND", "OR", "THEN", "ELSE", "=", "NE", "EQ", "LT", "GT", "LE", "GE"}) {
      if (word == w) return true;
    }
  }
  return false;
}

// Words in front of a parenthesised value that are no function's name.
bool IsStatementWord(std::string_view upper) {
  for (const char* w :
       {"IF",     "THEN",  "ELSE",    "ELSEIF", "AND",  "OR", "CRT",  "PRINT", "DISPLAY",
        "RETURN", "UNTIL", "WHILE",   "CASE",   "TO",   "EQ", "NE",   "LT",    "GT",
        "LE",     "GE",    "MATCHES", "MATCH",  "CALL", "ON", "STEP", "BY"}) {
    if (upper == w) return true;
  }
  return false;
}

// Where the value whose substring is taken starts, given its last character at `last`: a
// word, a reference (JUNK < 1 >), a call or element (F ( X )), or a bracketed value
// (( A & B )); a substring of a substring takes the first one whole.
std::size_t SubstringOwnerStart(const std::string& text, std::size_t last) {
  char close = text[last];
  if (close != ')' && close != '>') {
    std::size_t blank = text.rfind(' ', last);
    return blank == npos ? 0 : blank + 1;
  }
  char open = close == ')' ? '(' : '<';
  int depth = 0;
  std::size_t i = last + 1;
  while (i-- > 0) {
    if (text[i] == close) ++depth;
    if (text[i] == open && --depth == 0) break;
  }
  if (i == npos || i < 2 || text[i - 1] != ' ') return i == npos ? 0 : i;
  std::size_t nameEnd = i - 1;  // the blank in front of the opening character
  std::size_t blank = text.rfind(' ', nameEnd - 1);
  std::size_t nameStart = blank == npos ? 0 : blank + 1;
  std::string name = UpperText(std::string_view(text).substr(nameStart, nameEnd - nameStart));
  bool named = !name.empty() && ((name[0] >= 'A' && name[0] <= 'Z') || name[0] == '@') &&
               !IsStatementWord(name);
  return named || close == '>' ? nameStart : i;
}

}  // namespace

std::string RewriteSubstrings(std::string text) {
  std::size_t from = 0;  // brackets in front of here are no substrings
  for (;;) {
    std::size_t a = text.find('[', from);
    if (a == npos) break;
    std::size_t b = text.find(']', a + 1);
    if (b == npos) break;
    std::size_t comma = text.find(',', a + 1);
    if (comma == npos || comma > b) {
      from = a + 1;  // X[n] reads differently from one system to the next: left as written
      continue;
    }
    std::size_t last = a == 0 ? npos : text.find_last_not_of(' ', a - 1);
    std::size_t start = last == npos ? 0 : SubstringOwnerStart(text, last);
    std::string name = TrimBlanks(std::string_view(text).substr(start, a - start));
    std::string between = text.substr(a + 1, b - a - 1);
    text = ReplaceAt(text, start, b + 1 - start, "Mid ( " + name + " , " + between + " ) ");
  }
  return text;
}

std::string RewriteDynamicArrays(std::string text) {
  std::size_t from = 0;  // comparisons in front of here are passed over
  for (int n = 0; n < kMaxReferences; ++n) {
    std::size_t a = text.find('<', from);
    if (a == npos) break;
    std::size_t g = text.find('>', a);
    if (g == npos) break;
    // The first "<" is a comparison when another opens before the ">".
    std::size_t second = text.find('<', a + 1);
    if (second != npos && second < g) a = second;
    std::string between = text.substr(a + 1, g - a - 1);
    if (HoldsComparisonWords(between)) {
      from = a + 1;
      continue;
    }

    std::size_t start = NameStart(text, a);
    std::string name = text.substr(start, a - start);
    // In IF X<1> = 2 THEN the reference is compared; in IF A THEN X<1> = 2 it is stored.
    std::string upper = UpperText(TrimBlanks(text));
    bool ifStatement = StartsWith(upper, "IF ") || StartsWith(upper, "ELSEIF ");
    std::string_view front = std::string_view(text).substr(0, start);
    bool condition = ifStatement && FindWordNoCase(front, "THEN") == npos &&
                     FindWordNoCase(front, "ELSE") == npos;
    if (g + 2 < text.size() && text[g + 2] == '=' && !condition) {
      std::size_t rhsStart = std::min(g + 4, text.size());
      std::size_t end = RightHandSideEnd(text, rhsStart);
      std::string rhs = TrimBlanks(std::string_view(text).substr(rhsStart, end - rhsStart));
      text =
          ReplaceAt(text, start, end - start,
                    " " + name + " = RReplace ( " + name + " , " + between + " , " + rhs + " ) ");
    } else {
      text = ReplaceAt(text, start, g + 1 - start, "Extract ( " + name + " , " + between + " ) ");
    }
  }
  return text;
}

}  // namespace orvik::massage
