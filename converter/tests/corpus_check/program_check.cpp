#include "program_check.h"

#include <cctype>
#include <set>
#include <string_view>

#include "line_splitter.h"
#include "statement_translator.h"
#include "text_rules.h"

namespace orvik::massage::corpus {
namespace {

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '$' ||
         c == '%';
}

// The label at the front of a source line as VB must name it; empty when there is none.
// `rest` becomes the position behind the label and its ":".
std::string SourceLabel(const std::string& line, std::size_t& rest) {
  std::size_t b = line.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  std::size_t e = b;
  while (e < line.size() && IsNameChar(line[e])) ++e;
  std::string word = line.substr(b, e - b);
  if (word.empty()) return "";
  if (std::isdigit(static_cast<unsigned char>(word[0]))) {
    if (!ReadsAsNumber(word) || (e < line.size() && line[e] != ' ' && line[e] != ':')) return "";
    rest = e < line.size() && line[e] == ':' ? e + 1 : e;
    if (word.find('.') == std::string::npos) return word;
    for (char& c : word) c = c == '.' ? '_' : c;
    return "L" + word;
  }
  if (!std::isalpha(static_cast<unsigned char>(word[0])) || e >= line.size() || line[e] != ':' ||
      (e + 1 < line.size() && line[e + 1] == '=')) {
    return "";
  }
  rest = e + 1;
  for (char& c : word) c = c == '.' ? '_' : c;
  return word;
}

// Where a comment's text starts when one starts at `p` (blanks skipped); npos when none.
std::size_t CommentTextAt(const std::string& line, std::size_t p) {
  p = line.find_first_not_of(' ', p);
  if (p == std::string::npos) return std::string::npos;
  if (line[p] == '*' || line[p] == '!') return p + 1;
  if (EqualsNoCase(std::string_view(line).substr(p, 3), "REM") &&
      (p + 3 == line.size() || line[p + 3] == ' ')) {
    return p + 3;
  }
  return std::string::npos;
}

// The texts of the source line's comments: at its start or behind its label, and behind
// every ";" outside strings and parentheses.
std::vector<std::string> SourceComments(const std::string& line) {
  std::vector<std::string> found;
  std::size_t rest = 0;
  SourceLabel(line, rest);
  std::size_t at = CommentTextAt(line, rest);
  if (at == std::string::npos && rest != 0) at = CommentTextAt(line, 0);
  if (at != std::string::npos) return {TrimBlanks(std::string_view(line).substr(at))};
  char quote = 0;
  int depth = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"' || c == '\\') {
      quote = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (c == ';' && depth == 0) {
      std::size_t text = CommentTextAt(line, i + 1);
      if (text != std::string::npos) {
        found.push_back(TrimBlanks(std::string_view(line).substr(text)));
        break;
      }
    }
  }
  return found;
}

struct VbLine {
  std::string code;     // without its comment
  std::string comment;  // behind the first "'" outside strings; empty when none
  bool hasComment = false;
};

VbLine CutComment(const std::string& line) {
  bool inString = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') inString = !inString;
    if (line[i] == '\'' && !inString) return {line.substr(0, i), line.substr(i + 1), true};
  }
  return {line, "", false};
}

std::vector<std::string> CutAt(const std::string& text, std::string_view separator) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (std::size_t p = text.find(separator); p != std::string::npos;
       p = text.find(separator, from)) {
    parts.push_back(text.substr(from, p - from));
    from = p + separator.size();
  }
  parts.push_back(text.substr(from));
  return parts;
}

// The statements of a VB code line: cut at ":" outside strings, a label in front dropped.
std::vector<std::string> Statements(const std::string& code, std::string* label) {
  std::vector<std::string> words = SplitWords(code);
  std::string body = code;
  if (!words.empty() && (EndsWith(words[0], ":") ||
                         (ReadsAsNumber(words[0]) && words[0].find('.') == std::string::npos))) {
    if (label) *label = UpperText(TrimRightBlanks(words[0]).substr(0, words[0].find(':')));
    body = TrimLeftBlanks(std::string_view(body).substr(body.find(words[0]) + words[0].size()));
  }
  std::vector<std::string> statements;
  std::string piece;
  bool inString = false;
  for (char c : body) {
    if (c == '"') inString = !inString;
    if (c == ':' && !inString) {
      statements.push_back(TrimBlanks(piece));
      piece.clear();
    } else {
      piece += c;
    }
  }
  statements.push_back(TrimBlanks(piece));
  return statements;
}

// The words of a statement with string literals taken out, upper case.
std::vector<std::string> CodeWords(const std::string& statement) {
  std::string code;
  bool inString = false;
  for (char c : statement) {
    if (c == '"') {
      inString = !inString;
      code += inString ? " \"" : "\" ";
    } else if (!inString) {
      code += c;
    }
  }
  return SplitWords(UpperText(code));
}

bool StartsWithWord(const std::vector<std::string>& w, std::string_view word) {
  return !w.empty() && w[0] == word;
}

bool IsUntranslated(const std::string& statement) {
  std::vector<std::string> w = CodeWords(statement);
  for (std::size_t i = 0; i < w.size(); ++i) {
    const std::string& x = w[i];
    if (x.find('[') != std::string::npos || x.find(']') != std::string::npos || x == "EQ" ||
        x == "LOCKED" || (x == "MID(" && i + 1 < w.size() && w[i + 1] == ")")) {
      return true;
    }
    if (i + 1 < w.size() && w[i + 1] == "=" &&
        (x == ">" || x == "<" || x == "+" || x == "-" || x == "*" || x == "/" || x == "&")) {
      return true;
    }
    // A value stored into a call: Extract( X , 1 ) = 2 as a statement.
    if (x == "EXTRACT(" && (i == 0 || w[i - 1] == "THEN" || w[i - 1] == "ELSE")) {
      int depth = 0;
      std::size_t j = i;
      for (; j < w.size(); ++j) {
        depth += w[j].ends_with("(") ? 1 : w[j] == ")" ? -1 : 0;
        if (depth == 0) break;
      }
      if (j + 1 < w.size() && w[j + 1] == "=") return true;
    }
    bool ifLine = StartsWithWord(w, "IF") || StartsWithWord(w, "ELSEIF");
    if ((x == "THEN" || x == "ELSE") && !ifLine && !(x == "ELSE" && w.size() == 1)) return true;
    // A one-line If cannot go on into the lines below.
    if (ifLine && x == "ELSE" && i + 1 == w.size()) return true;
  }
  return w.size() == 1 && w[0] == "OR";
}

class BlockCheck {
 public:
  explicit BlockCheck(ProgramCounts& counts) : counts_(counts) {}

  void Statement(const std::string& statement, const std::string& where) {
    std::vector<std::string> w = CodeWords(statement);
    if (w.empty()) return;
    if (exitSubAt_.size() && !(w.size() == 2 && w[0] == "END" && w[1] == "SUB")) {
      Fault("code after Exit Sub (" + exitSubAt_ + ")", where);
      exitSubAt_.clear();
    }
    const std::string& a = w[0];
    const std::string b = w.size() > 1 ? w[1] : "";
    if (a == "IF" && w.back() == "THEN") {
      stack_.push_back("If");
    } else if ((a == "ELSEIF" && w.back() == "THEN") || (a == "ELSE" && w.size() == 1)) {
      Expect("If", a, where, false);
    } else if ((a == "END" && b == "IF") || a == "ENDIF") {
      Expect("If", "End If", where, true);
    } else if (a == "DO") {
      stack_.push_back("Do");
    } else if (a == "LOOP") {
      Expect("Do", "Loop", where, true);
    } else if (a == "FOR") {
      stack_.push_back("For");
    } else if (a == "NEXT") {
      Expect("For", "Next", where, true);
    } else if (a == "SELECT" && b == "CASE") {
      stack_.push_back("Select");
    } else if (a == "END" && b == "SELECT") {
      Expect("Select", "End Select", where, true);
    } else if (a == "EXIT" && (b == "DO" || b == "FOR")) {
      std::string kind = b == "DO" ? "Do" : "For";
      bool inside = false;
      for (const std::string& s : stack_) inside = inside || s == kind;
      if (!inside) Fault("Exit " + kind + " outside its loop", where);
    } else if (a == "EXIT" && b == "SUB") {
      exitSubAt_ = where;
    }
  }

  void Finish() {
    for (const std::string& open : stack_) Fault(open + " never closed", "end");
    stack_.clear();
  }

 private:
  void Expect(const std::string& kind, const std::string& what, const std::string& where,
              bool pop) {
    if (stack_.empty() || stack_.back() != kind) {
      Fault(what + " without " + kind, where);
      return;
    }
    if (pop) stack_.pop_back();
  }
  void Fault(const std::string& what, const std::string& where) {
    ++counts_.unbalancedBlocks;
    counts_.notes.push_back("block: " + what + " at " + where);
  }

  ProgramCounts& counts_;
  std::vector<std::string> stack_;
  std::string exitSubAt_;
};

}  // namespace

ProgramCounts& ProgramCounts::operator+=(const ProgramCounts& o) {
  labelsLost += o.labelsLost;
  commentsAsCode += o.commentsAsCode;
  unbalancedBlocks += o.unbalancedBlocks;
  untranslated += o.untranslated;
  notes.insert(notes.end(), o.notes.begin(), o.notes.end());
  return *this;
}

ProgramCounts CheckProgram(const std::vector<std::string>& source,
                           const std::vector<std::string>& translations) {
  ProgramCounts counts;
  BlockCheck blocks(counts);
  std::set<std::string> defined;
  std::vector<std::pair<std::string, std::string>> jumps;  // target, where
  for (std::size_t i = 0; i < source.size() && i < translations.size(); ++i) {
    const std::string where = "line " + std::to_string(i + 1) + " [" + source[i] + "]";
    std::vector<VbLine> vb;
    for (const std::string& line : CutAt(translations[i], kCrLf)) vb.push_back(CutComment(line));

    std::size_t rest = 0;
    std::string label = UpperText(SourceLabel(source[i], rest));
    std::string first;
    std::vector<std::string> firstStatements = Statements(vb[0].code, &first);
    if (!label.empty() && first != label) {
      ++counts.labelsLost;
      counts.notes.push_back("label: " + label + " lost at " + where);
    }
    std::string comments;
    for (const VbLine& l : vb) comments += l.hasComment ? l.comment + "\n" : "";
    for (const std::string& text : SourceComments(source[i])) {
      bool kept = !comments.empty() && comments.find(text) != std::string::npos;
      if (!kept) {
        ++counts.commentsAsCode;
        counts.notes.push_back("comment: not a comment at " + where);
      }
    }
    for (std::size_t j = 0; j < vb.size(); ++j) {
      std::string lineLabel;
      std::vector<std::string> statements = Statements(vb[j].code, &lineLabel);
      if (!lineLabel.empty()) defined.insert(lineLabel);
      for (const std::string& s : statements) {
        blocks.Statement(s, where);
        if (IsUntranslated(s)) {
          ++counts.untranslated;
          counts.notes.push_back("untranslated: [" + s + "] at " + where);
        }
        std::vector<std::string> w = CodeWords(s);
        for (std::size_t k = 0; k + 1 < w.size(); ++k) {
          if (w[k] != "GOSUB" && w[k] != "GOTO") continue;
          for (std::size_t t = k + 1; t < w.size(); ++t) {
            jumps.emplace_back(w[t], where);
            if (t + 2 >= w.size() || w[t + 1] != ",") break;  // ON X GOSUB A , B
            ++t;
          }
        }
      }
    }
  }
  blocks.Finish();
  for (const auto& [target, where] : jumps) {
    if (defined.count(target) == 0) {
      ++counts.labelsLost;
      counts.notes.push_back("label: jump to " + target + " has no target, at " + where);
    }
  }
  return counts;
}

ProgramCounts ConvertAndCheck(const std::vector<std::string>& source) {
  StatementTranslator translator;
  translator.StartConversion();
  std::vector<std::string> translations;
  for (const std::string& line : source) translations.push_back(SplitSourceLine(translator, line));
  return CheckProgram(source, translations);
}

}  // namespace orvik::massage::corpus
