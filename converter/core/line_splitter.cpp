#include "line_splitter.h"

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

bool IsLabelCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_';
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

}  // namespace

std::string SplitSourceLine(StatementTranslator& translator, std::string line, int depth) {
  return SplitSourceLine(
      [&translator](const std::string& statement) {
        return translator.ConvertStatement(statement);
      },
      std::move(line), depth);
}

std::string SplitSourceLine(const StatementConverter& convert, std::string line, int depth) {
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
      return SplitSourceLine(convert, alone, depth) + std::string(kLabelCommentNote) +
             line.substr(comment);
    }
  }

  // The statement as written, when it is too long to translate; else its translation.
  const auto translate = [&convert](std::string_view written, const std::string& massaged) {
    return written.size() > kMaxStatementBytes ? std::string(written) : convert(massaged);
  };

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
          std::string head = translate(std::string_view(line).substr(0, i), out);
          std::size_t next = rest.find_first_not_of(' ');
          std::string separator = CommentMarkLength(rest, next) != 0 ? "  " : " : ";
          return head + separator + SplitSourceLine(convert, rest, depth + 1);
        }
      default:
        out += c;
    }
  }
  return translate(line, out);
}

}  // namespace orvik::massage
