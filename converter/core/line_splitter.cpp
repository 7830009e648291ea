#include "line_splitter.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "text_rules.h"

namespace orvik::massage {
namespace {

// Inside a literal, the delimiters that do not close it are marked (a backslash needs no
// mark: it is an ordinary character in a VB literal), and bytes that read like a mark are
// escaped, so that the literal comes out as it was written.
void AppendInsideLiteral(std::string& out, char c) {
  switch (c) {
    case '\'':
      out += kApostropheMarker;
      break;
    case '"':
      out += kQuoteMarker;
      break;
    case kApostropheMarker:
    case kQuoteMarker:
    case kLiteralEscape:
      out += kLiteralEscape;
      out += c;
      break;
    default:
      out += c;
  }
}

// The length of the comment mark at `at` ("*", "!" or the word REM); 0 when none is there.
std::size_t CommentMarkLength(std::string_view line, std::size_t at) {
  if (at >= line.size()) return 0;
  if (line[at] == '*' || line[at] == '!') return 1;
  bool rem =
      EqualsNoCase(line.substr(at, 3), "REM") && (at + 3 == line.size() || line[at + 3] == ' ');
  return rem ? 3 : 0;
}

// The end of a label that opens the line (100, 10.5, START:, OPEN.FILES:), behind its ":";
// npos when the line opens with none.
std::size_t LabelEnd(std::string_view line, std::size_t first) {
  std::size_t e = first;
  while (e < line.size() && IsLabelCharacter(line[e])) ++e;
  if (e == first) return std::string_view::npos;
  bool colon = e < line.size() && line[e] == ':' && (e + 1 == line.size() || line[e + 1] != '=');
  if (ReadsAsNumber(line.substr(first, e - first))) {
    if (colon) return e + 1;
    return e == line.size() || line[e] == ' ' ? e : std::string_view::npos;
  }
  bool letter =
      (line[first] >= 'A' && line[first] <= 'Z') || (line[first] >= 'a' && line[first] <= 'z');
  return letter && colon ? e + 1 : std::string_view::npos;
}

// Where the statement behind a THEN of `out` begins (IF C THEN S: at S); npos when no THEN
// outside a literal has a statement behind it.
std::size_t StatementBehindThen(const std::string& out) {
  for (std::size_t p = FindWordNoCase(out, "THEN"); p != std::string::npos;
       p = FindWordNoCase(out, "THEN", p + 1)) {
    bool inLiteral = std::count(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(p), '"') % 2;
    if (inLiteral) continue;
    std::size_t s = out.find_first_not_of(' ', p + 4);
    return s == std::string::npos ? s : p + 4;
  }
  return std::string::npos;
}

// True when the text's last word is ELSE.
bool EndsWithElse(std::string_view text) {
  std::string t = TrimRightBlanks(text);
  return EndsWithNoCase(t, "ELSE") && (t.size() == 4 || t[t.size() - 5] == ' ');
}

// What the statements of one line share: IF C THEN S1 ; S2 ELSE makes the THEN clause a
// block, which the ELSE ending the line continues.
struct LineState {
  std::string indent;
  bool thenBlock = false;
};

std::string Split(const StatementConverter& convert, std::string line, int depth, LineState state);

}  // namespace

std::string SplitSourceLine(const StatementConverter& convert, std::string line, int depth) {
  return Split(convert, std::move(line), depth, {});
}

namespace {

std::string Split(const StatementConverter& convert, std::string line, int depth, LineState state) {
  line = TrimRightBlanks(line);
  if (line.empty()) line = " ";
  if (depth >= kMaxStatementsPerLine) return line;
  std::size_t first = line.find_first_not_of(' ');
  if (std::size_t mark = CommentMarkLength(line, first)) {
    line.replace(first, mark, "'");
    return line;
  }
  // A comment behind a label is written as it stands: what reads like a string or an
  // operator in it is prose.
  if (std::size_t label = LabelEnd(line, first); label != std::string::npos) {
    std::size_t comment = line.find_first_not_of(' ', label);
    if (comment != std::string::npos && CommentMarkLength(line, comment) != 0) {
      // The label alone, a number too, is written with its ":" so that it stands alone.
      std::string alone = line.substr(0, label);
      if (!EndsWith(alone, ":")) alone += ':';
      return Split(convert, alone, depth, state) + std::string(kLabelCommentNote) +
             line.substr(comment);
    }
  }

  // The statement as written, when it is too long to translate; else its translation.
  const auto translate = [&convert](std::string_view written, const std::string& massaged) {
    return written.size() > kMaxStatementBytes ? std::string(written) : convert(massaged);
  };

  if (depth == 0) state.indent = line.substr(0, line.find_first_not_of(' '));

  std::string out;
  char quote = 0;
  int parentheses = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quote != 0) {
      if (c == quote) {
        out += '"';
        quote = 0;
      } else {
        AppendInsideLiteral(out, c);
      }
      continue;
    }
    switch (c) {
      case '\'':
      case '"':
      case '\\':
        quote = c;
        out += '"';
        break;
      case '&':
        out += " AND ";
        break;
      case ':':
        out += " & ";
        break;
      case '(':
        ++parentheses;
        out += c;
        break;
      case ')':
        --parentheses;
        out += c;
        break;
      case ';':
        if (parentheses != 0) {
          out += ' ';
          out += kSemicolonMarker;
          out += ' ';
          break;
        } else {
          std::string rest = line.substr(i + 1);
          std::string_view written = std::string_view(line).substr(0, i);
          std::size_t body = state.thenBlock ? std::string::npos : StatementBehindThen(out);
          std::string head;
          if (body != std::string::npos && EndsWithElse(rest)) {
            state.thenBlock = true;
            head = translate(written, out.substr(0, body)) + std::string(kCrLf) +
                   translate(written, state.indent + TrimLeftBlanks(out.substr(body)));
          } else {
            head = translate(written, out);
          }
          std::size_t next = rest.find_first_not_of(' ');
          bool comment = CommentMarkLength(rest, next) != 0;
          std::string tail = Split(convert, rest, depth + 1, state);
          // END ELSE X = 1 ; Y = 2 or a LOCKED clause that the statement closed itself with an
          // End If line: the statements behind it on the line belong to that last clause.
          std::size_t lastLine = head.rfind(kCrLf);
          if (!comment && lastLine != std::string::npos &&
              TrimBlanks(std::string_view(head).substr(lastLine + kCrLf.size())) == "End If") {
            return head.substr(0, lastLine) + " : " + tail + head.substr(lastLine);
          }
          // CASE A ; X = 1: a statement behind a line that opens a block goes below it, since
          // a ":" there would make the If a one-line one.
          if (!comment && EndsWithNoCase(TrimRightBlanks(head), " Then")) {
            return head + std::string(kCrLf) + state.indent + TrimLeftBlanks(tail);
          }
          return head + (comment ? "  " : " : ") + tail;
        }
      default:
        out += c;
    }
  }
  if (state.thenBlock && EndsWithElse(out)) {
    std::string statement = TrimRightBlanks(out);
    statement.resize(statement.size() - 4);
    return translate(line, statement) + std::string(kCrLf) + state.indent + "Else";
  }
  return translate(line, out);
}

}  // namespace

std::string SplitSourceLine(StatementTranslator& translator, std::string line, int depth) {
  return SplitSourceLine(
      [&translator](const std::string& statement) {
        return translator.ConvertStatement(statement);
      },
      std::move(line), depth);
}

}  // namespace orvik::massage
