#include "operator_rewrite.h"

#include <string_view>

#include "text_rules.h"

namespace orvik::massage {
namespace {

constexpr auto npos = std::string::npos;

// Between "<" and ">" stand a reference's positions, unless a word there compares or joins
// conditions: IF A<B AND C>=D THEN compares twice.
bool LooksLikePositions(std::string_view between) {
  for (const std::string& word : SplitWords(UpperText(between))) {
    for (const char* w : {"AND", "OR", "THEN", "ELSE", "NE", "EQ", "LT", "GT", "LE", "GE"}) {
      if (word == w) return false;
    }
  }
  return between.find('=') == npos;
}

bool IsClauseWord(const std::string& word) {
  std::string upper = UpperText(word);
  return upper == "THEN" || upper == "ELSE" || upper == "LOCKED";
}

// A word that can name an element or a field: S ( I ), REC < 1 >.
bool IsName(const std::string& word) {
  char c = UpperChar(word.empty() ? ' ' : word[0]);
  return ((c >= 'A' && c <= 'Z') || c == '@') && !IsClauseWord(word) && !EqualsNoCase(word, "IF");
}

// The first word of the assignment's target that ends at `last`: a name, with its
// parenthesised subscripts or its reference positions. It never reaches back in front of
// `floor`, so that no written-out assignment is copied again (which could double the text
// with every further operator).
std::size_t TargetStart(const std::vector<std::string>& w, std::size_t last, std::size_t floor) {
  const std::string& end = w[last];
  if (end != ")" && end != ">") return last;
  const std::string open = end == ")" ? "(" : "<";
  int depth = 0;
  for (std::size_t i = last + 1; i-- > floor;) {
    if (w[i] == end) ++depth;
    if (w[i] == open && --depth == 0) return i > floor && IsName(w[i - 1]) ? i - 1 : i;
  }
  return last;
}

}  // namespace

std::string NameTwoCharacterComparisons(std::string text) {
  std::string r;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '<' && i + 1 < text.size() && text[i + 1] == '=') {
      r += " LE ";
      ++i;
    } else if (text[i] == '>' && i + 1 < text.size() && text[i + 1] == '=') {
      std::size_t open = text.find_last_of("<>", i == 0 ? npos : i - 1);
      bool closesReference =
          open != npos && i > 0 && text[open] == '<' &&
          LooksLikePositions(std::string_view(text).substr(open + 1, i - open - 1));
      if (closesReference) {
        r += '>';
      } else {
        r += " GE ";
        ++i;
      }
    } else {
      r += text[i];
    }
  }
  return r;
}

std::vector<std::string> WriteOutCompoundAssignments(std::vector<std::string> w) {
  std::size_t floor = 0;  // the end of the last assignment written out
  for (std::size_t i = 1; i + 1 < w.size(); ++i) {
    const std::string& op = w[i];
    bool compound =
        w[i + 1] == "=" && (op == "+" || op == "-" || op == "*" || op == "/" || op == "&");
    if (!compound) continue;
    if (i <= floor) continue;
    std::size_t start = TargetStart(w, i - 1, floor);
    std::size_t valueEnd = i + 2;
    while (valueEnd < w.size() && !IsClauseWord(w[valueEnd])) ++valueEnd;
    std::vector<std::string> target(w.begin() + static_cast<std::ptrdiff_t>(start),
                                    w.begin() + static_cast<std::ptrdiff_t>(i));
    std::vector<std::string> value(w.begin() + static_cast<std::ptrdiff_t>(i + 2),
                                   w.begin() + static_cast<std::ptrdiff_t>(valueEnd));
    // X -= A + B takes the whole value away; X += A - B reads the same either way.
    bool bracket = value.size() > 1 && op != "+" && op != "&";
    std::vector<std::string> written(target);
    written.push_back("=");
    written.insert(written.end(), target.begin(), target.end());
    written.push_back(op);
    if (bracket) written.push_back("(");
    written.insert(written.end(), value.begin(), value.end());
    if (bracket) written.push_back(")");
    std::vector<std::string> r(w.begin(), w.begin() + static_cast<std::ptrdiff_t>(start));
    r.insert(r.end(), written.begin(), written.end());
    floor = r.size();
    i = floor;
    r.insert(r.end(), w.begin() + static_cast<std::ptrdiff_t>(valueEnd), w.end());
    w = std::move(r);
  }
  return w;
}

}  // namespace orvik::massage
